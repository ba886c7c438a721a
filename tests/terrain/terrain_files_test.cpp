// The terrain files on the CPU: heights inline and from PNG with their digest, bad
// headers and short data, shadows, the tile map, decal lines, and the save: its
// formats, its round trip, and what a failed save leaves behind.
#include "console_capture.h"
#include "foundation/ripemd160.h"
#include "gfx/images.h"
#include "terrain/decals.h"
#include "terrain/terrain_files.h"
#include "terrain_fixture.h"
#include "track_files.h"

#include <cmath>
#include <cstring>
#include <filesystem>
#include <map>

using namespace trackfiles;

namespace {

struct Loaded {
    std::unique_ptr<terrain_state> record = std::make_unique<terrain_state>();
    uint8_t digest[20] = {};
    int ok = 0;
    std::string console;
    Loaded() { terrain_init(record.get()); }
    ~Loaded() { terrain_free(record.get()); }
    terrain_state* operator->() { return record.get(); }
    float h(int i, int j) { return record->heights[j * record->size + i]; }
};

std::unique_ptr<Loaded> read_heights(const std::string& folder)
{
    auto l = std::make_unique<Loaded>();
    ConsoleCapture console;
    l->ok = terrain_read_heights(l->record.get(), folder.c_str(), l->digest);
    l->console = console.text();
    return l;
}

std::string digest_of(const std::vector<uint16_t>& samples)
{
    ripemd160_ctx c;
    ripemd160_init(&c);
    for (uint16_t v : samples) {
        const uint8_t b[2] = {uint8_t(v), uint8_t(v >> 8)};
        ripemd160_update(&c, b, 2);
    }
    ripemd160_final(&c);
    return std::string(reinterpret_cast<char*>(c.digest), 20);
}

float expected_height(float low, float high, uint16_t v)
{
    return float(double(low) + (double(high) - double(low)) * v / 65535.0);
}

// A 5 x 5 grid with both extremes, so a save keeps the same range.
std::vector<uint16_t> ramp()
{
    std::vector<uint16_t> s(25);
    for (int k = 0; k < 25; ++k)
        s[k] = uint16_t(k * 65535 / 24);
    s[7] = 12345;
    return s;
}

std::string files_of(const std::string& folder)
{
    std::string all;
    for (const char* name : {"terrain.hf", "terrain.png", "shading.ppm", "shadingx2.ppm", "tilemap"})
        all += std::string(name) + "=" + get(folder + "/" + name) + "|";
    return all;
}

}  // namespace

TEST(TerrainFiles, InlineSamplesGiveHeightsCopyAndDigest)
{
    const auto samples = ramp();
    put("tracks/inline/terrain.hf", inline_heights(1, 2.5f, -10.0f, 20.0f, samples));
    auto l = read_heights("tracks/inline");
    ASSERT_EQ(l->ok, 1) << l->console;
    EXPECT_EQ((*l)->size, 5);
    EXPECT_FLOAT_EQ((*l)->cell, 2.5f);
    EXPECT_FLOAT_EQ((*l)->world_size, 10.0f);
    for (int k = 0; k < 25; ++k) {
        EXPECT_EQ((*l)->heights[k], expected_height(-10, 20, samples[k])) << k;
        EXPECT_EQ((*l)->heights_copy[k], (*l)->heights[k]);
    }
    EXPECT_EQ((*l)->heights[0], -10.0f);
    EXPECT_EQ((*l)->heights[24], 20.0f);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(l->digest), 20), digest_of(samples));
}

TEST(TerrainFiles, PngSamplesRepeatTheirLastRowAndColumn)
{
    // 3 x 2 image for a 5 x 5 grid; any byte but ':' after the header means PNG.
    const std::vector<uint16_t> image = {0, 1000, 2000, 30000, 40000, 65535};
    put("tracks/png/terrain.hf", "1 1.0 0.0 65535.0\n");
    ASSERT_EQ(png_write_gray16(path("tracks/png/terrain.png").c_str(), image.data(), 3, 2), 1);
    auto l = read_heights("tracks/png");
    ASSERT_EQ(l->ok, 1) << l->console;
    std::vector<uint16_t> grid;
    for (int j = 0; j < 5; ++j)
        for (int i = 0; i < 5; ++i)
            grid.push_back(image[(j < 2 ? j : 1) * 3 + (i < 3 ? i : 2)]);
    for (int k = 0; k < 25; ++k)
        EXPECT_EQ((*l)->heights[k], float(grid[k])) << k;
    EXPECT_EQ(std::string(reinterpret_cast<char*>(l->digest), 20), digest_of(grid));

    // Without its PNG the ground lies flat at the minimum, and the console says why.
    put("tracks/nopng/terrain.hf", "1 1.0 3.5 9.0\n");
    auto flat = read_heights("tracks/nopng");
    ASSERT_EQ(flat->ok, 1);
    EXPECT_EQ(flat->h(4, 4), 3.5f);
    EXPECT_NE(flat->console.find("Can't open"), std::string::npos);
}

