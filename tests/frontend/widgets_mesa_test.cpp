// The widgets drawn for real: one 640 x 480 frame over black with the bundled font,
// every kind unfocused (left) and focused (right), saved as
// "<build>/frontend_frames/widgets.png"; and the watched rider's name.
#include "frontend/message_line.h"
#include "frontend/ui_widgets.h"
#include "frontend_env.h"
#include "gfx/fonts.h"
#include "gfx/gl_layer.h"
#include "gl_window.h"
#include "platform/qorl_gl.h"
#include "race/program/projection.h"
#include "race/race_state.h"

#include <algorithm>
#include <cstring>

namespace fronttest {
namespace {

int brightness(const Rgba& p)
{
    return (p[0] + p[1] + p[2]) / 3;
}

// Opens a frame cleared to black with the projection of the window.
bool begin_black_frame(qorl_window* window)
{
    qorl_frame* frame = qorl_begin_frame(window);
    if (!frame)
        return false;
    set_projection(frame->width, frame->height, 110);
    bvglClearColor(0, 0, 0, 0);
    bvglClear(GL_COLOR_BUFFER_BIT);
    bvglDisable(GL_DEPTH_TEST);
    return true;
}

struct RectStats {
    int light = 0, dark = 0, mean = 0;
};

RectStats stats(const Frame& f, const ui_rect& r)
{
    RectStats s;
    long sum = 0, n = 0;
    for (int y = r.y0 + 1; y < r.y1; ++y)
        for (int x = r.x0 + 1; x < r.x1; ++x) {
            const int b = brightness(f.at(x, y));
            s.light += b > 150;
            s.dark += b < 40;
            sum += b;
            ++n;
        }
    s.mean = n ? int(sum / n) : 0;
    return s;
}

using WidgetsOnMesa = GlWindowTest;

const char* const skills[] = {"Novice", "Amateur", "Expert"};

TEST_F(WidgetsOnMesa, EveryKindFocusedAndNot)
{
    ui_button buttons[2] = {{"Start", {}}, {"Start", {}}};
    int picked[2] = {1, 1};
    ui_choice choices[2] = {{"Skill", skills, 3, picked[0], {}}, {"Skill", skills, 3, picked[1], {}}};
    double laps[2] = {50, 50};
    ui_slider sliders[2] = {{"Laps", laps[0], 1, 0, 100, {}, 0, 0}, {"Laps", laps[1], 1, 0, 100, {}, 0, 0}};
    char texts[2][16] = {"Rider", "Rider"};
    ui_text_field fields[2] = {{"Name", 15, texts[0], 1, 1, {}}, {"Name", 15, texts[1], 1, 1, {}}};
    ui_button rows[2] = {{"Row one", {}}, {"Row one", {}}};
    ui_button starts[2] = {{"GO", {}}, {"GO", {}}};
    double low = -5, high = 15;
    ui_slider empty{"Low", low, 1, 0, 10, {}, 0, 0}, full{"High", high, 1, 0, 10, {}, 0, 0};
    ui_typeahead.owner = &choices[0];
    strcpy(ui_typeahead.typed, "ama");

    ASSERT_TRUE(begin_black_frame(window));
    ui_vec2 pen{}, scale{};
    ui_begin_menu(16, 0.5f, -1.5f, &pen, &scale);
    for (int f = 0; f < 2; ++f) {
        ui_vec2 p = pen;
        bvglPushMatrix();
        ui_draw_button(&buttons[f], f, p, scale, 6, 0);
        ui_advance(&p, scale, 0, -1.5f);
        ui_draw_choice(&choices[f], f, p, scale, 9, 0, 0.4f);
        ui_advance(&p, scale, 0, -1.5f);
        ui_draw_slider(&sliders[f], f, p, scale, 9, 0, 0.5f);
        ui_advance(&p, scale, 0, -1.5f);
        ui_draw_text_field(&fields[f], f, p, scale, 9, 0, 0.4f);
        ui_advance(&p, scale, 0, -1.5f);
        ui_draw_list_row(&rows[f], f, p, scale, 6, 0, 0);
        ui_advance(&p, scale, 0, -1.5f);
        ui_draw_label_box(&starts[f], p, scale, 4, 0.5f, ui_start_text[f], ui_start_box[f]);
        ui_advance(&p, scale, 0, -1.5f);
        ui_draw_slider(f ? &full : &empty, 0, p, scale, 9, 0, 0.5f);
        bvglPopMatrix();
        ui_advance(&pen, scale, 10, 0);
    }
    ui_end();
    const Frame frame = read_frame();
    qorl_end_frame(window);
    save_frame("widgets", frame.w, frame.h, frame.rgb());

    const ui_rect* pairs[][2] = {{&buttons[0].rect, &buttons[1].rect}, {&choices[0].rect, &choices[1].rect},
                                 {&fields[0].rect, &fields[1].rect},  {&rows[0].rect, &rows[1].rect},
                                 {&starts[0].rect, &starts[1].rect}};
    for (auto& pair : pairs) {
        const RectStats off = stats(frame, *pair[0]), on = stats(frame, *pair[1]);
        EXPECT_GT(off.light, 10) << "text inside " << pair[0]->x0 << "," << pair[0]->y0;
        EXPECT_GT(on.mean, off.mean + 40) << "focused box at " << pair[1]->x0 << "," << pair[1]->y0;
    }
    // Focused buttons and rows carry dark text on the light box.
    EXPECT_GT(stats(frame, buttons[1].rect).dark, 10);
    EXPECT_GT(stats(frame, rows[1].rect).dark, 10);

    // The border band above an unfocused button shows two layers, the inside one.
    const ui_rect& b = buttons[0].rect;
    EXPECT_GT(brightness(frame.at(b.x1 - 4, b.y0 - 2)), brightness(frame.at(b.x1 - 4, (b.y0 + b.y1) / 2)) + 8);

    // The slider at 50 % fills its bar to the middle (light fill unfocused, dark focused).
    for (const ui_slider& s : sliders) {
        const int mid = (s.bar_x0 + s.bar_x1) / 2, y = (s.rect.y0 + s.rect.y1) / 2;
        EXPECT_GT(std::abs(brightness(frame.at(mid - 2, y)) - brightness(frame.at(mid + 2, y))), 40) << mid;
        EXPECT_EQ(brightness(frame.at(mid - 2, y)), brightness(frame.at(s.bar_x0 + 6, y))) << mid;
    }
    const int ey = (empty.rect.y0 + empty.rect.y1) / 2, fy = (full.rect.y0 + full.rect.y1) / 2;
    EXPECT_LT(brightness(frame.at(empty.bar_x0 + 4, ey)), 90);
    EXPECT_GT(brightness(frame.at(full.bar_x1 - 4, fy)), 150);
    EXPECT_EQ(empty.value, -5);

    // The typed letters of the owning choice are red.
    int red = 0;
    for (int y = choices[0].rect.y0; y < choices[0].rect.y1; ++y)
        for (int x = choices[0].rect.x0; x < choices[0].rect.x1; ++x) {
            const Rgba p = frame.at(x, y);
            red += p[0] > 150 && p[1] < 80 && p[2] < 80;
        }
    EXPECT_GT(red, 10);

    // The cursor block stands opaque grey on the second character of the focused field.
    const ui_rect& t = fields[1].rect;
    const float sx = scale.x;
    const int x0 = int((9 * 0.4f + ui_margin + text_width("R")) * sx) + t.x0;
    const int x1 = int((9 * 0.4f + ui_margin + text_width("Ri")) * sx) + t.x0;
    int grey = 0;
    for (int y = t.y0 + 2; y < t.y1 - 1; ++y)
        for (int x = x0 + 1; x < x1 - 1; ++x) {
            const Rgba p = frame.at(x, y);
            grey += std::abs(p[0] - 128) < 3 && p[0] == p[1] && p[1] == p[2];
        }
    EXPECT_GT(grey, 10) << x0 << ".." << x1;
}

TEST_F(WidgetsOnMesa, TheWatchedRiderNameShowsOnlyForStateDrivenRiders)
{
    race.kinds[3] = rider_kind_remote;
    race.names[3] = "Watched Rider";
    race.kinds[4] = rider_kind_local;
    race.names[4] = "Local Rider";
    race.kinds[5] = rider_kind_remote;
    race.names[5] = nullptr;
    for (int slot : {3, 4, 5}) {
        ASSERT_TRUE(begin_black_frame(window));
        draw_watched_rider_name(slot);
        const Frame f = read_frame();
        qorl_end_frame(window);
        int white = 0, elsewhere = 0, left = f.w, right = 0;
        for (int y = 0; y < f.h; ++y)
            for (int x = 0; x < f.w; ++x) {
                const bool lit = brightness(f.at(x, y)) > 200;
                const bool band = y >= f.h * 28 / 30 && y < f.h * 29 / 30 + 2;
                (band ? white : elsewhere) += lit;
                if (lit && band) {
                    left = std::min(left, x);
                    right = std::max(right, x);
                }
            }
        if (slot == 3) {
            save_frame("watched_rider", f.w, f.h, f.rgb());
            EXPECT_GT(white, 10);
            EXPECT_NEAR((left + right) / 2, f.w / 2, 6);
        } else {
            EXPECT_EQ(white, 0) << slot;
        }
        EXPECT_EQ(elsewhere, 0) << slot;
    }
    race.names[3] = race.names[4] = nullptr;
}

}  // namespace
}  // namespace fronttest
