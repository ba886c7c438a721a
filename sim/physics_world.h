// The one rigid-body world of the program and its contact joint group, alive from
// start-up to shutdown. Gravity (0, -32, 0) ft/s²; every other world default stays.
#pragma once
#include <ode/ode.h>

inline constexpr double kTickLength = 1.0 / 128.0;

extern dWorldID physics_world;
extern dJointGroupID contact_group;

// Initialises the library, checks it runs in double precision and makes the world
// and the contact group. 0 (with a log line) when the library is not the double
// precision build; calling it again while the world lives does nothing and gives 1.
int physics_world_init();
// Frees the contact group and the world and closes the library.
void physics_world_shutdown();
