#pragma once
// The threads of the engine's thread stage: the worker that runs one task's conversion, the
// priority it runs at, and the manual-reset event the stage waits on.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace tovik {

enum class TThreadPriority {
    tpIdle,
    tpLowest,
    tpLower,
    tpNormal,
    tpHigher,
    tpHighest,
    tpTimeCritical
};

// Nice value of a priority (tpIdle runs under SCHED_IDLE instead, so it has none).
int NiceValueOf(TThreadPriority priority);
// Applies a priority to the calling thread. A refusal (raising needs a privilege) is logged
// and otherwise ignored: the thread keeps running at the priority it had.
bool ApplyThreadPriority(TThreadPriority priority);

// An event that stays signalled until reset, like the operating system's manual-reset event.
class TManualResetEvent {
public:
    explicit TManualResetEvent(bool signalled) : signalled_(signalled) {}
    void Set();
    void Reset();
    bool IsSet() const;
    // True when signalled within the timeout.
    bool WaitFor(std::chrono::milliseconds timeout);
    void Wait();

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool signalled_; // guarded by mutex_
};

// A worker thread created waiting: its body runs once Resume() was called, at the given
// priority. The owner destroys it (joining) after the body has ended; a thread destroyed
// without Resume() ends without running its body.
class TConvertThread {
public:
    TConvertThread(std::function<void()> body, TThreadPriority priority);
    ~TConvertThread();
    TConvertThread(const TConvertThread&) = delete;
    TConvertThread& operator=(const TConvertThread&) = delete;

    void Resume();
    std::thread::id Id() const { return id_; }
    TThreadPriority Priority() const { return priority_; }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool released_ = false; // guarded by mutex_
    bool run_ = false;      // guarded by mutex_
    TThreadPriority priority_;
    std::thread thread_;
    std::thread::id id_;
};

// Reports the end of a task that was stopped before it ran, from a thread of its own; joined
// by its task.
using TDoTerminateThread = std::jthread;
// Delivers one OnTerminate in background mode; each joins the one before it, so the reports
// arrive in order. Joined by the component.
using TDoTerminateThread_2 = std::jthread;

} // namespace tovik
