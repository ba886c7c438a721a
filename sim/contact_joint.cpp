#include "sim/contact_joint.h"

#include "sim/contact_surface.h"
#include "sim/physics_world.h"

#include <cmath>
#include <cstring>

static_assert(kContactSurfaceMode == (dContactSoftERP | dContactSoftCFM | dContactApprox1_1 | dContactApprox1_2));
static_assert(kContactFrictionDirection == dContactFDir1);

using namespace contact_math;

namespace {

bool finite(vec3 v)
{
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

}  // namespace

dJointID contact_joint_add(dBodyID body1, dBodyID body2, vec3 position, vec3 normal, double depth,
                           double mu, double kp, double kd, const vec3* fdir)
{
    double erp, cfm;
    if (!contact_softness(kp, kd, kTickLength, &erp, &cfm))
        return nullptr;
    const double n_len = length(normal);
    if (!finite(position) || !finite(normal) || !(n_len > 1e-9) || !std::isfinite(depth) ||
        !std::isfinite(mu))
        return nullptr;
    normal = normal * (1.0 / n_len);

    dContact contact;
    std::memset(&contact, 0, sizeof contact);
    contact.surface.mode = kContactSurfaceMode;
    contact.surface.mu = mu;
    contact.surface.soft_erp = erp;
    contact.surface.soft_cfm = cfm;
    contact.geom.pos[0] = position.x;
    contact.geom.pos[1] = position.y;
    contact.geom.pos[2] = position.z;
    contact.geom.normal[0] = normal.x;
    contact.geom.normal[1] = normal.y;
    contact.geom.normal[2] = normal.z;
    contact.geom.depth = depth;
    if (fdir && finite(*fdir) && length2(*fdir) > 0.0) {
        contact.surface.mode |= kContactFrictionDirection;
        contact.fdir1[0] = fdir->x;
        contact.fdir1[1] = fdir->y;
        contact.fdir1[2] = fdir->z;
    }
    dJointID joint = dJointCreateContact(physics_world, contact_group, &contact);
    dJointAttach(joint, body1, body2);
    return joint;
}

void body_pose(dBodyID body, float position[3], float rotation[9])
{
    const dReal* p = dBodyGetPosition(body);
    const dReal* R = dBodyGetRotation(body);  // 3 x 4, row-major
    for (int i = 0; i < 3; ++i) {
        position[i] = float(p[i]);
        for (int j = 0; j < 3; ++j)
            rotation[i * 3 + j] = float(R[i * 4 + j]);
    }
}
