// The contact geometry on the CPU: sphere and wheel against ground triangles, the
// edge root search, and the surface laws.
#include "sim/contact_geometry.h"
#include "sim/contact_surface.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

using namespace contact_math;

namespace {

constexpr vec3 kUp{0, 1, 0};

void expect_vec(vec3 got, vec3 want, double tol = 1e-9)
{
    EXPECT_NEAR(got.x, want.x, tol);
    EXPECT_NEAR(got.y, want.y, tol);
    EXPECT_NEAR(got.z, want.z, tol);
}

// A large flat triangle in y = 0 over x, z in [-10, 10] (normal up).
struct flat_triangle {
    vec3 t[3] = {{-10, 0, -10}, {-10, 0, 30}, {30, 0, -10}};
};

}  // namespace

// Sphere of radius 1 against the flat triangle, and beside a small one.
//
//        c            (face: straight above)
//   T0 ------- T1     (edge T0-T1 when c is beyond it, corner beyond the end)
TEST(SphereTriangle, FaceEdgeCornerAndSunkThrough)
{
    flat_triangle big;
    vec3 p, n;
    EXPECT_NEAR(collide_sphere_triangle({1, 0.75, 2}, 1.0, big.t, &p, &n), 0.25, 1e-12);
    expect_vec(n, kUp);
    expect_vec(p, {1, -0.25, 2});
    EXPECT_EQ(collide_sphere_triangle({1, 1.0, 2}, 1.0, big.t, &p, &n), 0.0);

    // Triangle (0,0,0) (0,0,4) (4,0,0); its edge T0-T1 runs along z at x = 0.
    const vec3 small[3] = {{0, 0, 0}, {0, 0, 4}, {4, 0, 0}};
    EXPECT_NEAR(collide_sphere_triangle({-0.6, 0.0, 2}, 1.0, small, &p, &n), 0.4, 1e-12);
    expect_vec(n, {-1, 0, 0});
    expect_vec(p, {0.4, 0, 2});
    // Beyond corner T0 on both edge lines: the corner (c also projects onto the middle
    // of the far edge T1-T2, which must not be taken for the nearest feature).
    const double d = std::sqrt(0.5 * 0.5 * 3);
    EXPECT_NEAR(collide_sphere_triangle({-0.5, 0.5, -0.5}, 1.0, small, &p, &n), 1.0 - d, 1e-12);
    expect_vec(n, vec3{-0.5, 0.5, -0.5} * (1.0 / d));

    // More than a radius below the plane counts only straight under the triangle.
    EXPECT_NEAR(collide_sphere_triangle({1, -1.5, 1}, 1.0, small, &p, &n), 2.5, 1e-12);
    EXPECT_EQ(collide_sphere_triangle({-3, -1.5, -3}, 1.0, small, &p, &n), 0.0);
}

TEST(SphereTriangle, DownFacingGroundNormalNeverPushesDown)
{
    // The triangle's corners in the other order: its normal faces down.
    const vec3 down[3] = {{-10, 0, -10}, {30, 0, -10}, {-10, 0, 30}};
    vec3 p, n;
    ASSERT_GT(collide_sphere_triangle({1, 0.5, 1}, 1.0, down, &p, &n), 0.0);
    EXPECT_LT(n.y, 0.0);
    expect_vec(ground_contact_normal(n), kUp);

    expect_vec(ground_contact_normal({0.6, -0.8, 0}), {1, 0, 0});
    expect_vec(ground_contact_normal({0.02, -0.9998, 0}), kUp);  // horizontal part < 1/32
    expect_vec(ground_contact_normal({0.6, 0.8, 0}), {0.6, 0.8, 0});
}

// An upright wheel (axle x, ring 1, tyre 0.3) over the ground.
TEST(TorusTriangle, FaceContactBothVariants)
{
    flat_triangle big;
    const vec3 c{1, 1.2, 2}, axle{1, 0, 0};
    vec3 p, n;
    EXPECT_NEAR(collide_torus_triangle(c, axle, 1.0, 0.3, big.t, &p, &n), 0.1, 1e-12);
    expect_vec(n, kUp);
    expect_vec(p, {1, -0.1, 2});
    EXPECT_NEAR(collide_torus_triangle_exact(c, axle, 1.0, 0.3, big.t, &p, &n), 0.1, 1e-12);
    EXPECT_EQ(collide_torus_triangle_exact({1, 1.31, 2}, axle, 1.0, 0.3, big.t, &p, &n), 0.0);
}

