#include "workspace/run/RunSummary.h"

#include "media/MyUtils.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tovik {

void TBatchTimeLeft::Start(const std::vector<int64_t>& lengths, TClock::time_point now,
                           int simultaneous) {
    files_.clear();
    files_.reserve(lengths.size());
    for (const int64_t length : lengths)
        files_.push_back(TFile{std::max<int64_t>(length, 0), 0, false});
    simultaneous_ = std::max(simultaneous, 1);
    started_ = now;
}

std::optional<int64_t> TBatchTimeLeft::Update(int taskIndex, int64_t currentTime,
                                              TClock::time_point now) {
    if (taskIndex < 0 || static_cast<size_t>(taskIndex) >= files_.size())
        return std::nullopt;
    if (simultaneous_ == 1)
        for (int earlier = 0; earlier < taskIndex; ++earlier)
            files_[static_cast<size_t>(earlier)].Ended = true;
    files_[static_cast<size_t>(taskIndex)].Converted = std::max<int64_t>(currentTime, 0);
    const auto spent = std::chrono::duration_cast<std::chrono::microseconds>(now - started_);
    if (spent < kSettleTime)
        return std::nullopt;
    const auto [done, remaining] = DoneAndRemaining();
    if (done <= 0)
        return std::nullopt;
    const double left = static_cast<double>(spent.count()) / static_cast<double>(done) *
                        static_cast<double>(remaining) / 1e6;
    return std::llround(left);
}

void TBatchTimeLeft::Ended(int taskIndex) {
    if (taskIndex >= 0 && static_cast<size_t>(taskIndex) < files_.size())
        files_[static_cast<size_t>(taskIndex)].Ended = true;
}

std::optional<int> TBatchTimeLeft::Percent() const {
    // Files of unknown length have no share of the bar.
    int64_t done = 0;
    int64_t total = 0;
    for (const TFile& file : files_) {
        total += file.Length;
        done += file.Ended ? file.Length : std::min(file.Converted, file.Length);
    }
    if (total <= 0)
        return std::nullopt;
    return static_cast<int>(static_cast<double>(done) * 100.0 / static_cast<double>(total));
}

std::pair<int64_t, int64_t> TBatchTimeLeft::DoneAndRemaining() const {
    int64_t done = 0;
    int64_t remaining = 0;
    for (const TFile& file : files_) {
        if (file.Ended) {
            done += file.Length;
            continue;
        }
        done += file.Converted;
        remaining += std::max<int64_t>(file.Length - file.Converted, 0);
    }
    return {done, remaining};
}

std::string TotalLeftLabel(std::optional<int64_t> seconds) {
    if (!seconds)
        return std::string();
    const int64_t clamped = std::min<int64_t>(*seconds, std::numeric_limits<int32_t>::max());
    return "Total Left: " + SecondsToText(static_cast<int32_t>(clamped));
}

int TRunSummary::Count(TFileOutcome outcome) const {
    return static_cast<int>(std::count_if(Files.begin(), Files.end(), [&](const TFileResult& file) {
        return file.Outcome == outcome;
    }));
}

namespace {
std::string FileCount(int count) {
    return std::to_string(count) + (count == 1 ? " file" : " files");
}
} // namespace

std::vector<std::string> TRunSummary::Lines() const {
    const int64_t seconds = std::min<int64_t>(Elapsed.count(), std::numeric_limits<int32_t>::max());
    std::string first = "Run finished in " + SecondsToText(static_cast<int32_t>(seconds)) + ": " +
                        FileCount(Count(TFileOutcome::foConverted)) + " converted, " +
                        std::to_string(Count(TFileOutcome::foFailed)) + " failed";
    if (const int cancelled = Count(TFileOutcome::foCancelled); cancelled > 0)
        first += ", " + std::to_string(cancelled) + " cancelled";
    std::vector<std::string> lines{first + "."};
    for (const TFileResult& file : Files)
        if (file.Outcome == TFileOutcome::foFailed)
            lines.push_back("Failed: " + file.SourceFile + ": " + file.Reason);
    return lines;
}

std::string TRunSummary::NoticeText() const {
    return FileCount(Count(TFileOutcome::foConverted)) + " converted, " +
           std::to_string(Count(TFileOutcome::foFailed)) + " failed";
}

std::string OutcomeWord(TFileOutcome outcome) {
    switch (outcome) {
    case TFileOutcome::foFailed:
        return "failed";
    case TFileOutcome::foCancelled:
        return "cancelled";
    case TFileOutcome::foConverted:
        break;
    }
    return std::string();
}

} // namespace tovik
