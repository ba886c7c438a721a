// Drawing the track pictures from deterministic noise: the same bytes every build.
#include "track_images.h"

#include "ground.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int kTile = 128;

// Noise that repeats over the tile: octaves of periods 4, 8, 16 and 32 cells.
float fractal(float x, float z, uint32_t seed)
{
    float sum = 0, weight = 0, amplitude = 1;
    for (int period = 4; period <= 32; period *= 2) {
        const float scale = float(period) / float(kTile);
        sum += amplitude * tiling_noise(x * scale, z * scale, period, seed + uint32_t(period));
        weight += amplitude;
        amplitude *= 0.55f;
    }
    return sum / weight;
}


}  // namespace

namespace {

uint8_t byte(float v)
{
    return uint8_t(std::clamp(v, 0.0f, 255.0f) + 0.5f);
}

}  // namespace

void put(picture& p, int x, int y, float r, float g, float b, float a)
{
    uint8_t* px = &p.pixels[(size_t(y) * p.w + x) * size_t(p.channels)];
    px[0] = byte(r);
    px[1] = byte(g);
    px[2] = byte(b);
    if (p.channels == 4)
        px[3] = byte(a);
}

picture blank(int w, int h, int channels)
{
    picture p;
    p.w = w;
    p.h = h;
    p.channels = channels;
    p.pixels.assign(size_t(w) * h * channels, 0);
    return p;
}

picture tile_picture(tile_look look)
{
    picture p = blank(kTile, kTile, 3);
    for (int y = 0; y < kTile; ++y)
        for (int x = 0; x < kTile; ++x) {
            const float n = fractal(float(x), float(y), 100);
            const float grain = tiling_noise(float(x) * 0.5f, float(y) * 0.5f, kTile / 2, 7);
            switch (look) {
            case tile_look::dirt: {
                // Loose brown earth with lighter clods.
                const float v = 0.75f + 0.35f * n + (grain > 0.8f ? 0.2f : 0.0f);
                put(p, x, y, 132 * v, 96 * v, 64 * v);
                break;
            }
            case tile_look::packed_dirt: {
                // Darker, smoother, with faint tyre lines along the ground.
                const float lines = 0.06f * std::sin(float(x) * 6.2831853f * 6 / kTile + 4 * n);
                const float v = 0.8f + 0.2f * n + lines;
                put(p, x, y, 104 * v, 76 * v, 52 * v);
                break;
            }
            case tile_look::grass: {
                const float blades = tiling_noise(float(x) * 0.9f, float(y) * 0.25f, 0, 9) > 0.7f ? 0.15f : 0.0f;
                const float v = 0.7f + 0.35f * n + blades;
                put(p, x, y, 70 * v, 122 * v, 46 * v);
                break;
            }
            }
        }
    return p;
}

picture decal_picture(const std::string& name)
{
    if (name == "finish_line") {
        // Chequered squares four across the band's height, alpha-soft at the ends.
        picture p = blank(32, 128, 4);
        for (int y = 0; y < p.h; ++y)
            for (int x = 0; x < p.w; ++x) {
                const bool white = ((x / 16) + (y / 16)) % 2 == 0;
                const float wear = 0.85f + 0.15f * tiling_noise(float(x) / 4, float(y) / 4, 0, 3);
                const float v = (white ? 235.0f : 25.0f) * wear;
                put(p, x, y, v, v, v, 230);
            }
        return p;
    }
    // A white stripe with worn edges.
    picture p = blank(16, 128, 4);
    for (int y = 0; y < p.h; ++y)
        for (int x = 0; x < p.w; ++x) {
            const float edge = std::min(float(x) + 0.5f, float(p.w - x) - 0.5f) / 3.0f;
            const float wear = tiling_noise(float(x) / 3, float(y) / 3, 0, 4);
            const float alpha = 240.0f * std::clamp(edge, 0.0f, 1.0f) * (wear > 0.25f ? 1.0f : 0.5f);
            put(p, x, y, 245, 245, 240, alpha);
        }
    return p;
}

picture decal_normal_map(const std::string& name)
{
    const picture colour = decal_picture(name);
    picture p = blank(colour.w, colour.h, 3);
    // Paint is a little proud of the ground: its edges tilt outwards.
    auto alpha = [&](int x, int y) {
        x = std::clamp(x, 0, colour.w - 1);
        y = std::clamp(y, 0, colour.h - 1);
        return float(colour.pixels[(size_t(y) * colour.w + x) * 4 + 3]) / 255.0f;
    };
    for (int y = 0; y < p.h; ++y)
        for (int x = 0; x < p.w; ++x) {
            const float gx = (alpha(x + 1, y) - alpha(x - 1, y)) * -0.5f;
            const float gy = (alpha(x, y + 1) - alpha(x, y - 1)) * -0.5f;
            const float nz = std::sqrt(std::max(0.0f, 1 - gx * gx - gy * gy));
            put(p, x, y, 128 + 127 * gx, 128 + 127 * gy, 128 + 127 * nz);
        }
    return p;
}

picture decal_specular_map(const std::string& name)
{
    const picture colour = decal_picture(name);
    picture p = blank(colour.w, colour.h, 3);
    for (int y = 0; y < p.h; ++y)
        for (int x = 0; x < p.w; ++x) {
            const float paint = float(colour.pixels[(size_t(y) * colour.w + x) * 4 + 3]) / 255.0f;
            put(p, x, y, 90 * paint, 40, 0);
        }
    return p;
}

picture roost_picture()
{
    picture p = blank(32, 32, 4);
    for (int y = 0; y < p.h; ++y)
        for (int x = 0; x < p.w; ++x) {
            const float dx = (float(x) - 15.5f) / 15.5f, dz = (float(y) - 15.5f) / 15.5f;
            const float r = std::sqrt(dx * dx + dz * dz) + 0.25f * (tiling_noise(float(x) / 4, float(y) / 4, 0, 5) - 0.5f);
            const float alpha = 255.0f * std::clamp((1.0f - r) * 3.0f, 0.0f, 1.0f);
            const float v = 0.8f + 0.3f * tiling_noise(float(x) / 2, float(y) / 2, 0, 6);
            put(p, x, y, 120 * v, 88 * v, 58 * v, alpha);
        }
    return p;
}
