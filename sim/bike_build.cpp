// Rider slots, and a bike built as seven bodies and six joints at its rest pose.
#include "sim/bike_build.h"

#include "sim/bike_body_shapes.h"
#include "sim/bike_graphics.h"
#include "sim/bike_info.h"
#include "sim/bike_looks.h"
#include "sim/bike_masses.h"
#include "sim/physics_world.h"

#include "foundation/memory.h"
#include "terrain/track_list.h"

#include <cmath>
#include <cstring>
#include <numbers>

rider_slot rider_slots[kRiderSlots];

void rider_table_init()
{
    memset(rider_slots, 0, sizeof rider_slots);
}

rider_slot* rider_create(const char* bike_name, int slot, int simulated_locally, const char* number,
                         const char* rider_texture, const char* head_texture, const char* bike_texture,
                         const char* wheel_texture)
{
    // A bike needs the world to live in.
    if (slot < 0 || slot >= kRiderSlots || !physics_world)
        return nullptr;
    const int index = bike_info_choose(bike_name);
    rider_slot* rider = &rider_slots[slot];
    if (rider->bodies[body_frame])
        bike_destroy(rider);
    memset(rider, 0, sizeof *rider);
    bike_build(rider, index, number, rider_texture, head_texture, bike_texture, wheel_texture);
    bike_reset(rider);
    rider->slot_number = slot;
    rider->state_flags = static_cast<uint8_t>(simulated_locally ? rider->state_flags | state_simulated_locally
                                                                : rider->state_flags & ~state_simulated_locally);
    return rider;
}

namespace {

const float* rest_position(const bike_info* b, int body)
{
    switch (body) {
    case body_frame: return b->frame_position;
    case body_front_wheel: return b->front_axle;
    case body_rear_wheel: return b->rear_axle;
    case body_fork_upper: return b->fork_upper_position;
    case body_fork_lower: return b->fork_lower_position;
    case body_swingarm: return b->swingarm_position;
    default: return b->rider_position;
    }
}

// A growable array with room for capacity elements from the start.
void reserve(growable_array* array, int32_t element_size, int32_t capacity)
{
    array->items = xmalloc(static_cast<size_t>(element_size) * static_cast<size_t>(capacity));
    array->capacity = capacity;
    array->count = 0;
    array->element_size = element_size;
}

// The steering and fork-slide axis, upwards; vertical when the record gives none.
void fork_axis(const bike_info* b, dReal axis[3])
{
    for (int i = 0; i < 3; ++i)
        axis[i] = b->fork_upper_position[i] - b->fork_lower_position[i];
    if (axis[0] == 0 && axis[1] == 0 && axis[2] == 0)
        axis[1] = 1;   // ODE aborts on a zero-length axis
}

dJointID hinge(dBodyID a, dBodyID b, const float anchor[3], const dReal axis[3])
{
    dJointID j = dJointCreateHinge(physics_world, nullptr);
    dJointAttach(j, a, b);
    dJointSetHingeAnchor(j, anchor[0], anchor[1], anchor[2]);
    dJointSetHingeAxis(j, axis[0], axis[1], axis[2]);
    return j;
}

void make_joints(rider_slot* r, const bike_info* b)
{
    dBodyID* body = r->bodies;
    const dReal across[3] = {1, 0, 0};
    dReal steer[3];
    fork_axis(b, steer);
    const double quarter = std::numbers::pi / 4;

    r->joints[joint_front_axle] = hinge(body[body_fork_lower], body[body_front_wheel], b->front_axle, across);
    r->joints[joint_rear_axle] = hinge(body[body_swingarm], body[body_rear_wheel], b->rear_axle, across);

    dJointID j = hinge(body[body_fork_upper], body[body_frame], b->fork_upper_position, steer);
    dJointSetHingeParam(j, dParamLoStop, -quarter);
    dJointSetHingeParam(j, dParamHiStop, quarter);
    r->joints[joint_steering] = j;

    j = dJointCreateSlider(physics_world, nullptr);
    dJointAttach(j, body[body_fork_upper], body[body_fork_lower]);
    dJointSetSliderAxis(j, steer[0], steer[1], steer[2]);
    dJointSetSliderParam(j, dParamBounce, 0);
    dJointSetSliderParam(j, dParamLoStop, -b->fork_travel);
    dJointSetSliderParam(j, dParamHiStop, 0);
    r->joints[joint_fork_slider] = j;

    j = hinge(body[body_swingarm], body[body_frame], b->swingarm_pivot, across);
    dJointSetHingeParam(j, dParamBounce, 0);
    dJointSetHingeParam(j, dParamLoStop, -b->swingarm_travel);
    dJointSetHingeParam(j, dParamHiStop, 0);
    r->joints[joint_swingarm] = j;

    j = dJointCreateHinge2(physics_world, nullptr);
    dJointAttach(j, body[body_rider], body[body_frame]);
    dJointSetHinge2Anchor(j, 0, b->rider_position[1], -50);
    const dReal axis1[3] = {0, 1, 1};
    dJointSetHinge2Axes(j, axis1, across);
    dJointSetHinge2Param(j, dParamLoStop, 0);
    dJointSetHinge2Param(j, dParamHiStop, 0);
    r->joints[joint_rider] = j;

    for (int i = 0; i < kBikeJoints; ++i)
        dJointSetFeedback(r->joints[i], &r->feedback[i]);
}

void init_wheel_contact(wheel_contact* c, dBodyID body, float ring, float tyre)
{
    c->body = body;
    c->axle_axis[0] = 1, c->axle_axis[1] = 0, c->axle_axis[2] = 0;
    c->ring_radius = ring;
    c->tyre_radius = tyre;
}

}  // namespace

