// Laying a course into the ground. The natural land is hills plus a little
// roughness; along the centreline the track surface follows that land smoothed,
// plus the rise and the features of each stretch; across it the track is flat
// (banked on the outside of berms), with a low mound at its edges, and blends back
// into the land over a shoulder.
#include "ground.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr float kShoulder = 14.0f;   // feet from the track edge back to the land
constexpr float kEdgeMound = 0.9f;   // feet
// A steep wall stands at the ground's border: a rider at full speed hits its foot and
// stops there instead of riding off the world, where a gentle climb would need to be
// hundreds of feet high and would fill the sky behind the course. It is a power of two
// wide, so the terrain's detail level of that size holds its ramp exactly and no
// finer one is drawn along the border. A rider at 97 mph gets within a foot of the
// border over a 28 ft wall, and about 8 ft short of it at this height. Its top also
// sets the height samples' 16-bit step over the whole ground, which the robots' races
// on the course follow down to a few thousandths of a foot.
constexpr float kRimWidth = 8.0f;    // feet in from the border
constexpr float kRimHeight = 44.0f;  // feet at the border

float smoothstep(float t)
{
    t = std::clamp(t, 0.0f, 1.0f);
    return t * t * (3 - 2 * t);
}

uint32_t hash(int32_t x, int32_t z, uint32_t seed)
{
    uint32_t h = uint32_t(x) * 0x8da6b343u ^ uint32_t(z) * 0xd8163841u ^ seed * 0xcb1ab31fu;
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    h ^= h >> 15;
    return h;
}

float lattice(int32_t x, int32_t z, uint32_t seed)
{
    return float(hash(x, z, seed) & 0xffffff) / float(0xffffff);
}

// Smooth value noise, 0..1, features about one unit apart.
float value_noise(float x, float z, uint32_t seed, int period)
{
    const float fx = std::floor(x), fz = std::floor(z);
    const int32_t ix = int32_t(fx), iz = int32_t(fz);
    const float u = smoothstep(x - fx), v = smoothstep(z - fz);
    auto at = [&](int32_t a, int32_t b) {
        if (period > 0) {
            a = ((a % period) + period) % period;
            b = ((b % period) + period) % period;
        }
        return lattice(a, b, seed);
    };
    const float top = at(ix, iz) + (at(ix + 1, iz) - at(ix, iz)) * u;
    const float bottom = at(ix, iz + 1) + (at(ix + 1, iz + 1) - at(ix, iz + 1)) * u;
    return top + (bottom - top) * v;
}

float natural(const course& c, float x, float z)
{
    float h = 12.0f;
    for (const hill& k : c.hills) {
        const float r = std::hypot(x - k.x, z - k.z) / k.radius;
        if (r < 1.0f) {
            const float s = std::cos(r * 1.5707964f);
            h += k.height * s * s;
        }
    }
    h += 3.0f * value_noise(x / 150.0f, z / 150.0f, 11, 0);
    h += 1.2f * value_noise(x / 45.0f, z / 45.0f, 12, 0);
    h += 0.25f * value_noise(x / 9.0f, z / 9.0f, 13, 0);
    const float side = float(1 << (c.n + 1)) * c.cell;
    const float inside = std::min(std::min(x, z), std::min(side - x, side - z));
    if (inside < kRimWidth) {
        const float t = 1 - std::max(inside, 0.0f) / kRimWidth;
        h += kRimHeight * t;
    }
    return h;
}

// Height a feature adds at a place `along` feet into its stretch of `length`.
float feature_height(const control_point& p, float along, float length)
{
    const float h = p.amount;
    switch (p.kind) {
    case feature::table: {
        const float x = along - 0.5f * (length - 57.0f);
        if (x < 0 || x > 57)
            return 0;
        if (x < 12)
            return h * (x / 12) * (x / 12);
        if (x < 32)
            return h;
        return h * (1 - smoothstep((x - 32) / 25));
    }
    case feature::double_jump: {
        const float x = along - 0.5f * (length - 64.0f);
        if (x < 0 || x > 64)
            return 0;
        if (x < 12)
            return h * (x / 12) * (x / 12);
        if (x < 16)
            return h * (1 - smoothstep((x - 12) / 4));
        if (x < 36)
            return 0;
        if (x < 40)
            return h * smoothstep((x - 36) / 4);
        return h * (1 - smoothstep((x - 40) / 24));
    }
    case feature::whoops: {
        const float first = 0.15f * length, last = 0.85f * length;
        if (along < first || along > last)
            return 0;
        const float taper = smoothstep((along - first) / 10) * smoothstep((last - along) / 10);
        const float wave = std::sin(3.1415927f * (along - first) / 13.0f);
        return h * wave * wave * taper;
    }
    default:
        return 0;
    }
}

