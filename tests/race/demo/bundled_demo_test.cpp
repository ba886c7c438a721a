// The bundled demo: the build's tool races it headless; the same sources give the same
// bytes, and the file is a demo of five riders on the sample track that the program lists.
#include "support/test_support.h"

#include <gtest/gtest.h>

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
}

}  // namespace
