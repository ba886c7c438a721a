// Event devices through recorded kernel event streams: the stream reader, device
// classification and range scaling, pads in the XInput layout, and game controllers
// with their names, axes, buttons, stamps, limits and unplugging.
#include "fake_evdev.h"

#include "platform/evdev_device.h"
#include "platform/qorl_input.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace {

using bvtest::abs_event;
using bvtest::FakeClock;
using bvtest::FakeEvdev;
using bvtest::key_event;
using bvtest::rel_event;
using bvtest::syn_event;

struct Event {
    uint32_t code;
    int pressed;
    int32_t s, us;
};

TEST(EvdevStream, RecordedEventsReadBackWhole)
{
    int fds[2];
    ASSERT_EQ(pipe2(fds, O_NONBLOCK), 0);
    evdev_event events[70];
    EXPECT_EQ(evdev_read(fds[0], events, 70), 0);  // nothing waiting yet

    std::string bytes;
    for (int i = 0; i < 70; i++)
        bytes += evdev_encode(abs_event(evdev::abs_x, -i, 1234567 + i));
    ASSERT_EQ(write(fds[1], bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    int first = evdev_read(fds[0], events, 70);
    ASSERT_GT(first, 0);
    EXPECT_EQ(events[0].type, evdev::ev_abs);
    EXPECT_EQ(events[0].code, evdev::abs_x);
    EXPECT_EQ(events[0].value, 0);
    EXPECT_EQ(events[1].value, -1);
    EXPECT_EQ(evdev_event_milliseconds(events[1]), 1234568);
    int total = first;
    while (total < 70) {
        int n = evdev_read(fds[0], events, 70);
        ASSERT_GT(n, 0);
        EXPECT_EQ(events[n - 1].value, -(total + n - 1));
        total += n;
    }
    EXPECT_EQ(evdev_read(fds[0], events, 70), 0);
    close(fds[1]);
    EXPECT_EQ(evdev_read(fds[0], events, 70), -1);  // the stream ended: the device is gone
    close(fds[0]);
}

TEST(EvdevClassify, DevicesByWhatTheyOffer)
{
    EXPECT_EQ(evdev_classify(bvtest::pad_info("pad")), evdev_class::pad);
    EXPECT_EQ(evdev_classify(bvtest::wheel_info("wheel")), evdev_class::stick);
    EXPECT_EQ(evdev_classify(bvtest::mouse_info("mouse")), evdev_class::mouse);
    EXPECT_EQ(evdev_classify(bvtest::keyboard_info("keyboard")), evdev_class::other);

    evdev_info pad_without_right_stick = bvtest::pad_info("pad");
    pad_without_right_stick.abs.reset(evdev::abs_ry);
    EXPECT_EQ(evdev_classify(pad_without_right_stick), evdev_class::stick);

    evdev_info buttons_only = bvtest::wheel_info("box");
    buttons_only.abs.reset();
    EXPECT_EQ(evdev_classify(buttons_only), evdev_class::other);

    evdev_info touchpad = bvtest::keyboard_info("touchpad");  // abs axes, no controller buttons
    touchpad.keys.reset();
    touchpad.keys.set(0x14a);
    touchpad.types.set(evdev::ev_abs);
    touchpad.abs.set(evdev::abs_x);
    touchpad.abs.set(evdev::abs_y);
    EXPECT_EQ(evdev_classify(touchpad), evdev_class::other);

    evdev_info extra_buttons = buttons_only;
    extra_buttons.keys.reset();
    extra_buttons.keys.set(evdev::btn_trigger_happy + 5);
    extra_buttons.abs.set(evdev::abs_x);
    EXPECT_EQ(evdev_classify(extra_buttons), evdev_class::stick);
}

TEST(EvdevScale, RangesMapOntoTheTargetAndClamp)
{
    EXPECT_EQ(evdev_scale(0, 0, 65535, -32767, 32767), -32767);
    EXPECT_EQ(evdev_scale(65535, 0, 65535, -32767, 32767), 32767);
    EXPECT_EQ(evdev_scale(-5, 0, 65535, -32767, 32767), -32767);
    EXPECT_EQ(evdev_scale(70000, 0, 65535, -32767, 32767), 32767);
    EXPECT_EQ(evdev_scale(0, -1, 1, -32767, 32767), 0);
    EXPECT_EQ(evdev_scale(-1, -1, 1, -32767, 32767), -32767);
    EXPECT_EQ(evdev_scale(127, -128, 127, -32768, 32767), 32767);
    EXPECT_EQ(evdev_scale(-128, -128, 127, -32768, 32767), -32768);
    EXPECT_EQ(evdev_scale(12345, -32768, 32767, -32768, 32767), 12345);
    EXPECT_EQ(evdev_scale(INT32_MAX, INT32_MIN, INT32_MAX, -32767, 32767), 32767);
    EXPECT_EQ(evdev_scale(5, 7, 7, -32767, 32767), 0);  // an empty range reads as the middle
    EXPECT_EQ(evdev_scale(1023, 0, 1023, 0, 255), 255);
    EXPECT_EQ(evdev_scale(0, 0, 1023, 0, 255), 0);
}

class EvdevDevices : public ::testing::Test {
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

    // Every event the next-event calls give, with their stamps.
    std::vector<Event> drain()
    {
        std::vector<Event> events;
        qorl_poll_devices(&input);
        pthread_mutex_lock(&input.ring_mutex);
        Event e{};
        while (qorl_event_pop(&input.ring, &e.code, &e.pressed, &e.s, &e.us))
            events.push_back(e);
        pthread_mutex_unlock(&input.ring_mutex);
        return events;
    }

    uint32_t button(const char* name)
    {
        uint32_t code = 0;
        EXPECT_TRUE(qorl_input_key_code(&input, &code, name)) << name;
        return code;
    }

    std::vector<std::string> axis_names()
    {
        std::vector<std::string> names;
        for (const char* const* n = input.axis_names; n && *n; n++)
            names.push_back(*n);
        return names;
    }

    FakeClock clock{100000};
    FakeEvdev devices;
    qorl_input input;
};

TEST_F(EvdevDevices, PadsTakeTheXInputSlotsInDeviceOrder)
{
    devices.plug("/dev/input/event3", bvtest::keyboard_info("AT keyboard"));
    devices.plug("/dev/input/event4", bvtest::pad_info("Pad One"));
    devices.plug("/dev/input/event5", bvtest::wheel_info("Wheel"));
    devices.plug("/dev/input/event6", bvtest::pad_info("Pad Two"));
    ASSERT_TRUE(evdev_pad_roll_call(&input));
    ASSERT_NE(qorl_find_device(input.devices, "XInputGamepad0"), nullptr);
    ASSERT_NE(qorl_find_device(input.devices, "XInputGamepad1"), nullptr);
    EXPECT_EQ(qorl_find_device(input.devices, "XInputGamepad2"), nullptr);
    std::vector<std::string> names = axis_names();
    ASSERT_EQ(names.size(), 12u);
    EXPECT_EQ(names[0], "XInputGamepad0 axis 0");
    EXPECT_EQ(names[11], "XInputGamepad1 axis 5");
    EXPECT_TRUE(devices.is_open("/dev/input/event4"));
    EXPECT_FALSE(devices.is_open("/dev/input/event3"));  // the others are let go
    EXPECT_FALSE(devices.is_open("/dev/input/event5"));
}

TEST_F(EvdevDevices, PadAxesInTheXInputSenseAndScale)
{
    devices.plug("/dev/input/event0", bvtest::pad_info("Pad"));
    ASSERT_TRUE(evdev_pad_roll_call(&input));
    qorl_axis* axes[6];
    for (int i = 0; i < 6; i++) {
        axes[i] = qorl_input_axis_open(&input, ("XInputGamepad0 axis " + std::to_string(i)).c_str());
        ASSERT_NE(axes[i], nullptr) << i;
    }
    EXPECT_EQ(qorl_input_axis_open(&input, "XInputGamepad0 axis 6"), nullptr);
    devices.send("/dev/input/event0",
                 {abs_event(evdev::abs_x, 32767), abs_event(evdev::abs_y, -32768),  // full up
                  abs_event(evdev::abs_rx, -32768), abs_event(evdev::abs_ry, 32767),
                  abs_event(evdev::abs_z, 1023), abs_event(evdev::abs_rz, 0), syn_event()});
    EXPECT_EQ(qorl_axis_read(axes[0]), 32767);
    EXPECT_EQ(qorl_axis_read(axes[1]), 32767);  // y up is positive, clamped
    EXPECT_EQ(qorl_axis_read(axes[2]), -32768);
    EXPECT_EQ(qorl_axis_read(axes[3]), -32767);
    EXPECT_EQ(qorl_axis_read(axes[4]), 32767);  // trigger 255
    EXPECT_EQ(qorl_axis_read(axes[5]), 0);
    devices.send("/dev/input/event0", {abs_event(evdev::abs_rz, 512), syn_event()});
    EXPECT_EQ(qorl_axis_read(axes[5]), (128 << 7) + (128 >> 1));
    for (auto* axis : axes)
        qorl_axis_close(axis);
}

TEST_F(EvdevDevices, PadButtonsArriveInBitOrderOncePolledAndReleaseOnUnplug)
{
    devices.plug("/dev/input/event0", bvtest::pad_info("Pad"));
    ASSERT_TRUE(evdev_pad_roll_call(&input));
    qorl_device* pad = qorl_find_device(input.devices, "XInputGamepad0");
    ASSERT_NE(pad, nullptr);
    devices.send("/dev/input/event0", {key_event(evdev::btn_west, 1), syn_event()});
    EXPECT_TRUE(drain().empty());  // not polled until a button is looked up

    EXPECT_EQ(button("XInputGamepad0 button 12"), pad->id | 12);
    devices.send("/dev/input/event0",
                 {key_event(evdev::btn_south, 1), abs_event(evdev::abs_hat0y, -1),
                  key_event(evdev::btn_start, 1), abs_event(evdev::abs_hat0x, 1), syn_event()});
    std::vector<Event> events = drain();
    std::vector<uint32_t> bits;
    for (const Event& e : events) {
        EXPECT_EQ(e.code & 0xFFFF0000u, pad->id);
        EXPECT_EQ(e.pressed, 1);
        EXPECT_EQ(e.s, 100);  // stamped at the poll
        bits.push_back(e.code & 0xFF);
    }
    EXPECT_EQ(bits, (std::vector<uint32_t>{0, 3, 4, 12, 15}));
    EXPECT_TRUE(drain().empty());

    devices.send("/dev/input/event0", {key_event(evdev::btn_start, 0), syn_event()});
    events = drain();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].code, pad->id | 4);
    EXPECT_EQ(events[0].pressed, 0);

    // A pad that goes away lets go of everything and reads as centred.
    devices.unplug("/dev/input/event0");
    events = drain();
    EXPECT_EQ(events.size(), 4u);
    for (const Event& e : events)
        EXPECT_EQ(e.pressed, 0);
    qorl_axis* x = qorl_input_axis_open(&input, "XInputGamepad0 axis 0");
    ASSERT_NE(x, nullptr);
    EXPECT_EQ(qorl_axis_read(x), 0);

    // Plugged in again (elsewhere), it is found after a while, holding A.
    evdev_state held;
    held.keys.set(evdev::btn_south);
    held.abs[evdev::abs_x] = 32767;
    devices.plug("/dev/input/event9", bvtest::pad_info("Pad"), held);
    EXPECT_TRUE(drain().empty());
    clock.advance(1000);
    events = drain();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].code, pad->id | 12);
    EXPECT_EQ(events[0].pressed, 1);
    EXPECT_EQ(qorl_axis_read(x), 32767);
    qorl_axis_close(x);
}

