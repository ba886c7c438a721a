// The widgets without a picture: layout in both 4:3 fittings, rectangles and the
// pointer tests, the setters, and every kind's keys (through the recording GL table).
#include "frontend/ui_widgets.h"
#include "gfx/fake_gl.h"
#include "gfx/fonts.h"
#include "race/program/controls.h"
#include "race/program/projection.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int key_left = 0x104B, key_right = 0x104D, key_enter = 0x101C, key_pad_enter = 0x111C,
              key_cursor_left = 0x2000;

class Widgets : public testing::Test {
protected:
    void SetUp() override
    {
        fakegl::install();
        menu_keys.left = key_left;
        menu_keys.right = key_right;
        menu_keys.enter = key_enter;
        menu_keys.keypad_enter = key_pad_enter;
        menu_keys.cursor_left = key_cursor_left;
        ui_typeahead.owner = nullptr;
        ui_typeahead.typed[0] = 0;
        pointer_x = pointer_y = -100;
    }
};

struct Fitting {
    int w, h;
    ui_vec2 pen, scale;
};

TEST_F(Widgets, TheMenuAreaFitsFourByThreeIntoAnyWindow)
{
    const Fitting cases[] = {
        {1280, 720, {(16.0f / 9 - 4.0f / 3) / 2 * 32, -1.125f}, {22.5f, -22.5f}},
        {640, 480, {0, -1.125f}, {15, -15}},
        {480, 640, {0, -1.125f + (0.75f - 4.0f / 3) * 64 / 3}, {11.25f, -11.25f}},
    };
    for (const Fitting& c : cases) {
        set_projection(c.w, c.h, 110);
        ui_vec2 pen{}, scale{};
        ui_begin_menu(32, 0, -1.125f, &pen, &scale);
        ui_end();
        EXPECT_NEAR(pen.x, c.pen.x, 1e-4) << c.w << "x" << c.h;
        EXPECT_NEAR(pen.y, c.pen.y, 1e-4) << c.w << "x" << c.h;
        EXPECT_NEAR(scale.x, c.scale.x, 1e-4);
        EXPECT_NEAR(scale.y, c.scale.y, 1e-4);
    }

    // A rect is the truncated pen times the scale and spans the given width even when
    // the label is wider.
    ui_button button{"A label far wider than two line units", {}};
    ui_draw_button(&button, 0, {7.0f, -1.125f}, {22.5f, -22.5f}, 2.5f, 0);
    EXPECT_EQ(button.rect.x0, 157);
    EXPECT_EQ(button.rect.y0, 2);
    EXPECT_EQ(button.rect.x1, 213);
    EXPECT_EQ(button.rect.y1, 25);
}

TEST_F(Widgets, HitTestsAreStrictAndListsTakeTheFirstHit)
{
    ui_rect a{10, 20, 30, 40}, b{0, 0, 100, 100}, cleared{};
    ui_rect_clear(&cleared);
    const ui_rect* list[] = {&cleared, &a, &b, nullptr};
    const ui_rect* empty[] = {nullptr};
    struct Probe {
        int x, y, hit_a, first;
    } probes[] = {
        {20, 30, 1, 1}, {10, 30, 0, 2}, {30, 30, 0, 2}, {20, 20, 0, 2}, {20, 40, 0, 2}, {-1, -1, 0, -1},
    };
    for (const Probe& p : probes) {
        pointer_x = p.x;
        pointer_y = p.y;
        EXPECT_EQ(ui_hit_test(&a), p.hit_a) << p.x << "," << p.y;
        EXPECT_EQ(ui_hit_test_list(list), p.first) << p.x << "," << p.y;
        EXPECT_EQ(ui_hit_test_list(empty), -1);
    }
    // A widget not drawn this frame but not cleared still answers.
    ui_button old{"Old", {50, 50, 60, 60}};
    pointer_x = pointer_y = 55;
    EXPECT_EQ(ui_button_key(&old, key_cursor_left), 1);
    EXPECT_EQ(ui_button_key(&old, ' '), 1);
    EXPECT_EQ(ui_button_key(&old, key_right), 0);
}

const char* const skills[] = {"Novice", "Amateur", "Expert"};
const char* const gates[] = {"Empty", "Human", "Robot", "Robot (2 stroke)", "Robot (4 stroke)", "Closed"};

