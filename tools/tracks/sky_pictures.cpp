#include "sky_pictures.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int kFace = 128;
constexpr float kPi = 3.14159265358979f;

// Corners 0, 1 and 3 of each face as the world drawing places them; texture
// coordinates run from 1/128 at corner 0 to 127/128 at corners 1 (down) and 3
// (across).
constexpr float kCorners[5][3][3] = {
    {{-1, 1, -1}, {-1, -1, -1}, {1, 1, -1}},   // north
    {{1, 1, -1}, {1, -1, -1}, {1, 1, 1}},      // east
    {{1, 1, 1}, {1, -1, 1}, {-1, 1, 1}},       // south
    {{-1, 1, 1}, {-1, -1, 1}, {-1, 1, -1}},    // west
    {{-1, 1, 1}, {-1, 1, -1}, {1, 1, 1}},      // up
};

struct rgb {
    float r, g, b;
};

rgb mix(rgb a, rgb b, float t)
{
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

// The hills' tone turns with the heading (from north, -z, through east, +x): green
// to the north, olive east, brown south, blue-grey west, blended between.
rgb hill_tone(float heading)
{
    const rgb tones[4] = {{70, 110, 60}, {120, 120, 60}, {130, 95, 65}, {85, 100, 120}};
    const float a = heading < 0 ? heading + 2 * kPi : heading;
    const float q = a / (kPi / 2);
    const int i = int(q) % 4;
    return mix(tones[i], tones[(i + 1) % 4], q - std::floor(q));
}

// The sky seen along a unit direction.
rgb sky_colour(const float d[3], const float sun[3], bool soft)
{
    const float elevation = std::asin(std::clamp(d[1], -1.0f, 1.0f));
    const float heading = std::atan2(d[0], -d[2]);
    const rgb zenith = {60, 110, 200}, horizon = {190, 215, 235}, ground = {90, 85, 70};
    rgb c = mix(horizon, zenith, std::pow(std::clamp(elevation / (kPi / 2), 0.0f, 1.0f), 0.6f));
    // Low hills: a few degrees high, rolling with the heading.
    const float hill = 0.035f + 0.025f * std::sin(3 * heading + 0.7f) + 0.012f * std::sin(7 * heading + 2.1f);
    if (elevation < hill)
        c = mix(hill_tone(heading), ground, std::clamp((hill - elevation) / 0.15f, 0.0f, 1.0f));
    const float cosine = d[0] * sun[0] + d[1] * sun[1] + d[2] * sun[2];
    const float angle = std::acos(std::clamp(cosine, -1.0f, 1.0f));
    if (soft)
        return mix(c, {255, 250, 235}, std::clamp(1 - angle / 0.35f, 0.0f, 1.0f));
    if (angle < 0.05f)
        return {255, 255, 255};
    // A glow round the disc.
    return mix(c, {255, 250, 235}, std::clamp(1 - (angle - 0.05f) / 0.2f, 0.0f, 1.0f) * 0.7f);
}

void unit(float v[3])
{
    const float l = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    for (int k = 0; k < 3; ++k)
        v[k] /= l;
}

}  // namespace

picture sky_face(int face, const float sun_in[3])
{
    float sun[3] = {sun_in[0], sun_in[1], sun_in[2]};
    unit(sun);
    picture p = blank(kFace, kFace, 3);
    const auto& c = kCorners[face];
    for (int y = 0; y < kFace; ++y)
        for (int x = 0; x < kFace; ++x) {
            // The texel centre, as a fraction of the way from corner 0.
            const float u = ((x + 0.5f) / kFace - 1.0f / 128) / (126.0f / 128);
            const float v = ((y + 0.5f) / kFace - 1.0f / 128) / (126.0f / 128);
            float d[3];
            for (int k = 0; k < 3; ++k)
                d[k] = c[0][k] + (c[2][k] - c[0][k]) * u + (c[1][k] - c[0][k]) * v;
            unit(d);
            const rgb s = sky_colour(d, sun, false);
            put(p, x, y, s.r, s.g, s.b);
        }
    return p;
}

picture sky_env(const float sun_in[3])
{
    float sun[3] = {sun_in[0], sun_in[1], sun_in[2]};
    unit(sun);
    constexpr int n = 64;
    picture p = blank(n, n, 3);
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            const float dx = (x + 0.5f) / n - 0.5f, dz = (y + 0.5f) / n - 0.5f;
            const float r = std::sqrt(dx * dx + dz * dz);
            const float theta = std::min(r * 2 * kPi, kPi);
            float d[3] = {0, std::cos(theta), 0};
            if (r > 0) {
                d[0] = dx / r * std::sin(theta);
                d[2] = dz / r * std::sin(theta);
            }
            const rgb s = sky_colour(d, sun, true);
            put(p, x, y, s.r, s.g, s.b);
        }
    return p;
}

picture flare_sprite(const std::string& name)
{
    constexpr int n = 64;
    picture p = blank(n, n, 4);
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            const float dx = (x + 0.5f) / n * 2 - 1, dy = (y + 0.5f) / n * 2 - 1;
            const float r = std::sqrt(dx * dx + dy * dy);
            float a = 0;
            if (name == "disc") {
                a = std::clamp(1 - r, 0.0f, 1.0f);
                a *= a;
            } else if (name == "ring") {
                a = std::clamp(1 - std::fabs(r - 0.75f) / 0.15f, 0.0f, 1.0f);
            } else {
                // A regular hexagon: the largest of the distances along three axes.
                const float s = 0.8660254f;
                const float h = std::max({std::fabs(dx), std::fabs(0.5f * dx + s * dy), std::fabs(0.5f * dx - s * dy)});
                a = std::clamp((0.85f - h) / 0.1f, 0.0f, 1.0f) * 0.8f;
            }
            put(p, x, y, 255, 255, 255, a * 255);
        }
    return p;
}
