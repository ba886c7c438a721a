// The HUD drawn for real on Mesa at 640 x 480 and 1280 x 720 (fov 110) over a table of
// riders: the needle and the gear cell, the map with its dots, the lean arc, the
// suspension graph across the batch's flushes, the banner and the ticker. Pictures
// go to "<build>/frontend_frames/".
#include "frontend/hud.h"
#include "frontend/menu.h"
#include "frontend/settings.h"
#include "frontend/title_screen.h"
#include "frontend_env.h"
#include "gfx/gl_layer.h"
#include "gfx/gl_state.h"
#include "gfx/shaders.h"
#include "gl_window.h"
#include "hud_rider_table.h"
#include "platform/qorl_gl.h"
#include "race/game_tick.h"
#include "race/program/hud_pictures.h"
#include "race/program/main_loop.h"
#include "race/net/net_connection.h"
#include "race/program/projection.h"
#include "race/race_state.h"
#include "race/program/run_clock.h"
#include "race/series.h"
#include "race/program/settings_values.h"
#include "sim/race_clock.h"
#include "terrain/timing_gates.h"
#include "terrain/track_list.h"
#include "text_record.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <set>

namespace fronttest {
namespace {

constexpr int kSizes[2][2] = {{640, 480}, {1280, 720}};
constexpr Rgba kBackground = {128, 128, 128, 255};

bool near(const Rgba& got, const Rgba& want, int tolerance = 3)
{
    for (int i = 0; i < 3; ++i)
        if (std::abs(got[size_t(i)] - want[size_t(i)]) > tolerance)
            return false;
    return true;
}

std::string show(const Rgba& c)
{
    return std::to_string(c[0]) + "," + std::to_string(c[1]) + "," + std::to_string(c[2]);
}

class HudOnMesa : public GlWindowTest {
protected:
    void SetUp() override
    {
        GlWindowTest::SetUp();
        saved_view = results_riders;
        saved_plain = plain_values;
        saved_setup = setup;
        results_riders = hud_rider_view;
        hud_riders.clear();
        running_order.count = final_order.count = 0;
        race.results_written = 0;
        current_tick = 100000;   // long after the banner
        setup.lean_indicator = 0;
        race.map_texture = 0;
        suspension_graph.on = 0;
    }
    void TearDown() override
    {
        results_riders = saved_view;
        plain_values = saved_plain;
        setup = saved_setup;
        hud_riders.clear();
        running_order.count = 0;
        race.map_texture = 0;
        suspension_graph = {};
        track_terrain.world_size = 0;
        current_tick = 0;
        if (map_texture)
            bvglDeleteTextures(1, &map_texture);
        GlWindowTest::TearDown();
    }
    // One frame over mid grey: `before` runs first inside it, then the HUD of slot.
    Frame draw(int32_t slot, const std::function<void()>& before = nullptr)
    {
        return draw_over_grey([&] {
            if (before)
                before();
            hud_draw(slot);
        });
    }
    // The pixel of a point of the plane at depth -1.
    static std::pair<int, int> pixel_of(const Frame& f, float x, float y)
    {
        const float w = projection_half_width, h = projection_half_height;
        return {int((x / w + 1) / 2 * float(f.w)), int((1 - y / h) / 2 * float(f.h))};
    }
    static Rgba at_point(const Frame& f, float x, float y)
    {
        const auto [px, py] = pixel_of(f, x, y);
        return f.at(px, py);
    }
    // Some pixel within `reach` rows of (x, y) has the colour.
    static bool column_has(const Frame& f, float x, float y, const Rgba& want, int reach = 2)
    {
        const auto [px, py] = pixel_of(f, x, y);
        for (int dy = -reach; dy <= reach; ++dy)
            if (py + dy >= 0 && py + dy < f.h && near(f.at(px, py + dy), want, 8))
                return true;
        return false;
    }
    void plain_map()
    {
        const std::vector<uint8_t> blue(16 * 4, 0);
        std::vector<uint8_t> bytes = blue;
        for (size_t i = 0; i < bytes.size(); i += 4) {
            bytes[i + 2] = 200;
            bytes[i + 3] = 255;
        }
        bvglGenTextures(1, &map_texture);
        bvglBindTexture(GL_TEXTURE_2D, map_texture);
        bvglTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        bvglTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        bvglTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 4, 4, 0, GL_RGBA, GL_UNSIGNED_BYTE, bytes.data());
        bvglBindTexture(GL_TEXTURE_2D, 0);
        race.map_texture = map_texture;
    }
    results_rider_view saved_view{};
    plain_settings saved_plain{};
    setup_values saved_setup{};
    GLuint map_texture = 0;
};

TEST_F(HudOnMesa, NeedleAtZeroMiddleAndFullScale)
{
    for (const auto& size : kSizes)
        for (const bool es : {false, true}) {
            open(size[0], size[1], es);
            if (!window)
                return;
            const struct {
                float rpm, degrees;
            } cases[] = {{0, -135}, {8000, 0}, {16000, 135}};
            for (const auto& c : cases) {
                hud_riders[0].rpm = c.rpm;
                const Frame f = draw(0);
                const float h = projection_half_height, w = projection_half_width, s = 0.23340251f * h;
                const float a = c.degrees * float(M_PI) / 180;
                // Half the dial's radius along the angle, clockwise from straight up.
                const Rgba got = at_point(f, w - s + 0.5f * s * std::sin(a), -h + s + 0.5f * s * std::cos(a));
                EXPECT_TRUE(near(got, {191, 0, 0, 255})) << size[0] << " rpm " << c.rpm << ": " << show(got);
                if (c.rpm == 16000)
                    save_frame("hud_needle_" + std::to_string(size[0]) + (es ? "_es" : ""), f.w, f.h, f.rgb());
            }
        }
}

TEST_F(HudOnMesa, PitboardTextsRaceAndTimeTrial)
{
    if (!window)
        return;
    hud_riders[0].number = "999";
    running_order.count = 1;
    running_order.rows[0] = {0, 3, 500};
    {
        TextRecord texts;
        draw(0);
        ASSERT_TRUE(texts.has("999"));
        EXPECT_TRUE(texts.has("L1 P1"));
        EXPECT_TRUE(texts.has("+0.0 "));
        EXPECT_EQ(texts.find("999")->colour, (std::array<float, 4>{0, 0, 0, 1}));
        // The number above the position line, both on the board at the bottom left.
        EXPECT_GT(texts.find("999")->origin[1], texts.find("L1 P1")->origin[1]);
        EXPECT_LT(texts.find("999")->origin[0], 0);
        EXPECT_LT(texts.find("999")->origin[1], 0);
    }
    // A time trial: the position alone and the times of the time-trial record (ticks).
    race.time_trial_active = 1;
    time_trial.last_lap = 61 * 128;
    time_trial.best_lap = 60 * 128 + 70;
    {
        TextRecord texts;
        draw(0);
        EXPECT_TRUE(texts.has("P1"));
        EXPECT_FALSE(texts.has("L1 P1"));
        EXPECT_TRUE(texts.has("Last - 1:01.0 "));
        EXPECT_TRUE(texts.has("Best - 1:00.5"));
    }
    race.time_trial_active = 0;
    time_trial = {};
}

// Each gear shows its own cell of the shifter picture: the dial's centre square is
// nearest to that cell of the picture drawn whole. A tall window makes the cell large
// enough to tell the digits apart.
TEST_F(HudOnMesa, GearCells)
{
    open(1200, 1200);
    if (!window)
        return;
    // The picture whole over the window: cell (i, j) at columns i/3, rows j/3 from the top.
    const Frame whole = draw_over_grey([] {
        bvglLoadIdentity();
        bvglTranslatef(0, 0, -1);
        hud_textured_quad(hud_pictures.shifter, -projection_half_width, projection_half_height,
                          projection_half_width, -projection_half_height);
    });
    ASSERT_GT(whole.w, 0);
    // The mean colours of 4 x 4 blocks over the middle 80% of a square, every pixel
    // counted: the small HUD cell and the large picture compare alike.
    auto patch = [](const Frame& f, float x0, float y0, float side_x, float side_y) {
        std::vector<std::array<double, 3>> blocks;
        for (int bj = 0; bj < 4; ++bj)
            for (int bi = 0; bi < 4; ++bi) {
                std::array<double, 3> sum{};
                int n = 0;
                const int xa = int(x0 + side_x * (0.1f + 0.2f * float(bi))), xb = int(x0 + side_x * (0.3f + 0.2f * float(bi)));
                const int ya = int(y0 + side_y * (0.1f + 0.2f * float(bj))), yb = int(y0 + side_y * (0.3f + 0.2f * float(bj)));
                for (int y = ya; y < yb; ++y)
                    for (int x = xa; x < xb; ++x, ++n)
                        for (size_t k = 0; k < 3; ++k)
                            sum[k] += f.at(x, y)[k];
                for (double& v : sum)
                    v /= std::max(n, 1);
                blocks.push_back(sum);
            }
        return blocks;
    };
    std::array<std::vector<std::array<double, 3>>, 9> cells;
    for (int cell = 0; cell < 9; ++cell)
        cells[size_t(cell)] = patch(whole, float(cell % 3) * float(whole.w) / 3, float(cell / 3) * float(whole.h) / 3,
                                    float(whole.w) / 3, float(whole.h) / 3);
    for (int g = 0; g < 6; ++g) {
        hud_riders[0].gear = g;
        const Frame f = draw(0);
        const float h = projection_half_height, w = projection_half_width, s = 0.23340251f * h;
        const auto [x0, y0] = pixel_of(f, w - s - s / 3, -h + s + s / 3);
        const auto [x1, y1] = pixel_of(f, w - s + s / 3, -h + s - s / 3);
        const auto got = patch(f, float(x0), float(y0), float(x1 - x0), float(y1 - y0));
        int best = -1;
        double best_distance = 1e30;
        for (int cell = 0; cell < 9; ++cell) {
            double d = 0;
            for (size_t n = 0; n < got.size(); ++n)
                for (size_t k = 0; k < 3; ++k)
                    d += std::pow(got[n][k] - cells[size_t(cell)][n][k], 2);
            if (d < best_distance) {
                best_distance = d;
                best = cell;
            }
        }
        std::string table;
        for (int cell = 0; cell < 9; ++cell) {
            double d = 0;
            for (size_t n = 0; n < got.size(); ++n)
                for (size_t k = 0; k < 3; ++k)
                    d += std::pow(got[n][k] - cells[size_t(cell)][n][k], 2);
            table += " " + std::to_string(int(d));
        }
        EXPECT_EQ(best, g) << "gear index " << g << table;
    }
}

TEST_F(HudOnMesa, MapDotsLeaderFinishedHiddenAndTheArrow)
{
    for (const auto& size : kSizes) {
        open(size[0], size[1], size[0] == 1280);   // the larger on ES 3
        if (!window)
            return;
        plain_map();
        track_terrain.world_size = 1000;
        hud_riders[0].position[0] = 500, hud_riders[0].position[2] = 500;   // followed
        hud_riders[1].position[0] = 250, hud_riders[1].position[2] = 250;   // leader
        hud_riders[2].position[0] = 750, hud_riders[2].position[2] = 250;
        hud_riders[3].position[0] = 250, hud_riders[3].position[2] = 750;   // finished
        hud_riders[3].finished = 1;
        hud_riders[4].position[0] = 750, hud_riders[4].position[2] = 750;   // not in the order
        hud_riders[5].position[0] = 600, hud_riders[5].position[2] = 850;   // hidden
        hud_riders[5].hidden = 1;
        running_order.count = 4;
        running_order.rows[0] = {1, 5, 100};
        running_order.rows[1] = {2, 4, 100};
        running_order.rows[2] = {3, 3, 100};
        running_order.rows[3] = {0, 2, 100};
        for (const float scale : {1.0f, 2.0f}) {
            plain_values.map_scale = scale;
            const Frame f = draw(0);
            const float side = 0.23340251f * float(f.h) * scale;
            auto dot = [&](float x, float z) {
                return f.at(int(float(f.w) - side + x / 1000 * side), int(z / 1000 * side));
            };
            const std::string where = std::to_string(size[0]) + " scale " + std::to_string(scale);
            EXPECT_TRUE(near(dot(500, 500), {255, 255, 255, 255})) << where << " arrow " << show(dot(500, 500));
            EXPECT_TRUE(near(dot(250, 250), {0, 255, 0, 255})) << where << " leader " << show(dot(250, 250));
            EXPECT_TRUE(near(dot(750, 250), {255, 255, 255, 255})) << where;
            EXPECT_TRUE(near(dot(250, 750), {64, 64, 64, 255})) << where << " finished " << show(dot(250, 750));
            EXPECT_TRUE(near(dot(750, 750), {0, 0, 0, 255})) << where << " dot " << show(dot(750, 750));
            EXPECT_TRUE(near(dot(600, 850), {0, 0, 200, 255})) << where << " hidden " << show(dot(600, 850));
            // The square's own extent: its left edge moves with the scale.
            const Rgba left = f.at(int(float(f.w) - 1.5f * 0.23340251f * float(f.h)), 5);
            EXPECT_TRUE(near(left, scale == 2 ? Rgba{0, 0, 200, 255} : kBackground)) << where << show(left);
            if (scale == 2)
                save_frame("hud_map_" + std::to_string(size[0]), f.w, f.h, f.rgb());
        }
        // No map picture: nothing at the top right, not even the dots.
        bvglDeleteTextures(1, &map_texture);
        map_texture = 0;
        race.map_texture = 0;
        plain_values.map_scale = 1;
        const Frame f = draw(0);
        const float side = 0.23340251f * float(f.h);
        EXPECT_TRUE(near(f.at(int(float(f.w) - side / 2), int(side / 2)), kBackground));
        EXPECT_TRUE(near(f.at(int(float(f.w) - side / 4), int(side * 3 / 4)), kBackground));
    }
}

// The followed rider's arrow points along its heading: up the map when it rides
// towards z = 0, right when it rides towards +x. A tall window makes it large.
TEST_F(HudOnMesa, ArrowAlongTheHeading)
{
    open(1200, 1200);
    if (!window)
        return;
    plain_map();
    track_terrain.world_size = 1000;
    HudRider& r = hud_riders[0];
    r.position[0] = r.position[2] = 500;
    const float side = 0.23340251f * 1200, m = (0.0234375f + 0.01171875f) * side;
    const int cx = int(1200 - side + side / 2), cz = int(side / 2);
    const Rgba blue = {0, 0, 200, 255};
    Frame f = draw(0);   // facing -z: the body's backward axis is +z
    EXPECT_FALSE(near(f.at(cx, int(float(cz) - 0.6f * m)), blue)) << "no tip above";
    EXPECT_TRUE(near(f.at(int(float(cx) + 0.8f * m), cz), blue)) << "something to the right";
    const float right[9] = {0, 0, -1, 0, 1, 0, 1, 0, 0};   // backward axis -x
    std::copy(right, right + 9, r.rotation);
    f = draw(0);
    save_frame("hud_arrow_right", f.w, f.h, f.rgb());
    EXPECT_TRUE(near(f.at(cx, int(float(cz) - 0.8f * m)), blue)) << "something above";
    EXPECT_FALSE(near(f.at(int(float(cx) + 0.6f * m), cz), blue)) << "no tip to the right";
}

TEST_F(HudOnMesa, LeanArcDarkThenRedAndOff)
{
    if (!window)
        return;
    terrain_init(&track_terrain);
    ASSERT_EQ(terrain_alloc(&track_terrain, 2, 2, 0, 0), 1);
    std::fill(track_terrain.heights, track_terrain.heights + track_terrain.size * track_terrain.size, 0.0f);
    hud_riders[0].position[0] = hud_riders[0].position[2] = 4;
    struct Case {
        float degrees;
        int indicator;
    };
    for (const Case c : {Case{30, 1}, Case{40, 1}, Case{40, 0}, Case{-40, 1}}) {
        setup.lean_indicator = c.indicator;
        lean_rotation(c.degrees, hud_riders[0].rotation);
        const Frame f = draw(0);
        // Three quarters out along the middle of the arc, on the side the rider leans
        // away from: left for a lean to the right.
        const float L = 0.93361005f * projection_half_height;
        const float a = (c.degrees > 0 ? -75.0f : 75.0f) * float(M_PI) / 180;
        const Rgba got = at_point(f, 0.75f * L * std::sin(a), 0.75f * L * std::cos(a));
        const std::string what = std::to_string(c.degrees) + (c.indicator ? "" : " off") + ": " + show(got);
        if (!c.indicator) {
            EXPECT_TRUE(near(got, kBackground, 1)) << what;
        } else if (std::fabs(c.degrees) < 36) {
            EXPECT_EQ(got[0], got[1]) << what;
            EXPECT_EQ(got[1], got[2]) << what;
            EXPECT_LT(got[0], 124) << what;
        } else {
            EXPECT_GT(got[0], got[1] + 10) << what;
            EXPECT_EQ(got[1], got[2]) << what;
        }
        if (c.degrees == 40 && c.indicator)
            save_frame("hud_lean_40", f.w, f.h, f.rgb());
    }
    terrain_free(&track_terrain);
    terrain_init(&track_terrain);
}

TEST_F(HudOnMesa, SuspensionGraphStripsAcrossBatchFlushesAndItsLabels)
{
    if (!window)
        return;
    hud_riders[0];
    suspension_graph_state& g = suspension_graph;
    g.on = 1;
    g.index = 100;   // the oldest entry
    for (int i = 0; i < kGraphLength; ++i) {
        const int k = (g.index + i) % kGraphLength;
        const bool first_half = i < kGraphLength / 2;
        g.fork_position[k] = first_half ? 0.5f : -0.5f;
        g.fork_speed[k] = first_half ? -0.75f : 0.75f;   // drawn at minus the speed
        g.fork_ratio[k] = 0;
        g.shock_position[k] = first_half ? 0.5f : -0.5f;
        g.shock_speed[k] = 1;
        g.shock_ratio[k] = 1;
    }
    // 7000 vertices wait in the batch already: the strips cross its flush at 8192.
    const Frame f = draw(0, [] {
        gl_use_shader(shader_unlit);
        bvglBegin(GL_LINES);
        for (int i = 0; i < 7000; ++i)
            bvglVertex3f(1000, 1000, -1);
        bvglEnd();
    });
    save_frame("hud_suspension_graph", f.w, f.h, f.rgb());
    const float w = projection_half_width, h = projection_half_height, s = 0.23340251f * h;
    auto fork = [&](float fx, float fy) { return std::pair{w + s * (-4 + fx), -h + s * (1 + fy)}; };
    auto shock = [&](float fx, float fy) { return std::pair{w + s * (-7 + fx), -h + s * (1 + fy)}; };
    const Rgba white = {255, 255, 255, 255}, green = {0, 255, 0, 255}, red = {255, 0, 0, 255};
    for (const float fx : {-0.95f, -0.3f}) {
        auto [x, y] = fork(fx, 0.5f);
        EXPECT_TRUE(column_has(f, x, y, white)) << "fork position at " << fx;
        std::tie(x, y) = fork(fx, 0.75f);
        EXPECT_TRUE(column_has(f, x, y, green)) << "fork speed at " << fx;
        std::tie(x, y) = shock(fx, 0.5f);
        EXPECT_TRUE(column_has(f, x, y, white)) << "shock position at " << fx;
    }
    for (const float fx : {0.3f, 0.97f}) {
        auto [x, y] = fork(fx, -0.5f);
        EXPECT_TRUE(column_has(f, x, y, white)) << "fork position at " << fx;
        std::tie(x, y) = fork(fx, -0.75f);
        EXPECT_TRUE(column_has(f, x, y, green)) << "fork speed at " << fx;
        std::tie(x, y) = shock(fx, -0.5f);
        EXPECT_TRUE(column_has(f, x, y, white)) << "shock position at " << fx;
        std::tie(x, y) = shock(fx, -0.25f);
        EXPECT_TRUE(column_has(f, x, y, red)) << "shock speed at " << fx;
    }
    TextRecord texts;
    draw(0);
    const struct {
        const char* text;
        std::array<float, 4> colour;
    } labels[] = {{" Fork Position", {1, 1, 1, 1}},      {" Fork Speed (High)", {0, 1, 0, 1}},
                  {" Fork Speed (Low)", {1, 0, 0, 1}},   {" Swingarm Position", {1, 1, 1, 1}},
                  {" Shock Speed (High)", {0, 1, 0, 1}}, {" Shock Speed (Low)", {1, 0, 0, 1}}};
    for (const auto& l : labels) {
        const DrawnText* t = texts.find(l.text);
        ASSERT_TRUE(t) << l.text;
        EXPECT_EQ(t->colour, l.colour) << l.text;
    }
    // The shock's labels 3 graph widths right of the fork's, three lines higher.
    EXPECT_GT(texts.find(" Swingarm Position")->origin[0], texts.find(" Fork Position")->origin[0]);
}

TEST_F(HudOnMesa, BannerByTrackSeriesAndFade)
{
    if (!window)
        return;
    race.laps = 5;
    race.time_limit_ticks = 0;
    char title[] = "Sample Valley";
    char* saved_title = track_title;
    track_title = title;
    current_tick = 128 * 5 / 2;   // 2.5 s: alpha 0.5
    {
        TextRecord texts;
        draw(-1);   // no rider: only the map and the banner
        ASSERT_TRUE(texts.has("Sample Valley"));
        ASSERT_TRUE(texts.has("5 laps"));
        EXPECT_FLOAT_EQ(texts.find("5 laps")->colour[3], 0.5f);
        EXPECT_GT(texts.find("Sample Valley")->origin[1], texts.find("5 laps")->origin[1]);
        EXPECT_EQ(texts.texts.size(), 2u);
    }
    // In a points series, the event's name alone.
    series_event event{};
    event.name = "Round 3 Moto 1";
    series s{};
    s.title = "Summer";
    s.event_count = 1;
    s.events = &event;
    growable_array saved_table = series_table;
    array_init(&series_table, sizeof(series));
    array_push(&series_table, &s);
    series_active_index = 0;
    series_active_event = 0;
    current_tick = 0;
    {
        TextRecord texts;
        draw(-1);
        ASSERT_EQ(texts.texts.size(), 1u);
        EXPECT_EQ(texts.texts[0].text, "Round 3 Moto 1");
        EXPECT_FLOAT_EQ(texts.texts[0].colour[3], 1.0f);
    }
    series_active_index = series_active_event = -1;
    array_free(&series_table);
    series_table = saved_table;
    current_tick = 3 * 128;   // gone at 3 s
    {
        TextRecord texts;
        draw(-1);
        EXPECT_TRUE(texts.texts.empty());
    }
    track_title = saved_title;
}

// The first shown cell's position number for each 2 s step of the run clock.
std::vector<std::string> ticker_firsts(TextRecord& texts)
{
    std::vector<std::string> out;
    for (const DrawnText& t : texts.texts)
        if (t.text == "1" || t.text == "2" || t.text == "3")
            out.push_back(t.text);
    return out;
}

TEST_F(HudOnMesa, TickerCyclesThroughTheRidersAndABlankCell)
{
    if (!window)
        return;
    for (int32_t slot : {0, 1, 2}) {
        hud_riders[slot].number = slot == 0 ? "7" : slot == 1 ? "42" : "3";
        running_order.rows[slot] = {slot, 30 - slot, 1000 + slot * 100};
    }
    running_order.count = 3;
    race.lap_counts[1] = 3;
    timing_gates.firstlap_length = 10;
    timing_gates.normallap_length = 10;
    // At 640 x 480 the window holds three cells (53.3 units of 21.5).
    const std::vector<std::vector<std::string>> expected = {
        {"1", "2", "3"}, {"2", "3"}, {"3", "1"}, {"1", "2"}, {"1", "2", "3"}};
    for (size_t step = 0; step < expected.size(); ++step) {
        run_clock = 2.0 * double(step) + 0.5;
        TextRecord texts;
        ASSERT_GT(draw_over_grey(hud_draw_running_order).w, 0);
        EXPECT_EQ(ticker_firsts(texts), expected[step]) << "step " << step;
    }
    // A watcher online does not see the local riders' rows.
    hud_riders[1].kind = 0;
    net_socket = 5;
    net_own_slot = 160;
    std::vector<order_row> rows = hud_ticker_rows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1].slot, 2);
    net_socket = -1;
    net_own_slot = 160;
    EXPECT_EQ(hud_ticker_rows().size(), 3u);
    run_clock = 0;
    timing_gates.firstlap_length = timing_gates.normallap_length = 0;
}

