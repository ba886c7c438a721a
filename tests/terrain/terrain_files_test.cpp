// The terrain files on the CPU: heights inline and from PNG with their digest, bad
// headers and short data, shadows (their size checked first, read once per load), the
// tile map, decal lines, and the save: its formats, its round trip (the largest grid's
// too), and what a failed save leaves behind.
#include "foundation/numbers/ripemd160.h"
#include "support/measured_child.h"
#include "support/test_support.h"
#include "gfx/images.h"
#include "gl_recorder.h"
#include "terrain/decals.h"
#include "terrain/terrain_files.h"
#include "terrain/terrain_tiles_read.h"
#include "terrain_fixture.h"
#include "track_files.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>

#include <unistd.h>

using namespace trackfiles;

namespace {

struct Loaded {
    std::unique_ptr<terrain_state> t = std::make_unique<terrain_state>();
    uint8_t digest[20] = {};
    int ok = 0;
    std::string console;
    explicit Loaded(const std::string& folder)
    {
        terrain_init(t.get());
        ConsoleCapture capture;
        ok = terrain_read_heights(t.get(), folder.c_str(), digest);
        console = capture.text();
    }
    ~Loaded() { terrain_free(t.get()); }
    std::string digest_text() const { return std::string(reinterpret_cast<const char*>(digest), 20); }
};

// The digest of the samples as the loader feeds them: two bytes each, low first.
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

// A 5 x 5 grid with both extremes, so a save keeps the same range.
std::vector<uint16_t> ramp()
{
    std::vector<uint16_t> s(25);
    for (int k = 0; k < 25; ++k)
        s[k] = uint16_t(k == 7 ? 12345 : k * 65535 / 24);
    return s;
}

}  // namespace

TEST(TerrainFiles, HeightsInlineOrFromPngWithTheirDigest)
{
    const auto samples = ramp();
    put("tracks/inline/terrain.hf", inline_heights(1, 2.5f, -10.0f, 20.0f, samples));
    Loaded l("tracks/inline");
    ASSERT_EQ(l.ok, 1) << l.console;
    EXPECT_EQ(l.t->size, 5);
    for (int k = 0; k < 25; ++k)
        EXPECT_EQ(l.t->heights[k], float(-10.0 + 30.0 * samples[k] / 65535.0)) << k;
    EXPECT_EQ(l.t->heights[24], 20.0f) << "exact at the top";
    EXPECT_EQ(std::memcmp(l.t->heights_copy, l.t->heights, 25 * sizeof(float)), 0);
    EXPECT_EQ(l.digest_text(), digest_of(samples));

    // Any byte but ':' after the header means PNG; a 3 x 2 image repeats its last
    // row and column over the 5 x 5 grid.
    const std::vector<uint16_t> image = {0, 1000, 2000, 30000, 40000, 65535};
    put("tracks/png/terrain.hf", "1 1.0 0.0 65535.0\n");
    ASSERT_EQ(png_write_gray16(path("tracks/png/terrain.png").c_str(), image.data(), 3, 2), 1);
    Loaded p("tracks/png");
    ASSERT_EQ(p.ok, 1) << p.console;
    std::vector<uint16_t> grid;
    for (int k = 0; k < 25; ++k)
        grid.push_back(image[std::min(k / 5, 1) * 3 + std::min(k % 5, 2)]);
    for (int k = 0; k < 25; ++k)
        EXPECT_EQ(p.t->heights[k], float(grid[k])) << k;
    EXPECT_EQ(p.digest_text(), digest_of(grid));

    // Without its PNG the ground lies flat at the minimum, and the console says why.
    put("tracks/nopng/terrain.hf", "1 1.0 3.5 9.0\n");
    Loaded flat("tracks/nopng");
    ASSERT_EQ(flat.ok, 1);
    EXPECT_EQ(flat.t->heights[24], 3.5f);
    EXPECT_NE(flat.console.find("Can't open"), std::string::npos);
}

