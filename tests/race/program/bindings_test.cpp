// The control bindings: default keys, control values and slots, axis ranges, the
// controls screen's line, key and axis capture, and the "@config" binding lines.
#include "foundation/intern.h"
#include "platform/qorl_events.h"
#include "platform/qorl_input.h"
#include "platform/qorl_window.h"
#include "race/program/bindings.h"
#include "race/program/controls.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace {

uint32_t code_of(const char* name)
{
    uint32_t code = kUnmatchedKey;
    qorl_key_code(nullptr, &code, name);
    return code;
}

void fresh_bindings(qorl_window* window = nullptr)
{
    bindings_set_defaults();
    for (input_binding& b : bindings)
        binding_resolve(window, &b);
    control_values_zero();
}

float slot_after(std::initializer_list<const char*> held)
{
    control_values_zero();
    for (const char* name : held)
        bindings_key_event(code_of(name), 1);
    std::fill(std::begin(control_slots), std::end(control_slots), 0.0f);
    bindings_fill_slots();
    return 0;
}

// One stick of two axes whose readings the test sets.
int stick_values[2] = {0, 0};

struct StickWindow {
    qorl_window window;
    qorl_device* stick = new qorl_device;
    StickWindow()
    {
        qorl_input_init(&window.input, &window);
        stick->name = "pad0";
        stick->axis_count = 2;
        stick->open = [](qorl_device*) { return 1; };
        stick->close = [](qorl_device*) {};
        stick->read_axis = [](qorl_device*, int index) { return stick_values[index]; };
        stick->destroy = [](qorl_device* d) { delete d; };
        qorl_device_add(&window.input, stick);
        qorl_add_axis_name(&window.input, "pad0.axis[0]");
        qorl_add_axis_name(&window.input, "pad0.axis[1]");
    }
    ~StickWindow()
    {
        capture_end();
        bindings_close_axes();
        qorl_input_shutdown(&window.input);
    }
};

}  // namespace

TEST(Bindings, DefaultKeysDriveTheControlSlots)
{
    fresh_bindings();
    EXPECT_EQ(bindings[bind_throttle].key_code, code_of("x"));
    EXPECT_EQ(bindings[bind_dab].key_code, code_of("Right Ctrl"));   // names ignore case
    EXPECT_NE(bindings[bind_dab].key_code, kUnmatchedKey);

    slot_after({"left", "right"});
    EXPECT_EQ(control_slots[0], 0.0f) << "left and right cancel";
    slot_after({"left"});
    EXPECT_EQ(control_slots[0], 1.0f);
    slot_after({"up"});
    EXPECT_EQ(control_slots[4], 1.0f);
    slot_after({"down"});
    EXPECT_EQ(control_slots[4], -1.0f);
    slot_after({"n"});
    EXPECT_EQ(control_slots[8], -1.0f);

    // A value stays until that key's next event.
    slot_after({"x"});
    bindings_key_event(code_of("c"), 1);
    std::fill(std::begin(control_slots), std::end(control_slots), 0.0f);
    bindings_fill_slots();
    EXPECT_EQ(control_slots[1], 1.0f);
    EXPECT_EQ(control_slots[2], 1.0f);
    bindings_key_event(code_of("x"), 0);
    std::fill(std::begin(control_slots), std::end(control_slots), 0.0f);
    bindings_fill_slots();
    EXPECT_EQ(control_slots[1], 0.0f);

    // Two bindings on one key both fire; a name the keyboard lacks never does.
    binding_parse(&bindings[bind_front_brake], "x");
    binding_parse(&bindings[bind_rear_brake], "no such key");
    binding_resolve(nullptr, &bindings[bind_front_brake]);
    binding_resolve(nullptr, &bindings[bind_rear_brake]);
    EXPECT_EQ(bindings[bind_rear_brake].key_code, kUnmatchedKey);
    slot_after({"x"});
    EXPECT_EQ(control_slots[1], 1.0f);
    EXPECT_EQ(control_slots[2], 1.0f);
    EXPECT_EQ(control_slots[3], 0.0f);
    bindings_key_event(kUnmatchedKey, 1);
    EXPECT_EQ(control_list[bind_rear_brake].value, 0.0f);
}