TEST_F(EvdevDevices, PadRereadsItsStateAfterLostEvents)
{
    devices.plug("/dev/input/event0", bvtest::pad_info("Pad"));
    ASSERT_TRUE(evdev_pad_roll_call(&input));
    qorl_device* pad = qorl_find_device(input.devices, "XInputGamepad0");
    button("XInputGamepad0 button 0");
    evdev_state now_held;
    now_held.keys.set(evdev::btn_tr);
    devices.set_state("/dev/input/event0", now_held);
    devices.send("/dev/input/event0",
                 {syn_event(evdev::syn_dropped), key_event(evdev::btn_east, 1), syn_event()});
    std::vector<Event> events = drain();
    ASSERT_EQ(events.size(), 1u);  // B was lost with the dropped events; the state shows RB
    EXPECT_EQ(events[0].code, pad->id | 9);
}

TEST_F(EvdevDevices, ControllersAreNamedWithoutSpacesOrDotsAndMadeUnique)
{
    devices.plug("/dev/input/event1", bvtest::wheel_info("Acme G.29 Racing Wheel"));
    devices.plug("/dev/input/event2", bvtest::wheel_info("Acme G.29 Racing Wheel"));
    devices.plug("/dev/input/event3", bvtest::wheel_info(std::string(80, 'W')));
    devices.plug("/dev/input/event4", bvtest::pad_info("Pad"));
    devices.plug("/dev/input/event5", bvtest::mouse_info("Optical Mouse"));
    devices.plug("/dev/input/event6", bvtest::keyboard_info("Keyboard"));
    devices.plug("/dev/input/event7", bvtest::wheel_info("Locked Wheel"));
    devices.refuse_open("/dev/input/event7");
    ASSERT_TRUE(evdev_stick_roll_call(&input, true, true));

    qorl_device* first = qorl_find_device(input.devices, "AcmeG29RacingWheel");
    qorl_device* second = qorl_find_device(input.devices, "AcmeG29RacingWheel#2");
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first->id, second->id);
    EXPECT_EQ(first->axis_count, 3);
    EXPECT_EQ(first->button_count, 12);
    // Long names are cut so that "%63s button %d" still finds them.
    std::string long_name(63, 'W');
    ASSERT_NE(qorl_find_device(input.devices, long_name.c_str()), nullptr);
    EXPECT_EQ(button((long_name + " button 11").c_str()) & 0xFF, 11u);

    int count = 0;
    for (qorl_device* d = input.devices; d; d = d->next)
        count++;
    EXPECT_EQ(count, 3);  // no pad (served as XInput), mouse, keyboard or locked device
    std::vector<std::string> names = axis_names();
    ASSERT_EQ(names.size(), 9u);
    EXPECT_EQ(names[0], "AcmeG29RacingWheel axis 0");
    EXPECT_EQ(names[5], "AcmeG29RacingWheel#2 axis 2");
}

