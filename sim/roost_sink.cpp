#include "sim/roost_sink.h"

namespace {
roost_spawn_fn installed_spawn = nullptr;
}

void roost_set_spawn(roost_spawn_fn spawn)
{
    installed_spawn = spawn;
}

int roost_spawn(const float position[3], const float velocity[3], const roost_type* type)
{
    return installed_spawn ? installed_spawn(position, velocity, type) : 0;
}
