// The scanning engine's return rules, integer and text conversions, run over a text
// and over a file with the same tables. "rest" is what a later read of the file gets
// (the pushed-back character first).
#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#include "scan_support.h"

namespace {

constexpr int unset = -7777;

struct IntCase {
    const char* input;
    const char* format;
    int result;
    int a, b;
    const char* rest;
};

// Return rules and literals.
const IntCase rule_cases[] = {
    {"12 x", "%d %d", 1, 12, unset, "x"},
    {"ct04 5", "ct03 %d", -1, unset, unset, "4 5"},
    {"ct03 5", "ct03 %d", 1, 5, unset, ""},
    {"1;2", "%d,%d", -1, 1, unset, ";2"},
    {"5", "%d a", -1, 5, unset, ""},          // end of data at a literal
    {"", "", 0, unset, unset, ""},
    {"abc", "", 0, unset, unset, "abc"},
    {"", "%d", -1, unset, unset, ""},
    {" \n\t ", "%d", -1, unset, unset, ""},
    {"7 ", "%d %d", 1, 7, unset, ""},
    {"abc", "%d", 0, unset, unset, "abc"},   // bad first character stays pushed back
    {"+x", "%d", 0, unset, unset, "x"},
    {"1 2 3", "%d %y %d", 1, 1, unset, "2 3"},  // unknown letter ends the scan
    {"1 2", "%d %", 1, 1, unset, "2"},
    {"1 2", "%*d %d", 1, 2, unset, ""},
    {"5%", "%d%%", 1, 5, unset, ""},
    {" %5", "%%%d", -1, unset, unset, " %5"},   // %% skips no white space
    {"1\n\t 2", "%d%d", 2, 1, 2, ""},
    {"  42x", "%d%n", 1, 42, 4, "x"},         // %n is not counted
};

// Bases, widths, signs and wrap-around.
const IntCase number_cases[] = {
    {"0x1F", "%i", 1, 31, unset, ""},
    {"017", "%i", 1, 15, unset, ""},
    {"-0X10", "%i", 1, -16, unset, ""},
    {"08", "%i", 1, 0, unset, "8"},
    {"0xg", "%i", 1, 0, unset, "g"},
    {"0x1F", "%x", 1, 0, unset, "x1F"},
    {"aBz", "%x", 1, 0xab, unset, "z"},
    {"ff", "%X", 1, 255, unset, ""},
    {"0178", "%o", 1, 15, unset, "8"},
    {"-10", "%o", 1, -8, unset, ""},
    {"12345", "%3d%d", 2, 123, 45, ""},
    {"-12345", "%3d", 1, -12, unset, "345"},  // the sign counts in the width
    {"-5", "%1d", 0, unset, unset, "5"},
    {"2147483647", "%d", 1, INT_MAX, unset, ""},
    {"2147483648", "%d", 1, INT_MIN, unset, ""},
    {"-2147483648", "%d", 1, INT_MIN, unset, ""},
    {"4294967297", "%d", 1, 1, unset, ""},
    {"99999999999", "%d", 1, 1215752191, unset, ""},
    {"-4294967295", "%d", 1, 1, unset, ""},
    {"ffffffff", "%x", 1, -1, unset, ""},
    {"123456789abc", "%x", 1, 0x56789abc, unset, ""},
    {"7", "%ld", 1, 7, unset, ""},
    {"-3", "%lld", 1, -3, unset, ""},
};

class ScanIntegers : public ::testing::TestWithParam<ScanSource> {
protected:
    void run(const IntCase& c)
    {
        SCOPED_TRACE(std::string("input \"") + c.input + "\" format \"" + c.format + "\"");
        Scanner scan(GetParam(), c.input);
        int a = unset, b = unset;
        EXPECT_EQ(scan(c.format, &a, &b), c.result);
        EXPECT_EQ(a, c.a);
        EXPECT_EQ(b, c.b);
        if (scan.is_file()) {
            EXPECT_EQ(scan.rest(), c.rest);
        }
    }
};

TEST_P(ScanIntegers, ReturnRulesAndLiterals)
{
    for (const IntCase& c : rule_cases)
        run(c);
}

TEST_P(ScanIntegers, BasesWidthsAndWrapAround)
{
    for (const IntCase& c : number_cases)
        run(c);
}

// "l" must not widen: the word after a 32-bit destination stays untouched, and "h"
// writes exactly 16 bits.
TEST_P(ScanIntegers, StoreWidths)
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
    {"abcdef", "%3s%s", 2, "abc", "def", ""},
    {"ab\tcd", "%s %s", 2, "ab", "cd", ""},
    {"caf\xe9 x", "%s", 1, "caf\xe9", "#######", " x"},
    {"   ", "%s", -1, "#######", "#######", ""},
    {" x", "%c", 1, " ######", "#######", "x"},
    {"  x", " %c", 1, "x######", "#######", ""},
    {"abcdef", "%3c", 1, "abc####", "#######", "def"},
    {"ab", "%3c", 1, "ab#####", "#######", ""},
    {"", "%c", -1, "#######", "#######", ""},
    {"5", "%*d%c", -1, "#######", "#######", ""},
    {"abcabd", "%[abc]", 1, "abcab", "#######", "d"},
    {"one\nx", "%[^\n]%c", 2, "one", "\n######", "x"},
    {"]a]b", "%[]a]", 1, "]a]", "#######", "b"},
    {"ab]c", "%[^]]", 1, "ab", "#######", "]c"},
    {"abcd", "%[a-c]", 1, "abc", "#######", "d"},
    {"a-a-b", "%[a-]", 1, "a-a-", "#######", "b"},
    {"-a-b", "%[-a]", 1, "-a-", "#######", "b"},
    {"ab-ed", "%[a-c-e]", 1, "ab-e", "#######", "d"},
    {"\xe9\xe9x", "%[\xe9]", 1, "\xe9\xe9", "#######", "x"},
    {"xyz", "%[abc]", 0, "#######", "#######", "xyz"},
    {" abc", "%[abc]", 0, "#######", "#######", " abc"},
    {"abc", "%2[abc]%s", 2, "ab", "c", ""},
    {"", "%[a]", -1, "#######", "#######", ""},
    {"x abc", "%s %[abc", 1, "x", "#######", "abc"},  // unclosed set
    {"a 5", "%*[a] %s", 0, "#######", "#######", " 5"},  // %*[ ends the scan
    {"# note\nnext", " %1[#]%*[^\n]", 1, "#", "#######", "\nnext"},
    {"5 x\n", " %1[#]%*[^\n]", 0, "#######", "#######", "5 x\n"},
    {"#", " %1[#]%*[^\n]", 1, "#", "#######", ""},
};

class ScanText : public ::testing::TestWithParam<ScanSource> {};

TEST_P(ScanText, StringsCharactersAndSets)
{
    for (const TextCase& c : text_cases) {
        SCOPED_TRACE(std::string("input \"") + c.input + "\" format \"" + c.format + "\"");
        Scanner scan(GetParam(), c.input);
        char a[8] = "#######", b[8] = "#######";
        EXPECT_EQ(scan(c.format, a, b), c.result);
        EXPECT_STREQ(a, c.a);
        EXPECT_STREQ(b, c.b);
        if (scan.is_file()) {
            EXPECT_EQ(scan.rest(), c.rest);
        }
    }
}

auto source_label = [](const ::testing::TestParamInfo<ScanSource>& info) {
    return source_name(info.param);
};
INSTANTIATE_TEST_SUITE_P(BothSources, ScanIntegers,
                         ::testing::Values(ScanSource::text, ScanSource::file), source_label);
INSTANTIATE_TEST_SUITE_P(BothSources, ScanText,
                         ::testing::Values(ScanSource::text, ScanSource::file), source_label);

}  // namespace
