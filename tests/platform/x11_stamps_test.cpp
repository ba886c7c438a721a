// X server event times put on the game's clock: never in the future, spaced as the
// server spaced them, and unbroken by the server clock's 32-bit wrap.
#include "platform/x11_stamps.h"

#include <gtest/gtest.h>

TEST(ServerTimeStamps, KeepTheServersSpacingAndNeverRunAhead)
{
    x11_stamps stamps;
    // The first event was read 40 ms after it happened, the second at once.
    int64_t first = stamps.stamp(5000, 1040);
    int64_t second = stamps.stamp(5100, 1100);
    EXPECT_LE(first, 1040);
    EXPECT_LE(second, 1100);
    EXPECT_EQ(second, 1100);  // the smaller delay now sets the offset
    // A later event read late keeps its own, earlier time.
    EXPECT_EQ(stamps.stamp(5200, 1500), 1200);
    // A server clock running ahead of ours cannot push a stamp past now.
    EXPECT_EQ(stamps.stamp(6000, 1300), 1300);
}

TEST(ServerTimeStamps, SurviveTheWrapOfTheServerClock)
{
    x11_stamps stamps;
    int64_t before = stamps.stamp(0xFFFFFF00u, 100000);
    int64_t after = stamps.stamp(0x00000100u, 100512);  // 512 ms later, across the wrap
    EXPECT_EQ(after - before, 512);
}

TEST(ServerTimeStamps, EventsSlightlyOutOfOrderStayInOrderOfTime)
{
    x11_stamps stamps;
    int64_t a = stamps.stamp(2000, 10000);
    int64_t b = stamps.stamp(1990, 10001);
    EXPECT_EQ(a - b, 10);
}
