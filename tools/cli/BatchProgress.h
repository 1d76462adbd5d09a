#pragma once
// The progress of a batch that converts several files at once: which tasks run, since when,
// their last reports, and the progress text of all of them together. The component starts
// tasks in index order, the first `jobs` at once and each further one when another ends;
// this follows the same order, so each file's speed and time are its own.
//
// Not locked: the convert command calls it under the lock of its progress output.

#include "engine/EventRecords.h"

#include <chrono>
#include <map>
#include <string>
#include <vector>

namespace tovik::cli {

// The number of files converted at once when none is asked for: one task of the default
// formats keeps about 1.3 cores busy, so three of every four cores take one each.
int AutomaticJobs(unsigned cores, int files);

// "name 45.0% 1.20x left 0:00:10" for one file; the whole bar with a single running file.
std::string ProgressText(const std::string& name, const TProgressInfo& info, double elapsed,
                         bool bar);
// Seconds as "h:mm:ss".
std::string Clock(double seconds);

class TBatchProgress {
public:
    using TClock = std::chrono::steady_clock;

    // names: the file name of each task index; taskCount tasks in all.
    TBatchProgress(std::map<int, std::string> names, int jobs);

    // The run starts: the first tasks are running from now.
    void Start(TClock::time_point now);
    void Report(const TProgressInfo& info);
    // A task ended: its last report (its time reached set to its length when it finished
    // properly) and its seconds; the next waiting task runs from now.
    struct TEnded {
        TProgressInfo Last;
        double Seconds = 0;
    };
    TEnded End(int taskIndex, bool finished, TClock::time_point now);

    int RunningCount() const { return static_cast<int>(running_.size()); }
    // The line of every running file, in task order; with bar and a single file the bar.
    std::string Text(TClock::time_point now, bool bar) const;

private:
    struct TRunning {
        TClock::time_point Started;
        TProgressInfo Last;
    };
    void StartNext(TClock::time_point now);
    std::string NameOf(int taskIndex) const;

    std::map<int, std::string> names_;
    int jobs_;
    std::map<int, TRunning>::size_type started_ = 0; // tasks of names_ started so far
    std::map<int, TRunning> running_;
};

} // namespace tovik::cli
