#include "workspace/run/WorkerRunEngine.h"

#include "media/FFmpegLoader.h"
#include "media/LibrarySets.h"
#include "workspace/run/MediaConverterEngine.h"

namespace tovik {

TWorkerRunEngine::TWorkerRunEngine(std::string workerProgram)
    : converter_(std::move(workerProgram)) {
    // The progress window shows the worker's pictures.
    converter_.SetPreviewBitmap(true);
}

bool TWorkerRunEngine::LoadLibraries(std::string& error) {
    if (EngineLibrariesLoaded())
        return true;
    if (converter_.LoadAVLib(DefaultLibraryFolder()))
        return true;
    error = converter_.LastError();
    return false;
}

void TWorkerRunEngine::SetEvents(TRunEvents events) {
    // No drawing hook: the worker draws the job's effects itself.
    BindRunEvents(converter_, events);
}

void TWorkerRunEngine::SetThreadPriority(TThreadPriority priority) {
    converter_.SetThreadPriority(priority);
}

bool TWorkerRunEngine::LoadProbe(const std::string& fileName, TProbedSource& source) {
    return ReadProbedSource(converter_.Probe(), fileName, source);
}

void TWorkerRunEngine::CloseProbe() {
    converter_.Probe().CloseFile();
}

bool TWorkerRunEngine::ProbeTask(const std::string& fileName, int64_t& durationUs) {
    // Files are being added: a run is likely to follow, and a worker started now is ready
    // by then.
    if (!converter_.Working())
        converter_.StartWorkerAhead();
    return ReadSourceDuration(fileName, durationUs);
}

int TWorkerRunEngine::AddTask(const std::string& fileName, const TInputOptions& options) {
    return converter_.AddTask(fileName, &options);
}

bool TWorkerRunEngine::SetOutputFile(int taskIndex, const std::string& fileName,
                                     const TOutputOptions& options) {
    return converter_.SetOutputFile(taskIndex, fileName, &options);
}

void TWorkerRunEngine::SetTaskEffects(int taskIndex, const TJobEffects& effects) {
    converter_.SetTaskEffects(taskIndex, effects);
}

std::string TWorkerRunEngine::LastError() const {
    return converter_.LastError();
}

int TWorkerRunEngine::TaskCount() const {
    return converter_.TaskCount();
}

void TWorkerRunEngine::ClearTasks() {
    converter_.ClearTasks();
}

void TWorkerRunEngine::StartTask(int n) {
    converter_.StartTask(n);
}

void TWorkerRunEngine::Pause() {
    converter_.Pause();
}

void TWorkerRunEngine::Resume() {
    converter_.Resume();
}

void TWorkerRunEngine::Stop(bool wait) {
    converter_.Stop(wait);
}

bool TWorkerRunEngine::Working() const {
    return converter_.Working();
}

} // namespace tovik
