// The text helpers: suffixes, colour tags, bounded formatting.
#include "../fixtures.h"
#include "foundation/text/text_util.h"

namespace {

using namespace fixtures;

TEST(StrEndsWith, WholeSuffixAtTheEnd)
{
    EXPECT_EQ(str_ends_with("series/national.series", ".series"), 1);
    EXPECT_EQ(str_ends_with(".series", ".series"), 1);
    EXPECT_EQ(str_ends_with("national.series.bak", ".series"), 0);
    EXPECT_EQ(str_ends_with("ies", ".series"), 0);   // a suffix longer than the text
    EXPECT_EQ(str_ends_with("anything", ""), 1);
}

TEST(ColourTag, ReadsClampedScaledTruncatedNumbersOrLeavesTheColour)
{
    uint8_t rgb[3] = {1, 2, 3};
    parse_colour_tag("plate [numberbackground:2,-1,0.5] rest", "[numberbackground:", rgb);
    EXPECT_TRUE(rgb[0] == 255 && rgb[1] == 0 && rgb[2] == 127) << +rgb[0] << " " << +rgb[1] << " " << +rgb[2];
    for (const char* text : {"[numberforeground:1,1,1]", "[numberbackground:1,1]", "[numberbackground:1;1;1]", ""}) {
        uint8_t kept[3] = {9, 8, 7};
        parse_colour_tag(text, "[numberbackground:", kept);
        EXPECT_TRUE(kept[0] == 9 && kept[1] == 8 && kept[2] == 7) << text;
    }
}

TEST(FormatString, CutsToTheBufferAndReportsWhatItWrote)
{
    char buffer[8];
    EXPECT_EQ(format_string(buffer, sizeof buffer, "%d-%s", 12, "ab"), 5);
    EXPECT_STREQ(buffer, "12-ab");
    char small[6];
    EXPECT_EQ(format_string(small, sizeof small, "%s", "abcdefghij"), 5);
    EXPECT_STREQ(small, "abcde");
    char one[1] = {'z'};
    EXPECT_EQ(format_string(one, 1, "%s", "abc"), 0);
    EXPECT_EQ(one[0], '\0');
    EXPECT_EQ(format_string(nullptr, 0, "%s", "abc"), 0);
}

}  // namespace
