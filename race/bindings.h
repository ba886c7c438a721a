// The 20 control bindings: a key by name or an input axis with its calibrated range,
// and their one-line text form in "@config":
//   throttle_key=(k)x            a key (the name may be empty: "(k)")
//   throttle_key=(0.1,0.9)pedal  an axis with its range low and high
// A key wins over an axis when both are named.
#pragma once
#include <cstdint>

struct qorl_axis;
struct vfs_file;

struct input_binding {
    const char* title;
    const char* key_name;       // interned, null = no key
    int32_t key_code;           // resolved from the name, -1 = none
    const char* axis_name;      // interned, null = no axis
    qorl_axis* axis;            // opened from the name, null = none
    float range_low;
    float range_high;
    int32_t rect[4];            // its line on the controls screen
};

// In the order "@config" writes them.
enum binding_index : int32_t {
    binding_throttle, binding_front_brake, binding_rear_brake, binding_left, binding_right,
    binding_clutch, binding_upshift, binding_downshift, binding_dab, binding_back_up,
    binding_lean_forward, binding_lean_backward, binding_pause, binding_step, binding_rewind,
    binding_skip, binding_prev, binding_next, binding_console, binding_screenshot,
    binding_count
};

extern input_binding bindings[binding_count];
// The "@config" key of each binding ("throttle_key", ...).
extern const char* const binding_keys[binding_count];

// Every binding back to its default key, no axis.
void bindings_reset_defaults();
// Sets one binding from its value text (leading blanks skipped).
void binding_parse(input_binding* binding, const char* text);
// Writes the binding's line, or nothing when it names neither a key nor an axis.
// 0 when the write failed.
int binding_write(vfs_file* f, const char* key, const input_binding* binding);
