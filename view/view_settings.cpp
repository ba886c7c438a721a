#include "view/view_settings.h"

#include "gfx/gl_state.h"
#include "gfx/model.h"

double ghost_fade_distance = 10;
int32_t hide_rider = 0;

frame_statistics frame_stats = {};

void frame_stats_zero()
{
    frame_stats = {};
    gl_state.shader_switch_count = 0;
    model_triangles_drawn = 0;
    model_vertices_drawn = 0;
}
