#pragma once
// A bounded-by-its-reader queue of demuxed packets between the reader thread and one
// decoder. Besides packets it carries the flush marker, which tells the decoder to drop its
// state (at stream open and after every seek), and the end-of-data entry, which makes the
// decoder give out the pictures or samples it still holds.

#include "media/FFmpegPtr.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>

namespace tovik {

// What a node adds to a queue's byte size besides its packet's data.
inline constexpr int64_t kPacketNodeBytes = 72;

enum class TQueueEntry { qeNone, qePacket, qeFlush, qeEnd };

class TPacketQueue {
public:
    TPacketQueue() = default;
    TPacketQueue(const TPacketQueue&) = delete;
    TPacketQueue& operator=(const TPacketQueue&) = delete;
    ~TPacketQueue() { Flush(); }

    // Takes the packet over (it must own its data: the demuxer's packets do).
    void Put(TPacketPtr packet);
    void PutFlush();
    void PutEnd();
    // Blocking or not: qeNone when nothing is there (not blocking) or the queue was aborted
    // (aborted tells which); otherwise the entry, with packet set for qePacket.
    TQueueEntry Get(TPacketPtr& packet, bool block, bool* aborted = nullptr);

    // Drops every entry.
    void Flush();
    // Wakes every waiter; Get fails from now on until Start.
    void Abort();
    void Start();
    bool Aborted() const;

    int Count() const;
    int64_t Size() const;

private:
    struct TNode {
        TQueueEntry Kind = TQueueEntry::qePacket;
        TPacketPtr Packet;
    };
    void Push(TNode node);

    mutable std::mutex mutex_; // guards the fields below
    std::condition_variable changed_;
    std::deque<TNode> nodes_;
    int count_ = 0;
    int64_t size_ = 0;
    bool abort_ = false;
};

} // namespace tovik
