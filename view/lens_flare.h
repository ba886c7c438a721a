// The sun's lens flare: where each flare source lands on the screen, how much of it
// shows (a bright, unhidden pixel, faded at the window edge), and the drawing of its
// elements along the line through the screen centre.
#pragma once
#include <cstdint>

struct flare;

// One window pixel read back from the frame: colour bytes and depth 0..1. The
// program reads the frame buffer; tests answer from canned values. has_depth false:
// the pixel's depth cannot be read, and the colour decides alone.
struct pixel_reader {
    void (*colour)(int x, int y, uint8_t rgb[3]);
    bool (*depth)(int x, int y, float* depth);
};
extern pixel_reader flare_reader;      // the frame buffer by default

// The screen position and visibility found for a source this frame.
struct flare_sight {
    float screen[2];
    float visibility;
};

// The view a source is judged in.
struct flare_view {
    float camera[3];
    float rotation[9];        // row-major; columns right, up, backward
    float half_width;         // at unit distance
    float half_height;
    int width, height;        // window pixels
    float near_plane, far_plane;
};

flare_sight flare_visibility(const flare& source, const flare_view& view);

// The edge fade of a screen position: 1 inside, 0 on the border, over 1/32 of the
// smaller half-extent.
float flare_edge_fade(float sx, float sy, float half_width, float half_height);

// The flares of the track's lighting, judged then drawn (identity modelview, depth
// always, additive). Nothing when the lens_flare setting is off or there are none.
void lens_flare_draw(const flare_view& view);
// The sights of the last frame, one per source.
const flare_sight* lens_flare_sights();
