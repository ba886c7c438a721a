// Keys typed into a real window under Xvfb (XTEST) reach the widgets through the
// platform's event ring, the menu keys resolved by name as start-up does.
#include <gtest/gtest.h>

#include "frontend/ui_widgets.h"
#include "support/fresh_process.h"
#include "support/xvfb_server.h"
#include "platform/qorl_events.h"
#include "platform/qorl_window.h"
#include "platform/x_session.h"
#include "race/program/controls.h"

#include <X11/keysym.h>

#include <cstring>
#include <string>

namespace {

using bvtest::RingEvent;

// Types the keys and hands every press to the widget until `presses` presses came.
template <typename Feed>
std::vector<RingEvent> type(qorl_window* window, Display* display, bvtest::FakeInput& input,
                            std::initializer_list<KeySym> keys, size_t presses, Feed feed)
{
    for (KeySym key : keys) {
        input.key(display, key, true);
        input.key(display, key, false);
    }
    XSync(display, False);
    std::vector<RingEvent> events = bvtest::pop_events(window, [&](const std::vector<RingEvent>& got) {
        size_t pressed = 0;
        for (const RingEvent& e : got)
            pressed += e.pressed && e.code < 256;
        return pressed >= presses && !got.empty() && !got.back().pressed;
    });
    for (const RingEvent& e : events)
        if (e.pressed)
            feed(int(e.code));
    return events;
}

TEST(KeyPath, TypedKeysReachTheWidgets)
{
    bvtest::XvfbServer server;
    BV_REQUIRE_XVFB(server);
    bvtest::in_fresh_process([] {
        bvtest::Problems p;
        qorl_window* window = qorl_window_open("Keys", 0, 0, 24);
        if (!window)
            return std::string("the window did not open\n");
        bvtest::FakeInput input;
        if (!input.available())
            return std::string("no XTEST library to type with\n");
        Display* display = bvtest::open_test_display();
        uint32_t code = 0;
        p.check(qorl_key_code(window, &code, "right") == 1, "no key named right");
        menu_keys.right = int32_t(code);
        p.check(qorl_key_code(window, &code, "left") == 1, "no key named left");
        menu_keys.left = int32_t(code);

        const char* const skills[] = {"Novice", "Amateur", "Expert"};
        int skill = 0;
        ui_choice choice{"Skill", skills, 3, skill, {}};
        auto events = type(window, display, input, {XK_a, XK_m, XK_a}, 3, [&](int key) { ui_choice_key(&choice, key); });
        p.check(skill == 1, "a, m, a selected item " + std::to_string(skill) + " from " + bvtest::describe(events));

        double laps = 5;
        ui_slider slider{"Laps", laps, 1, 0, 10, {}, 0, 0};
        type(window, display, input, {XK_Right}, 0, [&](int key) { ui_slider_key(&slider, key); });
        p.check(laps == 6, "Right moved the slider to " + std::to_string(laps));

        char name[16] = {};
        ui_text_field field{"Name", 15, name, 0, 1, {}};
        type(window, display, input, {XK_b, XK_o, XK_b}, 3, [&](int key) { ui_text_key(&field, key); });
        p.same(name, "bob", "typed name");

        XCloseDisplay(display);
        qorl_window_close(window);
        return p.text;
    });
}

}  // namespace
