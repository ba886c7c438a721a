#include "canvas.h"

#include <algorithm>
#include <cmath>

canvas::canvas(int w, int h, colour fill) : w_(w), h_(h), texels_(static_cast<size_t>(w) * h, fill) {}

void canvas::blend(int x, int y, colour c, float coverage)
{
    if (x < 0 || y < 0 || x >= w_ || y >= h_ || coverage <= 0)
        return;
    colour& d = texels_[static_cast<size_t>(y) * w_ + x];
    const float a = c.a * std::min(coverage, 1.0f);
    const float out = a + d.a * (1 - a);
    if (out <= 0) {
        // Fully transparent stays white so filtering never darkens edges.
        d = {1, 1, 1, 0};
        return;
    }
    d.r = (c.r * a + d.r * d.a * (1 - a)) / out;
    d.g = (c.g * a + d.g * d.a * (1 - a)) / out;
    d.b = (c.b * a + d.b * d.a * (1 - a)) / out;
    d.a = out;
}

void canvas::fill(float x0, float y0, float x1, float y1, colour c, const std::function<bool(float, float)>& inside)
{
    const int ix0 = std::max(0, static_cast<int>(std::floor(x0))), iy0 = std::max(0, static_cast<int>(std::floor(y0)));
    const int ix1 = std::min(w_, static_cast<int>(std::ceil(x1))), iy1 = std::min(h_, static_cast<int>(std::ceil(y1)));
    for (int y = iy0; y < iy1; ++y)
        for (int x = ix0; x < ix1; ++x) {
            int hits = 0;
            for (int sy = 0; sy < 4; ++sy)
                for (int sx = 0; sx < 4; ++sx)
                    hits += inside(x + (sx + 0.5f) / 4, y + (sy + 0.5f) / 4);
            blend(x, y, c, hits / 16.0f);
        }
}

void canvas::rectangle(float x0, float y0, float x1, float y1, colour c)
{
    fill(x0, y0, x1, y1, c, [&](float x, float y) { return x >= x0 && x < x1 && y >= y0 && y < y1; });
}

void canvas::disc(float cx, float cy, float radius, colour c)
{
    ring(cx, cy, -1, radius, c);
}

void canvas::ring(float cx, float cy, float inner, float outer, colour c)
{
    fill(cx - outer, cy - outer, cx + outer, cy + outer, c, [&](float x, float y) {
        const float d = std::hypot(x - cx, y - cy);
        return d < outer && d >= inner;
    });
}

void canvas::bar(float x0, float y0, float x1, float y1, float thickness, colour c)
{
    const float dx = x1 - x0, dy = y1 - y0, length = std::hypot(dx, dy);
    if (length <= 0)
        return;
    const float half = thickness / 2;
    fill(std::min(x0, x1) - half, std::min(y0, y1) - half, std::max(x0, x1) + half, std::max(y0, y1) + half, c,
         [&](float x, float y) {
             const float along = ((x - x0) * dx + (y - y0) * dy) / length;
             const float across = std::fabs((x - x0) * dy - (y - y0) * dx) / length;
             return along >= 0 && along <= length && across <= half;
         });
}

void canvas::rounded_rectangle(float x0, float y0, float x1, float y1, float radius, colour c)
{
    fill(x0, y0, x1, y1, c, [&](float x, float y) {
        const float qx = std::max({x0 + radius - x, 0.0f, x - (x1 - radius)});
        const float qy = std::max({y0 + radius - y, 0.0f, y - (y1 - radius)});
        return x >= x0 && x < x1 && y >= y0 && y < y1 && qx * qx + qy * qy <= radius * radius;
    });
}

int canvas::text_width(const glyph_set& glyphs, const std::string& s, int scale)
{
    int w = 0;
    for (char ch : s) {
        auto it = glyphs.find(ch);
        w += ((it == glyphs.end() ? 3 : it->second.width) + 1) * scale;
    }
    return s.empty() ? 0 : w - scale;
}

int canvas::text(const glyph_set& glyphs, const std::string& s, int x, int y, int scale, colour c)
{
    const int start = x;
    for (char ch : s) {
        auto it = glyphs.find(ch);
        if (it == glyphs.end()) {
            x += 4 * scale;
            continue;
        }
        const glyph& g = it->second;
        for (int gy = 0; gy < glyph_rows; ++gy)
            for (int gx = 0; gx < g.width; ++gx)
                if (g.ink(gx, gy))
                    for (int py = 0; py < scale; ++py)
                        for (int px = 0; px < scale; ++px)
                            blend(x + gx * scale + px, y + gy * scale + py, c);
        x += (g.width + 1) * scale;
    }
    return x - start;
}

namespace {

uint8_t byte(float v)
{
    return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255));
}

}  // namespace

std::vector<uint8_t> canvas::rgba() const
{
    std::vector<uint8_t> out;
    out.reserve(texels_.size() * 4);
    for (const colour& c : texels_)
        out.insert(out.end(), {byte(c.r), byte(c.g), byte(c.b), byte(c.a)});
    return out;
}

std::vector<uint8_t> canvas::rgb() const
{
    std::vector<uint8_t> out;
    out.reserve(texels_.size() * 3);
    for (const colour& c : texels_)
        out.insert(out.end(), {byte(c.r * c.a), byte(c.g * c.a), byte(c.b * c.a)});
    return out;
}