TEST(TerrainFiles, BadHeadersAndShortDataAreRefused)
{
    for (const char* header : {"-1 1 0 1\n:", "13 1 0 1\n:", "40 1 0 1\n:", "2 0 0 1\n:", "2 -3 0 1\n:",
                               "2 1e-9 0 1\n:", "2 1e30 0 1\n:", "2 nan 0 1\n:", "2 inf 0 1\n:", "2 1 inf 1\n:",
                               "2 1 0 nan\n:", "2 1 0\n", ""}) {
        put("tracks/bad/terrain.hf", header);
        Loaded l("tracks/bad");
        EXPECT_EQ(l.ok, 0) << header;
        EXPECT_EQ(l.console, "Bad height field parameters\nError reading heights\n") << header;
        EXPECT_EQ(l.t->heights, nullptr);
    }
    auto samples = ramp();
    samples.pop_back();
    put("tracks/bad/terrain.hf", inline_heights(1, 1, 0, 1, samples));
    Loaded short_samples("tracks/bad");
    EXPECT_EQ(short_samples.ok, 0);
    EXPECT_NE(short_samples.console.find("tracks/bad/terrain.hf' is too short"), std::string::npos);
    const std::string whole = inline_heights(1, 1, 0, 1, ramp());
    put("tracks/bad/terrain.hf", whole.substr(0, whole.size() - 1));
    EXPECT_EQ(Loaded("tracks/bad").ok, 0) << "one byte short";

    // The largest grid's header over 100 bytes of samples is refused on what the file
    // holds, before the grid is made: it costs its own length, not a gigabyte.
    put("tracks/bad/terrain.hf", "12 1 0 1\n:" + std::string(100, 'x'));
    const bvtest::ChildCost cost = bvtest::run_measured([] {
        Loaded l("tracks/bad");
        return l.ok == 0 && l.t->heights == nullptr && l.console.find("is too short") != std::string::npos;
    });
    std::fprintf(stderr, "%s\n", bvtest::describe("heights 8193x8193 over 100 bytes", cost).c_str());
    EXPECT_TRUE(cost.finished && cost.result == 1);
    EXPECT_LT(cost.seconds, 2.0) << bvtest::describe("heights", cost);
    EXPECT_LT(cost.grown_kib, 200 * 1024) << bvtest::describe("heights", cost);

    remove_folder("tracks/none");
    EXPECT_EQ(Loaded("tracks/none").console, "Can't open '@tracks/none/terrain.hf'\n");

    TestTerrain t(2, 1.0f);   // 4 x 4 tiles
    ConsoleCapture console;
    put("tracks/tiles/tilemap", std::string(15, '\0'));
    EXPECT_EQ(terrain_read_tilemap(t.get(), "tracks/tiles"), 0);
    EXPECT_NE(console.text().find("tracks/tiles/tilemap' is too short"), std::string::npos);
}

