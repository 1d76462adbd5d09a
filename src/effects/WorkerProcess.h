#pragma once
// One conversion run in a worker process (tools/worker): started with its task description,
// told to pause, resume and stop, heard through its records. A worker that dies (a signal, an
// abort in a library) or stops answering fails its task with a readable reason instead of
// taking the caller down; an output it left without a finished stream is removed.

#include "effects/TaskDescription.h"
#include "effects/WorkerProtocol.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <sys/types.h>
#include <thread>

namespace tovik {

struct TWorkerEvents {
    std::function<void(const TProgressInfo&)> Progress;
    std::function<void(const TWorkerLog&)> Log;
    // Exactly once per started worker, last of all its events.
    std::function<void(const TTerminateInfo&)> Terminate;
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
               std::string& error);
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
    void Watch();
    TTerminateInfo Ended(bool endSeen, const TTerminateInfo& reported);

    std::chrono::milliseconds silence_;
    TWorkerEvents events_;
    std::string outputFile_;
    pid_t pid_ = -1;
    int input_ = -1;  // the worker's standard input; guarded by mutex_
    int output_ = -1; // the worker's standard output, read by the listener only
    std::thread listener_;
    std::thread watchdog_;
    std::mutex mutex_; // guards input_, paused_, lastHeard_, ended_, killedForSilence_, reaped_
    std::condition_variable changed_;
    bool paused_ = false;
    bool ended_ = false;
    bool killedForSilence_ = false;
    bool reaped_ = false; // the process is gone: its number may belong to another one now
    std::chrono::steady_clock::time_point lastHeard_;
};

// "SIGSEGV" for SIGSEGV and so on; "signal N" for a number without a name.
std::string SignalName(int number);

} // namespace tovik
