// The rider: one skinned body in its rest pose (arms straight out sideways, legs
// straight down, facing -z) whose 9 bones are the ones the bike drawing poses, in its
// order, with the rest centres it passes (elbows, shoulders, knees, hips, hip centre).
// Limb ends at a joint are shared half and half by the two bones that meet there, so
// a bent elbow or knee stays closed.
#include "models.h"

namespace gen {

namespace {

enum bone {
    left_forearm, right_forearm, left_upper_arm, right_upper_arm,
    left_shin, right_shin, left_thigh, right_thigh, torso,
    bone_count
};

// Rest-pose joints; z = 0.01 throughout.
constexpr double joint_z = 0.01;
constexpr double shoulder_x = 0.556, elbow_x = 1.456, hand_x = 1.456 + 1.15, arm_y = 0.875;
constexpr double hip_x = 0.269, hip_y = -0.88, knee_y = -2.208, ankle_y = -2.208 - 1.701;

weights shared(int a, int b) { return {{a, 0.5}, {b, 0.5}}; }

part cloth_part()
{
    part p;
    p.s = 6;
    p.r = p.g = p.b = 0.25;
    return p;
}

void add_arm(part& cloth, part& gloves, double side, int upper, int fore, bool with_upper = true)
{
    const vec3 shoulder{side * (shoulder_x - 0.06), arm_y, joint_z};
    const vec3 elbow{side * elbow_x, arm_y, joint_z};
    const vec3 wrist{side * (hand_x - 0.16), arm_y, joint_z};
    const vec3 hand{side * (hand_x + 0.1), arm_y, joint_z};
    if (with_upper)
        add_beam(cloth, shoulder, elbow, 0.15, 0.15, {0, 0, 1}, swatch::cloth, only(upper), shared(upper, fore));
    add_beam(cloth, elbow, wrist, 0.13, 0.13, {0, 0, 1}, swatch::cloth, shared(upper, fore), only(fore));
    add_beam(gloves, wrist, hand, 0.12, 0.1, {0, 0, 1}, swatch::rubber, only(fore), only(fore));
}

void add_leg(part& cloth, part& boots, double side, int thigh, int shin)
{
    const vec3 hip{side * hip_x, hip_y + 0.1, joint_z};
    const vec3 knee{side * hip_x, knee_y, joint_z};
    const vec3 ankle{side * hip_x, ankle_y + 0.35, joint_z};
    add_beam(cloth, hip, knee, 0.2, 0.2, {1, 0, 0}, swatch::cloth, only(thigh), shared(thigh, shin));
    add_beam(cloth, knee, ankle, 0.16, 0.16, {1, 0, 0}, swatch::cloth, shared(thigh, shin), only(shin));
    // Boot: from above the ankle to the sole, toe forward (-z).
    add_box(boots, {side * hip_x - 0.17, ankle_y - 0.14, -0.55}, {side * hip_x + 0.17, ankle_y + 0.45, 0.25},
            swatch::accent, only(shin));
}

void add_limbs(part& cloth, part& gear, bool upper_arms = true)
{
    add_arm(cloth, gear, -1, left_upper_arm, left_forearm, upper_arms);
    add_arm(cloth, gear, 1, right_upper_arm, right_forearm, upper_arms);
    add_leg(cloth, gear, -1, left_thigh, left_shin);
    add_leg(cloth, gear, 1, right_thigh, right_shin);
}

// Gloves, boots and the chest protector.
part gear_part()
{
    part gear;
    gear.s = 20;
    gear.r = gear.g = gear.b = 0.5;
    return gear;
}

model rider_body()
{
    model m;
    m.name = "rider_body.jm";
    m.bone_count = bone_count;
    m.skeleton = "rider";
    part cloth = cloth_part();
    part gear = gear_part();
    add_box(cloth, {-0.45, -1.05, -0.3}, {0.45, -0.3, 0.3}, swatch::cloth, only(torso));     // pelvis
    add_box(gear, {-0.55, -0.3, -0.35}, {0.55, 1.0, 0.35}, swatch::body, only(torso));      // chest
    add_box(cloth, {-0.15, 1.0, -0.15}, {0.15, 1.15, 0.15}, swatch::cloth, only(torso));     // neck
    add_limbs(cloth, gear);
    m.parts = {cloth, gear};
    return m;
}

// The rider seen from his own eyes: the same bones, only forearms, gloves, legs and
// boots. The eye point (0, 0.5, -0.4) of the rider body lies below and behind the
// shoulders, and the elbows bend back past it, so the upper arms would pass beside the
// eye; the forearms run from behind it down to the grips.
model rider_body_fp()
{
    model m;
    m.name = "rider_body_fp.jm";
    m.bone_count = bone_count;
    m.skeleton = "rider";
    part cloth = cloth_part();
    part gear = gear_part();
    add_limbs(cloth, gear, false);
    m.parts = {cloth, gear};
    return m;
}

// The helmet, around the head point; the face looks along -z.
model rider_head()
{
    model m;
    m.name = "rider_head.jm";
    part shell;
    shell.s = 48;
    shell.r = shell.g = shell.b = 0.8;
    add_sphere(shell, {0, 0.45, 0}, {0.48, 0.5, 0.55}, 10, 16, swatch::body);
    add_box(shell, {-0.28, 0.05, -0.62}, {0.28, 0.3, -0.35}, swatch::body);      // chin bar
    add_box(shell, {-0.3, 0.8, -0.78}, {0.3, 0.86, -0.3}, swatch::accent);       // peak
    part goggles;
    goggles.s = 96;
    goggles.r = goggles.g = goggles.b = 1;
    add_box(goggles, {-0.34, 0.38, -0.62}, {0.34, 0.58, -0.48}, swatch::visor);
    part gloss = goggles;
    gloss.s = -1;
    gloss.a = 0.6;
    m.parts = {shell, goggles, gloss};
    return m;
}

// The number on the rider's back, moving with the torso.
model rider_plate()
{
    model m;
    m.name = "rider_plate.jm";
    m.bone_count = bone_count;
    m.skeleton = "rider";
    part plate;
    plate.s = 16;
    plate.r = plate.g = plate.b = 0.4;
    add_box(plate, {-0.32, 0.1, 0.36}, {0.32, 0.8, 0.4}, swatch::whole, only(torso));
    m.parts = {plate};
    return m;
}

}  // namespace

std::vector<model> rider_models()
{
    return {rider_body(), rider_body_fp(), rider_head(), rider_plate()};
}

}  // namespace gen
