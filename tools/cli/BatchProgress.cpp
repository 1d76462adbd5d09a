#include "cli/BatchProgress.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iterator>

namespace tovik::cli {

int AutomaticJobs(unsigned cores, int files) {
    const int byCores = std::max(1, static_cast<int>(std::lround(cores * 0.75)));
    return std::max(1, std::min(byCores, files));
}

std::string Clock(double seconds) {
    const auto total = static_cast<long long>(std::max(0.0, seconds) + 0.5);
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", total / 3600, total / 60 % 60,
                  total % 60);
    return text;
}

std::string ProgressText(const std::string& name, const TProgressInfo& info, double elapsed,
                         bool bar) {
    const double total = static_cast<double>(info.TotalDuration) / 1e6;
    const double done = static_cast<double>(info.CurrentTime) / 1e6;
    const double fraction = total > 0 ? std::clamp(done / total, 0.0, 1.0) : 0.0;
    const int width = 30;
    const int filled = static_cast<int>(fraction * width);
    const double speed = elapsed > 0 ? done / elapsed : 0.0;
    const double left = speed > 0 && total > 0 ? (total - done) / speed : 0.0;
    char text[256];
    if (bar)
        std::snprintf(text, sizeof text, "%-24.24s [%s%s] %5.1f%% %5.2fx left %s", name.c_str(),
                      std::string(static_cast<size_t>(filled), '#').c_str(),
                      std::string(static_cast<size_t>(width - filled), '.').c_str(), fraction * 100,
                      speed, Clock(left).c_str());
    else
        std::snprintf(text, sizeof text, "%s: %.1f%% %.2fx left %s", name.c_str(), fraction * 100,
                      speed, Clock(left).c_str());
    return text;
}

TBatchProgress::TBatchProgress(std::map<int, std::string> names, int jobs)
    : names_(std::move(names)), jobs_(std::max(1, jobs)) {}

void TBatchProgress::StartNext(TClock::time_point now) {
    if (started_ >= names_.size())
        return;
    auto next = names_.begin();
    std::advance(next, static_cast<std::ptrdiff_t>(started_));
    ++started_;
    TRunning& task = running_[next->first];
    task.Started = now;
    task.Last.TaskIndex = next->first;
}

void TBatchProgress::Start(TClock::time_point now) {
    for (int i = 0; i < jobs_; ++i)
        StartNext(now);
}

void TBatchProgress::Report(const TProgressInfo& info) {
    const auto found = running_.find(info.TaskIndex);
    if (found != running_.end())
        found->second.Last = info;
}

TBatchProgress::TEnded TBatchProgress::End(int taskIndex, bool finished, TClock::time_point now) {
    TEnded ended;
    ended.Last.TaskIndex = taskIndex;
    const auto found = running_.find(taskIndex);
    if (found != running_.end()) {
        ended.Last = found->second.Last;
        ended.Seconds = std::chrono::duration<double>(now - found->second.Started).count();
        running_.erase(found);
    }
    // The last report comes before the end of the file.
    if (finished && ended.Last.TotalDuration > 0)
        ended.Last.CurrentTime = ended.Last.TotalDuration;
    StartNext(now);
    return ended;
}

std::string TBatchProgress::NameOf(int taskIndex) const {
    const auto found = names_.find(taskIndex);
    return found == names_.end() ? std::string() : found->second;
}

std::string TBatchProgress::Text(TClock::time_point now, bool bar) const {
    std::string text;
    for (const auto& [index, task] : running_) {
        const double elapsed = std::chrono::duration<double>(now - task.Started).count();
        if (running_.size() == 1)
            return ProgressText(NameOf(index), task.Last, elapsed, bar);
        // Several at once: short names, so the redrawn line stays one line.
        std::string name = NameOf(index);
        if (name.size() > 20)
            name = name.substr(0, 19) + "~";
        if (!text.empty())
            text += " | ";
        text += ProgressText(name, task.Last, elapsed, false);
    }
    return text;
}

} // namespace tovik::cli
