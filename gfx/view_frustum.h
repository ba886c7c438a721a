// The six planes of what the current projection and modelview show, for leaving out
// what cannot reach the picture before llvmpipe transforms and clips it.
#pragma once

struct view_frustum {
    // a x + b y + c z + d >= 0 inside, in the space the modelview takes in.
    float planes[6][4];
};

// From the matrices in use now (the command queue is replayed first).
view_frustum gl_current_frustum();

// True only when every point of the sphere or box lies outside one plane, so that
// nothing inside it can be drawn.
bool frustum_misses_sphere(const view_frustum& f, const float centre[3], float radius);
bool frustum_misses_box(const view_frustum& f, const float low[3], const float high[3]);