void bike_place_at_rest(rider_slot* rider)
{
    const bike_info* b = bike_info_at(rider->bike_index);
    dMatrix3 identity;
    dRFromAxisAndAngle(identity, 0, 1, 0, 0);
    static constexpr int order[kBikeBodies] = {body_fork_upper, body_fork_lower, body_swingarm, body_frame,
                                                body_front_wheel, body_rear_wheel, body_rider};
    for (int i : order) {
        dBodyID body = rider->bodies[i];
        const float* p = rest_position(b, i);
        dBodySetPosition(body, p[0], p[1], p[2]);
        dBodySetRotation(body, identity);
        dBodySetLinearVel(body, 0, 0, 0);
        dBodySetAngularVel(body, 0, 0, 0);
        dBodySetForce(body, 0, 0, 0);
        dBodySetTorque(body, 0, 0, 0);
    }
}

void bike_build(rider_slot* rider, int bike_index, const char* number, const char* rider_texture,
                const char* head_texture, const char* bike_texture, const char* wheel_texture)
{
    const bike_info* b = bike_info_at(bike_index);
    if (!b)
        b = bike_info_at(bike_index = 0);

    static constexpr int shape_order[kBikeBodies][2] = {
        {body_frame, bike_file_frame_shape},       {body_fork_upper, bike_file_fork_upper_shape},
        {body_fork_lower, bike_file_fork_lower_shape}, {body_swingarm, bike_file_swingarm_shape},
        {body_rider, bike_file_rider_shape},       {body_front_wheel, bike_file_front_wheel_shape},
        {body_rear_wheel, bike_file_rear_wheel_shape},
    };
    // The wheels meet the ground as tyres; their shapes only meet other bikes.
    for (const auto& [body, file] : shape_order)
        rider->shapes[body] = body == body_front_wheel || body == body_rear_wheel
                                  ? shape_instance(b->file_names[file])
                                  : ground_body_shape_instance(b->file_names[file], &track_terrain);

    // The plate shows at most seven characters.
    memset(rider->number, 0, sizeof rider->number);
    if (number)
        strncpy(rider->number, number, kRiderNumberSize - 1);
    bike_load_looks(rider, b, rider_texture, head_texture, bike_texture, wheel_texture);

    rider->bike_index = bike_index;
    for (dBodyID& body : rider->bodies)
        body = dBodyCreate(physics_world);
    dBodySetFiniteRotationMode(rider->bodies[body_front_wheel], 1);
    dBodySetFiniteRotationMode(rider->bodies[body_rear_wheel], 1);
    bike_place_at_rest(rider);
    bike_set_masses(rider, b);

    init_wheel_contact(&rider->front_contact, rider->bodies[body_front_wheel], b->front_ring_radius,
                       b->front_tyre_radius);
    init_wheel_contact(&rider->rear_contact, rider->bodies[body_rear_wheel], b->rear_ring_radius,
                       b->rear_tyre_radius);
    make_joints(rider, b);

    reserve(&rider->gate_times, sizeof(int32_t), 16);
    reserve(&rider->line_buffers[0], sizeof(ai_line_point), 20);
    reserve(&rider->line_buffers[1], sizeof(ai_line_point), 20);
    reserve(&rider->path, sizeof(ai_line_point), 20);

    bike_initial_values(rider);
    rider->total_mass = 0;
    for (dBodyID body : rider->bodies) {
        dMass m;
        dBodyGetMass(body, &m);
        rider->total_mass += static_cast<float>(m.mass);
    }
}

void bike_destroy(rider_slot* rider)
{
    for (dJointID& j : rider->joints) {
        if (j)
            dJointDestroy(j);
        j = nullptr;
    }
    for (dBodyID& body : rider->bodies) {
        if (body)
            dBodyDestroy(body);
        body = nullptr;
    }
    rider->front_contact.body = rider->rear_contact.body = nullptr;
    array_free(&rider->gate_times);
    array_free(&rider->line_buffers[0]);
    array_free(&rider->line_buffers[1]);
    array_free(&rider->path);
    rider->path_count = rider->path_index = 0;
    if (rider->number_texture)
        bike_graphics_get()->delete_number_texture(rider->number_texture);
    rider->number_texture = 0;
    for (collision_shape*& shape : rider->shapes) {
        mem_free(shape);
        shape = nullptr;
    }
}
