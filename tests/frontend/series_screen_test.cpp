// The points-series standings over a synthetic series record, drawn for real on Mesa
// (desktop core and ES 3) with every text recorded.
#include "frontend/menu.h"
#include "frontend/series_screen.h"
#include "frontend/settings.h"
#include "frontend_env.h"
#include "gfx/gl_layer.h"
#include "gfx/gl_state.h"
#include "gl_window.h"
#include "platform/qorl_gl.h"
#include "race/program/projection.h"
#include "race/series.h"
#include "text_record.h"

#include <array>
#include <cstring>
#include <memory>

namespace fronttest {
namespace {

// Two opponents (numbers 12 and 7) and the player. Rounds of one moto scored 25, 20,
// 16 by round place; `motos` events per round, each round ending in the scored one.
struct SyntheticSeries {
    std::vector<series_event> events;
    series s{};
    SyntheticSeries(int rounds, int motos)
    {
        for (int r = 0; r < rounds; ++r)
            for (int m = 0; m < motos; ++m) {
                series_event e{};
                e.name = "Event";
                if (m == motos - 1) {
                    e.round_points[0] = 25;
                    e.round_points[1] = 20;
                    e.round_points[2] = 16;
                }
                events.push_back(e);
            }
        s.title = "Synthetic";
        s.event_count = int32_t(events.size());
        s.events = events.data();
        s.opponent_count = 2;
        s.opponents[0] = 12;
        s.opponents[1] = 7;
    }
    // Moto places of an event (riders 0, 1, player) and, on a scored one, its ranking.
    void run(int k, std::array<int, 3> places, std::array<int, 3> ranking = {-1, -1, -1})
    {
        for (int r = 0; r < 3; ++r) {
            events[size_t(k)].places[r] = places[size_t(r)];
            events[size_t(k)].round_ranking[r] = ranking[size_t(r)];
        }
        s.completed = k + 1;
    }
};

class SeriesScreen : public GlWindowTest {
protected:
    void SetUp() override
    {
        GlWindowTest::SetUp();
        settings_reset_static();
        saved_table = series_table;
        array_init(&series_table, sizeof(series));
        std::strcpy(rider_number_field.buffer, "999");
    }
    void TearDown() override
    {
        array_free(&series_table);
        series_table = saved_table;
        GlWindowTest::TearDown();
    }
    // Draws the screen of `s` (selected in the list) and records its texts.
    void draw(const series& s, const char* png = nullptr)
    {
        array_free(&series_table);
        array_init(&series_table, sizeof(series));
        array_push(&series_table, &s);
        choose_page.selected = 0;
        menu_screen = screen_series_standings;
        menu_item = 0;
        texts = std::make_unique<TextRecord>();
        const Frame f = draw_over_grey(series_standings_draw);
        ASSERT_GT(f.w, 0);
        frame = f;
        texts_drawn = texts->texts;
        texts.reset();
        if (png)
            save_frame(png, f.w, f.h, f.rgb());
    }
    bool drawn(const std::string& t) const
    {
        for (const DrawnText& d : texts_drawn)
            if (d.text == t)
                return true;
        return false;
    }
    const DrawnText* first(const std::string& t) const
    {
        for (const DrawnText& d : texts_drawn)
            if (d.text == t)
                return &d;
        return nullptr;
    }
    growable_array saved_table{};
    std::unique_ptr<TextRecord> texts;
    std::vector<DrawnText> texts_drawn;
    Frame frame;
};

TEST_F(SeriesScreen, TenRoundsInTwoGroupsAndTheFinalStandings)
{
    SyntheticSeries x(10, 1);
    for (int k = 0; k < 10; ++k)
        x.run(k, {0, 1, 2}, {0, 1, 2});
    for (const bool es : {false, true}) {
        SCOPED_TRACE(es ? "ES 3" : "desktop core");
        open(640, 480, es);
        if (!window)
            return;
        EXPECT_EQ(gl_state.gl_es, es ? 1 : 0);
        draw(x.s, es ? "series_standings_final_es" : "series_standings_final");
        EXPECT_TRUE(drawn("Synthetic Final Standings"));
        // The heading's band spans the table's width and stops short of the window's
        // right edge, where the row shows the backdrop as the corner above it does.
        const DrawnText* heading = first("Synthetic Final Standings");
        ASSERT_TRUE(heading);
        const float h = projection_half_height;
        const int row = int((1 - (heading->origin[1] + h / 32) / h) / 2 * float(frame.h));
        EXPECT_EQ(frame.at(frame.w - 3, row), frame.at(frame.w - 3, 3)) << "row " << row;
        EXPECT_NE(frame.at(frame.w / 2 - 60, row), frame.at(frame.w / 2 - 60, 3)) << "row " << row;
        // Rounds 1-8, then 9-10 in the second group's first two columns.
        for (int r = 1; r <= 10; ++r)
            EXPECT_TRUE(drawn("Rd " + std::to_string(r))) << r;
        const DrawnText* rd1 = first("Rd 1");
        const DrawnText* rd9 = first("Rd 9");
        ASSERT_TRUE(rd1 && rd9);
        EXPECT_LT(rd9->origin[1], rd1->origin[1]);
        EXPECT_NEAR(rd9->origin[0], rd1->origin[0], 0.05f * projection_half_height);
        int heads = 0;
        for (const DrawnText& d : texts_drawn)
            heads += d.text == "No.";
        EXPECT_EQ(heads, 2);
        // 10 rounds of 25 for rider 12, 200 for 7, 160 for the player.
        EXPECT_TRUE(drawn("250"));
        EXPECT_TRUE(drawn("200"));
        EXPECT_TRUE(drawn("160"));
        EXPECT_TRUE(drawn("25 (1)"));
        const DrawnText* player = first("999");
        ASSERT_TRUE(player);
        EXPECT_EQ(player->colour, (std::array<float, 4>{0.75f, 0.75f, 1, 1}));
        EXPECT_EQ(first("12")->colour, (std::array<float, 4>{1, 1, 1, 1}));
        // The four buttons.
        for (const char* b : {"Back to Points Series List", "Enter Next Event", "Practice Next Event", "Reset Points"})
            EXPECT_TRUE(drawn(b)) << b;
    }
}

TEST_F(SeriesScreen, OrderByPointsThenTheLowerTieValue)
{
    SyntheticSeries x(2, 1);
    // Round 1: the player wins, 12 second, 7 third; round 2: 7 wins, 12 second, the
    // player third. 7 and the player end on 41, 12 on 40.
    x.run(0, {1, 2, 0}, {1, 2, 0});
    x.run(1, {1, 0, 2}, {1, 0, 2});
    const std::vector<series_standing> order = series_standings_order(x.s);
    ASSERT_EQ(order.size(), 3u);
    // 7 and the player tie on 41; 7 placed 0 in the latest round, the player 2.
    EXPECT_EQ(order[0].rider, 1);
    EXPECT_EQ(order[0].points, 41);
    EXPECT_EQ(order[1].rider, 2);
    EXPECT_EQ(order[2].rider, 0);
    EXPECT_EQ(order[2].points, 40);
    if (!window)
        return;
    draw(x.s);
    const DrawnText* seven = first("7");
    const DrawnText* player = first("999");
    const DrawnText* twelve = first("12");
    ASSERT_TRUE(seven && player && twelve);
    EXPECT_GT(seven->origin[1], player->origin[1]);
    EXPECT_GT(player->origin[1], twelve->origin[1]);
    EXPECT_FALSE(drawn("Next Event: Event"));   // every event run
}

TEST_F(SeriesScreen, CellsByMotoCount)
{
    for (int motos = 1; motos <= 3; ++motos) {
        SyntheticSeries x(2, motos);
        for (int k = 0; k < motos; ++k)
            x.run(k, {0, 1, 2}, k == motos - 1 ? std::array<int, 3>{0, 1, 2} : std::array<int, 3>{-1, -1, -1});
        if (!window)
            return;
        draw(x.s, motos == 3 ? "series_standings_three_motos" : nullptr);
        const char* want[] = {"25 (1)", "25 (1-1)", "25 (1-1-1)"};
        EXPECT_TRUE(drawn(want[motos - 1])) << motos;
        EXPECT_TRUE(drawn("Next Event: Event")) << motos;
    }
    // A two-moto round with only its first moto run.
    SyntheticSeries half(2, 2);
    half.run(0, {2, 0, 1});
    draw(half.s);
    EXPECT_TRUE(drawn("- (3-)"));
    EXPECT_TRUE(drawn("- (2-)"));
    EXPECT_TRUE(drawn("0"));
}

}  // namespace
}  // namespace fronttest
