// The fullscreen size choice and the display-mode list rules, with no display needed.
#include "platform/qorl_window.h"

#include <gtest/gtest.h>

namespace {

struct Size {
    int32_t width;
    int32_t height;
};

Size choose(const qorl_display_mode* modes, int desktop_w, int desktop_h, int w, int h)
{
    Size s{};
    qorl_choose_fullscreen_size(modes, desktop_w, desktop_h, w, h, &s.width, &s.height);
    return s;
}

}  // namespace

TEST(FullscreenChoice, SmallestModeThatHoldsTheRequestWins)
{
    const qorl_display_mode modes[] = {{1280, 720, 32}, {1024, 768, 32}, {1920, 1080, 32}, {}};
    Size s = choose(modes, 1920, 1080, 1000, 700);
    EXPECT_EQ(s.width, 1024);  // 1792 beats 2000
    EXPECT_EQ(s.height, 768);

    s = choose(modes, 1920, 1080, 1280, 720);
    EXPECT_EQ(s.width, 1280);  // an exact fit
    EXPECT_EQ(s.height, 720);
}

TEST(FullscreenChoice, TiesGoToTheFirstListed)
{
    const qorl_display_mode modes[] = {{1100, 800, 32}, {1000, 900, 32}, {}};
    Size s = choose(modes, 1920, 1080, 1000, 700);
    EXPECT_EQ(s.width, 1100);
    EXPECT_EQ(s.height, 800);
}

TEST(FullscreenChoice, DesktopSizeWhenNothingFitsOrNothingIsAsked)
{
    const qorl_display_mode modes[] = {{800, 600, 32}, {}};
    Size s = choose(modes, 1280, 1024, 1000, 700);
    EXPECT_EQ(s.width, 1280);
    EXPECT_EQ(s.height, 1024);

    s = choose(modes, 1280, 1024, 0, 700);
    EXPECT_EQ(s.width, 1280);
    EXPECT_EQ(s.height, 1024);

    s = choose(nullptr, 1280, 1024, 800, 600);
    EXPECT_EQ(s.width, 1280);

    s = choose(modes, 0, 0, 0, 0);  // the desktop could not be read
    EXPECT_EQ(s.width, 640);
    EXPECT_EQ(s.height, 480);
}

TEST(DisplayModeList, KeepsUsableDepthsOnceEachAndStaysTerminated)
{
    qorl_display_mode list[4] = {};
    EXPECT_EQ(qorl_display_mode_add(list, 4, {1024, 768, 24}), 1);
    EXPECT_EQ(qorl_display_mode_add(list, 4, {1024, 768, 15}), 0);  // depth not offered
    EXPECT_EQ(qorl_display_mode_add(list, 4, {1024, 768, 24}), 0);  // the same mode again
    EXPECT_EQ(qorl_display_mode_add(list, 4, {1024, 768, 16}), 1);  // another depth is another mode
    EXPECT_EQ(qorl_display_mode_add(list, 4, {800, 600, 32}), 1);
    EXPECT_EQ(qorl_display_mode_add(list, 4, {640, 480, 32}), 0);   // full: the terminator stays
    EXPECT_EQ(list[2].width, 800);
    EXPECT_EQ(list[3].width, 0);
    EXPECT_EQ(list[3].colour_bits, 0);
}
