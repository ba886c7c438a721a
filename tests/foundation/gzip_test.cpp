// Gzip handles: header acceptance (each optional field, the refusals), streams that
// span many input blocks, and streams that end early.
#include <gtest/gtest.h>

#include "support/test_support.h"
#include "vfs_fixtures.h"

namespace {

using bvtest::TempDir;
using vfstest::GzipHeader;
using vfstest::gzip_bytes;

// Writes data.txt.gz and opens data.txt, so the open goes through the ".gz" fallback.
vfs_file* open_packed(const TempDir& dir, const std::string& bytes)
{
    bvtest::write_file(dir / "data.txt.gz", bytes);
    return vfs_open((dir / "data.txt").c_str(), "rb");
}

TEST(GzipHeaders, EveryOptionalFieldIsSkipped)
{
    const std::string text = "line one\nlast line";
    for (GzipHeader h : {GzipHeader{}, GzipHeader{true, false, false, false}, GzipHeader{false, true, false, false},
                         GzipHeader{false, false, true, false}, GzipHeader{false, false, false, true},
                         GzipHeader{true, true, true, true}}) {
        TempDir dir;
        vfs_file* f = open_packed(dir, gzip_bytes(text, h));
        ASSERT_NE(f, nullptr) << h.name << h.comment << h.extra << h.header_crc;
        EXPECT_EQ(vfstest::read_all(f), text) << h.name << h.comment << h.extra << h.header_crc;
    }
}

TEST(GzipHeaders, RefusesWhatIsNotADeflateMember)
{
    const std::string good = gzip_bytes("text", {true, false, false, false});
    auto with_byte = [&](size_t i, int v) {
        std::string b = good;
        b[i] = static_cast<char>(v);
        return b;
    };
    const std::pair<const char*, std::string> cases[] = {
        {"method 7", with_byte(2, 7)},
        {"flag 0x20", with_byte(3, good[3] | 0x20)},
        {"flag 0x80", with_byte(3, good[3] | 0x80)},
        {"magic", with_byte(1, 0x8c)},
        {"three bytes", good.substr(0, 3)},
        {"extra field longer than the file", gzip_bytes("text", {false, false, true, false}).substr(0, 14)},
        {"header crc cut off", gzip_bytes("text", {false, false, false, true}).substr(0, 11)},
    };
    for (const auto& [what, bytes] : cases) {
        TempDir dir;
        EXPECT_EQ(open_packed(dir, bytes), nullptr) << what;
    }
}

TEST(GzipStreams, ManyBlocksReadAlikeByteByByteAndInChunks)
{
    // Random bytes do not compress: many 16384-byte input blocks, many output refills.
    const std::string data = vfstest::random_bytes(100000, 7) + std::string(50000, 'a');
    TempDir dir;
    vfs_file* f = open_packed(dir, gzip_bytes(data, {true, true, true, true}));
    ASSERT_NE(f, nullptr);
    std::string by_byte;
    for (int c; (c = vfs_getc(f)) >= 0;)
        by_byte += static_cast<char>(c);
    EXPECT_EQ(f->position, data.size());
    vfs_close(f);
    EXPECT_TRUE(by_byte == data);

    f = vfs_open((dir / "data.txt").c_str(), "rb");
    EXPECT_EQ(vfs_seek(f, 0), 0);
    EXPECT_TRUE(vfstest::read_all(f) == data);
}

TEST(GzipStreams, CutDamagedOrConcatenatedStreamsEndQuietly)
{
    const std::string data = vfstest::random_bytes(40000, 3);
    const std::string packed = gzip_bytes(data);
    TempDir dir;
    std::string got = vfstest::read_all(open_packed(dir, packed.substr(0, packed.size() / 2)));
    EXPECT_LT(got.size(), data.size());
    EXPECT_TRUE(data.compare(0, got.size(), got) == 0) << "a cut stream gives a prefix";

    std::string damaged = packed;
    for (size_t i = 20; i < damaged.size(); i += 97)
        damaged[i] = static_cast<char>(~damaged[i]);
    vfstest::read_all(open_packed(dir, damaged));  // must simply come to an end

    EXPECT_EQ(vfstest::read_all(open_packed(dir, gzip_bytes("first") + gzip_bytes("second"))), "first");
}

}  // namespace
