// The rider's eye and the chase camera: each places the camera for one frame and
// hands it to the world renderer.
#pragma once
#include <cstdint>

#include <ode/ode.h>

struct rider_slot;

// Camera settings of the "@config" file, by their keys (the menus edit them here). The
// field of view is the race core's game_settings.fov.
struct camera_setting_values {
    double first_person_height = 0;      // feet
    double first_person_angle = 0;       // degrees, positive looks down
    double first_person_gimbal = 0;      // 0 rigid .. 100 slowest
    double third_person_height = 5;
    double third_person_distance = 10;
    int32_t rigid_camera = 0;            // "No", "Yes"
};
extern camera_setting_values camera_settings;

// What engine sound hears the camera moving with (feet per second).
extern float listener_velocity[3];

// The rider's eye on the given rider body; viewer_slot is the rider whose bike
// carries it. With "--print-orientation" each frame prints its eye and axes. The pitch lag runs on race time, so a paused race holds it.
void render_first_person(dBodyID rider_body, int32_t viewer_slot);
// Forgets the lagged pitch (a new run of the view).
void first_person_reset();

// The orbit of the chase camera round a rider that is not simulated here.
struct chase_orbit {
    float angle;      // radians, -pi..pi
    float distance;   // feet, at least 0.25
    float height;     // feet
};

// The chase camera on the rider: behind its direction of travel when it is simulated
// here (local), else on the orbit. pivot: the frame body's point it looks at.
void render_chase(const rider_slot* rider, bool local, const chase_orbit& orbit, const float pivot[3]);

// Puts the rider's eye and the chase camera into the race core's view entries.
void camera_views_install();
