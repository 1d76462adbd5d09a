#include "workspace/run/RunSummary.h"

#include <gtest/gtest.h>

namespace tovik {
namespace {

using namespace std::chrono_literals;
using TClock = TBatchTimeLeft::TClock;

constexpr int64_t kSecond = 1'000'000;

TEST(BatchTimeLeftTest, KnownAfterTheFirstSecondsAndCountsTheFilesStillToCome) {
    const TClock::time_point start{};
    TBatchTimeLeft left;
    left.Start({20 * kSecond, 40 * kSecond, 60 * kSecond}, start);
    EXPECT_FALSE(left.Update(0, 2 * kSecond, start + 2s)); // still settling
    // 3 s of output in 3 s of wall time: the 117 s still to come take 117 s.
    EXPECT_EQ(left.Update(0, 3 * kSecond, start + 3s), 117);
    // The pace carries over to the next file: 20 s + 10 s done in 15 s is 2 s of output a
    // second, and 90 s of output are left.
    EXPECT_EQ(left.Update(1, 10 * kSecond, start + 15s), 45);
    // The last file near its end.
    EXPECT_EQ(left.Update(2, 59 * kSecond, start + 60s), 1);
    EXPECT_EQ(left.Update(2, 60 * kSecond, start + 61s), 0);
}

TEST(BatchTimeLeftTest, NothingBeforeAnyOutputForUnknownFilesOrBadIndexes) {
    const TClock::time_point start{};
    TBatchTimeLeft left;
    left.Start({0, 10 * kSecond}, start);
    EXPECT_FALSE(left.Update(0, 0, start + 10s)); // nothing done yet
    EXPECT_FALSE(left.Update(2, kSecond, start + 10s));
    EXPECT_FALSE(left.Update(-1, kSecond, start + 10s));
    // A file of unknown length counts as nothing still to come.
    EXPECT_EQ(left.Update(1, 5 * kSecond, start + 10s), 10);
    // Past the expected length: nothing negative.
    EXPECT_EQ(left.Update(1, 12 * kSecond, start + 20s), 0);
}

TEST(BatchTimeLeftTest, FilesConvertingAtOnceShareThePaceAndEndedFilesLeaveNothingToCome) {
    const TClock::time_point start{};
    TBatchTimeLeft left;
    left.Start({10 * kSecond, 10 * kSecond, 10 * kSecond, 20 * kSecond}, start, 2);
    EXPECT_EQ(left.Percent(), 0);
    EXPECT_FALSE(left.Update(0, 2 * kSecond, start + 2s)); // still settling
    // 2 s + 2 s of output in 4 s together: the 46 s still to come take 46 s.
    EXPECT_EQ(left.Update(1, 2 * kSecond, start + 4s), 46);
    EXPECT_EQ(left.Percent(), 8);
    // The first has ended, whatever its last report said: 10 + 2 + 1 s done in 10 s,
    // 8 + 9 + 20 s to come.
    left.Ended(0);
    EXPECT_EQ(left.Update(2, kSecond, start + 10s), 28);
    EXPECT_EQ(left.Percent(), 26);
    // A file that ends early (failed, stopped) leaves nothing of it to come.
    left.Ended(1);
    EXPECT_EQ(left.Update(2, 2 * kSecond, start + 11s), 14);
    EXPECT_EQ(left.Percent(), 44);

    // The bar knows nothing of a run without known lengths.
    left.Start({0, 0}, start, 2);
    left.Update(0, kSecond, start + 5s);
    EXPECT_FALSE(left.Percent());
}

TEST(BatchTimeLeftTest, LabelReadsLikeTheFileLabel) {
    EXPECT_EQ(TotalLeftLabel(std::nullopt), "");
    EXPECT_EQ(TotalLeftLabel(3725), "Total Left: 1:02:05");
    EXPECT_EQ(TotalLeftLabel(int64_t{1} << 40), "Total Left: 596523:14:07");
}

TEST(RunSummaryTest, CountsOutcomesAndNamesEveryFailedFileWithItsReason) {
    TRunSummary summary;
    summary.Elapsed = 65s;
    summary.Files = {
        {"/v/a.avi", TFileOutcome::foConverted, ""},
        {"/v/b.avi", TFileOutcome::foFailed, "Invalid data found when processing input"},
        {"/v/c.avi", TFileOutcome::foConverted, ""},
        {"/v/d.avi", TFileOutcome::foCancelled, ""}};
    const auto lines = summary.Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "Run finished in 0:01:05: 2 files converted, 1 failed, 1 cancelled.");
    EXPECT_EQ(lines[1], "Failed: /v/b.avi: Invalid data found when processing input");
    EXPECT_EQ(summary.NoticeText(), "2 files converted, 1 failed");
}

TEST(RunSummaryTest, OneFileAndNoFailures) {
    TRunSummary summary;
    summary.Files = {{"/v/a.avi", TFileOutcome::foConverted, ""}};
    EXPECT_EQ(summary.Lines(),
              std::vector<std::string>{"Run finished in 0:00:00: 1 file converted, 0 failed."});
    EXPECT_EQ(summary.NoticeText(), "1 file converted, 0 failed");
    EXPECT_EQ(OutcomeWord(TFileOutcome::foFailed), "failed");
    EXPECT_EQ(OutcomeWord(TFileOutcome::foCancelled), "cancelled");
    EXPECT_EQ(OutcomeWord(TFileOutcome::foConverted), "");
}

} // namespace
} // namespace tovik
