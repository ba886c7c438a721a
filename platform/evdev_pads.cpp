// Gamepads in the layout of the four XInput slots ("XInputGamepad0".."3"): 16 buttons
// and 6 axes (left x, left y, right x, right y, left trigger, right trigger), read
// from event devices. A pad that goes away reads as all zero until one comes back.
#include "platform/evdev_device.h"
#include "platform/qorl_input.h"
#include "platform/qorl_log.h"

#include <algorithm>
#include <cstdio>
#include <new>

namespace {

constexpr int slot_count = 4;
constexpr int pad_buttons = 16;
constexpr int pad_axes = 6;

struct pad_values {
    uint16_t buttons = 0;
    int32_t sticks[4] = {};  // left x, left y, right x, right y: -32768..32767, y up
    int32_t triggers[2] = {};  // 0..255
};

// Button word bits: 0..3 d-pad up, down, left, right; 4 start; 5 back; 6, 7 stick
// clicks; 8, 9 shoulders; 12..15 the face buttons A, B, X, Y.
struct key_bit {
    uint16_t code;
    int bit;
};
constexpr key_bit button_bits[] = {
    {evdev::btn_dpad_up, 0},   {evdev::btn_dpad_down, 1}, {evdev::btn_dpad_left, 2},
    {evdev::btn_dpad_right, 3}, {evdev::btn_start, 4},    {evdev::btn_select, 5},
    {evdev::btn_thumbl, 6},    {evdev::btn_thumbr, 7},    {evdev::btn_tl, 8},
    {evdev::btn_tr, 9},        {evdev::btn_south, 12},    {evdev::btn_east, 13},
    {evdev::btn_north, 14},    {evdev::btn_west, 15},
};

struct pad_device : qorl_device {
    int slot = 0;
    char name_text[32] = {};
    evdev_link link;
    evdev_info info;
    evdev_state raw;
    bool dropping = false;  // events were lost: skip to the next report, then re-read
    uint16_t last_buttons = 0;
};

pad_device* slots[slot_count];

int32_t stick_value(const pad_device* pad, uint16_t code, bool up_is_negative)
{
    const evdev_absinfo& range = pad->info.absinfo[code];
    int32_t v = evdev_scale(pad->raw.abs[code], range.minimum, range.maximum, -32768, 32767);
    // Evdev's y grows downwards; negating -32768 needs the clamp.
    return up_is_negative ? std::min<int32_t>(-v, 32767) : v;
}

int32_t trigger_value(const pad_device* pad, uint16_t axis, uint16_t fallback_axis, uint16_t key)
{
    for (uint16_t code : {axis, fallback_axis})
        if (pad->info.abs.test(code)) {
            const evdev_absinfo& range = pad->info.absinfo[code];
            return evdev_scale(pad->raw.abs[code], range.minimum, range.maximum, 0, 255);
        }
    return pad->raw.keys.test(key) ? 255 : 0;
}

pad_values decode(const pad_device* pad)
{
    pad_values v;
    for (const auto& kb : button_bits)
        if (pad->raw.keys.test(kb.code))
            v.buttons |= static_cast<uint16_t>(1u << kb.bit);
    int32_t hat_x = pad->raw.abs[evdev::abs_hat0x], hat_y = pad->raw.abs[evdev::abs_hat0y];
    if (pad->info.abs.test(evdev::abs_hat0y))
        v.buttons |= static_cast<uint16_t>((hat_y < 0 ? 1u : 0u) | (hat_y > 0 ? 2u : 0u));
    if (pad->info.abs.test(evdev::abs_hat0x))
        v.buttons |= static_cast<uint16_t>((hat_x < 0 ? 4u : 0u) | (hat_x > 0 ? 8u : 0u));
    v.sticks[0] = stick_value(pad, evdev::abs_x, false);
    v.sticks[1] = stick_value(pad, evdev::abs_y, true);
    v.sticks[2] = stick_value(pad, evdev::abs_rx, false);
    v.sticks[3] = stick_value(pad, evdev::abs_ry, true);
    v.triggers[0] = trigger_value(pad, evdev::abs_z, evdev::abs_brake, evdev::btn_tl2);
    v.triggers[1] = trigger_value(pad, evdev::abs_rz, evdev::abs_gas, evdev::btn_tr2);
    return v;
}

void load_state(pad_device* pad)
{
    pad->raw = evdev_state{};
    for (size_t code = 0; code < evdev::abs_count; code++)
        pad->raw.abs[code] = pad->info.absinfo[code].value;
    evdev_current_source().state(pad->link.fd(), &pad->raw);
    pad->dropping = false;
}

void apply(pad_device* pad, const evdev_event& e)
{
    if (e.type == evdev::ev_syn) {
        if (e.code == evdev::syn_dropped)
            pad->dropping = true;
        else if (e.code == evdev::syn_report && pad->dropping)
            load_state(pad);
        return;
    }
    if (pad->dropping)
        return;
    if (e.type == evdev::ev_key && e.code < evdev::key_count)
        pad->raw.keys.set(e.code, e.value != 0);
    else if (e.type == evdev::ev_abs && e.code < evdev::abs_count)
        pad->raw.abs[e.code] = e.value;
}

// The pad's state now; false (and all zero) while no pad is attached to the slot.
bool get_state(pad_device* pad, pad_values* out)
{
    *out = pad_values{};
    if (!pad->link.connected()) {
        auto any_pad = [](const evdev_info&, evdev_class kind) { return kind == evdev_class::pad; };
        if (!pad->link.find_again(any_pad, &pad->info))
            return false;
        load_state(pad);
    }
    evdev_event events[64];
    for (;;) {
        int n = pad->link.read(events, 64);
        if (n < 0)
            return false;
        if (n == 0)
            break;
        for (int i = 0; i < n; i++)
            apply(pad, events[i]);
    }
    *out = decode(pad);
    return true;
}

pad_values button_pass(pad_device* pad)
{
    pad_values v;
    get_state(pad, &v);
    uint16_t changed = static_cast<uint16_t>(v.buttons ^ pad->last_buttons);
    for (int bit = 0; bit < pad_buttons; bit++)
        if (changed & (1u << bit))
            qorl_input_push_now(pad->input, pad->id | static_cast<uint32_t>(bit),
                                (v.buttons >> bit) & 1);
    pad->last_buttons = v.buttons;
    return v;
}

int accept(qorl_device*)
{
    return 1;
}

void ignore(qorl_device*) {}

void poll(qorl_device* device)
{
    button_pass(static_cast<pad_device*>(device));
}

int read_axis(qorl_device* device, int index)
{
    pad_values v = button_pass(static_cast<pad_device*>(device));
    if (index >= 0 && index < 4)
        return v.sticks[index];
    if (index == 4 || index == 5) {
        int32_t t = v.triggers[index - 4];
        return (t << 7) + (t >> 1);
    }
    return 0;
}

void destroy(qorl_device* device)
{
    auto* pad = static_cast<pad_device*>(device);
    if (slots[pad->slot] == pad)
        slots[pad->slot] = nullptr;
    delete pad;
}

}  // namespace

