#include "FakeRunEngine.h"

#include <QCoreApplication>
#include <algorithm>
#include <thread>

namespace tovik::test {

bool TFakeRunEngine::LoadLibraries(std::string& /*error*/) {
    return true;
}

bool TFakeRunEngine::LoadProbe(const std::string& fileName, TProbedSource& source) {
    if (fileName.find("unreadable") != std::string::npos)
        return false;
    source.FileName = fileName;
    source.Facts = TSourceFacts{1, 640, 480, 0};
    return true;
}

bool TFakeRunEngine::ProbeTask(const std::string& fileName, int64_t& durationUs) {
    durationUs = 10'000'000;
    return fileName.find("broken") == std::string::npos;
}

int TFakeRunEngine::AddTask(const std::string& fileName, const TInputOptions& options) {
    if (fileName.find("broken") != std::string::npos) {
        lastError_ = "Invalid data found when processing input";
        return -1;
    }
    Tasks.push_back(TTask{fileName, options, {}});
    return static_cast<int>(Tasks.size()) - 1;
}

bool TFakeRunEngine::SetOutputFile(int taskIndex, const std::string& fileName,
                                   const TOutputOptions& options) {
    Tasks.at(static_cast<size_t>(taskIndex)).Outputs.push_back(options);
    Tasks.at(static_cast<size_t>(taskIndex)).Outputs.back().FileName = fileName;
    return true;
}

void TFakeRunEngine::ClearTasks() {
    ++Clears;
    Tasks.clear();
    Reported.clear();
    working_ = false;
    lastError_.clear();
}

void TFakeRunEngine::StartTask(int n) {
    ++Starts;
    StartCount = n;
    working_ = true;
}

void TFakeRunEngine::Report(int taskIndex, bool finished, bool failed, const std::string& error) {
    if (taskIndex >= 0)
        Reported.push_back(taskIndex);
    TTerminateInfo info;
    info.TaskIndex = taskIndex;
    info.Finished = finished;
    info.Failed = failed;
    info.ErrorMessage = error;
    std::thread reporter([this, info] {
        if (Events.Terminate)
            Events.Terminate(info);
    });
    reporter.join();
}

void TFakeRunEngine::Progress(int taskIndex, int64_t currentTime, int64_t totalDuration,
                              int64_t size) {
    TProgressInfo info;
    info.TaskIndex = taskIndex;
    info.CurrentTime = currentTime;
    info.TotalDuration = totalDuration;
    info.TotalSize = size;
    if (Events.Progress)
        Events.Progress(&info);
}

void TFakeRunEngine::Stop(bool /*wait*/) {
    ++Stops;
    if (!working_)
        return;
    bool any = false;
    for (int task = 0; task < TaskCount(); ++task)
        if (std::find(Reported.begin(), Reported.end(), task) == Reported.end()) {
            Report(task, false);
            any = true;
        }
    if (any)
        ReportRunEnd();
    QCoreApplication::processEvents();
}

} // namespace tovik::test
