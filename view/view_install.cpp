#include "view/view_install.h"

#include "race/race_hooks.h"
#include "race/world_view.h"
#include "sim/roost_sink.h"
#include "view/engine_sound.h"
#include "view/render_world.h"
#include "view/roost_particles.h"

void view_install()
{
    render_world_entry = render_world;
    roost_set_spawn(roost_particle_spawn);
    race_hooks.roost_particles_free = roost_particles_free;
    engine_sound_install();
}