// The ground begins at z = 0.3, just ahead of the ring's lowest point: only the exact
// test sees the ring resting on the edge.
//
//    centre (y 1.25, z 0)
//       \ ring, radius 1
//        \____ edge at (y 0, z 0.3), along x
TEST(TorusTriangle, EdgeContactOnlyInTheExactTest)
{
    const vec3 tri[3] = {{-10, 0, 0.3}, {-10, 0, 30}, {30, 0, 0.3}};
    const vec3 c{0, 1.25, 0}, axle{1, 0, 0};
    vec3 p, n;
    EXPECT_EQ(collide_torus_triangle(c, axle, 1.0, 0.3, tri, &p, &n), 0.0);

    const double reach = std::hypot(1.25, 0.3);
    ASSERT_NEAR(collide_torus_triangle_exact(c, axle, 1.0, 0.3, tri, &p, &n), 0.3 - (reach - 1.0), 1e-9);
    expect_vec(n, vec3{0, 1.25, -0.3} * (1.0 / reach), 1e-9);
}

TEST(TorusTriangle, SunkThroughAndEdgeCrossing)
{
    const vec3 small[3] = {{0, 0, 0}, {0, 0, 4}, {4, 0, 0}};
    const vec3 axle{1, 0, 0};
    vec3 p, n;
    // The whole ring below the plane, its centre over the triangle: depth 2R, up.
    EXPECT_NEAR(collide_torus_triangle({1, -1.2, 1}, axle, 1.0, 0.3, small, &p, &n), 2.0, 1e-12);
    expect_vec(n, kUp);
    EXPECT_NEAR(collide_torus_triangle_exact({1, -1.2, 1}, axle, 1.0, 0.3, small, &p, &n), 2.0, 1e-12);
    // ... and beside it: the probe sees nothing.
    EXPECT_EQ(collide_torus_triangle({-3, -1.2, -3}, axle, 1.0, 0.3, small, &p, &n), 0.0);

    // The ring cut by the triangle's plane with its lowest point beside the triangle:
    // the probe reports the edge crossing the wheel plane within the ring.
    const vec3 strip[3] = {{-1, 0, 0.5}, {-1, 0, 4}, {3, 0, 0.5}};
    const double d = collide_torus_triangle({0, 0.8, 0}, axle, 1.0, 0.3, strip, &p, &n);
    EXPECT_NEAR(d, 0.3 - 1.0 / 1048576.0, 1e-12);
    EXPECT_GT(n.y, 0.0);
    EXPECT_NEAR(n.x, 0.0, 1e-12);
}

// The exact wheel test against brute force: the closest of the three edges to the
// ring circle and of the corners to the wheel's disc, for turned and tilted wheels
// whose lowest ring point lies beside the triangle.
TEST(TorusTriangle, ExactMatchesBruteForceBesideTheFace)
{
    std::mt19937 rng(12345);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    const double R = 1.0, r = 0.35;
    int compared = 0;
    for (int trial = 0; trial < 400; ++trial) {
        const vec3 tri[3] = {{u(rng) * 3, u(rng) * 0.5, u(rng) * 3}, {u(rng) * 3, u(rng) * 0.5, u(rng) * 3},
                             {u(rng) * 3, u(rng) * 0.5, u(rng) * 3}};
        vec3 ordered[3] = {tri[0], tri[1], tri[2]};
        if (cross(tri[1] - tri[0], tri[2] - tri[0]).y < 0.0)
            std::swap(ordered[1], ordered[2]);
        const vec3 axle = normalised_or({1.0, u(rng) * 0.4, u(rng)}, {1, 0, 0});
        const vec3 c{u(rng) * 2, 1.0 + u(rng) * 0.8, u(rng) * 2};

        double want = 1e9;
        for (int k = 0; k < 3; ++k) {
            const vec3 a = ordered[k], e = ordered[(k + 1) % 3] - a;
            for (int s = 0; s <= 20000; ++s) {
                const vec3 x = a + e * (s / 20000.0);
                want = std::min(want, length(x - ring_nearest_point(c, axle, R, x)));
            }
            const vec3 v = a - c;
            const double h = dot(v, axle), rho = length(v - axle * h);
            want = std::min(want, rho <= R ? std::fabs(h) : std::hypot(h, rho - R));
        }
        vec3 p, n;
        const double got = collide_torus_triangle_exact(c, axle, R, r, ordered, &p, &n);
        // Only the cases decided by edges and corners (the face test returns at once).
        const vec3 nn = normalised_or(cross(ordered[1] - ordered[0], ordered[2] - ordered[0]), kUp);
        vec3 d = -nn - axle * dot(-nn, axle);
        d = normalised_or(d, {0, -1, 0});
        const vec3 P = c + d * R;
        if (point_projects_onto_triangle(P, ordered) || dot(P - ordered[0], nn) < 0.0)
            continue;
        ++compared;
        EXPECT_NEAR(got, std::max(r - want, 0.0), 2e-4) << "trial " << trial;
        if (got > 0.0) {
            EXPECT_NEAR(length(n), 1.0, 1e-9);
        }
    }
    EXPECT_GT(compared, 100);
}

