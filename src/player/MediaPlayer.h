#pragma once
// The preview player component. It plays one media file with picture and sound: the
// pictures go to a host screen (TPlayerScreen), the sound to an SDL2 audio device. It
// reports the playing position and its state changes through events, lets the host draw on
// every picture before it is shown (OnHook), and hands out the current picture.
//
// Operations are called from one thread, normally the main thread. Events: OnFileOpen runs
// in the thread that calls Open (the main thread when TriggerEventInMainThread is set);
// OnPosition and OnState come from the event thread, through the main-thread dispatcher
// when TriggerEventInMainThread is set; OnHook runs on the video decoding thread.
// Assign the handlers while nothing plays; the destructor clears them first.

#include "media/MediaProbe.h"
#include "media/PictureToBitmap.h"
#include "player/PlayEventQueue.h"
#include "player/PlayerEventQueue.h"
#include "player/PlayerScreen.h"
#include "player/PlayerTypes.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace tovik {

class TPlayback;

class TCustomPlayer : public TMediaComponent, private TScreenListener {
public:
    TCustomPlayer();
    ~TCustomPlayer() override;

    std::string Version() const { return "1.0"; }

    TFileOpenEvent OnFileOpen;
    THookEvent OnHook;
    TPositionEvent OnPosition;
    TPlayStateEvent OnState;

    // The player's library set (FFmpeg and SDL) from the folder (empty: the system).
    bool LoadAVLib(const std::string& folder);
    bool AVLibLoaded() const;

    // Starts playing the file on screen (null with DisableDisplay). False with LastErrMsg.
    // The screen is borrowed: it must outlive the playback (Stop, or destroy the player, first).
    bool Open(const std::string& fileName, TPlayerScreen* screen, bool startPaused);
    // Ends playback; with wait, returns when it has ended (psStop delivered, unless called
    // from inside an event handler).
    void Stop(bool wait);
    void Pause();
    void Resume();
    // position in microseconds from the container start (a byte offset with flag 2); flags:
    // backward 1, byte 2, any 4, frame 8.
    void Seek(int64_t position, int flags, bool wait);
    bool Paused() const;
    // True while a file is open and playing (or paused).
    bool Playing() const;
    // The picture on screen as a 24-bit bitmap owned by the player, overwritten by the next
    // call: black of the frame size before the first picture, 0 x 0 without video.
    const TBitmap& CurrentFrame();
    const TBitmap& CurrentFrame(int64_t& pts);
    TMediaProbe& Probe() { return probe_; }
    // Microseconds from the container start; -1 before the first update and after the end.
    int64_t Position() const { return position_.load(); }
    std::string LastErrMsg() const;
    TPlayState State() const { return state_.load(); }
    // True from a seek request until its picture has been decoded.
    bool Seeking() const { return seeking_.load(); }

    double AspectRatio() const { return aspectRatio_.load(); }
    void SetAspectRatio(double value);
    TAudioDriver AudioDriver() const { return audioDriver_; }
    void SetAudioDriver(TAudioDriver value) { audioDriver_ = value; }
    TAudioVolume AudioVolume() const { return audioVolume_.load(); }
    void SetAudioVolume(TAudioVolume value);
    bool DisableAudio() const { return disableAudio_.load(); }
    void SetDisableAudio(bool value) { disableAudio_.store(value); }
    bool DisableVideo() const { return disableVideo_.load(); }
    void SetDisableVideo(bool value) { disableVideo_.store(value); }
    bool DisableDisplay() const { return disableDisplay_.load(); }
    void SetDisableDisplay(bool value) { disableDisplay_.store(value); }
    bool Mute() const { return mute_.load(); }
    void SetMute(bool value) { mute_.store(value); }
    int FrameWidth() const { return frameWidth_.load(); }
    void SetFrameWidth(int value) { frameWidth_.store(value); }
    int FrameHeight() const { return frameHeight_.load(); }
    void SetFrameHeight(int value) { frameHeight_.store(value); }
    bool Hook() const { return hook_.load(); }
    void SetHook(bool value) { hook_.store(value); }
    int ScreenWidth() const { return screenWidth_.load(); }
    void SetScreenWidth(int value) { screenWidth_.store(value); }
    int ScreenHeight() const { return screenHeight_.load(); }
    void SetScreenHeight(int value) { screenHeight_.store(value); }
    bool TriggerEventInMainThread() const { return triggerInMainThread_.load(); }
    void SetTriggerEventInMainThread(bool value) { triggerInMainThread_.store(value); }
    TVideoDriver VideoDriver() const { return videoDriver_; }
    void SetVideoDriver(TVideoDriver value) { videoDriver_ = value; }

