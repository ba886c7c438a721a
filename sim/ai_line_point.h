// One point of a racing line, as recorded and as followed (20 bytes).
#pragma once

struct ai_line_point {
    float x, y, z;      // the frame body's position, feet
    float speed;        // ft/s; the sign bit is set when both wheels were off the ground
    float lean;         // radians
};
static_assert(sizeof(ai_line_point) == 20);
