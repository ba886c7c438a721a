// The trackside cameras of the replay and TV views, read from the track's optional
// "cameras" file, and the table that says which camera watches each timing gate.
#pragma once
#include <cstdint>

#include "foundation/growable_array.h"

struct trackside_camera {
    float x, y, z;              // y = terrain height + the given height
    float unused[3];            // 0
    float fov;                  // degrees, 90 by default
    float autofovsize;          // 0 by default
};

inline constexpr int kGateCameraEntries = 1024;

extern growable_array trackside_cameras;            // of trackside_camera
extern int32_t gate_camera_table[kGateCameraEntries]; // timing gate -> camera index, -1 = none

void trackside_cameras_free();
// Empties the cameras and the gate table, then reads the file at a data path.
void trackside_cameras_read(const char* path);
