#include "race/bindings.h"

#include "foundation/intern.h"
#include "foundation/scan.h"
#include "foundation/vfs.h"

#include <cctype>
#include <cstring>

namespace
{

struct binding_default {
    const char* title;
    const char* key;
};

constexpr binding_default defaults[binding_count] = {
    {"Throttle", "x"},         {"Front Brake", "c"}, {"Rear Brake", "v"},   {"Left", "left"},
    {"Right", "right"},        {"Clutch", "z"},      {"Upshift", "up"},     {"Downshift", "down"},
    {"Sit/Dab", "right ctrl"}, {"Back up", "b"},     {"Lean Forward", "n"}, {"Lean Backward", "m"},
    {"Pause", "pause"},        {"Step", "."},        {"Rewind", "\\"},      {"Skip", "/"},
    {"Previous Bike", "["},    {"Next Bike", "]"},   {"Chat", "t"},         {"Screenshot", "s"},
};

void clear(input_binding* b)
{
    b->key_name = nullptr;
    b->key_code = -1;
    b->axis_name = nullptr;
    b->axis = nullptr;
    b->range_low = 0.0f;
    b->range_high = 1.0f;
}

input_binding default_binding(int i)
{
    input_binding b{};
    b.title = defaults[i].title;
    clear(&b);
    b.key_name = defaults[i].key;
    return b;
}

} // namespace

input_binding bindings[binding_count] = {
    default_binding(0),  default_binding(1),  default_binding(2),  default_binding(3),  default_binding(4),
    default_binding(5),  default_binding(6),  default_binding(7),  default_binding(8),  default_binding(9),
    default_binding(10), default_binding(11), default_binding(12), default_binding(13), default_binding(14),
    default_binding(15), default_binding(16), default_binding(17), default_binding(18), default_binding(19),
};

const char* const binding_keys[binding_count] = {
    "throttle_key",     "front_brake_key",   "rear_brake_key", "left_key",    "right_key",
    "clutch_key",       "upshift_key",       "downshift_key",  "dab_key",     "back_up_key",
    "lean_forward_key", "lean_backward_key", "pause_key",      "step_key",    "rewind_key",
    "skip_key",         "prev_key",          "next_key",       "console_key", "screenshot_key",
};

void bindings_reset_defaults()
{
    for (int i = 0; i < binding_count; ++i)
        bindings[i] = default_binding(i);
}

void binding_parse(input_binding* binding, const char* text)
{
    while (isspace(static_cast<unsigned char>(*text)))
        ++text;
    clear(binding);
    if (text[0] == '(') {
        if (const char* close = strchr(text, ')')) {
            float low = 0, high = 0;
            if (scan_string(text, "(%f,%f)", &low, &high) == 2) {
                binding->range_low = low;
                binding->range_high = high;
                binding->axis_name = intern_string(close + 1);
                return;
            }
        }
    }
    if (strncmp(text, "(k)", 3) == 0)
        text += 3;
    binding->key_name = intern_string(text);
}

int binding_write(vfs_file* f, const char* key, const input_binding* binding)
{
    if (binding->key_name)
        return vfs_printf(f, "%s=(k)%s\n", key, binding->key_name) >= 0;
    if (binding->axis_name)
        return vfs_printf(f, "%s=(%f,%f)%s\n", key, double(binding->range_low), double(binding->range_high),
                          binding->axis_name) >= 0;
    return 1;
}
