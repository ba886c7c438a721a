// Plain-file handles: line and block reads around the pushed-back character, seeking,
// writing, and file_to_string at its size limit.
#include <gtest/gtest.h>

#include <cstring>

#include "foundation/memory.h"
#include "foundation/scan.h"
#include "support/test_support.h"
#include "vfs_fixtures.h"

namespace {

using bvtest::TempDir;
using bvtest::write_file;

TEST(VfsReads, LinesPiecesAndDegenerateBuffers)
{
    TempDir dir;
    write_file(dir / "lines.txt", "first\nsecond line\nlast");
    vfs_file* f = vfs_open((dir / "lines.txt").c_str(), "rb");
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
    vfs_close(f);
}

TEST(VfsReads, PushedBackCharacterComesFirstAndIsCountedOnce)
{
    TempDir dir;
    write_file(dir / "n.txt", "12 abcdef");
    vfs_file* f = vfs_open((dir / "n.txt").c_str(), "rb");
    ASSERT_NE(f, nullptr);
    int value = 0;
    ASSERT_EQ(vfs_scanf(f, "%d", &value), 1);
    EXPECT_EQ(f->position, 3u);  // "12 " taken, the space held back
    char four[4];
    ASSERT_EQ(vfs_read(f, four, 4), 4);
    EXPECT_EQ(std::string(four, 4), " abc");
    EXPECT_EQ(f->position, 6u);
    EXPECT_EQ(vfs_seek(f, 0x7fffffff), 0);  // a loose file's limit is itself past the data
    f->pushed_back = 'Q';
    EXPECT_EQ(vfs_seek(f, 1), 1);
    EXPECT_EQ(vfs_getc(f), '2');
    vfs_close(f);
}

TEST(VfsWrite, EveryWriteCallLandsAndParentsAreMade)
{
    TempDir dir;
    std::string path = dir / "deep/er/out.txt";
    vfs_file* f = vfs_open(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(vfs_putc(f, 'A'), 1);
    vfs_puts(f, "bc");
    EXPECT_EQ(vfs_write(f, "\0d", 2), 2u);
    EXPECT_EQ(vfs_printf(f, "[%d]", 42), 4);
    EXPECT_EQ(vfs_flush(f), 0);
    EXPECT_EQ(bvtest::read_file(path), std::string("Abc\0d[42]", 9));
    vfs_close(f);

    f = vfs_open(path.c_str(), "rb");
    EXPECT_EQ(vfs_putc(f, 'z'), 0);  // a read handle does not pretend to write
    vfs_close(f);
    bvtest::make_dirs(dir / "folder");
    EXPECT_EQ(vfs_open((dir / "folder").c_str(), "rb"), nullptr);
    EXPECT_EQ(vfs_open(path.c_str(), "~r"), nullptr);
}

TEST(FileToString, SixteenMebibytesIsOneByteTooMany)
{
    vfstest::expect_in_fresh_process([] {
        vfstest::Problems p;
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
        p.check(bvtest::read_file(dir / "log.txt").find("File " + name + " too long for file_to_string\n") !=
                    std::string::npos,
                "no 'too long' line in the log");
        return p.text;
    });
}

}  // namespace
