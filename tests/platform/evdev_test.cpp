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
using Press = std::pair<uint32_t, int>;

TEST(EvdevStream, RecordedEventsReadBackUntilTheDeviceIsGone)
{
    int fds[2];
    ASSERT_EQ(pipe2(fds, O_NONBLOCK), 0);
    evdev_event events[4];
    EXPECT_EQ(evdev_read(fds[0], events, 4), 0);  // nothing waiting yet
    std::string bytes = evdev_encode(abs_event(evdev::abs_x, -7, 1234567)) + evdev_encode(syn_event());
    ASSERT_EQ(write(fds[1], bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    ASSERT_EQ(evdev_read(fds[0], events, 4), 2);
    EXPECT_EQ(events[0].type, evdev::ev_abs);
    EXPECT_EQ(events[0].code, evdev::abs_x);
    EXPECT_EQ(events[0].value, -7);
    EXPECT_EQ(evdev_event_milliseconds(events[0]), 1234567);
    close(fds[1]);
    EXPECT_EQ(evdev_read(fds[0], events, 4), -1);  // the stream ended: unplugged
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

    evdev_info touchpad = bvtest::mouse_info("touchpad");  // abs axes, no controller buttons
    touchpad.rel.reset();
    touchpad.types.set(evdev::ev_abs);
    touchpad.abs.set(evdev::abs_x);
    EXPECT_EQ(evdev_classify(touchpad), evdev_class::other);

    evdev_info extra_buttons = bvtest::wheel_info("box", 0);
    extra_buttons.keys.set(evdev::btn_trigger_happy + 5);
    EXPECT_EQ(evdev_classify(extra_buttons), evdev_class::stick);
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
        Event e{};
        while (qorl_event_pop(&input.ring, &e.code, &e.pressed, &e.s, &e.us))
            events.push_back(e);
        pthread_mutex_unlock(&input.ring_mutex);
        return events;
    }
    // The same as (code, pressed) pairs.
    std::vector<Press> presses()
    {
        std::vector<Press> out;
        for (const Event& e : drain())
            out.emplace_back(e.code, e.pressed);
        return out;
    }

    uint32_t button(const char* name)
    {
        uint32_t code = 0;
        EXPECT_TRUE(qorl_input_key_code(&input, &code, name)) << name;
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
    qorl_device* found(const char* name)
    {
        qorl_device* d = qorl_find_device(input.devices, name);
        EXPECT_NE(d, nullptr) << name;
        return d;
    }

    FakeClock clock{100000};
    FakeEvdev devices;
    qorl_input input;
    std::vector<qorl_axis*> opened_;
};

TEST_F(EvdevDevices, PadsTakeTheXInputSlotsInDeviceOrder)
{
    devices.plug("/dev/input/event3", bvtest::keyboard_info("AT keyboard"));
    devices.plug("/dev/input/event4", bvtest::pad_info("Pad One"));
    devices.plug("/dev/input/event5", bvtest::wheel_info("Wheel"));
    devices.plug("/dev/input/event6", bvtest::pad_info("Pad Two"));
    ASSERT_TRUE(evdev_pad_roll_call(&input));
    EXPECT_NE(qorl_find_device(input.devices, "XInputGamepad1"), nullptr);
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

TEST_F(EvdevDevices, PadButtonsArriveInBitOrderOncePolledAndReleaseOnUnplug)
{
    devices.plug("/dev/input/event0", bvtest::pad_info("Pad"));
    ASSERT_TRUE(evdev_pad_roll_call(&input));
    qorl_device* pad = found("XInputGamepad0");
    ASSERT_TRUE(pad);
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
    devices.send("/dev/input/event0", {key_event(evdev::btn_start, 0), syn_event()});
    EXPECT_EQ(presses(), (std::vector<Press>{{pad->id | 4, 0}}));

    // A pad that goes away lets go of everything and reads as centred.
    devices.unplug("/dev/input/event0");
    events = drain();
    EXPECT_EQ(events.size(), 4u);
    for (const Event& e : events)
        EXPECT_EQ(e.pressed, 0);
    qorl_axis* x = axis("XInputGamepad0 axis 0");
    EXPECT_EQ(qorl_axis_read(x), 0);

    // Plugged in again (elsewhere), it is found after a while, holding A.
    evdev_state held;
    held.keys.set(evdev::btn_south);
    held.abs[evdev::abs_x] = 32767;
    devices.plug("/dev/input/event9", bvtest::pad_info("Pad"), held);
    EXPECT_TRUE(drain().empty());
    clock.advance(1000);
    EXPECT_EQ(presses(), (std::vector<Press>{{pad->id | 12, 1}}));
    EXPECT_EQ(qorl_axis_read(x), 32767);
}

TEST_F(EvdevDevices, PadRereadsItsStateAfterLostEvents)
{
    devices.plug("/dev/input/event0", bvtest::pad_info("Pad"));
    ASSERT_TRUE(evdev_pad_roll_call(&input));
    const uint32_t pad = button("XInputGamepad0 button 0");
    evdev_state now_held;
    now_held.keys.set(evdev::btn_tr);
    devices.plug("/dev/input/event0", bvtest::pad_info("Pad"), now_held);
    devices.send("/dev/input/event0",
                 {syn_event(evdev::syn_dropped), key_event(evdev::btn_east, 1), syn_event()});
    // B was lost with the dropped events; the state shows RB.
    EXPECT_EQ(presses(), (std::vector<Press>{{pad | 9, 1}}));
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

    qorl_device* first = found("AcmeG29RacingWheel");
    qorl_device* second = found("AcmeG29RacingWheel#2");
    ASSERT_TRUE(first && second);
    EXPECT_NE(first->id, second->id);
    EXPECT_EQ(first->axis_count, 3);
    EXPECT_EQ(first->button_count, 12);
    // Long names are cut so that "%63s button %d" still finds them.
    std::string long_name(63, 'W');
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
    found("GamePad");
    qorl_device* mouse = found("Mouse");
    ASSERT_TRUE(mouse);
    EXPECT_EQ(mouse->button_count, 3);
    for (const std::string& name : axis_names())
        EXPECT_EQ(name.find("Mouse"), std::string::npos) << "relative axes are not offered";

    // Relative axes add up between reads and start again from 0.
    qorl_axis* x = axis("mouse-x");
    devices.send("/dev/input/event5", {rel_event(evdev::rel_x, 5), rel_event(evdev::rel_y, 2),
                                       rel_event(evdev::rel_x, -12), syn_event()});
    EXPECT_EQ(qorl_axis_read(x), -7);
    EXPECT_EQ(qorl_axis_read(x), 0);
    EXPECT_EQ(button("mouse-right"), mouse->id | 1);  // left, right, middle in that order
}

TEST_F(EvdevDevices, ControllerAxesAreRangedAndButtonsCarryTheirOwnStamps)
{
    devices.plug("/dev/input/event1", bvtest::wheel_info("Wheel"));
    ASSERT_TRUE(evdev_stick_roll_call(&input, true, true));
    qorl_device* wheel = found("Wheel");
    ASSERT_TRUE(wheel);
    qorl_axis* steer = axis("Wheel.axis[0]");
    qorl_axis* throttle = axis("Wheel axis 1");
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
    // Never past now (100000, then 100020), and spaced as the device spaced them.
    EXPECT_EQ(static_cast<int64_t>(events[0].s) * 1000 + events[0].us / 1000, 100000);
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
    qorl_device* d = found("Cockpit");
    ASSERT_TRUE(d);
    EXPECT_EQ(d->button_count, 256);
    EXPECT_EQ(button("Cockpit button 255"), d->id | 255);
    uint32_t code = 0;
    EXPECT_EQ(qorl_input_key_code(&input, &code, "Cockpit button 256"), 0);
    // The buttons past the limit make no events that could pass for others.
    devices.send("/dev/input/event1", {key_event(0x100 + 256 + 44, 1), key_event(0x100 + 255, 1)});
    EXPECT_EQ(presses(), (std::vector<Press>{{d->id | 255, 1}}));
    EXPECT_STREQ(qorl_input_key_name(&input, d->id | 255), "Cockpit button 255");
}

TEST_F(EvdevDevices, UnpluggedControllerReleasesAndComesBackAsItself)
{
    devices.plug("/dev/input/event1", bvtest::wheel_info("Wheel"));
    ASSERT_TRUE(evdev_stick_roll_call(&input, true, true));
    qorl_device* wheel = found("Wheel");
    ASSERT_TRUE(wheel);
    button("Wheel button 2");
    devices.send("/dev/input/event1", {key_event(evdev::btn_joystick + 2, 1, 99000)});
    ASSERT_EQ(drain().size(), 1u);
    devices.unplug("/dev/input/event1");
    EXPECT_EQ(presses(), (std::vector<Press>{{wheel->id | 2, 0}}));

    // Another controller appears first; only the same device is taken back.
    devices.plug("/dev/input/event2", bvtest::wheel_info("Other Wheel"));
    evdev_state held;
    held.keys.set(evdev::btn_joystick + 5);
    devices.plug("/dev/input/event3", bvtest::wheel_info("Wheel"), held);
    clock.advance(1000);
    EXPECT_EQ(presses(), (std::vector<Press>{{wheel->id | 5, 1}}));
    EXPECT_TRUE(devices.is_open("/dev/input/event3"));
    EXPECT_FALSE(devices.is_open("/dev/input/event2"));
}

}  // namespace
