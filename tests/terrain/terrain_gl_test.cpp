// The terrain on Mesa's software renderer, desktop core and OpenGL ES 3: a track with
// a known tile map is loaded, its detail textures are redrawn and read back (tiles in
// place and the right way round, a decal at its world place in its own colour, the
// normal and specular passes), a moved window and decal edits keep them right, and
// loads that must fail free what they made.
#include "gfx/images.h"
#include "gl_context.h"
#include "terrain/decals.h"
#include "terrain/terrain_files.h"
#include "terrain/terrain_lod.h"
#include "terrain/terrain_settings.h"
#include "terrain/terrain_textures.h"
#include "track_files.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <vector>

using namespace trackfiles;

namespace {

using Rgb = std::array<int, 3>;

const Rgb kTileColours[4] = {{40, 160, 40}, {200, 200, 40}, {40, 40, 200}, {150, 100, 60}};
const Rgb kRed = {255, 0, 0};

void put_png(const std::string& name, int side, const Rgb& colour)
{
    std::vector<uint8_t> pixels;
    for (int k = 0; k < side * side; ++k)
        pixels.insert(pixels.end(), {uint8_t(colour[0]), uint8_t(colour[1]), uint8_t(colour[2]), 255});
    put(name, "");
    EXPECT_EQ(png_write_rgba(path(name).c_str(), pixels.data(), side, side), 1);
}

// 17 x 17 flat points; tiles by quadrant: 0 low x low z, 1 high x, 2 high z, 3 both;
// a red decal 2 wide at (3, 3).
void make_track(const std::string& folder)
{
    remove_folder(folder);
    put(folder + "/terrain.hf", inline_heights(3, 1.0f, 0.0f, 0.0f, std::vector<uint16_t>(17 * 17, 0)));
    std::string map(64, '\0');
    for (int k = 0; k < 64; ++k)
        map[size_t(k)] = char((k % 8 >= 4 ? 1 : 0) + (k / 8 >= 4 ? 2 : 0));
    put(folder + "/tilemap", map);
    std::string tileinfo;
    for (int k = 0; k < 4; ++k) {
        const std::string name = folder + "/tile" + std::to_string(k) + ".png";
        put_png(name, 16, kTileColours[k]);
        tileinfo += "texture @" + name + "\naddtile\n";
    }
    put(folder + "/tileinfo", tileinfo);
    put_png(folder + "/red.png", 8, kRed);
    put(folder + "/decals", "[ 3 3 ] 0 2 1 @" + folder + "/red.png\n");
}

Rgb at(const std::vector<uint8_t>& pixels, int side, int x, int y)
{
    const uint8_t* p = &pixels[(size_t(y) * side + x) * 4];
    return {p[0], p[1], p[2]};
}

bool near(const Rgb& a, const Rgb& b, int tolerance = 3)
{
    for (int c = 0; c < 3; ++c)
        if (std::abs(a[c] - b[c]) > tolerance)
            return false;
    return true;
}

class TerrainGl : public testing::TestWithParam<GlKind> {
protected:
    void SetUp() override
    {
        context_ = std::make_unique<GlContext>(GetParam());
        if (!context_->failure().empty())
            GTEST_SKIP() << "no " << kind_name(GetParam()) << " context: " << context_->failure();
        terrain_texture_dim_index = 0;   // 128 x 128 detail textures
        terrain_ground_mipmaps = 1;
        terrain_init(&terrain_);
    }
    void TearDown() override
    {
        terrain_free(&terrain_);
        terrain_set_torture_test(0);
        context_.reset();
    }

    void look_down(float x, float height, float z)
    {
        const float position[3] = {x, height, z}, down[3] = {0, -1, 0};
        std::copy(position, position + 3, terrain_.camera_position);
        std::copy(down, down + 3, terrain_.view_direction);
    }
    // Texture updates, one piece a frame, until nothing is left to redraw; how many
    // it took, or -1.
    int settle()
    {
        for (int k = 0; k < 400; ++k) {
            terrain_update_textures(&terrain_);
            int32_t x, z;
            bool busy = terrain_.redraw_level != kTerrainSpareLevel || terrain_pick_level(&terrain_, &x, &z) >= 0 ||
                        terrain_.appended_pending;
            for (int d = 0; d < terrain_.detail_level_count; ++d)
                busy = busy || terrain_.detail_levels[d].redraw;
            if (!busy)
                return k;
        }
        return -1;
    }
    Rgb colour_at(int x, int y) { return at(read_texture(terrain_.detail_levels[0].colour_texture, 128), 128, x, y); }

