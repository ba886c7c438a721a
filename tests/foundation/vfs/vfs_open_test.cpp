// Opening by name: opens that must fail (folders, "~" read modes, devices, FIFOs), reads
// with a cap, a reader's bound, file_to_string at its limit.
#include "../fixtures.h"
#include "foundation/vfs/capped_read.h"
#include "foundation/vfs/file_bound.h"
#include "foundation/memory.h"

namespace {

using namespace fixtures;

TEST(VfsOpen, FoldersAndTildeReadModesDoNotOpen)
{
    TempDir dir;
    write_file(dir / "file", "x");
    EXPECT_EQ(vfs_open(dir.path().c_str(), "rb"), nullptr);
    EXPECT_EQ(vfs_open((dir / "file").c_str(), "~r"), nullptr);
}

// Only a regular file is data: a device never ends and a FIFO would wait for ever for
// a writer (the open itself used to block). Links to regular files still open.
TEST(VfsOpen, DevicesAndFifosDoNotOpen)
{
    TempDir dir;
    write_file(dir / "file", "x");
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
    ASSERT_EQ(symlink("/dev/zero", (dir / "zero").c_str()), 0);
    ASSERT_EQ(symlink((dir / "file").c_str(), (dir / "link").c_str()), 0);
    EXPECT_EQ(vfs_open("/dev/zero", "rb"), nullptr);
    EXPECT_EQ(vfs_open((dir / "fifo").c_str(), "rb"), nullptr);
    EXPECT_EQ(vfs_open((dir / "zero").c_str(), "rb"), nullptr);
    vfs_file* f = vfs_open((dir / "link").c_str(), "rb");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(vfs_getc(f), 'x');
    vfs_close(f);
}

// The capped reader keeps at most the cap, says when more followed, and reads past
// it by one byte only: a small gzip member that inflates without end costs the cap.
TEST(CappedRead, KeepsTheCapAndSaysWhenMoreFollowed)
{
    TempDir dir;
    write_file(dir / "four", "abcd");
    capped_bytes whole = vfs_read_file_capped((dir / "four").c_str(), 4);
    EXPECT_EQ(std::string(whole.data, whole.length), "abcd");
    EXPECT_EQ(whole.data[4], '\0');
    EXPECT_EQ(whole.too_long, 0);
    mem_free(whole.data);
    capped_bytes cut = vfs_read_file_capped((dir / "four").c_str(), 3);
    EXPECT_EQ(std::string(cut.data, cut.length), "abc");
    EXPECT_EQ(cut.too_long, 1);
    mem_free(cut.data);
    EXPECT_EQ(vfs_read_file_capped((dir / "none").c_str(), 3).data, nullptr);

    // 64 MiB inflated from 64 KiB: read to a 1 MiB cap, one byte further.
    vfs_file* f = open_packed(dir, bvtest::gzip_repeated('z', size_t(64) << 20));
    ASSERT_NE(f, nullptr);
    capped_bytes bomb = vfs_read_rest_capped(f, 1 << 20);
    EXPECT_EQ(bomb.length, 1u << 20);
    EXPECT_EQ(bomb.too_long, 1);
    EXPECT_EQ(bomb.data[(1 << 20) - 1], 'z');
    EXPECT_EQ(vfs_getc(f), 'z') << "the handle goes on after the byte past the cap";
    mem_free(bomb.data);
    // A scanning reader capped on its handle sees the data end there.
    vfs_cap_rest(f, 10);
    char buffer[64];
    EXPECT_EQ(vfs_read(f, buffer, sizeof buffer), 10);
    EXPECT_EQ(vfs_getc(f), -1);
    vfs_close(f);
}

// A reader's bound of 4 bytes, both sides of its edge: a plain file past it is refused
// before a byte is read, a gzip member once it has inflated one byte past it.
TEST(CappedRead, AReadersBoundRefusesAFilePastItInOneLine)
{
    in_fresh_process([] {
        Problems p;
        TempDir dir;
        setenv("QORL_LOGFILE", (dir / "log.txt").c_str(), 1);
        for (const std::string name : {"plain4", "plain5", "gzip4", "gzip5"}) {
            const std::string bytes(name.back() - '0', 'x'), path = dir / name;
            write_file(name[0] == 'g' ? path + ".gz" : path, name[0] == 'g' ? gzip_bytes(bytes) : bytes);
            vfs_file* f = nullptr;
            p.check(vfs_open_bounded(&f, path.c_str(), 4, "Reader") == (name == "plain5" ? -1 : 1), name + " open");
            char buffer[16];
            p.check(!f || (vfs_read(f, buffer, sizeof buffer) == int(bytes.size()) &&
                           vfs_bound_passed(f, path.c_str(), 4, "Reader") == (name == "gzip5")), name + " read");
            vfs_close(f);
            const std::string line = "Reader: " + path + " refused: longer than 4 bytes\n";
            p.check((read_file(dir / "log.txt").find(line) != std::string::npos) == (bytes.size() > 4), name + " line");
        }
        return p.text;
    });
}

TEST(FileToString, SixteenMebibytesIsOneByteTooMany)
{
    in_fresh_process([] {
        Problems p;
        TempDir dir;
        setenv("QORL_LOGFILE", (dir / "log.txt").c_str(), 1);
        std::string name = dir / "text";
        std::string almost(16777215, 'x');
        almost.back() = 'y';
        write_file(name, almost);
        char* text = file_to_string(name.c_str());
        p.check(text && strlen(text) == 16777215 && text[16777214] == 'y', "16777215 bytes not returned whole");
        mem_free(text);

        write_file(name, almost + "z");
        p.check(file_to_string(name.c_str()) == nullptr, "a 16777216-byte file was returned");
        p.check(read_file(dir / "log.txt").find("File " + name + " too long for file_to_string\n") != std::string::npos,
                "no 'too long' line in the log");
        return p.text;
    });
}

}  // namespace
