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
        // The window is used without the lock: it may report a close from any of its calls.
        TBitmap picture;
        int64_t time = 0;
        {
            std::lock_guard lock(mutex_);
            if (closed_)
                return;
            picture = bitmap_;
            time = frameTime_;
        }
        if (!window_) {
            window_ = factory_([this] { Close(); });
            std::lock_guard lock(mutex_);
            hasWindow_ = window_ != nullptr;
        }
        if (!window_)
            return;
        window_->ShowWindow(picture.Width(), picture.Height());
        window_->SetCaption(DurationText(time));
        window_->Draw(picture);
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
