// Build steps 2-6 of a bike: its textures, models, fallbacks, number plate and the
// normal and specular maps. The number text must be in the slot already.
#pragma once
#include "sim/bike_info.h"
#include "sim/rider_slot.h"

void bike_load_looks(rider_slot* rider, const bike_info* info, const char* rider_texture,
                     const char* head_texture, const char* bike_texture, const char* wheel_texture);
