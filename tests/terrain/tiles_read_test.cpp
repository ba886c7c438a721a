// The tile files: "tileinfo" keywords, their limits and warnings, the erosion radii
// held to what a rut point can afford, roost items, and the older "texturelist".
#include "foundation/vfs/vfs.h"
#include "support/measured_child.h"
#include "support/test_support.h"
#include "terrain/terrain_deform.h"
#include "terrain/terrain_tiles_read.h"
#include "terrain_fixture.h"
#include "track_files.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <string>

namespace {

std::map<std::string, uint32_t> loaded;

uint32_t fake_load(const char* name)
{
    if (strstr(name, "missing"))
        return 0;
    return loaded.emplace(name, uint32_t(loaded.size() + 100)).first->second;
}

struct Parsed {
    TestTerrain t{1, 1.0f};
    std::vector<std::string> textures;
    std::string console;
    int count = 0;
};

std::unique_ptr<Parsed> parse(const std::string& text, bool texturelist = false)
{
    auto p = std::make_unique<Parsed>();
    bvtest::TempDir dir;
    bvtest::write_file(dir / "tiles", text);
    vfs_file* f = vfs_open((dir / "tiles").c_str(), "rb");
    EXPECT_NE(f, nullptr);
    ConsoleCapture console;
    p->count = texturelist ? terrain_read_texturelist(p->t.get(), f, fake_load, &p->textures)
                           : terrain_read_tileinfo(p->t.get(), f, fake_load, &p->textures);
    p->console = console.text();
    vfs_close(f);
    return p;
}

}  // namespace

TEST(Tileinfo, StoresTilesWithSortedClampedMaterials)
{
    auto p = parse("  name  packed dirt\r\n"
                   "\ttexture @tiles/packed.png\n"
                   "\n"
                   "friction 0.9 30\nfriction 1.2 5\nfriction -1 1e9\n"
                   "slip_function 2\n"
                   "roll_resist 4 12 20\nroll_resist 3 -2 0\n"
                   "erode_radius 3.5\n"
                   "erode_limit 0.5 1 2\nerode_limit 1.5 3 4\n"
                   "addtile\n"
                   "texture @tiles/grass.png\n"
                   "addtile\n");
    auto& t = p->t;
    ASSERT_EQ(p->count, 2);
    EXPECT_EQ(p->console, "");
    EXPECT_STREQ(t->tile_names[0], "packed dirt");
    EXPECT_STREQ(t->tile_names[1], "@tiles/grass.png") << "a tile without a name takes its texture's";
    EXPECT_EQ(p->textures, (std::vector<std::string>{"@tiles/packed.png", "@tiles/grass.png"}));
    EXPECT_EQ(t->tile_textures[0], loaded["@tiles/packed.png"]);
    // Sorted by speed; friction below 0 becomes 0, speeds stop short of 2^20.
    const float speeds[4] = {5, 30, 1048575, 1048576}, values[4] = {1.2f, 0.9f, 0, 1};
    for (int k = 0; k < 4; ++k) {
        EXPECT_FLOAT_EQ(t->friction_speeds[0][k], speeds[k]) << k;
        EXPECT_FLOAT_EQ(t->friction_values[0][k], values[k]) << k;
    }
    // Sorted by key; a negative coefficient becomes 0, a key below 2^-20 that.
    EXPECT_FLOAT_EQ(t->roll_resist_speeds[0][0], 0.0000009536743f);
    EXPECT_FLOAT_EQ(t->roll_resist[0][0][1], 0.0f);
    EXPECT_FLOAT_EQ(t->roll_resist_speeds[0][1], 20.0f);
    EXPECT_EQ(t->slip_function[0], 2);
    EXPECT_FLOAT_EQ(t->erode_params[0].radius, 3.5f);
    EXPECT_FLOAT_EQ(t->erode_params[0].limit_second[1], 4.0f);
    // The second tile starts from the defaults again.
    EXPECT_FLOAT_EQ(t->friction_speeds[1][0], 1.0f);
    EXPECT_EQ(t->slip_function[1], 0);
    EXPECT_FLOAT_EQ(t->erode_params[1].radius, 4.0f);
    EXPECT_EQ(t->erode_params[1].limit_count, 1) << "a tile naming no limit gets (0, 1, 1)";
}

