#include "view/view_install.h"

#include "race/race_hooks.h"
#include "race/world_view.h"
#include "sim/roost_sink.h"
#include "view/camera_views.h"
#include "view/engine_sound.h"
#include "view/render_world.h"
#include "view/roost_particles.h"
#include "view/trackside_view.h"

void view_install()
{
    render_world_entry = render_world;
    camera_views_install();
    camera_views.trackside = render_trackside_camera;
    camera_views.trackside_tick = trackside_tick_slot;
    camera_views.trackside_digit = trackside_select_digit;
    roost_set_spawn(roost_particle_spawn);
    race_hooks.roost_particles_free = roost_particles_free;
    engine_sound_install();
}
