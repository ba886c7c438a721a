// The editor view of a frame: the terrain from straight above around view_x, view_z
// at the "Zoom" slider's zoom, the statues, the current tool's overlay, then the panel
// of widgets and texts on the left with the pointer readout and the status line.
#pragma once
#include <cstdint>

struct terrain_state;

void editor_draw();

// The panel (drawn after the map, with the flat view's projection).
void editor_panel_draw();

// Tool 11's text for a gate: how the lap lists use it as an automatic riders' switch
// point ("Gate not referenced", "Switch Point: Yes", "Switch Point: No", "Switch Point: Mixed").
const char* switch_point_text(int32_t gate);

// The tile preview's texture coordinates u0, v0, u1, v1 in the atlas of tile_count tiles.
void tile_preview_coords(int32_t tile_count, int32_t tile, float uv[4]);

// Seams for tests: every panel text with its pen position (text units, from the top
// left, y up) and colour; the terrain draw the view calls.
extern void (*editor_text_observer)(const char* text, float x, float y, const float colour[4]);
extern void (*editor_terrain_draw)(terrain_state* terrain);
