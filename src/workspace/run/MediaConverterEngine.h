#pragma once
// The engine component behind the conversion run's interface: the main window's
// MediaConverter1.

#include "engine/MediaConverter.h"
#include "workspace/run/RunEngine.h"

namespace tovik {

// Loads fileName into probe and reads its facts (both engines' LoadProbe).
bool ReadProbedSource(TMediaProbe& probe, const std::string& fileName, TProbedSource& source);
// A source's length through a probe of its own; false when it cannot be opened.
bool ReadSourceDuration(const std::string& fileName, int64_t& durationUs);

class TMediaConverterEngine : public TRunEngine {
public:
    TMediaConverterEngine();

    bool LoadLibraries(std::string& error) override;
    void SetEvents(TRunEvents events) override;
    void SetThreadPriority(TThreadPriority priority) override;
    bool LoadProbe(const std::string& fileName, TProbedSource& source) override;
    void CloseProbe() override;
    bool ProbeTask(const std::string& fileName, int64_t& durationUs) override;
    int AddTask(const std::string& fileName, const TInputOptions& options) override;
    bool SetOutputFile(int taskIndex, const std::string& fileName,
                       const TOutputOptions& options) override;
    std::string LastError() const override;
    int TaskCount() const override;
    void ClearTasks() override;
    void StartTask(int n) override;
    void Pause() override;
    void Resume() override;
    void Stop(bool wait) override;
    bool Working() const override;

    TMediaConverter& Component() { return MediaConverter1; }

private:
    TMediaConverter MediaConverter1;
};

} // namespace tovik
