// The "Decals" tool: a primary decal (editor_state.selected_decal) and a group of further
// decals (editor_state.decal_selection) that follow it when it is copied, moved, turned
// or scaled. A decal's place in the terrain's array is its layer: later ones lie on top.
#pragma once
#include <cstdint>

struct decal;

// The "Random" orientation's own generator, so that tests can repeat a run.
void decal_random_seed(uint32_t seed);
// 0..32767.
int32_t decal_random();

// Where a copy of decal index goes by the "Level" choice.
int32_t decal_insert_index(int32_t index);
// A copy of the primary at the pointer (step 0) or one spacing from the primary towards
// it (step 1), with copies of the group; the copy becomes the primary.
void decal_stamp(int step);
// Carries the group along with the primary's move from old_primary to new_primary, its
// distances scaled by scale.
void decal_group_transform(const decal& old_primary, const decal& new_primary, float scale);
void decal_group_scale(float factor);
// Adds (toggle 0) or toggles (toggle 1) the decals whose centre or handle lies within
// max(pick radius, radius) of the pointer.
void decal_select_near(float radius, int toggle);
// Erases the decals centred within max(pick radius, radius) of the pointer.
void decal_erase(float radius);

// The main button on the map with the tool, and each tick while it is held.
void decal_press();
void decal_drag();
// Tool 15's keys ("d", "x", code 127, "X", "M", "m", "{", "}"); 0 when code is none of them.
int decal_key(int32_t code);
