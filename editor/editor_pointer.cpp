// What the main button does on the map, by tool: the press, the release and each tick
// while it is held.
#include "editor/decal_tool.h"
#include "editor/editor_keys.h"
#include "editor/editor_state.h"
#include "editor/gradient_tools.h"
#include "editor/height_brushes.h"
#include "editor/object_tools.h"

void editor_map_press()
{
    editor_state_record& s = editor_state;
    switch (s.tool) {
    case 3:
        screen_to_world(&s.smudge_origin[0], &s.smudge_origin[1]);
        take_snapshot();
        break;
    case 0:
    case 1:
    case 2:
    case 4: take_snapshot(); break;
    case 9: gradient_place_press(); break;
    case 10: gradient_edit_press(); break;
    case 11: gate_press(); break;
    case 12: billboard_press(); break;
    case 13: statue_press(); break;
    case 15: decal_press(); break;
    default: break;   // the gradient brushes and the tile brush start on the first tick
    }
}

void editor_map_release()
{
    editor_state_record& s = editor_state;
    const int t = s.tool;
    if ((t >= 0 && t <= 3) || (t >= 5 && t <= 10) || t == 14)
        s.line_start[0] = s.line_start[1] = -1.0f;
    if (t >= 0 && t <= 4)
        take_snapshot();   // the stroke becomes an undo level
    if (t == 9)
        gradient_place_release();
}

void editor_map_hold()
{
    switch (editor_state.tool) {
    case 0:
    case 1:
    case 2:
    case 3:
    case 5:
    case 6:
    case 7:
    case 8: brush_tick(); break;
    case 4: snap_tick(); break;
    case 14: tile_brush_tick(); break;
    case 9: gradient_place_drag(); break;
    case 10: gradient_edit_drag(); break;
    case 11: gate_drag(); break;
    case 12: billboard_drag(); break;
    case 13: statue_drag(); break;
    case 15: decal_drag(); break;
    default: break;
    }
}
