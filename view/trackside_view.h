// The trackside view: the track's cameras turn to follow the viewed rider and cut
// from camera to camera by timing gate; without a selected camera a free camera flies
// under the player's controls; with key playback on, the view flies along the camera
// keys instead.
#pragma once
#include <cstdint>

#include "foundation/growable_array.h"
#include "race/program/world_view.h"
#include "terrain/trackside_cameras.h"

// A recorded key of the key camera (36 bytes): q3 is the quaternion's scalar part.
struct camera_key {
    float x, y, z;
    float q[4];
    float fov;       // degrees
    int32_t tick;
};
static_assert(sizeof(camera_key) == 36);

extern trackside_camera free_camera;
extern float free_camera_speed;          // feet per second, -100..100
extern int32_t selected_camera;          // -1 (or outside the table) = the free camera
extern growable_array camera_keys;       // of camera_key, in ascending tick order
extern int32_t camera_key_playback;

// One tick of steering: towards target (moving at velocity) when the auto-switch is
// on, else by the yaw and pitch controls (-1..1). new_target snaps onto the target.
void camera_track(trackside_camera* camera, float yaw_control, float pitch_control, const float target[3],
                  const float velocity[3], int new_target);

// Draws the camera at position with quaternion q (q3 scalar) through the world
// renderer; the field of view is held within 1..179 degrees.
void render_quaternion_camera(const float position[3], const float q[4], float fov);
// The row-major rotation a quaternion gives (a zero quaternion gives the identity).
void quaternion_rotation(const float q[4], float rotation[9]);
// The rotation of a yaw (0 looks along +z) and a pitch.
void yaw_pitch_rotation(float yaw, float pitch, float rotation[9]);
// The key camera at the current tick: false when playback has nothing to show.
bool key_camera_view(float position[3], float q[4], float* fov);

// The view of the frame: key playback, else the selected (or free) camera, and the
// running-order ticker over a trackside camera. The first frame after another view
// starts the free camera where that view's camera was, at rest, aimed at the viewed
// rider.
void render_trackside_camera();
// Another world view was drawn: the next trackside frame is a new start.
void trackside_view_left();

// Digit key n (0..9): camera min(n, count) - 1; 0 is the free camera.
void trackside_select_digit(int n);
// The camera the automatic cut picks for a rider at this timing position, or -1 to
// stay: the gate of the lap sequence entry there, when it has a camera.
int32_t trackside_gate_camera(int32_t timing_position);

// Controls of one tick of the trackside view.
struct trackside_controls {
    float yaw;          // turn, left positive
    float pitch;        // look up positive
    float forward;      // free camera: above 0.5 speeds up
    float backward;     // above 0.5 slows down / reverses
};
// One tick: the automatic cut, the steering of the shown camera toward the rider's
// frame body at target (velocity zero while paused) and the free camera's flight.
void trackside_tick(int32_t timing_position, const float target[3], const float velocity[3],
                    const trackside_controls& controls);

// The HUD's running-order ticker, drawn over the placed cameras; the front end installs
// it at start-up (null: none).
extern void (*trackside_running_order)();

// trackside_tick on a slot: its timing position and frame body (standing still while
// paused); controls as camera_view_entries::trackside_tick.
void trackside_tick_slot(int32_t slot, const float controls[4], int paused);
