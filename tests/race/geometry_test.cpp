// The race core's small shared helpers: the ground-following orientation, the
// projection and menu backdrop as the GL layer records them, the radix passes,
// the graphics presets and the connect history.
#include "foundation/growable_array.h"
#include "gfx/fake_gl.h"
#include "gfx/fonts.h"
#include "gfx/gl_layer.h"
#include "gfx/gl_queue.h"
#include "gfx/gl_state.h"
#include "gfx/texture_settings.h"
#include "race/program/detail_presets.h"
#include "race/program/projection.h"
#include "race/radix_sort.h"
#include "race/program/settings_values.h"
#include "terrain/billboards.h"
#include "terrain/lighting.h"
#include "terrain/statues.h"
#include "terrain/track_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <random>

namespace {

constexpr float kPi = 3.14159265358979f;

// The loaded track's ground for one test: 65 x 65 points, 4 feet apart, heights h(x, z).
class Ground {
public:
    explicit Ground(const std::function<float(float, float)>& h)
    {
        terrain_init(&track_terrain);
        EXPECT_EQ(terrain_alloc(&track_terrain, 5, 4.0f, -1000, 1000), 1);
        const int n = track_terrain.size;
        for (int j = 0; j < n; ++j)
            for (int i = 0; i < n; ++i)
                track_terrain.heights[i + n * j] = h(i * 4.0f, j * 4.0f);
    }
    ~Ground() { terrain_free(&track_terrain); }
};

// Column c of a row-major 3x3 matrix.
std::array<float, 3> column(const float m[9], int c) { return {m[c], m[3 + c], m[6 + c]}; }

void expect_rotation(const float m[9])
{
    for (int a = 0; a < 3; ++a)
        for (int b = 0; b < 3; ++b) {
            const auto u = column(m, a), v = column(m, b);
            EXPECT_NEAR(u[0] * v[0] + u[1] * v[1] + u[2] * v[2], a == b ? 1 : 0, 1e-5) << a << b;
        }
    const float det = m[0] * (m[4] * m[8] - m[5] * m[7]) - m[1] * (m[3] * m[8] - m[5] * m[6]) +
                      m[2] * (m[3] * m[7] - m[4] * m[6]);
    EXPECT_NEAR(det, 1, 1e-5);
}

}  // namespace

TEST(OrientOnTerrain, FlatGroundTurnsAboutTheVertical)
{
    Ground flat([](float, float) { return 3.0f; });
    for (float a : {0.0f, 0.5f, -2.0f, 3.0f}) {
        float m[9];
        orient_on_terrain(m, 100, 100, a);
        const std::array<float, 3> right = column(m, 0), up = column(m, 1), forward = column(m, 2);
        EXPECT_NEAR(right[0], std::cos(a), 1e-6);
        EXPECT_NEAR(right[1], 0, 1e-6);
        EXPECT_NEAR(right[2], -std::sin(a), 1e-6);
        EXPECT_NEAR(up[1], 1, 1e-6);
        EXPECT_NEAR(forward[0], std::sin(a), 1e-6);
        EXPECT_NEAR(forward[2], std::cos(a), 1e-6);
        expect_rotation(m);
    }
}

TEST(OrientOnTerrain, SlopesTiltTheUpAxisUnlessTheHeadingSaysUpright)
{
    Ground slope([](float x, float) { return 0.5f * x; });
    float m[9];
    orient_on_terrain(m, 50, 60, 0.3f);
    const float l = std::sqrt(1.25f);
    EXPECT_NEAR(m[1], -0.5f / l, 1e-6);
    EXPECT_NEAR(m[4], 1 / l, 1e-6);
    EXPECT_NEAR(m[7], 0, 1e-6);
    expect_rotation(m);
    orient_on_terrain(m, 50, 60, -2 * kPi - 0.01f);
    EXPECT_NEAR(m[1], 0, 1e-6);
    EXPECT_NEAR(m[4], 1, 1e-6);
    expect_rotation(m);
}

TEST(OrientOnTerrain, EveryResultIsARotation)
{
    Ground hills([](float x, float z) { return 20 * std::sin(x * 0.05f) + 3 * z * 0.1f * std::cos(z * 0.02f); });
    std::mt19937 random(7);
    std::uniform_real_distribution<float> place(0, 256), heading(-6, 6);
    for (int k = 0; k < 200; ++k) {
        float m[9];
        orient_on_terrain(m, place(random), place(random), heading(random));
        expect_rotation(m);
    }
}

