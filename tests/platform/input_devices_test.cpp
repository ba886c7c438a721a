// The device list: ids and their carry, handles that open and close a device once,
// names of axes and buttons (with aliases), and button polling from next-event.
#include "platform/qorl_input.h"

#include <gtest/gtest.h>

#include <string>

namespace {

int total_closes = 0, total_destroyed = 0;

// Axis i reads 1000 + i; each poll pushes a press of button 3.
struct TestDevice : qorl_device {
    int opens = 0, closes = 0, polls = 0;
    int refuse_open = 0;
    static TestDevice* of(qorl_device* d) { return static_cast<TestDevice*>(d); }
};

TestDevice* add_device(qorl_input* input, const char* name, int axes, int buttons)
{
    auto* d = new TestDevice;
    d->name = name;
    d->axis_count = axes;
    d->button_count = buttons;
    d->enable_buttons = [](qorl_device*) { return 1; };
    d->open = [](qorl_device* d) -> int {
        TestDevice::of(d)->opens++;
        return !TestDevice::of(d)->refuse_open;
    };
    d->close = [](qorl_device* d) {
        TestDevice::of(d)->closes++;
        total_closes++;
    };
    d->read_axis = [](qorl_device*, int index) { return 1000 + index; };
    d->poll = [](qorl_device* d) {
        TestDevice::of(d)->polls++;
        qorl_input_push(d->input, d->id | 3, 1, 0, 0);
    };
    d->destroy = [](qorl_device* d) {
        total_destroyed++;
        delete TestDevice::of(d);
    };
    qorl_device_add(input, d);
    return d;
}

class Devices : public ::testing::Test {
protected:
    void SetUp() override
    {
        qorl_aliases_clear();
        ASSERT_TRUE(qorl_input_init(&input, nullptr));
    }
    void TearDown() override
    {
        qorl_input_shutdown(&input);
        qorl_aliases_clear();
    }
    qorl_input input;
};

TEST(DeviceId, FormulaOverSignedBytesCollisionsAndTheCarry)
{
    EXPECT_EQ(qorl_device_id(nullptr, "ab"), 0x62610000u);
    EXPECT_EQ(qorl_device_id(nullptr, "abc"), 0x62C40000u);
    // A byte above 127 counts as negative: e = -1 gives 0x7FFF after the mask.
    EXPECT_EQ(qorl_device_id(nullptr, "\xff"), 0x7FFF0000u);
    EXPECT_EQ(qorl_device_id(nullptr, "\x01\xff"), 0x7F010000u);
    EXPECT_EQ(qorl_device_id(nullptr, ""), 0x10000u);  // zero is never an id

    qorl_device taken[2]{};
    taken[0].id = 0x62610000;
    taken[0].next = &taken[1];
    taken[1].id = 0x62620000;
    EXPECT_EQ(qorl_device_id(&taken[0], "ab"), 0x62630000u);

    // The carry wraps before the release bit.
    qorl_device top{}, low{};
    top.id = 0x7FFF0000;
    EXPECT_EQ(qorl_device_id(&top, "\xff"), 0x10000u);
    top.next = &low;
    low.id = 0x10000;
    uint32_t id = qorl_device_id(&top, "\xff");
    EXPECT_EQ(id, 0x20000u);
    EXPECT_EQ(id & 0x8000FFFFu, 0u);
}

TEST_F(Devices, TwoHandlesOpenTheDeviceOnceAndCloseItOnceAndBadNamesOpenNothing)
{
    TestDevice* d = add_device(&input, "Joystick1", 3, 4);
    qorl_axis* a = qorl_input_axis_open(&input, "Joystick1.axis[2]");
    qorl_axis* b = qorl_input_axis_open(&input, "Joystick1 axis 2");
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(d->opens, 1);
    EXPECT_EQ(d->refcount, 2);
    EXPECT_EQ(qorl_axis_read(a), 1002);
    qorl_axis_close(a);
    EXPECT_EQ(d->closes, 0);
    qorl_axis_close(b);
    EXPECT_EQ(d->closes, 1);
    EXPECT_EQ(d->refcount, 0);

    // A refusing device gives no handle and keeps no reference.
    d->refuse_open = 1;
    EXPECT_EQ(qorl_input_axis_open(&input, "Joystick1.axis[0]"), nullptr);
    EXPECT_EQ(d->refcount, 0);
    d->refuse_open = 0;

    // Names that do not lead to an axis.
    for (const char* name : {"Joystick1.axis[3]", "Joystick1.axis[-1]", "Joystick2.axis[0]",
                             "Joystick1", "Joystick1 axis", "joystick1.axis[0]", "", ".axis[0]"})
        EXPECT_EQ(qorl_input_axis_open(&input, name), nullptr) << name;
}

TEST_F(Devices, AliasesLeadToAxesAndButtons)
{
    ASSERT_TRUE(qorl_alias("joystick-a-x", "Joystick1.axis[0]"));
    ASSERT_TRUE(qorl_alias("joystick-a-1", "Joystick1.key[0]"));
    EXPECT_EQ(qorl_input_axis_open(&input, "joystick-a-x"), nullptr);  // no such device yet
    TestDevice* d = add_device(&input, "Joystick1", 2, 2);
    qorl_axis* axis = qorl_input_axis_open(&input, "joystick-a-x");
    ASSERT_NE(axis, nullptr);
    EXPECT_EQ(qorl_axis_read(axis), 1000);
    qorl_axis_close(axis);
    uint32_t code = 0;
    ASSERT_TRUE(qorl_input_key_code(&input, &code, "joystick-a-1"));
    EXPECT_EQ(code, d->id | 0);
}

// A resolved target is held by callers while more aliases arrive (the roll calls add
// theirs after the window's): it must neither move nor change.
TEST_F(Devices, AResolvedAliasStaysPutWhileTheListGrows)
{
    ASSERT_TRUE(qorl_alias("first", "Pad.axis[1]"));
    const char* target = qorl_resolve_alias("first");
    for (int i = 0; i < 200; ++i)
        qorl_alias(("alias-" + std::to_string(i)).c_str(), "Other.key[0]");
    EXPECT_EQ(qorl_resolve_alias("first"), target);
    EXPECT_STREQ(target, "Pad.axis[1]");
    EXPECT_EQ(qorl_alias("first", "Pad.axis[2]"), 0) << "the first alias of a name counts";
    EXPECT_STREQ(qorl_resolve_alias("alias-199"), "Other.key[0]");
    const char* unknown = "no-such-alias";
    EXPECT_EQ(qorl_resolve_alias(unknown), unknown);
}

TEST_F(Devices, ButtonNamesBothWaysAndPolling)
{
    TestDevice* pad = add_device(&input, "Pad", 1, 16);
    TestDevice* other = add_device(&input, "Other", 1, 16);
    ASSERT_NE(pad->id, other->id);

    uint32_t code = 0;
    int pressed = 0;
    EXPECT_EQ(qorl_input_next_event(&input, &code, &pressed), 0);
    EXPECT_EQ(pad->polls, 0);  // nobody asked for its buttons yet

    ASSERT_TRUE(qorl_input_key_code(&input, &code, "Pad button 3"));
    EXPECT_EQ(code, pad->id | 3);
    EXPECT_STREQ(qorl_input_key_name(&input, code), "Pad button 3");
    ASSERT_TRUE(qorl_input_key_code(&input, &code, "Pad.key[15]"));
    EXPECT_EQ(code, pad->id | 15);
    EXPECT_EQ(pad->button_events, 1);

    // Only the looked-up device is polled, and its events arrive through next-event.
    ASSERT_EQ(qorl_input_next_event(&input, &code, &pressed), 1);
    EXPECT_EQ(code, pad->id | 3);
    EXPECT_EQ(pressed, 1);
    EXPECT_EQ(pad->polls, 1);
    EXPECT_EQ(other->polls, 0);

    uint32_t unchanged = 0x55;
    for (const char* name : {"Pad button 16", "Pad.key[256]", "Pad.key[-1]", "Nobody button 1"})
        EXPECT_EQ(qorl_input_key_code(&input, &unchanged, name), 0) << name;
    EXPECT_EQ(unchanged, 0x55u);
    // Codes that are not one of a device's buttons have no name.
    EXPECT_EQ(qorl_input_key_name(&input, pad->id | 0x100), nullptr);
    EXPECT_EQ(qorl_input_key_name(&input, 0x7FFE0003), nullptr);
}

TEST_F(Devices, ShutdownClosesOpenDevicesAndDestroysAll)
{
    TestDevice* a = add_device(&input, "A", 1, 0);
    add_device(&input, "B", 1, 0);
    qorl_axis* left_open = qorl_input_axis_open(&input, "A axis 0");
    ASSERT_NE(left_open, nullptr);
    EXPECT_EQ(a->closes, 0);
    total_closes = total_destroyed = 0;
    qorl_add_axis_name(&input, "A axis 0");
    qorl_add_axis_name(&input, "B axis 0");
    ASSERT_NE(input.axis_names, nullptr);
    EXPECT_STREQ(input.axis_names[1], "B axis 0");
    EXPECT_EQ(input.axis_names[2], nullptr);
    qorl_devices_close(&input);
    EXPECT_EQ(total_destroyed, 2);
    EXPECT_EQ(total_closes, 1);  // only the open one
    EXPECT_EQ(input.devices, nullptr);
    delete left_open;  // its device is gone: only the handle's memory is left
}

TEST_F(Devices, CursorReadsThePointerInPixelsAndIsNotListed)
{
    input.pointer = [](qorl_window*, int32_t* x, int32_t* y) {
        *x = 640;
        *y = -5;
        return 1;
    };
    ASSERT_TRUE(qorl_cursor_roll_call(&input));
    qorl_axis* x = qorl_input_axis_open(&input, "cursor-x");
    qorl_axis* y = qorl_input_axis_open(&input, "cursor-y");
    ASSERT_NE(x, nullptr);
    ASSERT_NE(y, nullptr);
    EXPECT_EQ(qorl_axis_read(x), 640);
    EXPECT_EQ(qorl_axis_read(y), -5);
    qorl_axis_close(x);
    qorl_axis_close(y);
    EXPECT_EQ(input.axis_names, nullptr);
    uint32_t code = 0;
    EXPECT_EQ(qorl_input_key_code(&input, &code, "cursor button 0"), 0);
}

}  // namespace
