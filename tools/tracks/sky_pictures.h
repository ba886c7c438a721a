// The default sky: five faces of the cube round the eye (north, east, south, west,
// up), a small environment map for the reflections, and the lens-flare sprites.
#pragma once
#include "track_images.h"

// Face 0..4 (north, east, south, west, up), 128 x 128 RGB, rows from the top: a
// horizon gradient, low hills of a different tone on each side, and a white sun disc
// towards `sun`.
picture sky_face(int face, const float sun[3]);
// 64 x 64 RGB angular map about world up: the zenith at the centre, the horizon a
// quarter of the width from it, straight down at the edge.
picture sky_env(const float sun[3]);
// "disc", "ring", "hexagon": 64 x 64 RGBA flare sprites, white with soft alpha.
picture flare_sprite(const std::string& name);
