// The trim marks: loading a job's trim, the marks the buttons set and what OK stores.

#include "dialogs/trim/TrimRules.h"

#include <gtest/gtest.h>

namespace tovik {
namespace {

constexpr int64_t kSecond = 1'000'000;

TTrimMarks Opened(int64_t duration, int64_t trimStart = 0, int64_t trimLength = 0) {
    TTrimMarks marks;
    marks.Opened(duration);
    marks.Load(trimStart, trimLength);
    return marks;
}

TEST(TrimMarks, AJobsTrimLoadsAsStartAndEnd) {
    const TTrimMarks trimmed = Opened(20 * kSecond, 10 * kSecond, 5 * kSecond);
    EXPECT_EQ(trimmed.Start(), 10 * kSecond);
    EXPECT_EQ(trimmed.End(), 15 * kSecond);
    EXPECT_EQ(trimmed.Result(), (TTrimResult{10 * kSecond, 5 * kSecond})) << "OK keeps it";

    const TTrimMarks untrimmed = Opened(20 * kSecond);
    EXPECT_EQ(untrimmed.Start(), 0);
    EXPECT_EQ(untrimmed.End(), 20 * kSecond) << "no length: the end of the file";
    EXPECT_EQ(untrimmed.Result(), (TTrimResult{0, 0}));

    const TTrimMarks negative = Opened(20 * kSecond, -5, 0);
    EXPECT_EQ(negative.Start(), 0);
}

TEST(TrimMarks, OkStoresThePartOrRunsToTheEnd) {
    TTrimMarks marks = Opened(20 * kSecond);
    ASSERT_TRUE(marks.SetStart(3 * kSecond));
    // The end left at the duration: from the start to the end of the file.
    EXPECT_EQ(marks.Result(), (TTrimResult{3 * kSecond, 0}));
    EXPECT_EQ(marks.Length(), 17 * kSecond);

    ASSERT_TRUE(marks.SetEnd(8 * kSecond));
    EXPECT_EQ(marks.Result(), (TTrimResult{3 * kSecond, 5 * kSecond}));

    // An end at or before the start: the whole file, from its beginning.
    ASSERT_TRUE(marks.SetEnd(2 * kSecond));
    EXPECT_FALSE(marks.MarksValid());
    EXPECT_EQ(marks.Length(), 20 * kSecond);
    EXPECT_EQ(marks.Result(), (TTrimResult{0, 0}));
    marks.SetEnd(3 * kSecond);
    EXPECT_EQ(marks.Result(), (TTrimResult{0, 0})) << "an end equal to the start";
    // An end beyond the duration.
    marks.SetEnd(21 * kSecond);
    EXPECT_EQ(marks.Result(), (TTrimResult{0, 0}));
}

TEST(TrimMarks, PartsUnderAMillisecondAndEndsNearTheEndRunToTheEnd) {
    TTrimMarks marks = Opened(20 * kSecond);
    marks.SetStart(4 * kSecond);
    marks.SetEnd(4 * kSecond + 999);
    EXPECT_EQ(marks.Result(), (TTrimResult{4 * kSecond, 0})) << "999 us";
    marks.SetEnd(4 * kSecond + 1000);
    EXPECT_EQ(marks.Result(), (TTrimResult{4 * kSecond, 1000}));

    marks.SetEnd(20 * kSecond - 999);
    EXPECT_EQ(marks.Result(), (TTrimResult{4 * kSecond, 0})) << "999 us before the end";
    marks.SetEnd(20 * kSecond - 1000);
    EXPECT_EQ(marks.Result(), (TTrimResult{4 * kSecond, 16 * kSecond - 1000}));
}

TEST(TrimMarks, APositionOfZeroChangesNothingAndResetGoesBack) {
    TTrimMarks marks = Opened(20 * kSecond, 6 * kSecond, 2 * kSecond);
    EXPECT_FALSE(marks.SetStart(0));
    EXPECT_FALSE(marks.SetEnd(0));
    EXPECT_FALSE(marks.SetStart(-1));
    EXPECT_EQ(marks.Start(), 6 * kSecond);
    EXPECT_EQ(marks.End(), 8 * kSecond);
    marks.Reset();
    EXPECT_EQ(marks.Start(), 0);
    EXPECT_EQ(marks.End(), 20 * kSecond);
    EXPECT_EQ(marks.Result(), (TTrimResult{0, 0}));
}

TEST(TrimMarks, ASourceWithoutALengthHasNothingToMeasureAgainst) {
    for (const int64_t duration : {int64_t{0}, int64_t{-1}}) {
        TTrimMarks marks = Opened(duration, 2 * kSecond, 3 * kSecond);
        EXPECT_FALSE(marks.HasDuration());
        EXPECT_EQ(marks.Selection(400), (std::pair<int, int>{0, 0}));
        EXPECT_EQ(marks.BarValue(5 * kSecond, 400), 0);
        EXPECT_EQ(marks.BarPosition(200, 400), 0);
        EXPECT_EQ(marks.Result(), (TTrimResult{0, 0}));
    }
}

TEST(TrimMarks, TheSelectionOnTheBar) {
    TTrimMarks marks = Opened(3 * 3600 * kSecond, 3600 * kSecond, 3600 * kSecond);
    // Hours of microseconds times the bar's width stay exact in 64 bits.
    EXPECT_EQ(marks.Selection(600), (std::pair<int, int>{200, 400}));
    EXPECT_EQ(marks.BarValue(-5, 600), 0);
    EXPECT_EQ(marks.BarValue(4 * 3600 * kSecond, 600), 600);
    EXPECT_EQ(marks.BarPosition(300, 600), int64_t{3 * 3600 / 2} * kSecond);
    EXPECT_EQ(marks.BarPosition(300, 0), 0);
}

TEST(TrimCaption, LongPathsAreShortenedWithTheirExtension) {
    EXPECT_EQ(TrimCaption("/v/a.avi"), "/v/a.avi");
    const std::string fifty(50, 'x');
    EXPECT_EQ(TrimCaption(fifty), fifty);
    const std::string path = "/home/someone/videos/" + std::string(40, 'n') + ".mkv";
    // The extension keeps its dot.
    EXPECT_EQ(TrimCaption(path), "Trim   " + path.substr(0, 50) + ".." + ".mkv  ");
    EXPECT_EQ(TrimCaption("/" + fifty), "Trim   /" + fifty.substr(0, 49) + "..  ");
}

TEST(FrameDuration, FromTheFrameRate) {
    EXPECT_EQ(FrameDuration(25, 1), 40000);
    EXPECT_EQ(FrameDuration(30000, 1001), 33366);
    EXPECT_EQ(FrameDuration(0, 1), 40000);
    EXPECT_EQ(FrameDuration(-1, -1), 40000);
}

} // namespace
} // namespace tovik
