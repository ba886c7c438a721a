// ".seq" animations (ANIM1: images and a frame list), loaded as a track's texture through the texture
// cache, which picks the reader by the file's first word.
#include "support/fuzz_gl.h"
#include "support/fuzz_support.h"

#include "gfx/texture_cache.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::start();
    fuzz::use_fake_gl();
    texture_load(fuzz::put("fuzz/flag.seq", data, size).c_str());
    fuzz::drop_gl_objects();
    return 0;
}
