// The player's input as the race core keeps it between ticks, read and reset by the
// menus and the progress screen: the control list's current values, the menu cursor
// button, the pointer and the menu keys looked up by name at start-up.
#pragma once
#include <cstdint>

inline constexpr int control_list_size = 12;

struct control_entry {
    uint32_t slot;   // control slot 0..8
    float scale;
    float value;     // 0 or 1 from a key, 0..1 from an axis
};

// "Left", "Right", "Throttle", "Front Brake", "Rear Brake", "Upshift", "Downshift",
// "Clutch", "Sit/Dab", "Back up", "Lean Forward", "Lean Backward".
extern control_entry control_list[control_list_size];

// 1 while the menu cursor button ("cursor-left") is held.
extern int menu_cursor_held;

// Pointer in window pixels from the top-left corner.
extern int32_t pointer_x;
extern int32_t pointer_y;

// Event codes of the menu keys; -1 until looked up (and for a name the platform lacks).
struct menu_key_codes {
    int32_t up;
    int32_t down;
    int32_t left;
    int32_t right;
    int32_t enter;
    int32_t keypad_enter;
    int32_t esc;
    int32_t pause;
    int32_t cursor_left;
    int32_t cursor_right;
    int32_t page_up;
    int32_t page_down;
    int32_t close;
};
extern menu_key_codes menu_keys;