TEST(TerrainFiles, BadHeadersAndShortSamplesAreRefused)
{
    const char* headers[] = {"-1 1 0 1\n:", "13 1 0 1\n:", "40 1 0 1\n:", "2 0 0 1\n:", "2 -3 0 1\n:",
                             "2 nan 0 1\n:", "2 inf 0 1\n:", "2 1 inf 1\n:", "2 1 0 nan\n:", "2 1 0\n", "x\n", ""};
    for (const char* header : headers) {
        put("tracks/bad/terrain.hf", header);
        auto l = read_heights("tracks/bad");
        EXPECT_EQ(l->ok, 0) << header;
        EXPECT_EQ(l->console, "Bad height field parameters\nError reading heights\n") << header;
        EXPECT_EQ((*l)->heights, nullptr);
    }
    auto samples = ramp();
    samples.pop_back();
    put("tracks/bad/terrain.hf", inline_heights(1, 1, 0, 1, samples));
    auto l = read_heights("tracks/bad");
    EXPECT_EQ(l->ok, 0);
    EXPECT_NE(l->console.find("tracks/bad/terrain.hf' is too short"), std::string::npos) << l->console;

    remove_folder("tracks/none");
    auto missing = read_heights("tracks/none");
    EXPECT_EQ(missing->ok, 0);
    EXPECT_EQ(missing->console, "Can't open '@tracks/none/terrain.hf'\n");
}

TEST(TerrainFiles, ShadowsAreStoredInvertedAndMustFitTheGrid)
{
    TestTerrain t(1, 1.0f);
    remove_folder("tracks/shade");
    EXPECT_EQ(terrain_read_shadows(t.get(), "tracks/shade"), 1) << "no shadows file: all lit";
    EXPECT_EQ(t->shadow[12], 0);

    std::vector<uint8_t> bright(25);
    for (int k = 0; k < 25; ++k)
        bright[k] = uint8_t(k * 10);
    put("tracks/shade/shadows.pgm", pgm(5, 5, bright));
    EXPECT_EQ(terrain_read_shadows(t.get(), "tracks/shade"), 1);
    EXPECT_EQ(t->shadow[0], 255);
    EXPECT_EQ(t->shadow[24], 255 - 240);

    ConsoleCapture console;
    put("tracks/shade/shadows.pgm", pgm(4, 5, std::vector<uint8_t>(20, 9)));
    EXPECT_EQ(terrain_read_shadows(t.get(), "tracks/shade"), 0);
    EXPECT_NE(console.text().find("Bad shadow dimensions (4x5)"), std::string::npos);
    put("tracks/shade/shadows.pgm", "P5\nfive five\n255\n");
    EXPECT_EQ(terrain_read_shadows(t.get(), "tracks/shade"), 0);
    EXPECT_NE(console.text().find("Error reading shadows"), std::string::npos);
}

TEST(TerrainFiles, TileMapIsClampedAndMustBeWhole)
{
    TestTerrain t(2, 1.0f);   // 4 x 4 tiles
    t->tile_count = 3;
    put("tracks/tiles/tilemap", std::string("\x00\x01\x02\x03\xff\x02\x01\x00\x00\x00\x00\x00\x07\x00\x00\x02", 16));
    ASSERT_EQ(terrain_read_tilemap(t.get(), "tracks/tiles"), 1);
    EXPECT_EQ(t->tile_map[2], 2);
    EXPECT_EQ(t->tile_map[3], 2);
    EXPECT_EQ(t->tile_map[4], 2);
    EXPECT_EQ(t->tile_map[12], 2);
    EXPECT_EQ(t->tile_map[15], 2);

    ConsoleCapture console;
    put("tracks/tiles/tilemap", std::string(15, '\0'));
    EXPECT_EQ(terrain_read_tilemap(t.get(), "tracks/tiles"), 0);
    EXPECT_NE(console.text().find("tracks/tiles/tilemap' is too short"), std::string::npos);
    remove_folder("tracks/tiles");
    EXPECT_EQ(terrain_read_tilemap(t.get(), "tracks/tiles"), 0);
}

