// One soft contact joint in the per-tick contact group: a one-sided push along the
// normal into body1 (body2 may be null for the ground), with Coulomb friction mu as a
// coefficient of the normal force.
#pragma once
#include "sim/contact_math.h"

#include <ode/ode.h>

// Null (nothing made) when the spring and damper give no finite softness, when the
// normal has no direction, or when any value is not finite: such a joint would abort
// the physics library or spread NaN through the world. fdir, when given, is the first
// friction direction.
dJointID contact_joint_add(dBodyID body1, dBodyID body2, contact_math::vec3 position,
                           contact_math::vec3 normal, double depth, double mu, double kp, double kd,
                           const contact_math::vec3* fdir = nullptr);

// Position and row-major rotation of a body as floats, for placing its sphere set.
void body_pose(dBodyID body, float position[3], float rotation[9]);
