// A bike setup file ("@setups/<name>": "key=value" lines), read as "readsetup" does.
#include "support/fuzz_support.h"

#include "frontend/setup_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::start();
    fuzz::put("setups/fuzz", data, size);
    setup_file_read("fuzz");
    return 0;
}
