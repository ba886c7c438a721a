// The 3-D world for one camera, once per drawn frame: flaggers, sky, terrain, bikes,
// statues, billboards, faded riders, debug lines, position-log labels, lens flare.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// camera: position (feet) and a row-major rotation whose columns are the camera's
// right, up and backward axes (it looks along minus the third). viewer_slot: the
// rider whose bike carries the camera, -1 for none.
void render_world(const float position[3], const float rotation[9], float fov, int32_t viewer_slot);

// The window the world is drawn into, in pixels; set by whoever owns the window.
extern int32_t view_width;
extern int32_t view_height;

// The camera of the last render_world, for the engine sound and the track script.
struct published_camera {
    float position[3];
    float rotation[9];
};
extern published_camera current_camera;

// The position log's labels as the console keeps them (the front end appends and
// clears them); drawn in the world at their spots, far ones first.
struct position_log_entry {
    float x, y, z;
    int32_t depth_key;      // scratch of the drawing
    std::string text;
};
extern std::vector<position_log_entry> position_log;
// The labels in the order the last frame drew them, ended by -1.
const int32_t* position_log_order();

// Frame flaggers (before the sky): the start flagger, the lap board, the gate flags
// and the gate flaggers; nothing when the track has no lap lists.
void flaggers_update();

