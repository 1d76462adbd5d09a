// The player's operations: loading the libraries, open, stop, pause, resume, seek and the
// current picture.

#include "player/MediaPlayer.h"

#include "media/LibrarySets.h"
#include "media/MediaLogger.h"
#include "media/SdlBindings.h"
#include "media/TextFormat.h"
#include "platform/Dispatcher.h"
#include "player/Playback.h"

#include <chrono>
#include <cstdlib>

namespace tovik {

namespace {
using namespace std::chrono_literals;
}

TCustomPlayer::TCustomPlayer() = default;

TCustomPlayer::~TCustomPlayer() {
    {
        std::lock_guard lock(handlerMutex_);
        OnPosition = nullptr;
        OnState = nullptr;
        OnHook = nullptr;
    }
    Stop(true);
    JoinFinishedThreads(true);
}

bool TCustomPlayer::LoadAVLib(const std::string& folder) {
    std::string error;
    if (LoadPlayerLibraries(folder, error))
        return true;
    std::lock_guard lock(errorMutex_);
    lastErrMsg_ = error;
    return false;
}

bool TCustomPlayer::AVLibLoaded() const {
    return PlayerLibrariesLoaded();
}

std::string TCustomPlayer::LastErrMsg() const {
    std::lock_guard lock(errorMutex_);
    return lastErrMsg_;
}

void TCustomPlayer::ReportError(const std::string& text, bool setLastError) {
    if (setLastError) {
        std::lock_guard lock(errorMutex_);
        lastErrMsg_ = text;
    }
    LoggerInstance().Log(this, TLogLevel::llError, text);
}

void TCustomPlayer::Log(TLogLevel level, const std::string& text) {
    LoggerInstance().Log(this, level, text);
}

void TCustomPlayer::SetAspectRatio(double value) {
    aspectRatio_.store(value);
    if (CurrentPlayback())
        PostPlayEvent({TPlayEventKind::pkRedraw});
}

void TCustomPlayer::SetAudioVolume(TAudioVolume value) {
    audioVolume_.store(value < 0 ? 0 : (value > kMaxAudioVolume ? kMaxAudioVolume : value));
}

std::shared_ptr<TPlayback> TCustomPlayer::CurrentPlayback() const {
    std::lock_guard lock(playbackMutex_);
    return playback_;
}

bool TCustomPlayer::Playing() const {
    return CurrentPlayback() != nullptr;
}

bool TCustomPlayer::StartSdl(TPlayerScreen* screen) {
    // The drivers of this platform that match the two named ones: the sound server, and
    // the sound card directly. The default leaves SDL's own choice (and SDL_AUDIODRIVER).
    if (audioDriver_ == TAudioDriver::adDirectSound)
        ::setenv("SDL_AUDIODRIVER", "pulseaudio", 1);
    else if (audioDriver_ == TAudioDriver::adWaveOut)
        ::setenv("SDL_AUDIODRIVER", "alsa", 1);
    if (sdl::SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        ReportError(FormatText("Could not initialize SDL with ScreenHandle(%u): %s",
                               screen ? screen->Handle() : 0u, sdl::SDL_GetError()),
                    true);
        return false;
    }
    sdlStarted_.store(true);
    const char* driver = sdl::SDL_GetCurrentAudioDriver();
    Log(TLogLevel::llDebug, FormatText("using audio driver: %s", driver ? driver : "none"));
    return true;
}

void TCustomPlayer::ShutdownSdl() {
    if (sdlStarted_.exchange(false))
        sdl::SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

bool TCustomPlayer::Open(const std::string& fileName, TPlayerScreen* screen, bool startPaused) {
    if (!AVLibLoaded()) {
        ReportError("libav or libsdl not loaded.", true);
        return false;
    }
    Stop(true);
    JoinFinishedThreads(true);
    {
        std::lock_guard lock(errorMutex_);
        lastErrMsg_.clear();
    }
    if (!StartSdl(screen))
        return false;
    if (disableDisplay_.load()) {
        disableVideo_.store(true);
        screen = nullptr;
    } else if (!screen) {
        // There is no output to show pictures on.
        ReportError("SDL_GetVideoInfo() failed", true);
        ShutdownSdl();
        return false;
    }
    screen_ = screen;
    events_.Clear();
    playEvents_.Clear();
    position_.store(-1);
    lastReported_.store(INT64_MIN);
    seeking_.store(false);
    seekDone_.Set();
    pictureAfterSeek_.Set();
    hookConverter_.Release();

    std::unique_ptr<TPlayback> opened = TPlayback::Open(*this, fileName, startPaused);
    if (!opened) {
        screen_ = nullptr;
        ShutdownSdl();
        return false;
    }
    std::shared_ptr<TPlayback> playback(std::move(opened));
    fileName_ = fileName;
    probe_.AttachContext(playback->FormatContext());
    {
        std::lock_guard lock(playbackMutex_);
        playback_ = playback;
    }
    if (screen_)
        screen_->SetListener(this);

    const int64_t duration = playback->ImageSequence() ? 0 : playback->Duration();
    int frameWidth = playback->FrameWidth();
    int frameHeight = playback->FrameHeight();
    if (frameWidth <= 0) {
        frameWidth = -1;
        frameHeight = -1;
    }
    int screenWidth = screenWidth_.load();
    int screenHeight = screenHeight_.load();
    TFileOpenEvent handler;
    {
        std::lock_guard lock(handlerMutex_);
        handler = OnFileOpen;
    }
    if (handler) {
        const auto call = [&] {
            handler(this, duration, frameWidth, frameHeight, screenWidth, screenHeight);
        };
        if (triggerInMainThread_.load() && !IsMainThread())
            CallInMainThread(call);
        else
            call();
    }
    if (screen_ && (screenWidth == 0 || screenHeight == 0)) {
        screenWidth = screen_->ScreenWidth();
        screenHeight = screen_->ScreenHeight();
    }
    screenWidth_.store(screenWidth);
    screenHeight_.store(screenHeight);

    eventThreadEnded_.store(false);
    eventThread_ = std::thread([this] { EventThread(); });
    playThreadEnded_.Reset();
    playThread_ = std::thread([this] { PlayThread(); });
    return true;
}

void TCustomPlayer::Stop(bool wait) {
    if (std::shared_ptr<TPlayback> playback = CurrentPlayback()) {
        if (playback->Paused())
            playback->TogglePause();
        PostPlayEvent({TPlayEventKind::pkQuit});
        if (wait)
            WaitForPlaybackEnd();
    }
    if (wait) {
        ShutdownSdl();
        JoinFinishedThreads(true);
    }
}

void TCustomPlayer::WaitForPlaybackEnd() {
    const bool mainThread = IsMainThread();
    int retries = 0;
    for (;;) {
        if (playThreadEnded_.WaitFor(100ms))
            return;
        if (mainThread)
            ProcessMessages();
        std::shared_ptr<TPlayback> playback = CurrentPlayback();
        if (!playback)
            break;
        if (!playerLock_.try_lock_for(100ms))
            continue;
        std::unique_lock lock(playerLock_, std::adopt_lock);
        ++retries;
        if (retries <= 10 || (retries <= 20 && !playback->Reading())) {
            PostPlayEvent({TPlayEventKind::pkQuit});
            continue;
        }
        // The play thread does not come to its quit request: end playback here, holding
        // the player lock so that no event of the play thread is half done.
        playback.reset();
        EndPlayback();
        break;
    }
    // The play thread leaves at its next event; let it report psStop.
    while (!playThreadEnded_.WaitFor(10ms))
        if (mainThread)
            ProcessMessages();
}

void TCustomPlayer::JoinFinishedThreads(bool waitForEventThread) {
    const bool mainThread = IsMainThread();
    if (playThread_.joinable() && playThread_.get_id() != std::this_thread::get_id() &&
        (waitForEventThread || playThreadEnded_.IsSet())) {
        // Once playback has ended the play thread is only reporting psStop.
        while (!playThreadEnded_.WaitFor(10ms))
            if (mainThread)
                ProcessMessages();
        playThread_.join();
    }
    if (!eventThread_.joinable() || eventThread_.get_id() == std::this_thread::get_id())
        return;
    // The event thread ends after delivering psStop; a handler running right now on this
    // thread is part of that delivery and cannot be waited for.
    if (handlerThread_.load() == std::this_thread::get_id() && !eventThreadEnded_.load())
        return;
    if (!waitForEventThread && !eventThreadEnded_.load())
        return;
    while (!eventThreadEnded_.load()) {
        if (mainThread)
            TDispatcher::Instance().WaitAndCheckSynchronize(10ms);
        else
            std::this_thread::sleep_for(1ms);
    }
    eventThread_.join();
}

void TCustomPlayer::EndPlayback() {
    std::shared_ptr<TPlayback> playback;
    {
        std::lock_guard lock(playbackMutex_);
        playback = std::move(playback_);
    }
    if (!playback)
        return;
    if (screen_)
        screen_->SetListener(nullptr);
    lastShown_.store(playback->ShownPictures());
    lastDropped_.store(playback->DroppedPictures());
    playback->Close();
    if (probe_.Context() == playback->FormatContext())
        probe_.AttachContext(nullptr);
    position_.store(-1);
    lastReported_.store(INT64_MIN);
    seeking_.store(false);
    ShutdownSdl();
}

void TCustomPlayer::Pause() {
    std::shared_ptr<TPlayback> playback = CurrentPlayback();
    if (!playback || playback->Paused())
        return;
    playback->TogglePause();
    ReportState(TPlayState::psPause);
}

void TCustomPlayer::Resume() {
    std::shared_ptr<TPlayback> playback = CurrentPlayback();
    if (!playback || !playback->Paused())
        return;
    playback->TogglePause();
    ReportState(TPlayState::psResume);
}

bool TCustomPlayer::Paused() const {
    std::shared_ptr<TPlayback> playback = CurrentPlayback();
    return !playback || playback->Paused();
}

void TCustomPlayer::Seek(int64_t position, int flags, bool wait) {
    std::shared_ptr<TPlayback> playback = CurrentPlayback();
    if (!playback)
        return;
    if ((flags & AVSEEK_FLAG_BYTE) == 0) {
        const int64_t duration = playback->Duration();
        if (duration >= 0 && position > duration)
            position = duration;
        position += playback->StartTime();
    }
    if (!playback->RequestSeek(position, 0, flags))
        return;
    if (wait)
        playback->WaitForSeek();
}

const TBitmap& TCustomPlayer::CurrentFrame() {
    int64_t pts;
    return CurrentFrame(pts);
}

const TBitmap& TCustomPlayer::CurrentFrame(int64_t& pts) {
    pts = -1;
    std::shared_ptr<TPlayback> playback = CurrentPlayback();
    if (!playback || !playback->HasVideo()) {
        snapshot_.SetSize(0, 0);
        return snapshot_;
    }
    TPictureConverter converter;
    if (!playback->CurrentPicture(converter, snapshot_, pts)) {
        // Nothing shown yet: black of the picture's size.
        snapshot_.SetSize(std::max(0, playback->FrameWidth()),
                          std::max(0, playback->FrameHeight()));
        pts = -1;
    }
    return snapshot_;
}

int64_t TCustomPlayer::ShownPictures() const {
    std::shared_ptr<TPlayback> playback = CurrentPlayback();
    return playback ? playback->ShownPictures() : lastShown_.load();
}

int64_t TCustomPlayer::DroppedPictures() const {
    std::shared_ptr<TPlayback> playback = CurrentPlayback();
    return playback ? playback->DroppedPictures() : lastDropped_.load();
}

} // namespace tovik
