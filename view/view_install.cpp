#include "view/view_install.h"

#include "race/main_loop.h"
#include "race/race_hooks.h"
#include "race/world_view.h"
#include "sim/roost_sink.h"
#include "view/render_world.h"
#include "view/roost_particles.h"

void view_install()
{
    // The world is drawn over the main loop's frame: the window's drawable size.
    render_world_entry = [](const float position[3], const float rotation[9], float fov, int32_t viewer_slot) {
        view_width = window_width;
        view_height = window_height;
        render_world(position, rotation, fov, viewer_slot);
    };
    roost_set_spawn(roost_particle_spawn);
    race_hooks.roost_particles_free = roost_particles_free;
}
