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
    for (int y = 6; y < 30; ++y)
        for (int x = 17; x < 58; ++x) {
            float r = 240, g = 240, b = 240;
            if (name == "flag_green")
                r = 30, g = 170, b = 60;
            else if (name == "flag_yellow")
                r = 250, g = 215, b = 20;
            else if (name == "flag_chequered" && ((x / 6 + y / 6) % 2))
                r = g = b = 15;
            put(p, x, y, r, g, b);
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

std::string ppm_bytes(const picture& p)
{
    std::string out = "P6\n" + std::to_string(p.w) + " " + std::to_string(p.h) + "\n255\n";
    out.append(p.pixels.begin(), p.pixels.end());
    return out;
}
