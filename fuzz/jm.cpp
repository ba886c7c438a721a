// ".jm" models (statues, bikes, riders): read, checked and uploaded into the model
// cache, as statues and bikes ask for them.
#include "support/fuzz_gl.h"
#include "support/fuzz_support.h"

#include "gfx/model.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::start();
    fuzz::use_fake_gl();
    model_get(fuzz::put("fuzz/model.jm", data, size).c_str());
    fuzz::drop_gl_objects();
    return 0;
}