TEST_F(EvdevDevices, WithoutXInputAPadIsAControllerAndMiceComeWhenAskedFor)
{
    devices.plug("/dev/input/event4", bvtest::pad_info("Game Pad"));
    devices.plug("/dev/input/event5", bvtest::mouse_info("Optical Mouse"));
    ASSERT_TRUE(evdev_stick_roll_call(&input, false, false));
    ASSERT_NE(qorl_find_device(input.devices, "GamePad"), nullptr);
    qorl_device* mouse = qorl_find_device(input.devices, "Mouse");
    ASSERT_NE(mouse, nullptr);
    EXPECT_EQ(mouse->button_count, 3);
    for (const std::string& name : axis_names())
        EXPECT_EQ(name.find("Mouse"), std::string::npos) << "relative axes are not offered";

    // Relative axes add up between reads and start again from 0.
    qorl_axis* x = qorl_input_axis_open(&input, "mouse-x");
    ASSERT_NE(x, nullptr);
    devices.send("/dev/input/event5", {rel_event(evdev::rel_x, 5), rel_event(evdev::rel_y, 2),
                                       rel_event(evdev::rel_x, -12), syn_event()});
    EXPECT_EQ(qorl_axis_read(x), -7);
    EXPECT_EQ(qorl_axis_read(x), 0);
    qorl_axis_close(x);
    EXPECT_EQ(button("mouse-right"), mouse->id | 1);  // left, right, middle in that order
}