// The cheap rejections ahead of the exact tests: a rejected triangle never has a
// contact in any test, over wheels and spheres above, beside, grazing and sunk through
// steep and flat triangles; and they do reject most of the far ones.
TEST(TriangleRejection, NeverDropsAContact)
{
    std::mt19937 rng(4242);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    int rejected = 0, touched = 0;
    for (int trial = 0; trial < 20000; ++trial) {
        const double steep = trial % 3 == 0 ? 3.0 : 0.4;
        vec3 tri[3];
        for (auto& corner : tri)
            corner = {u(rng) * 1.5, u(rng) * steep, u(rng) * 1.5};
        if (cross(tri[1] - tri[0], tri[2] - tri[0]).y < 0.0)
            std::swap(tri[1], tri[2]);
        const vec3 c{u(rng) * 3.0, u(rng) * 3.5, u(rng) * 3.0};
        const vec3 axle = normalised_or({u(rng), u(rng) * 0.5, u(rng)}, {1, 0, 0});
        const double R = 0.5 + 0.5 * (u(rng) + 1.0), r = 0.1 + 0.15 * (u(rng) + 1.0);
        vec3 p, n;
        if (!wheel_may_touch_triangle(c, axle, R, r, tri)) {
            ++rejected;
            EXPECT_EQ(collide_torus_triangle_exact(c, axle, R, r, tri, &p, &n), 0.0) << "trial " << trial;
            EXPECT_EQ(collide_torus_triangle(c, axle, R, r, tri, &p, &n), 0.0) << "trial " << trial;
        } else if (collide_torus_triangle_exact(c, axle, R, r, tri, &p, &n) > 0.0) {
            ++touched;
        }
        const double radius = R;
        if (!sphere_may_touch_triangle(c, radius, tri)) {
            EXPECT_EQ(collide_sphere_triangle(c, radius, tri, &p, &n), 0.0) << "trial " << trial;
        }
    }
    EXPECT_GT(rejected, 5000);
    EXPECT_GT(touched, 1000);

    // Sunk far below a triangle, inside its outline seen from above: never rejected.
    const vec3 small[3] = {{0, 0, 0}, {0, 0, 4}, {4, 0, 0}};
    EXPECT_TRUE(wheel_may_touch_triangle({1, -50, 1}, {1, 0, 0}, 1.0, 0.3, small));
    EXPECT_TRUE(sphere_may_touch_triangle({1, -50, 1}, 0.5, small));
    EXPECT_FALSE(wheel_may_touch_triangle({1, 50, 1}, {1, 0, 0}, 1.0, 0.3, small));
    // Beside the wheel plane by more than the tyre's half width, within the ring's reach.
    EXPECT_FALSE(wheel_may_touch_triangle({-0.5, 0.9, 1}, {1, 0, 0}, 1.0, 0.3, small));
    // Sizes that make no sense reject nothing.
    EXPECT_TRUE(wheel_may_touch_triangle({1, 50, 1}, {1, 0, 0}, -1.0, 0.3, small));
    EXPECT_TRUE(sphere_may_touch_triangle({1, 50, 1}, std::nan(""), small));

    // At the edge of reach (reach plus a slack of 1/4096): kept just inside it, rejected
    // just past it, above the triangle, beside its outline and beside the wheel plane.
    const vec3 square[3] = {{0, 0, 0}, {0, 0, 1}, {1, 0, 0}};
    const double slack = 1.0 / 4096, in = 0.99 * slack, out = 1.01 * slack;
    EXPECT_TRUE(sphere_may_touch_triangle({0.2, 1.0 + in, 0.2}, 1.0, square));
    EXPECT_FALSE(sphere_may_touch_triangle({0.2, 1.0 + out, 0.2}, 1.0, square));
    EXPECT_TRUE(sphere_may_touch_triangle({0.2, 0.0, 1.0 + 1.0 + in}, 1.0, square));
    EXPECT_FALSE(sphere_may_touch_triangle({0.2, 0.0, 1.0 + 1.0 + out}, 1.0, square));
    EXPECT_TRUE(sphere_may_touch_triangle({-1.0 - in, 0.0, 0.2}, 1.0, square));
    EXPECT_FALSE(sphere_may_touch_triangle({-1.0 - out, 0.0, 0.2}, 1.0, square));
    EXPECT_TRUE(wheel_may_touch_triangle({0.2, 0.7 + in, 0.2}, {1, 0, 0}, 0.5, 0.2, square));
    EXPECT_FALSE(wheel_may_touch_triangle({0.2, 0.7 + out, 0.2}, {1, 0, 0}, 0.5, 0.2, square));
    EXPECT_TRUE(wheel_may_touch_triangle({-0.2 - in, 0.1, 0.2}, {1, 0, 0}, 0.5, 0.2, square));
    EXPECT_FALSE(wheel_may_touch_triangle({-0.2 - out, 0.1, 0.2}, {1, 0, 0}, 0.5, 0.2, square));
    EXPECT_TRUE(wheel_may_touch_triangle({1.2 + in, 0.1, 0.2}, {1, 0, 0}, 0.5, 0.2, square));
    EXPECT_FALSE(wheel_may_touch_triangle({1.2 + out, 0.1, 0.2}, {1, 0, 0}, 0.5, 0.2, square));
    // Below the triangle: sunk through while inside its outline (plus the slack).
    EXPECT_TRUE(sphere_may_touch_triangle({-in, -50, 0.2}, 1.0, square));
    EXPECT_FALSE(sphere_may_touch_triangle({-out, -50, 0.2}, 1.0, square));
}

