#pragma once
// One conversion run in a worker process (tools/worker): started with its task description,
// told to pause, resume and stop, heard through its records. A worker that dies (a signal, an
// abort in a library) or stops answering fails its task with a readable reason instead of
// taking the caller down; an output it left without a finished stream is removed.

#include "effects/SharedPicture.h"
#include "effects/TaskDescription.h"
#include "effects/WorkerProtocol.h"
#include "engine/ConvertThread.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
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
    // Exactly once per started worker, last of all its events.
    std::function<void(const TTerminateInfo&)> Terminate;
};

struct TWorkerOptions {
    // The worker shows its output pictures through shared memory.
    bool Pictures = false;
    // The lowest level of the log lines it sends.
    TLogLevel LogLevel = TLogLevel::llInfo;
    // The priority of its conversion thread.
    TThreadPriority Priority = TThreadPriority::tpNormal;
};

class TWorkerProcess {
public:
    // silence: how long a running (not paused) worker may say nothing before it is ended.
    explicit TWorkerProcess(std::chrono::milliseconds silence = std::chrono::seconds(120))
        : silence_(silence) {}
    ~TWorkerProcess(); // ends a worker that still runs and waits for its events to end
    TWorkerProcess(const TWorkerProcess&) = delete;
    TWorkerProcess& operator=(const TWorkerProcess&) = delete;

    // Starts program (the worker) on task; the events come on a thread of this object's.
    // False with error when the process cannot be started.
    bool Start(const std::string& program, const TTaskDescription& task, TWorkerEvents events,
               std::string& error, const TWorkerOptions& options = {});
    // The two halves of Start: the process starts (and loads its libraries) before its task
    // is known, so a run can have the next file's worker ready. Spawn is called once;
    // a worker spawned and never begun is ended with this object.
    bool Spawn(const std::string& program, std::string& error, const TWorkerOptions& options = {});
    void Begin(const TTaskDescription& task, TWorkerEvents events);
    void Pause();
    void Resume();
    void Stop();
    // Ends the worker at once (SIGKILL); its task fails.
    void Kill();
    // Waits until the termination event has been delivered.
    void Wait();
    pid_t Pid() const { return pid_; }

private:
    void Send(TWorkerCommand command);
    void Listen();
    void TakePicture();
    void Watch();
    TTerminateInfo Ended(bool endSeen, const TTerminateInfo& reported);

    std::chrono::milliseconds silence_;
    TWorkerEvents events_;
    std::string outputFile_;
    std::unique_ptr<TSharedPicture> picture_; // read by the listener only
    TBitmap shownPicture_;                    // the listener's copy of the slot
    pid_t pid_ = -1;
    int input_ = -1;  // the worker's standard input; guarded by mutex_
    int output_ = -1; // the worker's standard output, read by the listener only
    std::thread listener_;
    std::thread watchdog_;
    // guards input_, begun_, paused_, lastHeard_, ended_, killedForSilence_, reaped_
    std::mutex mutex_;
    std::condition_variable changed_;
    bool begun_ = false; // the task was sent
    bool paused_ = false;
    bool ended_ = false;
    bool killedForSilence_ = false;
    bool reaped_ = false; // the process is gone: its number may belong to another one now
    std::chrono::steady_clock::time_point lastHeard_;
};

// The conversion worker program: TOVIK_WORKER_PROGRAM when set, else "tovik-worker" beside
// the running program, in the installation's lib/tovik, or in the further folders given (a
// build tree). Empty when there is none.
std::string FindWorkerProgram(const std::vector<std::string>& furtherFolders = {});

// "SIGSEGV" for SIGSEGV and so on; "signal N" for a number without a name.
std::string SignalName(int number);

} // namespace tovik