// How much of a berm's bank applies at a sample: the turn round a berm point spans
// the end of the stretch before it and the start of its own.
float berm_height(const course& c, const centre_sample& s)
{
    const int count = int(c.points.size());
    const control_point& own = c.points[size_t(s.stretch)];
    const control_point& next = c.points[size_t((s.stretch + 1) % count)];
    float bank = 0;
    if (own.kind == feature::berm)
        bank = std::max(bank, own.amount * (1 - smoothstep(s.u / 0.6f)));
    if (next.kind == feature::berm)
        bank = std::max(bank, next.amount * smoothstep((s.u - 0.4f) / 0.6f));
    // Where it hardly turns, it hardly banks.
    return bank * smoothstep(std::fabs(s.curvature) / 0.012f);
}

struct nearest {
    float distance = std::numeric_limits<float>::max();
    int sample = -1;
};

}  // namespace

float tiling_noise(float x, float z, int period, uint32_t seed)
{
    return value_noise(x, z, seed, period);
}

ground build_ground(const course& c, const std::vector<centre_sample>& line)
{
    ground g;
    g.cell = c.cell;
    g.size = (1 << (c.n + 1)) + 1;
    g.tiles_side = 1 << c.n;
    const int N = g.size;
    g.heights.resize(size_t(N) * N);
    for (int j = 0; j < N; ++j)
        for (int i = 0; i < N; ++i)
            g.heights[size_t(j) * N + i] = natural(c, float(i) * c.cell, float(j) * c.cell);

    // The track surface along the centreline.
    const size_t count = line.size();
    std::vector<float> land(count), surface(count), bank(count);
    for (size_t k = 0; k < count; ++k)
        land[k] = natural(c, line[k].x, line[k].z);
    const int reach = int(40.0f / std::max(0.1f, line.size() > 1 ? line[1].s - line[0].s : 1.0f));
    for (size_t k = 0; k < count; ++k) {
        double sum = 0, weights = 0;
        for (int d = -reach; d <= reach; ++d) {
            const double w = 1.0 - std::fabs(double(d)) / (reach + 1);
            sum += w * land[size_t((int64_t(k) + d + int64_t(count)) % int64_t(count))];
            weights += w;
        }
        const centre_sample& s = line[k];
        const control_point& p = c.points[size_t(s.stretch)];
        surface[k] = float(sum / weights) + s.rise + feature_height(p, s.from_start, s.stretch_length);
        bank[k] = berm_height(c, s);
    }

    // Which centreline sample each grid point near the track is closest to.
    std::vector<nearest> near(size_t(N) * N);
    for (size_t k = 0; k < count; ++k) {
        const centre_sample& s = line[k];
        const float radius = s.width * 0.5f + kShoulder;
        const int i0 = std::max(0, int(std::floor((s.x - radius) / c.cell)));
        const int i1 = std::min(N - 1, int(std::ceil((s.x + radius) / c.cell)));
        const int j0 = std::max(0, int(std::floor((s.z - radius) / c.cell)));
        const int j1 = std::min(N - 1, int(std::ceil((s.z + radius) / c.cell)));
        for (int j = j0; j <= j1; ++j)
            for (int i = i0; i <= i1; ++i) {
                const float d = std::hypot(float(i) * c.cell - s.x, float(j) * c.cell - s.z);
                nearest& n = near[size_t(j) * N + i];
                if (d < radius && d < n.distance)
                    n = {d, int(k)};
            }
    }

    for (int j = 0; j < N; ++j)
        for (int i = 0; i < N; ++i) {
            const nearest& n = near[size_t(j) * N + i];
            if (n.sample < 0)
                continue;
            const centre_sample& s = line[size_t(n.sample)];
            const float x = float(i) * c.cell, z = float(j) * c.cell;
            const float lateral = (x - s.x) * s.nx + (z - s.z) * s.nz;   // + to the left
            const float half = s.width * 0.5f;
            // Positive curvature turns right, so the outside is the left.
            const float outside = s.curvature >= 0 ? lateral : -lateral;
            const float across = std::fabs(lateral);
            const float banked = bank[size_t(n.sample)] * std::pow(std::clamp(outside / half, 0.0f, 1.0f), 2.0f);
            const float rough = 0.08f * value_noise(x / 3.0f, z / 3.0f, 21, 0);
            float h = surface[size_t(n.sample)] + banked + rough;
            if (across > half) {
                const float t = (across - half) / kShoulder;
                const float edge = surface[size_t(n.sample)] + (outside > 0 ? bank[size_t(n.sample)] : 0.0f) +
                                   kEdgeMound * std::sin(3.1415927f * std::min(1.0f, t * 1.6f));
                float& land_h = g.heights[size_t(j) * N + i];
                h = edge + (land_h - edge) * smoothstep(t);
            }
            g.heights[size_t(j) * N + i] = h;
        }

    // Tiles: packed dirt down the racing line, loose dirt to the edges and in a few
    // worn patches, grass elsewhere.
    g.tiles.assign(size_t(g.tiles_side) * g.tiles_side, tile_grass);
    for (int r = 0; r < g.tiles_side; ++r)
        for (int col = 0; col < g.tiles_side; ++col) {
            const int i = 2 * col + 1, j = 2 * r + 1;
            const float x = float(i) * c.cell, z = float(j) * c.cell;
            const nearest& n = near[size_t(j) * N + i];
            uint8_t& tile = g.tiles[size_t(r) * g.tiles_side + col];
            if (value_noise(x / 25.0f, z / 25.0f, 31, 0) > 0.86f)
                tile = tile_dirt;
            if (n.sample < 0)
                continue;
            const centre_sample& s = line[size_t(n.sample)];
            const float half = s.width * 0.5f;
            const float wobble = 3.0f * (value_noise(x / 8.0f, z / 8.0f, 32, 0) - 0.5f);
            const bool start = c.points[size_t(s.stretch)].kind == feature::start;
            if (n.distance < (start ? half : 0.55f * half) + wobble)
                tile = tile_packed;
            else if (n.distance < half + 2.5f + wobble)
                tile = tile_dirt;
        }
    return g;
}

