// What only a file handle shows: the look-ahead that outlives one call, "%n" across
// it, vfs_skip_spaces, a handle's data window, and a gzip stream as the byte source.
#include <gtest/gtest.h>

#include <zlib.h>

#include "scan_support.h"

namespace {

TEST(ScanFile, CountConsumedAcrossThePushedBackCharacter)
{
    // Start with a space pushed back, end with the "x" pushed back.
    Scanner scan(ScanSource::file, "12 34x");
    int a = 0, b = 0, before = -1, after = -1;
    ASSERT_EQ(scan("%d", &a), 1);
    ASSERT_EQ(scan.file()->pushed_back, ' ');
    EXPECT_EQ(scan("%n%d%n", &before, &b, &after), 1);
    EXPECT_EQ(before, 0);
    EXPECT_EQ(after, 3);   // " 34"
    EXPECT_EQ(scan.file()->pushed_back, 'x');
    char x = 0;
    EXPECT_EQ(scan("%n%c%n", &before, &x, &after), 1);
    EXPECT_EQ(x, 'x');
    EXPECT_EQ(before, 0);
    EXPECT_EQ(after, 1);

    // A pushed-back character at the start that is consumed, none at the end.
    Scanner line(ScanSource::file, "7\n");
    char c = 0;
    ASSERT_EQ(line("%d", &a), 1);
    EXPECT_EQ(line("%n%c%n", &before, &c, &after), 1);
    EXPECT_EQ(c, '\n');
    EXPECT_EQ(before, 0);
    EXPECT_EQ(after, 1);
}

TEST(ScanFile, SkipSpaces)
{
    Scanner scan(ScanSource::file, "5 \n y  ");
    int a = 0;
    ASSERT_EQ(scan("%d", &a), 1);
    EXPECT_EQ(vfs_skip_spaces(scan.file()), 3);   // the pushed-back space counts
    EXPECT_EQ(vfs_skip_spaces(scan.file()), 0);
    EXPECT_EQ(vfs_getc(scan.file()), 'y');
    EXPECT_EQ(vfs_skip_spaces(scan.file()), -1);  // ended, even after skipping two
    EXPECT_EQ(vfs_skip_spaces(scan.file()), -1);
}

TEST(ScanFile, LineReadsContinueAfterAScan)
{
    Scanner scan(ScanSource::file, "# note\nct03 42\nnext line\n");
    char word[16] = "";
    EXPECT_EQ(scan(" %1[#]%*[^\n]", word), 1);
    EXPECT_STREQ(word, "#");
    int v = 0;
    EXPECT_EQ(scan(" ct03 %d", &v), 1);
    EXPECT_EQ(v, 42);
    char buffer[32];
    ASSERT_NE(vfs_gets(scan.file(), buffer, sizeof buffer), nullptr);
    EXPECT_STREQ(buffer, "\n");
    ASSERT_NE(vfs_gets(scan.file(), buffer, sizeof buffer), nullptr);
    EXPECT_STREQ(buffer, "next line\n");
}

TEST(ScanFile, StopsAtTheHandlesWindow)
{
    Scanner scan(ScanSource::file, "12345 6");
    scan.file()->size_limit = 3;   // as for an archive entry of three bytes
    int a = 0, b = -1;
    EXPECT_EQ(scan("%d%d", &a, &b), 1);
    EXPECT_EQ(a, 123);
    EXPECT_EQ(b, -1);
}

TEST(ScanFile, ReadsThroughAGzipStream)
{
    bvtest::TempDir dir;
    const std::string text = "10 20\n 3.5 word";
    gzFile gz = gzopen((dir / "numbers.gz").c_str(), "wb");
    ASSERT_NE(gz, nullptr);
    ASSERT_EQ(gzwrite(gz, text.data(), static_cast<unsigned>(text.size())), static_cast<int>(text.size()));
    ASSERT_EQ(gzclose(gz), Z_OK);

    vfs_file* f = vfs_open((dir / "numbers").c_str(), "rb");
    ASSERT_NE(f, nullptr);
    int a = 0, b = 0, n = 0;
    float x = 0;
    char word[8] = "";
    EXPECT_EQ(vfs_scanf(f, "%d %d %f %7s%n", &a, &b, &x, word, &n), 4);
    EXPECT_EQ(a, 10);
    EXPECT_EQ(b, 20);
    EXPECT_EQ(x, 3.5f);
    EXPECT_STREQ(word, "word");
    EXPECT_EQ(n, static_cast<int>(text.size()));
    EXPECT_EQ(vfs_scanf(f, "%d", &a), -1);
    vfs_close(f);
}

}  // namespace
