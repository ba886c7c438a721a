#include "view/lens_flare.h"

#include "gfx/gl_layer.h"
#include "gfx/gl_state.h"
#include "race/program/settings_values.h"
#include "terrain/lighting.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#ifndef GL_DEPTH_COMPONENT
#define GL_DEPTH_COMPONENT 0x1902
#endif

namespace {

void frame_colour(int x, int y, uint8_t rgb[3])
{
    uint8_t rgba[4] = {};
    bvglReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    std::copy(rgba, rgba + 3, rgb);
}

bool frame_depth(int x, int y, float* depth)
{
    if (!gl_state.gl_es) {
        bvglReadPixels(x, y, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, depth);
        return true;
    }
    // ES reads depth only through the NV extension, and there only as integers.
    if (!gl_state.gl_extensions || !strstr(gl_state.gl_extensions, "GL_NV_read_depth"))
        return false;
    uint32_t value = 0;
    bvglReadPixels(x, y, 1, 1, GL_DEPTH_COMPONENT, GL_UNSIGNED_INT, &value);
    *depth = float(double(value) * (1.0 / 4294967296.0));
    return true;
}

std::vector<flare_sight> sights;

}  // namespace

pixel_reader flare_reader = {frame_colour, frame_depth};

float flare_edge_fade(float sx, float sy, float half_width, float half_height)
{
    const float k = std::min(half_width, half_height) / 32;
    auto along = [k](float s, float h) {
        if (s < k - h)
            return std::clamp((h + s) / k, 0.0f, 1.0f);
        if (s > h - k)
            return std::clamp((h - s) / k, 0.0f, 1.0f);
        return 1.0f;
    };
    return std::min(along(sx, half_width), along(sy, half_height));
}

flare_sight flare_visibility(const flare& source, const flare_view& view)
{
    flare_sight sight = {{0, 0}, 0};
    float v[3];
    for (int k = 0; k < 3; ++k)
        v[k] = source.kind ? source.anchor[k] : source.anchor[k] - view.camera[k];
    const float* r = view.rotation;
    const float x = r[0] * v[0] + r[3] * v[1] + r[6] * v[2];
    const float y = r[1] * v[0] + r[4] * v[1] + r[7] * v[2];
    const float z = r[2] * v[0] + r[5] * v[1] + r[8] * v[2];
    const float hx = view.half_width, hy = view.half_height;
    if (!(z < 0) || !(x - hx * z >= 0) || !(x + hx * z <= 0) || !(y - hy * z >= 0) || !(y + hy * z <= 0))
        return sight;
    sight.screen[0] = -x / z;
    sight.screen[1] = -y / z;
    const int column = int(std::clamp((sight.screen[0] + hx) / (2 * hx), 0.0f, 1.0f) * float(view.width));
    const int row = int(std::clamp((sight.screen[1] + hy) / (2 * hy), 0.0f, 1.0f) * float(view.height));
    if (column < 0 || column >= view.width || row < 0 || row >= view.height)
        return sight;
    uint8_t rgb[3] = {};
    flare_reader.colour(column, row, rgb);
    if (rgb[0] <= 223 || rgb[1] <= 223 || rgb[2] <= 223)
        return sight;
    float d = 0;
    const double n = view.near_plane, f = view.far_plane;
    // A lighting file whose far plane equals its near one gives no depth scale: the
    // colour decides alone, as it does where the depth cannot be read.
    if (f > n && flare_reader.depth(column, row, &d)) {
        const double fraction = ((n * f / (f - d * (f - n))) - n) / (f - n);
        const double required = source.kind ? 0.4 : std::clamp((-0.25 - double(z)) * 0.00020001, 0.0, 1.0);
        if (required > fraction)
            return sight;
    }
    sight.visibility = flare_edge_fade(sight.screen[0], sight.screen[1], hx, hy);
    return sight;
}

const flare_sight* lens_flare_sights()
{
    return sights.data();
}

void lens_flare_draw(const flare_view& view)
{
    bvglLoadIdentity();
    bvglDepthFunc(GL_ALWAYS);
    const int32_t count = lighting.flares.count;
    if (count <= 0 || !graphics_settings.lens_flare)
        return;
    if (sights.size() < size_t(count))
        sights.resize(size_t(count));
    const flare* sources = static_cast<const flare*>(lighting.flares.items);
    for (int32_t i = 0; i < count; ++i)
        sights[size_t(i)] = flare_visibility(sources[i], view);
    bvglEnable(GL_BLEND);
    bvglBlendFunc(GL_SRC_ALPHA, GL_ONE);
    for (int32_t i = 0; i < count; ++i) {
        const flare_sight& s = sights[size_t(i)];
        if (!(s.visibility > 0))
            continue;
        const flare& source = sources[i];
        for (int e = 0; e < std::clamp(source.element_count, 0, flare_max_elements); ++e) {
            bvglBindTexture(GL_TEXTURE_2D, source.texture[e]);
            for (int c = 0; c < 3; ++c)
                imm_color[c] = source.color[e][c] * s.visibility;
            imm_color[3] = 1;
            const float p = source.offset[e][0], q = source.offset[e][1];
            const float cx = s.screen[0] * q + s.screen[1] * p;
            const float cy = s.screen[1] * q - s.screen[0] * p;
            const float h = source.size[e];
            bvglBegin(GL_QUADS);
            imm_texcoord[0] = 0, imm_texcoord[1] = 1;
            screen_vertex(cx - h, cy + h);
            imm_texcoord[0] = 0, imm_texcoord[1] = 0;
            screen_vertex(cx - h, cy - h);
            imm_texcoord[0] = 1, imm_texcoord[1] = 0;
            screen_vertex(cx + h, cy - h);
            imm_texcoord[0] = 1, imm_texcoord[1] = 1;
            screen_vertex(cx + h, cy + h);
            bvglEnd();
        }
    }
    imm_color[0] = imm_color[1] = imm_color[2] = imm_color[3] = 1;
}