std::vector<uint8_t> ground_shadows(const ground& g, const float sun[3])
{
    const int N = g.size;
    const float length = std::sqrt(sun[0] * sun[0] + sun[1] * sun[1] + sun[2] * sun[2]);
    const float sx = sun[0] / length, sy = sun[1] / length, sz = sun[2] / length;
    const float flat = std::hypot(sx, sz);
    std::vector<uint8_t> lit(size_t(N) * N, 255);
    if (flat < 1e-4f || sy <= 0)
        return lit;
    const float dx = sx / flat, dz = sz / flat, climb = sy / flat * g.cell;   // per step of one cell
    const float top = *std::max_element(g.heights.begin(), g.heights.end());
    auto height = [&](float x, float z) {
        const int i = std::clamp(int(x), 0, N - 2), j = std::clamp(int(z), 0, N - 2);
        const float fx = std::clamp(x - float(i), 0.0f, 1.0f), fz = std::clamp(z - float(j), 0.0f, 1.0f);
        const float* h = &g.heights[size_t(j) * N + i];
        const float a = h[0] + (h[1] - h[0]) * fx, b = h[N] + (h[N + 1] - h[N]) * fx;
        return a + (b - a) * fz;
    };
    std::vector<float> shade(size_t(N) * N, 1.0f);
    for (int j = 0; j < N; ++j)
        for (int i = 0; i < N; ++i) {
            float ray = g.heights[size_t(j) * N + i] + 0.05f;
            float x = float(i), z = float(j);
            while (ray < top) {
                x += dx;
                z += dz;
                ray += climb;
                if (x < 0 || z < 0 || x > float(N - 1) || z > float(N - 1))
                    break;
                if (height(x, z) > ray) {
                    shade[size_t(j) * N + i] = 0.0f;
                    break;
                }
            }
        }
    // A soft edge: the mean over 3 x 3 points, between 96 (shadow) and 255.
    for (int j = 0; j < N; ++j)
        for (int i = 0; i < N; ++i) {
            float sum = 0;
            int n = 0;
            for (int b = std::max(0, j - 1); b <= std::min(N - 1, j + 1); ++b)
                for (int a = std::max(0, i - 1); a <= std::min(N - 1, i + 1); ++a) {
                    sum += shade[size_t(b) * N + a];
                    ++n;
                }
            lit[size_t(j) * N + i] = uint8_t(96.0f + 159.0f * sum / float(n) + 0.5f);
        }
    return lit;
}
