#pragma once
// One opened file being played: the reader thread that fills three packet queues, the video
// decoding thread that fills a two-slot picture queue, the subtitle thread, the sound
// callback that decodes audio on demand, the clocks that keep picture and sound together,
// pause and seek. The play thread of the player (TCustomPlayer) shows what comes out:
// Refresh, Display and the slot allocation run there.

#include "media/Bitmap.h"
#include "media/FFmpegPtr.h"
#include "media/PictureToBitmap.h"
#include "media/SdlBindings.h"
#include "player/ManualEvent.h"
#include "player/PacketQueue.h"
#include "player/PlayerScreen.h"

#include <array>
#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace tovik {

class TCustomPlayer;

inline constexpr int kPictureSlots = 2;
inline constexpr int kSubtitleSlots = 4;
inline constexpr int64_t kMaxQueueBytes = 15 * 1024 * 1024;
inline constexpr int64_t kAudioQueueEnoughBytes = 327680;
inline constexpr int kVideoQueueEnoughPackets = 5;
inline constexpr int kSoundBufferBytes = 288000;
inline constexpr int kSoundBlockFrames = 1024;
inline constexpr int kWaveformSamples = 131072;
inline constexpr double kNoSyncThreshold = 10.0;
inline constexpr double kSyncThresholdMin = 0.01;

struct TPictureSlot {
    double Pts = 0;         // seconds
    double TargetClock = 0; // wall-clock seconds at which it is due
    int64_t BytePos = -1;
    TFramePtr Overlay; // the 4:2:0 picture, owned by the slot; allocated by the play thread
    int Width = 0;
    int Height = 0;
    bool Allocated = false;
    AVRational SampleAspect{0, 1};
};

struct TSubtitleSlot {
    AVSubtitle Subtitle{};
    double Pts = 0;
};

class TPlayback {
public:
    // Opens the file and starts the reader; null on failure (the player's LastErrMsg says
    // why). On the main thread it runs pending synchronous calls while it waits.
    static std::unique_ptr<TPlayback> Open(TCustomPlayer& player, const std::string& fileName,
                                           bool startPaused);
    ~TPlayback();
    TPlayback(const TPlayback&) = delete;
    TPlayback& operator=(const TPlayback&) = delete;

    // Ends every thread and closes the file (play thread, or the stopping caller).
    void Close();
    // Asks every thread to end without waiting for them.
    void RequestAbort();

    // Caller's thread.
    void TogglePause();
    bool Paused() const { return paused_.load(); }
    // Returns false when another seek is still pending (the request is ignored).
    bool RequestSeek(int64_t target, int64_t relative, int flags);
    // Waits for the seek to be carried out and, with a video stream, for the picture after it.
    void WaitForSeek();

    // Play thread.
    void AllocateSlot(int index);
    // Shows the picture that is due (advance) or shows the current one again.
    void Refresh(bool advance);
    // Shows the current picture (or the waveform) again.
    void Display();
    void ClearRefreshPending() { refreshPending_.store(false); }

    // Any thread.
    bool HasVideo() const { return videoStream_ != nullptr; }
    bool HasAudio() const { return audioDeviceOpen_; }
    bool ImageSequence() const { return imageSequence_; }
    bool Capture() const { return capture_; }
    int64_t StartTime() const { return startTime_; }
    int64_t Duration() const { return duration_; }
    int64_t AudioDuration() const { return audioDuration_; }
    AVFormatContext* FormatContext() const { return formatContext_; }
    // The upright size of the video stream, -1 x -1 without one.
    int FrameWidth() const { return uprightWidth_; }
    int FrameHeight() const { return uprightHeight_; }
    bool Finished() const;
    bool Reading() const { return reading_.load(); }
    double AudioClock() const;
    // The sound's clock while sound is being heard (false during silence and pause).
    bool RunningAudioClock(double& clock) const;
    double VideoClock() const;
    double MasterClock() const;
    // The current picture at its own size (false without one); its time in microseconds
    // from the container start.
    bool CurrentPicture(TPictureConverter& converter, TBitmap& bitmap, int64_t& pts);

