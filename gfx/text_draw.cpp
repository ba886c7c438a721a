// Text as GL_QUADS through the immediate-mode batch, with colour escapes and TABs.
#include "gfx/fonts.h"

#include "gfx/gl_layer.h"
#include "gfx/gl_queue.h"
#include "gfx/gl_state.h"
#include "gfx/shaders.h"

#include <algorithm>
#include <cctype>
#include <cmath>

void (*text_capture)(const char* text, const float colour[4], const float origin[3]) = nullptr;

const float text_palette[16][3] = {
    {0, 0, 0},       {0.75f, 0, 0}, {0, 0.75f, 0}, {0.75f, 0.75f, 0},
    {0, 0, 0.75f},   {0.75f, 0, 0.75f}, {0, 0.75f, 0.75f}, {0.75f, 0.75f, 0.75f},
    {0, 0, 0},       {1, 0, 0},     {0, 1, 0},     {1, 1, 0},
    {0, 0, 1},       {1, 0, 1},     {0, 1, 1},     {1, 1, 1},
};

namespace {

constexpr int max_parameters = 64;

void apply_parameter(int p, int* state)
{
    // The shadow pass keeps its flag for the whole text, so a later text colour can
    // never turn into a shadow colour.
    const int shadow = *state & text_state_shadow;
    const int bright = *state & text_state_bright;
    if (p == 0)
        *state = text_state_caller_colour | shadow;
    else if (p == 1)
        *state |= text_state_bright;
    else if (p == 22)
        *state &= ~text_state_bright;
    else if (p >= 30 && p <= 37 && !shadow)
        *state = (p - 30) | bright;
    else if (p >= 40 && p <= 47 && shadow)
        *state = (p - 40) | bright | shadow;
}

float tab_stop(float x, float space)
{
    if (space <= 0)
        return x;
    return (std::floor(x / (8 * space)) + 1) * 8 * space;
}

bool blank(const char* text)
{
    for (; *text; ++text)
        if (!isspace(static_cast<unsigned char>(*text)))
            return false;
    return true;
}

bool drawable(const char* text)
{
    return text && font_main.texture && !blank(text);
}

void vertex(float x, float y, float s, float t)
{
    imm_texcoord[0] = s;
    imm_texcoord[1] = t;
    bvglVertex2f(x, y);
}

}  // namespace

const char* text_escape_apply(const char* p, int* state)
{
    const char* q = p + 1;
    const bool bracket = *q == '[';
    int parameters[max_parameters];
    int count = 0;
    if (bracket) {
        ++q;
        while (count < max_parameters && *q >= '0' && *q <= '9') {
            int value = 0;
            for (; *q >= '0' && *q <= '9'; ++q)
                value = std::min(value * 10 + (*q - '0'), 1000000);
            parameters[count++] = value;
            if (*q != ';')
                break;
            ++q;
        }
    }
    while (*q && !(*q >= '@' && *q <= '~'))
        ++q;
    const char final_byte = *q;
    if (*q)
        ++q;
    if (bracket && final_byte == 'm') {
        if (count == 0)
            apply_parameter(0, state);
        for (int i = 0; i < count; ++i)
            apply_parameter(parameters[i], state);
    }
    return q;
}

void text_state_colour(int state, const float caller[4], float out[4])
{
    if (!(state & text_state_caller_colour)) {
        const float* c = text_palette[state & 15];
        out[0] = c[0];
        out[1] = c[1];
        out[2] = c[2];
    } else if (state & text_state_bright) {
        for (int i = 0; i < 3; ++i)
            out[i] = std::min(caller[i] + 0.25f, 1.0f);
    } else {
        out[0] = caller[0];
        out[1] = caller[1];
        out[2] = caller[2];
    }
    out[3] = caller[3];
}

