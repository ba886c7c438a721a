#include "artwork.h"

#include <cmath>
#include <string>

namespace {

constexpr float pi = 3.14159265358979f;
constexpr colour transparent = {1, 1, 1, 0};

colour mix(colour a, colour b, float t)
{
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t, a.a + (b.a - a.a) * t};
}

void centred_text(canvas& c, const glyph_set& glyphs, const std::string& s, float cx, float cy, int scale, colour col)
{
    const int w = canvas::text_width(glyphs, s, scale);
    c.text(glyphs, s, static_cast<int>(std::lround(cx - w / 2.0f)),
           static_cast<int>(std::lround(cy - glyph_cap_rows * scale / 2.0f)), scale, col);
}

}  // namespace

canvas title_picture(const glyph_set& glyphs)
{
    const int w = 1024, h = 512, horizon = 330;
    canvas c(w, h, {0, 0, 0, 1});
    const colour zenith = {0.08f, 0.20f, 0.48f, 1}, low_sky = {0.96f, 0.62f, 0.32f, 1};
    for (int y = 0; y < horizon + 40; ++y)
        c.rectangle(0, static_cast<float>(y), static_cast<float>(w), y + 1.0f,
                    mix(zenith, low_sky, std::pow(std::min(y / float(horizon), 1.0f), 1.6f)));
    c.disc(760, 300, 90, {1, 0.80f, 0.45f, 0.25f});
    c.disc(760, 300, 58, {1, 0.88f, 0.58f, 1});

    // Far hills, then the dirt of the track with its jumps.
    auto far_hills = [](float x) { return 318 - 26 * std::sin(x / 97) - 14 * std::sin(x / 41 + 1.3f); };
    c.fill(0, 250, w, h, {0.30f, 0.22f, 0.24f, 1}, [&](float x, float y) { return y >= far_hills(x); });
    auto track = [](float x) {
        float y = 372 - 8 * std::sin(x / 150);
        // Each jump: a steep face up to its lip, a longer landing down the far side.
        for (float jump : {180.0f, 470.0f, 830.0f}) {
            const float reach = x < jump ? 70.0f : 110.0f;
            const float d = std::fabs(x - jump);
            if (d < reach)
                y -= 42 * (1 - d / reach);
        }
        return y;
    };
    c.fill(0, 300, w, h, {0.46f, 0.29f, 0.16f, 1}, [&](float x, float y) { return y >= track(x); });
    c.fill(0, 300, w, h, {0.36f, 0.22f, 0.12f, 1}, [&](float x, float y) { return y >= track(x) + 14; });
    for (int i = 0; i < 9; ++i) {
        const float y = 420.0f + i * 11;
        c.bar(0, y, static_cast<float>(w), y + 6, 2, {0.30f, 0.18f, 0.10f, 0.6f});
    }

    const std::string name = "BROVANTA";
    const int scale = 12, text_w = canvas::text_width(glyphs, name, scale);
    const int x = (w - text_w) / 2, y = 70;
    c.text(glyphs, name, x + 7, y + 7, scale, {0, 0, 0, 0.55f});
    c.text(glyphs, name, x, y, scale, {1, 0.96f, 0.86f, 1});
    centred_text(c, glyphs, "MOTOCROSS", w / 2.0f, 196, 4, {1, 0.96f, 0.86f, 0.9f});
    return c;
}

canvas tachometer_dial(const glyph_set& glyphs)
{
    const float cx = 128, cy = 128;
    canvas c(256, 256, transparent);
    c.disc(cx, cy, 126, {0.72f, 0.73f, 0.76f, 1});
    c.disc(cx, cy, 119, {0.07f, 0.07f, 0.09f, 1});
    // The needle turns clockwise from -135 degrees (0 rpm) to +135 degrees (16000 rpm).
    auto direction = [](float thousands) { return (thousands * 16.875f - 135) * pi / 180; };
    auto at = [&](float thousands, float radius, float* x, float* y) {
        const float a = direction(thousands);
        *x = cx + radius * std::sin(a);
        *y = cy - radius * std::cos(a);
    };
    c.fill(0, 0, 256, 256, {0.85f, 0.08f, 0.06f, 1}, [&](float x, float y) {
        const float d = std::hypot(x - cx, y - cy);
        const float a = std::atan2(x - cx, cy - y);
        return d >= 103 && d < 116 && a >= direction(13) && a <= direction(16);
    });
    for (int half = 0; half <= 32; ++half) {
        const float k = half / 2.0f;
        const bool major = half % 2 == 0;
        float x0, y0, x1, y1;
        at(k, major ? 98 : 106, &x0, &y0);
        at(k, 116, &x1, &y1);
        c.bar(x0, y0, x1, y1, major ? 3.5f : 1.5f, {0.95f, 0.95f, 0.92f, 1});
        if (major && half % 4 == 0) {
            float lx, ly;
            at(k, 80, &lx, &ly);
            centred_text(c, glyphs, std::to_string(half / 2), lx, ly, 2, {0.95f, 0.95f, 0.92f, 1});
        }
    }
    centred_text(c, glyphs, "RPM", cx, cy + 42, 2, {0.6f, 0.6f, 0.62f, 1});
    centred_text(c, glyphs, "x1000", cx, cy + 62, 1, {0.6f, 0.6f, 0.62f, 1});
    c.disc(cx, cy, 11, {0.55f, 0.55f, 0.58f, 1});
    c.disc(cx, cy, 5, {0.2f, 0.2f, 0.22f, 1});
    return c;
}

canvas shifter_grid(const glyph_set& glyphs)
{
    // Cell g (column g mod 3, row g / 3) shows gear index g; indices 0..5 are gears 1..6.
    canvas c(256, 256, transparent);
    const float cell = 256 / 3.0f;
    for (int g = 0; g < 9; ++g) {
        const float x0 = (g % 3) * cell, y0 = (g / 3) * cell;
        c.rounded_rectangle(x0 + 5, y0 + 5, x0 + cell - 5, y0 + cell - 5, 12, {0.75f, 0.76f, 0.80f, 0.9f});
        c.rounded_rectangle(x0 + 8, y0 + 8, x0 + cell - 8, y0 + cell - 8, 10, {0.06f, 0.06f, 0.08f, 0.92f});
        if (g > 5)
            continue;
        centred_text(c, glyphs, std::to_string(g + 1), x0 + cell / 2, y0 + cell / 2 - 4, 6, {1, 0.92f, 0.3f, 1});
        for (int i = 0; i < 6; ++i)
            c.disc(x0 + cell / 2 + (i - 2.5f) * 9, y0 + cell - 17, 2.6f,
                   i == g ? colour{1, 0.92f, 0.3f, 1} : colour{0.4f, 0.4f, 0.45f, 1});
    }
    return c;
}

canvas pitboard(const glyph_set& glyphs)
{
    // The board fills rows 48..224, the part the HUD shows; the HUD writes on it in
    // black, so the face is light inside a dark frame.
    canvas c(256, 256, transparent);
    c.rounded_rectangle(4, 50, 252, 222, 10, {0.16f, 0.16f, 0.18f, 1});
    c.rounded_rectangle(9, 55, 247, 217, 7, {0.93f, 0.93f, 0.9f, 1});
    for (float x : {20.0f, 236.0f})
        for (float y : {66.0f, 206.0f})
            c.disc(x, y, 3, {0.55f, 0.55f, 0.55f, 1});
    c.bar(28, 198, 228, 198, 1.5f, {0.35f, 0.35f, 0.38f, 1});
    centred_text(c, glyphs, "PIT", 128, 208, 1, {0.35f, 0.35f, 0.38f, 1});
    return c;
}
