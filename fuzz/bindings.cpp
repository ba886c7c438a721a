// Control bindings as "config" and "readkeys" give them: "(low,high)axis", "(k)key"
// or "key", one a line.
#include "support/fuzz_support.h"

#include "race/program/bindings.h"

#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::start();
    const std::string text(reinterpret_cast<const char*>(data), size);
    size_t at = 0;
    for (int n = 0; n < 64 && at <= text.size(); ++n) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        input_binding binding{};
        binding.title = "fuzz";
        binding_reset(&binding);
        binding_parse(&binding, text.substr(at, end - at).c_str());
        at = end + 1;
    }
    return 0;
}
