// Plain views for a program without the world presentation (race-only tools and tests):
// the main loop uses them only while no camera views are installed. Without an
// installed renderer the world is the cleared sky and the terrain.
#pragma once
#include <cstdint>

// The camera of the last drawn view.
struct world_camera {
    float position[3];
    float rotation[9];     // row-major; columns right, up, backward
    float fov;
    int32_t viewer_slot;
};
extern world_camera last_camera;

// Draws the world for one camera: the installed renderer, else the stand-in.
void world_draw(const float position[3], const float rotation[9], float fov, int32_t viewer_slot);
// The eye at the rider body of the slot, looking along its minus z axis.
void render_first_person(int32_t slot, float fov);
// The chase camera behind the slot's frame body; the last finite eye when the bike
// has blown up.
void render_chase(int32_t slot, float fov, float angle, float distance, float height,
                  const float target_offset[3]);
// The trackside view: the free camera at its spot, looking at the followed rider.
void render_trackside(int32_t slot, float fov);
// A camera at eye looking at target (world up).
void look_at(const float eye[3], const float target[3], float rotation[9]);
