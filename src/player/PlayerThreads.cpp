// The player's two threads: the play thread, which handles the play events one at a time
// under the player lock, and the event thread, which delivers positions and states. Also
// the reporting of both, and the frame hook.

#include "media/MediaLogger.h"
#include "platform/Dispatcher.h"
#include "player/MediaPlayer.h"
#include "player/Playback.h"

#include <chrono>
#include <cmath>
#include <exception>

namespace tovik {

namespace {
using namespace std::chrono_literals;
}

void TCustomPlayer::PostPosition(int64_t position) {
    TPlayerEventRecord record;
    record.Kind = TPlayerEventKind::pePosition;
    record.Position = position;
    events_.Post(record);
}

void TCustomPlayer::ReportState(TPlayState state) {
    state_.store(state);
    bool assigned;
    {
        std::lock_guard lock(handlerMutex_);
        assigned = static_cast<bool>(OnState);
    }
    TPlayerEventRecord record;
    if (assigned) {
        record.Kind = TPlayerEventKind::peState;
        record.State = state;
    } else if (state == TPlayState::psStop) {
        record.Kind = TPlayerEventKind::peEndThread;
    } else {
        return;
    }
    events_.Post(record);
}

template <typename Handler, typename... Args>
void TCustomPlayer::Fire(const Handler& handler, Args... args) {
    Handler copy;
    {
        std::lock_guard lock(handlerMutex_);
        copy = handler;
    }
    if (!copy)
        return;
    const auto call = [&] {
        handlerThread_.store(std::this_thread::get_id());
        try {
            copy(this, args...);
        } catch (const std::exception& error) {
            Log(TLogLevel::llError,
                std::string("Error in a player event handler: ") + error.what());
        }
        handlerThread_.store(std::thread::id());
    };
    if (triggerInMainThread_.load())
        CallInMainThread(call);
    else
        call();
}

void TCustomPlayer::EventThread() {
    for (;;) {
        TPlayerEventRecord record;
        bool end = false;
        while (!end && events_.Take(record)) {
            switch (record.Kind) {
            case TPlayerEventKind::pePosition:
                Fire(OnPosition, record.Position);
                break;
            case TPlayerEventKind::peState:
                Fire(OnState, record.State);
                end = record.State == TPlayState::psStop;
                break;
            case TPlayerEventKind::peEndThread:
                end = true;
                break;
            }
        }
        if (end)
            break;
        events_.WaitNotEmpty();
    }
    eventThreadEnded_.store(true);
}

void TCustomPlayer::ClearScreen() {
    if (screen_)
        screen_->Fill({0, 0, screenWidth_.load(), screenHeight_.load()}, 0x000000);
}

void TCustomPlayer::PlayThread() {
    ReportState(TPlayState::psPlay);
    ClearScreen();
    for (;;) {
        TPlayEvent event;
        if (!playEvents_.Wait(event, 100ms)) {
            if (!CurrentPlayback())
                break;
            continue;
        }
        std::lock_guard lock(playerLock_);
        if (!CurrentPlayback())
            break;
        try {
            HandlePlayEvent(event);
        } catch (const std::exception& error) {
            Log(TLogLevel::llFatal, std::string("PlayThread Exception: ") + error.what());
            EndPlayback();
        }
        if (!CurrentPlayback())
            break;
    }
    ReportState(TPlayState::psStop);
    playThreadEnded_.Set();
}

void TCustomPlayer::HandlePlayEvent(const TPlayEvent& event) {
    std::shared_ptr<TPlayback> playback = CurrentPlayback();
    switch (event.Kind) {
    case TPlayEventKind::pkQuit:
        playback.reset();
        EndPlayback();
        break;
    case TPlayEventKind::pkResize:
        screenWidth_.store(event.Width);
        screenHeight_.store(event.Height);
        // The picture's place changes: what lay around the old one must not stay.
        ClearScreen();
        if (playback->Paused())
            playback->Refresh(false);
        break;
    case TPlayEventKind::pkExpose:
        if (playback->Paused())
            playback->Refresh(false);
        else
            playback->Display();
        break;
    case TPlayEventKind::pkAllocate:
        playback->AllocateSlot(event.Width);
        break;
    case TPlayEventKind::pkRefresh:
        playback->Refresh(true);
        playback->ClearRefreshPending();
        break;
    case TPlayEventKind::pkRedraw:
        ClearScreen();
        playback->Display();
        break;
    }
}

void TCustomPlayer::ScreenResized(int width, int height) {
    PostPlayEvent({TPlayEventKind::pkResize, width, height});
}

void TCustomPlayer::ScreenExposed() {
    PostPlayEvent({TPlayEventKind::pkExpose});
}

void TCustomPlayer::UpdatePosition(TPlayback& playback) {
    if (playback.ImageSequence())
        return;
    const int64_t start = playback.StartTime();
    const int64_t duration = playback.Duration();
    const double clock = playback.HasVideo() ? playback.VideoClock() : playback.AudioClock();
    int64_t position = std::llround(clock * 1000000.0) - start;
    if (!playback.HasVideo()) {
        const int64_t audioDuration = playback.AudioDuration();
        if (audioDuration > 0 && position >= audioDuration && position < duration)
            position = duration;
    }
    position_.store(position);
    if (duration > 0 && position >= duration) {
        position = duration;
        position_.store(position);
        if (lastReported_.load() != duration)
            lastReported_.store(0);
    }
    const int64_t last = lastReported_.load();
    if (last == INT64_MIN || std::llabs(position - last) > 10000) {
        lastReported_.store(position);
        bool assigned;
        {
            std::lock_guard lock(handlerMutex_);
            assigned = static_cast<bool>(OnPosition);
        }
        if (assigned)
            PostPosition(position);
    }
    // The end is reported once, until a seek or a new picture brings playback back.
    if (!playback.Capture() && !playback.EndReported.load() && playback.Finished()) {
        playback.EndReported.store(true);
        ReportState(TPlayState::psEnd);
    }
}

void TCustomPlayer::RunHook(AVFrame& frame, int64_t pts) {
    if (!hook_.load())
        return;
    THookEvent handler;
    {
        std::lock_guard lock(handlerMutex_);
        handler = OnHook;
    }
    if (!handler)
        return;
    // The bitmap follows the picture's size, also when it changes within a file.
    if (!hookConverter_.FrameToEditableBitmap(frame, hookBitmap_, hookOriginal_)) {
        ReportError("Cannot initialize the toRGB conversion context", false);
        return;
    }
    {
        std::lock_guard canvas(hookBitmap_.CanvasLock());
        try {
            handler(this, hookBitmap_, pts);
        } catch (const std::exception& error) {
            ReportError(std::string("Error occurs OnHook: ") + error.what(), false);
            return;
        } catch (...) {
            ReportError("Error occurs OnHook: unknown error", false);
            return;
        }
    }
    if (hookBitmap_.Width() != frame.width || hookBitmap_.Height() != frame.height) {
        ReportError("OnHook changed the picture size: the picture is shown as it was.", false);
        return;
    }
    // Only the band of rows the handler changed goes back, as in the engine's hook.
    const int height = frame.height;
    const auto changed = [&](int y) {
        return hookConverter_.RowChanged(frame, hookBitmap_, hookOriginal_, y);
    };
    int first = 0;
    while (first < height && !changed(first))
        ++first;
    if (first == height)
        return;
    int last = height - 1;
    while (last > first && !changed(last))
        --last;
    if (!hookConverter_.BitmapRowsToPicture(hookBitmap_, first, last - first + 1, frame.data,
                                            frame.linesize,
                                            static_cast<AVPixelFormat>(frame.format)))
        ReportError("Cannot initialize the fromRGB conversion context", false);
}

} // namespace tovik
