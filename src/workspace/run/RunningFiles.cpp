#include "workspace/run/RunningFiles.h"

#include "platform/PathText.h"
#include "workspace/run/RunTexts.h"

#include <algorithm>
#include <thread>

namespace tovik {

int SimultaneousLimit() {
    return std::max(4, static_cast<int>(std::thread::hardware_concurrency()));
}

int SimultaneousOfSetting(int value) {
    return std::clamp(value, 1, SimultaneousLimit());
}

void TRunningFiles::Start(std::vector<std::string> captions, int simultaneous) {
    files_.clear();
    files_.reserve(captions.size());
    for (std::string& caption : captions)
        files_.push_back(TFile{std::move(caption), std::nullopt, false, false});
    simultaneous_ = std::max(simultaneous, 1);
    endedCount_ = 0;
    startedCount_ = 0;
    StartUpTo(simultaneous_);
}

void TRunningFiles::StartUpTo(int count) {
    count = std::min(count, static_cast<int>(files_.size()));
    for (; startedCount_ < count; ++startedCount_) {
        TFile& file = files_[static_cast<size_t>(startedCount_)];
        file.Running = !file.Ended;
    }
}

bool TRunningFiles::Several() const {
    return simultaneous_ > 1 && files_.size() > 1;
}

void TRunningFiles::Progress(int taskIndex, std::optional<int> percent) {
    if (taskIndex < 0 || static_cast<size_t>(taskIndex) >= files_.size())
        return;
    // Tasks start in index order: this one and every one before it have started.
    StartUpTo(taskIndex + 1);
    if (simultaneous_ == 1)
        for (int earlier = 0; earlier < taskIndex; ++earlier)
            files_[static_cast<size_t>(earlier)].Running = false;
    TFile& file = files_[static_cast<size_t>(taskIndex)];
    if (file.Ended)
        return;
    file.Running = true;
    if (percent)
        file.Percent = percent;
}

void TRunningFiles::Ended(int taskIndex) {
    if (taskIndex < 0 || static_cast<size_t>(taskIndex) >= files_.size())
        return;
    TFile& file = files_[static_cast<size_t>(taskIndex)];
    file.Running = false;
    if (!file.Ended) {
        file.Ended = true;
        ++endedCount_;
        // The engine starts the next task in its place.
        StartUpTo(simultaneous_ + endedCount_);
    }
}

bool TRunningFiles::AllEnded() const {
    return !files_.empty() && endedCount_ == static_cast<int>(files_.size());
}

int TRunningFiles::FirstRunning() const {
    const auto running =
        std::find_if(files_.begin(), files_.end(), [](const TFile& file) { return file.Running; });
    return running == files_.end() ? -1 : static_cast<int>(running - files_.begin());
}

std::vector<TRunningLine> TRunningFiles::Lines() const {
    std::vector<TRunningLine> lines;
    const int previewed = FirstRunning();
    for (size_t index = 0; index < files_.size(); ++index) {
        const TFile& file = files_[index];
        if (!file.Running)
            continue;
        // The lines are narrow: the name without its folder.
        const std::string name = platform::FileNamePart(file.Caption);
        const int task = static_cast<int>(index);
        lines.push_back(TRunningLine{task, FileLabel(name), file.Percent, task == previewed});
    }
    return lines;
}

bool TRunningFiles::ShowsPreviewOf(int taskIndex) const {
    if (!Several())
        return true;
    const int first = FirstRunning();
    return first < 0 || first == taskIndex;
}

} // namespace tovik
