// Bitmap fonts and text. All text is drawn with the main font as textured quads in
// text units (one line is one unit high; the caller places and scales it with the
// modelview matrix). Texts may carry colour escapes ESC [ params m: 0 default,
// 1 bright, 22 normal, 30..37 text colours, 40..47 drop-shadow colours. Two digit
// fonts exist as pixels only and are drawn in software into number plates.
#pragma once
#include <cstdint>

struct font {
    uint32_t texture;     // GL texture (main font only)
    uint8_t* pixels;      // RGBA chain (digit fonts keep theirs)
    int32_t width;
    int32_t height;
    float box[256][4];    // left, top, right, bottom in texture coordinates
    float advance[256];   // cell width / cell height
};

extern font font_main;
extern font font_digits;
extern font font_digits_condensed;

// The 16 escape colours; index = colour | 8 for bright.
extern const float text_palette[16][3];

// Draw state bits.
inline constexpr int text_state_bright = 8;
inline constexpr int text_state_caller_colour = 16;
inline constexpr int text_state_shadow = 32;

void fonts_load();
void fonts_free();
// Reads an RGBA font image and finds its cells; 1, or 0 (console line) when it cannot
// be read. The characters take the cells in order.
int font_load(font* f, const char* name, const char* characters);

// Test seam: when set, every text drawn (not its shadow pass) is reported with the
// caller's colour and the point the modelview puts its origin at.
extern void (*text_capture)(const char* text, const float colour[4], const float origin[3]);

void text_draw(float r, float g, float b, float a, const char* text);
void text_draw_white(const char* text);
void text_draw_shadowed(float r, float g, float b, float a, const char* text);
void text_draw_grey_shadowed(const char* text);
void text_draw_centered_plain(float r, float g, float b, float a, float x0, float x1, const char* text);
void text_draw_centered(float r, float g, float b, float a, float x0, float x1, const char* text);
void text_draw_right(float r, float g, float b, float a, float x, const char* text);
// The widest line's width in text units; 0 for an empty text.
float text_width(const char* text);

// Inside the text drawing: one pass over the text in the given start state.
void text_draw_raw(float r, float g, float b, float a, const char* text, int state);
// At an ESC: applies an ESC [ ... m sequence to *state and returns the first byte
// after the sequence (ESC, '[', then up to and including a byte in '@'..'~').
const char* text_escape_apply(const char* p, int* state);
// The colour a glyph takes in a state, from the caller's colour.
void text_state_colour(int state, const float caller[4], float out[4]);

// Draws text with the digit fonts into an RGBA image (the condensed digits when the
// text is wider than 9/8 of the image).
void font_render_number(uint8_t* image, int w, int h, float r, float g, float b, float a, const char* text);
// Pixel size of a text in a font's base image (escapes skipped).
void font_text_pixels(const font* f, const char* text, int* w, int* h);
