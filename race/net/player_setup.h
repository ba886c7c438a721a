// The player's rider as the server and the other clients are told of it. The front
// end points it at the bike setup's own texts after start-up and after each change in
// the menus; until then it holds the setup's defaults. Texture names are null when
// none is chosen. (The "record" setting is the race core's game_settings.record.)
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
