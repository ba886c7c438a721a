// The lines file, the offer rules and the pruning of the racing-line tables.
#include "ai_lines_fixture.h"

#include "sim/ai_lines_file.h"
#include "sim/ai_lines_rules.h"

#include "foundation/vfs/vfs.h"
#include "sim/line_crossings.h"
#include "sim_fixture.h"
#include "support/archive_bytes.h"
#include "support/measured_child.h"
#include "support/test_support.h"

#include <cmath>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

using aitest::line_stats;
using aitest::put_line;

namespace {

class LinesFile : public aitest::TablesTest {
protected:
    bvtest::TempDir dir;
    std::string path = dir / "lines_expert";

    void write()
    {
        vfs_file* f = vfs_open(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(ai_lines_write_to(f), 1);
        vfs_close(f);
    }
    int read()
    {
        vfs_file* f = vfs_open(path.c_str(), "rb");
        EXPECT_NE(f, nullptr);
        int stored = f ? ai_lines_read(f, path.c_str()) : -1;
        if (f)
            vfs_close(f);
        return stored;
    }
    void read_text(const std::string& text)
    {
        bvtest::write_file(path, text);
        read();
    }
};

std::string header_and_line(int count_field, const std::string& points)
{
    return "ct03 6\n1\n" + std::to_string(count_field) + " 10 20 0 1000000 1000000 0 0 0\n" + points;
}

TEST_F(LinesFile, WrittenAndReadBackKeepsCountsStatisticsAndTheAirborneSign)
{
    put_line(table(0).lines[0], 4, 0, 0, {7, 2, 4200, 9100, 600, 1300});
    put_line(table(0).lines[3], 3, 0, 10, {0, 1, 0, 0, 500, 1000});
    put_line(table(5).lines[44], 5, 100, 0);
    table(0).lines[0].points[1].speed = -0.0f;
    table(0).lines[0].points[2].speed = -12.5f;
    table(0).lines[0].points[3].lean = -0.25f;
    const int old_id = table(0).lines[3].line_id;
    write();
    const std::string text = bvtest::read_file(path);
    EXPECT_EQ(text.rfind("ct03 6\n2\n4 600 1300 7 1000000 1000000 4200 9100 2\n[0.000000 2.000000 0.000000]", 0), 0u);
    EXPECT_NE(text.find("-0.000000 0.000000\n"), std::string::npos);

    EXPECT_EQ(read(), 3);
    // Used lines come back packed into the first slots of their table.
    const ai_line& a = table(0).lines[0];
    const ai_line& b = table(0).lines[1];
    EXPECT_EQ(a.point_count, 4);
    EXPECT_EQ(a.tested, 7);
    EXPECT_EQ(a.failures, 2);
    EXPECT_EQ(a.segment_time_sum, 4200);
    EXPECT_EQ(a.extended_time_sum, 9100);
    EXPECT_EQ(a.segment_time, 600);
    EXPECT_EQ(a.extended_time, 1300);
    EXPECT_TRUE(std::signbit(a.points[1].speed));
    EXPECT_FLOAT_EQ(a.points[2].speed, -12.5f);
    EXPECT_FLOAT_EQ(a.points[3].lean, -0.25f);
    EXPECT_EQ(b.point_count, 3);
    EXPECT_GT(b.line_id, old_id);
    EXPECT_EQ(table(0).lines[3].point_count, 0);
    EXPECT_EQ(table(5).lines[0].point_count, 5);
    EXPECT_EQ(ai_table_used_count(table(1)), 0);
}

TEST_F(LinesFile, ATableOf46LinesKeepsTheFirst45AndTheNextTableStillReads)
{
    std::string text = "ct03 6\n46\n";
    for (int i = 0; i < 46; ++i)
        text += "1 " + std::to_string(100 + i) + " 200 0 1000000 1000000 0 0 0\n[1 2 3] 4 0\n";
    text += "1\n1 7 8 0 1000000 1000000 0 0 0\n[9 9 9] 4 0\n";
    read_text(text);
    EXPECT_EQ(ai_table_used_count(table(0)), 45);
    EXPECT_EQ(table(0).lines[44].segment_time, 144);
    EXPECT_EQ(table(1).lines[0].segment_time, 7);
}

TEST_F(LinesFile, HugeStatisticsAreHalvedKeepingTheirAverages)
{
    struct Case {
        const char* stats;   // tested bestSeg bestExt segSum extSum failures
        int tested, failures, segment_sum, extended_sum;
    } cases[] = {
        {"70000 1000000 1000000 70000000 70000000 140000", 17500, 35000, 17500000, 17500000},
        {"4 1000000 1000000 400 400000000 3", 1, 0, 100, 100000000},
        {"1 1000000 1000000 50 300000000 0", 1, 0, 50, 100000000},   // never down to 0 tests
        // Tests and failures halve together: with 0 or 1 tests nothing halves, the
        // failures are only capped (halving them alone would change the line's share
        // of failures and so its expected time).
        {"0 1000000 1000000 0 0 900000", 0, 65535, 0, 0},
        {"1 1000000 1000000 70 140 200000", 1, 65535, 70, 140},
        // 3 tests: one halving to 1 test (sums 300 / 3 x 1, 3000 / 3 x 1, failures
        // 70000), then the halving stops and the failures are capped.
        {"3 1000000 1000000 300 3000 140000", 1, 65535, 100, 1000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stats);
        read_text("ct03 6\n1\n1 10 20 " + std::string(c.stats) + "\n[0 0 0] 1 0\n");
        const ai_line& line = table(0).lines[0];
        ASSERT_EQ(line.point_count, 1);
        EXPECT_EQ(line.tested, c.tested);
        EXPECT_EQ(line.failures, c.failures);
        EXPECT_EQ(line.segment_time_sum, c.segment_sum);
        EXPECT_EQ(line.extended_time_sum, c.extended_sum);
    }
}

TEST_F(LinesFile, DamagedFilesLeaveTheTablesFreeWithoutCrashing)
{
    const std::string good = "[1 2 3] 4 0\n";
    const std::string cases[] = {
        "ct03 5\n1\n1 10 20 0 1000000 1000000 0 0 0\n" + good,   // table count differs
        header_and_line(-5, good),                               // negative point count
        header_and_line(2000000000, good),                       // absurd point count
        header_and_line(2, good + "[1 2 x] 4 0\n"),              // a bad point
        header_and_line(3, good),                                // file ends early
        "ct03 6\n1\n1 10 20\n",                                  // short statistics
    };
    for (const std::string& text : cases) {
        read_text(text);
        EXPECT_EQ(ai_table_used_count(table(0)), 0) << text;
        EXPECT_EQ(table(0).lines[0].points, nullptr);
    }
}

// Line records of `count` copies of the same point.
// A line from (0, 0) to (1000, 1000), shifted by dz, that runs back and forth along
// half a foot of that diagonal on the way: lines of different dz never cross, and the
// segments of the middle all fall in the one grid cell around (500, 500).
std::vector<ai_line_point> piled_line(int count, float dz)
{
    std::vector<ai_line_point> line{{0, 0, dz, 10, 0}};
    for (int i = 1; i + 1 < count; ++i) {
        const float x = i % 2 ? 500.0f : 500.5f;
        line.push_back({x, 0, x + dz, 10, 0});
    }
    line.push_back({1000, 0, 1000 + dz, 10, 0});
    return line;
}

std::string repeated_lines(int lines, int count)
{
    std::string points;
    for (int i = 0; i < count; ++i)
        points += "[5 0 5] 1 0\n";
    std::string text;
    for (int i = 0; i < lines; ++i)
        text += std::to_string(count) + " 10 20 0 1000000 1000000 0 0 0\n" + points;
    return text;
}

TEST_F(LinesFile, LinesAndFilesPastTheirCapsAreRefusedWholeWithOneLine)
{
    const std::string good = "1 10 20 0 1000000 1000000 0 0 0\n[1 2 3] 4 0\n";
    // The last point count accepted and the first refused; the refusal frees the
    // lines read before it too.
    for (int count : {ai_line_max_points, ai_line_max_points + 1}) {
        simtest::LogCapture lines;
        read_text("ct03 6\n2\n" + good + repeated_lines(1, count));
        const bool refused = count > ai_line_max_points;
        EXPECT_EQ(ai_table_used_count(table(0)), refused ? 0 : 2) << count;
        EXPECT_EQ(lines.text(), refused ? "Lines file " + path + " refused: a line of more than 4800 points\n" : "");
    }
    // The last byte count accepted and the first refused: white space after the lines.
    const std::string text = "ct03 6\n1\n" + good;
    for (uint32_t size : {ai_lines_file_max_bytes, ai_lines_file_max_bytes + 1}) {
        simtest::LogCapture lines;
        bvtest::write_file(path, text + std::string(size - text.size(), ' '));
        const bool refused = size > ai_lines_file_max_bytes;
        EXPECT_EQ(read(), refused ? 0 : 1) << size;
        EXPECT_EQ(lines.text(), refused ? "Lines file " + path + " refused: more than 16777216 bytes\n" : "");
    }
}

// Hostile lines files of an 11-table track, each loaded and pruned in a child whose
// processor time and memory growth are measured.
// The sanitizer build runs unoptimised and checks every access: pruning to the end of
// its budget costs it about fifteen times the shipped build's time.
constexpr double kSlowdown = bvtest::kUnderSanitizers ? 16 : 1;

TEST(HostileLinesFiles, LoadOrAreRefusedWithinTwoSecondsAnd200MiB)
{
    bvtest::TempDir dir;
    auto tables = [](const std::string& first) {
        std::string text = "ct03 11\n" + first;
        for (int t = 1; t < 11; ++t)
            text += "0\n";
        return text;
    };
    // Pruning once compared every segment pair of these 45 lines.
    const std::string identical = dir / "identical/lines_novice";
    bvtest::write_file(identical, tables("45\n" + repeated_lines(45, 3000)));
    // 45 lines of 4800 points running back and forth along one short stretch, a hair
    // apart and never crossing: their segments pile into one grid cell, so only the
    // budget's charge for each cell looked at bounds them.
    std::string stretch = "45\n";
    for (int k = 0; k < 45; ++k) {
        stretch += "4800 10 20 0 1000000 1000000 0 0 0\n";
        for (const ai_line_point& q : piled_line(4800, 0.01f * float(k)))
            stretch += "[" + std::to_string(q.x) + " 0 " + std::to_string(q.z) + "] 1 0\n";
    }
    const std::string tangled = dir / "tangled/lines_novice";
    bvtest::write_file(tangled, tables(stretch));
    // 45 lines of 100,000 points in every table, inflating from a small gzip file.
    std::string big = "ct03 11\n";
    const std::string line = repeated_lines(1, 100000);
    for (int t = 0; t < 11; ++t) {
        big += "45\n";
        for (int i = 0; i < (t == 0 ? 45 : 1); ++i)
            big += line;
    }
    const std::string huge = dir / "huge/lines_novice";   // read through "lines_novice.gz"
    bvtest::write_file(huge + ".gz", bvtest::gzip_bytes(big));
    big.clear();
    // A header, then white space that inflates far past what a lines file may hold.
    const std::string spaces = dir / "spaces/lines_novice";
    bvtest::write_file(spaces + ".gz", bvtest::gzip_bytes(tables("0\n") + std::string(size_t(24) << 20, ' ')));
    struct hostile {
        const char* name;
        std::string path;
        int stored;
        const char* line;
    } cases[] = {
        {"45 lines x 3000 identical points", identical, 45, ""},
        {"45 lines x 4800 points along one stretch", tangled, 45, ""},
        {"11 x 45 x 100000 points, gzip", huge, 0, "refused: a line of more than 4800 points\n"},
        {"24 MiB of white space, gzip", spaces, 0, "refused: more than 16777216 bytes\n"},
    };
    for (const hostile& c : cases) {
        const bvtest::ChildCost cost = bvtest::run_measured([&c] {
            simtest::LogCapture lines;
            if (ai_lines_resize(6, 5) != 1)
                return 0;
            vfs_file* f = vfs_open(c.path.c_str(), "rb");
            const int stored = f ? ai_lines_read(f, c.path.c_str()) : -1;
            if (f)
                vfs_close(f);
            ai_lines_prune();
            const bool pruned = ai_table_used_count(ai_lines.tables[0]) <= 43;
            const std::string said = lines.text();
            const bool logged = *c.line ? said == "Lines file " + c.path + " " + c.line : said.empty();
            ai_lines_free();
            return stored == c.stored && pruned && logged ? 1 : 0;
        }, int(20 * kSlowdown));
        fprintf(stderr, "%s\n", bvtest::describe(c.name, cost).c_str());
        EXPECT_TRUE(cost.finished && cost.result == 1) << c.name;
        EXPECT_LT(cost.seconds, 2.0 * kSlowdown) << bvtest::describe(c.name, cost);
        EXPECT_LT(cost.grown_kib, 200 * 1024) << bvtest::describe(c.name, cost);
    }
}

TEST_F(LinesFile, WrittenOnlyWithLearningOnThroughAFileThatReplacesTheOldOneWhole)
{
    // A downloaded track may hold links at the file's name and at its old temporary's:
    // both outside files stay as they were and the lines become a plain file.
    const std::string folder = simtest::root() + "/user/Brovanta/tracks/learnt";
    const std::string outside = simtest::root() + "/outside_lines";
    std::filesystem::remove_all(folder);
    bvtest::make_dirs(folder);
    bvtest::write_file(outside + "/old", "the old lines");
    bvtest::write_file(outside + "/new", "not ours");
    ASSERT_EQ(symlink((outside + "/old").c_str(), (folder + "/lines_novice").c_str()), 0);
    ASSERT_EQ(symlink((outside + "/new").c_str(), (folder + "/lines_novice.new").c_str()), 0);
    put_line(table(0).lines[0], 3, 0, 0);
    ai_lines_learning = 0;
    EXPECT_EQ(ai_lines_write("tracks/learnt", "lines_novice"), 0);
    EXPECT_EQ(bvtest::read_file(folder + "/lines_novice"), "the old lines");
    ai_lines_learning = 1;
    EXPECT_EQ(ai_lines_write("tracks/learnt", "lines_novice"), 1);
    ai_lines_learning = 0;
    EXPECT_EQ(bvtest::read_file(folder + "/lines_novice").rfind("ct03 6\n1\n3 ", 0), 0u);
    EXPECT_FALSE(std::filesystem::is_symlink(folder + "/lines_novice"));
    EXPECT_EQ(bvtest::read_file(outside + "/old"), "the old lines");
    EXPECT_EQ(bvtest::read_file(outside + "/new"), "not ours");
    EXPECT_TRUE(std::filesystem::is_symlink(folder + "/lines_novice.new"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 2) << "no temporary left";
    EXPECT_STREQ(ai_lines_file_name(1), "lines_amateur");
    EXPECT_EQ(ai_lines_file_name(3), nullptr);
}

class Offer : public aitest::TablesTest {
protected:
    ai_line_point points[4] = {{0, 2, 0, 20, 0}, {5, 2, 0, 20, 0}, {10, 2, 0, 20, 0}, {15, 2, 0, 20, 0}};
    void fill(int t, line_stats s) {
        for (int i = 0; i < ai_lines_per_table; ++i)
            put_line(table(t).lines[i], 3, 0, 10.0f * float(i), s);
    }
};

TEST_F(Offer, StoresNewLinesAndRejectsCancelledAndDuplicateOnes)
{
    EXPECT_EQ(ai_lines_offer(1, points, 4, true, 600, 1200), ai_offer_result::canceled);
    EXPECT_EQ(ai_lines_offer(1, points, 0, false, 600, 1200), ai_offer_result::canceled);
    EXPECT_EQ(ai_lines_offer(1, points, 4, false, 600, 1200), ai_offer_result::stored);
    const ai_line& line = table(1).lines[0];
    EXPECT_EQ(line.point_count, 4);
    EXPECT_EQ(line.extended_time, 1200);
    EXPECT_EQ(line.best_segment_time, ai_line_no_time);
    points[2].x += 0.05f;
    points[3].speed += 0.05f;
    EXPECT_EQ(ai_lines_offer(1, points, 4, false, 500, 1100), ai_offer_result::duplicate);
    points[2].x += 0.1f;
    EXPECT_EQ(ai_lines_offer(1, points, 4, false, 500, 1100), ai_offer_result::stored);
    EXPECT_EQ(table(1).lines[1].segment_time, 500);

    // No longer a line than the lines file takes back: the last count stored, the first refused.
    std::vector<ai_line_point> idle(size_t(ai_line_max_points) + 1, points[0]);
    EXPECT_EQ(ai_lines_offer(2, idle.data(), ai_line_max_points + 1, false, 500, 1100), ai_offer_result::canceled);
    EXPECT_EQ(ai_lines_offer(2, idle.data(), ai_line_max_points, false, 500, 1100), ai_offer_result::stored);
}

TEST_F(Offer, AFullTableReplacesItsWeakestLineOrRejectsASlowerOne)
{
    // 23 lines that succeed more than they fail: the slowest expected line goes.
    fill(2, {10, 0, 6000, 12000});
    table(2).lines[7].extended_time_sum = 20000;
    ASSERT_EQ(ai_lines_choose_eviction(table(2)), 7);
    // The new line must beat its expected 2000 ticks: 1700 x 5/4 = 2125 does not.
    EXPECT_EQ(ai_lines_offer(2, points, 4, false, 600, 1700), ai_offer_result::too_slow);
    EXPECT_EQ(ai_lines_offer(2, points, 4, false, 600, 1600), ai_offer_result::stored);
    EXPECT_EQ(table(2).lines[7].point_count, 4);
    EXPECT_EQ(table(2).lines[7].tested, 0);
}

TEST_F(Offer, EvictionPrefersFailingLinesAndCountsALoneStartAQuarterFaster)
{
    // Few lines succeed: only lines failing at least as often as tested may go.
    fill(0, {0, 0, 0, 0});
    EXPECT_EQ(ai_lines_choose_eviction(table(0)), 0);   // all untested and equal: the first
    for (int i = 0; i < ai_lines_per_table; ++i)
        if (i < 20)
            put_line(table(0).lines[i], 3, 0, 10.0f * float(i), {10, 0, 6000, 12000});
        else
            ai_line_make_free(&table(0).lines[i]);
    EXPECT_EQ(ai_lines_choose_eviction(table(0)), -1);

    // Many succeed: the slowest goes. Starts pair up within 2 ft, except line 30's,
    // 3 ft from every other: its 1700 ticks count as 1275, below line 12's 1300.
    for (int i = 0; i < ai_lines_per_table; ++i)
        put_line(table(0).lines[i], 3, 0, float(i / 2) * 10.0f + float(i % 2), {10, 0, 6000, 12000});
    table(0).lines[12].extended_time_sum = 13000;
    put_line(table(0).lines[30], 3, 0, 1000, {10, 0, 6000, 17000});
    table(0).lines[30].points[0].z = 153;   // lines 30 and 31 start 150 and 151 ft
    table(0).lines[31].points[0].z = 148;
    EXPECT_EQ(ai_lines_choose_eviction(table(0)), 12);
    table(0).lines[30].extended_time_sum = 18000;   // 1350
    EXPECT_EQ(ai_lines_choose_eviction(table(0)), 30);
}

TEST_F(Offer, ExpectedTimeUses64BitArithmetic)
{
    ai_line line{};
    ai_line_make_free(&line);
    line.extended_time = 2000000000;
    EXPECT_EQ(ai_line_expected_time(line), 2500000000LL);
    line.failures = 1;
    EXPECT_EQ(ai_line_expected_time(line), 2500000640LL);
    line.tested = 10;
    line.failures = 10;
    line.extended_time_sum = 100000;
    EXPECT_EQ(ai_line_expected_time(line), 320 + 10000);
}

TEST_F(Offer, PruningLeavesAtMost43LinesInFirstLapTablesOnly)
{
    // 45 lines, each crossing the previous one: a zig-zag bundle.
    for (int t : {0, 4})
        for (int i = 0; i < ai_lines_per_table; ++i) {
            put_line(table(t).lines[i], 3, 0, 0, {i % 3, 3, 900, 1800});
            table(t).lines[i].points[0].z = float(i);
            table(t).lines[i].points[2].z = -float(i);
        }
    ai_lines_prune();
    EXPECT_LE(ai_table_used_count(table(0)), 43);
    EXPECT_EQ(ai_table_used_count(table(4)), 45);
}

TEST_F(Offer, PruningFreesTwoLinesARoundWhenNoLinesCross)
{
    // 45 parallel lines 10 ft apart, untested, line i recorded in 1000 + 10 i ticks.
    auto lay = [this] {
        for (int i = 0; i < ai_lines_per_table; ++i)
            put_line(table(1).lines[i], 3, 0, 10.0f * float(i), {0, 0, 0, 0, 500, 1000 + 10 * i});
    };
    // Every line ties at 0 crossings: the untested one with the smaller extended time
    // goes (line 0); then the eviction choice: no line succeeds, so the largest
    // expected time among the failing-or-untested ones, line 44 (1440 x 5/4 x 3/4).
    lay();
    ai_lines_prune();
    EXPECT_EQ(ai_table_used_count(table(1)), 43);
    EXPECT_FALSE(ai_line_used(table(1).lines[0]));
    EXPECT_FALSE(ai_line_used(table(1).lines[44]));
    EXPECT_TRUE(ai_line_used(table(1).lines[43]));

    // A tested line goes before untested ones on equal crossings, whatever its time.
    lay();
    table(1).lines[20].tested = 2;
    table(1).lines[20].extended_time_sum = 2 * 5000;
    ai_lines_prune();
    EXPECT_EQ(ai_table_used_count(table(1)), 43);
    EXPECT_FALSE(ai_line_used(table(1).lines[20]));
    EXPECT_FALSE(ai_line_used(table(1).lines[44]));
    EXPECT_TRUE(ai_line_used(table(1).lines[0]));
}

// The test the grid replaces: every segment of p against every segment of q.
bool cross_all_pairs(const std::vector<ai_line_point>& p, const std::vector<ai_line_point>& q)
{
    for (size_t i = 0; i + 1 < p.size(); ++i)
        for (size_t j = 0; j + 1 < q.size(); ++j)
            if (ai_segments_cross(p[i], p[i + 1], q[j], q[j + 1]))
                return true;
    return false;
}

bool cross_by_grid(const std::vector<ai_line_point>& p, const std::vector<ai_line_point>& q, int64_t* budget)
{
    return ai_polylines_cross(p.data(), int(p.size()), q.data(), int(q.size()), budget);
}

// Random walks of every kind the grid must not miss: long and short steps, repeated
// points, steps along one axis only, points on a coarse lattice (touching and
// collinear segments), lines apart or on top of each other.
std::vector<ai_line_point> random_line(std::mt19937& random, int shape)
{
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    const int count = 2 + int(unit(random) * (shape % 2 ? 12 : 200));
    float x = unit(random) * 100, z = unit(random) * 100;
    const float step = shape % 3 == 0 ? 2.0f : 40.0f;
    std::vector<ai_line_point> line;
    for (int i = 0; i < count; ++i) {
        line.push_back({x, 0, z, 10, 0});
        const float r = unit(random);
        if (shape == 4 && r < 0.3f)
            continue;   // the same point again
        if (shape == 5) {
            (r < 0.5f ? x : z) += (unit(random) - 0.5f) * step;
            continue;
        }
        x += (unit(random) - 0.5f) * step;
        z += (unit(random) - 0.5f) * step;
        if (shape == 6) {
            x = std::round(x / 10) * 10;
            z = std::round(z / 10) * 10;
        }
    }
    return line;
}

TEST(LineCrossings, TheGridFindsExactlyTheCrossingsOfTheAllPairsTest)
{
    std::mt19937 random(48);
    int crossing = 0, apart = 0;
    for (int n = 0; n < 4000; ++n) {
        const std::vector<ai_line_point> p = random_line(random, n % 7), q = random_line(random, (n / 7) % 7);
        int64_t budget = ai_prune_work_budget;
        const bool expected = cross_all_pairs(p, q);
        ASSERT_EQ(cross_by_grid(p, q, &budget), expected) << n;
        ASSERT_EQ(cross_by_grid(q, p, &budget), expected) << n;
        (expected ? crossing : apart) += 1;
    }
    EXPECT_GT(crossing, 500);
    EXPECT_GT(apart, 500);
}

TEST(LineCrossings, TheSampleTracksLinesCrossAsBeforeForAFractionOfTheBudget)
{
    // Every skill's lines of a table follow the same segment, so they meet and cross.
    std::vector<std::vector<ai_line_point>> tables[11];
    for (int skill = 0; skill < 3; ++skill) {
        ASSERT_EQ(ai_lines_resize(6, 5), 1);
        ASSERT_GT(ai_lines_load("tracks/sample", skill), 0);
        for (int t = 0; t < 11; ++t)
            for (const ai_line& line : ai_lines.tables[t].lines)
                if (ai_line_used(line))
                    tables[t].emplace_back(line.points, line.points + line.point_count);
        ai_lines_free();
    }
    int64_t budget = ai_prune_work_budget;
    int pairs = 0, crossing = 0;
    for (const auto& lines : tables)
        for (size_t a = 0; a < lines.size(); ++a)
            for (size_t b = a + 1; b < lines.size(); ++b) {
                const bool expected = cross_all_pairs(lines[a], lines[b]);
                EXPECT_EQ(cross_by_grid(lines[a], lines[b], &budget), expected);
                ++pairs;
                crossing += expected ? 1 : 0;
            }
    EXPECT_GT(crossing, 0);
    EXPECT_LT(crossing, pairs);
    // Pruning spends the budget on at most 990 pairs a table.
    const int64_t spent = ai_prune_work_budget - budget;
    fprintf(stderr, "%d pairs of sample lines: %lld units\n", pairs, static_cast<long long>(spent));
    EXPECT_LT(spent * 990 / pairs, ai_prune_work_budget / 100);
}

// Every q segment a p segment looks at in a cell costs one unit, even when the lines
// run apart: two lines piled into one cell spend a unit for each pair of their
// segments there, so three such pairs spend what pruning may.
TEST(LineCrossings, SegmentsPiledInOneCellSpendTheBudgetPairByPair)
{
    const std::vector<ai_line_point> p = piled_line(4800, 0), q = piled_line(4800, 0.01f);
    const int64_t piled = 4797;   // the short segments of the middle cell
    int64_t budget = ai_prune_work_budget;
    EXPECT_FALSE(cross_by_grid(p, q, &budget));
    const int64_t spent = ai_prune_work_budget - budget;
    fprintf(stderr, "two piled lines: %lld units\n", static_cast<long long>(spent));
    EXPECT_GE(spent, piled * piled);
    EXPECT_LT(spent, piled * piled * 11 / 10);
}

TEST(LineCrossings, ASpentBudgetCountsNoFurtherCrossings)
{
    const std::vector<ai_line_point> p{{0, 0, 0, 1, 0}, {10, 0, 10, 1, 0}}, q{{0, 0, 10, 1, 0}, {10, 0, 0, 1, 0}};
    int64_t budget = ai_prune_work_budget;
    EXPECT_TRUE(cross_by_grid(p, q, &budget));
    budget = 0;
    EXPECT_FALSE(cross_by_grid(p, q, &budget));
}

TEST(SegmentOfPosition, CountsSwitchPointsThroughLapRepetition)
{
    const int32_t first[] = {0, 100001, 2, 3};      // F = 4, S1 = 3
    const int32_t normal[] = {4, 100005, 6};        // L = 3, Sn = 2
    const int expected[][2] = {{0, 0}, {1, 1}, {2, 1}, {3, 2}, {4, 3}, {5, 4}, {6, 4}, {7, 5}, {8, 6}, {10, 7}};
    for (auto [position, segment] : expected)
        EXPECT_EQ(ai_segment_of_position_in(first, 4, normal, 3, position), segment) << position;
    EXPECT_EQ(ai_segment_of_position_in(first, 4, normal, 0, 9), 3);   // no normal lap: no growth
}

}  // namespace