TEST(TerrainFiles, ShadowsAreInvertedAndTileNumbersClamped)
{
    TestTerrain t(1, 1.0f);
    remove_folder("tracks/shade");
    EXPECT_EQ(terrain_read_shadows(t.get(), "tracks/shade"), 1) << "no shadows file: all lit";
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
    // A map taken for one grid is not stored into a grid of another side.
    put("tracks/shade/shadows.pgm", pgm(5, 5, bright));
    terrain_shadow_map taken;
    ASSERT_EQ(terrain_shadows_take("tracks/shade", 5, &taken), 1);
    TestTerrain wider(2, 1.0f);
    EXPECT_EQ(terrain_shadows_put(wider.get(), &taken), 0);
    EXPECT_EQ(taken.shadow, nullptr);
    EXPECT_EQ(wider->shadow[0], 0);
    EXPECT_NE(console.text().find("Bad shadow dimensions (5x5)"), std::string::npos);
    // A 17-byte file declaring 64 million samples of text is refused on its header,
    // before a sample is read or a byte kept for them.
    for (const char* word : {"P2", "P5"}) {
        put("tracks/shade/shadows.pgm", std::string(word) + "\n8192 8192\n255\n");
        const bvtest::ChildCost cost =
            bvtest::run_measured([&] { return terrain_read_shadows(t.get(), "tracks/shade") == 0 ? 1 : 0; });
        const std::string name = std::string(word) + " shadows 8192x8192";
        std::fprintf(stderr, "%s\n", bvtest::describe(name, cost).c_str());
        EXPECT_TRUE(cost.finished && cost.result == 1) << name;
        EXPECT_LT(cost.grown_kib, 4096) << bvtest::describe(name, cost);
        EXPECT_LT(cost.seconds, 0.5) << bvtest::describe(name, cost);
    }
    EXPECT_NE(console.text().find("Bad shadow dimensions (8192x8192)"), std::string::npos);

    // At the largest grid, 8193 x 8193 (past the image limit): a header over a few
    // bytes is refused at the cost of those bytes; a whole file (sparse: zeros, all
    // lit) is read.
    auto cap = std::make_unique<terrain_state>();
    terrain_init(cap.get());
    cap->size = 8193;
    std::vector<uint8_t> cap_shadow(size_t(cap->size) * size_t(cap->size), 7);
    cap->shadow = cap_shadow.data();
    put("tracks/shade/shadows.pgm", "P5\n8193 8193\n255\n" + std::string(100, 'x'));
    const bvtest::ChildCost cost =
        bvtest::run_measured([&] { return terrain_read_shadows(cap.get(), "tracks/shade") == 0 ? 1 : 0; });
    std::fprintf(stderr, "%s\n", bvtest::describe("shadows 8193x8193 over 100 bytes", cost).c_str());
    EXPECT_TRUE(cost.finished && cost.result == 1);
    EXPECT_LT(cost.seconds, 2.0) << bvtest::describe("shadows", cost);
    EXPECT_LT(cost.grown_kib, 200 * 1024) << bvtest::describe("shadows", cost);
    // In a track's load such a file is refused before the largest grid is made for it
    // (seconds and most of a gigabyte of its own), and so is a whole map of another
    // size (sparse: 64 MiB of zeros).
    put("tracks/capload/terrain.hf", "12 1 0 1\n");
    const std::string other_size = "P5\n8192 8192\n255\n";
    for (const char* word : {"P5", "P2", ""}) {
        const bool whole = !*word;
        if (whole) {
            put("tracks/capload/shadows.pgm", other_size);
            ASSERT_EQ(truncate(path("tracks/capload/shadows.pgm").c_str(), off_t(other_size.size() + 8192 * 8192)), 0);
        } else {
            put("tracks/capload/shadows.pgm", std::string(word) + "\n8193 8193\n255\n" + std::string(100, '1'));
        }
        const bvtest::ChildCost load = bvtest::run_measured([whole] {
            auto loaded = std::make_unique<terrain_state>();
            ConsoleCapture refusal;
            const char* why = whole ? "Bad shadow dimensions (8192x8192)" : "Error reading shadows";
            return terrain_load(loaded.get(), "tracks/capload") == 0 && refusal.text().find(why) != std::string::npos;
        });
        const std::string name = whole ? "a whole 8192x8192 map for the 8193x8193 grid, in a load"
                                       : std::string(word) + " shadows 8193x8193 over 100 bytes, in a load";
        std::fprintf(stderr, "%s\n", bvtest::describe(name, load).c_str());
        EXPECT_TRUE(load.finished && load.result == 1) << name;
        EXPECT_LT(load.seconds, 2.0) << bvtest::describe(name, load);
        EXPECT_LT(load.grown_kib, 200 * 1024) << bvtest::describe(name, load);
    }
    const std::string header = "P5\n8193 8193\n255\n";
    put("tracks/shade/shadows.pgm", header);
    ASSERT_EQ(truncate(path("tracks/shade/shadows.pgm").c_str(), off_t(header.size() + cap_shadow.size())), 0);
    EXPECT_EQ(terrain_read_shadows(cap.get(), "tracks/shade"), 1);
    EXPECT_EQ(cap_shadow.front(), 255);
    EXPECT_EQ(cap_shadow.back(), 255);

    t->tile_count = 3;
    put("tracks/shade/tilemap", std::string("\x00\x01\x02\xff", 4));
    ASSERT_EQ(terrain_read_tilemap(t.get(), "tracks/shade"), 1);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(t->tile_map), 4), std::string("\x00\x01\x02\x02", 4));
}