    // Counts for the benchmarks: pictures shown, pictures dropped (late or skipped).
    int64_t ShownPictures() const { return shownPictures_.load(); }
    int64_t DroppedPictures() const { return droppedPictures_.load(); }

    // Position reporting state shared with the player.
    std::atomic<bool> EndReported{false};

private:
    explicit TPlayback(TCustomPlayer& player);

    // Reader thread.
    void ReaderThread();
    int OpenInput();
    bool OpenComponent(int streamIndex);
    void CloseComponent(int streamIndex);
    void CarryOutSeek();
    void ReaderPause();
    // A seek was carried out whose flush the video thread has not reached yet: what it
    // decodes until then is from before the seek.
    bool FlushWaiting() const { return seekApplied_.load() && !flushSeen_.load(); }
    void ReaderCleanup(int result);

    // Video thread.
    void VideoThread();
    bool BuildVideoFilter(const AVFrame& frame);
    void FlushVideo();
    enum class TQueued { qAborted, qDropped, qQueued };
    // Waits for a free slot and fills it; a picture from before a seek is dropped instead.
    TQueued QueuePicture(AVFrame& frame, double pts, int64_t bytePos);
    // Filters a decoded picture and queues what comes out; false when the queue was aborted.
    bool GiveOutPicture(AVFrame& decoded, AVFrame& filtered, double frameDuration);
    double TargetClockFor(double pts);

    // Subtitle thread.
    void SubtitleThread();

    // Sound.
    bool OpenAudioDevice(int channels, int sampleRate);
    static void SdlAudioCallback(void* userData, Uint8* stream, int length);
    void AudioCallback(uint8_t* stream, int length);
    // Decodes the next block into the sound buffer; its byte length, or -1 for none.
    int DecodeAudioBlock();
    bool ConvertAudio(const AVFrame& frame, int& bytes);

    // Refresh thread and display.
    void RefreshThread();
    void DisplayFrame(const AVFrame& frame, AVRational sampleAspect, int64_t pts);
    void DisplayWaveform();
    void BlendSubtitles(TBitmap& picture, const TScreenRect& target, double pts, int pictureWidth,
                        int pictureHeight);
    static double Now();

    TCustomPlayer& player_;

    // Fixed while the reader runs (set before the started status becomes 1).
    std::string fileName_;
    AVFormatContext* formatContext_ = nullptr;
    bool imageSequence_ = false;
    bool capture_ = false;
    bool seekByBytes_ = false;
    int64_t startTime_ = 0;
    int64_t duration_ = -1;
    int64_t audioDuration_ = -1;
    int audioIndex_ = -1;
    int videoIndex_ = -1;
    int subtitleIndex_ = -1;
    AVStream* audioStream_ = nullptr;
    AVStream* videoStream_ = nullptr;
    AVStream* subtitleStream_ = nullptr;
    TCodecContextPtr audioCodec_;
    TCodecContextPtr videoCodec_;
    TCodecContextPtr subtitleCodec_;
    double frameDuration_ = 0.04; // seconds per picture, as the stream's frame rate says
    int rotation_ = 0;            // degrees clockwise the picture must turn to stand upright
    int uprightWidth_ = -1;
    int uprightHeight_ = -1;
    bool audioDeviceOpen_ = false;
    SDL_AudioDeviceID audioDevice_ = 0;
    SDL_AudioSpec audioSpec_{}; // what the device opened with

    TPacketQueue audioQueue_;
    TPacketQueue videoQueue_;
    TPacketQueue subtitleQueue_;

    std::thread reader_;
    std::thread videoThread_;
    std::thread subtitleThread_;
    std::thread refreshThread_;

    // Flags polled across threads.
    std::atomic<bool> abortRequest_{false};
    std::atomic<bool> paused_{false};
    std::atomic<int> startedStatus_{0}; // 0 opening, 1 running, -1 failed, -2 cleaned up
    std::atomic<bool> refreshPending_{false};
    std::atomic<bool> finished_{false};
    std::atomic<bool> reading_{false};
    std::atomic<bool> seekApplied_{false};
    std::atomic<bool> flushSeen_{false};
    std::atomic<bool> pausedAtSeek_{false};
    std::atomic<int> startPausedCounter_{0};
    std::atomic<bool> videoDrained_{false};
    // While paused, the next picture that comes is shown (after a seek, or when starting
    // paused); other pictures wait for Resume.
    std::atomic<bool> showNextWhilePaused_{false};
    std::atomic<int> lastReadPause_{0};
    std::atomic<int64_t> shownPictures_{0};
    std::atomic<int64_t> droppedPictures_{0};

