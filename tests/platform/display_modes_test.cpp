// The fullscreen size choice and the display-mode list rules, with no display needed.
#include "platform/qorl_window.h"

#include <gtest/gtest.h>

TEST(FullscreenChoice, SmallestModeThatHoldsTheRequestElseTheDesktop)
{
    const qorl_display_mode modes[] = {{1280, 720, 32}, {1024, 768, 32}, {1920, 1080, 32}, {}};
    const qorl_display_mode ties[] = {{1100, 800, 32}, {1000, 900, 32}, {}};
    struct row {
        const qorl_display_mode* modes;
        int desktop_w, desktop_h, w, h, want_w, want_h;
    };
    for (row r : {row{modes, 1920, 1080, 1000, 700, 1024, 768},  // 1792 beats 2000
                  row{modes, 1920, 1080, 1280, 720, 1280, 720},  // an exact fit
                  row{ties, 1920, 1080, 1000, 700, 1100, 800},  // ties go to the first listed
                  row{modes, 1280, 1024, 2000, 700, 1280, 1024},  // nothing fits
                  row{modes, 1280, 1024, 0, 700, 1280, 1024},     // nothing asked
                  row{nullptr, 1280, 1024, 800, 600, 1280, 1024},
                  row{modes, 0, 0, 0, 0, 640, 480}}) {  // the desktop could not be read
        int32_t w = 0, h = 0;
        qorl_choose_fullscreen_size(r.modes, r.desktop_w, r.desktop_h, r.w, r.h, &w, &h);
        EXPECT_EQ(w, r.want_w) << r.w << "x" << r.h;
        EXPECT_EQ(h, r.want_h) << r.w << "x" << r.h;
    }
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
}

TEST(DisplayModeList, DesktopFirstThenTheOfferedModesBySizeEachOnce)
{
    // As a monitor's outputs report them: unsorted, the desktop mode among them, one mode
    // listed twice (two refresh rates), and a depth the list does not take.
    const qorl_offered_mode offered[] = {{{1920, 1080, 24}, 60}, {{1280, 720, 24}, 60}, {{800, 600, 24}, 75},
                                         {{1280, 1024, 24}, 60}, {{800, 600, 24}, 60},  {{640, 480, 15}, 60},
                                         {{1280, 720, 24}, 50},  {{640, 480, 24}, 60}};
    qorl_display_mode list[16];
    qorl_display_modes_build({1280, 1024, 24}, offered, 8, list, 16);
    const qorl_display_mode want[] = {{1280, 1024, 24}, {640, 480, 24},   {800, 600, 24},
                                      {1280, 720, 24},  {1920, 1080, 24}, {}};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(list[i].width, want[i].width) << i;
        EXPECT_EQ(list[i].height, want[i].height) << i;
        EXPECT_EQ(list[i].colour_bits, want[i].colour_bits) << i;
    }

    // A display without the extension offers nothing more; a short list stays terminated.
    qorl_display_modes_build({1024, 768, 24}, nullptr, 0, list, 16);
    EXPECT_EQ(list[0].width, 1024);
    EXPECT_EQ(list[1].width, 0);
    qorl_display_modes_build({1024, 768, 24}, offered, 8, list, 3);
    EXPECT_EQ(list[1].width, 640);
    EXPECT_EQ(list[2].width, 0);
}
