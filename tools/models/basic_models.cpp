// Small models that exercise every form the loader reads (plain, legacy, skinned,
// with a reflection layer, with a coarser variant) and the start gate of the tracks.
#include "models.h"

namespace gen {

namespace {

model one_part(const std::string& name, part p)
{
    model m;
    m.name = name;
    m.parts.push_back(std::move(p));
    return m;
}

// A bar along x in segments; weight slides from bone 0 at the left end to bone 1 at
// the right, so bending bone 1 curls the right half.
model skinned_strip()
{
    model m;
    m.name = "models/strip.jm";
    m.bone_count = 2;
    m.skeleton = "strip";
    part p = lit(16, 0.8, 0.8, 0.8);
    constexpr int segments = 8;
    auto weights_at = [](double t) {
        weights w;
        if (t < 1)
            w[0] = 1 - t;
        if (t > 0)
            w[1] = t;
        return w;
    };
    for (int k = 0; k < segments; ++k) {
        const double t0 = static_cast<double>(k) / segments, t1 = static_cast<double>(k + 1) / segments;
        add_beam(p, {-1 + 2 * t0, 0, 0}, {-1 + 2 * t1, 0, 0}, 0.1, 0.1, {0, 0, 1}, swatch::body,
                 weights_at(t0), weights_at(t1));
    }
    m.parts.push_back(std::move(p));
    return m;
}

model ball(const std::string& name, int stacks, int slices)
{
    part p = lit(48, 1, 1, 1);
    add_sphere(p, {0, 0, 0}, {0.5, 0.5, 0.5}, stacks, slices, swatch::body);
    return one_part(name, std::move(p));
}

// The gate of one start slot, as it lies once dropped: a plate flat on the ground on
// the riders' side (+z), hinged along x at z = 0. The race tips it up about that
// hinge while the gate is raised. Full detail has a rim and a self-lit lamp.
model start_gate(const std::string& name, bool full)
{
    model m;
    m.name = name;
    part plate = lit(24, 0.6, 0.6, 0.6);
    add_box(plate, {-1.5, 0, 0}, {1.5, 0.1, 3.0}, swatch::body);
    if (full) {
        add_box(plate, {-1.6, 0, 0}, {-1.5, 0.14, 3.0}, swatch::metal);
        add_box(plate, {1.5, 0, 0}, {1.6, 0.14, 3.0}, swatch::metal);
    }
    m.parts.push_back(std::move(plate));
    if (full) {
        part lamp;
        lamp.s = -2;
        lamp.r = 1.0;
        lamp.g = 0.55;
        lamp.b = 0.1;
        add_box(lamp, {-1.6, 0.14, 2.85}, {-1.5, 0.24, 2.97}, swatch::accent);
        m.parts.push_back(std::move(lamp));
    }
    return m;
}

}  // namespace

std::vector<model> basic_models()
{
    std::vector<model> out;

    part cube = lit(32, 1, 1, 1);
    add_box(cube, {-0.5, -0.5, -0.5}, {0.5, 0.5, 0.5}, swatch::body);
    out.push_back(one_part("models/cube.jm", cube));

    model legacy = one_part("models/legacy_cube.jm", cube);
    legacy.legacy = true;
    out.push_back(legacy);

    // A lit cube with the same box again as an environment-reflection layer.
    model shiny = one_part("models/shiny_cube.jm", cube);
    part gloss = cube;
    gloss.s = -1;
    gloss.a = 0.35;
    out.push_back(shiny);
    out.back().parts.push_back(gloss);

    // A trackside sign on a post: a 6 x 3 ft board facing +z, 4 ft up.
    part sign = lit(40, 1, 1, 1);
    add_box(sign, {-0.15, 0, -0.3}, {0.15, 4, -0.1}, swatch::metal);
    add_box(sign, {-3, 4, -0.1}, {3, 7, 0.1}, swatch::body);
    out.push_back(one_part("models/sign.jm", sign));

    out.push_back(skinned_strip());
    out.push_back(ball("models/ball.jm", 12, 16));
    out.push_back(ball("models/ball_lod1.jm", 6, 8));

    out.push_back(start_gate("startgate.jm", true));
    out.push_back(start_gate("startgate_lod1.jm", false));
    return out;
}

}  // namespace gen
