#pragma once
// A manual-reset signal: stays set until reset, every waiter sees it.

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace tovik {

class TManualEvent {
public:
    explicit TManualEvent(bool initiallySet) : set_(initiallySet) {}

    void Set() {
        {
            std::lock_guard lock(mutex_);
            set_ = true;
        }
        changed_.notify_all();
    }
    void Reset() {
        std::lock_guard lock(mutex_);
        set_ = false;
    }
    bool IsSet() const {
        std::lock_guard lock(mutex_);
        return set_;
    }
    // True when the signal is set within the timeout.
    bool WaitFor(std::chrono::milliseconds timeout) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, timeout, [this] { return set_; });
    }
    void Wait() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return set_; });
    }

private:
    mutable std::mutex mutex_; // guards set_
    std::condition_variable changed_;
    bool set_;
};

} // namespace tovik
