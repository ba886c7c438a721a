// The world drawing belongs to the world presentation, which sits above the race core
// and installs its renderer here at start-up. Until then the world is not drawn.
#pragma once
#include <cstdint>

#include <ode/ode.h>

// Camera position, row-major rotation (columns right, up, backward), field of view in
// degrees, and the viewer's slot (-1 = none).
using render_world_fn = void (*)(const float position[3], const float rotation[9], float fov, int32_t viewer_slot);
extern render_world_fn render_world_entry;

// The camera views, installed by the world presentation at start-up (null until then).
// The main loop draws one per frame; the tick dispatch steers the trackside view.
struct camera_view_entries {
    // The rider's eye on a rider body; viewer_slot is the rider whose bike carries it.
    void (*first_person)(dBodyID rider_body, int32_t viewer_slot);
    // The chase camera on a slot: behind its travel when local (simulated here), else
    // on the orbit (angle, distance, height); pivot is the frame body's point watched.
    void (*chase)(int32_t slot, int local, float orbit_angle, float orbit_distance, float orbit_height,
                  const float pivot[3]);
    // The trackside view of the frame (key playback, a track camera or the free camera).
    void (*trackside)();
    // One tick of the trackside view on the viewed slot: the automatic cut and the
    // steering; controls: turn (left +), look up (+), forward, backward. While paused
    // the rider counts as standing still.
    void (*trackside_tick)(int32_t slot, const float controls[4], int paused);
    // Digit key n (0..9) in the trackside view.
    void (*trackside_digit)(int n);
};
extern camera_view_entries camera_views;

// The trackside view's auto-switch: 1 = the cameras follow the viewed rider and the view
// cuts from camera to camera by timing gate; 0 = the cameras turn under the player's
// controls. The tick dispatch flips it; the trackside view reads it.
extern int32_t camera_auto_switch;
