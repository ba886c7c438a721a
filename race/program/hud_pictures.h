// The pictures the HUD and the title screen draw, and the fonts: loaded once when the
// window first can be drawn, kept for the whole run (texture generation 0).
#pragma once
#include <cstdint>

struct hud_picture_ids {
    uint32_t tach;
    uint32_t shifter;
    uint32_t pitboard;
    uint32_t title;
};

extern hud_picture_ids hud_pictures;

// The GL defaults the drawing code relies on, the three fonts and the four pictures.
// Runs inside a frame; a missing file only leaves its font empty or its id 0.
void graphics_defaults_load();
// Fonts and every texture, before the GL context goes.
void graphics_free();
