// The trackside cameras of the replay and TV views, read from the track's optional
// "cameras" file, and the table that says which camera watches each timing gate.
#pragma once
#include <cstdint>

#include "foundation/growable_array.h"

// One camera (36 bytes). Yaw 0 looks along +z; the aim and its rates start at 0 and
// are the trackside view's to move.
struct trackside_camera {
    float x, y, z;              // y = terrain height + the given height
    float yaw, pitch;           // radians, pitch within -pi/2..pi/2
    float yaw_rate, pitch_rate; // radians per second
    float fov;                  // degrees, 90 by default
    float autofovsize;          // feet, 0 = no automatic zoom
};
static_assert(sizeof(trackside_camera) == 36);

inline constexpr int kGateCameraEntries = 1024;

extern growable_array trackside_cameras;            // of trackside_camera
extern int32_t gate_camera_table[kGateCameraEntries]; // timing gate -> camera index, -1 = none

void trackside_cameras_free();
// Empties the cameras and the gate table, then reads the file at a data path.
void trackside_cameras_read(const char* path);