// A load reads the shadows once, before the grid is made, and stores them after: the
// bytes it reads are the megabyte of the map once, beside a few of heights and tiles.
// A file past its reader's bound (sparse, 3 GiB, as a download of a few bytes unpacks)
// stops the load unread, in one line naming it: made so one by one from the last read.
TEST(TerrainFiles, ALoadReadsTheShadowsOnce)
{
    remove_folder("tracks/once");
    put("tracks/once/terrain.hf", "9 1.0 0.0 10.0\n");
    const uint16_t pixel = 1000;
    ASSERT_EQ(png_write_gray16(path("tracks/once/terrain.png").c_str(), &pixel, 1, 1), 1);
    const int side = 1025;
    std::vector<uint8_t> bright(size_t(side) * side);
    for (size_t k = 0; k < bright.size(); ++k)
        bright[k] = uint8_t(k * 7 + k / 1025);
    const std::string map = pgm(side, side, bright);
    put("tracks/once/shadows.pgm", map);
    const std::string tilemap(512 * 512, '\0');
    put("tracks/once/tilemap", tilemap);
    put("tracks/once/texturelist", "1 5 15 @tracks/once/tile.png\n");
    const std::vector<uint8_t> tile(16 * 16 * 4, 128);
    ASSERT_EQ(png_write_rgba(path("tracks/once/tile.png").c_str(), tile.data(), 16, 16), 1);
    const bvtest::ChildCost cost = bvtest::run_measured([&] {
        glrec::install();
        auto t = std::make_unique<terrain_state>();
        ConsoleCapture console;
        const long long before = bvtest::bytes_read();
        const int loaded = terrain_load(t.get(), "tracks/once");
        const long long read = bvtest::bytes_read() - before;
        std::fprintf(stderr, "load %d read %lld bytes; shadows %zu, tile map %zu\n", loaded, read, map.size(),
                     tilemap.size());
        if (!loaded) {
            std::fprintf(stderr, "%s", console.text().c_str());
            return 2;
        }
        for (size_t k = 0; k < bright.size(); ++k)
            if (t->shadow[k] != 255 - bright[k])
                return 3;
        terrain_free(t.get());
        // Once: the map and the tile map, and less than 64 KiB of everything else.
        return read >= 0 && size_t(read) < map.size() + tilemap.size() + 65536 ? 1 : 4;
    });
    EXPECT_TRUE(cost.finished);
    EXPECT_EQ(cost.result, 1) << "2: the load failed, 3: shadows not stored, 4: the shadows read more than once";

    const bvtest::ChildCost huge = bvtest::run_measured([&] {
        glrec::install();
        const std::pair<const char*, uint32_t> files[] = {{"tilemap", kTileMapMax}, {"texturelist", kTextureListMax},
            {"tileinfo", kTileInfoMax}, {"terrain.png", kGray16PictureMax}, {"terrain.hf", kHeightsFileMax}};
        int refused = 0;
        for (const auto& [file, bound] : files) {
            const std::string name = std::string("tracks/once/") + file, line = " refused: longer than ";
            put(name, "");
            auto t = std::make_unique<terrain_state>();
            ConsoleCapture console;
            const long long before = bvtest::bytes_read();
            if (truncate(path(name).c_str(), off_t(3) << 30) || terrain_load(t.get(), "tracks/once") ||
                size_t(bvtest::bytes_read() - before) > map.size() + tilemap.size() + 65536 ||
                console.text().find(": " + name + line + std::to_string(bound) + " bytes\n") == std::string::npos)
                break;
            ++refused;
        }
        return refused;
    });
    EXPECT_TRUE(huge.finished);
    EXPECT_EQ(huge.result, 5) << "refused unread, of tilemap, texturelist, tileinfo, terrain.png and terrain.hf";
}

TEST(TerrainFiles, DecalLinesWithTheirMapsUntilTheFirstBadLine)
{
    static std::map<std::string, uint32_t> textures;
    auto load = [](const char* name) -> uint32_t {
        for (const char* present : {"@d/arrow.png", "@d/arrow_tnorm.ppm", "@d/arrow_tspec.png", "@d/plain"})
            if (!strcmp(name, present))
                return textures.emplace(name, uint32_t(textures.size() + 40)).first->second;
        return 0;
    };
    TestTerrain t(3, 1.0f);
    ASSERT_EQ(terrain_decals_alloc(t.get()), 1);
    put("tracks/decals/decals", "[ 3 4 ] 0.5 2 1.5 @d/arrow.png\n"
                                "[1 1] 0 1 1 @d/missing.png\n"
                                "[ 12 14 ] 0 1 1 @d/plain\n"
                                "[ 5 5 ] oops\n"
                                "[ 6 6 ] 0 1 1 @d/arrow.png\n");
    ASSERT_EQ(terrain_read_decals(t.get(), "tracks/decals", load), 1);
    ASSERT_EQ(t->decals.count, 2) << "the missing texture's line is skipped; reading stops at the bad line";
    const decal* d = static_cast<const decal*>(t->decals.items);
    EXPECT_EQ(d[0].texture, textures["@d/arrow.png"]);
    EXPECT_EQ(d[0].normal_map, textures["@d/arrow_tnorm.ppm"]) << "PPM when no PNG";
    EXPECT_EQ(d[0].specular_map, textures["@d/arrow_tspec.png"]);
    EXPECT_FLOAT_EQ(d[0].sine, std::sin(0.5f));
    EXPECT_FLOAT_EQ(d[0].aspect, 1.5f);
    EXPECT_EQ(d[1].normal_map, 0u) << "a name without '.' has no maps";
    EXPECT_EQ(t->decal_buckets[7][6].count, 1) << "bucketed as read";
}

