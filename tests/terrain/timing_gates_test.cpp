// The timing-gates file: a full file read and written back, the start-gate statues,
// the clamps of the lap lists, each way a file fails, a start gate of 160 and more
// slots, and the long-file marker.
#include "support/console_capture.h"
#include "track_files.h"
#include "track_object_stubs.h"

#include "foundation/vfs/vfs.h"
#include "support/test_support.h"
#include "terrain/timing_gates.h"
#include "terrain/track_list.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

std::string log_since(size_t start)
{
    return bvtest::console_log_text().substr(start);
}

class TimingGates : public ::testing::Test {
protected:
    TrackObjectStubs stubs;
    size_t log_start = bvtest::console_log_text().size();
    static inline int tables_made = 0, tables_freed = 0;
    static inline int32_t table_counts[2];

    void SetUp() override
    {
        tables_made = tables_freed = 0;
        timing_gates_alloc_line_tables = [](int32_t first, int32_t normal) {
            ++tables_made;
            table_counts[0] = first;
            table_counts[1] = normal;
            return 1;
        };
        timing_gates_free_line_tables = [] { ++tables_freed; };
    }
    void TearDown() override
    {
        timing_gates_alloc_line_tables = nullptr;
        timing_gates_free_line_tables = nullptr;
    }

    static void read(const std::string& text)
    {
        bvtest::write_file(trackfiles::root() + "/timing_gates", text);
        timing_gates_read((trackfiles::root() + "/timing_gates").c_str());
    }
    static std::string written()
    {
        const std::string path = trackfiles::root() + "/timing_gates.out";
        vfs_file* f = vfs_open(path.c_str(), "wb");
        EXPECT_EQ(timing_gates_write_to(f), 1);
        vfs_close(f);
        return bvtest::read_file(path);
    }
};

const char* const kFourGates = "checkpoints:\n"
                               "30 [0 0 0] [1 0 0]\n"
                               "30 [100 0 0] [0 0 1]\n"
                               "30 [100 0 100] [-1 0 0]\n"
                               "30 [0 0 100] [0 0 -1]\n";

TEST_F(TimingGates, AFullFileIsReadAndWrittenBackTheSame)
{
    const std::string file = "startinggate:\n"
                             "[10.000000 0.500000 -5.000000] -1.570796\n"
                             "[10.000000 0.500000 0.000000] -1.570796 @gate.jm @gate.png null\n"
                             "checkpoints:\n"
                             "25.000000 [0.000000 1.000000 0.000000] [1.000000 0.000000 0.000000]\n"
                             "25.000000 [100.000000 2.000000 0.000000] [0.000000 0.000000 1.000000]\n"
                             "25.000000 [100.000000 0.000000 100.000000] [-1.000000 0.000000 0.000000]\n"
                             "25.000000 [0.000000 0.000000 100.000000] [0.000000 0.000000 -1.000000]\n"
                             "firstlap:\n0 1 2 3 100000 \nnormallap:\n1 2 3 0 \n";
    stubs.shapes.insert("@startgate.shp");
    read(file);
    const timing_gates_state& g = timing_gates;
    ASSERT_EQ(g.start_slot_count, 2);
    ASSERT_EQ(g.checkpoint_count, 4);
    EXPECT_EQ(g.firstlap_length, 5);
    EXPECT_EQ(g.firstlap_counted, 4);
    EXPECT_EQ(g.normallap_counted, 4);
    EXPECT_EQ(g.segment_count, 8);
    EXPECT_EQ(tables_made, 1);
    EXPECT_EQ(table_counts[0], 4);
    EXPECT_EQ(table_counts[1], 4);
    EXPECT_EQ(tables_freed, 1);

    // Each slot has its start gate 3 ft ahead: a slot of yaw -pi/2 faces +x.
    const statue* gate = statue_at(g.start_slot_statue[0]);
    EXPECT_NEAR(gate->x, 13.0f, 1e-5);
    EXPECT_NEAR(gate->z, -5.0f, 1e-5);
    EXPECT_STREQ(gate->model_file, "@startgate.jm");
    EXPECT_STREQ(gate->texture_file, "@startgate.ppm");
    EXPECT_STREQ(gate->shape_file, "@startgate.shp");
    EXPECT_NE(gate->shape, nullptr);
    const statue* own = statue_at(g.start_slot_statue[1]);
    EXPECT_STREQ(own->texture_file, "@gate.png");
    EXPECT_EQ(own->shape_file, nullptr);

    // The default start gate is written without names, the other with "null".
    EXPECT_EQ(written(), file);
    EXPECT_EQ(timing_gates_entry_at(4), 100000);
    EXPECT_EQ(timing_gates_entry_at(5), 1);
    EXPECT_EQ(timing_gates_entry_at(5 + 4 * 7 + 3), 0);
    EXPECT_EQ(timing_gates_entry_at(-1), -1);
}

TEST_F(TimingGates, YawsWrapAndLapEntriesAreClampedToTheCheckpoints)
{
    // A slot at infinity is no slot: it would put a bike there.
    read(std::string("startinggate:\n[0 0 0] 4.0\n[1e999 0 0] 0\n[0 0 0] -7\n") + kFourGates +
         "firstlap: -5 1 9 200007 3\nnormallap: 1 2 3 100002 0\n");
    EXPECT_NEAR(timing_gates.start_slot_yaw[0], 4.0f - 2 * float(M_PI), 1e-5);
    ASSERT_EQ(timing_gates.start_slot_count, 2);
    EXPECT_NEAR(timing_gates.start_slot_yaw[1], -7.0f + 2 * float(M_PI), 1e-5);
    const int32_t* first = firstlap_entries();
    EXPECT_EQ(first[0], 0);
    EXPECT_EQ(first[2], 3);
    EXPECT_EQ(first[3], 100003);   // flagged gate 7 of 4 becomes flagged gate 3
    EXPECT_EQ(timing_gates.firstlap_counted, 4);
    EXPECT_EQ(normallap_entries()[3], 100002);
    EXPECT_EQ(timing_gates.segment_count, 8);
}

