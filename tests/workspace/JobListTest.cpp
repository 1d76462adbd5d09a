// The job list: the one place the rows' jobs live. An observer that keeps a copy of the
// sources in the order it was told must end up with the list's own order, whatever happened.

#include "workspace/core/JobList.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace tovik {
namespace {

TJobRow Row(const std::string& source, int64_t durationUs = 0) {
    TJobRow row;
    row.Job.SourceFile = source;
    row.Duration = durationUs;
    return row;
}

// A view of the list as a window keeps one: it learns only from the notices.
class TMirror : public TJobListObserver {
public:
    explicit TMirror(const TJobList& jobs) : jobs_(jobs) {}
    void JobInserted(int index) override {
        sources.insert(sources.begin() + index, jobs_.Job(index).SourceFile);
    }
    void JobRemoved(int index) override { sources.erase(sources.begin() + index); }
    void JobsCleared() override { sources.clear(); }
    void JobChanged(int index) override {
        ++changes;
        sources.at(static_cast<size_t>(index)) = jobs_.Job(index).SourceFile;
    }
    void JobMoved(int from, int to) override {
        const std::string moved = sources.at(static_cast<size_t>(from));
        sources.erase(sources.begin() + from);
        sources.insert(sources.begin() + to, moved);
    }
    std::vector<std::string> Expected() const {
        std::vector<std::string> all;
        for (int index = 0; index < jobs_.Count(); ++index)
            all.push_back(jobs_.Job(index).SourceFile);
        return all;
    }

    std::vector<std::string> sources;
    int changes = 0;

private:
    const TJobList& jobs_;
};

TEST(JobList, ViewsFollowAddRemoveMoveAndClear) {
    TJobList jobs;
    TMirror mirror(jobs);
    jobs.AddObserver(&mirror);
    for (const char* name : {"/v/a.avi", "/v/b.avi", "/v/c.avi", "/v/d.avi"})
        jobs.Append(Row(name));
    EXPECT_EQ(mirror.sources, mirror.Expected());
    EXPECT_EQ(jobs.IndexOf("/v/c.avi"), 2);
    EXPECT_EQ(jobs.IndexOf("/v/C.avi"), -1) << "letter case counts";

    jobs.Move(0, 3); // b c d a
    EXPECT_EQ(mirror.sources, mirror.Expected());
    EXPECT_EQ(jobs.Job(3).SourceFile, "/v/a.avi");
    jobs.Move(3, 1); // b a c d
    EXPECT_EQ(mirror.sources, mirror.Expected());
    EXPECT_EQ(jobs.Job(1).SourceFile, "/v/a.avi");

    jobs.Remove(0); // a c d
    EXPECT_EQ(mirror.sources, mirror.Expected());
    EXPECT_EQ(jobs.Job(0).SourceFile, "/v/a.avi");
    jobs.Remove(7);  // out of range: nothing
    jobs.Move(0, 9); // nothing
    EXPECT_EQ(jobs.Count(), 3);
    EXPECT_EQ(mirror.sources, mirror.Expected());

    jobs.Clear();
    EXPECT_TRUE(jobs.Empty());
    EXPECT_TRUE(mirror.sources.empty());
    jobs.RemoveObserver(&mirror);
    jobs.Append(Row("/v/e.avi"));
    EXPECT_TRUE(mirror.sources.empty()) << "a removed observer hears nothing";
}

TEST(JobList, AJobKeepsItsEditsAndItsPlaceWhileOthersComeAndGo) {
    TJobList jobs;
    TMirror mirror(jobs);
    jobs.AddObserver(&mirror);
    jobs.Append(Row("/v/a.avi"));
    jobs.Append(Row("/v/b.avi"));
    const TlvFilesRecord* b = &jobs.Job(1);
    ASSERT_TRUE(jobs.EditJob(1, [](TlvFilesRecord& job) {
        job.TrimStart = 1'500'000;
        job.CropTop = 8;
        job.Effects.Brightness = 100;
    }));
    EXPECT_EQ(mirror.changes, 1);
    EXPECT_FALSE(jobs.EditJob(2, [](TlvFilesRecord&) { ADD_FAILURE() << "no row 2"; }));

    // Rows added, moved and removed around it: the same record, edits intact.
    for (int n = 0; n < 20; ++n)
        jobs.Append(Row("/v/x" + std::to_string(n) + ".avi"));
    jobs.Move(1, 10);
    jobs.Remove(0);
    EXPECT_EQ(&jobs.Job(9), b);
    EXPECT_EQ(jobs.Job(9).SourceFile, "/v/b.avi");
    EXPECT_EQ(jobs.Job(9).TrimStart, 1'500'000);
    EXPECT_EQ(jobs.Job(9).Geometry().CropTop, 8);
    EXPECT_EQ(jobs.Job(9).Effects.Brightness, 100);
    EXPECT_EQ(mirror.sources, mirror.Expected());
}

TEST(JobList, CheckMarksDestinationsAndProgressAreTheRowsOwn) {
    TJobList jobs;
    TMirror mirror(jobs);
    jobs.AddObserver(&mirror);
    jobs.Append(Row("/v/a.avi"));
    jobs.Append(Row("/v/b.avi"));
    EXPECT_TRUE(jobs.Checked(0) && jobs.Checked(1)) << "a new row is checked";
    EXPECT_EQ(jobs.CheckedCount(), 2);
    jobs.SetChecked(0, false);
    jobs.SetChecked(0, false); // unchanged: no notice
    EXPECT_EQ(mirror.changes, 1);
    EXPECT_EQ(jobs.CheckedCount(), 1);
    jobs.Move(0, 1);
    EXPECT_FALSE(jobs.Checked(1)) << "the mark moves with its row";
    EXPECT_TRUE(jobs.Checked(0));
    EXPECT_FALSE(jobs.Checked(5));

    jobs.SetDestination(1, "/out/a_(new).mp4");
    jobs.SetProgress(1, "42%");
    EXPECT_EQ(jobs.Row(1).Destination, "/out/a_(new).mp4");
    EXPECT_EQ(jobs.Row(1).Progress, "42%");
    EXPECT_EQ(mirror.changes, 3);
}

TEST(JobList, LengthsInWholeSeconds) {
    TJobRow row = Row("/v/a.avi", 73'999'999);
    EXPECT_EQ(SourceSeconds(row), 73);
    EXPECT_EQ(TrimmedSeconds(row), 73) << "untrimmed: the source's length";
    row.Job.TrimLength = 12'600'000;
    EXPECT_EQ(TrimmedSeconds(row), 12);
    // A start alone converts the rest of the file.
    row.Job.TrimStart = 20'500'000;
    row.Job.TrimLength = 0;
    EXPECT_EQ(TrimmedSeconds(row), 53);
    row.Job.TrimStart = 80'000'000;
    EXPECT_EQ(TrimmedSeconds(row), 0) << "a start past the end leaves nothing";
    EXPECT_EQ(SourceSeconds(Row("/v/b.avi", 0)), 0) << "no duration shows 0";
}

} // namespace
} // namespace tovik
