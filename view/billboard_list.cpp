#include "view/billboard_list.h"

#include "race/radix_sort.h"
#include "terrain/billboards.h"

#include <algorithm>
#include <cmath>

bool depth_key(double v, int32_t* key)
{
    const double k = std::floor(v * 1024.0 + 16777216.0);
    if (!std::isfinite(k) || k < double(INT32_MIN) || k > double(INT32_MAX))
        return false;
    *key = int32_t(k);
    return true;
}

bool billboard_right(const float c[3], float right[2])
{
    const float length = std::sqrt(c[0] * c[0] + c[2] * c[2]);
    if (!(length > 0))
        return false;
    right[0] = c[2] / length;
    right[1] = -c[0] / length;
    return true;
}

namespace {

struct foot {
    float left[2];
    float right[2];
};

foot foot_points(const billboard& b, const float camera[3], const float r[2])
{
    const float h = b.size * b.aspect / 2;
    return {{b.x - r[0] * h - camera[0], b.z - r[1] * h - camera[2]},
            {b.x + r[0] * h - camera[0], b.z + r[1] * h - camera[2]}};
}

float cross(const float a[2], const float b[2])
{
    return a[0] * b[1] - a[1] * b[0];
}

// Seen from the camera, a and b do not overlap on the ground plane.
bool disjoint(const foot& a, const foot& b)
{
    return cross(a.right, b.left) >= 0 || cross(b.right, a.left) >= 0;
}

}  // namespace

void billboard_group(int32_t* list, int32_t count, const float camera[3], const float right[2], int64_t lookahead)
{
    if (lookahead <= 1)
        return;
    for (int64_t u = 0; u < count; ++u) {
        const uint32_t texture = billboard_at(list[u])->texture;
        const int64_t end = std::min<int64_t>(count, u + lookahead);
        int64_t w = u + 1;
        while (w < end && billboard_at(list[w])->texture != texture)
            ++w;
        if (w >= end || w == u + 1)
            continue;
        const foot candidate = foot_points(*billboard_at(list[w]), camera, right);
        bool clear = true;
        for (int64_t k = u + 1; k < w && clear; ++k)
            clear = disjoint(foot_points(*billboard_at(list[k]), camera, right), candidate);
        if (!clear)
            continue;
        const int32_t moved = list[w];
        for (int64_t k = w; k > u + 1; --k)
            list[k] = list[k - 1];
        list[u + 1] = moved;
    }
}

const int32_t* billboard_draw_list(const float camera[3], const float c[3], int32_t lookahead,
                                   std::vector<int32_t>& scratch)
{
    const int32_t n = billboard_count();
    if (scratch.size() < size_t(2 * n + 1))
        scratch.resize(size_t(2 * n + 1));
    int32_t camera_key = 0;
    int32_t kept = 0;
    if (depth_key(double(camera[0]) * c[0] + double(camera[1]) * c[1] + double(camera[2]) * c[2], &camera_key)) {
        for (int32_t i = 0; i < n; ++i) {
            billboard& b = *billboard_at(i);
            if (!b.texture || !b.colour[3])
                continue;
            // Particles are pulled towards the camera by their width, so that a puff
            // at a sign's foot is drawn over the sign.
            const double w = i < 2000 ? double(b.size) * b.aspect : 0.0;
            int32_t key;
            if (!depth_key(double(b.x) * c[0] + double(b.y) * c[1] + double(b.z) * c[2] + w, &key))
                continue;
            b.depth_key = key;
            if (key < camera_key)
                scratch[size_t(kept++)] = i;
        }
    }
    int32_t* a = scratch.data();
    int32_t* b = a + kept;
    for (int shift = 0; shift < 32; shift += 8) {
        radix_pass_a(b, a, kept, shift);
        std::swap(a, b);
    }
    // Four passes leave the sorted list where it began.
    a[kept] = -1;
    float right[2];
    if (!billboard_right(c, right)) {
        a[0] = -1;
        return a;
    }
    billboard_group(a, kept, camera, right, lookahead);
    return a;
}