class Projection : public ::testing::Test {
protected:
    Projection()
    {
        fakegl::install();
        lighting.near_plane = 0.5f;
        lighting.far_plane = 4000;
    }
    ~Projection() override { gl_state_reset(); }
};

TEST_F(Projection, WideWindowsKeepTheHeightOfFourByThree)
{
    const struct {
        int w, h;
        float hw, hh;
    } sizes[] = {{1280, 720, 4.0f / 3, 0.75f}, {960, 720, 1, 0.75f}, {900, 720, 1, 0.8f}, {0, -5, 1, 1}};
    for (const auto& s : sizes) {
        // Both stacks hold something else before.
        bvglMatrixMode(GL_PROJECTION);
        bvglTranslatef(1, 2, 3);
        bvglMatrixMode(GL_MODELVIEW);
        bvglTranslatef(4, 5, 6);
        gl_replay_queue();
        fakegl::clear_calls();

        set_projection(s.w, s.h, 90);
        EXPECT_NEAR(projection_half_width, s.hw, 1e-6) << s.w;
        EXPECT_NEAR(projection_half_height, s.hh, 1e-6) << s.w;
        ASSERT_EQ(fakegl::trace().size(), 1u);
        EXPECT_EQ(fakegl::trace()[0], "Viewport(0,0," + std::to_string(std::max(s.w, 1)) + "," +
                                          std::to_string(std::max(s.h, 1)) + ")");
        gl_replay_queue();
        const float* p = gl_current_matrix(1);
        const float n = 0.5f, f = 4000;
        const float want[16] = {1 / s.hw, 0, 0, 0, 0, 1 / s.hh, 0, 0, 0, 0, -(f + n) / (f - n), -1,
                                0, 0, -2 * f * n / (f - n), 0};
        for (int i = 0; i < 16; ++i)
            EXPECT_NEAR(p[i], want[i], 1e-4) << s.w << " element " << i;
        const float* mv = gl_current_matrix(0);
        for (int i = 0; i < 16; ++i)
            EXPECT_EQ(mv[i], i % 5 == 0 ? 1 : 0) << i;
        EXPECT_EQ(gl_state.current_stack, 0);   // left on the modelview
    }
}

TEST_F(Projection, BackdropCoversTheWindowAndSignsTheBuild)
{
    const font saved = font_main;
    font_main.texture = 77;
    std::fill(std::begin(font_main.advance), std::end(font_main.advance), 0.5f);
    set_projection(1280, 720, 90);
    gl_replay_queue();
    menu_backdrop_draw();
    const float* v = gl_state.imm_batch.vertices;
    const float hw = 4.0f / 3, hh = 0.75f;
    const float corners[4][3] = {{-hw, -hh, -1}, {hw, -hh, -1}, {hw, hh, -1}, {-hw, hh, -1}};
    for (int i = 0; i < 4; ++i) {
        const float* c = v + i * imm_vertex_floats;
        EXPECT_NEAR(c[0], corners[i][0], 1e-6);
        EXPECT_NEAR(c[1], corners[i][1], 1e-6);
        EXPECT_NEAR(c[2], corners[i][2], 1e-6);
        EXPECT_EQ(std::vector<float>(c + 8, c + 12), (std::vector<float>{0.2f, 0.2f, 0.2f, 0.5f}));
    }
    // The build text: a shadow pass, then grey glyphs, one quad per visible character.
    const int glyphs = int(strlen("2023-06-18-1650 snapshot")) - 1;
    const int total = gl_state.imm_batch.vertex_base + gl_state.imm_batch.vertex_count;
    ASSERT_EQ(total, 4 + 2 * 4 * glyphs);
    const float* last = v + (total - 1) * imm_vertex_floats;
    EXPECT_EQ(std::vector<float>(last + 8, last + 12), (std::vector<float>{0.75f, 0.75f, 0.75f, 1}));
    gl_replay_queue();
    const std::vector<fakegl::Call> blends = fakegl::calls_named("BlendFunc");
    ASSERT_FALSE(blends.empty());
    EXPECT_EQ(blends[0].args, (std::vector<int64_t>{GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA}));
    gl_state_reset();
    font_main = saved;
}

