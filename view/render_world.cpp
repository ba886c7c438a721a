#include "view/render_world.h"

#include "foundation/front_door.h"
#include "gfx/anim_texture.h"
#include "gfx/fonts.h"
#include "gfx/gl_layer.h"
#include "gfx/gl_state.h"
#include "gfx/model.h"
#include "gfx/model_scene.h"
#include "gfx/shaders.h"
#include "platform/qorl_log.h"
#include "race/net/net_connection.h"
#include "race/program/projection.h"
#include "race/race_state.h"
#include "race/radix_sort.h"
#include "race/rider_visibility.h"
#include "race/program/settings_values.h"
#include "sim/ai_lines.h"
#include "sim/race_clock.h"
#include "sim/rider_access.h"
#include "terrain/billboards.h"
#include "terrain/lighting.h"
#include "terrain/terrain_textures.h"
#include "terrain/track_list.h"
#include "view/billboard_list.h"
#include "view/ghost_fade.h"
#include "view/lens_flare.h"
#include "view/rider_draw.h"
#include "view/script_frame.h"
#include "view/statue_draw.h"
#include "view/view_settings.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

int32_t view_width = 640;
int32_t view_height = 480;
published_camera current_camera = {{0, 0, 0}, {1, 0, 0, 0, 1, 0, 0, 0, 1}};
std::vector<position_log_entry> position_log;