    std::unique_ptr<GlContext> context_;
    terrain_state terrain_;
};

}  // namespace

TEST_P(TerrainGl, DetailTexturesHoldTheTilesTheRightWayRoundAndTheDecal)
{
    make_track("gltiles");
    ASSERT_EQ(terrain_load(&terrain_, "gltiles"), 1);
    ASSERT_EQ(terrain_.detail_level_count, 1) << "a grid smaller than l has only the whole-grid level";
    // Fresh from the load, before any update, each texture is cleared black: the
    // placeholder's blue border and white squares never show.
    for (int d : {0, int(kTerrainSpareLevel)}) {
        const terrain_detail_level& fresh = terrain_.detail_levels[d];
        for (uint32_t texture : {fresh.colour_texture, fresh.normal_texture, fresh.specular_texture}) {
            const auto texels = read_texture(texture, 128);
            EXPECT_TRUE(near(at(texels, 128, 0, 0), {0, 0, 0}, 0)) << "level " << d;
            EXPECT_TRUE(near(at(texels, 128, 5, 5), {0, 0, 0}, 0)) << "level " << d;
        }
    }
    look_down(8, 20, 8);
    terrain_set_torture_test(1);
    terrain_update_textures(&terrain_);
    const terrain_detail_level& level = terrain_.detail_levels[0];
    EXPECT_EQ(level.window, 16);
    EXPECT_EQ(level.redraw, 0);

    // Texel (x, y), row 0 first, covers grid point (x / 8, y / 8): quadrants of 64.
    const int T = 128;
    const auto colour = read_texture(level.colour_texture, T);
    const int spots[][2] = {{40, 8}, {100, 10}, {10, 100}, {120, 120}, {70, 60}, {60, 70}, {127, 0}};
    for (const auto& s : spots) {
        const int tile = (s[0] >= 64 ? 1 : 0) + (s[1] >= 64 ? 2 : 0);
        EXPECT_TRUE(near(at(colour, T, s[0], s[1]), kTileColours[tile]))
            << "texel " << s[0] << "," << s[1] << " is " << testing::PrintToString(at(colour, T, s[0], s[1]));
    }
    // The decal covers world 2..4 on both axes: texels 16..32, in its own red.
    for (int y = 18; y < 31; y += 3)
        for (int x = 18; x < 31; x += 3)
            EXPECT_TRUE(near(at(colour, T, x, y), kRed)) << testing::PrintToString(at(colour, T, x, y));
    EXPECT_TRUE(near(at(colour, T, 12, 24), kTileColours[0]));
    EXPECT_TRUE(near(at(colour, T, 24, 36), kTileColours[0]));

    // Flat ground, no shadows: normal (0, 1, 0) stored as x and z around 128 with full
    // light in green; specular strength 0 and the largest exponent.
    EXPECT_TRUE(near(at(read_texture(level.normal_texture, T), T, 90, 90), {128, 255, 128}, 2));
    EXPECT_TRUE(near(at(read_texture(level.specular_texture, T), T, 90, 90), {0, 255, 255}, 1));
}