TEST(RadixPass, StableByteBucketsAndFourPassesSort)
{
    growable_array saved = billboards;
    ASSERT_EQ(array_init(&billboards, sizeof(billboard)), 1);
    std::mt19937 random(11);
    std::vector<int32_t> keys;
    for (int i = 0; i < 1000; ++i) {
        billboard b{};
        b.depth_key = int32_t(random());   // the top bit set about half the time
        if (i % 10 == 0)
            b.depth_key = 0x01000000 + i % 3;   // repeated keys
        keys.push_back(b.depth_key);
        ASSERT_EQ(array_push(&billboards, &b), 1);
    }
    std::vector<int32_t> a(1000), b(1000);
    for (int i = 0; i < 1000; ++i)
        a[i] = i;
    // One pass: equal bytes keep their input order.
    radix_pass_a(b.data(), a.data(), 1000, 8);
    for (int i = 1; i < 1000; ++i) {
        const uint32_t prev = (uint32_t(keys[b[i - 1]]) >> 8) & 0xff, here = (uint32_t(keys[b[i]]) >> 8) & 0xff;
        EXPECT_TRUE(prev < here || (prev == here && b[i - 1] < b[i])) << i;
    }
    radix_pass_a(b.data(), a.data(), 1000, 0);
    radix_pass_a(a.data(), b.data(), 1000, 8);
    radix_pass_a(b.data(), a.data(), 1000, 16);
    radix_pass_a(a.data(), b.data(), 1000, 24);
    for (int i = 1; i < 1000; ++i) {
        EXPECT_LE(uint32_t(keys[a[i - 1]]), uint32_t(keys[a[i]])) << i;
        if (keys[a[i - 1]] == keys[a[i]]) {
            EXPECT_LT(a[i - 1], a[i]);
        }
    }
    array_free(&billboards);
    billboards = saved;

    // Pass b over a table its owner binds: 12-byte records, key in the middle.
    struct record {
        float depth;
        int32_t key;
        int32_t other;
    } records[4] = {{0, 0x300, 0}, {0, 0x100, 0}, {0, 0x200, 0}, {0, 0x100, 0}};
    radix_pass_b_bind(&records[0].key, sizeof(record));
    const int32_t src[4] = {0, 1, 2, 3};
    int32_t dst[4];
    radix_pass_b(dst, src, 4, 8);
    EXPECT_EQ(std::vector<int32_t>(dst, dst + 4), (std::vector<int32_t>{1, 3, 2, 0}));
}

TEST(DetailPresets, EachColumnMatchesOnlyItself)
{
    const graphics_values saved = graphics_settings;
    for (int n = 0; n < kDetailPresets; ++n) {
        detail_preset_apply(n);
        for (int m = 0; m < kDetailPresets; ++m)
            EXPECT_EQ(detail_preset_matches(m), n == m ? 1 : 0) << n << " " << m;
    }
    detail_preset_apply(2);
    graphics_settings.ground_detail = 70.5;
    for (int m = 0; m < kDetailPresets; ++m)
        EXPECT_EQ(detail_preset_matches(m), 0);
    detail_preset_apply(1);   // High FPS
    EXPECT_EQ(graphics_settings.roost_density, 0);
    EXPECT_EQ(graphics_settings.render_texture, 2);
    EXPECT_EQ(texture_compress, 1);
    detail_preset_apply(3);   // High Detail
    EXPECT_EQ(graphics_settings.ground_texture_dim_new, 5);
    EXPECT_EQ(graphics_settings.model_texture_detail, 10);
    detail_preset_apply(7);   // no such preset: nothing changes
    EXPECT_EQ(detail_preset_matches(3), 1);
    EXPECT_EQ(detail_preset_matches(-1), 0);
    graphics_settings = saved;
}

TEST(ServerHistory, NewAddressesGoToTheFront)
{
    memset(server_name_hist, 0, sizeof server_name_hist);
    server_history_cursor = 4;
    server_name[0] = '\0';
    server_history_push();
    EXPECT_EQ(server_name_hist[0][0], '\0');
    EXPECT_EQ(server_history_cursor, 4);
    for (int i = 0; i < 17; ++i) {
        snprintf(server_name, sizeof server_name, "host%d:19800", i);
        server_history_push();
    }
    EXPECT_STREQ(server_name_hist[0], "host16:19800");
    EXPECT_STREQ(server_name_hist[15], "host1:19800");
    EXPECT_EQ(server_history_cursor, -1);
    server_history_cursor = 2;
    server_history_push();   // the same as entry 0
    EXPECT_STREQ(server_name_hist[1], "host15:19800");
    EXPECT_EQ(server_history_cursor, 2);
    // A field without its terminator puts 127 characters in.
    memset(server_name, 'x', sizeof server_name);
    server_history_push();
    EXPECT_EQ(strlen(server_name_hist[0]), 127u);
    memset(server_name, 0, sizeof server_name);
    memset(server_name_hist, 0, sizeof server_name_hist);
    server_history_cursor = -1;
}
