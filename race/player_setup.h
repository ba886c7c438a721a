// The player's rider as the setup screens will keep it, and the "record" setting:
// plain values here until the setup and config files arrive. Texture names are null
// when none is chosen.
#pragma once
#include <cstdint>

struct player_identity {
    const char* bike;
    const char* rider_texture;
    const char* bike_texture;
    const char* wheel_texture;
    const char* head_texture;
    const char* number;
    const char* name;
};
extern player_identity player_setup;

extern int32_t record_setting;   // "record": 0 "No", 1 "Yes"
