// Distance cores of the contacts: a sphere or a wheel (a torus: ring radius R about
// the axle, tyre section radius r) against one ground triangle. Each returns the
// depth of the overlap, above 0 for a contact (with the point and the normal that
// pushes the sphere or wheel out), 0 when there is none.
//
// A triangle is given by its corners T0, T1, T2 ordered so that (T1 - T0) x (T2 - T0)
// faces the side the sphere or wheel is meant to stay on (up, for the ground).
#pragma once
#include "sim/contact_math.h"

namespace contact_math {

// Inside the triangle along its normal (the three edge-side tests), edges included.
bool point_projects_onto_triangle(vec3 p, const vec3 tri[3]);
// Inside the triangle seen from above (x and z only), edges included.
bool point_in_triangle_xz(vec3 p, const vec3 tri[3]);

// The point of the wheel's ring (centre, unit axle, radius R) nearest to p. A point on
// the axle line takes the first usable direction of x, y, z, x+y, ...
vec3 ring_nearest_point(vec3 centre, vec3 axle, double ring_radius, vec3 p);

// A ground contact normal never pushes down: a downward normal keeps its horizontal
// part (straight up when that part is shorter than 1/32).
vec3 ground_contact_normal(vec3 normal);

double collide_sphere_triangle(vec3 centre, double radius, const vec3 tri[3], vec3* point,
                               vec3* normal);

// The cheap probe: face, sunk-through and edge-crossing tests only.
double collide_torus_triangle(vec3 centre, vec3 axle, double ring_radius, double tyre_radius,
                              const vec3 tri[3], vec3* point, vec3* normal);

// The exact test: the face test, then the closest of the three edges (ring circle
// against segment) and the three corners (against the wheel's disc). A search for the
// deepest contact passes the depth it has already found as `beat`: a triangle that
// surely cannot give a deeper one may then give 0 without its edge search.
double collide_torus_triangle_exact(vec3 centre, vec3 axle, double ring_radius,
                                    double tyre_radius, const vec3 tri[3], vec3* point,
                                    vec3* normal, double beat = 0.0);

// Cheap rejections for the loops over ground triangles, run before the tests above:
// false only when that test is sure to find no contact. Nothing of the triangle is
// within the shape's reach of its centre (for a wheel, also nothing within its tyre's
// half width of the wheel plane), and the centre is not below the triangle inside its
// outline seen from above (where a sunk sphere or wheel still finds it). Negative or
// undefined sizes reject nothing.
bool sphere_may_touch_triangle(vec3 centre, double radius, const vec3 tri[3]);
bool wheel_may_touch_triangle(vec3 centre, vec3 axle, double ring_radius, double tyre_radius,
                              const vec3 tri[3]);

// The depth of the exact test's face contact (sunk through or over the face), else 0:
// what that test gives whenever this is above 0.
double torus_face_depth(vec3 centre, vec3 axle, double ring_radius, double tyre_radius, const vec3 tri[3]);

// The cheapest rejection, for a patch of ground whose highest point is `top`: true
// when a sphere or wheel reaching `reach` from its centre is wholly above it, so that
// every triangle of the patch is rejected by the tests above.
bool wholly_above(vec3 centre, double reach, double top);

// At most four Newton steps on sum a[k] x^k (k = 0..4) from x; keeps x when the slope
// is below 2^-30 and the previous x when a step does not bring |p| down.
double quartic_refine_root(const double a[5], double x);

}  // namespace contact_math
