// Key-name tables. The keyboard names are a fixed, layout-independent set, so that
// "@config" bindings read the same on every machine; the extra pairs name the rest.
#include "platform/key_tables.h"

#include "platform/qorl_events.h"

const qorl_fixed_name qorl_fixed_names[4] = {
    {QORL_CLOSE, "Close"},
    {QORL_MOUSE_LEFT, "Mouse Left"},
    {QORL_MOUSE_MIDDLE, "Mouse Middle"},
    {QORL_MOUSE_RIGHT, "Mouse Right"},
};

// Searched row by row: the first pair with a scan names it, so 0x39 is "Space".
const qorl_extra_name qorl_extra_names[98] = {
    {"Esc", 0x1}, {"0", 0xB}, {"1", 0x2}, {"2", 0x3},
    {"3", 0x4}, {"4", 0x5}, {"5", 0x6}, {"6", 0x7},
    {"7", 0x8}, {"8", 0x9}, {"9", 0xA}, {"A", 0x1E},
    {"B", 0x30}, {"C", 0x2E}, {"D", 0x20}, {"E", 0x12},
    {"F", 0x21}, {"G", 0x22}, {"H", 0x23}, {"I", 0x17},
    {"J", 0x24}, {"K", 0x25}, {"L", 0x26}, {"M", 0x31},
    {"N", 0x32}, {"O", 0x18}, {"P", 0x19}, {"Q", 0x10},
    {"R", 0x13}, {"S", 0x1F}, {"T", 0x14}, {"U", 0x16},
    {"V", 0x2F}, {"W", 0x11}, {"X", 0x2D}, {"Y", 0x15},
    {"Z", 0x2C}, {"-", 0xC}, {"=", 0xD}, {"[", 0x1A},
    {"]", 0x1B}, {";", 0x27}, {"'", 0x28}, {"`", 0x29},
    {"\\", 0x2B}, {",", 0x33}, {".", 0x34}, {"/", 0x35},
    {"Backspace", 0xE}, {"Tab", 0xF}, {"Enter", 0x1C}, {"Left Ctrl", 0x1D},
    {"Left Shift", 0x2A}, {"Right Shift", 0x36}, {"Space", 0x39}, {" ", 0x39},
    {"Caps Lock", 0x3A}, {"Right Ctrl", 0x11D}, {"Insert", 0x152}, {"Delete", 0x153},
    {"Home", 0x147}, {"End", 0x14F}, {"Page Up", 0x149}, {"Page Down", 0x151},
    {"Up", 0x148}, {"Down", 0x150}, {"Left", 0x14B}, {"Right", 0x14D},
    {"F1", 0x3B}, {"F2", 0x3C}, {"F3", 0x3D}, {"F4", 0x3E},
    {"F5", 0x3F}, {"F6", 0x40}, {"F7", 0x41}, {"F8", 0x42},
    {"F9", 0x43}, {"F10", 0x44}, {"F11", 0x57}, {"F12", 0x58},
    {"Pause", 0x45}, {"Num Lock", 0x145}, {"Keypad /", 0x135}, {"Keypad *", 0x37},
    {"Keypad -", 0x4A}, {"Keypad 7", 0x47}, {"Keypad 8", 0x48}, {"Keypad 9", 0x49},
    {"Keypad +", 0x4E}, {"Keypad 4", 0x4B}, {"Keypad 5", 0x4C}, {"Keypad 6", 0x4D},
    {"Keypad 1", 0x4F}, {"Keypad 2", 0x50}, {"Keypad 3", 0x51}, {"Keypad Enter", 0x11C},
    {"Keypad 0", 0x52}, {"Keypad .", 0x53},
};

namespace {

// Only keys the extra pairs leave without a name.
constexpr qorl_extra_name keyboard_names[] = {
    {"Left Alt", 0x38},      {"Right Alt", 0x138},      {"Scroll Lock", 0x46},
    {"Print Screen", 0x137}, {"Left Windows", 0x15B},   {"Right Windows", 0x15C},
    {"Menu", 0x15D},
};

}  // namespace

const char* qorl_system_key_name(uint32_t scan)
{
    for (const auto& entry : keyboard_names)
        if (entry.scan == scan)
            return entry.name;
    return "";
}
