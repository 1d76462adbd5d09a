#include "engine/ConvertThread.h"

#include "media/MediaLogger.h"
#include "platform/Threads.h"

namespace tovik {

int NiceValueOf(TThreadPriority priority) {
    switch (priority) {
    case TThreadPriority::tpIdle:
    case TThreadPriority::tpLowest:
        return 10;
    case TThreadPriority::tpLower:
        return 5;
    case TThreadPriority::tpNormal:
        return 0;
    case TThreadPriority::tpHigher:
        return -5;
    case TThreadPriority::tpHighest:
        return -10;
    case TThreadPriority::tpTimeCritical:
        return -20;
    }
    return 0;
}

bool ApplyThreadPriority(TThreadPriority priority) {
    // Set the policy and nice value every time: a thread inherits both from the thread that
    // created it, which may be the worker of the previous task.
    const bool ok = platform::SetCurrentThreadScheduling(priority == TThreadPriority::tpIdle,
                                                         NiceValueOf(priority));
    if (!ok)
        LoggerInstance().LogFmt(nullptr, TLogLevel::llDebug,
                                "Thread priority %d not applied; the thread keeps its priority",
                                static_cast<int>(priority));
    return ok;
}

void TManualResetEvent::Set() {
    {
        std::lock_guard lock(mutex_);
        signalled_ = true;
    }
    changed_.notify_all();
}

void TManualResetEvent::Reset() {
    std::lock_guard lock(mutex_);
    signalled_ = false;
}

bool TManualResetEvent::IsSet() const {
    std::lock_guard lock(mutex_);
    return signalled_;
}

bool TManualResetEvent::WaitFor(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [this] { return signalled_; });
}

void TManualResetEvent::Wait() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return signalled_; });
}

TConvertThread::TConvertThread(std::function<void()> body, TThreadPriority priority)
    : priority_(priority) {
    thread_ = std::thread([this, body = std::move(body)] {
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] { return released_; });
            if (!run_)
                return;
        }
        ApplyThreadPriority(priority_);
        body();
    });
    id_ = thread_.get_id();
}

TConvertThread::~TConvertThread() {
    {
        std::lock_guard lock(mutex_);
        released_ = true; // a thread never resumed ends without running its body
    }
    changed_.notify_all();
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id())
        thread_.join();
    else if (thread_.joinable())
        thread_.detach(); // destroyed by its own body: nothing is left for it to touch
}

void TConvertThread::Resume() {
    {
        std::lock_guard lock(mutex_);
        if (released_)
            return;
        released_ = true;
        run_ = true;
    }
    changed_.notify_all();
}

} // namespace tovik
