// Key names both ways: the fixed names, the keyboard names, all 98 extra pairs, the
// loose comparison, "0x%x", aliases, and the X keycode to scan-code mapping.
#include "platform/key_tables.h"
#include "platform/qorl_input.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

uint32_t code_of(const char* name, bool* found = nullptr)
{
    uint32_t code = 0x12345678;
    int ok = qorl_input_key_code(nullptr, &code, name);
    if (found)
        *found = ok != 0;
    return ok ? code : 0;
}

std::string name_of(uint32_t code)
{
    const char* name = qorl_input_key_name(nullptr, code);
    return name ? name : "<null>";
}

TEST(KeyNames, EveryExtraPairReadsBackAndTheFirstPairOfAScanNamesIt)
{
    for (const auto& pair : qorl_extra_names) {
        EXPECT_EQ(code_of(pair.name), 0x1000 + pair.scan) << pair.name;
        const qorl_extra_name* first = nullptr;
        for (const auto& other : qorl_extra_names)
            if (other.scan == pair.scan) {
                first = &other;
                break;
            }
        EXPECT_EQ(name_of(0x1000 + pair.scan), first->name);
    }
    EXPECT_EQ(name_of(0x1039), "Space");
    EXPECT_EQ(code_of(" "), 0x1039u);
    EXPECT_EQ(name_of(0x100B), "0");
    EXPECT_EQ(code_of("Right Ctrl"), 0x111Du);
}

TEST(KeyNames, FixedAndKeyboardNamesRoundTrip)
{
    EXPECT_EQ(name_of(0xDEAD), "Close");
    EXPECT_EQ(name_of(0x2001), "Mouse Middle");
    EXPECT_EQ(code_of("Mouse Right"), 0x2002u);
    for (uint32_t scan = 0; scan < 0x200; scan++) {
        const char* system = qorl_system_key_name(scan);
        if (!system[0])
            continue;
        EXPECT_EQ(name_of(0x1000 + scan), system);
        EXPECT_EQ(code_of(system), 0x1000 + scan) << system;
    }
    EXPECT_EQ(code_of("Right Alt"), 0x1138u);
}

TEST(KeyNames, UnnamedCodes)
{
    EXPECT_EQ(name_of(0x41), "<null>");  // characters have no name
    EXPECT_EQ(name_of(0x1000 + 0x7F), "0x7f");
    EXPECT_EQ(name_of(0x11AB), "0x1ab");
    EXPECT_EQ(name_of(0x1200), "<null>");
    EXPECT_EQ(name_of(0x30000), "<null>");  // no such device
    // Every name handed out is interned: equal texts, one pointer.
    EXPECT_EQ(qorl_input_key_name(nullptr, 0x107F), qorl_input_key_name(nullptr, 0x107F));
    EXPECT_EQ(qorl_intern("Space"), qorl_input_key_name(nullptr, 0x1039));
}

TEST(KeyNames, LooseComparisonAndHexNames)
{
    EXPECT_EQ(code_of("keypad enter"), 0x111Cu);
    EXPECT_EQ(code_of("left_ctrl"), 0x101Du);
    EXPECT_EQ(code_of("PAGE\tDOWN"), 0x1151u);
    EXPECT_EQ(code_of("mouse_left"), 0x2000u);
    EXPECT_EQ(code_of("0x1d"), 0x101Du);
    EXPECT_EQ(code_of("0x1FF"), 0x11FFu);
    bool found = true;
    code_of("0x200", &found);
    EXPECT_FALSE(found);
    code_of("0xffffffffffff", &found);
    EXPECT_FALSE(found);
    code_of("0x", &found);
    EXPECT_FALSE(found);
    code_of("Left  Ctrl", &found);  // two spaces are two spaces
    EXPECT_FALSE(found);

    EXPECT_LT(qorl_name_compare("a", "B"), 0);
    EXPECT_EQ(qorl_name_compare("Left_Ctrl", "left ctrl"), 0);
    EXPECT_GT(qorl_name_compare("Left Ctrl", "Left"), 0);
}

TEST(KeyNames, EmptyNameMatchesNothingAndFailuresLeaveTheCode)
{
    uint32_t code = 77;
    EXPECT_EQ(qorl_input_key_code(nullptr, &code, ""), 0);
    EXPECT_EQ(qorl_input_key_code(nullptr, &code, "No Such Key"), 0);
    EXPECT_EQ(qorl_input_key_code(nullptr, &code, nullptr), 0);
    EXPECT_EQ(code, 77u);
}

TEST(KeyNames, AliasesResolveFirstAndTheFirstAliasStays)
{
    qorl_aliases_clear();
    EXPECT_EQ(qorl_alias("pause-key", "Pause"), 1);
    EXPECT_EQ(qorl_alias("pause-key", "Esc"), 0);
    EXPECT_EQ(code_of("pause-key"), 0x1045u);
    EXPECT_STREQ(qorl_resolve_alias("unknown"), "unknown");
    qorl_aliases_clear();
}

TEST(ScanCodes, XKeycodesMapToSetOneScanCodes)
{
    struct row {
        unsigned x_keycode;
        int scan;
    };
    const row rows[] = {
        {9, 0x01},     // Esc
        {10, 0x02},    // 1
        {24, 0x10},    // Q
        {37, 0x1D},    // left Ctrl
        {65, 0x39},    // Space
        {77, 0x145},   // Num Lock, extended
        {94, 0x56},    // the 102nd key
        {95, 0x57},    // F11
        {96, 0x58},    // F12
        {104, 0x11C},  // keypad Enter
        {105, 0x11D},  // right Ctrl
        {106, 0x135},  // keypad /
        {107, 0x137},  // Print Screen
        {108, 0x138},  // right Alt
        {110, 0x147},  // Home
        {111, 0x148},  // Up
        {112, 0x149},  // Page Up
        {113, 0x14B},  // Left
        {114, 0x14D},  // Right
        {115, 0x14F},  // End
        {116, 0x150},  // Down
        {117, 0x151},  // Page Down
        {118, 0x152},  // Insert
        {119, 0x153},  // Delete
        {127, 0x45},   // Pause
        {133, 0x15B},  // left Super
        {134, 0x15C},  // right Super
        {135, 0x15D},  // Menu
        {0, -1},
        {8, -1},       // evdev 0 is no key
        {121, -1},     // Mute: no set-1 code
        {255, -1},
    };
    for (const auto& r : rows)
        EXPECT_EQ(qorl_scan_from_x_keycode(r.x_keycode), r.scan) << "keycode " << r.x_keycode;

    // Every mapped key has a name that reads back to the same code.
    for (unsigned k = 8; k < 256; k++) {
        int scan = qorl_scan_from_x_keycode(k);
        if (scan < 0)
            continue;
        ASSERT_LT(scan, 0x200);
        std::string name = name_of(0x1000 + static_cast<uint32_t>(scan));
        EXPECT_EQ(code_of(name.c_str()), 0x1000u + static_cast<uint32_t>(scan)) << name;
    }
}

}  // namespace
