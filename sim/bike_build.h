// Creating a rider in a slot and building its bike on the physics world: seven
// bodies (frame, wheels, fork upper and lower, swingarm, rider) and six joints,
// made at the rest pose with identity rotations so every joint reads 0 at rest.
#pragma once
#include "sim/rider_slot.h"

// Looks the bike up by name (with the fallback of bike_info_choose), builds and resets
// it, stores the slot number and the locally-simulated flag. Null for a slot above 159
// or before the physics world exists (nothing changes). Any texture name may be null. A slot that still holds a bike is
// destroyed first.
rider_slot* rider_create(const char* bike_name, int slot, int simulated_locally, const char* number,
                         const char* rider_texture, const char* head_texture, const char* bike_texture,
                         const char* wheel_texture);

void bike_build(rider_slot* rider, int bike_index, const char* number, const char* rider_texture,
                const char* head_texture, const char* bike_texture, const char* wheel_texture);
// Every body at its rest position, identity rotation, no velocity, force or torque.
void bike_place_at_rest(rider_slot* rider);
// Rest pose, controls and per-race state cleared, wake timer 1, rider attached.
void bike_reset(rider_slot* rider);
void bike_translate(rider_slot* rider, float dx, float dy, float dz);
// Sets every body's rotation to R(axis, angle) and turns its position about the
// world origin: for a freshly reset bike (reset, rotate, then translate).
void bike_rotate(rider_slot* rider, float ax, float ay, float az, float angle);
// Joints, bodies, timing and line buffers, number-plate texture and shape instances.
void bike_destroy(rider_slot* rider);
// Places the rider body at its rest offset on the frame and joins it with the
// rider hinge-2 (used by reset and by the crash recovery).
void rider_attach(rider_slot* rider);

// The setup values a fresh bike starts with.
void bike_initial_values(rider_slot* rider);

// Sleep and wake: the bodies take part in the world step only above 0.25.
void bike_set_wake_timer(rider_slot* rider, float value);
int bike_is_awake(const rider_slot* rider);
void bike_wake(rider_slot* rider);
void bike_sleep(rider_slot* rider);
// Timer 0 -> 1; (0, 0.25] -> 0.25; above unchanged.
void bike_wake_on_contact(rider_slot* rider);
// A positive timer loses one tick; at or below 0.25 the bodies are disabled.
void bike_wake_timer_tick(rider_slot* rider);

// Pushes the GL matrix stack, translates to the body and multiplies by its rotation;
// returns the position and the row-major rotation as floats. The caller pops.
void body_push_matrix(dBodyID body, float position[3], float rotation[9]);
// The angular velocity that turns orientation from into to in one tick (w, x, y, z).
void quat_delta_angular_velocity(float omega[3], const dQuaternion from, const dQuaternion to);
// The start-gate hold of an automatic rider.
void bike_start_hold(rider_slot* rider);

// The bike's textured model: see variant_name; warn logs a missing model.
model* bike_model_load(const char* model_name, const char* texture_name, int warn);
// The textured variant of a name: stem of name up to its first '-' after the last '/'
// (else its last '.'), the texture's "-part" up to the next '-', then extension. 0 when
// there is none (out untouched); out holds at least out_size bytes.
int variant_name(char* out, int out_size, const char* name, const char* texture_name, const char* extension);
// Normal and specular maps of a texture, also tried on its variant stems.
void texture_maps_find(const char* texture_name, const char* default_texture_name, uint32_t* normal,
                       uint32_t* specular);