// A track lays at most 8192 decals, and its decals cover at most 8192 bucket cells:
// the line that would pass either bound is refused with the rest of the file in one
// line, and so is the editor's insert or change. 8192 small decals fit; 128 that each
// cover all 64 cells fit, the 129th does not. 20,000 decals over every cell cost a
// load no more than a few do, and bucketing a decal costs its own cells, not the
// decals before it.
TEST(TerrainFiles, DecalsPastTheTracksBoundsAreRefusedInOneLine)
{
    auto load = [](const char* name) -> uint32_t { return strcmp(name, "@d/plain") == 0 ? 7 : 0; };
    const std::string everywhere = "[ 2 2 ] 0.3 1000 1 @d/plain\n";   // every cell of the 8 x 8
    const std::string small = "[ 0.5 0.5 ] 0.3 0.1 1 @d/plain\n";     // cell (0, 0) alone
    auto lines = [&](const std::string& line, int n) {
        std::string text;
        for (int i = 0; i < n; ++i)
            text += line;
        return text;
    };
    const int whole = kMaxDecalCells / 64;
    const struct {
        const std::string& line;
        int lines, kept;
        const char* refusal;   // null: none
    } cases[] = {
        {small, int(kMaxDecals), int(kMaxDecals), nullptr},
        {small, int(kMaxDecals) + 1, int(kMaxDecals), "line 8193 and later refused, more than 8192 decals"},
        {everywhere, whole, whole, nullptr},
        {everywhere, whole + 1, whole, "line 129 and later refused, more than 8192 decal cells"},
    };
    for (const auto& c : cases) {
        TestTerrain t(3, 1.0f);
        ASSERT_EQ(terrain_decals_alloc(t.get()), 1);
        put("tracks/decals/decals", lines(c.line, c.lines));
        ConsoleCapture capture;
        ASSERT_EQ(terrain_read_decals(t.get(), "tracks/decals", load), 1);
        EXPECT_EQ(t->decals.count, c.kept) << c.lines;
        EXPECT_EQ(t->decal_buckets[0][0].count, c.kept);
        EXPECT_EQ(t->decal_buckets[7][7].count, &c.line == &everywhere ? c.kept : 0);
        const std::string said = capture.text();
        if (c.refusal)
            EXPECT_NE(said.find(std::string("Decals file @tracks/decals/decals: ") + c.refusal + "\n"), std::string::npos)
                << said;
        else
            EXPECT_EQ(said.find("refused"), std::string::npos) << said;
        const decal one{7, 0, 0, 0.5f, 0.5f, 0, 0.1f, 1, 0, 1};
        decal all = one;
        all.size = 1000;
        if (!c.refusal && &c.line == &everywhere) {
            // The editor's insert and change that bring the cells to exactly 8192 are
            // taken; one cell more is not.
            ConsoleCapture edits;
            EXPECT_EQ(decal_delete(t.get(), c.kept - 1), 1);
            EXPECT_EQ(decal_insert(t.get(), &all, c.kept - 1), 1) << "an insert up to 8192 cells";
            EXPECT_EQ(decal_set(t.get(), &all, 0), 1) << "a change that keeps 8192 cells";
            EXPECT_EQ(decal_cells_used(t.get()), kMaxDecalCells);
            EXPECT_EQ(decal_insert(t.get(), &one, 0), 0) << "an insert to 8193 cells";
            EXPECT_EQ(edits.text(), "Decal not added: the track's decals would cover more than 8192 decal cells\n");
        }
        if (!c.refusal)
            continue;
        ConsoleCapture refused;
        if (c.kept == int(kMaxDecals)) {
            EXPECT_EQ(decal_insert(t.get(), &one, 0), 0);
            EXPECT_EQ(t->decals.count, kMaxDecals);
            EXPECT_EQ(refused.text(), "Decal not added: the track holds 8192 decals already\n");
            continue;
        }
        // 8192 cells covered: one more is refused, until a decal gives up 63 of its own.
        EXPECT_EQ(decal_insert(t.get(), &one, t->decals.count), 0);
        EXPECT_EQ(decal_set(t.get(), &one, 0), 1);
        EXPECT_EQ(decal_insert(t.get(), &all, t->decals.count), 0);
        EXPECT_EQ(decal_insert(t.get(), &one, t->decals.count), 1);
        EXPECT_EQ(decal_set(t.get(), &all, 0), 0);
        EXPECT_EQ(decal_cells_used(t.get()), kMaxDecalCells - 62);
        EXPECT_EQ(refused.text(), "Decal not added: the track's decals would cover more than 8192 decal cells\n"
                                  "Decal not added: the track's decals would cover more than 8192 decal cells\n"
                                  "Decal not changed: the track's decals would cover more than 8192 decal cells\n");
    }

    {
        // Each rebuild appends every decal to all 64 cells. A rebuild of 8192 decals and
        // sixteen of 512 make as many insertions; each costs about the same when it
        // costs its cell (a binary search, about 1.5 times as long in the larger cells),
        // and sixteen times as much in the larger cells when it walks the list. Rounds of
        // both run in turn and the best of each counts, so both meet the machine's same
        // moments. Under a loaded machine the larger cells lose their cache first (up to
        // five times the cost seen at load 30), so the bound is 8: twice the room below
        // the walk's sixteen.
        auto insertion_cost = [](int32_t n, int rebuilds) {
            TestTerrain t(3, 1.0f);
            EXPECT_EQ(terrain_decals_alloc(t.get()), 1);
            const decal all{7, 0, 0, 2, 2, 0, 1000, 1, 0, 1};
            for (int32_t k = 0; k < n; ++k)
                EXPECT_EQ(array_push(&t->decals, &all), 1);
            const double start = bvtest::thread_cpu_seconds();
            for (int k = 0; k < rebuilds; ++k)
                decals_rebuild(t.get());
            const double took = bvtest::thread_cpu_seconds() - start;
            EXPECT_EQ(t->decal_buckets[3][4].count, n);
            return took / (double(n) * rebuilds);
        };
        double fewer = 1e9, more = 1e9;
        for (int round = 0; round < 7 && (round == 0 || more * kMaxDecals < 1.0); ++round) {
            fewer = std::min(fewer, insertion_cost(512, 16));
            more = std::min(more, insertion_cost(kMaxDecals, 1));
        }
        fprintf(stderr, "a decal into 64 cells of 8192 decals %.1f ns, of 512 %.1f ns\n", more * 1e9, fewer * 1e9);
        EXPECT_LT(more, 8 * fewer) << "a decal into 64 cells of 8192 decals took " << more * 1e9 << " ns, of 512 "
                                   << fewer * 1e9 << " ns";
    }

    auto read_cost = [&](int n) {
        put("tracks/decals/decals", lines(everywhere, n));
        return bvtest::run_measured([&] {
            TestTerrain t(3, 1.0f);
            terrain_decals_alloc(t.get());
            terrain_read_decals(t.get(), "tracks/decals", load);
            return t->decals.count;
        });
    };
    const bvtest::ChildCost plain = read_cost(10);
    const bvtest::ChildCost swamp = read_cost(20000);
    fprintf(stderr, "%s\n%s\n", bvtest::describe("10 decals", plain).c_str(),
            bvtest::describe("20,000 decals", swamp).c_str());
    EXPECT_TRUE(plain.finished && plain.result == 10);
    EXPECT_TRUE(swamp.finished && swamp.result == whole) << bvtest::describe("20,000 decals", swamp);
    EXPECT_LT(swamp.seconds, plain.seconds + 2);
    EXPECT_LT(swamp.grown_kib, plain.grown_kib + 200 * 1024);
}

