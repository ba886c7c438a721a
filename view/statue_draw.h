// Placed models: the track's statues (its own models, the start-gate pieces and those
// a track script adds), drawn lit and then with their environment reflections.
#pragma once

struct statue;

// Every statue for a camera at this position: the lit pass, then the reflections.
void draw_statues(const float camera[3]);
// One statue: the distance cull, the turn towards the camera of a camera-facing
// statue (kept in the statue), then the (possibly skinned) model.
void draw_statue(statue* s, const float camera[3], int reflection_pass);

// The yaw-only rotation whose third column points horizontally from (sx, sz) to the
// camera; false (rotation untouched) when the camera is straight above.
bool statue_facing(float rotation[9], float dx, float dz);
