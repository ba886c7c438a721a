#include "view/view_install.h"

#include "race/game_tick.h"
#include "race/program/main_loop.h"
#include "race/race_hooks.h"
#include "race/program/world_view.h"
#include "sim/roost_sink.h"
#include "view/camera_views.h"
#include "race/program/program_hooks.h"
#include "view/engine_sound.h"
#include "view/sound_listener.h"
#include "view/render_world.h"
#include "view/roost_particles.h"
#include "view/trackside_view.h"

void view_install()
{
    // The world is drawn over the main loop's frame: the window's drawable size.
    render_world_entry = [](const float position[3], const float rotation[9], float fov, int32_t viewer_slot) {
        view_width = window_width;
        view_height = window_height;
        render_world(position, rotation, fov, viewer_slot);
    };
    camera_views_install();
    camera_views.trackside = render_trackside_camera;
    camera_views.trackside_tick = trackside_tick_slot;
    camera_views.trackside_digit = trackside_select_digit;
    roost_set_spawn(roost_particle_spawn);
    race_hooks.roost_particles_free = roost_particles_free;
    game_tick_hooks.particles_move = roost_particles_step;
    engine_sound_install();
    program_hooks.engine_sound_update = engine_sound_update;
    program_hooks.engine_sound_caches_free = engine_sound_caches_free;
}