    // For benchmarks: pictures shown and dropped by the current (or last) playback.
    int64_t ShownPictures() const;
    int64_t DroppedPictures() const;

    // The event ring, open for inspection by tests.
    TPlayerEventQueue& EventQueue() { return events_; }

protected:
    // Posts a position record (any thread).
    void PostPosition(int64_t position);
    // Stores the state and posts it (any thread).
    void ReportState(TPlayState state);

private:
    friend class TPlayback;

    // Logs at llError with the player as sender; with setLastError also keeps the text.
    void ReportError(const std::string& text, bool setLastError);
    void Log(TLogLevel level, const std::string& text);
    bool StartSdl(TPlayerScreen* screen);
    void ShutdownSdl();
    void FireFileOpen();
    void EndPlayback();
    void WaitForPlaybackEnd();
    void JoinFinishedThreads(bool waitForEventThread);
    std::shared_ptr<TPlayback> CurrentPlayback() const;
    void PostPlayEvent(const TPlayEvent& event) { playEvents_.Post(event); }

    // Called by the playback's threads.
    void UpdatePosition(TPlayback& playback);
    void RunHook(AVFrame& frame, int64_t pts);

    void PlayThread();
    // Paints the whole output black (at the start, and when the picture's place changes).
    void ClearScreen();
    void HandlePlayEvent(const TPlayEvent& event);
    void EventThread();
    template <typename Handler, typename... Args> void Fire(const Handler& handler, Args... args);

    // TScreenListener: the host's reports.
    void ScreenResized(int width, int height) override;
    void ScreenExposed() override;

    TMediaProbe probe_;

    // Properties.
    std::atomic<double> aspectRatio_{0};
    TAudioDriver audioDriver_ = TAudioDriver::adDefault;
    std::atomic<int> audioVolume_{kMaxAudioVolume};
    std::atomic<bool> disableAudio_{false};
    std::atomic<bool> disableVideo_{false};
    std::atomic<bool> disableDisplay_{false};
    std::atomic<bool> mute_{false};
    std::atomic<int> frameWidth_{0};
    std::atomic<int> frameHeight_{0};
    std::atomic<bool> hook_{false};
    std::atomic<int> screenWidth_{0};
    std::atomic<int> screenHeight_{0};
    std::atomic<bool> triggerInMainThread_{true};
    TVideoDriver videoDriver_ = TVideoDriver::vdDefault;

    // Run-time fields.
    mutable std::mutex playbackMutex_; // guards playback_ (the pointer, not the object)
    std::shared_ptr<TPlayback> playback_;
    std::string fileName_;            // caller's thread only
    TPlayerScreen* screen_ = nullptr; // set by Open before the play thread starts
    std::atomic<int64_t> position_{-1};
    std::atomic<int64_t> lastReported_{INT64_MIN};
    std::atomic<TPlayState> state_{TPlayState::psStop};
    std::atomic<bool> seeking_{false};
    std::atomic<bool> sdlStarted_{false};
    std::atomic<int64_t> lastShown_{0};
    std::atomic<int64_t> lastDropped_{0};
    mutable std::mutex errorMutex_; // guards lastErrMsg_
    std::string lastErrMsg_;

    // The player lock: held by the play thread while it handles one event, and by the end
    // of playback wait when it ends playback itself, so the two never overlap.
    std::timed_mutex playerLock_;
    TManualEvent seekDone_{true};
    TManualEvent pictureAfterSeek_{true};
    TManualEvent playThreadEnded_{true};

    TPlayEventQueue playEvents_;
    TPlayerEventQueue events_;
    std::thread playThread_;
    std::thread eventThread_;
    std::atomic<bool> eventThreadEnded_{true};
    // The thread running an OnPosition / OnState handler right now (a default id: none).
    std::atomic<std::thread::id> handlerThread_{};

    mutable std::recursive_mutex handlerMutex_; // guards the four On... handlers' reads

    // The hook's and the snapshot's pictures and conversions.
    TBitmap hookBitmap_;              // video thread
    TBitmap hookOriginal_;            // video thread
    TPictureConverter hookConverter_; // video thread
    TBitmap snapshot_;                // caller's thread
};

class TMediaPlayer : public TCustomPlayer {
public:
    using TCustomPlayer::TCustomPlayer;
};

} // namespace tovik
