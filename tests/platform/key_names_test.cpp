// Key names both ways: the fixed names, the keyboard names, all 98 extra pairs, the
// loose comparison, "0x%x", aliases, and the X keycode to scan-code mapping.
#include "platform/key_tables.h"
#include "platform/qorl_input.h"

#include <gtest/gtest.h>

#include <string>

namespace {

uint32_t code_of(const char* name)
{
    uint32_t code = 0;
    return qorl_input_key_code(nullptr, &code, name) ? code : 0;
}

std::string name_of(uint32_t code)
{
    const char* name = qorl_input_key_name(nullptr, code);
    return name ? name : "<null>";
}

TEST(KeyNames, EveryNameReadsBackAndTheFirstPairOfAScanNamesIt)
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
    // The keyboard's own names too.
    for (uint32_t scan = 0; scan < 0x200; scan++) {
        const char* system = qorl_system_key_name(scan);
        if (!system[0])
            continue;
        EXPECT_EQ(name_of(0x1000 + scan), system);
        EXPECT_EQ(code_of(system), 0x1000 + scan) << system;
    }
}

TEST(KeyNames, NamesToCodes)
{
    qorl_aliases_clear();
    EXPECT_EQ(qorl_alias("pause-key", "Pause"), 1);
    EXPECT_EQ(qorl_alias("pause-key", "Esc"), 0);  // the first alias stays
    struct row {
        const char* name;
        uint32_t code;  // 0: not found, and the code is left alone
    };
    for (row r : {row{"Mouse Right", 0x2002}, row{"Right Alt", 0x1138}, row{"pause-key", 0x1045},
                  // The loose comparison: any case, white space and '_' as a space.
                  row{"keypad enter", 0x111C}, row{"left_ctrl", 0x101D}, row{"PAGE\tDOWN", 0x1151},
                  row{"mouse_left", 0x2000}, row{"Left  Ctrl", 0},  // two spaces are two spaces
                  row{"0x1d", 0x101D}, row{"0x1FF", 0x11FF}, row{"0x200", 0}, row{"0xffffffffffff", 0}, row{"0x", 0},
                  row{"", 0}, row{"No Such Key", 0}, row{nullptr, 0}}) {
        uint32_t code = 77;
        EXPECT_EQ(qorl_input_key_code(nullptr, &code, r.name), r.code != 0) << (r.name ? r.name : "null");
        EXPECT_EQ(code, r.code ? r.code : 77) << (r.name ? r.name : "null");
    }
    EXPECT_STREQ(qorl_resolve_alias("unknown"), "unknown");
    qorl_aliases_clear();
    EXPECT_LT(qorl_name_compare("a", "B"), 0);
    EXPECT_GT(qorl_name_compare("Left Ctrl", "Left"), 0);
}

TEST(KeyNames, CodesToNames)
{
    for (auto [code, name] : {std::pair<uint32_t, const char*>{0xDEAD, "Close"}, {0x2001, "Mouse Middle"},
                              {0x41, "<null>"},  // characters have no name
                              {0x107F, "0x7f"}, {0x11AB, "0x1ab"}, {0x1200, "<null>"},
                              {0x30000, "<null>"}})  // no such device
        EXPECT_EQ(name_of(code), name) << std::hex << code;
    // Every name handed out is interned: equal texts, one pointer.
    EXPECT_EQ(qorl_input_key_name(nullptr, 0x107F), qorl_input_key_name(nullptr, 0x107F));
    EXPECT_EQ(qorl_intern("Space"), qorl_input_key_name(nullptr, 0x1039));
}

TEST(ScanCodes, XKeycodesMapToSetOneScanCodes)
{
    struct row {
        unsigned x_keycode;
        int scan;
    };
    const row rows[] = {
        {9, 0x01}, {10, 0x02}, {24, 0x10}, {37, 0x1D}, {65, 0x39},  // Esc, 1, Q, left Ctrl, Space
        {77, 0x145},                                                // Num Lock, extended
        {94, 0x56}, {95, 0x57}, {96, 0x58},                          // the 102nd key, F11, F12
        {104, 0x11C}, {105, 0x11D}, {106, 0x135}, {107, 0x137},      // keypad Enter, right Ctrl, keypad /, Print
        {108, 0x138}, {110, 0x147}, {111, 0x148}, {112, 0x149},      // right Alt, Home, Up, Page Up
        {113, 0x14B}, {114, 0x14D}, {115, 0x14F}, {116, 0x150},      // Left, Right, End, Down
        {117, 0x151}, {118, 0x152}, {119, 0x153},                    // Page Down, Insert, Delete
        {127, 0x45},                                                 // Pause
        {133, 0x15B}, {134, 0x15C}, {135, 0x15D},                    // left and right Super, Menu
        {0, -1}, {8, -1}, {121, -1}, {255, -1},                      // evdev 0 is no key; Mute has no code
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