TEST(Bindings, AxisRangesAndTheControlsScreenLine)
{
    // A range taken from a move towards minus: rest gives 0, full travel 1.
    const float low = -0.0625f, high = -0.9375f;
    EXPECT_EQ(axis_value(0, low, high), 0.0f);
    EXPECT_EQ(axis_value(-32768, low, high), 1.0f);
    EXPECT_NEAR(axis_value(-16384, low, high), (0.5f - 0.0625f) / 0.875f, 1e-6);
    EXPECT_EQ(axis_value(32767, 0, 1), 32767.0f / 32768.0f);
    EXPECT_EQ(axis_value(-100, 0, 1), 0.0f);

    input_binding b{};
    binding_reset(&b);
    EXPECT_EQ(binding_line_text(&b, false), "None");
    EXPECT_EQ(binding_line_text(&b, true), "<<PRESS A KEY>>");
    binding_parse(&b, "(-0.062500,-0.937500)pad0.axis[1]");
    EXPECT_EQ(binding_line_text(&b, false), "pad0.axis[1] (Negative)");
    binding_parse(&b, "(0.062500,0.937500)pad0.axis[1]");
    EXPECT_EQ(binding_line_text(&b, false), "pad0.axis[1] (Positive)");
    binding_parse(&b, "right ctrl");
    EXPECT_EQ(binding_line_text(&b, false), "right ctrl");

    binding_line_rect(&b, 2.0f, 5.0f, 10.0f, 20.0f);
    EXPECT_EQ(b.rect[0], 20);
    EXPECT_EQ(b.rect[1], 120);
    EXPECT_EQ(b.rect[2], 439);    // (2 + 41.99667) x 10 = 439.9667
    EXPECT_EQ(b.rect[3], 100);
}

TEST(Bindings, ConfigLinesParseAndWriteBack)
{
    input_binding b{};
    binding_reset(&b);
    binding_parse(&b, "  x");
    EXPECT_STREQ(b.key_name, "x");
    binding_parse(&b, "(k)x");
    EXPECT_STREQ(b.key_name, "x");
    EXPECT_EQ(b.axis_name, nullptr);
    binding_parse(&b, "(k)");
    ASSERT_NE(b.key_name, nullptr);
    EXPECT_STREQ(b.key_name, "");
    binding_parse(&b, "(0.062500,0.937500)pad0.axis[1]");
    EXPECT_EQ(b.key_name, nullptr);
    EXPECT_STREQ(b.axis_name, "pad0.axis[1]");
    EXPECT_FLOAT_EQ(b.range_low, 0.0625f);
    EXPECT_FLOAT_EQ(b.range_high, 0.9375f);
    // One number only: not a range, so the whole text is a key name.
    binding_parse(&b, "(0.5)q");
    EXPECT_STREQ(b.key_name, "(0.5)q");
    EXPECT_EQ(b.range_high, 1.0f);
    // A range that is not two numbers is skipped like a line not understood: the
    // binding keeps what it had (it used to become a key name, losing the throttle,
    // and 1e39 was written back as "inf").
    for (const char* text : {"(nan,nan)pad0.axis[0]", "(1e39,0.5)pad0.axis[0]", "(0.1,-inf)pad0.axis[0]",
                             "(x,y)pad0.axis[0]"}) {
        binding_parse(&b, "(0.062500,0.937500)pad0.axis[1]");
        binding_parse(&b, text);
        EXPECT_EQ(b.key_name, nullptr) << text;
        EXPECT_STREQ(b.axis_name, "pad0.axis[1]") << text;
        EXPECT_FLOAT_EQ(b.range_low, 0.0625f) << text;
        EXPECT_FLOAT_EQ(b.range_high, 0.9375f) << text;
    }

    std::string value = "unchanged";
    binding_parse(&b, "(k)");
    EXPECT_TRUE(binding_config_value(&b, &value) && value == "(k)") << value;
    binding_parse(&b, "(0.062500,0.937500)pad0.axis[1]");
    EXPECT_TRUE(binding_config_value(&b, &value) && value == "(0.062500,0.937500)pad0.axis[1]") << value;
    binding_reset(&b);
    value = "unchanged";
    EXPECT_FALSE(binding_config_value(&b, &value));   // neither: no line
    EXPECT_EQ(value, "unchanged");
    b.key_name = intern_string("x");
    b.axis_name = intern_string("pad0.axis[0]");
    EXPECT_TRUE(binding_config_value(&b, &value) && value == "(k)x") << value;   // the key wins

    const char* order[kBindings];
    for (int i = 0; i < kBindings; ++i)
        order[i] = binding_config_keys[i].key;
    EXPECT_STREQ(order[0], "throttle_key");
    EXPECT_STREQ(order[3], "left_key");
    EXPECT_STREQ(order[16], "prev_key");
    EXPECT_STREQ(order[17], "next_key");
    EXPECT_STREQ(order[19], "screenshot_key");
    EXPECT_EQ(binding_config_keys[18].id, bind_chat);
}