TEST(Tileinfo, BadLinesWarnAndChangeNothing)
{
    std::string text = "name t\nfriction 1\nfriction x y\nslip_function 3\nslip_function\nroll_resist 1 2\n"
                       "erode_radius 1e39\nerode_depth deep\nerode_limit 1 1\nerode_limit 2 1 1\n"
                       "erode_limit 2 1 1\nerode_limit 1 5 5\nwobble 3\n";
    for (int k = 0; k < 9; ++k)
        text += "friction 1 " + std::to_string(k) + "\nroll_resist 1 1 " + std::to_string(k + 1) + "\n";
    for (int k = 3; k <= 10; ++k)
        text += "erode_limit " + std::to_string(k) + " 1 1\n";
    auto p = parse(text + "addtile\n");
    ASSERT_EQ(p->count, 1);
    EXPECT_EQ(p->console,
              "tileinfo warning: bad friction parameters\n"
              "tileinfo warning: bad friction parameters\n"
              "tileinfo warning: bad slip_function\n"
              "tileinfo warning: bad slip_function\n"
              "tileinfo warning: bad roll_resist parameters\n"
              "tileinfo warning: bad erode_radius\n"
              "tileinfo warning: bad erode_depth\n"
              "tileinfo warning: bad erode_limit\n"
              "tileinfo warning: erode_limit depth <= prev depth\n"
              "tileinfo warning: erode_limit depth <= prev depth\n"
              "tileinfo warning: Unknown identifier 'wobble'\n"
              "tileinfo warning: too many friction points\n"
              "tileinfo warning: too many roll_resist points\n"
              "tileinfo warning: too many erode limits\n");
    auto& t = p->t;
    EXPECT_EQ(t->slip_function[0], 0);
    EXPECT_FLOAT_EQ(t->erode_params[0].radius, 4.0f) << "an infinite radius is refused";
    EXPECT_FLOAT_EQ(t->friction_speeds[0][7], 7.0f);
    EXPECT_EQ(t->erode_params[0].limit_count, 8);
    EXPECT_FLOAT_EQ(t->erode_params[0].limit_depth[7], 9.0f);
}

