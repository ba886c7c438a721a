#include "gfx/model_scene.h"

float camera_position[3] = {0, 0, 0};
model_light model_lighting = {{1, 1, 1}, {0.5f, 0.5f, 0.5f}, {0.2f, 0.2f, 0.2f}};
float lod_scale = 1.0f;
float lod_bias = 0.0f;
int32_t reflections = 1;
