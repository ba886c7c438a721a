// X server event times put on the game's clock: never in the future, spaced as the
// server spaced them, and unbroken by the server clock's 32-bit wrap.
#include "platform/x11_stamps.h"

#include <gtest/gtest.h>

TEST(ServerTimeStamps, KeepTheServersSpacingAndNeverRunAhead)
{
    x11_stamps stamps;
    // The first event was read 40 ms after it happened, the second at once.
    EXPECT_LE(stamps.stamp(5000, 1040), 1040);
    EXPECT_EQ(stamps.stamp(5100, 1100), 1100);  // the smaller delay now sets the offset
    // A later event read late keeps its own, earlier time.
    EXPECT_EQ(stamps.stamp(5200, 1500), 1200);
    // A server clock running ahead of ours cannot push a stamp past now.
    EXPECT_EQ(stamps.stamp(6000, 1300), 1300);
    // Slightly out of order stays in order of time.
    EXPECT_EQ(stamps.stamp(5990, 1301), 1290);
}

TEST(ServerTimeStamps, SurviveTheWrapOfTheServerClock)
{
    x11_stamps stamps;
    int64_t before = stamps.stamp(0xFFFFFF00u, 100000);
    EXPECT_EQ(stamps.stamp(0x00000100u, 100512) - before, 512);  // 512 ms later, across the wrap
}