namespace {
std::map<std::string, uint32_t> decal_textures;
uint32_t load_decal_texture(const char* name)
{
    static const char* present[] = {"@d/arrow.png", "@d/arrow_tnorm.ppm", "@d/arrow_tspec.png", "@d/plain"};
    for (const char* p : present)
        if (!strcmp(name, p))
            return decal_textures.emplace(name, uint32_t(decal_textures.size() + 40)).first->second;
    return 0;
}
}  // namespace

TEST(TerrainFiles, DecalLinesWithTheirMapsUntilTheFirstBadLine)
{
    TestTerrain t(3, 1.0f);
    ASSERT_EQ(terrain_decals_alloc(t.get()), 1);
    put("tracks/decals/decals", "[ 3 4 ] 0.5 2 1.5 @d/arrow.png\n"
                                "[1 1] 0 1 1 @d/missing.png\n"
                                "[ 12 14 ] 0 1 1 @d/plain\n"
                                "[ 5 5 ] oops\n"
                                "[ 6 6 ] 0 1 1 @d/arrow.png\n");
    ASSERT_EQ(terrain_read_decals(t.get(), "tracks/decals", load_decal_texture), 1);
    ASSERT_EQ(t->decals.count, 2) << "the missing texture's line is skipped; reading stops at the bad line";
    const decal* d = static_cast<const decal*>(t->decals.items);
    EXPECT_EQ(d[0].texture, decal_textures["@d/arrow.png"]);
    EXPECT_EQ(d[0].normal_map, decal_textures["@d/arrow_tnorm.ppm"]) << "PPM when no PNG";
    EXPECT_EQ(d[0].specular_map, decal_textures["@d/arrow_tspec.png"]);
    EXPECT_FLOAT_EQ(d[0].sine, std::sin(0.5f));
    EXPECT_FLOAT_EQ(d[0].aspect, 1.5f);
    EXPECT_EQ(d[1].normal_map, 0u) << "a name without '.' has no maps";
    EXPECT_EQ(t->decal_buckets[2][1].count, 1);
    EXPECT_EQ(t->decal_buckets[3][3].count, 0);
    EXPECT_EQ(t->decal_buckets[7][6].count, 1);
}

TEST(TerrainFiles, ShadingFollowsTheSunAndTheShadows)
{
    TestTerrain t(1, 1.0f);
    terrain_light up{{0, 1, 0}, {1, 1, 1}, {0.5f, 0.5f, 0.5f}};
    uint8_t rgb[3];
    terrain_shading_at(t.get(), 2, 2, &up, rgb);
    EXPECT_EQ(rgb[0], 191);   // (1 + 0.5) / 2 * 255
    t->shadow[12] = 255;
    terrain_shading_at(t.get(), 2, 2, &up, rgb);
    EXPECT_EQ(rgb[1], 63);    // ambient alone
    // A slope rising along +x faces away from a sun in +x.
    for (int j = 0; j < 5; ++j)
        for (int i = 0; i < 5; ++i)
            t.h(i, j) = float(i);
    terrain_light east{{1, 0, 0}, {1, 0.5f, 0}, {0, 0, 0}};
    terrain_shading_at(t.get(), 1, 1, &east, rgb);
    EXPECT_EQ(rgb[0], 0);
    terrain_light west{{-1, 0, 0}, {1, 0.5f, 0}, {0, 0, 0}};
    terrain_shading_at(t.get(), 1, 1, &west, rgb);
    // light = 2 * 2 / sqrt(16 + 16) = 0.7071
    EXPECT_EQ(rgb[0], int(0.70710677f * 0.5f * 255.0f));
    EXPECT_EQ(rgb[1], int(0.70710677f * 0.5f * 0.5f * 255.0f));
    EXPECT_EQ(rgb[2], 0);
}

