#include "sim_fixture.h"

#include "sim/bike_info.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

namespace {

TEST(BikeInfo, LookUpIsExactAndCaseSensitive)
{
    EXPECT_EQ(bike_info_lookup("cr125"), &bike_infos[0]);
    EXPECT_EQ(bike_info_index("crf250(2007)"), 1);
    EXPECT_EQ(bike_info_index("rs50yz"), 79);
    EXPECT_EQ(bike_info_lookup("CR125"), nullptr);
    EXPECT_EQ(bike_info_lookup("cr125 "), nullptr);
    EXPECT_EQ(bike_info_lookup(nullptr), nullptr);
    EXPECT_EQ(bike_info_at(80), nullptr);
    EXPECT_EQ(bike_info_at(-1), nullptr);
}

TEST(BikeInfo, UnknownNamesFallBackWithAMessage)
{
    struct Case {
        const char* asked;
        const char* chosen;
    } const cases[] = {
        {"xr650", "kx250f(2007)"},       // neither "125" nor "250f"
        {"sx125(1999)", "cr125"},
        {"zz250f", "kx250f(2007)"},
        {"crf250(2001)", "kx250f(2007)"},   // "crf250" names do not contain "250f"
    };
    for (const Case& c : cases) {
        simtest::LogCapture log;
        EXPECT_STREQ(bike_infos[static_cast<size_t>(bike_info_choose(c.asked))].name, c.chosen) << c.asked;
        EXPECT_TRUE(log.contains(std::string("bike info for '") + c.asked + "' not found using '" + c.chosen +
                                 "' instead"))
            << log.text();
    }
    simtest::LogCapture quiet;
    EXPECT_EQ(bike_info_choose("yz250f(2017)"), bike_info_index("yz250f(2017)"));
    EXPECT_EQ(quiet.text(), "");
}

}  // namespace
