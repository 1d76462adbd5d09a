#pragma once
// Which files of a run are converting at the moment, as the progress window shows them when
// several convert at once: one line per running file with its percentage, the file whose
// pictures the window shows, and when the last file of the run has ended.
//
// End reports come through the event queue, progress reports directly, so the next task may
// report before the end of the one before it arrives. One at a time, a report of task i tells
// that every earlier task has ended; several at a time they end in any order, and a line
// stays until its end report arrives.

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
        bool Running = false; // reported progress and has not ended
        bool Ended = false;
    };
    int FirstRunning() const;

    std::vector<TFile> files_;
    int simultaneous_ = 1;
    int endedCount_ = 0;
};

} // namespace tovik
