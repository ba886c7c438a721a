// Float conversions: syntax and failure rules over both sources, the size letters,
// and corpora checked against the C library's conversions (exact for float, within
// one unit in the last place for double).
#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "fixtures.h"

namespace {

using namespace fixtures;

struct FloatCase {
    const char* input;
    const char* format;
    int result;
    float value;
    const char* rest;
};

constexpr float untouched = -777.0f;
constexpr float inf = HUGE_VALF;

const FloatCase float_cases[] = {
    {"5", "%1f", 0, untouched, "5"},        // width 1 never matches
    {"1.5", "%2f", 1, 1.0f, "5"},
    {".5", "%f", 1, 0.5f, ""},
    {"5.", "%f", 1, 5.0f, ""},
    {".x", "%f", 0, untouched, "x"},
    {"-", "%f", 0, untouched, ""},
    {"-2.5E+2", "%f", 1, -250.0f, ""},
    {"1ex", "%f", 1, 1.0f, "x"},
    {"1e+x", "%f", 1, 1.0f, "x"},          // the "e+" of a broken exponent is lost
    {"1.2.3", "%f", 1, 1.2f, ".3"},
    {"  -0", "%f", 1, -0.0f, ""},
    {"3.40282356e38", "%f", 1, FLT_MAX, ""},
    {"-3.40282357e38", "%f", 1, -inf, ""},
    {"1e999999999999", "%f", 1, inf, ""},  // the exponent saturates, it never wraps
    {"-1e-99999999999999999999999999999", "%f", 1, -0.0f, ""},
    {"0e999999", "%f", 1, 0.0f, ""},
};

class ScanFloats : public ::testing::TestWithParam<ScanSource> {};

TEST_P(ScanFloats, SyntaxAndFailures)
{
    for (const FloatCase& c : float_cases) {
        SCOPED_TRACE(std::string("input \"") + c.input + "\" format \"" + c.format + "\"");
        Scanner scan(GetParam(), c.input);
        float value = untouched;
        EXPECT_EQ(scan(c.format, &value), c.result);
        EXPECT_EQ(std::bit_cast<uint32_t>(value), std::bit_cast<uint32_t>(c.value)) << value;
        if (scan.file()) {
            EXPECT_EQ(scan.rest(), c.rest);
        }
    }
}

TEST_P(ScanFloats, SizeLettersPickTheDestination)
{
    Scanner scan(GetParam(), "0.1 0.1 0.1 0.1 0.1");
    float f[2] = {untouched, untouched};
    double d = 0;
    long double big[3] = {};
    EXPECT_EQ(scan("%f %lf %Lf %llf %qf", &f[0], &d, &big[0], &big[1], &big[2]), 5);
    EXPECT_EQ(f[0], 0.1f);
    EXPECT_EQ(f[1], untouched);
    EXPECT_EQ(d, 0.1);
    for (long double v : big)
        EXPECT_EQ(v, 0.1L);
}

INSTANTIATE_TEST_SUITE_P(BothSources, ScanFloats, ::testing::Values(ScanSource::text, ScanSource::file),
                         source_label);

// Decimal texts of up to max_digits significant digits, with a point somewhere and
// an exponent in [low, high] half of the time.
std::vector<std::string> corpus(unsigned seed, int max_digits, int low, int high, int n)
{
    std::mt19937 rng(seed);
    auto pick = [&](int a, int b) { return std::uniform_int_distribution<int>(a, b)(rng); };
    std::vector<std::string> out;
    for (int i = 0; i < n; ++i) {
        std::string digits(1, static_cast<char>('1' + pick(0, 8)));
        for (int k = pick(1, max_digits); k > 1; --k)
            digits += static_cast<char>('0' + pick(0, 9));
        const int point = pick(0, static_cast<int>(digits.size()));
        if (point < static_cast<int>(digits.size()))
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
    std::vector<std::string> texts = {"0", "0.1", "0.3", "6.02214076e23", "1.17549435e-38", "1.4e-45", "7.1e-46",
                                      "7e-46", "3.4028234e38", "16777217", "16777219", "100000000000000000000"};
    for (const std::string& t : corpus(20240601, 9, -46, 39, 3000))
        texts.push_back(t);

    std::string all;
    for (const std::string& t : texts) {
        float mine = untouched;
        ASSERT_EQ(scan_string(t.c_str(), "%f", &mine), 1) << t;
        EXPECT_EQ(std::bit_cast<uint32_t>(mine), std::bit_cast<uint32_t>(std::strtof(t.c_str(), nullptr)))
            << t << " gave " << mine;
        all += t + (all.size() % 3 ? "\n" : " \t");
    }

    // The same numbers read one after another from a file.
    Scanner file(ScanSource::file, all);
    for (const std::string& t : texts) {
        float mine = untouched;
        ASSERT_EQ(file("%f", &mine), 1) << t;
        EXPECT_EQ(mine, std::strtof(t.c_str(), nullptr)) << t;
    }
    float none = untouched;
    EXPECT_EQ(file("%f", &none), -1);
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
    std::vector<std::string> texts = {
        "0.1", "1.7976931348623157e308", "4.9e-324", "2.2250738585072014e-308", "1e-320", "9007199254740993",
        // More digits than any mantissa holds.
        std::string(100, '1') + ".5e-90", std::string(300, '9') + "e-300", std::string(6000, '0') + "25",
        "0." + std::string(5000, '0') + "1e5001", "1" + std::string(6000, '0') + "e-6000",
    };
    for (const std::string& t : corpus(77, 17, -330, 310, 3000))
        texts.push_back(t);
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

}  // namespace