TEST(TerrainFiles, ShadingFollowsTheSunAndTheShadows)
{
    TestTerrain t(1, 1.0f);
    const terrain_light up{{0, 1, 0}, {1, 1, 1}, {0.5f, 0.5f, 0.5f}}, west{{-1, 0, 0}, {1, 0.5f, 0}, {0, 0, 0}};
    uint8_t rgb[3];
    terrain_shading_at(t.get(), 2, 2, &up, rgb);
    EXPECT_EQ(rgb[0], 191);   // (1 + 0.5) / 2 * 255
    t->shadow[12] = 255;
    terrain_shading_at(t.get(), 2, 2, &up, rgb);
    EXPECT_EQ(rgb[1], 63);    // ambient alone
    // A slope rising along +x faces a sun in -x: light = 2 * 2 / sqrt(16 + 16),
    // times the colour, halved.
    for (int k = 0; k < 25; ++k)
        t->heights[k] = float(k % 5);
    terrain_shading_at(t.get(), 1, 1, &west, rgb);
    EXPECT_EQ(std::vector<int>(rgb, rgb + 3),
              (std::vector<int>{int(0.70710677f * 0.5f * 255.0f), int(0.70710677f * 0.5f * 0.5f * 255.0f), 0}));
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
    const terrain_light light{{0.6f, 0.64f, 0.48f}, {1, 0.9f, 0.8f}, {0.4f, 0.4f, 0.45f}};
    auto files = [] {
        std::string all;
        for (const char* name : {"terrain.hf", "terrain.png", "shading.ppm", "shadingx2.ppm", "tilemap"})
            all += std::string(name) + "=" + get(std::string("tracks/round/") + name) + "|";
        return all;
    };
    auto save = [&](Loaded& l) {
        ASSERT_EQ(l.ok, 1);
        l.t->tile_count = 2;
        ASSERT_EQ(terrain_read_shadows(l.t.get(), "tracks/round"), 1);
        ASSERT_EQ(terrain_read_tilemap(l.t.get(), "tracks/round"), 1);
        ASSERT_EQ(terrain_save_to(l.t.get(), "tracks/round", &light), 1);
    };

    Loaded first("tracks/round");
    save(first);
    EXPECT_EQ(get("tracks/round/terrain.hf"), "1 2.000000 100.250000 131.500000\n");
    EXPECT_EQ(get("tracks/round/tilemap"), std::string("\x00\x01\x01\x00", 4));
    EXPECT_EQ(get("tracks/round/shading.ppm").substr(0, 11), "P6\n5 5\n255\n");
    EXPECT_EQ(get("tracks/round/shading.ppm").size(), 11u + 75u);
    EXPECT_FALSE(std::filesystem::exists(path("tracks/round/terrain.png.new")));
    const std::string saved = files();

    // The saved pair loads the same samples (now from the PNG), so a second save
    // writes the very same bytes.
    Loaded second("tracks/round");
    EXPECT_EQ(second.digest_text(), digest_of(samples));
    EXPECT_EQ(std::memcmp(second.t->heights, first.t->heights, 25 * sizeof(float)), 0);
    save(second);
    EXPECT_EQ(files(), saved);

    // A flat ground saves sample 0 with min = max and loads flat again.
    std::fill(second.t->heights, second.t->heights + 25, 7.5f);
    ASSERT_EQ(terrain_save_to(second.t.get(), "tracks/round", &light), 1);
    EXPECT_EQ(get("tracks/round/terrain.hf"), "1 2.000000 7.500000 7.500000\n");
    Loaded flat("tracks/round");
    ASSERT_EQ(flat.ok, 1);
    EXPECT_EQ(flat.t->heights[13], 7.5f);
    EXPECT_EQ(flat.digest_text(), digest_of(std::vector<uint16_t>(25, 0)));

    // Ranges -top..top whose span is past the largest float (3.4e38), or so near it
    // that its reciprocal is below the smallest normal float: the save keeps every
    // sample, and the saved pair loads the same heights.
    for (const float top : {3.4e38f, 1.75e38f, 1.7e38f}) {
        remove_folder("tracks/wide");
        put("tracks/wide/terrain.hf", inline_heights(1, 2.0f, -top, top, samples));
        put("tracks/wide/tilemap", std::string(4, '\0'));
        Loaded wide("tracks/wide");
        ASSERT_EQ(wide.ok, 1) << wide.console;
        ASSERT_EQ(terrain_save_to(wide.t.get(), "tracks/wide", &light), 1);
        Loaded back("tracks/wide");
        ASSERT_EQ(back.ok, 1) << back.console;
        EXPECT_EQ(back.digest_text(), digest_of(samples)) << top;
        EXPECT_EQ(std::memcmp(back.t->heights, wide.t->heights, 25 * sizeof(float)), 0) << top;
    }
}

