#include "platform/Dispatcher.h"

#include <exception>
#include <utility>

namespace tovik {

namespace {
// Static initialisation runs on the thread that starts the process.
const std::thread::id g_processMainThread = std::this_thread::get_id();
} // namespace

struct TDispatcher::TPendingCall {
    std::function<void()> call;
    bool waited = false;
    bool done = false; // guarded by the dispatcher's mutex
    std::exception_ptr error;
};

TDispatcher::TDispatcher() : mainThread_(g_processMainThread) {}

TDispatcher& TDispatcher::Instance() {
    static TDispatcher instance;
    return instance;
}

void TDispatcher::SetMainThread(std::thread::id id) {
    std::lock_guard lock(mutex_);
    mainThread_ = id;
}

bool TDispatcher::IsMainThread() const {
    std::lock_guard lock(mutex_);
    return std::this_thread::get_id() == mainThread_;
}

void TDispatcher::Enqueue(const std::shared_ptr<TPendingCall>& call) {
    std::function<void()> wakeUp;
    {
        std::lock_guard lock(mutex_);
        pending_.push_back(call);
        wakeUp = wakeUp_;
    }
    changed_.notify_all();
    if (wakeUp)
        wakeUp();
}

void TDispatcher::Synchronize(std::function<void()> call) {
    if (IsMainThread()) {
        call();
        return;
    }
    auto pending = std::make_shared<TPendingCall>();
    pending->call = std::move(call);
    pending->waited = true;
    Enqueue(pending);
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return pending->done; });
    if (pending->error)
        std::rethrow_exception(pending->error);
}

void TDispatcher::Queue(std::function<void()> call) {
    auto pending = std::make_shared<TPendingCall>();
    pending->call = std::move(call);
    Enqueue(pending);
}

bool TDispatcher::CheckSynchronize() {
    bool ranAny = false;
    for (;;) {
        std::shared_ptr<TPendingCall> next;
        {
            std::lock_guard lock(mutex_);
            if (pending_.empty())
                break;
            next = std::move(pending_.front());
            pending_.pop_front();
        }
        std::exception_ptr error;
        try {
            next->call();
        } catch (...) {
            error = std::current_exception();
        }
        ranAny = true;
        const bool waited = next->waited;
        {
            std::lock_guard lock(mutex_);
            next->done = true;
            if (waited) {
                // Hand the error over and let go of the call while still under the lock:
                // the waiting caller becomes its last owner and frees it on its own thread.
                next->error = std::exchange(error, nullptr);
                next.reset();
            }
        }
        changed_.notify_all();
        // A queued call has nobody else to re-throw to (a waited one has handed its error over).
        if (error)
            std::rethrow_exception(error);
    }
    return ranAny;
}

bool TDispatcher::WaitAndCheckSynchronize(std::chrono::milliseconds timeout) {
    {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, timeout, [&] { return !pending_.empty(); });
    }
    return CheckSynchronize();
}

void TDispatcher::ProcessMessages() {
    CheckSynchronize();
    std::function<void()> pump;
    {
        std::lock_guard lock(mutex_);
        pump = hostPump_;
    }
    if (pump)
        pump();
    CheckSynchronize();
}

void TDispatcher::SetWakeUpHandler(std::function<void()> handler) {
    std::lock_guard lock(mutex_);
    wakeUp_ = std::move(handler);
}

void TDispatcher::SetHostEventPump(std::function<void()> pump) {
    std::lock_guard lock(mutex_);
    hostPump_ = std::move(pump);
}

size_t TDispatcher::PendingCount() const {
    std::lock_guard lock(mutex_);
    return pending_.size();
}

} // namespace tovik
