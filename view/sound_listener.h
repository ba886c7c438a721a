// The listener and the settings the engine and script sounds are heard with.
#pragma once
#include "view/camera_views.h"

#include <cstdint>

// The listener is the camera the last world render published (position and rotation)
// moving at the velocity the views set (listener_velocity, view/camera_views.h).

// "volume" (0..10, default 10) and "comp_volume" (0..10, default 8), edited in place
// by the menus' "Volume" and "Competitor Volume".
extern double volume;
extern double comp_volume;

// Once per drawn frame after the swap: level 0 while paused, 1 in the race, 0.25
// over a menu while watching another rider.
void engine_sound_update(float level);
// The Doppler factor of a source heard from the listener.
float sound_doppler(const float position[3], const float velocity[3]);
// An engine's loudness before distance: 0 when hidden, the master for the viewed
// slot, else the master scaled by "comp_volume".
float engine_voice_level(int32_t slot, int hidden, float master);
// Rate, volume and pan of a voice heard at `position` with `t` its loudness.
struct voice_controls {
    int32_t rate;
    int32_t volume;
    int32_t pan;
};
voice_controls engine_voice_controls(const float position[3], const float velocity[3], float t);
// The same for a script sound with the frame's master loudness.
struct sound_entry;
voice_controls script_voice_controls(const sound_entry& s, float master);
