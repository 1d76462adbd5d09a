#pragma once
// What the conversion run shows and decides without any window: the texts of the progress
// window's value labels, the percentage, an estimate of the time left, the worker priority
// taken from the settings and whether a job needs the per-frame drawing hook.

#include "effects/JobEffects.h"
#include "engine/ConvertThread.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace tovik {

// [settings] "priority": 0 idle, 1 normal, 2 lower, 3 lowest; nothing for any other value
// (the component keeps the priority it has).
std::optional<TThreadPriority> PriorityOfSetting(int value);

// current * 100 div total, held within 0..100 (an output may run a little past the
// expected length); nothing when the total is unknown (0 or less).
std::optional<int> ProgressPercent(int64_t currentTime, int64_t totalDuration);

// "<whole seconds> Second" of a time in microseconds.
std::string SecondsLabel(int64_t microseconds);
// "<bytes div 1000> kb".
std::string SizeLabel(int64_t bytes);
// "[<taskIndex + 1>/<taskCount>]".
std::string TaskNumberLabel(int taskIndex, int taskCount);
// The caption itself when it has at most 50 characters, else its first 44 characters, ".."
// and its extension with the point. Characters, not bytes: a UTF-8 sequence is never cut.
std::string FileLabel(const std::string& caption);

// Whether conversion must pass the job's frames through the drawing hook: a colour or
// exposure change, or an overlay layer that draws something.
bool NeedsFrameHook(const TJobEffects& effects);

// Estimates the time left of the running task from the pace so far: the wall time spent on
// the output time reached, applied to the output time still to come. It starts again
// whenever another task reports.
class TTimeLeftEstimate {
public:
    using TClock = std::chrono::steady_clock;

    void Reset();
    // Records a progress report; returns the seconds left, or nothing while there is too
    // little to go on (less than a second of wall time or of output, or no known total).
    std::optional<int64_t> Update(int taskIndex, int64_t currentTime, int64_t totalDuration,
                                  TClock::time_point now);

private:
    int taskIndex_ = -1;
    TClock::time_point started_{};
};

// "Time Left: h:mm:ss", or an empty text when nothing is known yet.
std::string TimeLeftLabel(std::optional<int64_t> seconds);

} // namespace tovik
