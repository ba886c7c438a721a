// A gzip member where a data file is wanted ("<name>.gz" stands for "<name>"): read
// whole, then again by lines and with a seek, as the readers of text files do.
#include "support/fuzz_support.h"

#include "foundation/memory.h"
#include "foundation/vfs/capped_read.h"
#include "foundation/vfs/vfs.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::start();
    fuzz::put("fuzz/text.gz", data, size);
    if (char* text = file_to_string("@fuzz/text"))
        mem_free(text);
    if (vfs_file* f = vfs_open("@fuzz/text", "rb")) {
        char line[256];
        for (int n = 0; n < 64 && vfs_gets(f, line, sizeof line); ++n) {
        }
        vfs_seek(f, 3);
        vfs_getc(f);
        vfs_close(f);
    }
    return 0;
}
