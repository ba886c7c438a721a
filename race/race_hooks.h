// What later parts of the program do while a track loads and a race starts. Each
// entry does nothing until the part that owns it installs its own at start-up:
// the front end, the demos, the network client, the world presentation and sounds,
// the track script, the editor and the race rules.
#pragma once
#include <cstdint>

struct rider_request;

struct race_hooks_table {
    // Race rules and results.
    void (*series_record_round)();
    void (*race_results_compute)();
    void (*bike_apply_setup)(int32_t slot);
    // Front end.
    void (*draw_progress_screen)(const char* message);
    // Demos: playback_open returns non-zero when a demo opened and then names its track.
    int (*demo_playback_open)();
    const char* (*demo_playback_track)();
    void (*demo_playback_close)();
    void (*demo_playback_read)();
    void (*demo_record_open)();
    void (*demo_record_close)();
    void (*demo_record_states)(int force);
    // Demo riders by their order in the demo (null = none).
    const rider_request* (*demo_rider)(int32_t index);
    // Network: the track the server named, and the rider received for a slot.
    const char* (*network_track)();
    const rider_request* (*network_rider)(int32_t slot);
    // World presentation and sounds.
    void (*engine_sound_free)(int32_t slot);
    void (*engine_sound_load)(int32_t slot);
    void (*script_sounds_free)();
    void (*roost_particles_free)();
    void (*smoothed_values_snap)();
    // Track script.
    int (*script_load)(const char* path);
    void (*script_unload)();
    // Placed-object collisions (the 8 x 8 statue grid).
    void (*statue_grid_build)();
    void (*statue_grid_free)();
    // Race core: every per-slot table and state history cleared (offline resets),
    // and only the timing tables and state histories (tick -1) once riders stand.
    void (*riders_clear)();
    void (*rider_histories_clear)();
    // Editor.
    void (*editor_init)();
    void (*editor_leave)();
    // What the network client hands on: an event block for the demo being recorded
    // (2 chat, 3 erosion text, 5 deformation, 6 script message), a server's script
    // message for the track script, and the results after server timing.
    void (*demo_record_event)(int type, const void* bytes, int length);
    void (*script_call_message_handler)(const char* message);
    void (*race_results_refresh)();
};

extern race_hooks_table race_hooks;
