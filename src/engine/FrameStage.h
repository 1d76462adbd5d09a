#pragma once
// One stage of a running conversion on a thread of its own: the thread takes frames from a
// small bounded queue and hands each to the stage's work, so that the stage runs beside the
// stages that feed it. Producers wait while the queue is full, so memory stays flat however
// far ahead they are. A null frame ends the stream: the work drains what it holds.

#include "media/FFmpegPtr.h"

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace tovik {

class TFrameStage {
public:
    // The stage's work; null: the end of the stream. It may raise an exception: the stage
    // then fails, drops what is queued and ends.
    using TWork = std::function<void(AVFrame* frame)>;

    // threaded false: no thread; Push does the work at once in the caller's thread, so a
    // conversion runs all its stages one after another.
    TFrameStage(size_t capacity, TWork work, bool threaded);
    ~TFrameStage(); // aborts
    TFrameStage(const TFrameStage&) = delete;
    TFrameStage& operator=(const TFrameStage&) = delete;

    // Takes the frame's reference over (the frame is left blank); null ends the stream, and
    // later pushes are ignored. Waits while the queue is full. Raises FFmpegException with
    // the stage's error once the stage failed.
    void Push(AVFrame* frame);
    // Ends the stream if that was not done, waits until everything pushed was worked on,
    // and raises the stage's failure.
    void Finish();
    // Drops what is queued and ends the thread without working on the rest.
    void Abort();

private:
    void Run();
    void Join();

    const size_t capacity_;
    const TWork work_;
    const bool threaded_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<TFramePtr> queue_; // guarded by mutex_; a null entry ends the stream
    bool closed_ = false;         // guarded by mutex_: the end of the stream was pushed
    bool aborted_ = false;        // guarded by mutex_
    bool failed_ = false;         // guarded by mutex_
    std::string error_;           // guarded by mutex_: the work's failure
    std::thread thread_;          // started by the constructor, joined by the owner's thread
};

} // namespace tovik
