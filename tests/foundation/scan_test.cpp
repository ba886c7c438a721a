// The scanning engine's return rules, integer and text conversions, run over a text
// and over a file with the same tables ("rest" is what a later read of the file gets),
// then what only a file handle shows: the look-ahead that outlives one call.
#include <climits>
#include <cstring>

#include "fixtures.h"

namespace {

using namespace fixtures;

constexpr int unset = -7777;

struct IntCase {
    const char* input;
    const char* format;
    int result;
    int a, b;
    const char* rest;
};

const IntCase int_cases[] = {
    // Return rules and literals.
    {"12 x", "%d %d", 1, 12, unset, "x"},
    {"ct04 5", "ct03 %d", -1, unset, unset, "4 5"},
    {"1;2", "%d,%d", -1, 1, unset, ";2"},       // a literal mismatch after a conversion
    {"5", "%d a", -1, 5, unset, ""},            // end of data at a literal
    {"abc", "", 0, unset, unset, "abc"},
    {" \n\t ", "%d", -1, unset, unset, ""},
    {"7 ", "%d %d", 1, 7, unset, ""},
    {"abc", "%d", 0, unset, unset, "abc"},      // a bad first character stays pushed back
    {"1 2 3", "%d %y %d", 1, 1, unset, "2 3"},  // an unknown letter ends the scan
    {"1 2", "%d %", 1, 1, unset, "2"},
    {"1 2", "%*d %d", 1, 2, unset, ""},
    {"5%", "%d%%", 1, 5, unset, ""},
    {" %5", "%%%d", -1, unset, unset, " %5"},   // "%%" skips no white space
    {"1\n\t 2", "%d%d", 2, 1, 2, ""},
    {"  42x", "%d%n", 1, 42, 4, "x"},           // "%n" is not counted
    // Bases, widths and wrap-around.
    {"0x1F", "%i", 1, 31, unset, ""},
    {"017", "%i", 1, 15, unset, ""},
    {"-0X10", "%i", 1, -16, unset, ""},
    {"08", "%i", 1, 0, unset, "8"},
    {"0x1F", "%x", 1, 0, unset, "x1F"},
    {"aBz", "%x", 1, 0xab, unset, "z"},
    {"0178", "%o", 1, 15, unset, "8"},
    {"12345", "%3d%d", 2, 123, 45, ""},
    {"-12345", "%3d", 1, -12, unset, "345"},    // the sign counts in the width
    {"-5", "%1d", 0, unset, unset, "5"},
    {"2147483647", "%d", 1, INT_MAX, unset, ""},
    {"2147483648", "%d", 1, INT_MIN, unset, ""},
    {"99999999999", "%d", 1, 1215752191, unset, ""},
    {"ffffffff", "%x", 1, -1, unset, ""},
};

struct TextCase {
    const char* input;
    const char* format;
    int result;
    const char* a;
    const char* b;
    const char* rest;
};

// Buffers start as "#######" so that a missing or extra terminator shows.
const TextCase text_cases[] = {
    {"  hello world", "%5s", 1, "hello", "#######", " world"},
    {"   ", "%s", -1, "#######", "#######", ""},
    {" x", "%c", 1, " ######", "#######", "x"},
    {"abcdef", "%3c", 1, "abc####", "#######", "def"},
    {"ab", "%3c", 1, "ab#####", "#######", ""},
    {"abcabd", "%[abc]", 1, "abcab", "#######", "d"},
    {"one\nx", "%[^\n]%c", 2, "one", "\n######", "x"},
    {"]a]b", "%[]a]", 1, "]a]", "#######", "b"},
    {"ab]c", "%[^]]", 1, "ab", "#######", "]c"},
    {"abcd", "%[a-c]", 1, "abc", "#######", "d"},
    {"a-a-b", "%[a-]", 1, "a-a-", "#######", "b"},
    {"ab-ed", "%[a-c-e]", 1, "ab-e", "#######", "d"},
    {"\xe9\xe9x", "%[\xe9]", 1, "\xe9\xe9", "#######", "x"},
    {"xyz", "%[abc]", 0, "#######", "#######", "xyz"},
    {" abc", "%[abc]", 0, "#######", "#######", " abc"},
    {"abc", "%2[abc]%s", 2, "ab", "c", ""},
    {"x abc", "%s %[abc", 1, "x", "#######", "abc"},       // a set without "]"
    {"a 5", "%*[a] %s", 0, "#######", "#######", " 5"},    // "%*[" ends the scan
    {"# note\nnext", " %1[#]%*[^\n]", 1, "#", "#######", "\nnext"},
    {"5 x\n", " %1[#]%*[^\n]", 0, "#######", "#######", "5 x\n"},
};

class ScanTables : public ::testing::TestWithParam<ScanSource> {};

TEST_P(ScanTables, IntegersAndReturnRules)
{
    for (const IntCase& c : int_cases) {
        SCOPED_TRACE(std::string("input \"") + c.input + "\" format \"" + c.format + "\"");
        Scanner scan(GetParam(), c.input);
        int a = unset, b = unset;
        EXPECT_EQ(scan(c.format, &a, &b), c.result);
        EXPECT_EQ(a, c.a);
        EXPECT_EQ(b, c.b);
        if (scan.file()) {
            EXPECT_EQ(scan.rest(), c.rest);
        }
    }
}

TEST_P(ScanTables, StringsCharactersAndSets)
{
    for (const TextCase& c : text_cases) {
        SCOPED_TRACE(std::string("input \"") + c.input + "\" format \"" + c.format + "\"");
        Scanner scan(GetParam(), c.input);
        char a[8] = "#######", b[8] = "#######";
        EXPECT_EQ(scan(c.format, a, b), c.result);
        EXPECT_STREQ(a, c.a);
        EXPECT_STREQ(b, c.b);
        if (scan.file()) {
            EXPECT_EQ(scan.rest(), c.rest);
        }
    }
}

// "l" and "ll" must not widen: the word after a 32-bit destination stays untouched;
// "h" writes exactly 16 bits.
TEST_P(ScanTables, IntegerStoreWidths)
{
    int32_t words[2] = {unset, unset};
    Scanner wide(GetParam(), "-1 -2");
    EXPECT_EQ(wide("%ld %lld", &words[0], &words[0]), 2);
    EXPECT_EQ(words[0], -2);
    EXPECT_EQ(words[1], unset);

    short halves[3] = {11, 11, 11};
    Scanner half(GetParam(), "70000 -1 3");
    EXPECT_EQ(half("%hd %hi %hn", &halves[0], &halves[1], &halves[2]), 2);
    EXPECT_EQ(halves[0], 4464);
    EXPECT_EQ(halves[1], -1);
    EXPECT_EQ(halves[2], 9);
}

INSTANTIATE_TEST_SUITE_P(BothSources, ScanTables, ::testing::Values(ScanSource::text, ScanSource::file),
                         source_label);

TEST(ScanFile, CountConsumedAcrossThePushedBackCharacter)
{
    // Start with a space pushed back, end with the "x" pushed back.
    Scanner scan(ScanSource::file, "12 34x");
    int a = 0, before = -1, after = -1;
    ASSERT_EQ(scan("%d", &a), 1);
    EXPECT_EQ(scan("%n%d%n", &before, &a, &after), 1);
    EXPECT_EQ(before, 0);
    EXPECT_EQ(after, 3);  // " 34"
    char x = 0;
    EXPECT_EQ(scan("%n%c%n", &before, &x, &after), 1);
    EXPECT_EQ(x, 'x');
    EXPECT_TRUE(before == 0 && after == 1) << before << " " << after;
    EXPECT_EQ(scan("%d", &a), -1);
}

TEST(ScanFile, SkipSpacesAndLineReadsContinueAfterAScan)
{
    Scanner scan(ScanSource::file, "# note\nct03 42 \n y\nnext line\n  ");
    char word[4] = "";
    int v = 0;
    EXPECT_EQ(scan(" %1[#]%*[^\n]", word), 1);
    EXPECT_EQ(scan(" ct03 %d", &v), 1);
    EXPECT_EQ(v, 42);
    EXPECT_EQ(vfs_skip_spaces(scan.file()), 3);  // the pushed-back space counts
    EXPECT_EQ(vfs_skip_spaces(scan.file()), 0);
    char buffer[32];
    EXPECT_STREQ(vfs_gets(scan.file(), buffer, sizeof buffer), "y\n");
    EXPECT_STREQ(vfs_gets(scan.file(), buffer, sizeof buffer), "next line\n");
    EXPECT_EQ(vfs_skip_spaces(scan.file()), -1);  // ended, even after skipping two
}

TEST(ScanFile, StopsAtTheHandlesWindowAndReadsThroughGzip)
{
    Scanner scan(ScanSource::file, "12345 6");
    scan.file()->size_limit = 3;  // as for an archive entry of three bytes
    int a = 0, b = -1;
    EXPECT_EQ(scan("%d%d", &a, &b), 1);
    EXPECT_EQ(a, 123);
    EXPECT_EQ(b, -1);

    TempDir dir;
    const std::string text = "10 20\n 3.5 word";
    write_file(dir / "numbers.gz", gzip_bytes(text));
    vfs_file* f = vfs_open((dir / "numbers").c_str(), "rb");
    ASSERT_NE(f, nullptr);
    float x = 0;
    char word[8] = "";
    int n = 0;
    EXPECT_EQ(vfs_scanf(f, "%d %d %f %7s%n", &a, &b, &x, word, &n), 4);
    EXPECT_TRUE(a == 10 && b == 20 && x == 3.5f && strcmp(word, "word") == 0);
    EXPECT_EQ(n, static_cast<int>(text.size()));
    EXPECT_EQ(vfs_scanf(f, "%d", &a), -1);
    vfs_close(f);
}

}  // namespace
