#pragma once
// The engine component's operations and events with every task run in a worker process
// (tools/worker): a library that aborts or crashes on a damaged file fails that task with
// "The conversion stopped unexpectedly (SIGABRT)" and the run goes on with the next one. A
// worker whose task ended is given the next one, so that a batch starts few processes; one
// that died is replaced.
//
// Called from the main thread like the in-process component. OnProgress and OnPreviewBitmap
// come on the main thread through the dispatcher while TriggerEventInMainThread is set (they
// are queued, the workers never wait for them), else on a listener thread. OnTerminate comes
// on the run's scheduling thread, once per task in the order the tasks end, then once with
// task index -1 for the whole run. The job's effects travel with the task and are drawn in
// the worker, so there is no drawing hook here.

#include "effects/TaskDescription.h"
#include "effects/WorkerProcess.h"
#include "engine/MediaConverter.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tovik {

class TIsolatedConverter {
public:
    // program: the worker; silence: how long a running worker may say nothing.
    explicit TIsolatedConverter(std::string program,
                                std::chrono::milliseconds silence = std::chrono::seconds(120));
    // Stops what still runs and waits for it; no event is called any more.
    ~TIsolatedConverter();
    TIsolatedConverter(const TIsolatedConverter&) = delete;
    TIsolatedConverter& operator=(const TIsolatedConverter&) = delete;

    // The source is opened here to check it, as the in-process component does (unless
    // SetCheckSources(false)); its index or -1 with LastError.
    int AddTask(const std::string& fileName, const TInputOptions* options = nullptr);
    // Without the check, a source the component refuses fails its task in the worker, with
    // the same words; a caller that probes its sources itself need not open them twice, nor
    // load the media libraries at all when it probes through ProbeSource.
    void SetCheckSources(bool value) { checkSources_ = value; }
    // What a worker finds in a source (while not working); false with LastError when no
    // worker could answer (one that crashed on the file says so).
    bool ProbeSource(const std::string& fileName, TWorkerProbe& found);
    // The task's output; the worker checks it when the task starts (and fails the task when
    // it cannot be written). One output per task.
    bool SetOutputFile(int taskIndex, const std::string& fileName,
                       const TOutputOptions* options = nullptr);
    // The effects and layers the worker draws on the task's pictures.
    bool SetTaskEffects(int taskIndex, const TJobEffects& effects);

    // Starts a worker now, when none is ready, so that its start-up (the process, the
    // libraries) overlaps what the caller still prepares; the first AddTask does it too. A
    // worker started with other preview or priority settings than the run's is not used.
    // A run that ends keeps one worker ready for the next (one that was stopped does not);
    // the destructor ends them.
    void StartWorkerAhead();

    // Up to n tasks at once (n <= 0: one, and returns after the end of the run).
    void StartTask(int n);
    void Pause();
    void Resume();
    // Starts no further task and stops the running ones, which still finish their outputs;
    // with wait, returns once they have ended (not when called from OnTerminate).
    void Stop(bool wait);
    void ClearTasks();
    int TaskCount() const;
    // True from StartTask until ClearTasks.
    bool Working() const;
    // True once the end-of-run report was issued.
    bool AllDone() const;
    std::string LastError() const;

    void SetPreviewBitmap(bool value) { previewBitmap_ = value; }
    void SetTriggerEventInMainThread(bool value) { triggerEventInMainThread_ = value; }
    void SetThreadPriority(TThreadPriority value) { priority_ = value; }
    // Loads the libraries the source check needs; false with LastError.
    bool LoadAVLib(const std::string& folder);
    // The probe of the in-process component that checks sources.
    TMediaProbe& Probe() { return checker_.Probe(); }

    // Assign while not working.
    TPreviewBitmapEvent OnPreviewBitmap;
    TProgressEvent OnProgress;
    TTerminateEvent OnTerminate;

private:
    struct TTask {
        TTaskDescription Description;
        bool HasOutput = false;
    };
    // Lets queued main-thread calls find out that this object is gone.
    struct TGate {
        std::mutex Mutex; // guards Open; held while a queued call runs
        bool Open = true;
    };

    void Schedule(int n);
    void Launch(int index, int n, std::unique_lock<std::mutex>& lock);
    TWorkerOptions WorkerOptions() const;
    void StartWorkerAhead(const std::lock_guard<std::mutex>& lock);
    // An idle worker started with today's options, or none; the others are handed to doomed.
    std::unique_ptr<TWorkerProcess>
    TakeIdleWorker(std::vector<std::unique_ptr<TWorkerProcess>>& doomed);
    void TaskEnded(int index, TTerminateInfo info);
    void DeliverProgress(int index, const TProgressInfo& info);
    void DeliverPicture(int index, const TBitmap& bitmap, int frameNumber, int64_t frameTime);
    void Report(const TTerminateInfo& info);
    void JoinScheduler();

    const std::string program_;
    const std::chrono::milliseconds silence_;
    TMediaConverter checker_; // opens sources in AddTask; main thread only
    bool previewBitmap_ = false;
    bool checkSources_ = true;
    bool triggerEventInMainThread_ = true;
    TThreadPriority priority_ = TThreadPriority::tpNormal;
    std::shared_ptr<TGate> gate_ = std::make_shared<TGate>();
    std::atomic<bool> destroying_{false}; // no report is delivered once set

    mutable std::mutex mutex_; // guards everything below
    std::condition_variable changed_;
    std::vector<TTask> tasks_;
    std::string lastError_;
    std::deque<std::pair<int, TTerminateInfo>> ended_; // reports not yet delivered
    int next_ = 0;                                     // the next task to start
    int running_ = 0;                                  // started and not yet reported
    bool working_ = false;
    bool allDone_ = false;
    bool paused_ = false;
    bool stopping_ = false;
    // Per task, the latest picture waiting for the main thread; one queued call takes it.
    struct TPendingPicture {
        TPreviewInfo Info;
        TBitmap Picture;
        bool Queued = false;
    };
    std::map<int, TPendingPicture> pendingPictures_;
    // The workers: those running a task (by task index), and those waiting for one (started
    // ahead, or whose task ended).
    std::map<int, std::unique_ptr<TWorkerProcess>> busy_;
    std::vector<std::unique_ptr<TWorkerProcess>> idle_;
    std::thread scheduler_;
};

} // namespace tovik
