#pragma once
// The player's event ring: ten slots of position and state records between the playback
// threads and the event thread. Consecutive records of one kind collapse into the newest,
// and when the ring is full the oldest record is dropped, so a slow handler never holds up
// playback and never sees a backlog of stale positions.

#include "player/ManualEvent.h"
#include "player/PlayerTypes.h"

#include <array>
#include <chrono>
#include <mutex>

namespace tovik {

enum class TPlayerEventKind { pePosition = 1, peState = 2, peEndThread = 3 };

struct TPlayerEventRecord {
    TPlayerEventKind Kind = TPlayerEventKind::pePosition;
    TPlayState State = TPlayState::psPlay;
    int64_t Position = 0;
};

class TPlayerEventQueue {
public:
    static constexpr int kSlots = 10;

    void Post(const TPlayerEventRecord& record);
    // Takes the oldest record; false when there is none (and the not-empty signal is reset).
    bool Take(TPlayerEventRecord& record);
    // Waits for the not-empty signal; false on timeout.
    bool WaitNotEmpty(std::chrono::milliseconds timeout) { return notEmpty_.WaitFor(timeout); }
    void WaitNotEmpty() { notEmpty_.Wait(); }
    int PendingCount() const;
    void Clear();

private:
    mutable std::mutex mutex_; // guards slots_, readIndex_, writeIndex_
    std::array<TPlayerEventRecord, kSlots> slots_{};
    // readIndex_ is the slot taken last, writeIndex_ the slot written last: equal when empty.
    int readIndex_ = 0;
    int writeIndex_ = 0;
    TManualEvent notEmpty_{false};
};

} // namespace tovik