// The largest grid the loader accepts, 8193 x 8193, saves as one picture and loads
// back from it. One pixel stretched over the grid makes it; the load, the save and the
// second load run in a child, so the gigabyte they take is theirs alone.
TEST(TerrainFiles, TheLargestGridSavesAndLoadsBack)
{
    remove_folder("tracks/largest");
    put("tracks/largest/terrain.hf", "12 0.5 -20.0 80.0\n");
    const uint16_t pixel = 0x8000;
    ASSERT_EQ(png_write_gray16(path("tracks/largest/terrain.png").c_str(), &pixel, 1, 1), 1);
    // Heights over the whole range, two sample steps apart along a row and six down a
    // column: a slip of a row or a column shows. (Smooth ground, as tracks are, which
    // compresses in half the time that noise takes.)
    auto height = [](size_t i, size_t j) { return -20.0f + 100.0f * float(i + 3 * j) / float(4 * 8192); };
    const bvtest::ChildCost cost = bvtest::run_measured(
        [&] {
            const size_t side = 8193;
            {
                Loaded first("tracks/largest");
                const float stretched = float(-20.0 + 100.0 * 0x8000 / 65535.0);
                if (first.ok != 1 || size_t(first.t->size) != side || first.t->heights[0] != stretched ||
                    first.t->heights[side * side - 1] != stretched) {
                    std::fprintf(stderr, "first load: %s\n", first.console.c_str());
                    return 2;
                }
                for (size_t j = 0; j < side; ++j)
                    for (size_t i = 0; i < side; ++i)
                        first.t->heights[j * side + i] = height(i, j);
                ConsoleCapture console;
                if (terrain_write_heights(first.t.get(), "tracks/largest") != 1) {
                    std::fprintf(stderr, "save: %s\n", console.text().c_str());
                    return 3;
                }
            }
            Loaded back("tracks/largest");
            if (back.ok != 1 || size_t(back.t->size) != side || !back.console.empty()) {
                std::fprintf(stderr, "second load: %s\n", back.console.c_str());
                return 4;
            }
            // Half a sample step, and the header's six decimals.
            const double within = 0.5 * 100.0 / 65535.0 + 1e-5;
            for (size_t j = 0; j < side; ++j)
                for (size_t i = 0; i < side; ++i)
                    if (std::fabs(double(back.t->heights[j * side + i]) - double(height(i, j))) > within) {
                        std::fprintf(stderr, "(%zu, %zu): %.6f for %.6f\n", i, j,
                                     double(back.t->heights[j * side + i]), double(height(i, j)));
                        return 5;
                    }
            return 1;
        },
        300);
    std::fprintf(stderr, "%s\n", bvtest::describe("largest grid saved and loaded back", cost).c_str());
    EXPECT_TRUE(cost.finished);
    EXPECT_EQ(cost.result, 1) << "2: first load, 3: save, 4: second load, 5: a height off";
    // One grid (about 800 MiB with its arrays) and the picture's samples at a time, not two grids.
    EXPECT_LT(cost.grown_kib, 1600 * 1024) << bvtest::describe("largest grid", cost);
    remove_folder("tracks/largest");
}

