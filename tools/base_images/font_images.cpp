#include "font_images.h"

#include <algorithm>
#include <string>

namespace {

constexpr uint8_t marker[4] = {255, 0, 255, 255};
constexpr uint8_t clear[4] = {255, 255, 255, 0};

struct sheet {
    rgba_image image;
    sheet(int w, int h)
    {
        image.w = w;
        image.h = h;
        image.pixels.resize(static_cast<size_t>(w) * h * 4);
        for (int i = 0; i < w * h; ++i)
            std::copy(clear, clear + 4, image.pixels.begin() + i * 4);
    }
    void set(int x, int y, const uint8_t c[4])
    {
        std::copy(c, c + 4, image.pixels.begin() + (static_cast<size_t>(y) * image.w + x) * 4);
    }
};

// Main font: each design pixel is 4 x 4 texels; a cell is the glyph plus 2 texels on
// each side, 48 texels high with the glyph 6 texels below the cell's top line.
constexpr int scale = 4;
constexpr int cell_height = 48;
constexpr int glyph_top = 6;
constexpr int cells_per_row = 16;

int cell_width(const glyph& g)
{
    return g.width * scale + 4;
}

}  // namespace

rgba_image main_font_image(const glyph_set& glyphs)
{
    std::string characters;
    for (char c = '!'; c <= '~'; ++c)
        characters += c;
    const int rows = (static_cast<int>(characters.size()) + cells_per_row - 1) / cells_per_row;
    int widest = 0;
    for (int r = 0; r < rows; ++r) {
        int w = 0;
        for (int i = r * cells_per_row; i < std::min<int>((r + 1) * cells_per_row, characters.size()); ++i)
            w += cell_width(glyphs.at(characters[i]));
        widest = std::max(widest, w);
    }
    // The last mark of the widest row must lie inside the image.
    sheet s(widest + 1, rows * cell_height);
    const uint8_t ink[4] = {255, 255, 255, 255};
    for (int r = 0; r < rows; ++r) {
        const int top = r * cell_height;
        s.set(0, top, marker);
        int x = 0;
        for (int i = r * cells_per_row; i < std::min<int>((r + 1) * cells_per_row, characters.size()); ++i) {
            const glyph& g = glyphs.at(characters[i]);
            for (int gy = 0; gy < glyph_rows; ++gy)
                for (int gx = 0; gx < g.width; ++gx)
                    if (g.ink(gx, gy))
                        for (int py = 0; py < scale; ++py)
                            for (int px = 0; px < scale; ++px)
                                s.set(x + 2 + gx * scale + px, top + glyph_top + gy * scale + py, ink);
            x += cell_width(g);
            s.set(x, top, marker);
        }
    }
    return s.image;
}

rgba_image digit_font_image(const glyph_set& glyphs, bool condensed)
{
    // Design pixels of 8 (normal) or 4 (condensed) texels across, 8 down; a 3-texel
    // outline; the cell 64 texels high.
    const int sx = condensed ? 4 : 8, sy = 8, outline = 3;
    const int glyph_w = 5 * sx, glyph_h = glyph_cap_rows * sy;
    const int cell_w = glyph_w + 2 * outline + 2, cell_h = 1 + outline + glyph_h + outline + 1;
    sheet s(10 * cell_w + 1, cell_h);
    const uint8_t black[4] = {0, 0, 0, 255}, white[4] = {255, 255, 255, 255};
    s.set(0, 0, marker);
    for (int d = 0; d < 10; ++d) {
        const glyph& g = glyphs.at(static_cast<char>('0' + d));
        const int left = d * cell_w + 1 + outline + (glyph_w - g.width * sx) / 2, top = 1 + outline;
        auto ink_at = [&](int x, int y) {
            const int gx = (x - left) / sx, gy = (y - top) / sy;
            return x >= left && y >= top && gx < g.width && gy < glyph_cap_rows && g.ink(gx, gy);
        };
        for (int y = 1; y < cell_h; ++y)
            for (int x = d * cell_w + 1; x < (d + 1) * cell_w; ++x) {
                if (ink_at(x, y)) {
                    s.set(x, y, black);
                    continue;
                }
                bool near = false;
                for (int oy = -outline; oy <= outline && !near; ++oy)
                    for (int ox = -outline; ox <= outline && !near; ++ox)
                        near = ink_at(x + ox, y + oy);
                if (near)
                    s.set(x, y, white);
            }
        s.set((d + 1) * cell_w, 0, marker);
    }
    return s.image;
}