TEST_P(TerrainGl, AMovedWindowKeepsWhatItHeldAndEqualsAFullRedraw)
{
    // 129 points: a 64-wide level and the whole grid; tiles in stripes, decals about.
    make_track("glmove");
    put("glmove/terrain.hf", inline_heights(6, 1.0f, 0.0f, 0.0f, std::vector<uint16_t>(129 * 129, 0)));
    std::string map(64 * 64, '\0');
    for (int k = 0; k < 64 * 64; ++k)
        map[size_t(k)] = char((k % 64 / 3 + k / 64 / 5) % 4);
    put("glmove/tilemap", map);
    put("glmove/decals", "[ 40 50 ] 0.3 6 2 @glmove/red.png\n[ 70 44 ] 1 5 1 @glmove/red.png\n"
                         "[ 95 60 ] 0 4 1 @glmove/red.png\n");
    ASSERT_EQ(terrain_load(&terrain_, "glmove"), 1);
    ASSERT_EQ(terrain_.detail_level_count, 2);
    look_down(50, 20, 50);
    EXPECT_EQ(settle(), 0) << "the first frame after the load draws every level whole";
    EXPECT_EQ(terrain_.detail_levels[0].origin_x, 16);
    look_down(78, 20, 60);
    ASSERT_GT(settle(), 3) << "a moved window is redrawn one piece per frame";
    const terrain_detail_level& level = terrain_.detail_levels[0];
    EXPECT_EQ(level.origin_x, 48);
    EXPECT_EQ(level.origin_z, 32);
    const auto moved = read_texture(level.colour_texture, 128);
    // The decal at (70, 44) lies in the part kept from the old window.
    EXPECT_TRUE(near(at(moved, 128, (70 - 48) * 2, (44 - 32) * 2), kRed));

    terrain_.detail_levels[0].redraw = 2;
    terrain_set_torture_test(1);
    terrain_update_textures(&terrain_);
    const auto fresh = read_texture(level.colour_texture, 128);
    int differ = 0;
    for (int k = 0; k < 128 * 128; ++k)
        differ += !near(at(moved, 128, k % 128, k / 128), at(fresh, 128, k % 128, k / 128), 2);
    EXPECT_EQ(differ, 0);
}

TEST_P(TerrainGl, ALoadWithoutTilesOrAWholeTileMapFailsAndFreesEverything)
{
    make_track("glbroken");
    put("glbroken/tileinfo", "name orphan\ntexture @glbroken/tile0.png\n");   // no addtile
    ConsoleCapture console;
    EXPECT_EQ(terrain_load(&terrain_, "glbroken"), 0);
    EXPECT_NE(console.text().find("No tiles in tileinfo"), std::string::npos) << console.text();
    EXPECT_EQ(terrain_.heights, nullptr);
    EXPECT_EQ(terrain_.heights_texture, 0u);
    EXPECT_EQ(terrain_.vertex_array, 0u);

    put("glbroken/tileinfo", "texture @glbroken/tile0.png\naddtile\n");
    put("glbroken/tilemap", std::string(63, '\0'));
    EXPECT_EQ(terrain_load(&terrain_, "glbroken"), 0);
    EXPECT_NE(console.text().find("glbroken/tilemap' is too short"), std::string::npos);
    EXPECT_EQ(terrain_.tile_atlas, 0u);
    EXPECT_EQ(terrain_.shadow_texture, 0u);

    put("glbroken/tilemap", std::string(64, '\x07'));
    ASSERT_EQ(terrain_load(&terrain_, "glbroken"), 1);
    EXPECT_EQ(terrain_.tile_map[10], 0) << "clamped to the only tile";
}

TEST_P(TerrainGl, AddedAndRemovedDecalsShowAtTheNextUpdates)
{
    make_track("gldecals");
    ASSERT_EQ(terrain_load(&terrain_, "gldecals"), 1);
    look_down(8, 20, 8);
    ASSERT_GE(settle(), 0);
    EXPECT_TRUE(near(colour_at(100, 100), kTileColours[3]));

    // An appended decal is in every level after one update.
    decal extra = *static_cast<const decal*>(terrain_.decals.items);
    extra.x = extra.z = 12.5f;
    ASSERT_EQ(decal_insert(&terrain_, &extra, terrain_.decals.count), 1);
    terrain_update_textures(&terrain_);
    terrain_update_textures(&terrain_);
    EXPECT_TRUE(near(colour_at(100, 100), kRed)) << testing::PrintToString(colour_at(100, 100));
    ASSERT_GE(settle(), 0);
    EXPECT_TRUE(near(colour_at(100, 100), kRed));

    // A deleted decal leaves the ground as it was: the redraw keeps nothing stale.
    ASSERT_EQ(decal_delete(&terrain_, 0), 1);
    decal_buckets_renumber(&terrain_, 0, -1);
    ASSERT_GE(settle(), 0);
    EXPECT_TRUE(near(colour_at(24, 24), kTileColours[0])) << testing::PrintToString(colour_at(24, 24));
    EXPECT_TRUE(near(colour_at(100, 100), kRed));
}

INSTANTIATE_TEST_SUITE_P(Mesa, TerrainGl, testing::Values(GlKind::desktop, GlKind::es),
                         [](const testing::TestParamInfo<GlKind>& info) { return kind_name(info.param); });
