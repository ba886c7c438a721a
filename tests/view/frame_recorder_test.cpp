// A frame of the world on the recording GL table: the order of the passes, the state
// each leaves, and what the frame publishes.
#include "view/render_world.h"

#include "gfx/fake_gl.h"
#include "gfx/gl_queue.h"
#include "gfx/gl_state.h"
#include "gfx/model_scene.h"
#include "gfx/shaders.h"
#include "race/race_state.h"
#include "sim/ai_lines.h"
#include "sim/rider_slot.h"
#include "gfx/model.h"
#include "race/program/settings_values.h"
#include "terrain/lighting.h"
#include "view/lens_flare.h"
#include "view/view_settings.h"
#include "view_fixture.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <vector>

namespace {

void bright(int, int, uint8_t rgb[3])
{
    rgb[0] = rgb[1] = rgb[2] = 240;
}
bool far_depth(int, int, float* d)
{
    *d = 1;
    return true;
}

struct Frame : ViewTables {
    pixel_reader saved_reader = flare_reader;
    void SetUp() override
    {
        ViewTables::SetUp();
        fakegl::install();
        ASSERT_EQ(gl_create_shaders(), 1);
        lighting = {};
        array_init(&lighting.flares, sizeof(flare));
        for (int s = 0; s < 5; ++s)
            lighting.sky[s] = 11 + s;
        lighting.fog_density = 0.001f;
        lighting.near_plane = 0.25f;
        lighting.far_plane = 5000;
        lighting.sun_vector[1] = 1;
        flare sun{};
        sun.kind = 1;
        sun.anchor[2] = -1;
        sun.element_count = 1;
        sun.offset[0][1] = 1;
        sun.color[0][0] = sun.color[0][1] = sun.color[0][2] = 1;
        sun.size[0] = 0.2f;
        sun.texture[0] = 40;
        array_push(&lighting.flares, &sun);
        flare_reader = {bright, far_depth};
        board(0, 0, -10, 30);
        view_width = 320;
        view_height = 180;
        race_opts.fugly = 0;
    }
    void TearDown() override
    {
        flare_reader = saved_reader;
        array_free(&lighting.flares);
        lighting = {};
        race_opts.fugly = 0;
        gl_state_reset();
        ViewTables::TearDown();
    }
    std::vector<std::string> draw(const float position[3], const float rotation[9])
    {
        fakegl::clear_calls();
        render_world(position, rotation, 110, -1);
        gl_replay_queue();
        return fakegl::trace();
    }
};

// The one track billboard the fixture stands at (0, 0, -10).
int32_t first_track_billboard_for_test()
{
    return kRoostParticles;
}

const float kIdentity[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};

long find(const std::vector<std::string>& t, const std::string& call, long from = 0)
{
    const auto it = std::find(t.begin() + from, t.end(), call);
    return it == t.end() ? -1 : long(it - t.begin());
}

std::string bind(int texture)
{
    return "BindTexture(" + std::to_string(GL_TEXTURE_2D) + "," + std::to_string(texture) + ")";
}

TEST_F(Frame, SkyThenBillboardsThenFlareInThatOrder)
{
    const float eye[3] = {0, 2, 0};
    const std::vector<std::string> t = draw(eye, kIdentity);
    const long always = find(t, "DepthFunc(" + std::to_string(GL_ALWAYS) + ")");
    const long no_writes = find(t, "DepthMask(0)");
    long at = always;
    ASSERT_GE(always, 0);
    ASSERT_GT(no_writes, always);
    for (int s = 0; s < 5; ++s) {
        const long b = find(t, bind(11 + s), at);
        ASSERT_GT(b, at) << "sky face " << s;
        at = b;
    }
    const long board_bind = find(t, bind(30), at);
    ASSERT_GT(board_bind, at);
    const long flare_blend = find(t, "BlendFunc(" + std::to_string(GL_SRC_ALPHA) + "," + std::to_string(GL_ONE) + ")",
                                  board_bind);
    ASSERT_GT(flare_blend, board_bind);
    EXPECT_GT(find(t, bind(40), flare_blend), flare_blend);
    EXPECT_EQ(frame_stats.billboards_drawn, 1);
    EXPECT_EQ(lens_flare_sights()[0].visibility, 1);
}

TEST_F(Frame, FuglyClearsInsteadOfTheSky)
{
    race_opts.fugly = 1;
    const float eye[3] = {0, 2, 0};
    const std::vector<std::string> t = draw(eye, kIdentity);
    EXPECT_GE(find(t, "Clear(" + std::to_string(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT) + ")"), 0);
    for (int s = 0; s < 5; ++s)
        EXPECT_EQ(find(t, bind(11 + s)), -1) << s;
}

TEST_F(Frame, FogIsOnForTheFrameAndOffAfterIt)
{
    const float eye[3] = {0, 2, 0};
    draw(eye, kIdentity);
    const GLint where = fakegl::location_of(gl_state.program[shader_unlit], "u_fog_density");
    std::vector<float> sent;
    for (const fakegl::Call& c : fakegl::calls_named("Uniform1f"))
        if (!c.args.empty() && c.args[0] == where)
            sent.push_back(c.floats.at(0));
    ASSERT_GE(sent.size(), 2u);
    EXPECT_FLOAT_EQ(sent.front(), 0.001f);
    EXPECT_EQ(sent.back(), 0);
}

TEST_F(Frame, TheCameraIsPublishedBeforeDrawing)
{
    // Heading 90 degrees to the right: the camera looks along +x.
    const float r[9] = {0, 0, -1, 0, 1, 0, 1, 0, 0};
    const float eye[3] = {5, 6, 7};
    draw(eye, r);
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(current_camera.position[k], eye[k]);
        EXPECT_EQ(camera_position[k], eye[k]);
        EXPECT_EQ(track_terrain.camera_position[k], eye[k]);
    }
    EXPECT_EQ(track_terrain.view_direction[0], 1);
    EXPECT_EQ(track_terrain.view_direction[2], 0);
    EXPECT_TRUE(std::equal(r, r + 9, current_camera.rotation));
}

