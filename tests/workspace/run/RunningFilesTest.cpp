#include "workspace/run/RunningFiles.h"

#include <gtest/gtest.h>

namespace tovik {
namespace {

// "name percent*" per line, the star on the previewed one; percent "?" when unknown.
std::vector<std::string> Shown(const TRunningFiles& files) {
    std::vector<std::string> shown;
    for (const TRunningLine& line : files.Lines())
        shown.push_back(line.File + " " + (line.Percent ? std::to_string(*line.Percent) : "?") +
                        (line.Previewed ? "*" : ""));
    return shown;
}

TEST(RunningFilesTest, OneAtATimeShowsTheFilesValuesAndEveryPicture) {
    TRunningFiles files;
    files.Start({"/v/a.avi", "/v/b.avi"}, 1);
    EXPECT_FALSE(files.Several());
    files.Progress(0, 40);
    EXPECT_TRUE(files.ShowsPreviewOf(1)); // a picture of the next file while the last ends
    // One at a time, the next file's report means the one before has ended.
    files.Progress(1, 5);
    ASSERT_EQ(files.Lines().size(), 1u);
    EXPECT_EQ(files.Lines()[0].TaskIndex, 1);
    // A single file of a run allowed several at once is shown as one file as well.
    files.Start({"/v/a.avi"}, 4);
    EXPECT_FALSE(files.Several());
}

TEST(RunningFilesTest, TwoAtATimeListTheRunningFilesInTaskOrder) {
    TRunningFiles files;
    files.Start({"/v/a.avi", "/v/b.avi", "/v/c.avi", "/v/d.avi"}, 2);
    ASSERT_TRUE(files.Several());
    // The first two start at once and are listed before they report.
    EXPECT_EQ(Shown(files), (std::vector<std::string>{"a.avi ?*", "b.avi ?"}));
    EXPECT_TRUE(files.ShowsPreviewOf(0));
    EXPECT_FALSE(files.ShowsPreviewOf(1));

    files.Progress(1, 30);
    files.Progress(0, 10);
    files.Progress(1, std::nullopt); // an unknown length keeps the last percentage
    EXPECT_EQ(Shown(files), (std::vector<std::string>{"a.avi 10*", "b.avi 30"}));

    // The third task reports before the end of the first arrived: that line stays until it
    // does, as tasks end in any order.
    files.Progress(2, 5);
    EXPECT_EQ(Shown(files), (std::vector<std::string>{"a.avi 10*", "b.avi 30", "c.avi 5"}));
    files.Ended(0);
    EXPECT_EQ(Shown(files), (std::vector<std::string>{"b.avi 30*", "c.avi 5"}));
    // The later one may end first; the fourth takes its place.
    files.Ended(2);
    EXPECT_EQ(Shown(files), (std::vector<std::string>{"b.avi 30*", "d.avi ?"}));
    files.Progress(2, 99); // a late report of an ended task does not bring it back
    files.Progress(3, 0);
    EXPECT_EQ(Shown(files), (std::vector<std::string>{"b.avi 30*", "d.avi 0"}));
    EXPECT_FALSE(files.AllEnded());

    files.Ended(1);
    files.Ended(1); // counted once
    EXPECT_FALSE(files.AllEnded());
    EXPECT_TRUE(files.ShowsPreviewOf(3));
    files.Ended(3);
    EXPECT_TRUE(files.AllEnded());
    EXPECT_TRUE(files.Lines().empty());
    EXPECT_TRUE(files.ShowsPreviewOf(2)); // none runs: any picture will do

    // Out-of-range indexes change nothing; a new run starts afresh, with fewer files than
    // may run at once.
    files.Progress(7, 50);
    files.Ended(-1);
    files.Start({"/v/e.avi", "/v/f.avi"}, 3);
    EXPECT_FALSE(files.AllEnded());
    EXPECT_EQ(Shown(files), (std::vector<std::string>{"e.avi ?*", "f.avi ?"}));
}

TEST(RunningFilesTest, LinesNameTheFileWithoutItsFolderShortenedLikeTheFileLabel) {
    TRunningFiles files;
    const std::string longName(60, 'x');
    files.Start({"/videos/holiday/beach.avi", "/v/" + longName + ".mpg", "plain.avi"}, 3);
    for (int task = 0; task < 3; ++task)
        files.Progress(task, 1);
    const auto lines = files.Lines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].File, "beach.avi");
    EXPECT_EQ(lines[1].File, std::string(44, 'x') + "...mpg");
    EXPECT_EQ(lines[2].File, "plain.avi");
}

TEST(RunningFilesTest, TheStoredCountIsHeldWithinOneAndTheLimit) {
    const int limit = SimultaneousLimit();
    EXPECT_GE(limit, 4);
    EXPECT_EQ(SimultaneousOfSetting(0), 1);
    EXPECT_EQ(SimultaneousOfSetting(-3), 1);
    EXPECT_EQ(SimultaneousOfSetting(2), 2);
    EXPECT_EQ(SimultaneousOfSetting(limit), limit);
    EXPECT_EQ(SimultaneousOfSetting(limit + 1), limit);
}

} // namespace
} // namespace tovik
