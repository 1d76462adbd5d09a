#pragma once
// An engine double for the conversion run: records the tasks it is given and reports only
// when a test tells it to, from a thread of its own as the real component does.

#include "workspace/run/RunEngine.h"

#include <string>
#include <vector>

namespace tovik::test {

class TFakeRunEngine : public TRunEngine {
public:
    struct TTask {
        std::string FileName;
        TInputOptions Input;
        std::vector<TOutputOptions> Outputs;
    };

    bool LoadLibraries(std::string& error) override;
    void SetEvents(TRunEvents events) override { Events = std::move(events); }
    void SetThreadPriority(TThreadPriority priority) override { Priority = priority; }
    // Sources whose name holds "unreadable" cannot be probed.
    bool LoadProbe(const std::string& fileName, TProbedSource& source) override;
    void CloseProbe() override { ++ProbeCloses; }
    bool ProbeTask(const std::string& fileName, int64_t& durationUs) override;
    // Sources whose name holds "broken" cannot be opened.
    int AddTask(const std::string& fileName, const TInputOptions& options) override;
    bool SetOutputFile(int taskIndex, const std::string& fileName,
                       const TOutputOptions& options) override;
    std::string LastError() const override { return lastError_; }
    int TaskCount() const override { return static_cast<int>(Tasks.size()); }
    void ClearTasks() override;
    void StartTask(int n) override;
    void Pause() override { ++Pauses; }
    void Resume() override { ++Resumes; }
    // Reports every task not reported yet as stopped, then the end of the run, and serves
    // the main thread's events while it "waits", as the real component does.
    void Stop(bool wait) override;
    bool Working() const override { return working_; }

    // Reports the end of a task (or of the run with -1) from a separate thread.
    void Report(int taskIndex, bool finished, bool failed = false, const std::string& error = {});
    void ReportRunEnd() { Report(-1, true); }
    // Delivers a progress report on the calling (main) thread.
    void Progress(int taskIndex, int64_t currentTime, int64_t totalDuration, int64_t size);

    TRunEvents Events;
    TThreadPriority Priority = TThreadPriority::tpNormal;
    std::vector<TTask> Tasks;
    int Starts = 0;
    int StartCount = 0; // n of the last StartTask
    int Stops = 0;
    int Clears = 0;
    int Pauses = 0;
    int Resumes = 0;
    int ProbeCloses = 0;
    std::vector<int> Reported; // task indexes reported so far in this run

private:
    std::string lastError_;
    bool working_ = false;
};

} // namespace tovik::test
