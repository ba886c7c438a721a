// Event devices through recorded kernel event streams: device classification and range
// scaling, pads in the XInput layout, and game controllers with their names, axes,
// buttons, stamps, limits and unplugging.
#include "fake_evdev.h"

#include "platform/evdev_device.h"
#include "platform/qorl_input.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace {

using namespace bvtest;
using Press = std::pair<uint32_t, int>;
using Presses = std::vector<Press>;

struct Event {
    uint32_t code;
    int pressed;
    int64_t ms;
};

TEST(EvdevStream, LongRecordedStreamsReadBackWholeUntilTheDeviceIsGone)
{
    int fds[2];
    ASSERT_EQ(pipe2(fds, O_NONBLOCK), 0);
    std::string bytes;
    for (int i = 0; i < 70; i++)
        bytes += evdev_encode(abs_event(evdev::abs_x, -i, 1234567 + i));
    ASSERT_EQ(write(fds[1], bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    evdev_event events[70];
    std::vector<evdev_event> got;
    for (int n; (n = evdev_read(fds[0], events, 70)) > 0;)  // more than one read may be needed
        got.insert(got.end(), events, events + n);
    ASSERT_EQ(got.size(), 70u);
    EXPECT_EQ(got[69].value, -69);
    EXPECT_EQ(got[69].code, evdev::abs_x);
    EXPECT_EQ(evdev_event_milliseconds(got[69]), 1234567 + 69);
    close(fds[1]);
    EXPECT_EQ(evdev_read(fds[0], events, 70), -1);  // the stream ended: unplugged
    close(fds[0]);
}

TEST(EvdevClassify, DevicesByWhatTheyOffer)
{
    evdev_info pad_without_right_stick = pad_info("pad");
    pad_without_right_stick.abs.reset(evdev::abs_ry);
    evdev_info buttons_only = wheel_info("box");
    buttons_only.abs.reset();
    evdev_info extra_buttons_only = wheel_info("box", 0);
    extra_buttons_only.keys.set(evdev::btn_trigger_happy + 5);
    evdev_info touchpad = mouse_info("touchpad");  // abs axes, no controller buttons
    touchpad.rel.reset();
    touchpad.types.set(evdev::ev_abs);
    touchpad.abs.set(evdev::abs_x);
    for (auto [info, kind] : {std::pair{pad_info("pad"), evdev_class::pad}, {wheel_info("w"), evdev_class::stick},
                              {mouse_info("m"), evdev_class::mouse}, {keyboard_info("k"), evdev_class::other},
                              {pad_without_right_stick, evdev_class::stick}, {buttons_only, evdev_class::other},
                              {extra_buttons_only, evdev_class::stick}, {touchpad, evdev_class::other}})
        EXPECT_EQ(evdev_classify(info), kind) << info.name;
}

TEST(EvdevScale, RangesMapOntoTheTargetAndClamp)
{
    struct row {
        int32_t value, minimum, maximum, low, high, scaled;
    };
    for (row r : {row{0, 0, 65535, -32767, 32767, -32767}, row{65535, 0, 65535, -32767, 32767, 32767},
                  row{70000, 0, 65535, -32767, 32767, 32767}, row{0, -1, 1, -32767, 32767, 0},
                  row{-128, -128, 127, -32768, 32767, -32768},
                  row{INT32_MAX, INT32_MIN, INT32_MAX, -32767, 32767, 32767},
                  row{5, 7, 7, -32767, 32767, 0}})  // an empty range reads as the middle
        EXPECT_EQ(evdev_scale(r.value, r.minimum, r.maximum, r.low, r.high), r.scaled)
            << r.value << " in " << r.minimum << ".." << r.maximum;
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
        for (qorl_axis* a : opened_)
            if (a)
                qorl_axis_close(a);
        qorl_input_shutdown(&input);
        qorl_aliases_clear();
    }

    // Every event the next-event calls give, with their stamps.
    std::vector<Event> drain()
    {
        std::vector<Event> events;
        qorl_poll_devices(&input);
        pthread_mutex_lock(&input.ring_mutex);
        uint32_t code = 0;
        int pressed = 0;
        int32_t s = 0, us = 0;
        while (qorl_event_pop(&input.ring, &code, &pressed, &s, &us))
            events.push_back({code, pressed, static_cast<int64_t>(s) * 1000 + us / 1000});
        pthread_mutex_unlock(&input.ring_mutex);
        return events;
    }
    Presses presses()
    {
        Presses out;
        for (const Event& e : drain())
            out.emplace_back(e.code, e.pressed);
        return out;
    }
    uint32_t button(const std::string& name)
    {
        uint32_t code = 0;
        EXPECT_TRUE(qorl_input_key_code(&input, &code, name.c_str())) << name;
        return code;
    }
    qorl_axis* axis(const std::string& name)
    {
        qorl_axis* a = qorl_input_axis_open(&input, name.c_str());
        EXPECT_NE(a, nullptr) << name;
        opened_.push_back(a);
        return a;
    }
    std::vector<std::string> axis_names()
    {
        std::vector<std::string> names;
        for (const char* const* n = input.axis_names; n && *n; n++)
            names.push_back(*n);
        return names;
    }
    int device_count()
    {
        int count = 0;
        for (qorl_device* d = input.devices; d; d = d->next)
            count++;
        return count;
    }

    FakeClock clock{100000};
    FakeEvdev devices;
    qorl_input input;
    std::vector<qorl_axis*> opened_;
};

TEST_F(EvdevDevices, PadsTakeTheXInputSlotsInDeviceOrder)
{
    devices.plug("/dev/input/event3", keyboard_info("AT keyboard"));
    devices.plug("/dev/input/event4", pad_info("Pad One"));
    devices.plug("/dev/input/event5", wheel_info("Wheel"));
    devices.plug("/dev/input/event6", pad_info("Pad Two"));
    ASSERT_TRUE(evdev_pad_roll_call(&input));
    EXPECT_EQ(device_count(), 2);
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
    devices.plug("/dev/input/event0", pad_info("Pad"));
    ASSERT_TRUE(evdev_pad_roll_call(&input));
    qorl_axis* axes[6];
    for (int i = 0; i < 6; i++)
        axes[i] = axis("XInputGamepad0 axis " + std::to_string(i));
    EXPECT_EQ(qorl_input_axis_open(&input, "XInputGamepad0 axis 6"), nullptr);
    devices.send("/dev/input/event0",
                 {abs_event(evdev::abs_x, 32767), abs_event(evdev::abs_y, -32768),  // full up
                  abs_event(evdev::abs_rx, -32768), abs_event(evdev::abs_ry, 32767),
                  abs_event(evdev::abs_z, 1023), abs_event(evdev::abs_rz, 0), syn_event()});
    int want[6] = {32767, 32767, -32768, -32767, 32767, 0};  // y up is positive, clamped; trigger 255
    for (int i = 0; i < 6; i++)
        EXPECT_EQ(qorl_axis_read(axes[i]), want[i]) << "axis " << i;
    devices.send("/dev/input/event0", {abs_event(evdev::abs_rz, 512), syn_event()});
    EXPECT_EQ(qorl_axis_read(axes[5]), (128 << 7) + (128 >> 1));
}

TEST_F(EvdevDevices, PadButtonsArriveInBitOrderOncePolledAndAfterLostEvents)
{
    devices.plug("/dev/input/event0", pad_info("Pad"));
    ASSERT_TRUE(evdev_pad_roll_call(&input));
    devices.send("/dev/input/event0", {key_event(evdev::btn_west, 1), syn_event()});
    EXPECT_TRUE(drain().empty());  // not polled until a button is looked up

    const uint32_t pad = button("XInputGamepad0 button 12") & 0xFFFF0000u;
    devices.send("/dev/input/event0",
                 {key_event(evdev::btn_south, 1), abs_event(evdev::abs_hat0y, -1), key_event(evdev::btn_start, 1),
                  abs_event(evdev::abs_hat0x, 1), syn_event()});
    // With the press sent before: up, right, start, A and Y in bit order, stamped at the poll.
    Presses got;
    for (const Event& e : drain()) {
        got.emplace_back(e.code, e.pressed);
        EXPECT_EQ(e.ms, 100000);
    }
    EXPECT_EQ(got, (Presses{{pad | 0, 1}, {pad | 3, 1}, {pad | 4, 1}, {pad | 12, 1}, {pad | 15, 1}}));
    EXPECT_TRUE(drain().empty());
    devices.send("/dev/input/event0", {key_event(evdev::btn_start, 0), syn_event()});
    EXPECT_EQ(presses(), (Presses{{pad | 4, 0}}));

    // B is lost with the dropped events; the state read again shows RB.
    evdev_state now_held;
    for (uint16_t code : {evdev::btn_south, evdev::btn_west, evdev::btn_tr})
        now_held.keys.set(code);
    now_held.abs[evdev::abs_hat0y] = -1;
    now_held.abs[evdev::abs_hat0x] = 1;
    devices.plug("/dev/input/event0", pad_info("Pad"), now_held);
    devices.send("/dev/input/event0", {syn_event(evdev::syn_dropped), key_event(evdev::btn_east, 1), syn_event()});
    EXPECT_EQ(presses(), (Presses{{pad | 9, 1}}));
}

TEST_F(EvdevDevices, UnpluggedPadReleasesEverythingAndComesBackHoldingItsButtons)
{
    devices.plug("/dev/input/event0", pad_info("Pad"));
    ASSERT_TRUE(evdev_pad_roll_call(&input));
    const uint32_t pad = button("XInputGamepad0 button 0") & 0xFFFF0000u;
    devices.send("/dev/input/event0", {key_event(evdev::btn_south, 1), key_event(evdev::btn_start, 1), syn_event()});
    EXPECT_EQ(drain().size(), 2u);
    devices.unplug("/dev/input/event0");
    EXPECT_EQ(presses(), (Presses{{pad | 4, 0}, {pad | 12, 0}}));
    qorl_axis* x = axis("XInputGamepad0 axis 0");
    EXPECT_EQ(qorl_axis_read(x), 0);  // reads as centred

    // Plugged in again (elsewhere), it is found after a while, holding A.
    evdev_state held;
    held.keys.set(evdev::btn_south);
    held.abs[evdev::abs_x] = 32767;
    devices.plug("/dev/input/event9", pad_info("Pad"), held);
    EXPECT_TRUE(drain().empty());
    clock.advance(1000);
    EXPECT_EQ(presses(), (Presses{{pad | 12, 1}}));
    EXPECT_EQ(qorl_axis_read(x), 32767);
}

TEST_F(EvdevDevices, ControllersAreNamedWithoutSpacesOrDotsAndMadeUnique)
{
    devices.plug("/dev/input/event1", wheel_info("Acme G.29 Racing Wheel"));
    devices.plug("/dev/input/event2", wheel_info("Acme G.29 Racing Wheel"));
    devices.plug("/dev/input/event3", wheel_info(std::string(80, 'W')));
    devices.plug("/dev/input/event4", pad_info("Pad"));
    devices.plug("/dev/input/event5", mouse_info("Optical Mouse"));
    devices.plug("/dev/input/event6", keyboard_info("Keyboard"));
    devices.plug("/dev/input/event7", wheel_info("Locked Wheel"));
    devices.refuse_open("/dev/input/event7");
    ASSERT_TRUE(evdev_stick_roll_call(&input, true, true));

    EXPECT_EQ(device_count(), 3);  // no pad (served as XInput), mouse, keyboard or locked device
    EXPECT_NE(button("AcmeG29RacingWheel button 0"), button("AcmeG29RacingWheel#2 button 0"));
    // Long names are cut so that "%63s button %d" still finds them.
    EXPECT_EQ(button(std::string(63, 'W') + " button 11") & 0xFF, 11u);
    EXPECT_EQ(qorl_input_axis_open(&input, "AcmeG29RacingWheel axis 3"), nullptr);
    std::vector<std::string> names = axis_names();
    ASSERT_EQ(names.size(), 9u);
    EXPECT_EQ(names[0], "AcmeG29RacingWheel axis 0");
    EXPECT_EQ(names[5], "AcmeG29RacingWheel#2 axis 2");
}

TEST_F(EvdevDevices, WithoutXInputAPadIsAControllerAndMiceComeWhenAskedFor)
{
    devices.plug("/dev/input/event4", pad_info("Game Pad"));
    devices.plug("/dev/input/event5", mouse_info("Optical Mouse"));
    ASSERT_TRUE(evdev_stick_roll_call(&input, false, false));
    EXPECT_NE(qorl_find_device(input.devices, "GamePad"), nullptr);
    for (const std::string& name : axis_names())
        EXPECT_EQ(name.find("Mouse"), std::string::npos) << "relative axes are not offered";

    // Relative axes add up between reads and start again from 0.
    qorl_axis* x = axis("mouse-x");
    devices.send("/dev/input/event5",
                 {rel_event(evdev::rel_x, 5), rel_event(evdev::rel_y, 2), rel_event(evdev::rel_x, -12), syn_event()});
    EXPECT_EQ(qorl_axis_read(x), -7);
    EXPECT_EQ(qorl_axis_read(x), 0);
    EXPECT_EQ(button("mouse-right") & 0xFF, 1u);  // left, right, middle in that order
}

TEST_F(EvdevDevices, ControllerAxesAreRangedAndButtonStampsNeverRunAhead)
{
    devices.plug("/dev/input/event1", wheel_info("Wheel"));
    ASSERT_TRUE(evdev_stick_roll_call(&input, true, true));
    qorl_axis* steer = axis("Wheel.axis[0]");
    qorl_axis* throttle = axis("Wheel axis 1");
    EXPECT_EQ(qorl_axis_read(throttle), 32767);  // the pedal's resting value from the start
    devices.send("/dev/input/event1", {abs_event(evdev::abs_x, 0), abs_event(evdev::abs_y, 0)});
    EXPECT_EQ(qorl_axis_read(steer), -32767);
    EXPECT_EQ(qorl_axis_read(throttle), -32767);
    devices.send("/dev/input/event1", {abs_event(evdev::abs_x, 65535)});
    EXPECT_EQ(qorl_axis_read(steer), 32767);

    // Buttons carry their own stamps; a repeat is still held.
    const uint32_t b1 = button("Wheel button 1");
    devices.send("/dev/input/event1",
                 {key_event(evdev::btn_joystick + 1, 1, 99950), syn_event(), key_event(evdev::btn_joystick + 1, 2, 99960),
                  key_event(evdev::btn_joystick + 1, 0, 99990), syn_event()});
    std::vector<Event> events = drain();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].code, b1);
    EXPECT_EQ(events[0].pressed, 1);
    EXPECT_EQ(events[0].ms, 99950);
    EXPECT_EQ(events[1].pressed, 0);
    EXPECT_EQ(events[1].ms, 99990);

    // From a device whose clock runs 5 s ahead: never past now, spaced as it spaced them.
    devices.send("/dev/input/event1", {key_event(evdev::btn_joystick + 1, 1, 105000)});
    events = drain();
    clock.advance(20);
    devices.send("/dev/input/event1", {key_event(evdev::btn_joystick + 1, 0, 105010)});
    events.push_back(drain().at(0));
    EXPECT_EQ(events[0].ms, 100000);
    EXPECT_EQ(events[1].ms, 100010);
    // Such events never hold up a timed read at the present.
    qorl_input_push(&input, 0x101E, 1, 100, 20000);
    uint32_t code = 0;
    int pressed = 0;
    EXPECT_EQ(qorl_input_next_event_until(&input, &code, &pressed, 100, 20000), 1);
}

