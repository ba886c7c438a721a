// Keyboard scan codes from evdev key codes (X keycodes are evdev + 8). Evdev numbers
// the main block like PC set 1, so most keys map to themselves; the rest, and the
// extended (0x100) keys, come from the table below.
#include "platform/qorl_events.h"

namespace {

struct scan_pair {
    int evdev;
    int scan;
};

constexpr scan_pair special_keys[] = {
    {69, 0x145},   // Num Lock is extended on Windows, unlike its set-1 code
    {96, 0x11C},   // keypad Enter
    {97, 0x11D},   // right Ctrl
    {98, 0x135},   // keypad /
    {99, 0x137},   // SysRq / Print Screen
    {100, 0x138},  // right Alt
    {102, 0x147},  // Home
    {103, 0x148},  // Up
    {104, 0x149},  // Page Up
    {105, 0x14B},  // Left
    {106, 0x14D},  // Right
    {107, 0x14F},  // End
    {108, 0x150},  // Down
    {109, 0x151},  // Page Down
    {110, 0x152},  // Insert
    {111, 0x153},  // Delete
    {119, 0x45},   // Pause
    {125, 0x15B},  // left Meta
    {126, 0x15C},  // right Meta
    {127, 0x15D},  // Compose / Menu
};

constexpr int last_set1_key = 88;  // F12

}  // namespace

int qorl_scan_from_evdev(int evdev_code)
{
    for (const auto& pair : special_keys)
        if (pair.evdev == evdev_code)
            return pair.scan;
    if (evdev_code >= 1 && evdev_code <= last_set1_key)
        return evdev_code;
    return -1;
}

int qorl_scan_from_x_keycode(unsigned keycode)
{
    if (keycode < 8 || keycode > 8 + 0xFFFF)
        return -1;
    return qorl_scan_from_evdev(static_cast<int>(keycode) - 8);
}