void text_draw_raw(float r, float g, float b, float a, const char* text, int state)
{
    const float caller[4] = {r, g, b, a};
    if (text_capture && !(state & text_state_shadow)) {
        // The matrix calls are queued: bring the modelview up to date first.
        gl_replay_queue();
        const float* m = gl_current_matrix(0);
        const float origin[3] = {m[12], m[13], m[14]};
        text_capture(text, caller, origin);
    }
    const float space = font_main.advance[uint8_t(' ')];
    gl_use_shader(shader_unlit);
    bvglEnable(GL_BLEND);
    bvglBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    bvglBindTexture(GL_TEXTURE_2D, font_main.texture);
    bvglBegin(GL_QUADS);
    float x = 0, y = 0;
    for (const char* p = text; *p;) {
        const auto c = static_cast<unsigned char>(*p);
        if (c == 27) {
            p = text_escape_apply(p, &state);
            continue;
        }
        ++p;
        if (c == ' ') {
            x += space;
        } else if (c == '\r') {
            x = 0;
        } else if (c == '\n') {
            x = 0;
            y -= 1;
        } else if (c == '\t') {
            x = tab_stop(x, space);
        } else {
            const float* box = font_main.box[c];
            const float advance = font_main.advance[c];
            text_state_colour(state, caller, imm_color);
            vertex(x, y + 1, box[0], box[1]);
            vertex(x, y, box[0], box[3]);
            vertex(x + advance, y, box[2], box[3]);
            vertex(x + advance, y + 1, box[2], box[1]);
            x += advance;
        }
    }
    bvglEnd();
}

float text_width(const char* text)
{
    const float space = font_main.advance[uint8_t(' ')];
    float x = 0, widest = 0;
    int state = 0;
    for (const char* p = text; p && *p;) {
        const auto c = static_cast<unsigned char>(*p);
        if (c == 27) {
            p = text_escape_apply(p, &state);
            continue;
        }
        ++p;
        if (c == '\r' || c == '\n')
            x = 0;
        else if (c == '\t')
            x = tab_stop(x, space);
        else
            x += font_main.advance[c];
        widest = std::max(widest, x);
    }
    return widest;
}

void text_draw(float r, float g, float b, float a, const char* text)
{
    if (drawable(text))
        text_draw_raw(r, g, b, a, text, text_state_caller_colour);
}

void text_draw_white(const char* text)
{
    text_draw(1, 1, 1, 1, text);
}

void text_draw_shadowed(float r, float g, float b, float a, const char* text)
{
    if (!drawable(text))
        return;
    bvglPushMatrix();
    bvglTranslatef(0.0625f, -0.0625f, 0);
    text_draw_raw(0, 0, 0, a / 2, text, text_state_caller_colour | text_state_shadow);
    bvglPopMatrix();
    text_draw_raw(r, g, b, a, text, text_state_caller_colour);
}

void text_draw_grey_shadowed(const char* text)
{
    if (!drawable(text))
        return;
    bvglPushMatrix();
    bvglTranslatef(0.0625f, -0.0625f, 0);
    text_draw_raw(0, 0, 0, 0.5f, text, text_state_caller_colour | text_state_shadow);
    bvglPopMatrix();
    text_draw_raw(0.75f, 0.75f, 0.75f, 1, text, text_state_caller_colour);
}

void text_draw_centered_plain(float r, float g, float b, float a, float x0, float x1, const char* text)
{
    if (!drawable(text))
        return;
    bvglPushMatrix();
    bvglTranslatef(x0 + (x1 - x0 - text_width(text)) / 2, 0, 0);
    text_draw(r, g, b, a, text);
    bvglPopMatrix();
}

void text_draw_centered(float r, float g, float b, float a, float x0, float x1, const char* text)
{
    if (!drawable(text))
        return;
    bvglPushMatrix();
    bvglTranslatef(x0 + (x1 - x0 - text_width(text)) / 2, 0, 0);
    text_draw_shadowed(r, g, b, a, text);
    bvglPopMatrix();
}

void text_draw_right(float r, float g, float b, float a, float x, const char* text)
{
    if (!drawable(text))
        return;
    bvglPushMatrix();
    bvglTranslatef(x - text_width(text), 0, 0);
    text_draw_shadowed(r, g, b, a, text);
    bvglPopMatrix();
}
