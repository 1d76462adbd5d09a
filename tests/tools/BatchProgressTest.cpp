#include "cli/BatchProgress.h"

#include <gtest/gtest.h>

namespace tovik::cli {
namespace {

using namespace std::chrono_literals;
using TClock = TBatchProgress::TClock;

TProgressInfo Reached(int task, int64_t done, int64_t total) {
    TProgressInfo info;
    info.TaskIndex = task;
    info.CurrentTime = done;
    info.TotalDuration = total;
    return info;
}

TEST(BatchProgress, AutomaticJobsTakeThreeOfFourCoresAndNoMoreThanTheFiles) {
    EXPECT_EQ(AutomaticJobs(2, 4), 2);
    EXPECT_EQ(AutomaticJobs(4, 10), 3);
    EXPECT_EQ(AutomaticJobs(8, 10), 6);
    EXPECT_EQ(AutomaticJobs(8, 2), 2);
    // One core, an unknown count (0) or no file at all still gives one.
    EXPECT_EQ(AutomaticJobs(1, 4), 1);
    EXPECT_EQ(AutomaticJobs(0, 4), 1);
    EXPECT_EQ(AutomaticJobs(4, 0), 1);
}

TEST(BatchProgress, EachFileIsTimedFromItsOwnStart) {
    TBatchProgress batch({{0, "a.avi"}, {1, "b.avi"}, {2, "c.avi"}}, 2);
    const TClock::time_point t0 = TClock::now();
    batch.Start(t0);
    EXPECT_EQ(batch.RunningCount(), 2);
    batch.Report(Reached(0, 4000000, 8000000));
    batch.Report(Reached(1, 1000000, 8000000));
    // A report of a task that does not run yet changes nothing.
    batch.Report(Reached(2, 7000000, 8000000));
    const std::string both = batch.Text(t0 + 2s, true);
    EXPECT_EQ(both, "a.avi: 50.0% 2.00x left 0:00:02 | b.avi: 12.5% 0.50x left 0:00:14");

    // b ends first; c runs from then, a goes on.
    const TBatchProgress::TEnded b = batch.End(1, true, t0 + 3s);
    EXPECT_DOUBLE_EQ(b.Seconds, 3.0);
    EXPECT_EQ(b.Last.CurrentTime, 8000000) << "a finished file is counted to its end";
    EXPECT_EQ(batch.RunningCount(), 2);
    batch.Report(Reached(2, 2000000, 8000000));
    EXPECT_NE(batch.Text(t0 + 4s, false).find("c.avi: 25.0% 2.00x"), std::string::npos)
        << batch.Text(t0 + 4s, false);

    // A failed file keeps the time it reached.
    const TBatchProgress::TEnded a = batch.End(0, false, t0 + 5s);
    EXPECT_EQ(a.Last.CurrentTime, 4000000);
    EXPECT_DOUBLE_EQ(a.Seconds, 5.0);
    // The single file left gets the whole bar.
    EXPECT_EQ(batch.Text(t0 + 5s, true).rfind("c.avi", 0), 0u);
    EXPECT_NE(batch.Text(t0 + 5s, true).find('['), std::string::npos);
    batch.End(2, true, t0 + 6s);
    EXPECT_EQ(batch.RunningCount(), 0);
    EXPECT_EQ(batch.Text(t0 + 6s, true), "");
}

TEST(BatchProgress, MoreJobsThanFilesStartsEveryFileAndLongNamesAreShortened) {
    TBatchProgress batch({{0, "a_very_long_file_name_of_a_holiday.avi"}, {1, "b.avi"}}, 4);
    const TClock::time_point t0 = TClock::now();
    batch.Start(t0);
    EXPECT_EQ(batch.RunningCount(), 2);
    const std::string text = batch.Text(t0 + 1s, true);
    EXPECT_EQ(text.rfind("a_very_long_file_na~: ", 0), 0u) << text;
    // An unknown length gives no percentage to speak of, and no division by zero.
    EXPECT_NE(text.find("0.0% 0.00x left 0:00:00"), std::string::npos) << text;
}

} // namespace
} // namespace tovik::cli
