// The reader side of playback: opening the file, choosing and opening the streams, the
// reader thread with its seeks, and closing everything again.

#include "media/CodecLock.h"
#include "media/MyUtils.h"
#include "media/TextFormat.h"
#include "media/UnicodeProtocol.h"
#include "platform/Dispatcher.h"
#include "player/MediaPlayer.h"
#include "player/Playback.h"

#include <chrono>
#include <cmath>
#include <cstring>
#include <utility>

namespace tovik {

namespace {

using namespace std::chrono_literals;

int InterruptCallback(void* opaque) {
    return static_cast<std::atomic<bool>*>(opaque)->load() ? 1 : 0;
}

// Degrees clockwise the stored picture must turn to stand upright (0, 90, 180, 270).
int RotationOf(const AVStream& stream) {
    for (int i = 0; i < stream.nb_side_data; ++i) {
        const AVPacketSideData& side = stream.side_data[i];
        if (side.type != AV_PKT_DATA_DISPLAYMATRIX || side.size < 9 * 4)
            continue;
        const double angle =
            -ff::av_display_rotation_get(reinterpret_cast<const int32_t*>(side.data));
        if (std::isnan(angle))
            return 0;
        int degrees = static_cast<int>(std::lrint(angle / 90.0)) * 90;
        degrees %= 360;
        if (degrees < 0)
            degrees += 360;
        return degrees;
    }
    return 0;
}

// Waits for a started status other than `while`, serving the main thread's pending calls.
void WaitWhileStatus(const std::atomic<int>& status, int whileValue) {
    const bool mainThread = IsMainThread();
    while (status.load() == whileValue) {
        if (mainThread)
            ProcessMessages();
        std::this_thread::sleep_for(10ms);
    }
}

} // namespace

TPlayback::TPlayback(TCustomPlayer& player) : player_(player) {}

TPlayback::~TPlayback() {
    Close();
}

double TPlayback::Now() {
    return static_cast<double>(ff::av_gettime_relative()) / 1000000.0;
}

std::unique_ptr<TPlayback> TPlayback::Open(TCustomPlayer& player, const std::string& fileName,
                                           bool startPaused) {
    std::unique_ptr<TPlayback> playback(new TPlayback(player));
    if (startPaused) {
        playback->paused_.store(true);
        playback->startPausedCounter_.store(1);
        playback->showNextWhilePaused_.store(true);
    }
    playback->fileName_ = fileName;
    try {
        playback->reader_ = std::thread([p = playback.get()] { p->ReaderThread(); });
    } catch (const std::system_error&) {
        player.ReportError("SDL_CreateThread() failed.", true);
        return nullptr;
    }
    WaitWhileStatus(playback->startedStatus_, 0);
    if (playback->startedStatus_.load() != 1) {
        WaitWhileStatus(playback->startedStatus_, -1);
        playback->Close();
        return nullptr;
    }
    playback->waveformOn_ = !playback->HasVideo() && !player.DisableDisplay();
    playback->refreshThread_ = std::thread([p = playback.get()] { p->RefreshThread(); });
    return playback;
}

void TPlayback::RequestAbort() {
    abortRequest_.store(true);
    readerWake_.Set();
    videoQueue_.Abort();
    audioQueue_.Abort();
    subtitleQueue_.Abort();
    { std::lock_guard lock(pictureMutex_); }
    pictureChanged_.notify_all();
    {
        std::lock_guard lock(subtitleMutex_);
        subtitleStreamChanged_ = true;
    }
    subtitleCond_.notify_all();
}

void TPlayback::Close() {
    RequestAbort();
    if (reader_.joinable())
        reader_.join();
    if (refreshThread_.joinable())
        refreshThread_.join();
    std::lock_guard lock(pictureMutex_);
    for (TPictureSlot& slot : pictures_) {
        slot.Overlay.reset();
        slot.Allocated = false;
    }
    shownFrame_.reset();
}

int TPlayback::OpenInput() {
    formatContext_ = ff::avformat_alloc_context();
    if (!formatContext_) {
        player_.ReportError("av_mallocz() failed.", true);
        return -1;
    }
    formatContext_->interrupt_callback.callback = InterruptCallback;
    formatContext_->interrupt_callback.opaque = &abortRequest_;

    AVDictionary* options = nullptr;
    const int width = player_.FrameWidth();
    const int height = player_.FrameHeight();
    if (width > 0 && height > 0)
        ff::av_dict_set(&options, "video_size", FormatText("%dx%d", width, height).c_str(), 0);
    std::string libraryName;
    try {
        libraryName = NameForLibrary(fileName_);
    } catch (const std::exception&) {
        ff::av_dict_free(&options);
        player_.ReportError(ErrorText(fileName_, AVERROR(ENAMETOOLONG)), true);
        return -1;
    }
    int error = OpenInputFormat(&formatContext_, libraryName, nullptr, &options);
    ff::av_dict_free(&options);
    if (error < 0) {
        // The library frees the context it was given when opening fails.
        formatContext_ = nullptr;
        player_.ReportError(ErrorText(fileName_, error), true);
        return -1;
    }
    {
        std::lock_guard lock(CodecLock());
        error = ff::avformat_find_stream_info(formatContext_, nullptr);
    }
    if (error < 0) {
        player_.ReportError(FormatText("%s: could not find codec parameters", fileName_.c_str()),
                            true);
        return -1;
    }
    if (formatContext_->pb)
        formatContext_->pb->eof_reached = 0;

    const AVInputFormat* input = formatContext_->iformat;
    seekByBytes_ = (input->flags & AVFMT_TS_DISCONT) != 0;
    imageSequence_ = std::strcmp(input->name, "image2") == 0;
    capture_ = std::strstr(input->name, "video4linux2") != nullptr ||
               std::strcmp(input->name, "x11grab") == 0;
    startTime_ = formatContext_->start_time != AV_NOPTS_VALUE ? formatContext_->start_time : 0;
    duration_ = formatContext_->duration != AV_NOPTS_VALUE ? formatContext_->duration : -1;

    for (unsigned i = 0; i < formatContext_->nb_streams; ++i)
        formatContext_->streams[i]->discard = AVDISCARD_ALL;
    int video = -1;
    int audio = -1;
    if (!player_.DisableVideo())
        video = ff::av_find_best_stream(formatContext_, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (!player_.DisableAudio())
        audio = ff::av_find_best_stream(formatContext_, AVMEDIA_TYPE_AUDIO, -1, video, nullptr, 0);
    int subtitle = -1;
    if (!player_.DisableVideo())
        subtitle = ff::av_find_best_stream(formatContext_, AVMEDIA_TYPE_SUBTITLE, -1,
                                           audio >= 0 ? audio : video, nullptr, 0);
    if (audio >= 0)
        OpenComponent(audio);
    if (video >= 0)
        OpenComponent(video);
    if (subtitle >= 0)
        OpenComponent(subtitle);
    if (!audioStream_ && !videoStream_) {
        player_.ReportError(
            FormatText("%s: could not open codecs, no stream to play.", fileName_.c_str()), true);
        return -1;
    }
    return 0;
}

bool TPlayback::OpenComponent(int streamIndex) {
    AVStream* stream = formatContext_->streams[streamIndex];
    const AVCodecParameters* parameters = stream->codecpar;
    const AVCodec* decoder = ff::avcodec_find_decoder(parameters->codec_id);
    TCodecContextPtr codec(decoder ? ff::avcodec_alloc_context3(decoder) : nullptr);
    if (!codec || ff::avcodec_parameters_to_context(codec.get(), parameters) < 0) {
        player_.ReportError("avcodec_open() failed.", false);
        return false;
    }
    codec->pkt_timebase = stream->time_base;
    codec->workaround_bugs = 1;
    codec->err_recognition = AV_EF_CAREFUL;
    codec->error_concealment = 3;
    // Automatic decoding threads: a 1080p picture needs more than one core.
    codec->thread_count = 0;
    int error;
    {
        std::lock_guard lock(CodecLock());
        error = ff::avcodec_open2(codec.get(), decoder, nullptr);
    }
    if (error < 0) {
        player_.ReportError("avcodec_open() failed.", false);
        return false;
    }
    switch (parameters->codec_type) {
    case AVMEDIA_TYPE_AUDIO: {
        const int channels = codec->ch_layout.nb_channels;
        if (!OpenAudioDevice(channels == 1 || channels == 2 ? channels : 2, codec->sample_rate)) {
            std::lock_guard lock(CodecLock());
            codec.reset();
            return false;
        }
        stream->discard = AVDISCARD_DEFAULT;
        audioIndex_ = streamIndex;
        audioStream_ = stream;
        audioCodec_ = std::move(codec);
        audioDuration_ = stream->duration != AV_NOPTS_VALUE
                             ? ff::av_rescale_q(stream->duration, stream->time_base, {1, 1000000})
                             : -1;
        audioFrame_ = MakeFrame();
        audioDecodedClock_ = static_cast<double>(startTime_) / 1000000.0;
        audioBlockStart_ = audioDecodedClock_;
        soundBuffer_.assign(kSoundBufferBytes, 0);
        soundBufferSize_ = 0;
        soundBufferIndex_ = 0;
        waveform_.assign(kWaveformSamples, 0);
        audioQueue_.PutFlush();
        audioDeviceOpen_ = true;
        sdl::SDL_PauseAudioDevice(audioDevice_, 0);
        return true;
    }
    case AVMEDIA_TYPE_VIDEO: {
        stream->discard = AVDISCARD_DEFAULT;
        rotation_ = RotationOf(*stream);
        const bool turned = rotation_ == 90 || rotation_ == 270;
        if (parameters->width > 0 && parameters->height > 0) {
            uprightWidth_ = turned ? parameters->height : parameters->width;
            uprightHeight_ = turned ? parameters->width : parameters->height;
        }
        videoIndex_ = streamIndex;
        videoStream_ = stream;
        {
            const AVRational rate = ff::av_guess_frame_rate(formatContext_, stream, nullptr);
            frameDuration_ = rate.num > 0 && rate.den > 0 ? ::av_q2d(::av_inv_q(rate)) : 0.04;
        }
        videoCodec_ = std::move(codec);
        videoQueue_.PutFlush();
        videoThread_ = std::thread([this] { VideoThread(); });
        return true;
    }
    case AVMEDIA_TYPE_SUBTITLE:
        stream->discard = AVDISCARD_DEFAULT;
        subtitleIndex_ = streamIndex;
        subtitleStream_ = stream;
        subtitleCodec_ = std::move(codec);
        subtitleQueue_.PutFlush();
        subtitleThread_ = std::thread([this] { SubtitleThread(); });
        return true;
    default: {
        std::lock_guard lock(CodecLock());
        codec.reset();
        return false;
    }
    }
}

void TPlayback::CloseComponent(int streamIndex) {
    if (streamIndex < 0 || !formatContext_)
        return;
    AVStream* stream = formatContext_->streams[streamIndex];
    // The stream fields stay as they are: other threads may still ask what was playing.
    if (streamIndex == videoIndex_) {
        if (!videoCodec_)
            return;
        videoQueue_.Abort();
        { std::lock_guard lock(pictureMutex_); }
        pictureChanged_.notify_all();
        if (videoThread_.joinable())
            videoThread_.join();
        videoQueue_.Flush();
        filterGraph_.reset();
        std::lock_guard lock(CodecLock());
        videoCodec_.reset();
    } else if (streamIndex == audioIndex_) {
        if (!audioCodec_)
            return;
        audioQueue_.Abort();
        if (audioDevice_)
            sdl::SDL_CloseAudioDevice(audioDevice_);
        audioDevice_ = 0;
        audioQueue_.Flush();
        resampler_.reset();
        ff::av_channel_layout_uninit(&resamplerLayout_);
        audioFrame_.reset();
        std::lock_guard lock(CodecLock());
        audioCodec_.reset();
    } else if (streamIndex == subtitleIndex_) {
        if (!subtitleCodec_)
            return;
        subtitleQueue_.Abort();
        {
            std::lock_guard lock(subtitleMutex_);
            subtitleStreamChanged_ = true;
        }
        subtitleCond_.notify_all();
        if (subtitleThread_.joinable())
            subtitleThread_.join();
        subtitleQueue_.Flush();
        {
            std::lock_guard lock(subtitleMutex_);
            for (TSubtitleSlot& slot : subtitles_)
                ff::avsubtitle_free(&slot.Subtitle);
            subtitleSize_ = subtitleRead_ = subtitleWrite_ = 0;
        }
        std::lock_guard lock(CodecLock());
        subtitleCodec_.reset();
    }
    stream->discard = AVDISCARD_ALL;
}

void TPlayback::ReaderThread() {
    int result = OpenInput();
    if (result < 0) {
        ReaderCleanup(result);
        return;
    }
    startedStatus_.store(1);

    bool endOfFile = false;
    bool endQueued = false;
    bool endLogged = false;
    bool lastPaused = false;
    TPacketPtr packet = MakePacket();
    while (!abortRequest_.load()) {
        const bool paused = paused_.load();
        if (paused != lastPaused) {
            lastPaused = paused;
            if (paused)
                lastReadPause_.store(ff::av_read_pause(formatContext_));
            else
                ff::av_read_play(formatContext_);
        }
        if (seekRequest_.load()) {
            CarryOutSeek();
            endOfFile = false;
            endQueued = false;
            endLogged = false;
        }
        if (audioQueue_.Size() + videoQueue_.Size() + subtitleQueue_.Size() > kMaxQueueBytes ||
            ((!audioStream_ || audioQueue_.Size() > kAudioQueueEnoughBytes) &&
             (!videoStream_ || videoQueue_.Count() > kVideoQueueEnoughPackets) &&
             (!subtitleStream_ || subtitleQueue_.Count() > kVideoQueueEnoughPackets))) {
            ReaderPause();
            continue;
        }
        if (endOfFile || (formatContext_->pb && ff::avio_feof(formatContext_->pb))) {
            if (!endQueued) {
                // The decoders give out what they still hold.
                if (videoStream_)
                    videoQueue_.PutEnd();
                if (audioStream_)
                    audioQueue_.PutEnd();
                endQueued = true;
            }
            if (videoStream_)
                player_.pictureAfterSeek_.Set();
            ReaderPause();
            if (audioQueue_.Count() == 0 && videoQueue_.Count() == 0 && subtitleQueue_.Count() == 0)
                finished_.store(true);
            continue;
        }
        reading_.store(true);
        const int error = ff::av_read_frame(formatContext_, packet.get());
        reading_.store(false);
        if (abortRequest_.load())
            break;
        if (error < 0) {
            if (error == AVERROR(EAGAIN)) {
                std::this_thread::sleep_for(10ms);
                continue;
            }
            if (videoStream_)
                player_.pictureAfterSeek_.Set();
            if (!imageSequence_ && !endLogged) {
                endLogged = true;
                if (error == AVERROR_EOF)
                    player_.Log(TLogLevel::llInfo,
                                FormatText("reach end of file: %s", fileName_.c_str()));
                else
                    player_.ReportError(
                        FormatText("error #%d while reading file: %s", error, fileName_.c_str()),
                        false);
            }
            if (error == AVERROR_EOF) {
                endOfFile = true;
                continue;
            }
            if (formatContext_->pb && formatContext_->pb->error)
                break;
            // A damaged stretch: go on as at the end until a seek.
            endOfFile = true;
            std::this_thread::sleep_for(100ms);
            continue;
        }
        const int index = packet->stream_index;
        if (index == audioIndex_)
            audioQueue_.Put(std::exchange(packet, MakePacket()));
        else if (index == videoIndex_)
            videoQueue_.Put(std::exchange(packet, MakePacket()));
        else if (index == subtitleIndex_)
            subtitleQueue_.Put(std::exchange(packet, MakePacket()));
        else
            ff::av_packet_unref(packet.get());
    }
    while (!abortRequest_.load())
        std::this_thread::sleep_for(100ms);
    ReaderCleanup(0);
}

void TPlayback::ReaderPause() {
    // A seek or the end wakes the reader at once: a seek must not wait out the pause.
    readerWake_.WaitFor(10ms);
    readerWake_.Reset();
}

void TPlayback::CarryOutSeek() {
    int64_t target;
    int64_t relative;
    int flags;
    {
        std::lock_guard lock(seekMutex_);
        target = seekTarget_;
        relative = seekRelative_;
        flags = seekFlags_;
    }
    // A time seek lands on the key frame at or before the target; the decoders then skip
    // what lies before it.
    int64_t minimum = INT64_MIN;
    int64_t maximum = INT64_MAX;
    const bool byBytes = (flags & AVSEEK_FLAG_BYTE) != 0;
    const bool exact = !byBytes && (flags & (AVSEEK_FLAG_ANY | AVSEEK_FLAG_FRAME)) == 0;
    if (exact)
        maximum = target;
    if (relative > 0)
        minimum = target - relative + 2;
    else if (relative < 0)
        maximum = std::min(maximum, target - relative - 2);
    int error = ff::avformat_seek_file(formatContext_, -1, minimum, target, maximum, flags);
    if (error < 0)
        error = ff::av_seek_frame(formatContext_, -1, target, flags);
    if (error < 0)
        error = ff::av_seek_frame(formatContext_, -1, target, flags ^ AVSEEK_FLAG_BACKWARD);
    if (error < 0) {
        player_.ReportError(FormatText("%s: error while seeking", fileName_.c_str()), false);
        if (videoStream_)
            player_.pictureAfterSeek_.Set();
    } else {
        const double skipUntil = exact ? static_cast<double>(target) / 1000000.0 : -1e300;
        if (audioStream_) {
            audioQueue_.Flush();
            audioSkipUntil_.store(skipUntil);
            audioQueue_.PutFlush();
        }
        if (subtitleStream_) {
            subtitleQueue_.Flush();
            subtitleQueue_.PutFlush();
        }
        if (videoStream_) {
            videoQueue_.Flush();
            videoSkipUntil_.store(skipUntil);
            flushSeen_.store(false);
            player_.pictureAfterSeek_.Reset();
            videoDrained_.store(false);
            videoQueue_.PutFlush();
        }
    }
    EndReported.store(false);
    finished_.store(false);
    seekApplied_.store(true);
    // A video thread waiting for a free picture slot drops its stale picture now.
    { std::lock_guard lock(pictureMutex_); }
    pictureChanged_.notify_all();
    // Only now: a refresh before the seek must not take the old picture for the new one.
    if (pausedAtSeek_.load())
        showNextWhilePaused_.store(true);
    {
        std::lock_guard lock(seekMutex_);
        seekRequest_.store(false);
    }
    player_.seekDone_.Set();
    if (!videoStream_)
        player_.seeking_.store(false);
}

void TPlayback::ReaderCleanup(int result) {
    if (startedStatus_.load() != 1)
        startedStatus_.store(-1);
    CloseComponent(audioIndex_);
    CloseComponent(videoIndex_);
    CloseComponent(subtitleIndex_);
    if (formatContext_) {
        if (player_.probe_.Context() == formatContext_)
            player_.probe_.AttachContext(nullptr);
        CloseInputFormat(&formatContext_);
        formatContext_ = nullptr;
    }
    if (result != 0 && startedStatus_.load() == 1)
        player_.PostPlayEvent({TPlayEventKind::pkQuit});
    if (startedStatus_.load() == -1)
        startedStatus_.store(-2);
}

bool TPlayback::Finished() const {
    if (!finished_.load())
        return false;
    if (!videoStream_)
        return true;
    std::lock_guard lock(pictureMutex_);
    return videoDrained_.load() && pictureSize_ == 0;
}

void TPlayback::TogglePause() {
    if (!player_.seekDone_.WaitFor(250ms))
        player_.seekDone_.Set();
    if (abortRequest_.load())
        return;
    if (paused_.load()) {
        const double now = Now();
        {
            std::lock_guard pictures(pictureMutex_);
            std::lock_guard lock(clockMutex_);
            const double shift = now + currentPtsDrift_ - currentPts_;
            frameTimer_ += shift;
            // Pictures already queued keep their distance from each other.
            for (int i = 0; i < pictureSize_; ++i)
                pictures_[(pictureRead_ + i) % kPictureSlots].TargetClock += shift;
            if (lastReadPause_.load() != AVERROR(ENOSYS))
                currentPts_ = currentPtsDrift_ + now;
            currentPtsDrift_ = currentPts_ - now;
        }
        paused_.store(false);
    } else {
        if (videoStream_ && !player_.pictureAfterSeek_.WaitFor(250ms))
            player_.pictureAfterSeek_.Set();
        if (abortRequest_.load())
            return;
        paused_.store(true);
    }
}

bool TPlayback::RequestSeek(int64_t target, int64_t relative, int flags) {
    std::lock_guard lock(seekMutex_);
    if (seekRequest_.load())
        return false;
    player_.seeking_.store(true);
    pausedAtSeek_.store(paused_.load());
    seekTarget_ = target;
    seekRelative_ = relative;
    seekFlags_ = flags & 0x0F;
    player_.seekDone_.Reset();
    seekRequest_.store(true);
    readerWake_.Set();
    return true;
}

void TPlayback::WaitForSeek() {
    const bool mainThread = IsMainThread();
    const auto waitFor = [&](TManualEvent& signal) {
        while (!signal.WaitFor(100ms)) {
            if (abortRequest_.load())
                return;
            if (mainThread)
                ProcessMessages();
        }
    };
    waitFor(player_.seekDone_);
    if (videoStream_)
        waitFor(player_.pictureAfterSeek_);
}

double TPlayback::AudioClock() const {
    std::lock_guard lock(audioMutex_);
    if (!audioClockRuns_ || paused_.load())
        return audioBlockStart_;
    const double elapsed = std::min(Now() - audioCallbackTime_, audioBlockSeconds_);
    return audioBlockStart_ + std::max(0.0, elapsed);
}

bool TPlayback::RunningAudioClock(double& clock) const {
    std::lock_guard lock(audioMutex_);
    if (!audioClockRuns_ || paused_.load())
        return false;
    const double elapsed = std::min(Now() - audioCallbackTime_, audioBlockSeconds_);
    clock = audioBlockStart_ + std::max(0.0, elapsed);
    return true;
}

double TPlayback::VideoClock() const {
    std::lock_guard lock(clockMutex_);
    if (paused_.load())
        return currentPts_;
    if (hasDrift_)
        return Now() + currentPtsDrift_;
    return static_cast<double>(startTime_) / 1000000.0;
}

double TPlayback::MasterClock() const {
    return audioDeviceOpen_ ? AudioClock() : VideoClock();
}

} // namespace tovik
