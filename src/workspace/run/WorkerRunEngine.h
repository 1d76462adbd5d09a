#pragma once
// The conversion run's engine with each file converted in a worker process of its own: a
// file that makes a library abort or crash fails alone, the window and the rest of the run
// stay. Sources are still read here (probing, checking) as the in-process engine does.

#include "effects/IsolatedConverter.h"
#include "workspace/run/RunEngine.h"

namespace tovik {

class TWorkerRunEngine : public TRunEngine {
public:
    explicit TWorkerRunEngine(std::string workerProgram);

    bool LoadLibraries(std::string& error) override;
    void SetEvents(TRunEvents events) override;
    void SetThreadPriority(TThreadPriority priority) override;
    bool LoadProbe(const std::string& fileName, TProbedSource& source) override;
    void CloseProbe() override;
    bool ProbeTask(const std::string& fileName, int64_t& durationUs) override;
    int AddTask(const std::string& fileName, const TInputOptions& options) override;
    bool SetOutputFile(int taskIndex, const std::string& fileName,
                       const TOutputOptions& options) override;
    void SetTaskEffects(int taskIndex, const TJobEffects& effects) override;
    std::string LastError() const override;
    int TaskCount() const override;
    void ClearTasks() override;
    void StartTask(int n) override;
    void Pause() override;
    void Resume() override;
    void Stop(bool wait) override;
    bool Working() const override;

private:
    TIsolatedConverter converter_;
};

} // namespace tovik
