// The projection of every frame: the view keeps the height of a 4:3 window on wider
// windows (seeing more at the sides) and its width on narrower ones.
#pragma once

// Half-width and half-height of the view at unit distance, as set_projection last
// made them; the menus' full-window quads sit at (+-hw, +-hh, -1).
extern float projection_half_width;
extern float projection_half_height;
// The window size in pixels the last set_projection was given (at least 1 x 1).
extern int projection_window_width;
extern int projection_window_height;

// Viewport, projection frustum with the track's near and far planes, modelview reset.
// Sizes below 1 (a minimised window) count as 1.
void set_projection(int width, int height, float fov_degrees);

// The translucent backdrop behind every menu screen, with the build text at the
// bottom right.
void menu_backdrop_draw();
