#include "sim/foot_constraints.h"

#include "sim/contact_math.h"

using namespace contact_math;

namespace {

// The point's velocity with its component along unit u replaced by the body's.
vec3 replace_component(vec3 velocity, vec3 body_velocity, vec3 u)
{
    return velocity + u * (dot(body_velocity, u) - dot(velocity, u));
}

}  // namespace

void point_tether_sphere(dBodyID body, const float centre[3], float radius, float point[3],
                         float velocity[3])
{
    dVector3 c, vc;
    dBodyGetRelPointPos(body, centre[0], centre[1], centre[2], c);
    const vec3 C = load(c);
    const vec3 v = load(point) - C;
    const double l = length(v);
    if (!(l > radius) || !(l > 0.0))
        return;
    const vec3 u = v * (1.0 / l);
    store(C + u * double(radius), point);
    dBodyGetRelPointVel(body, centre[0], centre[1], centre[2], vc);
    store(replace_component(load(velocity), load(vc), u), velocity);
}

void point_above_plane(dBodyID body, const float plane_point[3], const float plane_normal[3],
                       float point[3], float velocity[3])
{
    dVector3 w, nw, vb;
    dBodyGetRelPointPos(body, plane_point[0], plane_point[1], plane_point[2], w);
    dBodyVectorToWorld(body, plane_normal[0], plane_normal[1], plane_normal[2], nw);
    const vec3 n_raw = load(nw);
    if (!(length2(n_raw) > 0.0))
        return;
    const vec3 n = n_raw * (1.0 / length(n_raw));
    const vec3 p = load(point);
    const double s = dot(p - load(w), n);
    if (!(s < 0.0))
        return;
    const vec3 on_plane = p - n * s;
    store(on_plane, point);
    dBodyGetPointVel(body, on_plane.x, on_plane.y, on_plane.z, vb);
    store(replace_component(load(velocity), load(vb), n), velocity);
}
