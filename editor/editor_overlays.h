// The shapes the editor view draws in the map plane (y = 0 unless given) with the GL
// layer's immediate mode. Angles run from +z towards +x: the point at angle a and
// distance d from (x, z) is (x + d sin a, z + d cos a); circles take 64 steps.
#pragma once
#include <cstdint>

struct gradient_point;

// Sets the colour the next vertices take.
void overlay_colour(float r, float g, float b, float a);
void imm_vertex2(float x, float z);
void imm_vertex3(float x, float y, float z);

// A ring of radius r and width w as one quad strip.
void draw_ring(float x, float z, float r, float w);
// Vertices only (the caller opens the primitive): from `from` to `to`, `to` first
// raised by whole turns until it is not below `from`.
void draw_arc(float x, float z, float r, float from, float to);
// A line loop of 64 points at height y.
void draw_circle_xz(float x, float y, float z, float r);

// The switch marker in its own unit frame: two rings on the z axis joined by a bar,
// with a chevron pointing towards -z; the thin one fits inside the thick one.
void draw_switch_marker_thick();
void draw_switch_marker_thin();

// One gradient's axis, end marks and reach circle.
void draw_gradient_overlay(int index);
// The vertices of profile segment i in the profile plane (distance along x, height
// along -z); the last point alone for i >= n - 1.
void draw_profile_curve(const gradient_point* points, int i, int n);
// Every statue's model edges in black.
void draw_statue_wireframes();

// Steps of a walk over a span of `length` units at `step` units, capped at 4096: the
// step widens when the span is longer. Zero for an empty or unusable span.
int32_t overlay_steps(float length, float* step);
