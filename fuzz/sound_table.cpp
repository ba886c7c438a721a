// Engine sound tables ("SOUNDTABLE rows columns", the speeds and loads, then a cell per
// speed and load naming its sample). After a "----" line the input holds the sample
// "@fuzz/cell.raw" that cells may name.
#include "support/fuzz_support.h"

#include "view/engine_sound.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::start(true);   // the stock tables' samples
    const fuzz::Split parts = fuzz::split(data, size);
    const std::string name = fuzz::put("fuzz/engine.table", parts.first);
    fuzz::put("fuzz/cell.raw", parts.rest);
    sound_table_get(name.c_str());
    sound_tables_free();
    return 0;
}
