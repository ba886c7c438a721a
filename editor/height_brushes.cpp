#include "editor/height_brushes.h"

void brush_stroke(float, float, float, float, float, float, float) {}
float snapshot_height_at(const terrain_state*, int, float, float) { return 0.0f; }
void brush_tick() {}
void snap_tick() {}
void tile_brush_tick() {}
