// Drawn from simple shapes and the tiling noise: the same bytes every build.
#include "object_pictures.h"

#include "ground.h"

#include <cmath>

namespace {

constexpr int kSide = 64;

picture square(int channels)
{
    return blank(kSide, kSide, channels);
}

float noise(int x, int y, uint32_t seed)
{
    return tiling_noise(float(x) / 4, float(y) / 4, 0, seed);
}

// A flag on a pole held up at the left: colours by name, chequered for the finish.
void draw_flag(picture& p, const std::string& name)
{
    for (int y = 4; y < 60; ++y)
        for (int x = 14; x < 17; ++x)
            put(p, x, y, 90, 90, 90);
    // The second frame of the waved flag hangs lower.
    const int drop = name == "flag_yellow_waved" ? 8 : 0;
    for (int y = 6 + drop; y < 30 + drop; ++y)
        for (int x = 17; x < 58; ++x) {
            float r = 240, g = 240, b = 240;
            if (name == "flag_green")
                r = 30, g = 170, b = 60;
            else if (name.rfind("flag_yellow", 0) == 0)
                r = 250, g = 215, b = 20;
            else if (name == "flag_chequered" && ((x / 6 + y / 6) % 2))
                r = g = b = 15;
            put(p, x, y, r, g, b);
        }
}

// The start marshal: a figure in an orange vest, its board held low, raised over the
// head or dropped to the side; walking (legs apart) or standing off without it.
void draw_starter(picture& p, const std::string& pose)
{
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x) {
            const float dx = (float(x) - 31.5f) / 31.5f, dy = float(y) / 63.0f;
            const float head = std::hypot(dx, (dy - 0.12f) * 1.5f);
            const float leg_spread = pose == "start_walk" ? 0.2f + 0.3f * (dy - 0.62f) : 0.1f;
            if (head < 0.12f)
                put(p, x, y, 220, 180, 150);
            else if (std::fabs(dx) < 0.22f && dy > 0.2f && dy < 0.62f)
                put(p, x, y, 245, 120, 20);
            else if (std::fabs(std::fabs(dx) - leg_spread) < 0.07f && dy >= 0.62f)
                put(p, x, y, 40, 50, 90);
        }
    int x0 = 0, y0 = 0, w = 0, h = 0;
    if (pose == "start_held")
        x0 = 34, y0 = 22, w = 22, h = 14;
    else if (pose == "start_raised")
        x0 = 21, y0 = 0, w = 22, h = 6;
    else if (pose == "start_dropped")
        x0 = 46, y0 = 30, w = 6, h = 22;
    for (int y = y0; y < y0 + h; ++y)
        for (int x = x0; x < x0 + w; ++x)
            put(p, x, y, 250, 250, 250);
}

// The lap board on a post: plain, or with two crossed flags (halfway).
void draw_lap_board(picture& p, const std::string& name)
{
    for (int y = 30; y < 64; ++y)
        for (int x = 30; x < 34; ++x)
            put(p, x, y, 90, 90, 90);
    for (int y = 6; y < 32; ++y)
        for (int x = 8; x < 56; ++x) {
            const bool cross = name == "lap_crossed" && (std::abs((x - 8) - (y - 6) * 48 / 26) < 3 ||
                                                         std::abs((55 - x) - (y - 6) * 48 / 26) < 3);
            if (cross)
                put(p, x, y, 200, 30, 30);
            else
                put(p, x, y, 30, 40, 60);
        }
}

}  // namespace

picture sprite_picture(const std::string& name)
{
    picture p = square(4);
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x) {
            const float dx = (float(x) - 31.5f) / 31.5f, dy = float(y) / 63.0f;   // dy 0 at the top
            const float n = noise(x, y, 21);
            if (name == "tree") {
                // A rounded crown on a trunk.
                const float cy = (dy - 0.4f) / 0.4f, crown = std::sqrt(dx * dx + cy * cy) + 0.2f * (n - 0.5f);
                if (crown < 0.9f)
                    put(p, x, y, 40 + 40 * n, 100 + 60 * n, 35 + 20 * n);
                else if (std::fabs(dx) < 0.1f && dy > 0.7f)
                    put(p, x, y, 95, 65, 40);
            } else if (name == "banner") {
                // A white banner with a dark stripe, coloured by its billboard line.
                if (dy > 0.3f && dy < 0.7f)
                    put(p, x, y, 235, 235, 235 - 30 * n);
                if (dy > 0.45f && dy < 0.55f && std::fabs(dx) < 0.8f)
                    put(p, x, y, 40, 40, 40);
            } else if (name == "marshal") {
                // A standing figure in an orange vest.
                const float head = std::hypot(dx, (dy - 0.12f) * 1.5f);
                if (head < 0.12f)
                    put(p, x, y, 220, 180, 150);
                else if (std::fabs(dx) < 0.22f && dy > 0.2f && dy < 0.62f)
                    put(p, x, y, 245, 120, 20);
                else if (std::fabs(std::fabs(dx) - 0.1f) < 0.07f && dy >= 0.62f)
                    put(p, x, y, 40, 50, 90);
            } else {
                (void)n;
            }
        }
    if (name.rfind("flag_", 0) == 0)
        draw_flag(p, name);
    else if (name.rfind("start_", 0) == 0)
        draw_starter(p, name);
    else if (name.rfind("lap_", 0) == 0)
        draw_lap_board(p, name);
    return p;
}

picture object_texture(const std::string& name)
{
    picture p = square(3);
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x) {
            const float n = noise(x, y, name == "hay" ? 31 : 41);
            if (name == "hay") {
                const float straw = 0.85f + 0.3f * n + 0.1f * std::sin(float(y) * 1.7f + 3 * n);
                put(p, x, y, 205 * straw, 175 * straw, 95 * straw);
            } else if (y > 24 && y < 40) {
                put(p, x, y, 235, 200 - 20 * n, 30);   // the drop bar
            } else {
                put(p, x, y, 120 + 25 * n, 125 + 25 * n, 135 + 25 * n);
            }
        }
    return p;
}

picture sign_picture(sign_map map)
{
    picture p = square(3);
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x) {
            const bool border = x < 4 || x >= kSide - 4 || y < 4 || y >= kSide - 4;
            const bool stripe = y > 26 && y < 38;
            if (map == sign_map::normal) {
                // The border stands out: its edges lean outwards.
                const float nx = x < 4 ? -60 : x >= kSide - 4 ? 60 : 0;
                const float ny = y < 4 ? 60 : y >= kSide - 4 ? -60 : 0;
                put(p, x, y, 128 + nx, 128 + ny, 230);
            } else if (map == sign_map::specular) {
                put(p, x, y, border ? 240 : 60, border ? 64 : 16, 0);   // the steel rim shines
            } else {
                const float n = noise(x, y, 51);
                if (border)
                    put(p, x, y, 150 + 30 * n, 150 + 30 * n, 160 + 30 * n);
                else if (stripe)
                    put(p, x, y, 200, 30 + 20 * n, 30);
                else
                    put(p, x, y, 240, 240, 230 - 20 * n);
            }
        }
    return p;
}

std::string ppm_bytes(const picture& p)
{
    std::string out = "P6\n" + std::to_string(p.w) + " " + std::to_string(p.h) + "\n255\n";
    out.append(p.pixels.begin(), p.pixels.end());
    return out;
}
