#include "map_picture.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr float kTileColours[3][3] = {{132, 96, 64}, {104, 76, 52}, {70, 122, 46}};

// Pixel (px, py) of a side x side map samples the ground at its centre.
void fill(picture& p, const ground& g, const std::vector<uint8_t>* lit)
{
    const float extent = float(g.size - 1) * g.cell;
    for (int py = 0; py < p.h; ++py)
        for (int px = 0; px < p.w; ++px) {
            const float x = (float(px) + 0.5f) / float(p.w) * extent;
            const float z = (float(py) + 0.5f) / float(p.h) * extent;
            const int col = std::clamp(int(x / (2 * g.cell)), 0, g.tiles_side - 1);
            const int row = std::clamp(int(z / (2 * g.cell)), 0, g.tiles_side - 1);
            const float* c = kTileColours[std::min<int>(g.tiles[size_t(row) * g.tiles_side + col], 2)];
            float shade = 1;
            if (lit) {
                const int i = std::clamp(int(x / g.cell + 0.5f), 0, g.size - 1);
                const int j = std::clamp(int(z / g.cell + 0.5f), 0, g.size - 1);
                shade = 0.55f + 0.45f * float((*lit)[size_t(j) * g.size + i]) / 255.0f;
            }
            put(p, px, py, c[0] * shade, c[1] * shade, c[2] * shade, 128);
        }
}

}  // namespace

picture map_picture(const ground& g, const std::vector<uint8_t>& lit, const std::vector<centre_sample>& line,
                    int side)
{
    picture p = blank(side, side, 4);
    fill(p, g, &lit);
    const float per_pixel = float(side) / (float(g.size - 1) * g.cell);
    // The course: every pixel within half the width of a centreline sample is opaque.
    for (const centre_sample& s : line) {
        const float cx = s.x * per_pixel, cz = s.z * per_pixel, r = s.width * 0.5f * per_pixel;
        for (int py = std::max(0, int(cz - r)); py <= std::min(side - 1, int(cz + r) + 1); ++py)
            for (int px = std::max(0, int(cx - r)); px <= std::min(side - 1, int(cx + r) + 1); ++px)
                if (std::hypot(float(px) + 0.5f - cx, float(py) + 0.5f - cz) <= r)
                    p.pixels[(size_t(py) * side + px) * 4 + 3] = 255;
    }
    // The centreline in light sand over it.
    for (const centre_sample& s : line) {
        const int px = int(s.x * per_pixel), py = int(s.z * per_pixel);
        if (px >= 0 && px < side && py >= 0 && py < side)
            put(p, px, py, 225, 205, 160, 255);
    }
    return p;
}

picture map_picture_plain(const ground& g, int side)
{
    picture p = blank(side, side, 4);
    fill(p, g, nullptr);
    return p;
}
