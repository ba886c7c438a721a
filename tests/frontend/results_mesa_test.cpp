// The results table drawn for real at 800 x 600 over mid grey: the followed rider's
// row in white and every other row in grey, a band under every second row, and the
// unofficial table with only the finished riders. The picture goes to
// "<build>/frontend_frames/".
#include "foundation/front_door.h"
#include "frontend/hud.h"
#include "frontend/message_line.h"
#include "frontend/results_screen.h"
#include "frontend_env.h"
#include "gfx/gl_layer.h"
#include "gl_window.h"
#include "hud_rider_table.h"
#include "platform/qorl_gl.h"
#include "race/program/projection.h"
#include "race/race_state.h"
#include "race/program/settings_values.h"
#include "sim/race_clock.h"
#include "terrain/timing_gates.h"
#include "text_record.h"

namespace fronttest {
namespace {

class ResultsOnMesa : public GlWindowTest {
protected:
    void SetUp() override
    {
        GlWindowTest::SetUp();
        open(800, 600);
        saved_view = results_riders;
        saved_plain = plain_values;
        results_riders = hud_rider_view;
        plain_values.draw_fps = plain_values.draw_time = plain_values.draw_ping = plain_values.draw_speed = 0;
        hud_riders.clear();
        timing_gates.firstlap_length = 10;
        timing_gates.normallap_length = 10;
        race.gate_drop_tick = 1000;
        // Four riders over 2 laps; the last has not finished.
        const char* numbers[4] = {"12", "5", "77", "31"};
        for (int32_t i = 0; i < 4; ++i) {
            HudRider& r = hud_riders[i];
            r.number = numbers[i];
            r.finished = i < 3;
            r.positions = i < 3 ? 20 : 14;
            r.gates[r.positions - 1] = 9000 + 200 * i;
            running_order.rows[i] = {i, r.positions, 9000 + 200 * i};
        }
        running_order.count = 4;
    }
    void TearDown() override
    {
        results_riders = saved_view;
        plain_values = saved_plain;
        hud_riders.clear();
        running_order.count = final_order.count = 0;
        race.results_written = 0;
        timing_gates.firstlap_length = timing_gates.normallap_length = 0;
        GlWindowTest::TearDown();
    }
    Frame draw(int32_t followed)
    {
        return draw_over_grey([&] { results_draw(followed); });
    }
    // The brightest pixel of the line whose text has its origin at plane point (x, y):
    // one line of 50 across the table's 19 units.
    static int brightest(const Frame& f, float y)
    {
        const float h = projection_half_height;
        const int top = int((1 - y / h) / 2 * float(f.h)) - f.h / 50;
        int best = 0;
        for (int py = std::max(top, 0); py < top + f.h / 50 && py < f.h; ++py)
            for (int px = 0; px < int(19.5f * float(f.h) / 50); ++px) {
                const Rgba c = f.at(px, py);
                best = std::max(best, std::min({c[0], c[1], c[2]}));
            }
        return best;
    }
    results_rider_view saved_view{};
    plain_settings saved_plain{};
};

TEST_F(ResultsOnMesa, FollowedRowWhiteOthersGreyAndBands)
{
    if (!window)
        return;
    final_order = running_order;
    race.results_written = 1;
    TextRecord texts;
    const Frame f = draw(1);
    save_frame("results_final_800", f.w, f.h, f.rgb());
    ASSERT_TRUE(texts.has("Final Results"));
    for (const char* head : {"Pos.", "No.", "Lap", "Gap", "Best Time", "BLap"})
        EXPECT_TRUE(texts.has(head)) << head;
    const char* numbers[4] = {" 12", "  5", " 77", " 31"};
    for (int i = 0; i < 4; ++i) {
        const DrawnText* number = texts.find(numbers[i]);
        ASSERT_TRUE(number) << numbers[i];
        EXPECT_EQ(number->colour[0], i == 1 ? 1.0f : 0.75f) << i;
        // The glyphs' filtered edges keep the brightest pixel a little under the colour.
        const int got = brightest(f, number->origin[1]);
        if (i == 1) {
            EXPECT_GE(got, 235) << "row " << i;
        } else {
            EXPECT_GE(got, 178) << "row " << i;
            EXPECT_LE(got, 191) << "row " << i;
        }
    }
    // Bands under the 2nd and 4th rows: left of the place numbers the grey is lighter
    // there than under the 1st and 3rd.
    auto left_of = [&](int row) {
        const float y = texts.find(numbers[row])->origin[1];
        const float h = projection_half_height;
        return f.at(int(0.4f * float(f.h) / 50), int((1 - y / h) / 2 * float(f.h)) - f.h / 100)[0];
    };
    EXPECT_GT(left_of(1), left_of(0) + 20);
    EXPECT_GT(left_of(3), left_of(2) + 20);
    EXPECT_TRUE(texts.has("Total Race Time: 1:02.500"));
}

TEST_F(ResultsOnMesa, UnofficialShowsOnlyTheFinished)
{
    if (!window)
        return;
    TextRecord texts;
    const Frame f = draw(0);
    save_frame("results_unofficial_800", f.w, f.h, f.rgb());
    EXPECT_TRUE(texts.has("Unofficial Results"));
    EXPECT_TRUE(texts.has(" 77"));
    EXPECT_FALSE(texts.has(" 31"));
    EXPECT_FALSE(texts.has("Final Results"));
    // The overlay goes right of the table: a message line starts at x 19.5 + 0.25.
    EXPECT_FALSE(texts.has("Total Race Time: 1:02.500"));
}

// The trackside view draws the running-order ticker across the top: the message lines
// of the overlay come below it there, and at the top elsewhere.
TEST_F(ResultsOnMesa, MessageLinesBelowTheTracksideTicker)
{
    if (!window)
        return;
    message_log_clear();
    message_log.hide_spam = 0;
    message_lines = 5;
    console_print("Holeshot to 12");
    // The window fraction from the top to the top of the text line drawn at plane y, in
    // the projection of the frame just drawn.
    auto top_of = [](const DrawnText* t) {
        const float h = projection_half_height;
        return (h - (t->origin[1] + 2 * h / 50)) / (2 * h);
    };
    {
        TextRecord texts;
        const Frame f = draw_over_grey([] {
            hud_draw_running_order();
            results_draw(0);
        });
        save_frame("ticker_and_messages_800", f.w, f.h, f.rgb());
        const DrawnText* line = texts.find("Holeshot to 12");
        ASSERT_TRUE(line);
        EXPECT_GE(top_of(line), hud_ticker_depth);
    }
    {
        TextRecord texts;
        draw(0);
        const DrawnText* line = texts.find("Holeshot to 12");
        ASSERT_TRUE(line);
        EXPECT_NEAR(top_of(line), 0, 1e-4);
    }
    message_log_clear();
}

}  // namespace
}  // namespace fronttest