TEST_F(Frame, StatisticsStartAgainEachFrame)
{
    const float eye[3] = {0, 2, 0};
    draw(eye, kIdentity);
    EXPECT_EQ(frame_stats.billboards_drawn, 1);
    const float away[9] = {-1, 0, 0, 0, 1, 0, 0, 0, -1};   // looking along +z: the board is behind
    draw(eye, away);
    EXPECT_EQ(frame_stats.billboards_drawn, 0);
}

TEST_F(Frame, LensFlareOffReadsAndDrawsNothing)
{
    const int32_t saved = graphics_settings.lens_flare;
    graphics_settings.lens_flare = 0;
    const float eye[3] = {0, 2, 0};
    const std::vector<std::string> t = draw(eye, kIdentity);
    EXPECT_EQ(find(t, bind(40)), -1);
    graphics_settings.lens_flare = saved;
}

TEST_F(Frame, LogLabelsFarFirstAndNotRightAtTheCamera)
{
    position_log = {{0, 0, -20, 0, "far"}, {0, 0, -1, 0, "too near"}, {0, 0, -8, 0, "near"}};
    const float eye[3] = {0, 2, 0};
    draw(eye, kIdentity);
    std::vector<int32_t> order;
    for (const int32_t* k = position_log_order(); *k >= 0; ++k)
        order.push_back(*k);
    EXPECT_EQ(order, (std::vector<int32_t>{0, 2}));
    position_log.clear();
}

// Every vertex the frame uploaded, 12 floats each (position, texture coordinate,
// colour), from the stream buffer's uploads.
std::vector<std::array<float, 12>> uploaded_vertices()
{
    std::vector<std::array<float, 12>> out;
    for (const fakegl::Call& c : fakegl::calls_named("BufferSubData")) {
        if (c.args[0] != GL_ARRAY_BUFFER)
            continue;
        for (size_t at = 0; at + 48 <= c.data.size(); at += 48) {
            std::array<float, 12> v;
            memcpy(v.data(), c.data.data() + at, 48);
            out.push_back(v);
        }
    }
    return out;
}

