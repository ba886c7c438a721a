// ".braap" engine sound definitions (pipe, idle, torque, lumpiness, the table named),
// loaded for a rider as the engine sound does. A table it names is loaded too.
#include "support/fuzz_support.h"

#include "view/engine_sound.h"

#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::start();
    const std::string name = fuzz::put("fuzz/bike.braap", data, size);
    auto record = std::make_unique<engine_sound>();
    engine_sound_load(record.get(), nullptr, name.c_str());
    engine_sound_free(record.get());
    sound_tables_free();
    return 0;
}
