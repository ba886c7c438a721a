// The projection of every frame: the view keeps the height of a 4:3 window on wider
// windows (seeing more at the sides) and its width on narrower ones.
#pragma once

// Half-width and half-height of the view at unit distance, as set_projection last
// made them; the menus' full-window quads sit at (+-hw, +-hh, -1).
extern float projection_half_width;
extern float projection_half_height;

// Viewport, projection frustum with the track's near and far planes, modelview reset.
// Sizes below 1 (a minimised window) count as 1.
void set_projection(int width, int height, float fov_degrees);

// The translucent backdrop behind every menu screen, with the build text at the
// bottom right.
void menu_backdrop_draw();