    // The pending seek request (caller -> reader).
    std::mutex seekMutex_; // guards the three fields below and seekRequest_ transitions
    int64_t seekTarget_ = 0;
    int64_t seekRelative_ = 0;
    int seekFlags_ = 0;
    std::atomic<bool> seekRequest_{false};
    // Wakes the reader from its pauses (full queues, end of file) when a seek or the end comes.
    TManualEvent readerWake_{false};
    // Pictures and samples before this time (seconds) are decoded but not kept, so that a
    // seek shows the picture of the time asked for, not of the key frame before it.
    std::atomic<double> videoSkipUntil_{-1e300};
    std::atomic<double> audioSkipUntil_{-1e300};

    // The picture queue: slots, size and indexes.
    mutable std::mutex pictureMutex_; // guards pictures_, pictureSize_, indexes, shownIndex_
    std::condition_variable pictureChanged_;
    std::array<TPictureSlot, kPictureSlots> pictures_;
    int pictureSize_ = 0;
    int pictureRead_ = 0;
    int pictureWrite_ = 0;
    // The picture last shown (kept referenced so CurrentFrame reads what is on screen).
    TFramePtr shownFrame_;
    AVRational shownAspect_{0, 1};
    int64_t shownPts_ = -1;

    // The subtitle queue.
    std::mutex subtitleMutex_; // guards subtitles_, subtitleSize_, indexes, subtitleChanged_
    std::condition_variable subtitleCond_;
    std::array<TSubtitleSlot, kSubtitleSlots> subtitles_;
    int subtitleSize_ = 0;
    int subtitleRead_ = 0;
    int subtitleWrite_ = 0;
    bool subtitleStreamChanged_ = false;

    // Video timing: written by the video thread and the play thread.
    mutable std::mutex clockMutex_; // guards the fields below
    double frameTimer_ = 0;
    double frameLastPts_ = 0;
    bool frameLastPtsSet_ = false;
    double frameLastDelay_ = 0;
    double videoClockField_ = 0; // time of the next expected picture
    double currentPts_ = 0;
    double currentPtsDrift_ = 0;
    bool hasDrift_ = false;
    int64_t currentPos_ = -1;
    float skipFactor_ = 1.0f;
    float skipCounter_ = 0;

    // Video thread only.
    TFilterGraphPtr filterGraph_;
    AVFilterContext* filterSource_ = nullptr;
    AVFilterContext* filterSink_ = nullptr;
    int filterWidth_ = 0;
    int filterHeight_ = 0;
    int filterFormat_ = -1;

    // Sound: the callback thread's decoding state.
    TFramePtr audioFrame_;
    TSwrContextPtr resampler_;
    AVChannelLayout resamplerLayout_{};
    int resamplerFormat_ = -1;
    int resamplerRate_ = 0;
    std::vector<uint8_t> soundBuffer_;
    int soundBufferSize_ = 0;
    int soundBufferIndex_ = 0;
    bool audioEnded_ = false;
    double audioDecodedClock_ = 0; // time just after the last decoded sample
    // Shared with the clock readers and the waveform display.
    mutable std::mutex audioMutex_; // guards the fields below
    double audioBlockStart_ = 0;    // time of the first sample of the block handed out last
    double audioCallbackTime_ = 0;
    double audioBlockSeconds_ = 0;
    bool audioClockRuns_ = false; // false while the device plays silence
    bool audioClockSet_ = false;
    std::vector<int16_t> waveform_;
    int waveformIndex_ = 0;
    int waveformChannels_ = 1;
    int waveformUnread_ = 0; // samples handed out but not yet heard, at the last callback
    std::atomic<bool> waveformOn_{false}; // read by the sound callback as well
    int waveformStart_ = 0;               // remembered while paused

    // Play thread only.
    TPictureConverter displayConverter_;
    TSwsContextPtr displayScaler_;
};

} // namespace tovik
