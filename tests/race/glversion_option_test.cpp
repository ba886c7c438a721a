// "--glversion" as the command line gives it: the version, the dialect word written
// on or apart, the "=" form, and "--" ending the options.
#include "race/glversion_option.h"

#include <gtest/gtest.h>

namespace {

gl_version_choice from(std::vector<const char*> arguments, bool* ok)
{
    std::vector<char*> argv = {const_cast<char*>("brovanta")};
    for (const char* a : arguments)
        argv.push_back(const_cast<char*>(a));
    gl_version_choice choice;
    const char* message = nullptr;
    *ok = glversion_from_arguments(static_cast<int>(argv.size()), argv.data(), &choice, &message) == 1;
    return choice;
}

}  // namespace

TEST(GlversionOption, VersionAndDialectInEveryWritingAccepted)
{
    bool ok = false;
    gl_version_choice c = from({}, &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(c.major * 10 + c.minor, 31);
    EXPECT_EQ(c.profile, 1);  // 3.1 core unless asked otherwise

    c = from({"--glversion", "3.3"}, &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(c.major * 10 + c.minor, 33);
    EXPECT_EQ(c.profile, 0);

    c = from({"--glversion", "3.2core"}, &ok);
    EXPECT_EQ(c.profile, 1);
    c = from({"--glversion=3.2 core"}, &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(c.major * 10 + c.minor, 32);
    EXPECT_EQ(c.profile, 1);
    c = from({"--glversion=3.0 es"}, &ok);
    EXPECT_EQ(c.profile, 2);
    c = from({"--glversion", "4.6compatibility"}, &ok);
    EXPECT_EQ(c.profile, 0);
}

TEST(GlversionOption, LastOneCountsAndNothingAfterTheEndOfOptions)
{
    bool ok = false;
    gl_version_choice c = from({"--glversion", "3.3", "--glversion=4.1 core"}, &ok);
    EXPECT_EQ(c.major * 10 + c.minor, 41);
    c = from({"--", "--glversion", "es"}, &ok);
    EXPECT_TRUE(ok);  // a demo file name, not a bad option value
    EXPECT_EQ(c.major * 10 + c.minor, 31);
    from({"--glversionx", "es"}, &ok);
    EXPECT_TRUE(ok);  // another option's name
}
