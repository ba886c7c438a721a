// A ".saf" archive among the data: the file index lists it, then every entry it
// lists is opened and read as the program reads data files.
#include "support/fuzz_support.h"

#include "foundation/index/file_index.h"
#include "foundation/vfs/vfs.h"

#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::start();
    fuzz::put("fuzz.saf", data, size);
    vfs_shutdown();
    char** names = file_index_list();
    for (int i = 0; names && names[i] && i < 64; ++i) {
        vfs_file* f = vfs_open(("@" + std::string(names[i])).c_str(), "rb");
        if (!f)
            continue;
        uint8_t buffer[4096];
        for (int n = 0; n < 256 && vfs_read(f, buffer, sizeof buffer) > 0; ++n) {
        }
        vfs_close(f);
    }
    vfs_shutdown();
    return 0;
}
