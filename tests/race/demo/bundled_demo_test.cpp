// The bundled demo: the build's tool races it headless; the same sources give the same
// bytes, and the file is a demo of five riders on the sample track that the program lists,
// with nobody down in the first 30 s after the drop.
#include "demo_fixture.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

TEST(BundledDemo, TheToolGivesTheSameBytesTwiceAndTheBuiltFile)
{
    bvtest::TempDir root;
    const std::string tool = BV_BUILD_DIR "/tools/make_demo";
    const std::string base = BV_BUILD_DIR "/base_staging";
    for (const char* name : {"first.bvdemo", "second.bvdemo"}) {
        const bvtest::ProcessResult r = bvtest::run_process({tool, base, root / name}, {}, 300);
        ASSERT_EQ(r.status, 0) << r.err;
    }
    const std::string first = bvtest::read_file(root / "first.bvdemo");
    EXPECT_EQ(first, bvtest::read_file(root / "second.bvdemo"));
    EXPECT_EQ(first, bvtest::read_file(BV_BUILD_DIR "/game/demos/sample.bvdemo"));
    // Five riders, no time limit, on the sample track.
    ASSERT_GT(first.size(), 1000u);
    EXPECT_EQ(first.substr(0, 9), "BV06   5 ");
    EXPECT_NE(first.find("\ntracks/sample\n"), std::string::npos);

    // The header, the track line and five rider entries of four lines each; then the
    // state blocks, whose control byte says 7 in its low bits for a rider who is down.
    int riders = 0, limit = 0, laps = 0, drop = 0;
    ASSERT_EQ(sscanf(first.c_str(), "BV06 %d %d %d %d", &riders, &limit, &laps, &drop), 4);
    size_t start = 0;
    for (int lines = 0; lines < 2 + 4 * riders; ++lines)
        start = first.find('\n', start) + 1;
    const std::vector<size_t> blocks = demotest::block_starts(first, start);
    int states = 0;
    std::string falls;
    std::vector<bool> down(256, false);
    for (size_t b = 0; b < blocks.size(); ++b) {
        const size_t at = blocks[b], end = b + 1 < blocks.size() ? blocks[b + 1] : first.size();
        if (uint8_t(first[at + 8]) != 1)
            continue;
        for (size_t e = at + 9; e + 44 <= end; e += 44) {
            uint32_t tick = 0;
            memcpy(&tick, first.data() + e + 1, 4);
            if (int64_t(tick) > int64_t(drop) + 30 * 128)
                continue;
            ++states;
            const uint8_t rider = uint8_t(first[e]);
            if ((uint8_t(first[e + 5 + 36]) & 7) == 7 && !down[rider] && (down[rider] = true))
                falls += " rider " + std::to_string(int(rider)) + " at " +
                         std::to_string((int64_t(tick) - drop) / 128.0) + " s;";
        }
    }
    EXPECT_GT(states, riders * (drop + 30 * 128) / 4 * 9 / 10) << "the states of the first 30 s are in the file";
    EXPECT_EQ(falls, "") << "down in the first 30 s after the drop:" << falls;
}

}  // namespace
