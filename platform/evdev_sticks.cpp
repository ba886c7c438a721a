// Wheels, joysticks and other game controllers (and, on request, mice) as devices of
// numbered axes and buttons. Absolute axes read -32767..32767 whatever the device's
// own range; relative axes add up between reads. Button changes reach the ring with
// the device's own event stamps, held back so they never lie in the future.
#include "platform/evdev_device.h"
#include "platform/qorl_input.h"
#include "platform/qorl_log.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <new>

namespace {

constexpr int max_axes = 100;
// Button codes keep the button in the low byte, so a device gets at most 256.
constexpr int max_buttons = 256;
constexpr int buffer_events = 25;
constexpr int max_batches = 64;  // a device that never falls quiet cannot hold up a frame
constexpr size_t max_name = 63;  // what "%63s button %d" can look up

struct axis_ref {
    uint16_t type;
    uint16_t code;
};

struct stick_device : qorl_device {
    std::string name_text;
    evdev_class kind = evdev_class::stick;
    evdev_link link;
    evdev_info info;
    std::vector<axis_ref> axes;
    std::vector<int32_t> axis_values;
    std::vector<uint16_t> button_codes;
    std::vector<uint8_t> button_states;
    std::array<int16_t, evdev::key_count> button_of_key{};
    std::array<int16_t, evdev::abs_count> axis_of_abs{};
    std::array<int16_t, evdev::rel_count> axis_of_rel{};
    int64_t adjustment = 0;  // milliseconds taken off event stamps
    bool relative = false;   // the first axis is relative
    bool dropping = false;   // events were lost: skip to the next report, then re-read
    bool acquired = true;
};

std::string object_name(uint16_t type, uint16_t code)
{
    char text[32];
    snprintf(text, sizeof text, "%s 0x%02x",
             type == evdev::ev_abs ? "abs" : type == evdev::ev_rel ? "rel" : "button", code);
    return text;
}

int32_t scaled_abs(const stick_device* d, uint16_t code, int32_t value)
{
    const evdev_absinfo& range = d->info.absinfo[code];
    return evdev_scale(value, range.minimum, range.maximum, -32767, 32767);
}

void push_button(stick_device* d, int button, bool pressed, int64_t stamp_ms)
{
    d->button_states[static_cast<size_t>(button)] = pressed ? 1 : 0;
    int64_t s = stamp_ms >= 0 ? stamp_ms / 1000 : -((-stamp_ms + 999) / 1000);
    int64_t us = (stamp_ms - s * 1000) * 1000;
    qorl_input_push(d->input, d->id | static_cast<uint32_t>(button), pressed ? 1 : 0,
                    static_cast<int32_t>(s), static_cast<int32_t>(us));
}

// Takes the whole state from the device; changed buttons are pushed stamped now.
void resync(stick_device* d, bool push_changes)
{
    evdev_state state;
    for (size_t code = 0; code < evdev::abs_count; code++)
        state.abs[code] = d->info.absinfo[code].value;
    if (!evdev_current_source().state(d->link.fd(), &state))
        return;
    for (size_t i = 0; i < d->axes.size(); i++)
        if (d->axes[i].type == evdev::ev_abs)
            d->axis_values[i] = scaled_abs(d, d->axes[i].code, state.abs[d->axes[i].code]);
    int64_t now = qorl_time_milliseconds();
    for (size_t j = 0; j < d->button_codes.size(); j++) {
        bool held = state.keys.test(d->button_codes[j]);
        if (held == (d->button_states[j] != 0))
            continue;
        if (push_changes)
            push_button(d, static_cast<int>(j), held, now);
        else
            d->button_states[j] = held ? 1 : 0;
    }
    d->dropping = false;
}

// A lost device cannot report its releases: release what it held.
void release_all(stick_device* d)
{
    int64_t now = qorl_time_milliseconds();
    for (size_t j = 0; j < d->button_states.size(); j++)
        if (d->button_states[j])
            push_button(d, static_cast<int>(j), false, now);
}

bool same_device(const stick_device* d, const evdev_info& info, evdev_class kind)
{
    return kind == d->kind && info.name == d->info.name && info.vendor == d->info.vendor &&
           info.product == d->info.product && info.uniq == d->info.uniq;
}

int reacquire(qorl_device* device)
{
    auto* d = static_cast<stick_device*>(device);
    if (!d->link.connected()) {
        evdev_info info;
        auto same = [d](const evdev_info& i, evdev_class kind) { return same_device(d, i, kind); };
        if (d->link.find_again(same, &info)) {
            d->info.absinfo = info.absinfo;
            resync(d, true);
            d->acquired = true;
        }
    } else if (!d->acquired) {
        // What happened while nobody listened is not reported, only where it led.
        evdev_event skipped[64];
        for (int batch = 0; batch < max_batches && d->link.read(skipped, 64) > 0; batch++) {
        }
        if (d->link.connected())
            resync(d, true);
        d->acquired = true;
    }
    return 1;
}

void close_device(qorl_device* device)
{
    if (!device->button_events)
        static_cast<stick_device*>(device)->acquired = false;
}

void handle(stick_device* d, const evdev_event& e)
{
    if (e.type == evdev::ev_syn) {
        if (e.code == evdev::syn_dropped)
            d->dropping = true;
        else if (e.code == evdev::syn_report && d->dropping)
            resync(d, true);
        return;
    }
    if (d->dropping)
        return;
    if (e.type == evdev::ev_abs && e.code < evdev::abs_count && d->axis_of_abs[e.code] >= 0) {
        d->axis_values[static_cast<size_t>(d->axis_of_abs[e.code])] = scaled_abs(d, e.code, e.value);
    } else if (e.type == evdev::ev_rel && e.code < evdev::rel_count && d->axis_of_rel[e.code] >= 0) {
        int32_t& v = d->axis_values[static_cast<size_t>(d->axis_of_rel[e.code])];
        v = static_cast<int32_t>(std::clamp<int64_t>(static_cast<int64_t>(v) + e.value, INT32_MIN,
                                                     INT32_MAX));
    } else if (e.type == evdev::ev_key && e.code < evdev::key_count &&
               d->button_of_key[e.code] >= 0) {
        int button = d->button_of_key[e.code];
        bool pressed = e.value != 0;  // 2 is a key repeat: still held
        if (pressed == (d->button_states[static_cast<size_t>(button)] != 0))
            return;
        int64_t event_ms = evdev_event_milliseconds(e);
        int64_t now = qorl_time_milliseconds();
        int64_t stamp = event_ms - d->adjustment;
        if (stamp > now) {
            d->adjustment = event_ms - now;
            stamp = now;
        }
        push_button(d, button, pressed, stamp);
    }
}

void update(stick_device* d)
{
    if (!d->link.connected() || !d->acquired)
        reacquire(d);
    if (!d->link.connected())
        return;
    evdev_event events[buffer_events];
    bool retried = false;
    for (int batch = 0; batch < max_batches; batch++) {
        int n = d->link.read(events, buffer_events);
        if (n < 0) {
            release_all(d);
            if (retried)
                return;
            retried = true;
            reacquire(d);
            if (!d->link.connected())
                return;
            continue;
        }
        if (n == 0)
            return;
        for (int i = 0; i < n; i++)
            handle(d, events[i]);
    }
}

void poll(qorl_device* device)
{
    update(static_cast<stick_device*>(device));
}

int read_axis(qorl_device* device, int index)
{
    auto* d = static_cast<stick_device*>(device);
    update(d);
    if (index < 0 || static_cast<size_t>(index) >= d->axis_values.size())
        return 0;
    int32_t v = d->axis_values[static_cast<size_t>(index)];
    if (d->axes[static_cast<size_t>(index)].type == evdev::ev_rel)
        d->axis_values[static_cast<size_t>(index)] = 0;
    return v;
}

void destroy(qorl_device* device)
{
    auto* d = static_cast<stick_device*>(device);
    qorl_log("Killing %s\n", d->name);
    if (d->adjustment > 0)
        qorl_log("Timestamp adjustment was %" PRId64 "\n", d->adjustment);
    delete d;
}

// The instance name without spaces and dots, made unique with "#2", "#3", ...
std::string unique_name(const qorl_input* input, const std::string& instance)
{
    std::string base;
    for (char c : instance)
        if (c != ' ' && c != '.' && c != '\t' && c != '\n')
            base += c;
    if (base.empty())
        base = "Controller";
    std::string name = base.substr(0, max_name);
    for (int n = 2; qorl_find_device(input->devices, name.c_str()); n++) {
        std::string suffix = "#" + std::to_string(n);
        name = base.substr(0, max_name - suffix.size()) + suffix;
    }
    return name;
}

// Lists the device's axes (absolute, then relative) and buttons in code order, within
// the limits. Logs what does not fit.
void enumerate_objects(stick_device* d)
{
    const evdev_info& info = d->info;
    d->axis_of_abs.fill(-1);
    d->axis_of_rel.fill(-1);
    d->button_of_key.fill(-1);
    int caps_axes = static_cast<int>(info.abs.count() + info.rel.count());
    int caps_buttons = static_cast<int>(info.keys.count());
    bool axes_full = false;
    auto add_axis = [&](uint16_t type, uint16_t code) {
        if (axes_full)
            return;
        if (d->axes.size() == max_axes) {
            qorl_log("Wow! This thing has a lot of axes!\nThe first ignored axis is called \"%s\"\n",
                     object_name(type, code).c_str());
            axes_full = true;
            return;
        }
        (type == evdev::ev_abs ? d->axis_of_abs[code] : d->axis_of_rel[code]) =
            static_cast<int16_t>(d->axes.size());
        d->axes.push_back({type, code});
    };
    for (uint16_t code = 0; code < evdev::abs_count; code++)
        if (info.abs.test(code))
            add_axis(evdev::ev_abs, code);
    for (uint16_t code = 0; code < evdev::rel_count; code++)
        if (info.rel.test(code))
            add_axis(evdev::ev_rel, code);
    for (uint16_t code = 0; code < evdev::key_count; code++) {
        if (!info.keys.test(code))
            continue;
        if (d->button_codes.size() == max_buttons) {
            qorl_log("Wow! This thing has a lot of buttons!\nThe first ignored button is called \"%s\"\n",
                     object_name(evdev::ev_key, code).c_str());
            break;
        }
        d->button_of_key[code] = static_cast<int16_t>(d->button_codes.size());
        d->button_codes.push_back(code);
    }
    int axes = static_cast<int>(d->axes.size()), buttons = static_cast<int>(d->button_codes.size());
    if (axes != caps_axes)
        qorl_log("Axis count (%d) doesn't match actual number of axes (%d)\n", caps_axes, axes);
    if (buttons != caps_buttons)
        qorl_log("Button count (%d) doesn't match actual number of buttons (%d)\n", caps_buttons,
                 buttons);
}

enum class build_result { linked, skipped, out_of_memory };

build_result build(qorl_input* input, evdev_found& f, bool xinput_on)
{
    bool mouse = f.kind == evdev_class::mouse;
    char product[16];
    snprintf(product, sizeof product, "%04x:%04x", f.info.vendor, f.info.product);
    // Relative pointers go by the name the mouse aliases expect.
    std::string instance = mouse ? "Mouse" : f.info.name;
    qorl_log("%s (%s)\n", instance.c_str(), mouse ? f.info.name.c_str() : product);
    if (xinput_on && f.kind == evdev_class::pad) {
        qorl_log("Ignoring XInput device\n");
        return build_result::skipped;
    }
    auto* d = new (std::nothrow) stick_device;
    if (!d) {
        qorl_log("Out of memory\n");
        return build_result::out_of_memory;
    }
    d->kind = f.kind;
    d->info = f.info;
    d->name_text = unique_name(input, instance);
    d->name = d->name_text.c_str();
    if (f.info.abs.none() && f.info.rel.none() && f.info.keys.none()) {
        qorl_log("Ignoring Dunsel device\n");
        delete d;
        return build_result::skipped;
    }
    qorl_log("%d axes, %d keys\n", static_cast<int>(f.info.abs.count() + f.info.rel.count()),
             static_cast<int>(f.info.keys.count()));
    enumerate_objects(d);
    d->relative = !d->axes.empty() && d->axes[0].type == evdev::ev_rel;
    for (size_t i = 0; i < d->axes.size(); i++) {
        bool rel = d->axes[i].type == evdev::ev_rel;
        qorl_log("axis %d is %s\n", static_cast<int>(i), rel ? "relative" : "absolute");
        if (rel != d->relative)
            qorl_log("'%s' has both absolute and relative axes\n",
                     object_name(d->axes[i].type, d->axes[i].code).c_str());
    }
    d->axis_values.assign(d->axes.size(), 0);
    d->button_states.assign(d->button_codes.size(), 0);
    d->axis_count = static_cast<int32_t>(d->axes.size());
    d->button_count = static_cast<int32_t>(d->button_codes.size());
    d->enable_buttons = reacquire;
    d->open = reacquire;
    d->close = close_device;
    d->read_axis = read_axis;
    d->poll = poll;
    d->destroy = destroy;
    d->link.attach(f.path, f.fd);
    f.fd = -1;
    resync(d, false);
    if (!d->relative)
        for (size_t i = 0; i < d->axes.size(); i++) {
            if (d->axes[i].type != evdev::ev_abs)
                continue;
            char axis_name[256];
            snprintf(axis_name, sizeof axis_name, "%.200s axis %d", d->name, static_cast<int>(i));
            qorl_log("Adding axis \"%s\"\n", axis_name);
            qorl_add_axis_name(input, axis_name);
        }
    qorl_device_add(input, d);
    return build_result::linked;
}

void register_aliases()
{
    static const char* const pairs[][2] = {
        {"mouse-x", "Mouse.axis[0]"},         {"mouse-y", "Mouse.axis[1]"},
        {"mouse-left", "Mouse.key[0]"},       {"mouse-right", "Mouse.key[1]"},
        {"mouse-middle", "Mouse.key[2]"},     {"joystick-a-x", "Joystick1.axis[0]"},
        {"joystick-a-y", "Joystick1.axis[1]"}, {"joystick-a-1", "Joystick1.key[0]"},
        {"joystick-a-2", "Joystick1.key[1]"}, {"joystick-b-x", "Joystick2.axis[0]"},
        {"joystick-b-y", "Joystick2.axis[1]"}, {"joystick-b-1", "Joystick2.key[0]"},
        {"joystick-b-2", "Joystick2.key[1]"},
    };
    for (const auto& pair : pairs)
        qorl_alias(pair[0], pair[1]);
}

}  // namespace

int evdev_stick_roll_call(qorl_input* input, bool xinput_on, bool sticks_only)
{
    qorl_log("DirectInput roll call...\n");
    std::vector<evdev_found> found = evdev_scan();
    for (evdev_found& f : found) {
        if (f.kind == evdev_class::other || (f.kind == evdev_class::mouse && sticks_only))
            continue;
        if (build(input, f, xinput_on) == build_result::out_of_memory)
            break;
    }
    evdev_close_unused(found);
    qorl_log("End of DirectInput roll call\n");
    register_aliases();
    return 1;
}

int qorl_dinput_roll_call(qorl_input* input)
{
    if (!qorl_option_bool("dinput", 1)) {
        qorl_log("DirectInput disabled\n");
        return 0;
    }
    return evdev_stick_roll_call(input, qorl_option_bool("xinput", 1) != 0,
                                 qorl_option_bool("dinputsticksonly", 1) != 0);
}
