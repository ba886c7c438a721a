#include "race/program/bindings.h"

#include "foundation/intern.h"
#include "foundation/text/scan.h"
#include "foundation/text/text_util.h"
#include "platform/qorl_events.h"
#include "platform/qorl_input.h"
#include "platform/qorl_log.h"
#include "race/program/controls.h"

#include <algorithm>
#include <cmath>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct binding_default {
    const char* title;
    const char* key;
};

constexpr binding_default defaults[kBindings] = {
    {"Left", "left"},           {"Right", "right"},          {"Throttle", "x"},
    {"Front Brake", "c"},       {"Rear Brake", "v"},         {"Upshift", "up"},
    {"Downshift", "down"},      {"Clutch", "z"},             {"Sit/Dab", "right ctrl"},
    {"Back up", "b"},           {"Lean Forward", "n"},       {"Lean Backward", "m"},
    {"Pause", "pause"},         {"Step", "."},               {"Rewind", "\\"},
    {"Skip", "/"},              {"Next Bike", "]"},          {"Previous Bike", "["},
    {"Chat", "t"},              {"Screenshot", "s"},
};

struct capture_state {
    input_binding* binding = nullptr;
    double change_time = 0;
    uint32_t key_code = kUnmatchedKey;
    const char* key_name = nullptr;
    std::vector<capture_axis> axes;
};
capture_state capture;

// Keyboard keys are named in lower case, as the default bindings name them; a device
// button keeps its device's name.
std::string binding_key_name(uint32_t code, const char* name)
{
    std::string out = name;
    if (code >= QORL_KEY_BASE && code < QORL_KEY_BASE + QORL_SCAN_LIMIT)
        for (char& c : out)
            c = char(tolower(static_cast<unsigned char>(c)));
    return out;
}

void close_axis(qorl_axis*& axis)
{
    if (axis)
        qorl_axis_close(axis);
    axis = nullptr;
}

}  // namespace

input_binding bindings[kBindings];
float control_slots[kControlSlots];
int binding_verbose = 0;

const binding_config_key binding_config_keys[kBindings] = {
    {"throttle_key", bind_throttle},     {"front_brake_key", bind_front_brake},
    {"rear_brake_key", bind_rear_brake}, {"left_key", bind_left},
    {"right_key", bind_right},           {"clutch_key", bind_clutch},
    {"upshift_key", bind_upshift},       {"downshift_key", bind_downshift},
    {"dab_key", bind_dab},               {"back_up_key", bind_back_up},
    {"lean_forward_key", bind_lean_forward}, {"lean_backward_key", bind_lean_backward},
    {"pause_key", bind_pause},           {"step_key", bind_step},
    {"rewind_key", bind_rewind},         {"skip_key", bind_skip},
    {"prev_key", bind_prev},             {"next_key", bind_next},
    {"console_key", bind_chat},          {"screenshot_key", bind_screenshot},
};

const char* binding_default_key(binding_id id)
{
    return defaults[id].key;
}

void binding_reset(input_binding* binding)
{
    binding->key_name = nullptr;
    binding->key_code = kUnmatchedKey;
    binding->axis_name = nullptr;
    close_axis(binding->axis);
    binding->range_low = 0;
    binding->range_high = 1;
}

void bindings_set_defaults()
{
    for (int i = 0; i < kBindings; ++i) {
        input_binding* b = &bindings[i];
        b->title = defaults[i].title;
        binding_reset(b);
        b->key_name = intern_string(defaults[i].key);
    }
}

void binding_resolve(qorl_window* window, input_binding* binding)
{
    if (binding->key_name) {
        binding->key_code = kUnmatchedKey;
        qorl_key_code(window, &binding->key_code, binding->key_name);
    } else if (binding->axis_name) {
        close_axis(binding->axis);
        binding->axis = qorl_axis_open(window, binding->axis_name);
    }
}

void binding_parse(input_binding* binding, const char* text)
{
    while (*text && isspace(static_cast<unsigned char>(*text)))
        ++text;
    const char* close = strchr(text, ')');
    // "(low,high)axis"; "(k)" marks a key name instead.
    const bool ranged = text[0] == '(' && close && strncmp(text, "(k)", 3) != 0 &&
                        memchr(text, ',', static_cast<size_t>(close - text));
    float low = 0, high = 0;
    // A range that is not a pair of numbers could neither scale an axis nor be written
    // back as read: the line is skipped like any other the reader does not understand.
    if (ranged && (scan_string(text, "(%f,%f)", &low, &high) != 2 || !std::isfinite(low) || !std::isfinite(high))) {
        qorl_log("Binding \"%.*s\" skipped: its range is not a pair of numbers\n", int(text_cut_length(text, 200)),
                 text);
        return;
    }
    binding_reset(binding);
    if (ranged) {
        binding->range_low = low;
        binding->range_high = high;
        binding->axis_name = intern_string(close + 1);
        return;
    }
    if (strncmp(text, "(k)", 3) == 0)
        text += 3;
    binding->key_name = intern_string(text);
}

int binding_config_value(const input_binding* binding, std::string* value)
{
    if (binding->key_name) {
        *value = std::string("(k)") + binding->key_name;
        return 1;
    }
    if (!binding->axis_name)
        return 0;
    char range[128];   // two finite floats by "%f" take at most 47 characters each
    snprintf(range, sizeof range, "(%f,%f)", binding->range_low, binding->range_high);
    *value = range + std::string(binding->axis_name);
    return 1;
}

