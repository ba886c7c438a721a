// Engine sound tests: a table stands in for the rider slots (what the synthesis and
// the definition search read), the listener sits at the origin looking along -z, and
// the settings are at their defaults.
#pragma once
#include "sim/rider_slot.h"
#include "view/engine_sound.h"
#include "view/render_world.h"
#include "view/sound_listener.h"

#include <string>

namespace enginetest {

struct fake_rider {
    engine_view_entry view{};
    std::string bike_class = "125";
    std::string texture;           // "" = the texture has no name
};

inline fake_rider riders[kEngineSlots];

inline int32_t slot_of(const rider_slot* r)
{
    return static_cast<int32_t>(r - rider_slots);
}

// Installs the table; every slot empty, class "125", no texture name.
inline void install()
{
    for (int32_t k = 0; k < kEngineSlots; ++k) {
        riders[k] = fake_rider{};
        riders[k].view.rider = nullptr;
    }
    engine_view.read = [](int32_t slot, engine_view_entry* out) { *out = riders[slot].view; };
    engine_view.bike_class = [](const rider_slot* r) { return riders[slot_of(r)].bike_class.c_str(); };
    engine_view.texture_name = [](const rider_slot* r) {
        const std::string& t = riders[slot_of(r)].texture;
        return t.empty() ? static_cast<const char*>(nullptr) : t.c_str();
    };
    current_camera = published_camera{{0, 0, 0}, {1, 0, 0, 0, 1, 0, 0, 0, 1}};
    listener_velocity[0] = listener_velocity[1] = listener_velocity[2] = 0;
    volume = 10;
    comp_volume = 8;
}

// Slot k holds a rider of this class at (x, y, z).
inline fake_rider& place(int32_t k, const std::string& cls, float x = 0, float y = 0, float z = 0)
{
    fake_rider& f = riders[k];
    f.bike_class = cls;
    f.view.rider = &rider_slots[k];
    f.view.position[0] = x, f.view.position[1] = y, f.view.position[2] = z;
    return f;
}

}  // namespace enginetest
