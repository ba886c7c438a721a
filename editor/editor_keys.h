// The editor's input: every key and pointer button of the tick while the editor view
// is shown, and the per-tick pointer work.
#pragma once
#include <cstdint>

// 1 when the editor used the event.
int editor_key(int32_t code, int pressed);
// A key for the widget under the pointer.
void editor_widget_input(int32_t code);
// Once per tick: the stale-snapshot check, hover, panning, widget holds and the work of
// the tool held on the map.
void editor_mouse();
// What a main-button press, release and held tick do on the map, by tool.
void editor_map_press();
void editor_map_release();
void editor_map_hold();
