// Gradients: a straight axis on the map with a height profile along it.
#pragma once
#include "foundation/growable_array.h"

struct gradient_point {
    float distance;
    float height;
};

struct gradient {
    float start_x;
    float start_z;
    float end_x;
    float end_z;
    growable_array points;   // of gradient_point, rising distance
    growable_array kinds;    // of uint8_t: 0 line, 1 curve, the segment from that point on
};
static_assert(sizeof(gradient) == 64);

int gradient_count();
gradient* gradient_at(int index);
// The selected gradient, or null.
gradient* selected_gradient_record();

// A gradient from the view centre 50 units along +x, selected, with a flat profile.
void gradient_new();
// The selected gradient's profile back to (0, 0), (length, 0), both lines.
void gradient_reset_profile();
// Copy Gradient: the selected one moved 10 units sideways, selected.
void gradient_copy();
// Frees every gradient's arrays and empties the list.
void gradients_clear();
// Appends a point and its kind to g; 0 when either array cannot grow (nothing added).
int gradient_push_point(gradient* g, float distance, float height, int kind);

// Profile of the selected gradient.
float gradient_profile_at(float distance);
float gradient_slope_at(int i);
float gradient_hermite(int i, float t);
// The selected gradient's value at world (x, z): along the axis (linear) or around its
// start (radial); 0 with no selected gradient or an empty profile.
float gradient_linear_value(float x, float z);
float gradient_radial_value(float x, float z);
