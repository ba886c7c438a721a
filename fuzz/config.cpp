// The user folder's "config" ("key=value" lines: settings, the bike setup and the
// control bindings), read as at start-up.
#include "support/fuzz_support.h"

#include "frontend/config_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::start();
    fuzz::put("config", data, size);
    config_read();
    return 0;
}
