// The title screen (shown without a track and behind every progress message) and the
// textured quad the HUD draws its pictures with.
#pragma once
#include <cstdint>

// The texture as the quad (x0, y0)-(x1, y1) at the current depth, unlit and opaque.
void hud_textured_quad(uint32_t texture, float x0, float y0, float x1, float y1);
// Black, the title picture, the message on the top line and the build at the bottom right.
void title_screen_draw(const char* message);
