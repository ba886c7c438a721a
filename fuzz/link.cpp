// "LINK" files: a texture name that stands for another. The input holds up to eight
// files "t0".."t7" split at "----" lines; t0 is loaded, and links may name the others
// (or each other, or themselves).
#include "support/fuzz_gl.h"
#include "support/fuzz_support.h"

#include "gfx/texture_cache.h"

#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::start();
    fuzz::use_fake_gl();
    std::string rest(reinterpret_cast<const char*>(data), size);
    for (int k = 0; k < 8; ++k) {
        const fuzz::Split part = fuzz::split(reinterpret_cast<const uint8_t*>(rest.data()), rest.size());
        if (k > 0 && part.first.empty() && part.rest.empty())
            fuzz::remove("fuzz/t" + std::to_string(k));
        else
            fuzz::put("fuzz/t" + std::to_string(k), part.first);
        rest = part.rest;
    }
    texture_load("@fuzz/t0");
    fuzz::drop_gl_objects();
    return 0;
}
