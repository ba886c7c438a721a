#include "view/ghost_fade.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(GhostFade, FadesOverTheSecondHalfOfTheDistance)
{
    EXPECT_EQ(ghost_fade(3, 10), 0);
    EXPECT_FLOAT_EQ(ghost_fade(7.5f, 10), 0.5f);
    EXPECT_EQ(ghost_fade(10, 10), 1);
    EXPECT_EQ(ghost_fade(40, 10), 1);
    // A fade distance of 0 draws ghosts as ordinary riders, even on top of the own one.
    for (float d : {0.0f, 3.0f})
        EXPECT_EQ(ghost_fade(d, 0), 1) << d;
    EXPECT_EQ(ghost_fade(0, -1), 1);
}

struct Field {
    rider_fade_input in{};
    float fades[160];
    void rider(int slot, int kind, float x)
    {
        in.present[slot] = true;
        in.kinds[slot] = kind;
        in.positions[slot][0] = x;
    }
};

TEST(GhostFade, OnlyOfflineGhostsFadeAndHiddenRidersVanish)
{
    Field f;
    f.in.fade_distance = 10;
    f.rider(2, 0, 0);      // the reference rider
    f.rider(3, 1, 3);      // ghosts at 3, 7.5 and 12 ft
    f.rider(4, 1, 7.5f);
    f.rider(5, 1, 12);
    f.rider(6, 2, 1);      // an automatic rider close by
    f.rider(7, 2, 50);
    f.in.hidden[7] = true;
    rider_fades(f.in, f.fades);
    EXPECT_EQ(f.fades[3], 0);
    EXPECT_FLOAT_EQ(f.fades[4], 0.5f);
    EXPECT_EQ(f.fades[5], 1);
    EXPECT_EQ(f.fades[6], 1);
    EXPECT_EQ(f.fades[7], 0);
    EXPECT_EQ(f.fades[0], 1);

    f.in.online = true;
    rider_fades(f.in, f.fades);
    EXPECT_EQ(f.fades[3], 1);
    EXPECT_EQ(f.fades[4], 1);
    EXPECT_EQ(f.fades[7], 0);

    // Without a rider of kind 0 there is nobody to fade around.
    f.in.online = false;
    f.in.kinds[2] = 2;
    rider_fades(f.in, f.fades);
    EXPECT_EQ(f.fades[3], 1);
}

TEST(GhostFade, DrawingModes)
{
    EXPECT_EQ(rider_draw_mode(4, 4, 0), 2);
    EXPECT_EQ(rider_draw_mode(4, 4, 1), 1);
    EXPECT_EQ(rider_draw_mode(5, 4, 1), 0);
    EXPECT_EQ(rider_draw_mode(0, -1, 0), 0);
}

}  // namespace
