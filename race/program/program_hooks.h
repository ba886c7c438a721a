// What the main loop asks of the libraries above the race core (world drawing, menus
// and HUD, the track script, the editor, engine sound) and of race-core parts built
// elsewhere (the game tick, the network client). main() installs the real ones; each
// entry starts as the smallest stand-in that keeps the program whole.
#pragma once
#include <cstdint>

#include "race/program/menu_state.h"

struct program_hooks_table {
    // Race core.
    void (*game_tick)();
    // Network client: the step of one tick, the server's tick estimate, the disconnect
    // and the reset at quit.
    void (*net_step)();
    uint32_t (*net_server_tick)();
    void (*net_send_disconnect)();
    void (*net_reset)();
    void (*net_cleanup)();
    // Online: a chat line queued to the server (reliable type 19).
    void (*chat_send)(const char* text);
    void (*menu_draw)();
    void (*menu_key)(int32_t code);
    // The item of the screen under the pointer (window pixels), -1 over none or on a
    // screen without item rectangles.
    int (*menu_hover_item)(int screen);
    void (*hud_draw)(int32_t slot);
    void (*results_draw)(int32_t slot);
    // The slot's rider name, a line at the bottom of the window (over the trackside
    // view while its cameras follow that rider).
    void (*rider_name_draw)(int32_t slot);
    void (*title_screen_draw)(const char* message);
    void (*message_lines_retire)();
    // Moves the start lineup's entries on by `by` gates.
    void (*lineup_rotate)(int32_t by);
    // Draws text centred on a line of a frame of `lines` lines (the "Paused" banner).
    void (*banner_draw)(const char* text, int32_t line, int32_t lines);
    // World presentation.
    void (*engine_sound_update)(float level);
    void (*engine_sound_caches_free)();
    // Track script and editor.
    void (*script_unload)();
    int (*editor_key)(int32_t code, int pressed);   // 1 when the editor used the key
    void (*editor_mouse)();
    void (*editor_draw)();
    void (*editor_free)();
};

extern program_hooks_table program_hooks;

