#pragma once
// What a whole run adds up to: the time left for all of its files, and its summary (the
// activity log's closing lines and the desktop notice at its end).

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tovik {

// Time left for the whole run: the output still to come (the rest of the running files and
// every later file's length) at the pace measured since the run started. Unlike the
// per-file estimate it keeps its pace across files, so it is known after the first few
// seconds instead of after a good part of a file. With several files converting at once the
// pace is theirs together.
class TBatchTimeLeft {
public:
    using TClock = std::chrono::steady_clock;

    // Starts a run of files with these lengths (microseconds, 0 or less when unknown), of
    // which up to `simultaneous` convert at a time. One at a time, a report of file i means
    // every earlier file has ended; several at a time, only Ended says so.
    void Start(const std::vector<int64_t>& lengths, TClock::time_point now, int simultaneous = 1);
    // A progress report of file index taskIndex; returns the whole run's seconds left, or
    // nothing while less than kSettleTime has passed or nothing was converted yet.
    std::optional<int64_t> Update(int taskIndex, int64_t currentTime, TClock::time_point now);
    // A file's end (converted, failed or stopped): nothing of it is still to come.
    void Ended(int taskIndex);
    // How much of the run's known length is behind it, 0..100; nothing when no file's
    // length is known.
    std::optional<int> Percent() const;

    static constexpr std::chrono::seconds kSettleTime{3};

private:
    struct TFile {
        int64_t Length = 0;
        int64_t Converted = 0;
        bool Ended = false;
    };
    // The output converted so far and still to come (microseconds); an ended file counts
    // with its whole length.
    std::pair<int64_t, int64_t> DoneAndRemaining() const;

    std::vector<TFile> files_;
    int simultaneous_ = 1;
    TClock::time_point started_{};
};

// "Total Left: h:mm:ss", or an empty text when nothing is known yet.
std::string TotalLeftLabel(std::optional<int64_t> seconds);

enum class TFileOutcome { foConverted, foFailed, foCancelled };

struct TFileResult {
    std::string SourceFile;
    TFileOutcome Outcome = TFileOutcome::foConverted;
    std::string Reason; // why it failed
};

struct TRunSummary {
    std::vector<TFileResult> Files;
    std::chrono::seconds Elapsed{0};

    int Count(TFileOutcome outcome) const;
    // "Run finished in 0:01:05: 3 files converted, 1 failed, 1 cancelled." then one
    // "Failed: <file>: <reason>" line per failed file.
    std::vector<std::string> Lines() const;
    // The desktop notice: "N files converted, M failed".
    std::string NoticeText() const;
};

// The Progress column's word for a file that did not convert: "failed" or "cancelled".
std::string OutcomeWord(TFileOutcome outcome);

} // namespace tovik
