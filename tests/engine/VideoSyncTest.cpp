#include "engine/VideoSync.h"

#include <gtest/gtest.h>

namespace tovik {
namespace {

TEST(VideoSyncTest, ConstantRateDuplicatesOnlyWhenMoreThanHalfAPeriodAheadOfTheNextFrame) {
    EXPECT_EQ(DecideVideoSync(0.0, -1, false).FrameCount, 1);
    EXPECT_EQ(DecideVideoSync(0.7, -1, false).FrameCount, 1);
    EXPECT_EQ(DecideVideoSync(1.2, -1, false).FrameCount, 1);
    EXPECT_EQ(DecideVideoSync(1.6, -1, false).FrameCount, 2);
    EXPECT_EQ(DecideVideoSync(4.9, 1, true).FrameCount, 5) << "vsync 1 ignores the format";
    EXPECT_EQ(DecideVideoSync(-1.2, -1, false).FrameCount, 0);
    EXPECT_EQ(DecideVideoSync(-1.0, -1, false).FrameCount, 1);
    EXPECT_FALSE(DecideVideoSync(3.0, 1, false).ResetSyncTimestamp);
}

TEST(VideoSyncTest, VariableRateResetsThePositionInsteadOfDuplicating) {
    const auto ahead = DecideVideoSync(0.7, -1, true);
    EXPECT_EQ(ahead.FrameCount, 1);
    EXPECT_TRUE(ahead.ResetSyncTimestamp);
    EXPECT_TRUE(DecideVideoSync(5.0, 2, false).ResetSyncTimestamp);
    EXPECT_EQ(DecideVideoSync(5.0, 2, false).FrameCount, 1);
    EXPECT_FALSE(DecideVideoSync(0.5, 2, false).ResetSyncTimestamp);
    EXPECT_EQ(DecideVideoSync(-0.6, 2, false).FrameCount, 0);
    EXPECT_EQ(DecideVideoSync(-0.5, 2, false).FrameCount, 1);
}

TEST(VideoSyncTest, PassThroughTakesEveryPictureAtItsOwnTime) {
    for (double delta : {-3.0, 0.0, 3.0}) {
        const auto decision = DecideVideoSync(delta, 0, false);
        EXPECT_EQ(decision.FrameCount, 1);
        EXPECT_TRUE(decision.ResetSyncTimestamp);
    }
}

} // namespace
} // namespace tovik
