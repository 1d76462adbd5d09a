#include "workspace/run/RunTexts.h"

#include "media/MyUtils.h"
#include "platform/PathText.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace tovik {

std::optional<TThreadPriority> PriorityOfSetting(int value) {
    switch (value) {
    case 0:
        return TThreadPriority::tpIdle;
    case 1:
        return TThreadPriority::tpNormal;
    case 2:
        return TThreadPriority::tpLower;
    case 3:
        return TThreadPriority::tpLowest;
    default:
        return std::nullopt;
    }
}

std::optional<int> ProgressPercent(int64_t currentTime, int64_t totalDuration) {
    if (totalDuration <= 0)
        return std::nullopt;
    if (currentTime <= 0)
        return 0;
    // current * 100 could overflow for absurd totals; divide first then.
    const int64_t percent = currentTime <= std::numeric_limits<int64_t>::max() / 100
                                ? currentTime * 100 / totalDuration
                                : currentTime / (totalDuration / 100 + 1);
    return static_cast<int>(std::min<int64_t>(percent, 100));
}

std::string SecondsLabel(int64_t microseconds) {
    return std::to_string(microseconds / 1000000) + " Second";
}

std::string SizeLabel(int64_t bytes) {
    return std::to_string(bytes / 1000) + " kb";
}

std::string TaskNumberLabel(int taskIndex, int taskCount) {
    return "[" + std::to_string(taskIndex + 1) + "/" + std::to_string(taskCount) + "]";
}

namespace {
// Byte offsets where the UTF-8 characters of text begin.
std::vector<size_t> CharacterStarts(const std::string& text) {
    std::vector<size_t> starts;
    for (size_t i = 0; i < text.size(); ++i)
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80)
            starts.push_back(i);
    return starts;
}
} // namespace

std::string FileLabel(const std::string& caption) {
    const std::vector<size_t> starts = CharacterStarts(caption);
    if (starts.size() <= 50)
        return caption;
    return caption.substr(0, starts[44]) + ".." + platform::FileExtension(caption);
}

bool NeedsFrameHook(const TJobEffects& effects) {
    if (effects.HasColorAdjust() || effects.Exposure != kNeutralExposure)
        return true;
    // A layer with neither text nor picture draws nothing; any other layer needs the hook,
    // wherever it stands in the list.
    return std::any_of(effects.Overlays.begin(), effects.Overlays.end(), [](const auto& layer) {
        return layer && (!layer->Text.empty() || !layer->PictureFile.empty());
    });
}

void TTimeLeftEstimate::Reset() {
    taskIndex_ = -1;
}

std::optional<int64_t> TTimeLeftEstimate::Update(int taskIndex, int64_t currentTime,
                                                 int64_t totalDuration, TClock::time_point now) {
    if (taskIndex != taskIndex_) {
        taskIndex_ = taskIndex;
        started_ = now;
    }
    const auto spent = std::chrono::duration_cast<std::chrono::microseconds>(now - started_);
    if (totalDuration <= 0 || currentTime < 1000000 || spent < std::chrono::seconds(1))
        return std::nullopt;
    const int64_t remaining = std::max<int64_t>(totalDuration - currentTime, 0);
    // Wall time per output microsecond so far, times the output still to come.
    const double left = static_cast<double>(spent.count()) / static_cast<double>(currentTime) *
                        static_cast<double>(remaining) / 1e6;
    return std::llround(left);
}

std::string TimeLeftLabel(std::optional<int64_t> seconds) {
    if (!seconds)
        return std::string();
    const int64_t clamped = std::min<int64_t>(*seconds, std::numeric_limits<int32_t>::max());
    return "Time Left: " + SecondsToText(static_cast<int32_t>(clamped));
}

} // namespace tovik