TEST_F(Frame, ABillboardQuadStandsOnItsFootFacingTheCamera)
{
    billboard* b = billboard_at(first_track_billboard_for_test());
    b->aspect = 0.5f;
    b->colour[0] = 255, b->colour[1] = 0, b->colour[2] = 51, b->colour[3] = 255;
    const float eye[3] = {0, 2, 0};
    draw(eye, kIdentity);
    std::vector<std::array<float, 12>> quad;
    for (const auto& v : uploaded_vertices())
        if (v[2] == -10 && v[9] == 0)
            quad.push_back(v);
    ASSERT_EQ(quad.size(), 4u);
    const float want[4][4] = {{-0.5f, 0, 0, 1}, {0.5f, 0, 1, 1}, {0.5f, 2, 1, 0}, {-0.5f, 2, 0, 0}};
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(quad[size_t(k)][0], want[k][0]) << k;
        EXPECT_EQ(quad[size_t(k)][1], want[k][1]) << k;
        EXPECT_EQ(quad[size_t(k)][4], want[k][2]) << k;
        EXPECT_EQ(quad[size_t(k)][5], want[k][3]) << k;
        EXPECT_FLOAT_EQ(quad[size_t(k)][10], 0.2f) << k;
    }
}

// Riders on bare physics bodies: which pass draws each, seen by its bike texture.
TEST_F(Frame, GhostsNearTheOwnRiderAreDrawnFadedAfterTheBillboards)
{
    dInitODE();
    dWorldID world = dWorldCreate();
    const struct {
        int slot;
        int32_t kind;
        float x;
    } field[] = {{0, rider_kind_local, 0}, {1, rider_kind_remote, 3}, {2, rider_kind_remote, 12}, {3, rider_kind_bot, 1}};
    for (const auto& f : field) {
        rider_slot& r = rider_slots[f.slot];
        r.bodies[body_frame] = dBodyCreate(world);
        dBodySetPosition(r.bodies[body_frame], f.x, 0, 30);
        r.bike_textures.colour = uint32_t(500 + f.slot);
        race.kinds[f.slot] = f.kind;
    }
    const float eye[3] = {0, 2, 0};
    const std::vector<std::string> t = draw(eye, kIdentity);
    const long boards = find(t, bind(30));
    ASSERT_GE(boards, 0);
    EXPECT_LT(find(t, bind(500)), boards);
    EXPECT_GT(find(t, bind(501)), boards);   // 3 ft away: faded out completely
    EXPECT_LT(find(t, bind(502)), boards);   // beyond the fade distance
    EXPECT_LT(find(t, bind(503)), boards);   // automatic riders never fade
    EXPECT_EQ(model_alpha, 1);

    // A fade distance of 0 fades nobody.
    ghost_fade_distance = 0;
    const std::vector<std::string> none = draw(eye, kIdentity);
    EXPECT_LT(find(none, bind(501)), find(none, bind(30)));
    ghost_fade_distance = 10;
    for (const auto& f : field) {
        rider_slots[f.slot].bodies[body_frame] = nullptr;
        rider_slots[f.slot].bike_textures = {};
        race.kinds[f.slot] = 0;
    }
    dWorldDestroy(world);
    dCloseODE();
}

TEST_F(Frame, SuperDebugDrawsTheRacingLinesFadingWithDistance)
{
    static ai_line_point points[3] = {{3, 2, -5, 10, 0}, {3, 2, -40, 10, 0}, {3, 2, -80, 10, 0}};
    static ai_line_table table{};
    table.lines[0].points = points;
    table.lines[0].point_count = 3;
    const ai_line_set saved = ai_lines;
    ai_lines.tables = &table;
    ai_lines.table_count = 1;
    verbose_level = 2;
    const float eye[3] = {0, 2, 0};
    draw(eye, kIdentity);
    verbose_level = 0;
    ai_lines = saved;
    table.lines[0].points = nullptr;
    std::vector<float> alphas;
    for (const auto& v : uploaded_vertices())
        if (v[0] == 3 && v[1] == 2 && (v[2] == -5 || v[2] == -40 || v[2] == -80))
            alphas.push_back(v[11]);
    ASSERT_EQ(alphas.size(), 3u);
    EXPECT_FLOAT_EQ(alphas[0], 1 - 0.001f * 34);
    EXPECT_FLOAT_EQ(alphas[1], 0.0625f);
    EXPECT_FLOAT_EQ(alphas[2], 0.0625f);
    EXPECT_GE(find(fakegl::trace(), bind(int(gl_state.gl_white_texture))), 0);
}

}  // namespace
