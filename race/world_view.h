// The world drawing belongs to the world presentation, which sits above the race core
// and installs its renderer here at start-up. Until then the world is not drawn.
#pragma once
#include <cstdint>

// Camera position, row-major rotation (columns right, up, backward), field of view in
// degrees, and the viewer's slot (-1 = none).
using render_world_fn = void (*)(const float position[3], const float rotation[9], float fov, int32_t viewer_slot);
extern render_world_fn render_world_entry;