TEST(QuarticRefine, NewtonStepsAndTheirStops)
{
    // (x - 0.3)(x + 2)(x^2 + 1) = x^4 + 1.7 x^3 + 0.4 x^2 + 1.7 x - 0.6
    const double a[5] = {-0.6, 1.7, 0.4, 1.7, 1.0};
    EXPECT_NEAR(quartic_refine_root(a, 0.25), 0.3, 1e-9);
    // A flat start (slope below 2^-30) stays where it is.
    const double flat[5] = {1.0, 0.0, 0.0, 0.0, 1.0};
    EXPECT_EQ(quartic_refine_root(flat, 0.0), 0.0);
}

TEST(SurfaceLaws, FrictionCurveWithUnusedPoints)
{
    const float U = kTerrainUnusedSpeed;
    const float lone_speeds[8] = {1, U, U, U, U, U, U, U};
    const float lone_values[8] = {0.8f, 5, 5, 5, 5, 5, 5, 5};
    for (double s : {0.0, 0.5, 1.0, 3.0, 1e9})
        EXPECT_FLOAT_EQ(friction_curve(lone_speeds, lone_values, s, false), 0.8f) << s;

    const float speeds[8] = {1, 5, U, U, U, U, U, U};
    const float values[8] = {1.0f, 0.5f, 9, 9, 9, 9, 9, 9};
    struct {
        double s;
        bool squared;
        double want;
    } cases[] = {
        {3, false, 0.75}, {0.5, false, 1.0}, {5, false, 0.5}, {70, false, 0.5},
        {3, true, 1.0 - 0.5 * 8.0 / 24.0},  // squared speeds: (9 - 1) / (25 - 1)
    };
    for (auto& c : cases)
        EXPECT_NEAR(friction_curve(speeds, values, c.s, c.squared), c.want, 1e-6) << c.s;

    const float all[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    const float ramp[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_FLOAT_EQ(friction_curve(all, ramp, 100, false), 8.0f);
    EXPECT_NEAR(friction_curve(all, ramp, 7.5, false), 7.5, 1e-6);
}

TEST(SurfaceLaws, RollResistanceCurveKeyZeroUnused)
{
    const float keys[8] = {1, 3, 0, 0, 0, 0, 0, 0};
    const float pairs[8][2] = {{5, 15}, {7, 25}, {99, 99}};
    double out[2];
    roll_resistance_curve(keys, pairs, 2.0, out);
    EXPECT_DOUBLE_EQ(out[0], 6.0);
    EXPECT_DOUBLE_EQ(out[1], 20.0);
    roll_resistance_curve(keys, pairs, 50.0, out);
    EXPECT_DOUBLE_EQ(out[0], 7.0);
    const float unused[8] = {};
    roll_resistance_curve(unused, pairs, 2.0, out);
    EXPECT_DOUBLE_EQ(out[1], 15.0);
}

TEST(SurfaceLaws, SoftnessFromSpringAndDamper)
{
    double kp, kd;
    EXPECT_DOUBLE_EQ(tyre_softness(0.15, 0.3, &kp, &kd), 0.5);
    EXPECT_DOUBLE_EQ(kp, 4000.0);
    EXPECT_DOUBLE_EQ(kd, 487.5);
    tyre_softness(3.0, 0.3, &kp, &kd);  // capped at c = 1
    EXPECT_DOUBLE_EQ(kp, 25000.0);

    double erp, cfm;
    ASSERT_TRUE(contact_softness(2500, 250, 1.0 / 128, &erp, &cfm));
    EXPECT_DOUBLE_EQ(erp, 19.53125 / 269.53125);
    EXPECT_DOUBLE_EQ(cfm, 1.0 / 269.53125);
    // No spring and no damper, or a negative sum: no contact (its CFM would be infinite).
    EXPECT_FALSE(contact_softness(0, 0, 1.0 / 128, &erp, &cfm));
    EXPECT_FALSE(contact_softness(-128, 0.5, 1.0 / 128, &erp, &cfm));
}
