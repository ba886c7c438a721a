#include "race/program/menu_state.h"

#include "race/race_state.h"
#include "terrain/terrain_state.h"
#include "terrain/track_list.h"

int menu_screen = -1;
int32_t menu_item = 0;

bool editor_unsaved_changes()
{
    return race_opts.editor && (track_terrain.change_flags & 2) != 0;
}
