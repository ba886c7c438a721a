// The progress screen on a real offscreen window: when it draws, what it shows and
// logs, what it takes from the input, the loading-delay record and the spinner.
#include "foundation/front_door.h"
#include "frontend/message_line.h"
#include "frontend/progress_screen.h"
#include "frontend_env.h"
#include "gfx/images.h"
#include "gfx/log_capture.h"
#include "gl_window.h"
#include "platform/qorl_events.h"
#include "platform/qorl_gl.h"
#include "race/program/controls.h"
#include "race/race_state.h"

#include <algorithm>
#include <cstdlib>
#include <string>

namespace fronttest {
namespace {

bool has(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

int brightness(const Rgba& p)
{
    return (p[0] + p[1] + p[2]) / 3;
}

using ProgressScreen = GlWindowTest;

TEST_F(ProgressScreen, DotsRedrawAtMostEveryEighthOfASecond)
{
    FakeClock clock(100000);
    progress_dots("Loading heights");   // the first call ever draws
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames.back().message, "Loading heights.");
    clock.advance(0.1);
    progress_dots("Loading heights");
    EXPECT_EQ(frames.size(), 1u);

    progress_log_reset("Loading terrain");
    EXPECT_EQ(frames.back().message, "Loading terrain");
    std::vector<std::string> shown;
    for (int i = 0; i < 5; ++i) {
        clock.advance(0.2);
        progress_dots("Loading terrain");
        shown.push_back(frames.back().message);
    }
    EXPECT_EQ(shown, (std::vector<std::string>{"Loading terrain.", "Loading terrain..", "Loading terrain...",
                                               "Loading terrain", "Loading terrain."}));
    EXPECT_EQ(frames.size(), 7u);
    save_frame("progress_dots", frames.back().w, frames.back().h, frames.back().rgb());
}

TEST_F(ProgressScreen, TextsAndTheLog)
{
    FakeClock clock(200000);
    LogCapture log;
    const std::string long_message(100, 'm');
    progress_done(long_message.c_str());
    EXPECT_EQ(frames.back().message, std::string(64, 'm') + "...done");
    progress_dots("Quietly");
    progress_done("Quietly");
    EXPECT_FALSE(has(log.text(), "Quietly"));

    progress_log("Spoken");
    progress_log("");
    progress_log_reset("Loading tilemap");
    EXPECT_EQ(frames.size(), 6u);
    EXPECT_TRUE(has(log.text(), "Spoken\n"));
    EXPECT_TRUE(has(log.text(), "Loading tilemap\n"));
    // An empty message is drawn but not logged: only the two lines above.
    size_t lines = 0;
    for (char c : log.text())
        lines += c == '\n';
    EXPECT_EQ(lines, 2u) << log.text();
    // The door's name reaches the same screen.
    draw_progress_screen("Resetting...");
    EXPECT_EQ(frames.back().message, "Resetting...");
}

TEST_F(ProgressScreen, InputIsDroppedButACloseIsKept)
{
    FakeClock clock(300000);
    auto press_everything = [&] {
        for (control_entry& entry : control_list)
            entry.value = 1;
        menu_cursor_held = 1;
        qorl_input_push_now(&window->input, 'x', 1);
        qorl_input_push_now(&window->input, QORL_MOUSE_LEFT, 1);
        qorl_input_push_now(&window->input, QORL_CLOSE, 1);
        qorl_input_push_now(&window->input, 0x1010, 1);
    };
    auto events_left = [&] {
        uint32_t code = 0;
        int pressed = 0;
        std::vector<uint32_t> left;
        while (qorl_next_event(window, &code, &pressed))
            left.push_back(code);
        return left;
    };
    auto only_close_left = [&] {
        for (const control_entry& entry : control_list)
            EXPECT_EQ(entry.value, 0);
        EXPECT_EQ(menu_cursor_held, 0);
        EXPECT_EQ(events_left(), std::vector<uint32_t>{QORL_CLOSE});
    };
    press_everything();
    progress_log_reset("Loading statues");
    only_close_left();
    press_everything();
    loading_spinner();
    EXPECT_EQ(events_left(), std::vector<uint32_t>{QORL_CLOSE});

    // A frame already open leaves no drawable area: everything but the drawing and
    // the delay bookkeeping still happens.
    const std::string before = progress_current_message();
    const size_t drawn = frames.size();
    press_everything();
    ASSERT_TRUE(qorl_begin_frame(window));
    clock.advance(1);
    progress_log_reset("Unseen");
    qorl_end_frame(window);
    only_close_left();
    EXPECT_EQ(frames.size(), drawn);
    EXPECT_EQ(progress_current_message(), before);
}

TEST_F(ProgressScreen, TheLongestShownMessageIsRecorded)
{
    FakeClock clock(400000);
    race.max_loading_delay = 0;
    race.max_loading_message[0] = 0;
    progress_log_reset("Loading terrain");
    clock.advance(3);
    progress_log_reset("Loading shadows");
    clock.advance(1);
    progress_log_reset(std::string(100, 'L').c_str());
    EXPECT_DOUBLE_EQ(race.max_loading_delay, 3);
    EXPECT_STREQ(race.max_loading_message, "Loading terrain");
    clock.advance(5);
    progress_done("Loading map");
    EXPECT_DOUBLE_EQ(race.max_loading_delay, 5);
    EXPECT_EQ(std::string(race.max_loading_message), std::string(79, 'L'));

    // A new reset counts only what is shown after it.
    race.max_loading_delay = 0;
    race.max_loading_message[0] = 0;
    clock.advance(0.5);
    progress_log_reset("Loading bikes");
    EXPECT_DOUBLE_EQ(race.max_loading_delay, 0.5);
    EXPECT_STREQ(race.max_loading_message, "Loading map...done");
}

TEST_F(ProgressScreen, TheSpinnerShowsItsCallCountAsSquares)
{
    FakeClock clock(500000);
    const uint32_t calls = loading_spinner_calls();
    loading_spinner();
    ASSERT_EQ(frames.size(), 1u);
    const Frame& first = frames.back();
    // Grey background at the corner, the lighter disc in the middle, no squares yet.
    // (At 4:3 the disc, twice the half-height across, covers every corner.)
    EXPECT_NEAR(brightness(first.at(320, 240)), 127, 4);
    EXPECT_GT(brightness(first.at(320, 240)), brightness(first.at(2, 2)) + 30);
    EXPECT_GT(brightness(first.at(2, 2)), 64);
    EXPECT_NEAR(brightness(first.at(560, 240)), brightness(first.at(560, 250)), 6);
    for (int i = 0; i < 5; ++i) {
        clock.advance(0.01);
        loading_spinner();
    }
    EXPECT_EQ(frames.size(), 1u);
    EXPECT_EQ(loading_spinner_calls(), calls + 6);
    clock.advance(0.6);
    loading_spinner();
    ASSERT_EQ(frames.size(), 2u);
    const uint32_t n = loading_spinner_calls();
    uint32_t read = 0;
    for (int j = 0; j < 32; ++j) {
        const int b = brightness(frames.back().at(560 - 15 * j, 240));
        EXPECT_TRUE(b > 180) << "square " << j << " brightness " << b;
        if (b > 207)
            read |= 1u << j;
    }
    EXPECT_EQ(read, n);
    save_frame("spinner", frames.back().w, frames.back().h, frames.back().rgb());
}

TEST_F(ProgressScreen, TheTitleFrameShowsThePictureTheMessageAndTheBuild)
{
    FakeClock clock(600000);
    progress_log_reset("Loading terrain");
    ASSERT_EQ(frames.size(), 1u);
    const Frame& f = frames.back();
    save_frame("title_loading_terrain", f.w, f.h, f.rgb());

    uint8_t* picture = nullptr;
    int pw = 0, ph = 0;
    ASSERT_TRUE(image_load_rgba("@title.png", &picture, &pw, &ph));
    // At 4:3 the 2:1 picture fills the height and spills over the sides.
    for (auto [x, y] : {std::pair{320, 240}, {100, 300}, {500, 150}, {320, 400}}) {
        const double u = (x - 320) / 480.0 * 0.5 + 0.5, v = y / 480.0;
        const uint8_t* p = picture + (size_t(v * ph) * size_t(pw) + size_t(u * pw)) * 4;
        const Rgba got = f.at(x, y);
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(got[c], p[c], 40) << "at " << x << "," << y;
    }
    free(picture);

    // White text on the top line, grey build text at the bottom right.
    int white = 0, grey = 0;
    for (int y = 0; y < 19; ++y)
        for (int x = 0; x < 200; ++x)
            white += brightness(f.at(x, y)) > 225;
    for (int y = 452; y < 480; ++y)
        for (int x = 400; x < 640; ++x) {
            const Rgba p = f.at(x, y);
            grey += std::max({p[0], p[1], p[2]}) - std::min({p[0], p[1], p[2]}) < 16 && brightness(p) > 140;
        }
    EXPECT_GT(white, 20);
    EXPECT_GT(grey, 5);   // thin grey strokes over the brown ground
}

}  // namespace
}  // namespace fronttest
