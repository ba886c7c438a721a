// The HUD's track map: a square top view of the whole ground, +x to the right and +z
// downwards (the top row at z = 0), in the tiles' colours shaded by the sun, the
// course opaque with its centreline and the land around it half transparent.
#pragma once
#include "course.h"
#include "ground.h"
#include "track_images.h"

#include <vector>

picture map_picture(const ground& g, const std::vector<uint8_t>& lit, const std::vector<centre_sample>& line,
                    int side);
// A flat ground of size x size points (no course): its tiles, every pixel half
// transparent.
picture map_picture_plain(const ground& g, int side);
