// The automatic riders a lineup draws from: 80 personas, numbers 20 to 99.
#pragma once
#include <cstdint>

inline constexpr int kBotPersonas = 80;

struct bot_persona {
    const char* number;
    const char* personality;
    const char* bike;
    const char* body_texture;   // null = the bike's own
    const char* head_texture;
    const char* bike_texture;
    const char* wheel_texture;
};

extern const bot_persona bot_persona_table[kBotPersonas];
// The order bots are drawn in, shuffled at every race reset.
extern int32_t persona_order[kBotPersonas];

// Picks the persona for a lineup value: 2 the next of the order, 3 the next on a
// 125, 4 the next on a 250 (a match further down the order is brought forward), and
// above 999 the persona numbered value - 1000 (the next one when there is none).
// *cursor counts the bots drawn so far; it wraps round the 80 personas.
int32_t bot_persona_pick(int32_t lineup_value, int32_t* cursor);

// The bike name a rider is built on: the old names of the 2008 models map to them.
const char* current_bike_name(const char* bike);
