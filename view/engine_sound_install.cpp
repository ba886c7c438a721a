// The race core's sound entry points: a slot's engine loaded for its rider and
// freed, and the script sounds emptied.
#include "race/demo/demo.h"
#include "race/race_hooks.h"
#include "sim/rider_slot.h"
#include "view/engine_sound.h"
#include "view/script_sounds.h"

namespace {

void load_slot(int32_t slot)
{
    engine_sound_load(&engine_sounds[slot], &rider_slots[slot], nullptr);
}

void free_slot(int32_t slot)
{
    engine_sound_free(&engine_sounds[slot]);
}

}  // namespace

void engine_sound_install()
{
    race_hooks.engine_sound_load = load_slot;
    race_hooks.engine_sound_free = free_slot;
    race_hooks.script_sounds_free = script_sounds_free;
    engine_sound_presence = [](int32_t slot) { return &engine_sounds[slot].presence; };
}

// Shutdown: the loaded and built-in tables, then the cached sample files.
void engine_sound_caches_free()
{
    sound_tables_free();
    sound_samples_free();
}