// Every rut point walks the square of the erosion radius in grid points: a radius of
// 1e9 cost most of a second per point on a 1025-point grid. Both radii are held to
// what a rut point can afford, the file named in the warning; soft ground's wide ruts
// (32 ft, and 64 at the edge) stand.
TEST(Tileinfo, ErosionRadiiAreHeldToWhatARutPointCanAfford)
{
    bvtest::TempDir dir;
    const std::string name = dir / "tileinfo";
    bvtest::write_file(name, "erode_radius 1e9\nerode_inner_radius -3\naddtile\n"
                             "erode_radius 64\nerode_inner_radius 32\naddtile\n"
                             "erode_radius 64.01\nerode_inner_radius 0\naddtile\n");
    TestTerrain t{10, 1.0f};
    vfs_file* f = vfs_open(name.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    ConsoleCapture console;
    EXPECT_EQ(terrain_read_tileinfo(t.get(), f, fake_load, nullptr, name.c_str()), 3);
    vfs_close(f);
    EXPECT_EQ(console.text(), "tileinfo warning: erode_radius 1e+09 in " + name + " held to 64\n" +
                                  "tileinfo warning: erode_inner_radius -3 in " + name + " held to 0\n" +
                                  "tileinfo warning: erode_radius 64.01 in " + name + " held to 64\n");
    const tile_erode_params& e = t->erode_params[0];
    EXPECT_FLOAT_EQ(e.radius, 64.0f);
    EXPECT_FLOAT_EQ(e.inner_radius, 0.0f);
    EXPECT_FLOAT_EQ(t->erode_params[1].radius, 64.0f) << "the largest radius stands";
    EXPECT_FLOAT_EQ(t->erode_params[1].inner_radius, 32.0f) << "a soft-ground radius stands";
    EXPECT_FLOAT_EQ(t->erode_params[2].radius, 64.0f);
    EXPECT_FLOAT_EQ(t->erode_params[2].inner_radius, 0.0f) << "zero is the smallest radius";
    // One rut point's three brushes on the 1025-point grid.
    const bvtest::ChildCost cost = bvtest::run_measured([&] {
        const float removed = brush_add(t.get(), 512, 512, e.radius, -0.1f) + brush_add(t.get(), 512, 512, e.inner_radius, -0.1f);
        brush_add_normalised(t.get(), 514, 512, e.radius, -removed);
        return 1;
    });
    std::fprintf(stderr, "%s\n", bvtest::describe("rut point, erode_radius 64", cost).c_str());
    EXPECT_TRUE(cost.finished);
    EXPECT_LT(cost.seconds, 0.25) << bvtest::describe("rut point", cost);
}

TEST(Tileinfo, RoostItemsQuotesAndLimits)
{
    auto p = parse("roost count=25 \"texture=@dust cloud.png\" splash=1 r=300 g=12.9 fade_a=-500 size=0.5\n"
                   "roost\tdig=2\fslip_threshold=1\bcolour=red vscale=abc\n"
                   "roost texture=@mud.png\n"
                   "roost\n"
                   "roost count=1\n"
                   "addtile\n");
    ASSERT_EQ(p->count, 1);
    EXPECT_EQ(p->console,
              "tileinfo warning: unknown roost parameter 'colour=red'\n"
              "tileinfo warning: bad vscale\n"
              "tileinfo warning: too many roost types\n");
    const roost_type* r = p->t->roost_types[0];
    EXPECT_EQ(r[0].mode, 2);
    EXPECT_FLOAT_EQ(r[0].count, 25.0f);
    EXPECT_EQ(r[0].texture, loaded["@dust cloud.png"]);
    EXPECT_EQ(r[0].colour[0], 255);
    EXPECT_EQ(r[0].colour[1], 12);
    EXPECT_EQ(r[0].fade[3], -3);
    EXPECT_EQ(r[1].mode, 1);
    EXPECT_FLOAT_EQ(r[1].dig, 2.0f);
    EXPECT_FLOAT_EQ(r[1].slip_threshold, 1.0f);
    EXPECT_FLOAT_EQ(r[1].vscale, 1.0f);
    EXPECT_EQ(r[1].texture, loaded["@roost.png"]);
    EXPECT_EQ(r[2].texture, loaded["@mud.png"]);
    EXPECT_FLOAT_EQ(r[3].count, 10.0f) << "the fourth roost line is accepted, with the defaults";
}

TEST(Tileinfo, OnlyAddtileStoresAndTilesStopAt256)
{
    auto p = parse("name kept\naddtile\nname lost\ntexture @lost.png\n");
    EXPECT_EQ(p->count, 1);
    EXPECT_EQ(p->textures.size(), 1u);
    EXPECT_EQ(parse("")->count, 0);

    std::string many = "name " + std::string(60, 'x') + "\n";
    for (int k = 0; k < 300; ++k)
        many += "addtile\n";
    auto q = parse(many);
    EXPECT_EQ(q->count, 256);
    EXPECT_EQ(strlen(q->t->tile_names[0]), 47u);
    EXPECT_STREQ(q->t->tile_names[1], "");

    // An overlong line is cut at 1023 characters; its tail is not a line.
    auto cut = parse("name " + std::string(1100, 'y') + " addtile\naddtile\n");
    EXPECT_EQ(cut->count, 1);
    EXPECT_EQ(cut->console, "");
}

TEST(Texturelist, NumbersNameAndOnlyTheLineEndGoes)
{
    auto p = parse("0.8 4 11 tiles/dirt.png\r\n"
                   "\n"
                   "tiles/grass.png\n"
                   "   \n"
                   "1.1 6 tiles/odd name.ppm\n"
                   "0.5 1 2 tiles/last.png",
                   true);
    auto& t = p->t;
    ASSERT_EQ(p->count, 4);
    EXPECT_EQ(p->textures, (std::vector<std::string>{"@tiles/dirt.png", "@tiles/grass.png",
                                                     "@1.1 6 tiles/odd name.ppm", "@tiles/last.png"}));
    EXPECT_EQ(t->tile_textures[3], loaded["@tiles/last.png"]);
    for (int k = 0; k < 8; ++k) {
        EXPECT_FLOAT_EQ(t->friction_values[0][k], 0.8f);
        EXPECT_FLOAT_EQ(t->roll_resist[0][k][1], 11.0f);
        EXPECT_FLOAT_EQ(t->roll_resist[1][k][0], 5.0f);
    }
    EXPECT_EQ(t->roost_types[0][0].mode, 1);
}
