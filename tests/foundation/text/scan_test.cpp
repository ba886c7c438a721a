// The scanning engine: tables of formats and inputs run over a text and over a file
// ("rest" is what a later read of the file gets), float corpora against the C library,
// and what only a file handle shows: the look-ahead that outlives one call.
#include <bit>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstring>

#include "../fixtures.h"

namespace {

using namespace fixtures;

template <typename T>
struct Case {
    const char* input;
    const char* format;
    int result;
    T a, b;
    const char* rest;
};

constexpr int unset = -7777;
constexpr float untouched = -777.0f;
constexpr float inf = HUGE_VALF;

const Case<int> int_cases[] = {
    // Return rules and literals.
    {"1;2", "%d,%d", -1, 1, unset, ";2"},       // a literal mismatch after a conversion
    {"5", "%d a", -1, 5, unset, ""},            // end of data at a literal
    {" \n\t ", "%d", -1, unset, unset, ""},
    {"7 ", "%d %d", 1, 7, unset, ""},           // end of data after a conversion
    {"abc", "%d", 0, unset, unset, "abc"},      // a bad first character stays pushed back
    {"1 2 3", "%d %y %d", 1, 1, unset, "2 3"},  // an unknown letter ends the scan
    {"1 2", "%d %", 1, 1, unset, "2"},
    {"1 2", "%*d %d", 1, 2, unset, ""},
    {"5%", "%d%%", 1, 5, unset, ""},
    {" %5", "%%%d", -1, unset, unset, " %5"},   // "%%" skips no white space
    {" \n42x", "%d%n", 1, 42, 4, "x"},          // "%n" is not counted
    // Bases, widths and wrap-around.
    {"017", "%i", 1, 15, unset, ""},
    {"-0X10", "%i", 1, -16, unset, ""},
    {"08", "%i", 1, 0, unset, "8"},
    {"0x1F", "%x", 1, 0, unset, "x1F"},
    {"aBz", "%x", 1, 0xab, unset, "z"},
    {"0178", "%o", 1, 15, unset, "8"},
    {"12345", "%3d%d", 2, 123, 45, ""},
    {"-12345", "%3d", 1, -12, unset, "345"},    // the sign counts in the width
    {"-5", "%1d", 0, unset, unset, "5"},
    {"2147483648", "%d", 1, INT_MIN, unset, ""},
    {"99999999999", "%d", 1, 1215752191, unset, ""},
    {"ffffffff", "%x", 1, -1, unset, ""},
};

const Case<float> float_cases[] = {
    {"5", "%1f", 0, untouched, untouched, "5"},  // width 1 never matches
    {"1.5", "%2f", 1, 1.0f, untouched, "5"},
    {".5 5.", "%f%f", 2, 0.5f, 5.0f, ""},
    {".x", "%f", 0, untouched, untouched, "x"},
    {"-", "%f", 0, untouched, untouched, ""},
    {"-2.5E+2", "%f", 1, -250.0f, untouched, ""},
    {"1ex", "%f", 1, 1.0f, untouched, "x"},
    {"1e+x", "%f", 1, 1.0f, untouched, "x"},     // the "e+" of a broken exponent is lost
    {"1.2.3", "%f", 1, 1.2f, untouched, ".3"},
    {"  -0", "%f", 1, -0.0f, untouched, ""},
    {"3.40282356e38 -3.40282357e38", "%f%f", 2, FLT_MAX, -inf, ""},
    {"1e999999999999", "%f", 1, inf, untouched, ""},  // the exponent saturates, it never wraps
    {"-1e-99999999999999999999999999999", "%f", 1, -0.0f, untouched, ""},
    {"0e999999", "%f", 1, 0.0f, untouched, ""},
};

struct Text {
    char s[8] = "#######";  // so that a missing or extra terminator shows
};

const Case<const char*> text_cases[] = {
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
    {"\xe9\xe9x", "%[\xe9]", 1, "\xe9\xe9", "#######", "x"},
    {"xyz", "%[abc]", 0, "#######", "#######", "xyz"},
    {" abc", "%[abc]", 0, "#######", "#######", " abc"},
    {"abc", "%2[abc]%s", 2, "ab", "c", ""},
    {"x abc", "%s %[abc", 1, "x", "#######", "abc"},       // a set without "]"
    {"a 5", "%*[a] %s", 0, "#######", "#######", " 5"},    // "%*[" ends the scan
    {"# note\nnext", " %1[#]%*[^\n]", 1, "#", "#######", "\nnext"},
    {"5 x\n", " %1[#]%*[^\n]", 0, "#######", "#######", "5 x\n"},
};

int* slot(int& v) { return &v; }
float* slot(float& v) { return &v; }
char* slot(Text& t) { return t.s; }
// Floats by their bits, so that -0 and 0 differ.
std::string shown(int v) { return std::to_string(v); }
std::string shown(float v) { return std::to_string(v) + " " + std::to_string(std::bit_cast<uint32_t>(v)); }
std::string shown(const Text& t) { return t.s; }
std::string shown(const char* s) { return s; }

template <typename Slot, typename T, size_t N>
void run_table(ScanSource source, const Case<T> (&cases)[N], Slot start)
{
    for (const Case<T>& c : cases) {
        SCOPED_TRACE(std::string("input \"") + c.input + "\" format \"" + c.format + "\"");
        Scanner scan(source, c.input);
        Slot a = start, b = start;
        EXPECT_EQ(scan(c.format, slot(a), slot(b)), c.result);
        EXPECT_EQ(shown(a), shown(c.a));
        EXPECT_EQ(shown(b), shown(c.b));
        if (scan.file()) {
            EXPECT_EQ(scan.rest(), c.rest);
        }
    }
}

class ScanTables : public ::testing::TestWithParam<ScanSource> {};

TEST_P(ScanTables, IntegersAndReturnRules) { run_table(GetParam(), int_cases, unset); }
TEST_P(ScanTables, FloatSyntax) { run_table(GetParam(), float_cases, untouched); }
TEST_P(ScanTables, StringsCharactersAndSets) { run_table(GetParam(), text_cases, Text{}); }

// "l" and "ll" must not widen integers: the word after a 32-bit destination stays
// untouched; "h" writes exactly 16 bits. For floats they pick the destination.
TEST_P(ScanTables, StoreWidths)
{
    int32_t words[2] = {unset, unset};
    Scanner wide(GetParam(), "-1 -2");
    EXPECT_EQ(wide("%ld %lld", &words[0], &words[0]), 2);
    EXPECT_TRUE(words[0] == -2 && words[1] == unset) << words[0] << " " << words[1];

    short halves[3] = {11, 11, 11};
    Scanner half(GetParam(), "70000 -1 3");
    EXPECT_EQ(half("%hd %hi %hn", &halves[0], &halves[1], &halves[2]), 2);
    EXPECT_TRUE(halves[0] == 4464 && halves[1] == -1 && halves[2] == 9);

    Scanner floats(GetParam(), "0.1 0.1 0.1 0.1 0.1");
    float f[2] = {-1, -1};
    double d = 0;
    long double big[3] = {};
    EXPECT_EQ(floats("%f %lf %Lf %llf %qf", &f[0], &d, &big[0], &big[1], &big[2]), 5);
    EXPECT_TRUE(f[0] == 0.1f && f[1] == -1 && d == 0.1) << f[0] << " " << f[1] << " " << d;
    EXPECT_TRUE(big[0] == 0.1L && big[1] == 0.1L && big[2] == 0.1L);
}

INSTANTIATE_TEST_SUITE_P(BothSources, ScanTables, ::testing::Values(ScanSource::text, ScanSource::file),
                         [](const auto& info) { return info.param == ScanSource::text ? "Text" : "File"; });

// Decimal texts of up to max_digits significant digits, with a point somewhere and
// an exponent in [low, high] half of the time.
std::vector<std::string> corpus(unsigned seed, int max_digits, int low, int high)
{
    std::mt19937 rng(seed);
    auto pick = [&](int a, int b) { return std::uniform_int_distribution<int>(a, b)(rng); };
    std::vector<std::string> out;
    for (int i = 0; i < 3000; ++i) {
        std::string digits(1, static_cast<char>('1' + pick(0, 8)));
        for (int k = pick(1, max_digits); k > 1; --k)
            digits += static_cast<char>('0' + pick(0, 9));
        if (int point = pick(0, static_cast<int>(digits.size())); point < static_cast<int>(digits.size()))
            digits.insert(point, ".");
        std::string text = (pick(0, 1) ? "-" : "") + digits;
        if (pick(0, 1))
            text += (pick(0, 1) ? "e" : "E") + std::to_string(pick(low, high));
        out.push_back(text);
    }
    return out;
}

TEST(ScanFloatCorpus, FloatMatchesStrtofExactly)
{
    std::vector<std::string> texts = corpus(20240601, 9, -46, 39);
    texts.insert(texts.end(), {"0", "0.1", "0.3", "6.02214076e23", "1.17549435e-38", "1.4e-45", "7.1e-46", "7e-46",
                               "3.4028234e38", "16777217", "16777219", "100000000000000000000"});
    for (const std::string& t : texts) {
        float mine = untouched;
        ASSERT_EQ(scan_string(t.c_str(), "%f", &mine), 1) << t;
        EXPECT_EQ(shown(mine), shown(std::strtof(t.c_str(), nullptr))) << t;
    }
}

// Distance in representable doubles; both must have the same sign.
uint64_t ulps_apart(double a, double b)
{
    const auto x = std::bit_cast<uint64_t>(a), y = std::bit_cast<uint64_t>(b);
    if ((x >> 63) != (y >> 63))
        return a == b ? 0 : UINT64_MAX;
    return x > y ? x - y : y - x;
}

TEST(ScanFloatCorpus, DoubleWithinOneUlpOfStrtod)
{
    std::vector<std::string> texts = corpus(77, 17, -330, 310);
    texts.insert(texts.end(), {
        "0.1", "1.7976931348623157e308", "4.9e-324", "2.2250738585072014e-308", "1e-320", "9007199254740993",
        // More digits than any mantissa holds.
        std::string(100, '1') + ".5e-90", std::string(300, '9') + "e-300", std::string(6000, '0') + "25",
        "0." + std::string(5000, '0') + "1e5001", "1" + std::string(6000, '0') + "e-6000"});
    for (const std::string& t : texts) {
        double mine = 0;
        ASSERT_EQ(scan_string(t.c_str(), "%lf", &mine), 1) << t;
        EXPECT_LE(ulps_apart(mine, std::strtod(t.c_str(), nullptr)), 1u) << t << " gave " << mine;
    }
}

TEST(ScanFloatCorpus, ExtremeExponents)
{
    double d = 0;
    EXPECT_EQ(scan_string("1.7976931348623159e308", "%lf", &d), 1);
    EXPECT_EQ(d, HUGE_VAL);
    long double x = 0;
    EXPECT_EQ(scan_string("1e4000", "%Lf", &x), 1);
    EXPECT_NEAR(static_cast<double>(x / 1e4000L), 1.0, 1e-15);
    EXPECT_EQ(scan_string("-2.5e-4000", "%Lf", &x), 1);
    EXPECT_NEAR(static_cast<double>(x / 1e-4000L), -2.5, 1e-15);
    EXPECT_EQ(scan_string("1e9000", "%Lf", &x), 1);
    EXPECT_EQ(x, HUGE_VALL);
}

TEST(ScanFile, CountConsumedAcrossThePushedBackCharacter)
{
    // Start with a space pushed back, end with the "x" pushed back.
    Scanner scan(ScanSource::file, "12 34x");
    int a = 0, before = -1, after = -1;
    ASSERT_EQ(scan("%d", &a), 1);
    EXPECT_EQ(scan("%n%d%n", &before, &a, &after), 1);
    EXPECT_TRUE(before == 0 && after == 3) << before << " " << after;  // " 34"
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

TEST(ScanFile, ReadsOnlyTheHandlesDataThroughItsWindowOrInflater)
{
    Scanner window(ScanSource::file, "12345 6");
    window.file()->size_limit = 3;  // as for an archive entry of three bytes
    int a = 0, b = -1;
    EXPECT_EQ(window("%d%d", &a, &b), 1);
    EXPECT_EQ(a, 123);

    TempDir dir;
    write_file(dir / "n.gz", gzip_bytes("10 word"));
    vfs_file* f = vfs_open((dir / "n").c_str(), "rb");
    char word[8] = "";
    EXPECT_EQ(vfs_scanf(f, "%d %7s", &a, word), 2);
    EXPECT_TRUE(a == 10 && strcmp(word, "word") == 0) << a << " " << word;
    vfs_close(f);
}

}  // namespace