TEST_F(HudOnMesa, LapBoxGreenWhiteThenChequered)
{
    for (const auto& size : kSizes) {
        open(size[0], size[1]);
        if (!window)
            return;
        hud_riders[0].number = "7";
        running_order.count = 1;
        race.lap_counts[1] = 3;
        timing_gates.firstlap_length = 10;
        timing_gates.normallap_length = 10;
        const struct {
            int32_t positions;
            const char* text;
            Rgba left_top, left_bottom;
        } cases[] = {
            {5, "Lap 1", {0, 255, 0, 255}, {0, 255, 0, 255}},
            {15, "Lap 2", {0, 255, 0, 255}, {0, 255, 0, 255}},
            {25, "Lap 3", {255, 255, 255, 255}, {255, 255, 255, 255}},   // the last lap
            {30, nullptr, {0, 0, 0, 255}, {255, 255, 255, 255}},         // chequered
        };
        for (const auto& c : cases) {
            running_order.rows[0] = {0, c.positions, 1000};
            TextRecord texts;
            const Frame f = draw_over_grey(hud_draw_running_order);
            ASSERT_GT(f.w, 0);
            const float unit = float(f.h) / 40;
            const Rgba top = f.at(int(float(f.w) - 4.6f * unit), int(1.5f * unit));
            const Rgba bottom = f.at(int(float(f.w) - 4.6f * unit), int(2.0f * unit));
            EXPECT_TRUE(near(top, c.left_top)) << c.positions << ": " << show(top);
            EXPECT_TRUE(near(bottom, c.left_bottom)) << c.positions << ": " << show(bottom);
            EXPECT_EQ(c.text != nullptr, c.text && texts.has(c.text)) << c.positions;
            if (!c.text)
                save_frame("hud_ticker_chequered_" + std::to_string(size[0]), f.w, f.h, f.rgb());
        }
        timing_gates.firstlap_length = timing_gates.normallap_length = 0;
    }
}