TEST_F(EvdevDevices, ControllerAxesAreRangedAndButtonsCarryTheirOwnStamps)
{
    devices.plug("/dev/input/event1", bvtest::wheel_info("Wheel"));
    ASSERT_TRUE(evdev_stick_roll_call(&input, true, true));
    qorl_device* wheel = qorl_find_device(input.devices, "Wheel");
    ASSERT_NE(wheel, nullptr);
    qorl_axis* steer = qorl_input_axis_open(&input, "Wheel.axis[0]");
    qorl_axis* throttle = qorl_input_axis_open(&input, "Wheel axis 1");
    ASSERT_NE(steer, nullptr);
    ASSERT_NE(throttle, nullptr);
    EXPECT_EQ(qorl_axis_read(throttle), 32767);  // the pedal's resting value from the start
    devices.send("/dev/input/event1", {abs_event(evdev::abs_x, 0), abs_event(evdev::abs_y, 0)});
    EXPECT_EQ(qorl_axis_read(steer), -32767);
    EXPECT_EQ(qorl_axis_read(throttle), -32767);
    devices.send("/dev/input/event1", {abs_event(evdev::abs_x, 65535)});
    EXPECT_EQ(qorl_axis_read(steer), 32767);

    EXPECT_EQ(button("Wheel button 1"), wheel->id | 1);
    devices.send("/dev/input/event1",
                 {key_event(evdev::btn_joystick + 1, 1, 99950), syn_event(),
                  key_event(evdev::btn_joystick + 1, 2, 99960),  // a repeat: still held
                  key_event(evdev::btn_joystick + 1, 0, 99990), syn_event()});
    std::vector<Event> events = drain();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].code, wheel->id | 1);
    EXPECT_EQ(events[0].pressed, 1);
    EXPECT_EQ(events[0].s, 99);
    EXPECT_EQ(events[0].us, 950000);
    EXPECT_EQ(events[1].pressed, 0);
    EXPECT_EQ(events[1].us, 990000);
    qorl_axis_close(steer);
    qorl_axis_close(throttle);
}