TEST_F(EvdevDevices, AtMost256ButtonsPerDevice)
{
    evdev_info big = wheel_info("Cockpit", 0);
    for (int code = 0x100; code < 0x100 + 300; code++)
        big.keys.set(static_cast<size_t>(code));
    devices.plug("/dev/input/event1", big);
    ASSERT_TRUE(evdev_stick_roll_call(&input, true, true));
    qorl_device* d = qorl_find_device(input.devices, "Cockpit");
    ASSERT_TRUE(d);
    EXPECT_EQ(d->button_count, 256);
    const uint32_t last = button("Cockpit button 255");
    EXPECT_EQ(last & 0xFFFF, 255u);
    uint32_t code = 0;
    EXPECT_EQ(qorl_input_key_code(&input, &code, "Cockpit button 256"), 0);
    // The buttons past the limit make no events that could pass for others.
    devices.send("/dev/input/event1", {key_event(0x100 + 256 + 44, 1), key_event(0x100 + 255, 1)});
    EXPECT_EQ(presses(), (Presses{{last, 1}}));
    EXPECT_STREQ(qorl_input_key_name(&input, last), "Cockpit button 255");
}

TEST_F(EvdevDevices, UnpluggedControllerReleasesAndComesBackAsItself)
{
    devices.plug("/dev/input/event1", wheel_info("Wheel"));
    ASSERT_TRUE(evdev_stick_roll_call(&input, true, true));
    const uint32_t wheel = button("Wheel button 2") & 0xFFFF0000u;
    devices.send("/dev/input/event1", {key_event(evdev::btn_joystick + 2, 1, 99000)});
    ASSERT_EQ(drain().size(), 1u);
    devices.unplug("/dev/input/event1");
    EXPECT_EQ(presses(), (Presses{{wheel | 2, 0}}));

    // Another controller appears first; only the same device is taken back.
    devices.plug("/dev/input/event2", wheel_info("Other Wheel"));
    evdev_state held;
    held.keys.set(evdev::btn_joystick + 5);
    devices.plug("/dev/input/event3", wheel_info("Wheel"), held);
    clock.advance(1000);
    EXPECT_EQ(presses(), (Presses{{wheel | 5, 1}}));
    EXPECT_TRUE(devices.is_open("/dev/input/event3"));
    EXPECT_FALSE(devices.is_open("/dev/input/event2"));
}

}  // namespace
