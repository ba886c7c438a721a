// A PNG picture of a track, read by libpng through the data files with its text.
#include "support/fuzz_support.h"

#include "foundation/memory.h"
#include "gfx/images.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::start();
    const std::string name = fuzz::put("fuzz/picture.png", data, size);
    uint8_t* pixels = nullptr;
    char* info = nullptr;
    int w = 0, h = 0, channels = 0;
    if (image_read_png(name.c_str(), &pixels, &w, &h, &channels, &info))
        mem_free(pixels);
    mem_free(info);
    return 0;
}
