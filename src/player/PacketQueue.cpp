#include "player/PacketQueue.h"

namespace tovik {

void TPacketQueue::Push(TNode node) {
    {
        std::lock_guard lock(mutex_);
        ++count_;
        size_ += kPacketNodeBytes + (node.Packet ? node.Packet->size : 0);
        nodes_.push_back(std::move(node));
    }
    changed_.notify_one();
}

void TPacketQueue::Put(TPacketPtr packet) {
    Push(TNode{TQueueEntry::qePacket, std::move(packet)});
}

void TPacketQueue::PutFlush() {
    Push(TNode{TQueueEntry::qeFlush, nullptr});
}

void TPacketQueue::PutEnd() {
    Push(TNode{TQueueEntry::qeEnd, nullptr});
}

TQueueEntry TPacketQueue::Get(TPacketPtr& packet, bool block, bool* aborted) {
    std::unique_lock lock(mutex_);
    for (;;) {
        if (abort_) {
            if (aborted)
                *aborted = true;
            return TQueueEntry::qeNone;
        }
        if (!nodes_.empty()) {
            TNode node = std::move(nodes_.front());
            nodes_.pop_front();
            --count_;
            size_ -= kPacketNodeBytes + (node.Packet ? node.Packet->size : 0);
            packet = std::move(node.Packet);
            if (aborted)
                *aborted = false;
            return node.Kind;
        }
        if (!block) {
            if (aborted)
                *aborted = false;
            return TQueueEntry::qeNone;
        }
        changed_.wait(lock);
    }
}

void TPacketQueue::Flush() {
    std::deque<TNode> dropped;
    {
        std::lock_guard lock(mutex_);
        dropped.swap(nodes_);
        count_ = 0;
        size_ = 0;
    }
    // The packets are freed outside the lock.
}

void TPacketQueue::Abort() {
    {
        std::lock_guard lock(mutex_);
        abort_ = true;
    }
    changed_.notify_all();
}

void TPacketQueue::Start() {
    std::lock_guard lock(mutex_);
    abort_ = false;
}

bool TPacketQueue::Aborted() const {
    std::lock_guard lock(mutex_);
    return abort_;
}

int TPacketQueue::Count() const {
    std::lock_guard lock(mutex_);
    return count_;
}

int64_t TPacketQueue::Size() const {
    std::lock_guard lock(mutex_);
    return size_;
}

} // namespace tovik