TEST_F(EvdevDevices, StampsAheadOfTheClockAreHeldBack)
{
    devices.plug("/dev/input/event1", bvtest::wheel_info("Wheel"));
    ASSERT_TRUE(evdev_stick_roll_call(&input, true, true));
    button("Wheel button 0");
    // This device's clock runs 5 s ahead of ours.
    devices.send("/dev/input/event1", {key_event(evdev::btn_joystick, 1, 105000)});
    std::vector<Event> events = drain();
    clock.advance(20);
    devices.send("/dev/input/event1", {key_event(evdev::btn_joystick, 0, 105010)});
    std::vector<Event> later = drain();
    events.insert(events.end(), later.begin(), later.end());
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(static_cast<int64_t>(events[0].s) * 1000 + events[0].us / 1000, 100000);
    int64_t now_ms = 100020;
    for (const Event& e : events)
        EXPECT_LE(static_cast<int64_t>(e.s) * 1000 + e.us / 1000, now_ms);
    EXPECT_EQ(static_cast<int64_t>(events[1].s) * 1000 + events[1].us / 1000, 100010);

    // Such events never hold up a timed read at the present.
    qorl_input_push(&input, 0x101E, 1, 100, 20000);
    uint32_t code = 0;
    int pressed = 0;
    EXPECT_EQ(qorl_input_next_event_until(&input, &code, &pressed, 100, 20000), 1);
}

TEST_F(EvdevDevices, AtMost256ButtonsPerDevice)
{
    evdev_info big = bvtest::wheel_info("Cockpit", 0);
    for (int code = 0x100; code < 0x100 + 300; code++)
        big.keys.set(static_cast<size_t>(code));
    devices.plug("/dev/input/event1", big);
    ASSERT_TRUE(evdev_stick_roll_call(&input, true, true));
    qorl_device* d = qorl_find_device(input.devices, "Cockpit");
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->button_count, 256);
    EXPECT_EQ(button("Cockpit button 255"), d->id | 255);
    uint32_t code = 0;
    EXPECT_EQ(qorl_input_key_code(&input, &code, "Cockpit button 256"), 0);
    // The buttons past the limit make no events that could pass for others.
    devices.send("/dev/input/event1", {key_event(0x100 + 256 + 44, 1), key_event(0x100 + 255, 1)});
    std::vector<Event> events = drain();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].code, d->id | 255);
    EXPECT_STREQ(qorl_input_key_name(&input, events[0].code), "Cockpit button 255");
}

TEST_F(EvdevDevices, UnpluggedControllerReleasesAndComesBackAsItself)
{
    devices.plug("/dev/input/event1", bvtest::wheel_info("Wheel"));
    ASSERT_TRUE(evdev_stick_roll_call(&input, true, true));
    qorl_device* wheel = qorl_find_device(input.devices, "Wheel");
    button("Wheel button 2");
    devices.send("/dev/input/event1", {key_event(evdev::btn_joystick + 2, 1, 99000)});
    ASSERT_EQ(drain().size(), 1u);

    devices.unplug("/dev/input/event1");
    std::vector<Event> events = drain();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].code, wheel->id | 2);
    EXPECT_EQ(events[0].pressed, 0);

    // Another controller appears first; only the same device is taken back.
    devices.plug("/dev/input/event2", bvtest::wheel_info("Other Wheel"));
    evdev_state held;
    held.keys.set(evdev::btn_joystick + 5);
    devices.plug("/dev/input/event3", bvtest::wheel_info("Wheel"), held);
    clock.advance(1000);
    events = drain();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].code, wheel->id | 5);
    EXPECT_EQ(events[0].pressed, 1);
    EXPECT_TRUE(devices.is_open("/dev/input/event3"));
    EXPECT_FALSE(devices.is_open("/dev/input/event2"));
}

}  // namespace
