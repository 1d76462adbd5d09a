#pragma once
// The engine component: a list of conversion tasks, run one after another in the calling
// thread or a given number at a time in worker threads, with events for frame drawing,
// preview pictures, progress and the end of each task and of the whole run.
//
// All operations are called from the main thread. Events: OnCustomHook runs in the task's
// worker thread; OnProgress and OnPreviewBitmap run in the main thread while
// TriggerEventInMainThread is set (the worker waits for them); OnTerminate runs in a thread
// of its own in background mode (in the order of the reports) and in the thread that ran the
// task in foreground mode. Assign events while the component is not working.

#include "engine/ConvertThread.h"
#include "engine/EventRecords.h"
#include "engine/FFmpeg.h"
#include "engine/FFmpegList.h"
#include "engine/OptionRecords.h"
#include "engine/Previewer.h"
#include "media/MediaComponent.h"
#include "media/MediaProbe.h"

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tovik {

using TCustomHookEvent = std::function<void(TObject* Sender, PHookInfo AHookInfo)>;
using TPreviewBitmapEvent = std::function<void(TObject* Sender, const TPreviewInfo& APreviewInfo)>;
using TProgressEvent = std::function<void(TObject* Sender, PProgressInfo AProgressInfo)>;
using TTerminateEvent = std::function<void(TObject* Sender, const TTerminateInfo& ATerminateInfo)>;

// Microseconds as the "seconds.fraction" text the time options ("ss", "t") read.
std::string MicrosecondsValue(int64_t microseconds);

class TCustomMediaConverter : public TMediaComponent {
public:
    TCustomMediaConverter();
    // Stops what still runs (waiting, and serving the main-thread calls meanwhile) and
    // joins every thread before the tasks are freed. Events are not called any more.
    ~TCustomMediaConverter() override;

    std::string Version() const { return "1.0"; }

    // Sets the loader's folder and loads the engine's libraries; False with LastError.
    bool LoadAVLib(const std::string& folder);
    // A task with one input; its index, or -1 with LastError.
    int AddTask(const std::string& fileName, const TInputOptions* options = nullptr);
    // One more output of a task; False with LastError.
    bool SetOutputFile(int taskIndex, const std::string& fileName,
                       const TOutputOptions* options = nullptr);
    // n > 0: up to n tasks at a time in worker threads, returns at once. n <= 0: every task
    // in the calling thread, returns after the end-of-run report.
    void StartTask(int n);
    void Pause();
    void Resume();
    // Starts no further task and stops every task; with wait, returns once the running
    // tasks have ended.
    void Stop(bool wait);
    void RemoveTask(int index);
    void ClearTasks();
    int TaskCount() const;
    TFFmpeg& Task(int index) const;
    TMediaProbe& TaskProbe(int taskIndex, int inputIndex);

    const std::string& LastError() const { return lastError_; }
    TMediaProbe& Probe() { return *probe_; }
    int Verbosity() const { return verbosity_; }
    void SetVerbosity(int value) { verbosity_ = value; }
    // True from StartTask until ClearTasks.
    bool Working() const;
    // True once the end-of-run report was issued.
    bool AllDone() const;

    bool Preview() const { return preview_; }
    void SetPreview(bool value);
    bool PreviewBitmap() const { return previewBitmap_; }
    void SetPreviewBitmap(bool value);
    int ProgressInterval() const { return progressInterval_; }
    void SetProgressInterval(int milliseconds) {
        progressInterval_ = milliseconds <= 100 ? 100 : milliseconds;
    }
    TThreadPriority ThreadPriority() const { return threadPriority_; }
    void SetThreadPriority(TThreadPriority value) { threadPriority_ = value; }
    bool TriggerEventInMainThread() const { return triggerEventInMainThread_; }
    void SetTriggerEventInMainThread(bool value) { triggerEventInMainThread_ = value; }
    // The window behind Preview; none: previews are kept but not shown.
    void SetPreviewWindowFactory(TPreviewWindowFactory factory) {
        previewWindowFactory_ = std::move(factory);
    }
    // The previewer of a task while Preview is on and the task has shown a picture.
    std::shared_ptr<TPreviewer> PreviewerOf(int taskIndex) const;

protected:
    // Stops what still runs and joins every thread. A class derived from this one calls it
    // first in its destructor: the handlers are virtual, and a worker calling one while the
    // object is being taken apart would call into a half-destroyed object.
    void Shutdown();

    // The four handlers the tasks call.
    virtual void DoCustomHook(TCustomFFmpeg& task, TBitmap& bitmap, int frameNumber,
                              int64_t frameTime, bool& writeBack, bool& disableHook);
    virtual void DoPreviewBitmap(TCustomFFmpeg& task, const TBitmap& bitmap, int frameNumber,
                                 int64_t frameTime);
    virtual void DoProgress(TCustomFFmpeg& task, const TProgressInfo& info);
    virtual void DoTerminate(TCustomFFmpeg& task);

    TCustomHookEvent OnCustomHook;       // read under hookLock_
    TPreviewBitmapEvent OnPreviewBitmap; // read under previewBitmapLock_
    TProgressEvent OnProgress;           // read under progressLock_
    TTerminateEvent OnTerminate;         // read under terminateLock_

private:
    // A recursive lock that knows whether the calling thread holds it: a failed start runs
    // the terminate handler again inside the one that started it.
    class TTerminateLock {
    public:
        void lock();
        void unlock();
        bool HeldByCurrentThread() const;

    private:
        std::recursive_mutex mutex_;
        std::atomic<std::thread::id> owner_{};
        int depth_ = 0; // guarded by mutex_
    };

    void CheckNotWorking(const char* operation) const;
    // Claims and starts the next task; caller holds terminateLock_ in background mode.
    void StartNextTask();
    // Claims the next task index; -1 when none is left. Caller holds terminateLock_.
    int ClaimNextTask();
    void DeliverTerminate(const TTerminateInfo& info);
    void BindTask(TFFmpeg& task);
    bool ShowPreview(TCustomFFmpeg& task, const TBitmap& bitmap, int frameNumber,
                     int64_t frameTime);
    void ApplyPreviewFlag(int flag, bool value);
    // Per-stream values of an output: the defaults ("acodec" ... "vf", each from the record
    // or the first line giving it) and the pending lines for the extra streams.
    struct TStreamDefaults {
        std::map<std::string, std::string> Defaults;
        std::vector<TOptionLine> Pending;
    };
    void ApplyOutputOptions(TFFmpeg& task, const TOutputOptions& options, TStreamDefaults& streams);
    void CreateExtraStreams(TFFmpeg& task, const TOutputOptions& options, TStreamDefaults& streams);
    void JoinReportThreads();

    TFFmpegList tasks_; // changed on the main thread under terminateLock_
    std::unique_ptr<TMediaProbe> probe_;
    std::string lastError_;
    int verbosity_ = 1;
    bool preview_ = false;
    bool previewBitmap_ = false;
    int progressInterval_ = 500;
    TThreadPriority threadPriority_ = TThreadPriority::tpNormal;
    std::atomic<bool> triggerEventInMainThread_{true};
    TPreviewWindowFactory previewWindowFactory_;
    std::map<const TCustomFFmpeg*, std::shared_ptr<TPreviewer>> previewers_; // PreviewLock()

    std::mutex hookLock_;
    std::mutex previewBitmapLock_;
    std::mutex progressLock_;
    mutable TTerminateLock terminateLock_;
    THookInfo hookRecord_;           // guarded by hookLock_
    TPreviewInfo previewRecord_;     // guarded by previewBitmapLock_
    TProgressInfo progressRecord_;   // guarded by progressLock_
    TTerminateInfo terminateRecord_; // guarded by terminateLock_

    // Run state, guarded by terminateLock_.
    int finishedCount_ = 0;
    int nextIndex_ = -1;
    int toStart_ = 0;
    bool allDone_ = false;
    bool background_ = false;
    bool working_ = false;
    std::atomic<bool> destroying_{false};
    // Foreground runs and Stops in progress: tasks cleared meanwhile (from an event they
    // serve) wait in retiredTasks_ until the last of them unwinds.
    int busyDepth_ = 0;
    std::vector<std::unique_ptr<TFFmpeg>> retiredTasks_;
    // The last thread delivering OnTerminate; each one joins its predecessor first.
    std::unique_ptr<TDoTerminateThread_2> lastReportThread_;
};

class TMediaConverter : public TCustomMediaConverter {
public:
    ~TMediaConverter() override { Shutdown(); }

    using TCustomMediaConverter::OnCustomHook;
    using TCustomMediaConverter::OnPreviewBitmap;
    using TCustomMediaConverter::OnProgress;
    using TCustomMediaConverter::OnTerminate;
};

} // namespace tovik
