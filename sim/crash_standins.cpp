// Stand-ins for two operations of the bike step that the contacts call: the bike
// step's own definitions replace these (they are weak) once it is linked in.
#include "sim/bike_contacts.h"

#include <algorithm>
#include <cmath>
#include <numbers>

__attribute__((weak)) float bike_lean_angle(dBodyID body)
{
    if (!body)
        return 0.0f;
    const dReal* R = dBodyGetRotation(body);  // columns: the body's x, y, z axes
    double fx = -R[2], fz = -R[10];           // forward is the body's -z
    const double ux = R[1], uz = R[9];
    const double l = std::hypot(fx, fz);
    if (!(l > 0.0))
        return 0.0f;
    fx /= l;
    fz /= l;
    const double s = std::clamp(uz * fx - fz * ux, -1.0, 1.0);
    return float(std::acos(s) - std::numbers::pi / 2);
}

__attribute__((weak)) void rider_detach(rider_slot* rider)
{
    if (rider->joints[joint_rider])
        dJointAttach(rider->joints[joint_rider], nullptr, nullptr);
    rider->crash_counter = 512;
    rider->crash_count += 1;
}