std::string shown(const ui_choice& c)
{
    char text[2048];
    ui_choice_text(&c, text, sizeof text);
    return text;
}

TEST_F(Widgets, ChoicesFollowTypedLettersAndWrap)
{
    int skill_index = 0;
    ui_choice skill{"Skill", skills, 3, skill_index, {}};
    for (int key : {'a', 'm', 'a'})
        ui_choice_key(&skill, key);
    EXPECT_EQ(skill.selected, 1);
    EXPECT_EQ(shown(skill), "\033[31mama\033[0mteur");
    ui_choice_key(&skill, 'z');
    EXPECT_EQ(skill.selected, 1);
    EXPECT_STREQ(ui_typeahead.typed, "ama");
    ui_choice_key(&skill, 8);
    EXPECT_STREQ(ui_typeahead.typed, "");
    EXPECT_EQ(skill.selected, 1);

    int gate_index = 0;
    ui_choice gate{"Gate", gates, 6, gate_index, {}};
    ui_choice_key(&gate, 'r');
    std::vector<int> visited{gate.selected};
    for (int i = 0; i < 4; ++i) {
        ui_choice_key(&gate, 9);
        visited.push_back(gate.selected);
    }
    EXPECT_EQ(visited, (std::vector<int>{2, 3, 4, 2, 3}));

    // Typing into another choice starts a new typed text there.
    ui_choice_key(&skill, 'e');
    EXPECT_STREQ(ui_typeahead.typed, "e");
    EXPECT_EQ(shown(gate), "Robot (2 stroke)");

    skill.selected = 0;
    ui_choice_key(&skill, key_left);
    EXPECT_EQ(skill.selected, 2);
    EXPECT_STREQ(ui_typeahead.typed, "");
    for (int key : {key_right, key_enter, key_pad_enter})
        ui_choice_key(&skill, key);
    EXPECT_EQ(skill.selected, 2);

    // The 256th character is not taken.
    std::string long_item(300, 'a');
    const char* const longs[] = {long_item.c_str()};
    int many_index = 0;
    ui_choice many{"Long", longs, 1, many_index, {}};
    for (int i = 0; i < 256; ++i)
        ui_choice_key(&many, 'a');
    EXPECT_EQ(strlen(ui_typeahead.typed), 255u);
}

TEST_F(Widgets, AChoiceWithoutItemsStaysEmpty)
{
    int none_index = 0;
    ui_choice none{"Nothing", nullptr, 0, none_index, {}};
    for (int key : {key_left, key_right, 9, int('a')})
        ui_choice_key(&none, key);
    EXPECT_EQ(none.selected, 0);
    EXPECT_EQ(shown(none), "");
    ui_draw_choice(&none, 1, {0, 0}, {15, -15}, 10, 0, 0.5f);   // nothing read past the items
    EXPECT_EQ(ui_choice_select(&none, "x"), 0);
}

TEST_F(Widgets, SlidersClampSnapAndIgnoreAZeroWidthBar)
{
    double volume = 50;
    ui_slider s{"Volume", volume, 10, 0, 100, {100, 0, 400, 20}, 200, 300};
    ui_slider_key(&s, key_right);
    EXPECT_EQ(s.value, 60);
    s.value = 95;
    ui_slider_key(&s, key_right);
    EXPECT_EQ(s.value, 100);
    s.value = 5;
    ui_slider_key(&s, key_left);
    EXPECT_EQ(s.value, 0);

    struct Click {
        int x;
        double want;
    } clicks[] = {{190, 0}, {310, 100}, {180, 42}, {320, 42}, {233, 30}, {237, 40}, {250, 50}};
    for (const Click& c : clicks) {
        s.value = 42;
        pointer_x = c.x;
        pointer_y = 10;
        ui_slider_key(&s, key_cursor_left);
        EXPECT_EQ(s.value, c.want) << "click at " << c.x;
    }
    pointer_x = 250;
    s.value = 42;
    ui_slider_key(&s, 16);
    EXPECT_EQ(s.value, 50);

    double tiny = 3;
    ui_slider flat{"Tiny", tiny, 1, 0, 10, {0, 0, 40, 20}, 20, 20};
    pointer_x = 20;
    ui_slider_key(&flat, key_cursor_left);
    EXPECT_EQ(flat.value, 3);
    EXPECT_FALSE(std::isnan(flat.value));

    // Drawing never changes the value, even out of range or with max = min.
    for (double v : {-5.0, 150.0}) {
        s.value = v;
        ui_draw_slider(&s, 0, {0, 0}, {15, -15}, 20, 0, 0.5f);
        EXPECT_EQ(s.value, v);
    }
    double four = 4;
    ui_slider same{"Same", four, 1, 4, 4, {}, 0, 0};
    ui_draw_slider(&same, 1, {0, 0}, {15, -15}, 20, 0, 0.5f);
    EXPECT_EQ(same.value, 4);
}