TEST(TerrainFiles, AFailedSaveNeverLeavesAMismatchedPair)
{
    remove_folder("tracks/stuck");
    put("tracks/stuck/terrain.hf", inline_heights(1, 1.0f, 0.0f, 10.0f, ramp()));
    put("tracks/stuck/tilemap", std::string(4, '\0'));
    Loaded l("tracks/stuck");
    ASSERT_EQ(l.ok, 1);
    const terrain_light light{{0, 1, 0}, {1, 1, 1}, {0, 0, 0}};
    ASSERT_EQ(terrain_save_to(l.t.get(), "tracks/stuck", &light), 1);
    const std::string hf = get("tracks/stuck/terrain.hf"), png = get("tracks/stuck/terrain.png");

    l.t->heights[3] = 55.0f;   // a new maximum: both files would change
    auto names = [] {
        std::string all;
        for (const auto& e : std::filesystem::directory_iterator(path("tracks/stuck")))
            all += e.path().filename().string() + " ";
        return all;
    };
    const std::string listed = names();
    // A folder squatting on either name: the new pair is complete, but the image already
    // renamed into place must go back when the header cannot follow.
    for (const char* blocked : {"tracks/stuck/terrain.png", "tracks/stuck/terrain.hf"}) {
        const std::string kept = get(blocked);
        std::filesystem::remove(path(blocked));
        std::filesystem::create_directories(path(blocked) + "/x");
        ConsoleCapture console;
        EXPECT_EQ(terrain_save_to(l.t.get(), "tracks/stuck", &light), 0) << blocked;
        EXPECT_NE(console.text().find("Can't open"), std::string::npos);
        EXPECT_EQ(names(), listed) << blocked << ": no temporary left";
        std::filesystem::remove_all(path(blocked));
        put(blocked, kept);
        EXPECT_EQ(get("tracks/stuck/terrain.hf"), hf) << blocked;
        EXPECT_EQ(get("tracks/stuck/terrain.png"), png) << blocked;
    }
    ASSERT_EQ(terrain_save_to(l.t.get(), "tracks/stuck", &light), 1);
    EXPECT_EQ(get("tracks/stuck/terrain.hf"), "1 1.000000 0.000000 55.000000\n");
}
