// The twenty control and action bindings: each a key by name or an input axis with
// a calibrated range. Start-up resolves them against the window's devices, every tick
// turns them into control values and slots, the controls screen assigns them by
// capture, and "@config" keeps them as one "*_key" line each.
#pragma once
#include <cstdint>
#include <string>

struct qorl_axis;
struct qorl_window;

struct input_binding {
    const char* title;
    const char* key_name;    // interned, null = no key
    uint32_t key_code;       // kUnmatchedKey until resolved
    const char* axis_name;   // interned, null = no axis
    qorl_axis* axis;         // null = none
    float range_low;
    float range_high;
    int32_t rect[4];         // x0, y0, x1, y1 of its line on the controls screen
};

// A code no event carries: a key the platform does not know never fires.
inline constexpr uint32_t kUnmatchedKey = 0xffffffffu;

// The control bindings (in the control list's order), then the actions.
enum binding_id : int {
    bind_left, bind_right, bind_throttle, bind_front_brake, bind_rear_brake, bind_upshift,
    bind_downshift, bind_clutch, bind_dab, bind_back_up, bind_lean_forward, bind_lean_backward,
    bind_pause, bind_step, bind_rewind, bind_skip, bind_next, bind_prev, bind_chat,
    bind_screenshot,
    kBindings
};
inline constexpr int kControlBindings = 12;
inline constexpr int kControlSlots = 9;

extern input_binding bindings[kBindings];
// The nine control slots, cleared at the start of every tick.
extern float control_slots[kControlSlots];

// "@config" keys in the order they are written, with their bindings.
struct binding_config_key {
    const char* key;
    binding_id id;
};
extern const binding_config_key binding_config_keys[kBindings];
// Each binding's default key name.
const char* binding_default_key(binding_id id);

// Every binding back to its default key, nothing resolved (start-up, before "@config").
void bindings_set_defaults();
// No key, no axis (closed), range 0 to 1.
void binding_reset(input_binding* binding);
// The key code by name, else the axis opened by name.
void binding_resolve(qorl_window* window, input_binding* binding);
// "(low,high)axis", "(k)key" or "key" (see the "@config" lines).
void binding_parse(input_binding* binding, const char* text);
// The value of the binding's "@config" line ("(k)key" or "(low,high)axis"); 0 when the
// binding has neither key nor axis and so has no line. The line itself goes through the
// settings' line writer, which leaves out a value it could not read back whole (a
// device name holding a line break, say).
int binding_config_value(const input_binding* binding, std::string* value);
// The axes of every binding closed (shutdown).
void bindings_close_axes();

// One key event: every control entry bound to the code takes 1 or 0.
void bindings_key_event(uint32_t code, int pressed);
// Axis entries take their mapped reading; every entry adds value x scale to its slot.
void bindings_fill_slots();
// clamp((raw x 2^-15 - low) / (high - low), 0, 1).
float axis_value(int raw, float low, float high);
// Every control value back to 0 (start-up and the progress screen).
void control_values_zero();

// The controls screen's line: its binding text and its rectangle in window pixels (the
// front end draws it).
std::string binding_line_text(const input_binding* binding, bool assigning);
void binding_line_rect(input_binding* binding, float pen_x, float pen_y, float scale_x,
                       float scale_y);
inline constexpr float binding_line_width = 41.99667f;
inline constexpr float binding_title_column = 10.499167f;
inline constexpr float binding_text_column = 31.497502f;

// Key capture for the controls screen.
struct capture_axis {
    const char* name;
    qorl_axis* axis;     // null when it did not open
    float rest;
    float farthest;
};
// Starts capture on "enter", "keypad enter", or "cursor-left" with the pointer inside
// the line; 1 when it started.
int pots_watch(qorl_window* window, input_binding* binding, uint32_t code, double run_clock);
// The binding being assigned, null when no capture is pending.
input_binding* capture_binding();
// A key event while capture is pending: 1 when the event goes no further.
int capture_key_event(qorl_window* window, uint32_t code, int pressed, double run_clock);
// After a tick's events: the watched axes, then the remembered key.
void capture_step(double run_clock);
// Ends the capture: watched axes closed, the list freed.
void capture_end();
// "Watching pots" and "Done watching pots" are logged when set.
extern int binding_verbose;