TEST_F(TimingGates, EachBrokenFileKeepsItsSlotsButNoLaps)
{
    const struct {
        const char* file;
        const char* message;
    } cases[] = {
        {"[0 0 0] 0\ncheckpoints:\n", "Error reading starting gate\n"},
        {"startinggate:\n[0 0 0] 0\nbanana\ncheckpoints:\n", "Error reading starting gate\n"},
        {"startinggate:\n[0 0 0] 0\n", "Error reading starting gate\n"},
        {"startinggate:\n[0 0 0] 0\ncheckpoints:\n30 [0 0 0] [1 0 0]\nnormallap: 0 0 0\n",
         "Error reading checkpoints\n"},
        {"checkpoints:\n30 [0 0 0] [1 0 0]\nfirstlap: 0 0 0\n", "Error reading firstlap\n"},
        {"checkpoints:\n30 [0 0 0] [1 0 0]\nfirstlap: 100000 100000 100000\nnormallap: 0 0 0\n",
         "Timing gate error: lap length must be at least 3\n"},
        {"checkpoints:\nfirstlap: 0 0 0\nnormallap: 0 0 0\n", "Timing gate error: lap length must be at least 3\n"},
        {"checkpoints:\n30 [0 0 0] [1 0 0]\nfirstlap: 0 0\nnormallap: 0 0 0\n",
         "Timing gate error: lap length must be at least 3\n"},
    };
    for (const auto& c : cases) {
        const size_t start = bvtest::console_log_text().size();
        statues_reset();
        read(c.file);
        EXPECT_NE(log_since(start).find(c.message), std::string::npos) << c.file;
        EXPECT_EQ(timing_gates.checkpoint_count, 0) << c.file;
        EXPECT_EQ(timing_gates.firstlap_length, 0) << c.file;
        EXPECT_EQ(timing_gates.segment_count, 0) << c.file;
        EXPECT_EQ(timing_gates.start_slot_count, std::string(c.file).starts_with("startinggate:") ? 1 : 0)
            << c.file;
    }
    EXPECT_EQ(tables_made, 0);

    // A missing file is no error: everything is empty and nothing is logged.
    const size_t start = bvtest::console_log_text().size();
    timing_gates_read((trackfiles::root() + "/no_such_gates").c_str());
    EXPECT_EQ(log_since(start), "");
    EXPECT_EQ(timing_gates.start_slot_count, 0);
}

TEST_F(TimingGates, AFullStartGateKeepsTheCheckpointsThatFollowIt)
{
    for (int slots : {159, 160, 170}) {
        statues_reset();
        std::string file = "startinggate:\n";
        for (int i = 0; i < slots; ++i)
            file += "[" + std::to_string(i) + " 0 0] 0\n";
        read(file + kFourGates + "firstlap: 0 1 2 3 0\nnormallap: 1 2 3 0\n");
        EXPECT_EQ(timing_gates.start_slot_count, std::min(slots, kMaxStartSlots)) << slots;
        EXPECT_EQ(statue_count(), std::min(slots, kMaxStartSlots)) << slots;
        EXPECT_EQ(timing_gates.checkpoint_count, 4) << slots;
        EXPECT_EQ(timing_gates.segment_count, 9) << slots;
    }
    // And what is written with 160 slots reads back whole.
    const std::string text = written();
    statues_reset();
    read(text);
    EXPECT_EQ(timing_gates.start_slot_count, 160);
    EXPECT_EQ(timing_gates.checkpoint_count, 4);
}

TEST_F(TimingGates, LongListsAreMarkedAndReadEitherWay)
{
    std::string file = "checkpoints:\n";
    for (int i = 0; i < 255; ++i)
        file += "10 [" + std::to_string(i) + " 0 0] [1 0 0]\n";
    file += "firstlap: 0 1 2\nnormallap: 3 4 5\n";
    read(file);
    ASSERT_EQ(timing_gates.checkpoint_count, 255);
    const std::string text = written();
    EXPECT_TRUE(text.starts_with("version2\ncheckpoints:\n"));
    read(text);
    EXPECT_EQ(timing_gates.checkpoint_count, 255);
    EXPECT_EQ(timing_gates.segment_count, 6);

    read(std::string(kFourGates) + "firstlap: 0 1 2\nnormallap: 3 0 1\n");
    EXPECT_TRUE(written().starts_with("checkpoints:\n"));
}

TEST_F(TimingGates, TheTrackFileIsWrittenIntoTheTrackFolder)
{
    read(std::string(kFourGates) + "firstlap: 0 1 2 3 0\nnormallap: 1 2 3 0\n");
    char* saved = track_folder;
    char folder[] = "tracks/gate_save";
    track_folder = folder;
    bvtest::make_dirs(trackfiles::path("tracks/gate_save"));
    EXPECT_EQ(write_timing_gates(), 1);
    EXPECT_EQ(trackfiles::get("tracks/gate_save/timing_gates"), written());
    track_folder = nullptr;
    const size_t start = bvtest::console_log_text().size();
    EXPECT_EQ(write_timing_gates(), 0);
    EXPECT_NE(log_since(start).find("Can't open 'timing_gates'"), std::string::npos);
    track_folder = saved;
}

}  // namespace
