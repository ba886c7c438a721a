// The gradient placement tool (9), the profile edit tool (10) and Set From Terrain.
#pragma once

// Set From Terrain: the selected gradient's profile taken from the snapshot heights
// along its axis.
void gradient_set_from_terrain();

// Tool 9: press picks a handle of the selected gradient (or selects another one near the
// pointer), each held tick drags it, the release rebuilds a trivial profile.
void gradient_place_press();
void gradient_place_drag();
void gradient_place_release();

// Tool 10: press picks or inserts a profile point, each held tick drags it.
void gradient_edit_press();
void gradient_edit_drag();