TEST(Bindings, CaptureTakesAKeyOrAMovedAxisAfterAQuarterSecond)
{
    StickWindow w;
    fresh_bindings(&w.window);
    menu_keys.enter = int32_t(code_of("enter"));
    menu_keys.esc = int32_t(code_of("esc"));
    input_binding* throttle = &bindings[bind_throttle];

    // Other keys do not start it; enter does.
    EXPECT_EQ(pots_watch(&w.window, throttle, code_of("q"), 1.0), 0);
    ASSERT_EQ(pots_watch(&w.window, throttle, code_of("enter"), 1.0), 1);
    EXPECT_EQ(capture_binding(), throttle);
    EXPECT_EQ(binding_line_text(throttle, capture_binding() == throttle), "<<PRESS A KEY>>");
    // A pressed key is held back; releases go on.
    EXPECT_EQ(capture_key_event(&w.window, code_of("q"), 1, 1.1), 1);
    EXPECT_EQ(capture_key_event(&w.window, code_of("q"), 0, 1.15), 0);
    capture_step(1.3);
    EXPECT_EQ(capture_binding(), throttle) << "taken after more than 0.25 s only";
    capture_step(1.36);
    EXPECT_EQ(capture_binding(), nullptr);
    // Named in lower case as every default binding is, not as the key table has it ("Q").
    EXPECT_STREQ(throttle->key_name, "q");
    EXPECT_EQ(throttle->key_code, code_of("q"));
    ASSERT_EQ(pots_watch(&w.window, throttle, code_of("enter"), 1.5), 1);
    capture_key_event(&w.window, code_of("right ctrl"), 1, 1.5);
    capture_step(1.8);
    EXPECT_STREQ(throttle->key_name, "right ctrl");
    EXPECT_EQ(throttle->key_code, code_of("right ctrl"));
    throttle->key_code = 0;
    binding_resolve(&w.window, throttle);   // as "@config" gives it back at the next start
    EXPECT_EQ(throttle->key_code, code_of("right ctrl"));
    ASSERT_EQ(pots_watch(&w.window, throttle, code_of("enter"), 1.9), 1);
    capture_key_event(&w.window, code_of("q"), 1, 1.9);
    capture_step(2.0);
    capture_step(2.2);

    // Esc cancels and closes every watched axis.
    ASSERT_EQ(pots_watch(&w.window, throttle, code_of("enter"), 2.0), 1);
    EXPECT_EQ(capture_key_event(&w.window, code_of("esc"), 1, 2.1), 1);
    EXPECT_EQ(capture_binding(), nullptr);
    EXPECT_EQ(w.stick->refcount, 0);
    EXPECT_EQ(throttle->key_code, code_of("q"));

    // A move of 0.8 that stays: low and high at 1/16 and 15/16 of the travel.
    stick_values[0] = stick_values[1] = 0;
    ASSERT_EQ(pots_watch(&w.window, throttle, code_of("enter"), 3.0), 1);
    stick_values[1] = int(0.8 * 32768);
    capture_step(3.1);
    capture_step(3.3);
    EXPECT_EQ(capture_binding(), throttle);
    capture_step(3.4);
    ASSERT_EQ(capture_binding(), nullptr);
    EXPECT_EQ(throttle->key_name, nullptr);
    EXPECT_STREQ(throttle->axis_name, "pad0.axis[1]");
    const float end = float(int(0.8 * 32768)) / 32768.0f;
    EXPECT_FLOAT_EQ(throttle->range_low, end / 16);
    EXPECT_FLOAT_EQ(throttle->range_high, 15 * end / 16);
    EXPECT_EQ(w.stick->refcount, 1) << "only the taken axis stays open";
    stick_values[1] = int(0.8 * 32768);
    control_values_zero();
    bindings_fill_slots();
    EXPECT_FLOAT_EQ(control_list[bind_throttle].value, 1.0f);

    // A move of 0.4 is never taken.
    stick_values[0] = 0;
    ASSERT_EQ(pots_watch(&w.window, &bindings[bind_clutch], code_of("enter"), 5.0), 1);
    stick_values[0] = int(0.4 * 32768);
    for (double t = 5.1; t < 7; t += 0.1)
        capture_step(t);
    EXPECT_EQ(capture_binding(), &bindings[bind_clutch]);
    capture_end();
}
