#pragma once
// Which files of a run are converting at the moment, as the progress window shows them when
// several convert at once: one line per running file with its percentage, the file whose
// pictures the window shows, and when the last file of the run has ended.
//
// The engine starts the first `simultaneous` tasks at once and, whenever one ends, the next
// in index order; so the window lists a file from its start on, before its first report.
// End reports come through the event queue, progress reports directly, so a task may report
// before the end of the one it replaced arrives; that line stays until the end arrives.
// One at a time, a report of task i tells that every earlier task has ended.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tovik {

// The number of conversions the preferences offer to run at once: 1 up to the number of
// cores, and at least up to 4.
int SimultaneousLimit();
// A stored count held within 1..SimultaneousLimit().
int SimultaneousOfSetting(int value);

struct TRunningLine {
    int TaskIndex = -1;
    std::string File;           // the caption's file name, shortened as the file label does
    std::optional<int> Percent; // nothing while the file's length is unknown
    bool Previewed = false;     // the window's picture is of this file
};

class TRunningFiles {
public:
    // A new run of files with these captions, in task order.
    void Start(std::vector<std::string> captions, int simultaneous);

    // Whether the window lists the running files instead of one file's values: more than one
    // file of this run can convert at a time.
    bool Several() const;

    // A progress report of a task; percent: nothing when its length is unknown (the line
    // keeps what it showed).
    void Progress(int taskIndex, std::optional<int> percent);
    // The end report of a task (finished, failed or stopped).
    void Ended(int taskIndex);
    // Every task of the run has reported its end.
    bool AllEnded() const;

    // The running files in task order.
    std::vector<TRunningLine> Lines() const;
    // Whether a preview picture of this task is shown: with one file at a time every picture
    // is; with several, those of the first running file (any while none reported yet).
    bool ShowsPreviewOf(int taskIndex) const;

private:
    struct TFile {
        std::string Caption;
        std::optional<int> Percent;
        bool Running = false; // started and not ended
        bool Ended = false;
    };
    int FirstRunning() const;
    // Marks tasks started in index order up to count (those not ended yet run).
    void StartUpTo(int count);

    std::vector<TFile> files_;
    int simultaneous_ = 1;
    int endedCount_ = 0;
    int startedCount_ = 0; // tasks 0..startedCount_ - 1 have started
};

} // namespace tovik
