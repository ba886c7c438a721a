// The menu screens: which one is open, the highlighted item, drawing and keys. The
// widgets edit the settings' own records (frontend/settings.h).
#pragma once
#include "frontend/ui_widgets.h"
#include "race/program/menu_state.h"
#include "race/program/startup.h"

#include <cstdint>

inline constexpr int kStartLineup = 160;
// The start lineup handed to reset_race (race/startup.h): 0 empty, 1 the player,
// 2..4 robots, 1000 + n series rider n.

// The choose-from-list screen: the rows are race/'s page record (choose_page).
struct choose_list_state {
    const char* title;
    ui_choice* source;
    int return_screen;
    void (*chosen)(int index);
    int32_t page;
};
extern choose_list_state choose_list;

// Page numbers of the playback and points-series lists.
extern int32_t playback_page;
extern int32_t series_list_page;

// The console's input line, history and scroll-back.
inline constexpr int kConsoleHistory = 100;
inline constexpr int kConsoleLineSize = 120;
extern ui_text_field console_field;
extern char console_history[kConsoleHistory][kConsoleLineSize];
extern int32_t console_history_count;
extern int32_t console_history_index;
extern int32_t console_scroll;

// What the menus call beyond the front end, each defaulting to the real call; tests
// put recorders here where the real one would open a window or device.
struct menu_calls {
    void (*reset_race)(const int32_t* lineup, int replay, int record, int32_t ticks, int32_t laps,
                       int32_t skill);
    int (*set_video_mode)(int width, int height, int flags);
    // Runs a console line; 1 when accepted. Null: every line refused.
    int (*console_execute)(const char* line);
    void (*series_standings_draw)();
    // The dispatch's flag that keeps the rest of the tick's events off a new screen.
    void (*screen_changed)();
    void (*quit)();
    // The demo list: full names ("demos/sample.bvdemo") and the names shown.
    void (*setup_change_guard)(int32_t slot);
    int32_t (*demo_count)();
    const char* (*demo_full_name)(int32_t index);
    const char* (*demo_short_name)(int32_t index);
};
extern menu_calls menu_seams;

// The open screen's items; 0 for a screen without items.
int menu_item_count(int screen);
// The rectangles of the open screen's items in item order (the hover step's table);
// returns the count, 0 for the console and the exit screen.
int menu_item_rects(int screen, const ui_rect** rects, int capacity);
// The item under the pointer on that screen, -1 over none (cleared rectangles never
// match): the hover step moves the highlight there.
int menu_hover_item(int screen);

// Opens a screen with the highlight on item 0.
void menu_open(int screen);
void menu_close();
// Opens the list of `source`'s items titled `title`, returning to the open screen.
void menu_open_choose_list(const char* title, ui_choice* source, void (*chosen)(int));
void menu_open_track_list(int key);

void menu_key(int32_t key);
void menu_draw();

void playback_menu_key(int32_t key);
void bike_setup_menu_key(int32_t key);
void bike_list_chosen(int index);
// The sliders of "Suspension and Gearing" and "Advanced Stability".
void bike_sub_screen_key(int32_t key);
void console_key(int32_t key);
int series_start_next_event();
// reset_race (through the seam) on the track the "Track" choice shows.
void menu_reset_race(const int32_t* lineup, int replay, int record, int32_t ticks, int32_t laps, int32_t skill);

// The gates of a later series event: previous places, clamped to n, from worst to
// best, opponents in series order then the player. Writes n + 1 gates to `gates`
// (opponents, then the player).
void series_gate_order(const int32_t* places, int32_t opponents, int32_t* gates);
// Entry i moves to (i + count) mod 160, for any count.
void lineup_rotate(int32_t* lineup, int32_t count);
// The own rider slot: offline the lowest local rider, online the server's slot; -1.
int32_t menu_own_slot();
