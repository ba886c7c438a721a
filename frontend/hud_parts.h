// What the HUD's drawing files share: the immediate batch's current colour and texture
// coordinate, and the steps of hud_draw that live in files of their own.
#pragma once
#include <cstdint>

void hud_colour(float r, float g, float b, float a);
void hud_texcoord(float s, float t);
// The white texture of the GL layer.
void hud_bind_white();

// Four strips of the suspension rings with their frames and labels at the bottom right.
void hud_draw_suspension_graph();
// The track map at the top right with a dot for every shown rider, the running
// order's dots over them and the followed rider's arrow.
void hud_draw_map(int32_t slot);
// The lean arc across the middle of the view: dark up to 36 degrees, red beyond.
void hud_draw_lean(int32_t slot);