TEST(TerrainFiles, SaveRoundTripsByteForByte)
{
    remove_folder("tracks/round");
    const auto samples = ramp();
    put("tracks/round/terrain.hf", inline_heights(1, 2.0f, 100.25f, 131.5f, samples));
    std::vector<uint8_t> bright(25, 200);
    bright[12] = 10;
    put("tracks/round/shadows.pgm", pgm(5, 5, bright));
    put("tracks/round/tilemap", std::string("\x00\x01\x01\x00", 4));
    terrain_light light{{0.6f, 0.64f, 0.48f}, {1, 0.9f, 0.8f}, {0.4f, 0.4f, 0.45f}};

    auto first = read_heights("tracks/round");
    ASSERT_EQ(first->ok, 1);
    (*first)->tile_count = 2;
    ASSERT_EQ(terrain_read_shadows(first->record.get(), "tracks/round"), 1);
    ASSERT_EQ(terrain_read_tilemap(first->record.get(), "tracks/round"), 1);
    ASSERT_EQ(terrain_save_to(first->record.get(), "tracks/round", &light), 1);
    EXPECT_EQ(get("tracks/round/terrain.hf"), "1 2.000000 100.250000 131.500000\n");
    EXPECT_EQ(get("tracks/round/tilemap"), std::string("\x00\x01\x01\x00", 4));
    EXPECT_EQ(get("tracks/round/shading.ppm").substr(0, 11), "P6\n5 5\n255\n");
    EXPECT_EQ(get("tracks/round/shading.ppm").size(), 11u + 75u);
    EXPECT_FALSE(std::filesystem::exists(path("tracks/round/terrain.png.new")));
    const std::string saved = files_of("tracks/round");

    // The saved pair loads the same samples (now from the PNG), so a second save
    // writes the very same bytes.
    auto second = read_heights("tracks/round");
    ASSERT_EQ(second->ok, 1);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(second->digest), 20), digest_of(samples));
    for (int k = 0; k < 25; ++k)
        EXPECT_EQ((*second)->heights[k], (*first)->heights[k]) << k;
    (*second)->tile_count = 2;
    ASSERT_EQ(terrain_read_shadows(second->record.get(), "tracks/round"), 1);
    ASSERT_EQ(terrain_read_tilemap(second->record.get(), "tracks/round"), 1);
    EXPECT_EQ(std::memcmp((*second)->shadow, (*first)->shadow, 25), 0);
    ASSERT_EQ(terrain_save_to(second->record.get(), "tracks/round", &light), 1);
    EXPECT_EQ(files_of("tracks/round"), saved);

    // A flat ground saves sample 0 with min = max and loads flat again.
    for (int k = 0; k < 25; ++k)
        (*second)->heights[k] = 7.5f;
    ASSERT_EQ(terrain_save_to(second->record.get(), "tracks/round", &light), 1);
    EXPECT_EQ(get("tracks/round/terrain.hf"), "1 2.000000 7.500000 7.500000\n");
    auto flat = read_heights("tracks/round");
    ASSERT_EQ(flat->ok, 1);
    EXPECT_EQ(flat->h(3, 2), 7.5f);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(flat->digest), 20), digest_of(std::vector<uint16_t>(25, 0)));
}

TEST(TerrainFiles, AFailedSaveNeverLeavesAMismatchedPair)
{
    remove_folder("tracks/stuck");
    put("tracks/stuck/terrain.hf", inline_heights(1, 1.0f, 0.0f, 10.0f, ramp()));
    put("tracks/stuck/tilemap", std::string(4, '\0'));
    auto l = read_heights("tracks/stuck");
    ASSERT_EQ(l->ok, 1);
    (*l)->tile_count = 1;
    terrain_light light{{0, 1, 0}, {1, 1, 1}, {0, 0, 0}};
    ASSERT_EQ(terrain_save_to(l->record.get(), "tracks/stuck", &light), 1);
    const std::string hf = get("tracks/stuck/terrain.hf"), png = get("tracks/stuck/terrain.png");

    (*l)->heights[3] = 55.0f;   // a new maximum: both files would change
    for (const char* blocked : {"tracks/stuck/terrain.png.new", "tracks/stuck/terrain.hf.new"}) {
        std::filesystem::create_directories(path(blocked));
        ConsoleCapture console;
        EXPECT_EQ(terrain_save_to(l->record.get(), "tracks/stuck", &light), 0) << blocked;
        EXPECT_NE(console.text().find("Can't open"), std::string::npos);
        EXPECT_EQ(get("tracks/stuck/terrain.hf"), hf) << blocked;
        EXPECT_EQ(get("tracks/stuck/terrain.png"), png) << blocked;
        EXPECT_FALSE(std::filesystem::is_regular_file(path("tracks/stuck/terrain.png.new")));
        EXPECT_FALSE(std::filesystem::is_regular_file(path("tracks/stuck/terrain.hf.new")));
        std::filesystem::remove_all(path(blocked));
    }
    ASSERT_EQ(terrain_save_to(l->record.get(), "tracks/stuck", &light), 1);
    EXPECT_NE(get("tracks/stuck/terrain.hf"), hf);
    EXPECT_EQ(get("tracks/stuck/terrain.hf"), "1 1.000000 0.000000 55.000000\n");
}
