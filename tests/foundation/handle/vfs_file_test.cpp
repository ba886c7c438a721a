// The open file handle: reads around the pushed-back character and seeks, gzip streams
// (header acceptance, many blocks, early ends).
#include "../fixtures.h"

namespace {

using namespace fixtures;

TEST(VfsReads, LinesPushbackAndSeeks)
{
    Scanner lines(ScanSource::file, "first\nsecond line\nlast");
    vfs_file* f = lines.file();
    ASSERT_NE(f, nullptr);
    char line[8] = "zzzzzzz";
    EXPECT_EQ(vfs_gets(f, line, 0), nullptr);
    EXPECT_EQ(line[0], 'z');
    EXPECT_STREQ(vfs_gets(f, line, 1), "");
    EXPECT_STREQ(vfs_gets(f, line, sizeof line), "first\n");
    EXPECT_STREQ(vfs_gets(f, line, sizeof line), "second ");  // size - 1 characters at a time
    EXPECT_STREQ(vfs_gets(f, line, sizeof line), "line\n");
    EXPECT_STREQ(vfs_gets(f, line, sizeof line), "last");
    EXPECT_EQ(vfs_gets(f, line, sizeof line), nullptr);

    Scanner numbers(ScanSource::file, "12 abcdef");
    f = numbers.file();
    int twelve = 0;
    ASSERT_EQ(numbers("%d", &twelve), 1);
    EXPECT_EQ(f->position, 3u);  // "12 " taken, the space held back
    ASSERT_EQ(vfs_read(f, line, 4), 4);
    EXPECT_EQ(std::string(line, 4), " abc");
    EXPECT_EQ(f->position, 6u);
    EXPECT_EQ(vfs_seek(f, 0x7fffffff), 0);  // a loose file's limit is itself past the data
    f->pushed_back = 'Q';
    EXPECT_EQ(vfs_seek(f, 1), 1);
    EXPECT_EQ(numbers.rest(), "2 abcdef");
}

TEST(GzipHeaders, EveryOptionalFieldIsSkippedAndOthersAreRefused)
{
    const std::string text = "line one\nlast line";
    for (GzipHeader h : {GzipHeader{}, GzipHeader{true, false, false, false}, GzipHeader{false, true, false, false},
                         GzipHeader{false, false, true, false}, GzipHeader{false, false, false, true},
                         GzipHeader{true, true, true, true}}) {
        TempDir dir;
        EXPECT_EQ(read_all(open_packed(dir, gzip_bytes(text, h))), text)
            << h.name << h.comment << h.extra << h.header_crc;
    }

    const std::string good = gzip_bytes("text", {true, false, false, false});
    auto with_byte = [&](size_t i, int v) {
        std::string b = good;
        b[i] = static_cast<char>(v);
        return b;
    };
    const std::pair<const char*, std::string> refused[] = {
        {"magic", with_byte(1, 0x8c)},
        {"method 7", with_byte(2, 7)},
        {"flag 0x20", with_byte(3, good[3] | 0x20)},
        {"three bytes", good.substr(0, 3)},
        {"extra field longer than the file", gzip_bytes("text", {false, false, true, false}).substr(0, 14)},
        {"header crc cut off", gzip_bytes("text", {false, false, false, true}).substr(0, 11)},
    };
    for (const auto& [what, bytes] : refused) {
        TempDir dir;
        EXPECT_EQ(open_packed(dir, bytes), nullptr) << what;
    }
}

TEST(GzipStreams, ManyBlocksReadAlikeByteByByteAndInChunks)
{
    // Random bytes do not compress: many 16384-byte input blocks, many output refills.
    const std::string data = random_bytes(100000, 7) + std::string(50000, 'a');
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
    EXPECT_TRUE(read_all(f) == data);
}

TEST(GzipStreams, CutDamagedOrConcatenatedStreamsEndQuietly)
{
    const std::string data = random_bytes(40000, 3);
    const std::string packed = gzip_bytes(data);
    TempDir dir;
    std::string got = read_all(open_packed(dir, packed.substr(0, packed.size() / 2)));
    EXPECT_LT(got.size(), data.size());
    EXPECT_TRUE(data.compare(0, got.size(), got) == 0) << "a cut stream gives a prefix";

    std::string damaged = packed;
    for (size_t i = 20; i < damaged.size(); i += 97)
        damaged[i] = static_cast<char>(~damaged[i]);
    read_all(open_packed(dir, damaged));  // must simply come to an end

    EXPECT_EQ(read_all(open_packed(dir, gzip_bytes("first") + gzip_bytes("second"))), "first");
}

}  // namespace
