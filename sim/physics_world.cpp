#include "sim/physics_world.h"

#include "platform/qorl_log.h"

dWorldID physics_world = nullptr;
dJointGroupID contact_group = nullptr;

int physics_world_init()
{
    if (physics_world)
        return 1;
    // The library must be initialised before the first world exists: stepping a world
    // made without it crashes.
    dInitODE2(0);
    if (!dCheckConfiguration("ODE_double_precision")) {
        qorl_log("The physics library is not the double precision build");
        dCloseODE();
        return 0;
    }
    physics_world = dWorldCreate();
    dWorldSetGravity(physics_world, 0, -32, 0);
    contact_group = dJointGroupCreate(0);
    return 1;
}

void physics_world_shutdown()
{
    if (!physics_world)
        return;
    if (contact_group)
        dJointGroupDestroy(contact_group);
    contact_group = nullptr;
    dWorldDestroy(physics_world);
    physics_world = nullptr;
    dCloseODE();
}