namespace {

// The renderer's scratch lists: grown when needed, never per frame.
std::vector<int32_t> billboard_scratch;
std::vector<int32_t> log_scratch;

constexpr float kSkyUv[4][2] = {
    {1 / 128.0f, 1 / 128.0f}, {1 / 128.0f, 127 / 128.0f}, {127 / 128.0f, 127 / 128.0f}, {127 / 128.0f, 1 / 128.0f}};
constexpr float kSkyCorners[5][4][3] = {
    {{-1, 1, -1}, {-1, -1, -1}, {1, -1, -1}, {1, 1, -1}},   // north
    {{1, 1, -1}, {1, -1, -1}, {1, -1, 1}, {1, 1, 1}},       // east
    {{1, 1, 1}, {1, -1, 1}, {-1, -1, 1}, {-1, 1, 1}},       // south
    {{-1, 1, 1}, {-1, -1, 1}, {-1, -1, -1}, {-1, 1, -1}},   // west
    {{-1, 1, 1}, {-1, 1, -1}, {1, 1, -1}, {1, 1, 1}},       // up
};

void white()
{
    imm_color[0] = imm_color[1] = imm_color[2] = imm_color[3] = 1;
}

void texcoord(float s, float t)
{
    imm_texcoord[0] = s;
    imm_texcoord[1] = t;
}

void draw_sky()
{
    if (race_opts.fugly) {
        bvglClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        return;
    }
    // The sky cube has no bottom face: below the horizon only this clear keeps the
    // last frame out, in the colour the fog fades the distant ground to.
    bvglClearColor(lighting.fog_color[0], lighting.fog_color[1], lighting.fog_color[2], 1);
    bvglClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    bvglDepthMask(GL_FALSE);
    bvglDisable(GL_BLEND);
    white();
    // A cube round the eye looks the same at any size. Its faces are at least its half
    // size away, so along the view's corner rays, the farthest off the axis, their depth
    // is at least that over the length of the ray per unit depth: a wide field of view
    // would bring the unit cube inside the near plane, and the cube is made big enough
    // that no visible part of it is nearer (nor its corners beyond the far plane).
    const float w = projection_half_width, h = projection_half_height;
    const float corner_ray = std::sqrt(1 + w * w + h * h);
    const float near_plane = lighting.near_plane;
    float size = 1;
    if (std::isfinite(corner_ray) && std::isfinite(near_plane) && near_plane * corner_ray * 1.01f > 1)
        size = std::min(near_plane * corner_ray * 1.01f, lighting.far_plane / 1.75f);
    bvglPushMatrix();
    bvglScalef(size, size, size);
    for (int face = 0; face < 5; ++face) {
        bvglBindTexture(GL_TEXTURE_2D, lighting.sky[face]);
        bvglBegin(GL_QUADS);
        for (int k = 0; k < 4; ++k) {
            texcoord(kSkyUv[k][0], kSkyUv[k][1]);
            bvglVertex3f(kSkyCorners[face][k][0], kSkyCorners[face][k][1], kSkyCorners[face][k][2]);
        }
        bvglEnd();
    }
    bvglPopMatrix();
    bvglDepthMask(GL_TRUE);
}

bool slot_present(int s)
{
    return rider_slots[s].bodies[body_frame] != nullptr;
}

void frame_body_position(int s, float out[3])
{
    const dReal* p = dBodyGetPosition(rider_get_frame_body(&rider_slots[s]));
    for (int k = 0; k < 3; ++k)
        out[k] = float(p[k]);
}

void draw_bikes(const float camera[3], int32_t viewer_slot, float fades[160])
{
    static rider_fade_input in;
    for (int s = 0; s < 160; ++s) {
        in.present[s] = slot_present(s);
        in.kinds[s] = race.kinds[s];
        in.hidden[s] = in.present[s] && rider_hidden(s);
        if (in.present[s])
            frame_body_position(s, in.positions[s]);
    }
    in.online = net_socket != -1;
    in.fade_distance = ghost_fade_distance;
    rider_fades(in, fades);
    for (int s = 0; s < 160; ++s)
        if (in.present[s] && fades[s] >= 1)
            rider_draw(&rider_slots[s], rider_draw_mode(s, viewer_slot, hide_rider), camera);
}

void draw_faded(const float camera[3], int32_t viewer_slot, const float fades[160])
{
    for (int s = 0; s < 160; ++s) {
        if (!slot_present(s) || !(fades[s] < 1))
            continue;
        model_alpha = fades[s];
        rider_draw(&rider_slots[s], rider_draw_mode(s, viewer_slot, hide_rider), camera);
        model_alpha = 1;
    }
}

void draw_billboards(const float camera[3], const float c[3])
{
    if (billboard_count() == 0)
        return;
    const int32_t* list = billboard_draw_list(camera, c, plain_values.billboard_optimize_lookahead, billboard_scratch);
    float r[2];
    if (!billboard_right(c, r) || list[0] < 0)
        return;
    bvglDisable(GL_CULL_FACE);
    bvglEnable(GL_BLEND);
    bvglBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    bvglDepthMask(GL_FALSE);
    uint32_t bound = 0;
    bool open = false;
    for (const int32_t* e = list; *e >= 0; ++e) {
        const billboard& b = *billboard_at(*e);
        if (b.texture != bound || !open) {
            if (open)
                bvglEnd();
            if (b.texture != bound) {
                bvglBindTexture(GL_TEXTURE_2D, b.texture);
                ++frame_stats.texture_changes;
                bound = b.texture;
            }
            bvglBegin(GL_QUADS);
            open = true;
        }
        for (int k = 0; k < 4; ++k)
            imm_color[k] = b.colour[k] / 255.0f;
        const float h = b.size * b.aspect / 2;
        const float x0 = b.x - h * r[0], z0 = b.z - h * r[1];
        const float x1 = b.x + h * r[0], z1 = b.z + h * r[1];
        texcoord(0, 1);
        bvglVertex3f(x0, b.y, z0);
        texcoord(1, 1);
        bvglVertex3f(x1, b.y, z1);
        texcoord(1, 0);
        bvglVertex3f(x1, b.y + b.size, z1);
        texcoord(0, 0);
        bvglVertex3f(x0, b.y + b.size, z0);
        ++frame_stats.billboards_drawn;
    }
    if (open)
        bvglEnd();
    white();
    bvglDepthMask(GL_TRUE);
    bvglEnable(GL_CULL_FACE);
}

void draw_racing_lines(const float camera[3])
{
    if (verbose_level < 2 || !ai_lines.tables)
        return;
    bvglBindTexture(GL_TEXTURE_2D, gl_state.gl_white_texture);
    bvglEnable(GL_BLEND);
    bvglBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    bvglDepthMask(GL_FALSE);
    for (int32_t t = 0; t < ai_lines.table_count; ++t) {
        for (const ai_line& line : ai_lines.tables[t].lines) {
            if (line.point_count <= 0 || !line.points)
                continue;
            bvglBegin(GL_LINE_STRIP);
            for (int32_t i = 0; i < line.point_count; ++i) {
                const ai_line_point& p = line.points[i];
                const float dx = p.x - camera[0], dy = p.y - camera[1], dz = p.z - camera[2];
                const float d2 = dx * dx + dy * dy + dz * dz;
                imm_color[0] = imm_color[1] = imm_color[2] = 1;
                imm_color[3] = std::clamp(1 - 0.001f * d2, 0.0625f, 1.0f);
                bvglVertex3f(p.x, p.y, p.z);
            }
            bvglEnd();
        }
    }
    white();
    bvglDepthMask(GL_TRUE);
    bvglDisable(GL_BLEND);
}

const int32_t kNoLabels = -1;
const int32_t* log_order = &kNoLabels;

void draw_log_labels(const float camera[3], const float c[3])
{
    log_order = &kNoLabels;
    const int32_t n = int32_t(position_log.size());
    if (n == 0)
        return;
    if (log_scratch.size() < size_t(2 * n + 1))
        log_scratch.resize(size_t(2 * n + 1));
    int32_t limit;
    if (!depth_key(double(camera[0]) * c[0] + double(camera[1]) * c[1] + double(camera[2]) * c[2] - 2, &limit))
        return;
    int32_t kept = 0;
    for (int32_t i = 0; i < n; ++i) {
        position_log_entry& e = position_log[size_t(i)];
        int32_t key;
        if (!depth_key(double(e.x) * c[0] + double(e.y) * c[1] + double(e.z) * c[2], &key))
            continue;
        e.depth_key = key;
        if (key < limit)
            log_scratch[size_t(kept++)] = i;
    }
    radix_pass_b_bind(&position_log[0].depth_key, int32_t(sizeof(position_log_entry)));
    int32_t* a = log_scratch.data();
    radix_sort_list(a, kept, radix_pass_b);
    log_order = a;
    const float facing[16] = {c[2], 0, -c[0], 0, 0, 1, 0, 0, c[0], 0, c[2], 0, 0, 0, 0, 1};
    for (const int32_t* k = a; *k >= 0; ++k) {
        const position_log_entry& e = position_log[size_t(*k)];
        const char* text = e.text.c_str();
        float lines = 1;
        for (const char* t = text; *t; ++t)
            lines += *t == '\n';
        const float w = text_width(text);
        bvglDisable(GL_DEPTH_TEST);
        bvglPushMatrix();
        bvglTranslatef(e.x, e.y, e.z);
        bvglMultMatrixf(facing);
        bvglScalef(0.5f, 0.5f, 0.5f);
        bvglBindTexture(GL_TEXTURE_2D, gl_state.gl_white_texture);
        bvglDisable(GL_BLEND);
        white();
        const float fan[10][2] = {{0, lines / 2 + 1}, {-w / 2, lines + 1}, {-w / 2, 1}, {-1, 1}, {0, 0},
                                  {1, 1},            {w / 2, 1},          {w / 2, lines + 1}, {-w / 2, lines + 1}};
        bvglBegin(GL_TRIANGLE_FAN);
        for (int v = 0; v < 9; ++v)
            bvglVertex3f(fan[v][0], fan[v][1], 0);
        bvglEnd();
        bvglTranslatef(0, lines, 0);
        text_draw_centered_plain(0, 0, 0, 1, -w, w, text);
        bvglPopMatrix();
    }
}

}  // namespace

