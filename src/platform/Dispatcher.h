#pragma once
// The main-thread dispatcher: how worker threads of the media kit hand work to the thread
// that owns the windows. A worker either waits for its call to run (Synchronize) or leaves it
// queued (Queue). The main thread runs pending calls in CheckSynchronize(); a GUI host wires
// SetWakeUpHandler() to its event loop so that calls run promptly, tests pump by hand.

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace tovik {

class TDispatcher {
public:
    // The process-wide dispatcher.
    static TDispatcher& Instance();

    // The thread that counts as the main thread; by default the thread that started the
    // process. Tests that run the kit elsewhere may re-point it.
    void SetMainThread(std::thread::id id);
    bool IsMainThread() const;

    // Runs call on the main thread and waits for it. On the main thread it runs directly.
    // An exception thrown by the call is re-thrown in the caller.
    void Synchronize(std::function<void()> call);
    // Leaves call to run on the main thread later; never waits.
    void Queue(std::function<void()> call);

    // Main thread: runs every pending call. Returns whether any ran.
    bool CheckSynchronize();
    // Main thread: waits until a call is pending or the timeout passes, then runs them.
    bool WaitAndCheckSynchronize(std::chrono::milliseconds timeout);
    // Main thread: runs pending calls and lets the host process its own events.
    void ProcessMessages();

    // Called (on any thread) whenever a call has been queued; a GUI host posts an event
    // to its loop that calls CheckSynchronize().
    void SetWakeUpHandler(std::function<void()> handler);
    // Called by ProcessMessages() to let the host process its own waiting events.
    void SetHostEventPump(std::function<void()> pump);

    size_t PendingCount() const;

private:
    TDispatcher();
    struct TPendingCall;
    void Enqueue(const std::shared_ptr<TPendingCall>& call);

    mutable std::mutex mutex_; // guards everything below
    std::condition_variable changed_;
    std::deque<std::shared_ptr<TPendingCall>> pending_;
    std::thread::id mainThread_;
    std::function<void()> wakeUp_;
    std::function<void()> hostPump_;
};

// Shorthands used throughout the kit.
inline bool IsMainThread() {
    return TDispatcher::Instance().IsMainThread();
}
// Runs method on the main thread, waiting for it; directly when already there.
inline void CallInMainThread(std::function<void()> method) {
    TDispatcher::Instance().Synchronize(std::move(method));
}
inline void ProcessMessages() {
    TDispatcher::Instance().ProcessMessages();
}

} // namespace tovik
