#include "engine/Previewer.h"

#include "media/MyUtils.h"
#include "platform/Dispatcher.h"

namespace tovik {

TPreviewer::TPreviewer(TPreviewWindowFactory factory) : factory_(std::move(factory)) {}

TPreviewer::~TPreviewer() {
    if (window_)
        CallInMainThread([this] { window_.reset(); });
}

bool TPreviewer::Show(const TBitmap& bitmap, int frameNumber, int64_t frameTime) {
    {
        std::lock_guard lock(mutex_);
        if (closed_)
            return false;
        bitmap_ = bitmap;
        frameNumber_ = frameNumber;
        frameTime_ = frameTime;
    }
    if (!factory_)
        return true;
    CallInMainThread([this] {
        std::lock_guard lock(mutex_);
        if (closed_)
            return;
        if (!window_) {
            // The window reports a close later, from its own event, never from in here.
            window_ = factory_([this] { Close(); });
            hasWindow_ = window_ != nullptr;
            if (!window_)
                return;
        }
        window_->ShowWindow(bitmap_.Width(), bitmap_.Height());
        window_->SetCaption(DurationText(frameTime_));
        window_->Draw(bitmap_);
    });
    return !Closed();
}

void TPreviewer::Close() {
    std::lock_guard lock(mutex_);
    closed_ = true;
}

bool TPreviewer::Closed() const {
    std::lock_guard lock(mutex_);
    return closed_;
}

int TPreviewer::FrameNumber() const {
    std::lock_guard lock(mutex_);
    return frameNumber_;
}

int64_t TPreviewer::FrameTime() const {
    std::lock_guard lock(mutex_);
    return frameTime_;
}

bool TPreviewer::HasWindow() const {
    std::lock_guard lock(mutex_);
    return hasWindow_;
}

} // namespace tovik
