#include "race/program/world_view.h"

render_world_fn render_world_entry = nullptr;
camera_view_entries camera_views = {};
int32_t camera_auto_switch = 0;
