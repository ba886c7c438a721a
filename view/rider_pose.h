// The rider figure's pose for one frame: the 9 bones of the skinned rider (world
// translations and rotations) and the head's place and axes. Nothing here writes the
// physics bodies: the drawing leans the torso onto the bars in a local copy of the
// rider body's frame.
#pragma once
#include <cstdint>

struct rider_slot;

inline constexpr int kRiderBones = 9;

struct rider_pose {
    float translations[kRiderBones * 3];
    float rotations[kRiderBones * 9];      // per bone the model's x, y, z axes
    float head_position[3];
    float head_axes[9];                    // x, y, z
    // The rider body's frame as drawn: row-major rotation and position.
    float body_rotation[9];
    float body_position[3];
    float correction;                      // 0..1, how far the torso leans to the bars
    float look_length;                     // the head's horizontal look l and rise
    float look_rise;
    float elbow_hints[2][3];               // world points, left then right
    float shin_hints[2][3];                // vectors, left then right
};

// The rider body's drawn frame and every bone of the figure.
void rider_pose_compute(const rider_slot* rider, rider_pose* pose);