int evdev_pad_roll_call(qorl_input* input)
{
    qorl_log("XInput roll call...\n");
    std::vector<evdev_found> found = evdev_scan();
    size_t next = 0;
    for (int slot = 0; slot < slot_count; slot++) {
        if (slots[slot])
            continue;
        while (next < found.size() && found[next].kind != evdev_class::pad)
            next++;
        if (next == found.size())
            break;
        evdev_found& f = found[next++];
        auto* pad = new (std::nothrow) pad_device;
        if (!pad)
            break;
        pad->slot = slot;
        snprintf(pad->name_text, sizeof pad->name_text, "XInputGamepad%d", slot);
        pad->name = pad->name_text;
        pad->button_count = pad_buttons;
        pad->axis_count = pad_axes;
        pad->enable_buttons = accept;
        pad->open = accept;
        pad->close = ignore;
        pad->read_axis = read_axis;
        pad->poll = poll;
        pad->destroy = destroy;
        pad->info = f.info;
        pad->link.attach(f.path, f.fd);
        f.fd = -1;
        load_state(pad);
        slots[slot] = pad;
        qorl_log("%s found\n", pad->name);
        for (int axis = 0; axis < pad_axes; axis++) {
            char axis_name[48];
            snprintf(axis_name, sizeof axis_name, "%s axis %d", pad->name, axis);
            qorl_add_axis_name(input, axis_name);
        }
        qorl_device_add(input, pad);
    }
    evdev_close_unused(found);
    qorl_log("End of XInput roll call\n");
    return 1;
}

int qorl_xinput_roll_call(qorl_input* input)
{
    if (!qorl_option_bool("xinput", 1)) {
        qorl_log("XInput disabled\n");
        return 0;
    }
    return evdev_pad_roll_call(input);
}
