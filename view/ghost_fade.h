// How strongly each rider is drawn: offline, state-driven riders (ghosts) near the
// reference rider fade out so that they do not hide it.
#pragma once
#include <cstdint>

// The fade of a ghost at distance d from the reference rider with fade distance f:
// 0 within f/2, 1 at f and beyond, linear between. With f <= 0 nothing fades.
float ghost_fade(float d, double f);

// The drawing mode of a slot's rider for a viewer slot: 2 the viewer's own bike seen
// from its saddle, 1 the same with the rider hidden, 0 any other rider.
int rider_draw_mode(int32_t slot, int32_t viewer_slot, int32_t hide_rider_setting);

// What the bike pass decides per slot from the rider table and the race state.
struct rider_fade_input {
    bool present[160];
    int32_t kinds[160];
    float positions[160][3];     // frame-body positions
    bool hidden[160];
    bool online;
    double fade_distance;
};
// fades[s] for every slot; a slot is drawn in the bike pass when present and its
// fade is 1, in the faded pass when present and below 1.
void rider_fades(const rider_fade_input& in, float fades[160]);