const int32_t* position_log_order()
{
    return log_order;
}

void render_world(const float position[3], const float rotation[9], float fov, int32_t viewer_slot)
{
    frame_stats_zero();
    flaggers_update();
    anim_textures_update(current_tick);

    const float c[3] = {rotation[2], rotation[5], rotation[8]};
    for (int k = 0; k < 3; ++k) {
        current_camera.position[k] = position[k];
        camera_position[k] = position[k];
        track_terrain.camera_position[k] = position[k];
        track_terrain.view_direction[k] = -c[k];
    }
    for (int k = 0; k < 9; ++k)
        current_camera.rotation[k] = rotation[k];
    script_frame_hook();
    report_stutter("js");
    terrain_update_textures(&track_terrain);
    report_stutter("rendertex");

    set_projection(view_width, view_height, fov);
    bvglLoadIdentity();
    // The rows of the rotation as the columns of a column-major matrix: its transpose.
    const float* r = rotation;
    const float view[16] = {r[0], r[1], r[2], 0, r[3], r[4], r[5], 0, r[6], r[7], r[8], 0, 0, 0, 0, 1};
    bvglMultMatrixf(view);
    gl_uniform_envmat(rotation);
    bvglEnable(GL_DEPTH_TEST);
    bvglDepthFunc(GL_ALWAYS);

    draw_sky();
    const bool fog = lighting.fog_density > 0;
    if (fog) {
        gl_use_shader(shader_unlit);
        gl_uniform_fog_density(lighting.fog_density);
    }
    bvglTranslatef(-position[0], -position[1], -position[2]);
    const float* sun = lighting.sun_vector;
    const float light[3] = {r[0] * sun[0] + r[3] * sun[1] + r[6] * sun[2], r[1] * sun[0] + r[4] * sun[1] + r[7] * sun[2],
                            r[2] * sun[0] + r[5] * sun[1] + r[8] * sun[2]};
    gl_use_shader(shader_norm_spec_lit);
    gl_uniform_light_position(light[0], light[1], light[2]);
    gl_use_shader(shader_terrain);
    gl_uniform_light_position(light[0], light[1], light[2]);
    gl_use_shader(shader_unlit);

    terrain_draw(&track_terrain);
    report_stutter("drawterrain");
    bvglDepthFunc(GL_LEQUAL);

    float fades[160];
    draw_bikes(position, viewer_slot, fades);
    report_stutter("drawbikes");
    draw_statues(position);
    report_stutter("drawstatues");
    draw_billboards(position, c);
    report_stutter("drawbillboards");
    draw_faded(position, viewer_slot, fades);
    report_stutter("drawghosts");

    gl_use_shader(shader_unlit);
    draw_racing_lines(position);
    if (fog)
        gl_uniform_fog_density(0);
    draw_log_labels(position, c);

    flare_view fv;
    for (int k = 0; k < 3; ++k)
        fv.camera[k] = position[k];
    for (int k = 0; k < 9; ++k)
        fv.rotation[k] = rotation[k];
    fv.half_width = projection_half_width;
    fv.half_height = projection_half_height;
    fv.width = view_width;
    fv.height = view_height;
    fv.near_plane = lighting.near_plane;
    fv.far_plane = lighting.far_plane;
    lens_flare_draw(fv);
}
