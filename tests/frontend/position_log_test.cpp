// The position log the rider simulation appends to and the world renderer labels.
#include "frontend/front_end.h"
#include "frontend/position_log.h"
#include "view/render_world.h"

#include <gtest/gtest.h>

#include <string>

TEST(PositionLog, DistanceToTheNewestEntryAndTheTextCut)
{
    poslog_clear();
    EXPECT_EQ(poslog_distance(1, 2, 3), 1000000.0f);

    poslog_append(0, 0, 0, "first");
    poslog_append(3, 0, 4, "second");
    EXPECT_FLOAT_EQ(poslog_distance(3, 0, 4), 0.0f);
    EXPECT_FLOAT_EQ(poslog_distance(0, 0, 0), 5.0f);

    const std::string long_text(1500, 'a');
    poslog_append(0, 0, 0, long_text.c_str());
    ASSERT_EQ(position_log.size(), 3u);  // the renderer's labels are this log
    EXPECT_EQ(position_log[1].text, "second");
    EXPECT_EQ(position_log[2].text.size(), 1023u);

    poslog_clear();
    EXPECT_TRUE(position_log.empty());
    EXPECT_EQ(poslog_distance(0, 0, 0), 1000000.0f);
}
