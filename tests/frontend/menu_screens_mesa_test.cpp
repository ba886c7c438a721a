// Every menu screen drawn for real at 640 x 480 and 1280 x 720, saved under
// "<build>/frontend_frames/": not one flat colour, each drawn item's rectangle from
// its screen's table with text in it, and the exact places of the main menu.
#include "frontend/menu.h"
#include "frontend/menu_draw_parts.h"
#include "frontend/menu_records.h"
#include "frontend/message_line.h"
#include "frontend/settings.h"
#include "frontend_env.h"
#include "gfx/gl_layer.h"
#include "gl_window.h"
#include "platform/qorl_gl.h"
#include "race/program/controls.h"
#include "race/net/net_client.h"
#include "race/program/projection.h"
#include "race/program/run_clock.h"
#include "race/program/bindings.h"
#include "race/race_state.h"
#include "race/series.h"
#include "terrain/track_list.h"
#include "text_record.h"
#include "sim/bike_info.h"

#include <map>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <set>
#include <string>

namespace fronttest {
namespace {

struct Drawn {
    Frame frame;
    std::vector<ui_rect> rects;
};

Drawn draw_screen(qorl_window* window, int screen, int item = 0)
{
    Drawn d;
    qorl_frame* frame = qorl_begin_frame(window);
    if (!frame)
        return d;
    set_projection(frame->width, frame->height, 110);
    bvglClearColor(0.1f, 0.3f, 0.5f, 1);
    bvglClear(GL_COLOR_BUFFER_BIT);
    bvglDisable(GL_DEPTH_TEST);
    menu_screen = screen;
    menu_item = item;
    menu_draw();
    d.frame = read_frame();
    qorl_end_frame(window);
    const ui_rect* rects[64];
    const int n = menu_item_rects(screen, rects, 64);
    for (int i = 0; i < n; ++i)
        d.rects.push_back(*rects[i]);
    return d;
}

bool flat(const Frame& f)
{
    const Rgba first = f.at(0, 0);
    for (int y = 0; y < f.h; y += 7)
        for (int x = 0; x < f.w; x += 7)
            if (f.at(x, y) != first)
                return false;
    return true;
}

bool differs(const Frame& a, const Frame& b, const ui_rect& r)
{
    for (int y = std::max(r.y0, 0); y < std::min(r.y1, a.h); ++y)
        for (int x = std::max(r.x0, 0); x < std::min(r.x1, a.w); ++x)
            if (a.at(x, y) != b.at(x, y))
                return true;
    return false;
}

bool differs_anywhere(const Frame& a, const Frame& b)
{
    return differs(a, b, ui_rect{0, 0, a.w, a.h});
}

// Pixels that stand clearly off the rectangle's most common colour (its box).
int text_pixels(const Frame& f, const ui_rect& r)
{
    std::map<Rgba, int> counts;
    for (int y = std::max(r.y0, 0); y < std::min(r.y1, f.h); ++y)
        for (int x = std::max(r.x0, 0); x < std::min(r.x1, f.w); ++x)
            ++counts[f.at(x, y)];
    Rgba box{};
    int most = 0;
    for (const auto& [c, n] : counts)
        if (n > most) {
            most = n;
            box = c;
        }
    int off = 0;
    for (const auto& [c, n] : counts)
        if (std::abs(c[0] - box[0]) + std::abs(c[1] - box[1]) + std::abs(c[2] - box[2]) > 120)
            off += n;
    return off;
}

double mean_brightness(const Frame& f, const ui_rect& r)
{
    double sum = 0;
    int n = 0;
    for (int y = std::max(r.y0, 0); y < std::min(r.y1, f.h); ++y)
        for (int x = std::max(r.x0, 0); x < std::min(r.x1, f.w); ++x, ++n) {
            const Rgba c = f.at(x, y);
            sum += c[0] + c[1] + c[2];
        }
    return n ? sum / n : 0;
}

void fill_series(int count)
{
    array_free(&series_table);
    array_init(&series_table, sizeof(series));
    static char titles[32][24];
    for (int i = 0; i < count; ++i) {
        series s{};
        snprintf(titles[i], sizeof titles[i], "Series %d", i);
        s.title = titles[i];
        array_push(&series_table, &s);
    }
}

class MenuScreensOnMesa : public GlWindowTest {
protected:
    void SetUp() override
    {
        GlWindowTest::SetUp();
        settings_reset_static();
        run_clock = 5;
        static const char* const rows[7] = {"One", "Two", "Three", "Four", "Five", "Six", "Seven"};
        choose_texts = rows;
        choose_text_count = 7;
        choose_list.title = "Choose Track";
        list_page_fill(0);
    }
};

TEST_F(MenuScreensOnMesa, EveryScreenAtBothSizes)
{
    for (const auto& size : {std::pair{640, 480}, std::pair{1280, 720}}) {
        open(size.first, size.second);
        if (!window)
            return;
        for (int screen = screen_main_menu; screen <= screen_exit; ++screen) {
            const Drawn d = draw_screen(window, screen);
            ASSERT_EQ(d.frame.w, size.first);
            save_frame("menu_" + std::to_string(screen) + "_" + std::to_string(size.first), d.frame.w, d.frame.h,
                       d.frame.rgb());
            EXPECT_FALSE(flat(d.frame)) << screen;
            if (screen == screen_series_standings || screen == screen_console || screen == screen_exit)
                continue;
            EXPECT_EQ(int(d.rects.size()), menu_item_count(screen)) << screen;
            // Moving the highlight changes the two items' boxes and no other.
            const int count = int(d.rects.size());
            for (int k = 0; k + 1 < count && k < 3; ++k) {
                const Drawn a = draw_screen(window, screen, k);
                const Drawn b = draw_screen(window, screen, k + 1);
                if (a.rects[size_t(k)].x0 < 0 || a.rects[size_t(k + 1)].x0 < 0)
                    continue;
                EXPECT_TRUE(differs(a.frame, b.frame, a.rects[size_t(k)])) << screen << " item " << k;
                EXPECT_TRUE(differs(a.frame, b.frame, a.rects[size_t(k + 1)])) << screen << " item " << k + 1;
                for (int other = 0; other < count; ++other) {
                    if (other != k && other != k + 1 && a.rects[size_t(other)].x0 >= 0) {
                        EXPECT_FALSE(differs(a.frame, b.frame, a.rects[size_t(other)]))
                            << screen << " item " << other << " changed with the highlight on " << k;
                    }
                }
            }
            for (int i = 0; i < count; ++i) {
                if (d.rects[size_t(i)].x0 >= 0) {
                    EXPECT_GE(text_pixels(d.frame, d.rects[size_t(i)]), 8) << screen << " item " << i;
                }
            }
        }
    }
}

TEST_F(MenuScreensOnMesa, MainMenuPlacesAndListRows)
{
    if (!window)
        return;
    Drawn d = draw_screen(window, screen_main_menu);
    ASSERT_EQ(d.rects.size(), 9u);
    EXPECT_EQ(d.rects[0].x0, 0);
    EXPECT_EQ(d.rects[0].y0, 52);
    EXPECT_EQ(d.rects[0].x1, 225);
    EXPECT_EQ(d.rects[0].y1, 67);
    EXPECT_EQ(d.rects[8].y0, 217);
    EXPECT_EQ(d.rects[8].y1, 232);

    // The choose list with 7 entries: the rows after the seventh cleared, both page
    // buttons drawn.
    d = draw_screen(window, screen_choose_list);
    for (int r = 2 + 7; r < 22; ++r)
        EXPECT_EQ(d.rects[size_t(r)].x0, -1) << r;
    EXPECT_GE(d.rects[1].x0, 0);
    EXPECT_GE(d.rects[22].x0, 0);
    // New Race: "Gate 21" level with "Gate 1", to its right.
    d = draw_screen(window, screen_new_race);
    EXPECT_EQ(d.rects[7].y0, d.rects[27].y0);
    EXPECT_GT(d.rects[27].x0, d.rects[7].x1);
    // Bike setup: the second column of assists starts level with the first ("Dab
    // When Stopped" beside "Arcade Physics"), one row apart down both.
    d = draw_screen(window, screen_bike_setup);
    save_frame("menu_bike_setup_assists", d.frame.w, d.frame.h, d.frame.rgb());
    for (int k = 0; k < 5; ++k) {
        EXPECT_EQ(d.rects[size_t(20 + k)].y0, d.rects[size_t(15 + k)].y0) << 20 + k;
        EXPECT_GT(d.rects[size_t(20 + k)].x0, d.rects[size_t(15 + k)].x1) << 20 + k;
    }

    // The pointer: over "Points Series" it picks item 2; over an empty row, nothing.
    d = draw_screen(window, screen_main_menu);
    pointer_x = (d.rects[2].x0 + d.rects[2].x1) / 2;
    pointer_y = (d.rects[2].y0 + d.rects[2].y1) / 2;
    EXPECT_EQ(menu_hover_item(screen_main_menu), 2);
    d = draw_screen(window, screen_choose_list);
    pointer_y = d.rects[8].y1 + 20;
    pointer_x = d.rects[8].x0 + 5;
    EXPECT_EQ(menu_hover_item(screen_choose_list), -1);

    open(1280, 720);
    d = draw_screen(window, screen_main_menu);
    EXPECT_NEAR(d.rects[0].x0, 160, 1);
}

TEST_F(MenuScreensOnMesa, TheFocusedMainButtonIsTheBrightestAndStartIsGreen)
{
    if (!window)
        return;
    for (int item : {0, 4, 8}) {
        const Drawn d = draw_screen(window, screen_main_menu, item);
        for (int i = 0; i < 9; ++i) {
            if (i != item) {
                EXPECT_GT(mean_brightness(d.frame, d.rects[size_t(item)]), mean_brightness(d.frame, d.rects[size_t(i)]))
                    << "focus " << item << " against " << i;
            }
        }
    }
    const Drawn d = draw_screen(window, screen_new_race);
    const ui_rect& r = d.rects[1];
    const Rgba mid = d.frame.at(r.x0 + 2, (r.y0 + r.y1) / 2);
    EXPECT_GT(mid[1], mid[0] + 40) << "Start's box is green";
    EXPECT_GT(mid[1], mid[2] + 40) << "Start's box is green";
}

// "Current Settings:" names the preset the settings match after each preset button,
// and "Custom" once any one of them differs.
TEST_F(MenuScreensOnMesa, CurrentSettingsNameThePresetInUse)
{
    if (!window)
        return;
    const char* const names[4] = {"Compatibility", "High FPS", "Normal", "High Detail"};
    menu_keys.down = 0x1050;
    menu_keys.enter = 0x101C;
    for (int n = 0; n < 4; ++n) {
        menu_open(screen_graphics_sound);
        for (int k = 0; k < 2 + n; ++k)
            menu_key(menu_keys.down);
        menu_key(menu_keys.enter);
        TextRecord texts;
        draw_screen(window, screen_graphics_sound, 2 + n);
        std::string all;
        for (const DrawnText& t : texts.texts)
            all += t.text + "|";
        EXPECT_TRUE(texts.has(std::string("Current Settings: ") + names[n])) << names[n] << ": " << all;
    }
    roost_density_slider.value += 1;
    TextRecord texts;
    draw_screen(window, screen_graphics_sound);
    EXPECT_TRUE(texts.has("Current Settings: Custom"));
    menu_close();
}

// Each line of the controls screen shows its title and, beside it, its key, its axis
// with the direction, "None", or "<<PRESS A KEY>>" while it is being assigned; every
// line lies inside the window and the highlighted one is the brightest.
TEST_F(MenuScreensOnMesa, ControlsShowEachTitleAndItsBinding)
{
    for (const auto& size : {std::pair{640, 480}, std::pair{1280, 720}}) {
        open(size.first, size.second);
        if (!window)
            return;
        bindings_set_defaults();
        binding_parse(&bindings[bind_clutch], "(0.062500,-0.937500)pad0.axis[1]");
        binding_reset(&bindings[bind_back_up]);
        menu_keys.enter = 0x101C;
        pots_watch(nullptr, &bindings[bind_throttle], 0x101C, 0);
        TextRecord texts;
        const Drawn d = draw_screen(window, screen_customize_controls, 2);
        capture_end();
        save_frame("menu_controls_" + std::to_string(size.first), d.frame.w, d.frame.h, d.frame.rgb());
        const std::pair<const char*, const char*> lines[] = {{"Throttle", "<<PRESS A KEY>>"},
                                                             {"Front Brake", "c"},
                                                             {"Left", "left"},
                                                             {"Clutch", "pad0.axis[1] (Negative)"},
                                                             {"Sit/Dab", "right ctrl"},
                                                             {"Back up", "None"},
                                                             {"Screenshot", "s"}};
        for (const auto& [title, bound] : lines) {
            const DrawnText* t = texts.find(title);
            ASSERT_NE(t, nullptr) << title;
            const std::vector<std::string> row = texts.row_at(t->origin[1], 0.01f);
            EXPECT_EQ(row, (std::vector<std::string>{title, bound})) << title;
        }
        ASSERT_EQ(d.rects.size(), 21u);
        double brightest = 0;
        int brightest_item = -1;
        for (int item = 1; item <= 20; ++item) {
            const ui_rect r = d.rects[size_t(item)];
            EXPECT_TRUE(r.x0 >= 0 && r.x1 <= d.frame.w && r.y0 >= 0 && r.y1 <= d.frame.h) << item;
            const int middle = (r.x0 + r.x1) / 2;
            const ui_rect left{r.x0, r.y0, middle, r.y1}, right{middle, r.y0, r.x1, r.y1};
            EXPECT_GE(text_pixels(d.frame, left), 8) << "title of line " << item;
            EXPECT_GE(text_pixels(d.frame, right), 8) << "binding of line " << item;
            if (mean_brightness(d.frame, right) > brightest) {
                brightest = mean_brightness(d.frame, right);
                brightest_item = item;
            }
        }
        EXPECT_EQ(brightest_item, 2);
    }
}

// Multiplayer while racing lists the lineup's human slots with their pings in ms.
TEST_F(MenuScreensOnMesa, MultiplayerListsTheRacingRiders)
{
    if (!window)
        return;
    net_socket = socket(AF_INET, SOCK_DGRAM, 0);
    ASSERT_GE(net_socket, 0);
    net_state = 11;
    std::fill(net_lineup, net_lineup + kNetSlots, 0);
    net_lineup[3] = 1;
    net_lineup[7] = 5;
    net_lineup[9] = 2;   // no human: not listed
    net_ping[7] = 13;    // ticks: 101.5625 ms, shown truncated
    snprintf(net_rider_infos[7].number, sizeof net_rider_infos[7].number, "42");
    snprintf(net_rider_infos[7].bike, sizeof net_rider_infos[7].bike, "cr125");
    {
        TextRecord texts;
        const Drawn d = draw_screen(window, screen_multiplayer);
        save_frame("menu_multiplayer_racing", d.frame.w, d.frame.h, d.frame.rgb());
        EXPECT_TRUE(texts.has("Disconnect"));
        EXPECT_TRUE(texts.has("Slot"));
        EXPECT_TRUE(texts.has("3"));
        EXPECT_TRUE(texts.has("7"));
        EXPECT_TRUE(texts.has("101"));
        EXPECT_TRUE(texts.has("cr125"));
        EXPECT_FALSE(texts.has("9"));
    }
    close(net_socket);
    net_socket = -1;
    net_state = 0;
    std::fill(net_lineup, net_lineup + kNetSlots, 0);
    net_rider_infos[7] = {};
    net_ping[7] = 0;
    TextRecord texts;
    draw_screen(window, screen_multiplayer);
    EXPECT_TRUE(texts.has("Connect"));
    EXPECT_FALSE(texts.has("Slot"));
}

// Points Series shows its page buttons only where there is a page to go to.
TEST_F(MenuScreensOnMesa, SeriesPageButtonsWith20And21Entries)
{
    if (!window)
        return;
    struct Case {
        int count;
        int page;
        bool prev;
        bool next;
    };
    for (const Case c : {Case{20, 0, false, false}, Case{21, 0, false, true}, Case{21, 1, true, false}}) {
        fill_series(c.count);
        series_list_page = c.page;
        series_page_fill(c.page);
        const Drawn d = draw_screen(window, screen_points_series);
        EXPECT_EQ(d.rects[1].x0 >= 0, c.prev) << c.count << " entries, page " << c.page;
        EXPECT_EQ(d.rects[22].x0 >= 0, c.next) << c.count << " entries, page " << c.page;
        if (!c.prev) {
            EXPECT_EQ(d.rects[1].x1, -1);
        }
    }
    fill_series(0);
    series_list_page = 0;
}

// The disclaimer fades out from 9 s to 10 s of running; the exit screen's warning
// blinks only in the editor with the terrain changed.
TEST_F(MenuScreensOnMesa, DisclaimerFadeAndExitWarningBlink)
{
    if (!window)
        return;
    auto main_at = [&](double t) {
        run_clock = t;
        return draw_screen(window, screen_main_menu).frame;
    };
    const Frame full = main_at(9), half = main_at(9.5), gone = main_at(10), later = main_at(30);
    EXPECT_TRUE(differs_anywhere(full, half));
    EXPECT_TRUE(differs_anywhere(half, gone));
    EXPECT_FALSE(differs_anywhere(gone, later));
    EXPECT_FALSE(differs_anywhere(main_at(2), full));

    auto exit_at = [&](double t) {
        run_clock = t;
        return draw_screen(window, screen_exit).frame;
    };
    race_opts.editor = 1;
    track_terrain.change_flags = 2;
    const Frame on = exit_at(0.3), off = exit_at(0.1);
    EXPECT_TRUE(differs_anywhere(on, off)) << "on in the second quarter of each half second";
    EXPECT_FALSE(differs_anywhere(on, exit_at(20.3)));
    track_terrain.change_flags = 1;
    EXPECT_FALSE(differs_anywhere(exit_at(0.3), off)) << "no warning without change bit 2";
    track_terrain.change_flags = 2;
    race_opts.editor = 0;
    EXPECT_FALSE(differs_anywhere(exit_at(0.3), off)) << "no warning outside the editor";
    track_terrain.change_flags = 0;
    run_clock = 5;
}

// The console's lines: the last 50 of the ring, or 49 and the caret line when scrolled
// back; a wrapped ring scrolled back 950 lines draws from inside the ring.
TEST_F(MenuScreensOnMesa, ConsoleLinesAndScrollBack)
{
    if (!window)
        return;
    message_log = {};
    for (int i = 0; i < 1100; ++i) {
        snprintf(message_log.lines[message_ring_index(message_log.write_index)], message_line_bytes, "line %d", i);
        message_log.write_index = message_ring_index(message_log.write_index + 1);
    }
    console_scroll = 0;
    {
        TextRecord texts;
        draw_screen(window, screen_console);
        EXPECT_TRUE(texts.has("line 1099"));
        EXPECT_TRUE(texts.has("line 1050"));
        EXPECT_FALSE(texts.has("line 1049"));
        EXPECT_FALSE(texts.has("^    ^    ^    ^    ^"));
    }
    console_scroll = 1;
    {
        TextRecord texts;
        draw_screen(window, screen_console);
        EXPECT_FALSE(texts.has("line 1099"));
        EXPECT_FALSE(texts.has("line 1098"));
        EXPECT_TRUE(texts.has("line 1049"));
        EXPECT_TRUE(texts.has("line 1097"));
        EXPECT_TRUE(texts.has("^    ^    ^    ^    ^"));
    }
    console_scroll = 950;
    {
        TextRecord texts;
        draw_screen(window, screen_console);
        EXPECT_TRUE(texts.has("line 100"));
        EXPECT_TRUE(texts.has("line 148"));
        EXPECT_FALSE(texts.has("line 99"));
    }
    console_scroll = 0;
    message_log = {};
}

uint64_t frame_hash(const Frame& f)
{
    uint64_t h = 1469598103934665603ull;
    for (uint8_t byte : f.rgba)
        h = (h ^ byte) * 1099511628211ull;
    return h;
}

// The widgets are drawn in fewer, larger draws for speed; the pictures must stay the
// same to the bit. The hashes were taken from the pictures of the one-draw-per-rectangle
// drawing on this machine's Mesa llvmpipe (another Mesa may round differently and then
// needs them taken anew from a known-good build).
TEST_F(MenuScreensOnMesa, WidgetPicturesKeepTheirPixels)
{
    struct Shot {
        int width, screen, item;
        uint64_t hash;
    };
    const Shot shots[] = {
        {640, screen_main_menu, 0, 0x806dba320137d36eull},      {640, screen_new_race, 0, 0x726b5af2b6774101ull},
        {640, screen_new_race, 5, 0xdb67b745b3f3f8full},       {640, screen_new_race, 30, 0xfad9a61fc1480008ull},
        {640, screen_graphics_sound, 12, 0xcab6d11e92b36b87ull}, {640, screen_choose_list, 3, 0x9c40973c2b70e703ull},
        {1280, screen_new_race, 1, 0x4ac55bb8609f2cb7ull},      {1280, screen_new_race, 9, 0x5d43212faee25c9dull},
        {1280, screen_customize_controls, 2, 0x127b427c079688b6ull},
    };
    int width = 0;
    for (const Shot& s : shots) {
        if (s.width != width) {
            width = s.width;
            open(width, width == 640 ? 480 : 720);
        }
        if (!window)
            return;
        const Drawn d = draw_screen(window, s.screen, s.item);
        const uint64_t h = frame_hash(d.frame);
        EXPECT_EQ(h, s.hash) << "screen " << s.screen << " item " << s.item << " at " << width << ": 0x"
                             << std::hex << h;
    }
}

// A gate whose text outgrows its box keeps the one-at-a-time order (its box may then
// cover a neighbour's text); the others go boxes first.
TEST_F(MenuScreensOnMesa, OnlyChoicesWhoseTextsFitSplitTheirDrawing)
{
    if (!window)
        return;
    static const char* const items[3] = {"Empty", "A rider's name far too long for the gate box", "Two\nlines"};
    int selected = 0;
    ui_choice c{"Gate 1", items, 3, selected, {}};
    EXPECT_TRUE(ui_choice_fits(&c, 18.6667f, 0.33f));
    selected = 1;
    EXPECT_FALSE(ui_choice_fits(&c, 18.6667f, 0.33f));
    selected = 2;
    EXPECT_FALSE(ui_choice_fits(&c, 18.6667f, 0.33f)) << "a second line lands on the next row";
    selected = 0;
    c.label = "A label far too long for its part";
    EXPECT_FALSE(ui_choice_fits(&c, 18.6667f, 0.33f));
}

}  // namespace
}  // namespace fronttest

namespace fronttest {
namespace {

TEST(SuspensionValues, PrintedFromTheBikeRecord)
{
    bike_info bike{};
    bike.front_sprocket = 13;
    bike.fork_spring_rate[0] = bike.fork_spring_rate[1] = 1000;
    bike.shock_spring_rate[0] = bike.shock_spring_rate[1] = 1000;
    char text[64];
    ASSERT_TRUE(suspension_value_text(&bike, 13, -2, text, sizeof text));
    EXPECT_STREQ(text, "11.00 teeth");
    ASSERT_TRUE(suspension_value_text(&bike, 4, 50, text, sizeof text));
    EXPECT_STREQ(text, "0.744 kg/mm");
    ASSERT_TRUE(suspension_value_text(&bike, 11, 50, text, sizeof text));
    EXPECT_STREQ(text, "1.49 kg/mm");
    EXPECT_FALSE(suspension_value_text(&bike, 0, 50, text, sizeof text));
    EXPECT_FALSE(suspension_value_text(nullptr, 13, 0, text, sizeof text)) << "a bike not in the database";
    EXPECT_EQ(bike_info_lookup("no such bike"), nullptr);
}

}  // namespace
}  // namespace fronttest
