#include "engine/OptionRecords.h"

#include <gtest/gtest.h>

namespace tovik {
namespace {

TEST(OptionRecordsTest, ResetGivesTheUnsetValues) {
    TOutputOptions output;
    output.VideoCodec = "mpeg4";
    output.CropTop = 8;
    output.Reset();
    EXPECT_TRUE(output.VideoCodec.empty());
    EXPECT_EQ(output.CropTop, -1);
    EXPECT_EQ(output.StartTime, kUnsetTime);
    EXPECT_EQ(output.TargetFallbackNorm, 1);
    EXPECT_EQ(output.VideoSync, -1);
    EXPECT_EQ(output.AudioSync, 0);
    EXPECT_DOUBLE_EQ(output.Timestamp, -1.0);
    TInputOptions input;
    input.ProgramId = 3;
    input.Reset();
    EXPECT_EQ(input.ProgramId, -1);
    EXPECT_EQ(input.StartTime, kUnsetTime);
}

TEST(OptionTextTest, LineBreaksAndTheCrlfMarkerSplitLines) {
    const auto lines =
        SplitOptionText("  VCodec=libx264<CRLF>b=800k\r\nflags=+aic\rnewaudio\n\n  threads = 2 \n");
    const std::vector<TOptionLine> expected = {{"vcodec", "libx264"},
                                               {"b", "800k"},
                                               {"flags", "+aic"},
                                               {"newaudio", ""},
                                               {"threads", " 2"}};
    EXPECT_EQ(lines, expected);
}

TEST(OptionTextTest, ValuesKeepTheirCaseAndLaterEqualsSigns) {
    const auto lines =
        SplitOptionText("metadata=Title=My Film<CRLF>acodec=libmp3lame<CRLF>acodec=aac");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], (TOptionLine{"metadata", "Title=My Film"}));
    EXPECT_EQ(lines[2], (TOptionLine{"acodec", "aac"}));
    EXPECT_TRUE(SplitOptionText("   ").empty());
}

} // namespace
} // namespace tovik
