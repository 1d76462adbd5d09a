#pragma once
// The play thread's own event queue: the requests the other threads make of it (allocate a
// picture slot, refresh, quit, redraw, the host's resize and expose).

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>

namespace tovik {

enum class TPlayEventKind { pkAllocate, pkRefresh, pkQuit, pkRedraw, pkResize, pkExpose };

struct TPlayEvent {
    TPlayEventKind Kind = TPlayEventKind::pkRefresh;
    int Width = 0;  // pkResize; the slot index for pkAllocate
    int Height = 0; // pkResize
};

class TPlayEventQueue {
public:
    void Post(const TPlayEvent& event) {
        {
            std::lock_guard lock(mutex_);
            events_.push_back(event);
        }
        changed_.notify_one();
    }
    // False when nothing came within the timeout.
    bool Wait(TPlayEvent& event, std::chrono::milliseconds timeout) {
        std::unique_lock lock(mutex_);
        if (!changed_.wait_for(lock, timeout, [this] { return !events_.empty(); }))
            return false;
        event = events_.front();
        events_.pop_front();
        return true;
    }
    void Clear() {
        std::lock_guard lock(mutex_);
        events_.clear();
    }

private:
    std::mutex mutex_; // guards events_
    std::condition_variable changed_;
    std::deque<TPlayEvent> events_;
};

} // namespace tovik
