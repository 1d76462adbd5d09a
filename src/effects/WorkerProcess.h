#pragma once
// A worker process (tools/worker) running conversions: started ahead of its first task, given
// tasks one after another, told to pause, resume and stop, heard through its records. A
// worker that dies (a signal, an abort in a library) or stops answering fails its task with
// a readable reason instead of taking the caller down; an output it left without a finished
// stream is removed.

#include "effects/SharedPicture.h"
#include "effects/TaskDescription.h"
#include "effects/WorkerProtocol.h"
#include "engine/ConvertThread.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <sys/types.h>
#include <thread>
#include <vector>

namespace tovik {

struct TWorkerEvents {
    std::function<void(const TProgressInfo&)> Progress;
    std::function<void(const TWorkerLog&)> Log;
    // The worker's live picture; only when asked for in TWorkerOptions.
    std::function<void(const TBitmap&, int frameNumber, int64_t frameTime)> Picture;
    // Exactly once per task, last of the task's events.
    std::function<void(const TTerminateInfo&)> Terminate;
};

struct TWorkerOptions {
    // The worker shows its output pictures through shared memory.
    bool Pictures = false;
    // The lowest level of the log lines it sends.
    TLogLevel LogLevel = TLogLevel::llInfo;
    // The priority of its conversion thread.
    TThreadPriority Priority = TThreadPriority::tpNormal;

    bool operator==(const TWorkerOptions&) const = default;
};

class TWorkerProcess {
public:
    // silence: how long a running (not paused) task may say nothing before the worker is ended.
    explicit TWorkerProcess(std::chrono::milliseconds silence = std::chrono::seconds(120))
        : silence_(silence) {}
    // Ends the worker (a running task fails) and waits for its last events.
    ~TWorkerProcess();
    TWorkerProcess(const TWorkerProcess&) = delete;
    TWorkerProcess& operator=(const TWorkerProcess&) = delete;

    // Spawn, then Begin. False with error when the process cannot be started.
    bool Start(const std::string& program, const TTaskDescription& task, TWorkerEvents events,
               std::string& error, const TWorkerOptions& options = {});
    // Starts the process, which loads its libraries before its task is known, so that a run
    // can have a worker ready. Called once.
    bool Spawn(const std::string& program, std::string& error, const TWorkerOptions& options = {});
    // Gives the worker a task; its events come on a thread of this object's. Once the task's
    // Terminate has been delivered (Wait), the worker may be given another while Reusable.
    void Begin(const TTaskDescription& task, TWorkerEvents events);
    void Pause();
    void Resume();
    void Stop();
    // Ends the worker at once (SIGKILL); its task fails.
    void Kill();
    // Waits until the task's Terminate has been delivered.
    void Wait();
    // Alive, answering and without a task: another one can begin.
    bool Reusable() const;
    // Asks the worker, between tasks, what it finds in a source; false with error when the
    // worker cannot answer (it died, or said nothing within the silence time).
    bool Probe(const std::string& fileName, TWorkerProbe& found, std::string& error);
    const TWorkerOptions& Options() const { return options_; }
    pid_t Pid() const { return pid_; }

private:
    void Send(TWorkerCommand command);
    void Listen();
    void TakePicture(const TWorkerEvents& events);
    void Deliver(const TTerminateInfo& info);
    void Watch();
    TTerminateInfo Ended();

    const std::chrono::milliseconds silence_;
    TWorkerOptions options_;
    std::unique_ptr<TSharedPicture> picture_; // read by the listener only
    TBitmap shownPicture_;                    // the listener's copy of the slot
    pid_t pid_ = -1;
    int output_ = -1; // the worker's standard output, read by the listener only
    std::thread listener_;
    std::thread watchdog_;
    // guards everything below
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    int input_ = -1;                              // the worker's standard input
    std::shared_ptr<const TWorkerEvents> events_; // the running task's
    std::string outputFile_;                      // the running task's
    bool running_ = false; // a task was begun and its Terminate not yet delivered
    bool paused_ = false;
    bool gone_ = false;    // the process ended and was reaped: its number may be another's
    bool closing_ = false; // the object is being destroyed
    bool killedForSilence_ = false;
    std::optional<TWorkerProbe> probed_; // the answer to the probe request on its way
    std::string endedWith_;              // why the process ended, once gone_
    std::chrono::steady_clock::time_point lastHeard_;
};

// The conversion worker program: TOVIK_WORKER_PROGRAM when set, else "tovik-worker" beside
// the running program, in the installation's lib/tovik, or in the further folders given (a
// build tree). Empty when there is none.
std::string FindWorkerProgram(const std::vector<std::string>& furtherFolders = {});

// "SIGSEGV" for SIGSEGV and so on; "signal N" for a number without a name.
std::string SignalName(int number);

} // namespace tovik
