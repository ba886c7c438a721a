// Telling event devices apart by what they offer, and the arithmetic shared by the
// pad and stick readers: range scaling and event stamps in milliseconds.
#include "platform/evdev_device.h"
#include "platform/qorl_log.h"

#include <algorithm>

namespace {

bool any_key(const evdev_info& info, int first, int last)
{
    for (int code = first; code <= last && code < evdev::key_count; code++)
        if (info.keys.test(static_cast<size_t>(code)))
            return true;
    return false;
}

// Buttons of joysticks (0x120..0x12f), gamepads (0x130..0x13e), wheels (0x150, 0x151)
// and the numbered extra buttons from 0x2c0 on.
bool has_controller_buttons(const evdev_info& info)
{
    return any_key(info, evdev::btn_joystick, 0x12f) || any_key(info, evdev::btn_south, 0x13e) ||
           any_key(info, evdev::btn_gear_down, evdev::btn_gear_up) ||
           any_key(info, evdev::btn_trigger_happy, evdev::key_count - 1);
}

}  // namespace

evdev_class evdev_classify(const evdev_info& info)
{
    bool has_abs = info.types.test(evdev::ev_abs) && info.abs.any();
    if (has_abs && info.keys.test(evdev::btn_south) && info.abs.test(evdev::abs_x) &&
        info.abs.test(evdev::abs_y) && info.abs.test(evdev::abs_rx) && info.abs.test(evdev::abs_ry))
        return evdev_class::pad;
    if (has_abs && has_controller_buttons(info))
        return evdev_class::stick;
    if (info.types.test(evdev::ev_rel) && info.rel.test(evdev::rel_x) &&
        info.rel.test(evdev::rel_y) && info.keys.test(evdev::btn_left))
        return evdev_class::mouse;
    return evdev_class::other;
}

int32_t evdev_scale(int32_t value, int32_t minimum, int32_t maximum, int32_t low, int32_t high)
{
    if (maximum <= minimum)
        return static_cast<int32_t>((static_cast<int64_t>(low) + high) / 2);
    int64_t v = std::clamp<int64_t>(value, minimum, maximum);
    int64_t span = static_cast<int64_t>(maximum) - minimum;
    int64_t out = static_cast<int64_t>(high) - low;
    // Round to nearest so that both ends and the middle land exactly.
    int64_t scaled = low + ((v - minimum) * out * 2 + span) / (span * 2);
    return static_cast<int32_t>(std::clamp<int64_t>(scaled, low, high));
}

int64_t evdev_event_milliseconds(const evdev_event& event)
{
    return event.seconds * 1000 + event.microseconds / 1000;
}
