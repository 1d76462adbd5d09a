// A stage thread with its bounded frame queue.

#include "engine/FrameStage.h"

#include "engine/FFmpegException.h"

#include <utility>

namespace tovik {

TFrameStage::TFrameStage(size_t capacity, TWork work, bool threaded)
    : capacity_(capacity > 0 ? capacity : 1), work_(std::move(work)), threaded_(threaded) {
    if (threaded_)
        thread_ = std::thread([this] { Run(); });
}

TFrameStage::~TFrameStage() {
    Abort();
}

void TFrameStage::Push(AVFrame* frame) {
    if (!threaded_) {
        {
            std::lock_guard lock(mutex_);
            if (closed_)
                return;
            closed_ = frame == nullptr;
        }
        work_(frame);
        if (frame)
            ff::av_frame_unref(frame);
        return;
    }
    TFramePtr item;
    if (frame) {
        item = MakeFrame();
        ff::av_frame_move_ref(item.get(), frame);
    }
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return failed_ || aborted_ || queue_.size() < capacity_; });
    if (failed_)
        throw FFmpegException(error_);
    if (aborted_ || closed_)
        return;
    closed_ = item == nullptr;
    queue_.push_back(std::move(item));
    lock.unlock();
    changed_.notify_all();
}

void TFrameStage::Finish() {
    Push(nullptr);
    Join();
    std::lock_guard lock(mutex_);
    if (failed_)
        throw FFmpegException(error_);
}

void TFrameStage::Abort() {
    {
        std::lock_guard lock(mutex_);
        aborted_ = true;
        queue_.clear();
    }
    changed_.notify_all();
    Join();
}

void TFrameStage::Join() {
    if (thread_.joinable())
        thread_.join();
}

void TFrameStage::Run() {
    for (;;) {
        TFramePtr frame;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] { return aborted_ || !queue_.empty(); });
            if (aborted_)
                return;
            frame = std::move(queue_.front());
            queue_.pop_front();
        }
        changed_.notify_all(); // room for a waiting producer
        try {
            work_(frame.get());
        } catch (const std::exception& error) {
            {
                std::lock_guard lock(mutex_);
                failed_ = true;
                error_ = error.what();
                queue_.clear();
            }
            changed_.notify_all();
            return;
        }
        if (!frame)
            return;
    }
}

} // namespace tovik
