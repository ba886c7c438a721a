// ".braap" engine sound definitions (pipe, idle, torque, lumpiness, the table named),
// loaded for a rider as the engine sound does. A table it names is loaded too.
#include "support/fuzz_support.h"

#include "view/engine_sound.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::start(true);   // the tables the stock definitions name, and their samples
    const std::string name = fuzz::put("fuzz/bike.braap", data, size);
    // One record for every input: it holds the sound's whole ring.
    static engine_sound* const record = new engine_sound();
    engine_sound_load(record, nullptr, name.c_str());
    engine_sound_free(record);
    sound_tables_free();
    return 0;
}