void bindings_close_axes()
{
    for (input_binding& b : bindings)
        close_axis(b.axis);
}

void bindings_key_event(uint32_t code, int pressed)
{
    for (int i = 0; i < kControlBindings; ++i)
        if (bindings[i].key_code == code && code != kUnmatchedKey)
            control_list[i].value = pressed ? 1.0f : 0.0f;
}

float axis_value(int raw, float low, float high)
{
    const float v = (float(raw) * (1.0f / 32768.0f) - low) / (high - low);
    if (!(v > 0))
        return 0;
    return v < 1 ? v : 1;
}

void bindings_fill_slots()
{
    for (int i = 0; i < kControlBindings; ++i) {
        const input_binding& b = bindings[i];
        if (b.axis)
            control_list[i].value = axis_value(qorl_axis_read(b.axis), b.range_low, b.range_high);
        control_slots[control_list[i].slot] += control_list[i].value * control_list[i].scale;
    }
}

void control_values_zero()
{
    for (control_entry& e : control_list)
        e.value = 0;
}

std::string binding_line_text(const input_binding* binding, bool assigning)
{
    char text[1100];
    if (assigning)
        return "<<PRESS A KEY>>";
    if (binding->key_name)
        snprintf(text, sizeof text, "%.1023s", binding->key_name);
    else if (binding->axis_name)
        snprintf(text, sizeof text, "%.1000s %s", binding->axis_name,
                 binding->range_high < 0 ? "(Negative)" : "(Positive)");
    else
        return "None";
    return text;
}

void binding_line_rect(input_binding* binding, float pen_x, float pen_y, float scale_x,
                       float scale_y)
{
    binding->rect[0] = int32_t(pen_x * scale_x);
    binding->rect[1] = int32_t((pen_y + 1) * scale_y);
    binding->rect[2] = int32_t((pen_x + binding_line_width) * scale_x);
    binding->rect[3] = int32_t(pen_y * scale_y);
}

int pots_watch(qorl_window* window, input_binding* binding, uint32_t code, double run_clock)
{
    const bool enter = int32_t(code) == menu_keys.enter || int32_t(code) == menu_keys.keypad_enter;
    // The menus' strict pointer test over the line's rectangle.
    const int32_t* r = binding->rect;
    const bool inside = r[0] < pointer_x && pointer_x < r[2] && r[1] < pointer_y && pointer_y < r[3];
    const bool click = int32_t(code) == menu_keys.cursor_left && inside;
    if (!enter && !click)
        return 0;
    capture_end();
    capture.binding = binding;
    capture.change_time = run_clock;
    capture.key_code = kUnmatchedKey;
    capture.key_name = nullptr;
    if (binding_verbose)
        qorl_log("Watching pots\n");
    const char* const* names = window ? qorl_axis_names(window) : nullptr;
    for (int i = 0; names && names[i]; ++i) {
        capture_axis a{names[i], qorl_axis_open(window, names[i]), 0, 0};
        if (a.axis)
            a.rest = a.farthest = float(qorl_axis_read(a.axis)) * (1.0f / 32768.0f);
        if (binding_verbose)
            qorl_log("\t%s %s\n", names[i], a.axis ? "Ok" : "Failed");
        capture.axes.push_back(a);
    }
    return 1;
}

input_binding* capture_binding()
{
    return capture.binding;
}

void capture_end()
{
    if (!capture.binding)
        return;
    for (capture_axis& a : capture.axes)
        close_axis(a.axis);
    capture.axes.clear();
    capture.axes.shrink_to_fit();
    capture.binding = nullptr;
    if (binding_verbose)
        qorl_log("Done watching pots\n");
}

int capture_key_event(qorl_window* window, uint32_t code, int pressed, double run_clock)
{
    if (!capture.binding || !pressed)
        return 0;
    if (int32_t(code) == menu_keys.esc) {
        capture_end();
        return 1;
    }
    if (!capture.key_name) {
        const char* name = window ? qorl_key_name(window, code) : nullptr;
        if (name) {
            capture.key_code = code;
            capture.key_name = name;
            capture.change_time = run_clock;
        }
    }
    return 1;
}

void capture_step(double run_clock)
{
    input_binding* b = capture.binding;
    if (!b)
        return;
    for (capture_axis& a : capture.axes) {
        if (!a.axis)
            continue;
        const float reading = float(qorl_axis_read(a.axis)) * (1.0f / 32768.0f);
        if (std::abs(reading - a.rest) > std::abs(a.farthest - a.rest)) {
            a.farthest = reading;
            capture.change_time = run_clock;
        }
        if (run_clock - capture.change_time > 0.25 && std::abs(a.farthest - a.rest) > 0.5f) {
            binding_reset(b);
            b->axis_name = intern_string(a.name);
            b->axis = a.axis;
            a.axis = nullptr;
            b->range_low = a.rest + (a.farthest - a.rest) / 16;
            b->range_high = a.rest + 15 * (a.farthest - a.rest) / 16;
            capture_end();
            return;
        }
    }
    if (capture.key_name && run_clock - capture.change_time > 0.25) {
        binding_reset(b);
        b->key_name = intern_string(binding_key_name(capture.key_code, capture.key_name).c_str());
        b->key_code = capture.key_code;
        capture_end();
    }
}
