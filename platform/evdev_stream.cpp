// Event streams of the kernel's event devices. Each read hands back whole
// struct input_event records; on x86-64 one record is 24 bytes:
//   8 bytes seconds, 8 bytes microseconds (the stamp, a struct timeval),
//   2 bytes type, 2 bytes code, 4 bytes signed value, all in host byte order.
#include "platform/evdev_device.h"

#include <cerrno>
#include <cstring>
#include <linux/input.h>
#include <unistd.h>

static_assert(evdev::ev_syn == EV_SYN && evdev::ev_key == EV_KEY && evdev::ev_rel == EV_REL &&
              evdev::ev_abs == EV_ABS);
static_assert(evdev::syn_report == SYN_REPORT && evdev::syn_dropped == SYN_DROPPED);
static_assert(evdev::key_count == KEY_MAX + 1 && evdev::abs_count == ABS_MAX + 1 &&
              evdev::rel_count == REL_MAX + 1 && evdev::type_count == EV_MAX + 1);
static_assert(evdev::btn_left == BTN_LEFT && evdev::btn_right == BTN_RIGHT &&
              evdev::btn_middle == BTN_MIDDLE && evdev::btn_joystick == BTN_JOYSTICK);
static_assert(evdev::btn_south == BTN_SOUTH && evdev::btn_east == BTN_EAST &&
              evdev::btn_north == BTN_NORTH && evdev::btn_west == BTN_WEST);
static_assert(evdev::btn_tl == BTN_TL && evdev::btn_tr == BTN_TR && evdev::btn_tl2 == BTN_TL2 &&
              evdev::btn_tr2 == BTN_TR2 && evdev::btn_select == BTN_SELECT &&
              evdev::btn_start == BTN_START && evdev::btn_mode == BTN_MODE &&
              evdev::btn_thumbl == BTN_THUMBL && evdev::btn_thumbr == BTN_THUMBR);
static_assert(evdev::btn_gear_down == BTN_GEAR_DOWN && evdev::btn_gear_up == BTN_GEAR_UP &&
              evdev::btn_dpad_up == BTN_DPAD_UP && evdev::btn_dpad_right == BTN_DPAD_RIGHT &&
              evdev::btn_trigger_happy == BTN_TRIGGER_HAPPY && evdev::key_a == KEY_A);
static_assert(evdev::abs_x == ABS_X && evdev::abs_y == ABS_Y && evdev::abs_z == ABS_Z &&
              evdev::abs_rx == ABS_RX && evdev::abs_ry == ABS_RY && evdev::abs_rz == ABS_RZ &&
              evdev::abs_gas == ABS_GAS && evdev::abs_brake == ABS_BRAKE &&
              evdev::abs_hat0x == ABS_HAT0X && evdev::abs_hat0y == ABS_HAT0Y);
static_assert(evdev::rel_x == REL_X && evdev::rel_y == REL_Y && evdev::rel_wheel == REL_WHEEL);

int evdev_read(int fd, evdev_event* events, int max)
{
    constexpr int batch = 64;
    input_event raw[batch];
    if (max > batch)
        max = batch;
    if (max <= 0)
        return 0;
    ssize_t got;
    do {
        got = ::read(fd, raw, sizeof(input_event) * static_cast<size_t>(max));
    } while (got < 0 && errno == EINTR);
    if (got < 0)
        return errno == EAGAIN || errno == EWOULDBLOCK ? 0 : -1;
    if (got == 0)
        return -1;  // end of stream: the device is gone
    int count = static_cast<int>(static_cast<size_t>(got) / sizeof(input_event));
    for (int i = 0; i < count; i++) {
        events[i].seconds = raw[i].input_event_sec;
        events[i].microseconds = raw[i].input_event_usec;
        events[i].type = raw[i].type;
        events[i].code = raw[i].code;
        events[i].value = raw[i].value;
    }
    return count;
}

std::string evdev_encode(const evdev_event& event)
{
    input_event raw{};
    raw.input_event_sec = static_cast<decltype(raw.input_event_sec)>(event.seconds);
    raw.input_event_usec = static_cast<decltype(raw.input_event_usec)>(event.microseconds);
    raw.type = event.type;
    raw.code = event.code;
    raw.value = event.value;
    std::string bytes(sizeof raw, '\0');
    memcpy(bytes.data(), &raw, sizeof raw);
    return bytes;
}
