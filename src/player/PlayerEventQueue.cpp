#include "player/PlayerEventQueue.h"

namespace tovik {

void TPlayerEventQueue::Post(const TPlayerEventRecord& record) {
    {
        std::lock_guard lock(mutex_);
        const bool empty = readIndex_ == writeIndex_;
        if (!empty && slots_[writeIndex_].Kind == record.Kind) {
            slots_[writeIndex_] = record;
        } else {
            writeIndex_ = (writeIndex_ + 1) % kSlots;
            if (writeIndex_ == readIndex_)
                readIndex_ = (readIndex_ + 1) % kSlots;
            slots_[writeIndex_] = record;
        }
    }
    notEmpty_.Set();
}

bool TPlayerEventQueue::Take(TPlayerEventRecord& record) {
    std::lock_guard lock(mutex_);
    if (readIndex_ == writeIndex_) {
        notEmpty_.Reset();
        return false;
    }
    readIndex_ = (readIndex_ + 1) % kSlots;
    record = slots_[readIndex_];
    if (readIndex_ == writeIndex_)
        notEmpty_.Reset();
    return true;
}

int TPlayerEventQueue::PendingCount() const {
    std::lock_guard lock(mutex_);
    return (writeIndex_ - readIndex_ + kSlots) % kSlots;
}

void TPlayerEventQueue::Clear() {
    std::lock_guard lock(mutex_);
    readIndex_ = writeIndex_ = 0;
    notEmpty_.Reset();
}

} // namespace tovik
