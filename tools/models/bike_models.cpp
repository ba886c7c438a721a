// The bike. Each part is modelled around the rest position of the body that carries
// it (bike space: x right, y up, z backwards, feet), so a part drawn on its body sits
// where the physics puts it: axles, steering head, swingarm pivot and foot pegs meet.
#include "models.h"

namespace gen {

namespace {

// Rest positions of the bodies and joints, bike space.
constexpr vec3 front_axle{0, 1.09, 1.11};
constexpr vec3 rear_axle{0, 1.04, 6.0};
constexpr vec3 frame_at{0, 1.98, 3.6};
constexpr vec3 fork_upper_at{0, 2.9, 2.16};
constexpr vec3 fork_lower_at{0, 1.77, 1.59};
constexpr vec3 swingarm_at{0, 1.34, 4.99};
constexpr vec3 swingarm_pivot{0, 1.6, 4.08};
constexpr double fork_half_spacing = 0.833333 / 2;

// The steering and fork-slide axis, pointing up.
vec3 steering_axis() { return normalise(fork_upper_at - fork_lower_at); }

part lit(double shininess, double grey)
{
    part p;
    p.s = shininess;
    p.r = p.g = p.b = grey;
    return p;
}

part reflection_of(const part& p, double strength)
{
    part out = p;
    out.s = -1;
    out.a = strength;
    out.r = out.g = out.b = 1;
    return out;
}

model with_parts(const std::string& name, std::vector<part> parts)
{
    model m;
    m.name = name;
    m.parts = std::move(parts);
    return m;
}

model frame()
{
    const vec3 head = fork_upper_at - frame_at;        // steering head
    const vec3 pivot = swingarm_pivot - frame_at;
    const vec3 axis = steering_axis();
    part tubes = lit(24, 0.5);
    // The steering head sits between the fork clamps.
    add_cylinder(tubes, head + axis * 0.05, head + axis * 0.85, 0.12, 12, swatch::metal);
    add_beam(tubes, head + axis * 0.6, {0, 0.9, 0.35}, 0.09, 0.09, {1, 0, 0}, swatch::metal);
    add_beam(tubes, head + axis * 0.15, {0, -0.6, -0.6}, 0.08, 0.08, {1, 0, 0}, swatch::metal);
    add_beam(tubes, {0, -0.75, -0.65}, {0, -0.75, 0.5}, 0.08, 0.08, {1, 0, 0}, swatch::metal);
    for (double side : {-1.0, 1.0}) {
        add_beam(tubes, {side * 0.28, 0.9, 0.3}, pivot + vec3{side * 0.3, 0, 0}, 0.06, 0.1, {1, 0, 0}, swatch::metal);
        add_beam(tubes, {side * 0.25, 0.9, 0.4}, {side * 0.22, 1.2, 2.0}, 0.05, 0.05, {1, 0, 0}, swatch::metal);
        // Foot pegs, where the rider's feet rest.
        add_box(tubes, {side * 0.6 - 0.13, -0.59, 0.53}, {side * 0.6 + 0.13, -0.53, 0.64}, swatch::metal);
    }
    add_box(tubes, {-0.3, -0.75, -0.75}, {0.3, 0.2, 0.45}, swatch::visor);   // engine
    add_beam(tubes, {0.3, -0.2, -0.55}, {0.38, 0.8, 1.1}, 0.06, 0.06, {1, 0, 0}, swatch::chrome);
    add_cylinder(tubes, {0.38, 0.8, 1.0}, {0.42, 1.0, 2.4}, 0.14, 12, swatch::chrome);   // silencer

    part plastics = lit(40, 0.8);
    add_box(plastics, {-0.42, 0.85, -1.25}, {0.42, 1.45, -0.1}, swatch::body);   // tank
    add_box(plastics, {-0.5, 0.3, -1.4}, {-0.35, 1.3, -0.5}, swatch::body);      // shrouds
    add_box(plastics, {0.35, 0.3, -1.4}, {0.5, 1.3, -0.5}, swatch::body);
    add_box(plastics, {-0.35, 1.05, 1.5}, {0.35, 1.2, 3.2}, swatch::body);       // rear fender

    part seat = lit(4, 0.2);
    add_box(seat, {-0.32, 1.2, -0.4}, {0.32, 1.55, 2.1}, swatch::seat);

    part gloss = reflection_of(plastics, 0.3);
    return with_parts("cr125_frame.jm", {tubes, plastics, seat, gloss});
}

model fork_upper()
{
    const vec3 axis = steering_axis();
    part clamps = lit(24, 0.6);
    add_box(clamps, axis * 0.9 - vec3{0.55, 0.06, 0.16}, axis * 0.9 + vec3{0.55, 0.06, 0.16}, swatch::metal);
    add_box(clamps, axis * 0.0 - vec3{0.55, 0.06, 0.16}, axis * 0.0 + vec3{0.55, 0.06, 0.16}, swatch::metal);
    // Handlebar: risers, a cross bar, and bends out to the grips.
    const double grip_y = 1.145, grip_z = 0.753, grip_x = 1.097;
    for (double side : {-1.0, 1.0}) {
        add_beam(clamps, axis * 0.95 + vec3{side * 0.2, 0, 0}, {side * 0.35, grip_y - 0.05, grip_z - 0.05}, 0.04,
                 0.04, {1, 0, 0}, swatch::metal);
        add_beam(clamps, {side * 0.3, grip_y, grip_z}, {side * 0.8, grip_y, grip_z}, 0.045, 0.045, {0, 0, 1},
                 swatch::metal);
    }
    add_beam(clamps, {-0.3, grip_y, grip_z}, {0.3, grip_y, grip_z}, 0.045, 0.045, {0, 0, 1}, swatch::metal);

    part grips = lit(2, 0.1);
    for (double side : {-1.0, 1.0})
        add_cylinder(grips, {side * 0.8, grip_y, grip_z}, {side * (grip_x + 0.1), grip_y, grip_z}, 0.07, 10,
                     swatch::rubber);

    part tubes = lit(64, 1.0);
    for (double side : {-1.0, 1.0}) {
        const vec3 x{side * fork_half_spacing, 0, 0};
        add_cylinder(tubes, x - axis * 0.9, x + axis * 0.95, 0.1, 12, swatch::chrome);
    }
    part shine = reflection_of(tubes, 0.5);
    return with_parts("cr125_fork_upper.jm", {clamps, grips, tubes, shine});
}

model fork_lower()
{
    const vec3 axis = steering_axis();
    const vec3 axle = front_axle - fork_lower_at;
    part legs = lit(24, 0.5);
    for (double side : {-1.0, 1.0}) {
        const vec3 x{side * fork_half_spacing, 0, 0};
        const vec3 bottom = x + vec3{0, axle.y - 0.08, axle.z + 0.12};
        add_cylinder(legs, bottom, bottom + axis * 1.25, 0.13, 12, swatch::metal);
        add_box(legs, vec3{x.x - 0.1, axle.y - 0.12, axle.z - 0.12}, vec3{x.x + 0.1, axle.y + 0.12, axle.z + 0.16},
                swatch::metal);
    }
    add_cylinder(legs, axle - vec3{0.5, 0, 0}, axle + vec3{0.5, 0, 0}, 0.05, 8, swatch::metal);
    part fender = lit(40, 0.8);
    add_box(fender, {-0.28, axle.y + 1.17, axle.z - 0.9}, {0.28, axle.y + 1.25, axle.z + 0.6}, swatch::body);
    return with_parts("cr125_fork_lower.jm", {legs, fender});
}

model swingarm()
{
    const vec3 pivot = swingarm_pivot - swingarm_at;
    const vec3 axle = rear_axle - swingarm_at;
    part arm = lit(32, 0.6);
    for (double side : {-1.0, 1.0})
        add_beam(arm, pivot + vec3{side * 0.36, 0, 0}, axle + vec3{side * 0.42, 0, 0.08}, 0.06, 0.12, {1, 0, 0},
                 swatch::metal);
    add_beam(arm, pivot + vec3{-0.36, -0.1, 0.3}, pivot + vec3{0.36, -0.1, 0.3}, 0.08, 0.08, {0, 0, 1},
             swatch::metal);
    add_cylinder(arm, pivot - vec3{0.45, 0, 0}, pivot + vec3{0.45, 0, 0}, 0.08, 10, swatch::chrome);
    add_cylinder(arm, axle - vec3{0.5, 0, 0}, axle + vec3{0.5, 0, 0}, 0.05, 8, swatch::chrome);
    return with_parts("cr125_swingarm.jm", {arm});
}

// A wheel around its axle (the x axis): tyre, rim, hub and, at full detail, spokes.
model wheel(const std::string& name, double ring, double tyre, double width, bool full)
{
    const double pi = 3.14159265358979323846;
    part rubber = lit(3, 0.15);
    add_torus(rubber, {0, 0, 0}, ring, tyre, full ? 32 : 14, full ? 10 : 5, swatch::rubber, width);
    part metal = lit(64, 0.9);
    const double rim = ring - tyre;
    add_torus(metal, {0, 0, 0}, rim, 0.05, full ? 32 : 12, full ? 6 : 4, swatch::chrome);
    add_cylinder(metal, {-0.2, 0, 0}, {0.2, 0, 0}, 0.12, full ? 12 : 6, swatch::chrome);
    if (full) {
        for (int k = 0; k < 16; ++k) {
            const double angle = 2 * pi * k / 16, side = k % 2 ? 1 : -1;
            const vec3 out{0, std::cos(angle), std::sin(angle)};
            add_beam(metal, vec3{side * 0.15, 0, 0} + out * 0.1, vec3{side * 0.03, 0, 0} + out * (rim - 0.02),
                     0.012, 0.012, {1, 0, 0}, swatch::chrome);
        }
    }
    return with_parts(name, {rubber, metal});
}

// Number plates show the whole image on their outer face, upright and unmirrored.
model side_plates()
{
    part plates = lit(16, 0.5);
    add_box(plates, {-0.45, 0.75, 0.6}, {-0.41, 1.2, 1.5}, swatch::whole);
    add_box(plates, {0.41, 0.75, 0.6}, {0.45, 1.2, 1.5}, swatch::whole);
    return with_parts("cr125_side_plates.jm", {plates});
}

model front_plate()
{
    part plate = lit(16, 0.5);
    add_box(plate, {-0.45, 0.3, -0.42}, {0.45, 1.0, -0.36}, swatch::whole);
    return with_parts("cr125_front_plate.jm", {plate});
}

}  // namespace

std::vector<model> bike_models()
{
    return {
        frame(),
        fork_upper(),
        fork_lower(),
        swingarm(),
        // Tyres clear the fork legs and the swingarm arms on either side.
        wheel("front_wheel.jm", 0.78, 0.3, 0.8, true),
        wheel("front_wheel_lod1.jm", 0.78, 0.3, 0.8, false),
        wheel("rear_wheel.jm", 0.72, 0.34, 0.9, true),
        wheel("rear_wheel_lod1.jm", 0.72, 0.34, 0.9, false),
        side_plates(),
        front_plate(),
    };
}

}  // namespace gen
