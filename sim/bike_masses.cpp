#include "sim/bike_masses.h"

#include "sim/rider_access.h"

#include <cmath>
#include <numbers>

namespace {

// ODE refuses a mass whose centre is off the body origin; the sums below leave
// rounding dust there.
void set_centred(dBodyID body, dMass* m)
{
    m->c[0] = m->c[1] = m->c[2] = 0;
    dBodySetMass(body, m);
}

void rotate_about_x(dMass* m, double angle)
{
    dMatrix3 r;
    dRFromAxisAndAngle(r, 1, 0, 0, angle);
    dMassRotate(m, r);
}

void set_frame_and_rider(rider_slot* rider, const bike_info* info, double frame_share, double rider_share)
{
    dMass m;
    dMassSetBoxTotal(&m, info->frame_mass + info->rider_mass * frame_share, info->frame_box[0], info->frame_box[1],
                     info->frame_box[2]);
    set_centred(rider->bodies[body_frame], &m);
    dMassSetSphereTotal(&m, info->rider_mass * rider_share, 1.0);
    set_centred(rider->bodies[body_rider], &m);
}

// A hub sphere and 16 tyre spheres round the ring, the sum turned by pi/8 between
// additions.
void set_wheel(dBodyID body, float hub_mass, float hub_radius, float tyre_mass, float tyre_radius, float ring)
{
    dMass sum, tyre;
    dMassSetSphereTotal(&sum, hub_mass, hub_radius);
    for (int i = 0; i < 16; ++i) {
        dMassSetSphereTotal(&tyre, tyre_mass / 16.0f, tyre_radius);
        dMassTranslate(&tyre, 0, ring, 0);
        dMassAdd(&sum, &tyre);
        rotate_about_x(&sum, std::numbers::pi / 8);
    }
    set_centred(body, &sum);
}

// Two z-cylinders, one per leg, turned to lie along the fork.
void set_fork(dBodyID body, const bike_info* info)
{
    dMass sum, leg;
    dMassSetZero(&sum);
    const double spacing = info->fork_leg_spacing;
    for (double side : {-0.5, 0.5}) {
        dMassSetCylinderTotal(&leg, info->fork_mass / 2, 3, spacing / 8, info->fork_leg_length * 2.0 / 3.0);
        dMassTranslate(&leg, side * spacing, 0, 0);
        dMassAdd(&sum, &leg);
    }
    const double dy = info->fork_lower_position[1] - info->fork_upper_position[1];
    const double dz = info->fork_lower_position[2] - info->fork_upper_position[2];
    rotate_about_x(&sum, dy != 0 ? std::atan(dz / dy) : 0);
    set_centred(body, &sum);
}

// Two side boxes from the pivot to the rear axle.
void set_swingarm(dBodyID body, const bike_info* info)
{
    const double w = info->frame_box[0];
    const double dx = info->rear_axle[0] - info->swingarm_pivot[0];
    const double dy = info->rear_axle[1] - info->swingarm_pivot[1];
    const double dz = info->rear_axle[2] - info->swingarm_pivot[2];
    const double length = std::sqrt(dx * dx + dy * dy + dz * dz);
    dMass sum, side;
    dMassSetZero(&sum);
    for (double x : {-0.5, 0.5}) {
        dMassSetBoxTotal(&side, info->swingarm_side_mass, w / 4, w / 4, length);
        dMassTranslate(&side, x * w, 0, 0);
        dMassAdd(&sum, &side);
    }
    rotate_about_x(&sum, dz != 0 ? -std::atan(dy / dz) : 0);
    set_centred(body, &sum);
}

}  // namespace

void bike_set_masses(rider_slot* rider, const bike_info* info)
{
    set_frame_and_rider(rider, info, 2.0 / 3.0, 1.0 / 3.0);
    set_wheel(rider->bodies[body_front_wheel], info->front_hub_mass, info->front_hub_radius, info->front_tyre_mass,
              info->front_tyre_radius, info->front_ring_radius);
    set_wheel(rider->bodies[body_rear_wheel], info->rear_hub_mass, info->rear_hub_radius, info->rear_tyre_mass,
              info->rear_tyre_radius, info->rear_ring_radius);
    set_fork(rider->bodies[body_fork_upper], info);
    set_fork(rider->bodies[body_fork_lower], info);
    set_swingarm(rider->bodies[body_swingarm], info);
}

void rider_set_mass_distribution(rider_slot* rider, float share)
{
    if (!rider->bodies[body_frame])
        return;
    const double s = clamp_setting(share, 0.33f, 0.5f);
    set_frame_and_rider(rider, rider_get_bike_info(rider), 1.0 - s, s);
}
