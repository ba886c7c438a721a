// Limits on a free point (a crashed rider's foot) held by a body: the point and its
// velocity are corrected in place.
#pragma once
#include <ode/ode.h>

// Keeps the point within radius of a body-fixed centre: beyond it the point moves onto
// the sphere and its radial velocity becomes the body's velocity at the centre along
// that direction.
void point_tether_sphere(dBodyID body, const float centre[3], float radius, float point[3],
                         float velocity[3]);

// Keeps the point on or above a body-fixed plane (a point on it and its normal, in
// the body's coordinates): below it the point moves onto the plane and its normal
// velocity becomes the body's velocity there along the normal.
void point_above_plane(dBodyID body, const float plane_point[3], const float plane_normal[3],
                       float point[3], float velocity[3]);