// The HUD's boards and the menu rows in a 640 x 480 window, the windowed mode's own
// size: the menu's 4:3 area is then the whole window, so the lower gate rows of New
// Race lie over the pitboard and the tachometer and its first rows over the map, where
// the layout of both puts them. At 1280 x 720 the 4:3 area leaves the corners free
// beside the gate rows. The boards are found in the drawn pixels, the rows from their
// recorded rectangles.
TEST_F(HudOnMesa, BoardsAndNewRaceRowsAt640x480)
{
    struct Box {
        int x0, y0, x1, y1;   // pixels, the last row and column excluded
    };
    // The extent of what the HUD drew inside a corner region (all else is the grey).
    auto drawn = [](const Frame& f, const Box& region) {
        Box b{f.w, f.h, -1, -1};
        for (int y = region.y0; y < region.y1; ++y)
            for (int x = region.x0; x < region.x1; ++x)
                if (!near(f.at(x, y), kBackground, 0)) {
                    b.x0 = std::min(b.x0, x), b.y0 = std::min(b.y0, y);
                    b.x1 = std::max(b.x1, x + 1), b.y1 = std::max(b.y1, y + 1);
                }
        return b;
    };
    auto overlapping = [](const Box& b) {
        std::set<int> items;
        const ui_rect* rects[64];
        const int n = menu_item_rects(screen_new_race, rects, 64);
        for (int i = 0; i < n; ++i)
            if (rects[i]->x0 >= 0 && rects[i]->x0 < b.x1 && b.x0 < rects[i]->x1 && rects[i]->y0 < b.y1 &&
                b.y0 < rects[i]->y1)
                items.insert(i);
        return items;
    };
    auto range = [](int first, int last) {
        std::set<int> s;
        for (int i = first; i <= last; ++i)
            s.insert(i);
        return s;
    };
    settings_reset_static();
    for (const auto& size : kSizes) {
        open(size[0], size[1]);
        if (!window)
            return;
        plain_map();
        track_terrain.world_size = 1000;
        hud_riders[0].position[0] = hud_riders[0].position[2] = 500;
        const Frame f = draw(0);
        const int W = f.w, H = f.h;
        const std::string where = std::to_string(W) + "x" + std::to_string(H);
        const Box pitboard = drawn(f, {0, H / 2, W / 2, H});
        const Box tach = drawn(f, {W / 2, H / 2, W, H});
        const Box map = drawn(f, {W / 2, 0, W, H / 2});
        for (const Box& b : {pitboard, tach, map})
            ASSERT_TRUE(b.x0 < b.x1 && b.y0 < b.y1) << where;
        if (W == 640) {
            // The board 0.6227 of the half-height wide, the dial and the map each
            // 0.4668 of it: 149, 112 and 112 of the 240 pixels. The board's picture
            // stands 4 of its 256 texels in from either side of its quad.
            EXPECT_NEAR(pitboard.x0, 2, 1) << where;
            EXPECT_NEAR(pitboard.x1, 147, 1) << where;
            EXPECT_NEAR(pitboard.y0, 359, 1) << where;
            EXPECT_NEAR(pitboard.y1, 461, 1) << where;
            EXPECT_NEAR(tach.x0, 528, 1) << where;
            EXPECT_NEAR(tach.y0, 368, 1) << where;
            EXPECT_EQ(tach.x1, 640) << where;
            EXPECT_EQ(tach.y1, 480) << where;
            EXPECT_NEAR(map.x0, 528, 1) << where;
            EXPECT_EQ(map.y0, 0) << where;
            EXPECT_NEAR(map.y1, 112, 1) << where;
        }
        draw_over_grey([] {
            menu_screen = screen_new_race;
            menu_item = 0;
            menu_draw();
        });
        menu_screen = -1;
        if (W == 640) {
            EXPECT_EQ(overlapping(pitboard), range(21, 26)) << "Gate 15 to Gate 20";
            EXPECT_EQ(overlapping(tach), range(41, 46)) << "Gate 35 to Gate 40";
            EXPECT_EQ(overlapping(map), range(2, 5)) << "Track to Minutes";
        } else {
            EXPECT_EQ(overlapping(pitboard), std::set<int>{}) << where;
            EXPECT_EQ(overlapping(tach), std::set<int>{}) << where;
            EXPECT_EQ(overlapping(map), range(2, 5)) << where;
        }
    }
}

}  // namespace
}  // namespace fronttest
