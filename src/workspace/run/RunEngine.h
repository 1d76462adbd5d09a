#pragma once
// What the conversion run needs of the engine component, as one small interface: the
// program puts the real component behind it, tests a double that reports when they say so.

#include "effects/JobEffects.h"
#include "engine/ConvertThread.h"
#include "engine/EventRecords.h"
#include "engine/OptionRecords.h"
#include "workspace/core/TaskOptionsBuilder.h"

#include <cstdint>
#include <functional>
#include <string>

namespace tovik {

// The component's four events, without the sender.
struct TRunEvents {
    std::function<void(PHookInfo)> CustomHook;              // worker thread
    std::function<void(const TPreviewInfo&)> PreviewBitmap; // main thread
    std::function<void(PProgressInfo)> Progress;            // main thread
    std::function<void(const TTerminateInfo&)> Terminate;   // a background thread
};

// Hands the run's preview, progress and terminate events to a component's events (the
// in-process and the worker-process engine alike); an empty function detaches its event.
template <class TComponent> void BindRunEvents(TComponent& component, const TRunEvents& events) {
    if (events.PreviewBitmap)
        component.OnPreviewBitmap =
            [preview = events.PreviewBitmap](TObject*, const TPreviewInfo& info) { preview(info); };
    else
        component.OnPreviewBitmap = nullptr;
    if (events.Progress)
        component.OnProgress = [progress = events.Progress](TObject*, PProgressInfo info) {
            progress(info);
        };
    else
        component.OnProgress = nullptr;
    if (events.Terminate)
        component.OnTerminate = [terminate = events.Terminate](
                                    TObject*, const TTerminateInfo& info) { terminate(info); };
    else
        component.OnTerminate = nullptr;
}

// The facts of the file the component's probe holds.
struct TProbedSource {
    std::string FileName;
    TSourceFacts Facts;
};

class TRunEngine {
public:
    virtual ~TRunEngine() = default;

    // Loads the engine's libraries unless loaded; false with the loader's text.
    virtual bool LoadLibraries(std::string& error) = 0;
    // Events are set while the component is idle; empty functions detach them.
    virtual void SetEvents(TRunEvents events) = 0;
    virtual void SetThreadPriority(TThreadPriority priority) = 0;

    // The component's probe: load a source (false when it cannot be read), its facts, close.
    virtual bool LoadProbe(const std::string& fileName, TProbedSource& source) = 0;
    virtual void CloseProbe() = 0;
    // Reads a source's facts through a probe task that is removed again (adding files);
    // false when the source cannot be opened. durationUs: negative when unknown.
    virtual bool ProbeTask(const std::string& fileName, int64_t& durationUs) = 0;

    virtual int AddTask(const std::string& fileName, const TInputOptions& options) = 0;
    virtual bool SetOutputFile(int taskIndex, const std::string& fileName,
                               const TOutputOptions& options) = 0;
    // The job's effects and layers for an engine that draws them itself (one running tasks in
    // worker processes); the in-process component calls CustomHook for them instead.
    virtual void SetTaskEffects(int /*taskIndex*/, const TJobEffects& /*effects*/) {}
    virtual std::string LastError() const = 0;
    virtual int TaskCount() const = 0;
    virtual void ClearTasks() = 0;

    virtual void StartTask(int n) = 0;
    virtual void Pause() = 0;
    virtual void Resume() = 0;
    virtual void Stop(bool wait) = 0;
    // True from StartTask until ClearTasks.
    virtual bool Working() const = 0;
};

} // namespace tovik
