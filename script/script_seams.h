// What the track script reads and drives that lives in parts of the program which
// set it up themselves: the camera of the last world render, the script's positioned
// sounds, and the switch that lets a script broadcast its messages to the server.
#pragma once
#include <cstdint>

// Row-major rotation, as the world renderer stores it.
struct script_camera_view {
    float position[3];
    float rotation[9];
};
extern script_camera_view script_camera;

// The script's sounds; until the sound side installs its own, adding fails (-1) and
// every other call answers 0.
struct script_sound_ops {
    int (*add)(const char* name);
    int (*start)(int id);
    int (*stop)(int id);
    int (*set_loop)(int id, int flag);
    int (*set_freq)(int id, float factor);
    int (*set_vol)(int id, float volume);
    int (*set_pos)(int id, float x, float y, float z);
    int (*set_vel)(int id, float x, float y, float z);
};
extern script_sound_ops script_sounds;

// Off: broadcast_script_message does nothing.
extern int script_broadcasting;

// The handler trampolines the simulator calls.
void script_call_frame_handler();
void script_call_tic_handler();
void script_call_message_handler(const char* text);

// Installs the script's entry points into the race's tables (start-up).
void script_install();