struct Field {
    char bytes[8];
    ui_text_field f;
    Field(const char* text, int capacity, int cursor, int mode) : bytes{}, f{"Name", capacity, bytes, cursor, mode, {}}
    {
        ui_text_set(&f, text);
        f.cursor = cursor;
    }
    bool zero_after() const
    {
        for (size_t i = strlen(bytes); i <= size_t(f.capacity); ++i)
            if (bytes[i])
                return false;
        return true;
    }
};

TEST_F(Widgets, TextFieldsInsertOverwriteAndDelete)
{
    struct Case {
        const char* text;
        int capacity, cursor, mode, key;
        const char* want;
        int want_cursor;
    } cases[] = {
        {"abcdef", 6, 3, 1, 'X', "abcXde", 4},     // full: the last character drops
        {"abcdef", 6, 6, 1, 'X', "abcdef", 6},     // full at the end: nothing
        {"999", 3, 0, 0, '1', "199", 1},            // the rider number overwrites
        {"12", 3, 2, 0, '7', "127", 3},             // overwrite appends at the end
        {"ab", 6, 1, 1, 'X', "aXb", 2},
        {"abc", 6, 0, 1, 8, "abc", 0},              // Backspace at 0
        {"abc", 6, 2, 1, 8, "ac", 1},
        {"abc", 6, 3, 1, 127, "abc", 3},            // Delete at the end
        {"abc", 6, 1, 1, 127, "ac", 1},
        {"abc", 6, 1, 1, 0x1234, "abc", 1},         // not a character
        {"abc", 6, 0, 1, key_left, "abc", 0},
        {"abc", 6, 3, 1, key_right, "abc", 3},
        {"abc", 6, 9, 1, 'd', "abcd", 4},           // a cursor past the text comes back first
    };
    for (const Case& c : cases) {
        Field field(c.text, c.capacity, c.cursor, c.mode);
        ui_text_key(&field.f, c.key);
        EXPECT_STREQ(field.bytes, c.want) << c.text << " key " << c.key;
        EXPECT_EQ(field.f.cursor, c.want_cursor) << c.text << " key " << c.key;
        EXPECT_TRUE(field.zero_after()) << c.text << " key " << c.key;
    }
}

TEST_F(Widgets, SettersFromText)
{
    int skill_index = 0;
    ui_choice skill{"Skill", skills, 3, skill_index, {}};
    EXPECT_EQ(ui_choice_select(&skill, "Expert"), 1);
    EXPECT_EQ(skill.selected, 2);
    EXPECT_EQ(ui_choice_select(&skill, "expert"), 0);
    EXPECT_EQ(ui_choice_select(&skill, "Exp"), 0);
    EXPECT_EQ(skill.selected, 2);

    double minutes = 10;
    ui_slider s{"Minutes", minutes, 1, 0, 60, {}, 0, 0};
    EXPECT_EQ(ui_slider_set_text(&s, "75"), 1);
    EXPECT_EQ(s.value, 60);
    for (const char* bad : {"abc", "", "nan", "inf"}) {
        EXPECT_EQ(ui_slider_set_text(&s, bad), 0) << bad;
        EXPECT_EQ(s.value, 60);
    }

    Field field("abcdefg", 7, 0, 1);
    ui_text_set(&field.f, "xy");
    EXPECT_STREQ(field.bytes, "xy");
    EXPECT_TRUE(field.zero_after());
    ui_text_set(&field.f, "0123456789");
    EXPECT_STREQ(field.bytes, "0123456");
}

}  // namespace
