// The video decoding thread: packets from the video queue become upright 4:2:0 pictures in
// the two-slot picture queue, each with the wall-clock time at which it is due. The frame
// hook runs here, on the picture about to be shown.

#include "media/TextFormat.h"
#include "player/MediaPlayer.h"
#include "player/Playback.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace tovik {

namespace {

using namespace std::chrono_literals;

// The filters that turn a stored picture upright.
const char* RotationFilters(int degrees) {
    switch (degrees) {
    case 90:
        return "transpose=clock,";
    case 180:
        return "hflip,vflip,";
    case 270:
        return "transpose=cclock,";
    default:
        return "";
    }
}

} // namespace

bool TPlayback::BuildVideoFilter(const AVFrame& frame) {
    filterGraph_.reset(ff::avfilter_graph_alloc());
    filterSource_ = nullptr;
    filterSink_ = nullptr;
    if (!filterGraph_)
        return false;
    filterGraph_->scale_sws_opts = ff::av_strdup("flags=bicubic");
    const AVRational timeBase = videoStream_->time_base;
    AVRational aspect = frame.sample_aspect_ratio;
    if (aspect.num <= 0 || aspect.den <= 0)
        aspect = {0, 1};
    const std::string sourceArguments =
        FormatText("video_size=%dx%d:pix_fmt=%d:time_base=%d/%d:pixel_aspect=%d/%d", frame.width,
                   frame.height, frame.format, timeBase.num, timeBase.den, aspect.num, aspect.den);
    if (ff::avfilter_graph_create_filter(&filterSource_, ff::avfilter_get_by_name("buffer"), "in",
                                         sourceArguments.c_str(), nullptr,
                                         filterGraph_.get()) < 0 ||
        ff::avfilter_graph_create_filter(&filterSink_, ff::avfilter_get_by_name("buffersink"),
                                         "out", nullptr, nullptr, filterGraph_.get()) < 0) {
        filterGraph_.reset();
        return false;
    }
    const std::string chain = std::string(RotationFilters(rotation_)) + "format=yuv420p";
    AVFilterInOut* outputs = ff::avfilter_inout_alloc();
    AVFilterInOut* inputs = ff::avfilter_inout_alloc();
    int error = AVERROR(ENOMEM);
    if (outputs && inputs) {
        outputs->name = ff::av_strdup("in");
        outputs->filter_ctx = filterSource_;
        outputs->pad_idx = 0;
        outputs->next = nullptr;
        inputs->name = ff::av_strdup("out");
        inputs->filter_ctx = filterSink_;
        inputs->pad_idx = 0;
        inputs->next = nullptr;
        error = ff::avfilter_graph_parse_ptr(filterGraph_.get(), chain.c_str(), &inputs, &outputs,
                                             nullptr);
        if (error >= 0)
            error = ff::avfilter_graph_config(filterGraph_.get(), nullptr);
    }
    ff::avfilter_inout_free(&outputs);
    ff::avfilter_inout_free(&inputs);
    if (error < 0) {
        filterGraph_.reset();
        return false;
    }
    filterWidth_ = frame.width;
    filterHeight_ = frame.height;
    filterFormat_ = frame.format;
    return true;
}

void TPlayback::FlushVideo() {
    ff::avcodec_flush_buffers(videoCodec_.get());
    // The screen drops the pictures from before the seek at once, not at its next tick.
    player_.PostPlayEvent({TPlayEventKind::pkRefresh});
    {
        std::unique_lock lock(pictureMutex_);
        for (TPictureSlot& slot : pictures_)
            slot.TargetClock = 0;
        pictureChanged_.wait(lock, [this] { return pictureSize_ == 0 || videoQueue_.Aborted(); });
    }
    {
        std::lock_guard lock(clockMutex_);
        currentPos_ = -1;
        frameLastPtsSet_ = false;
        frameLastDelay_ = 0;
        frameTimer_ = Now();
        skipFactor_ = 1.0f;
        skipCounter_ = 0;
    }
    videoDrained_.store(false);
    flushSeen_.store(true);
}

double TPlayback::TargetClockFor(double pts) {
    // Called with clockMutex_ held.
    double delay = pts - frameLastPts_;
    if (!frameLastPtsSet_ || delay <= 0 || delay >= kNoSyncThreshold)
        delay = frameLastDelay_;
    else
        frameLastDelay_ = delay;
    frameLastPts_ = pts;
    frameLastPtsSet_ = true;
    if (audioDeviceOpen_) {
        const double videoClock = paused_.load()
                                      ? currentPts_
                                      : (hasDrift_ ? Now() + currentPtsDrift_
                                                   : static_cast<double>(startTime_) / 1000000.0);
        const double diff = videoClock - AudioClock();
        if (std::fabs(diff) < kNoSyncThreshold) {
            const double threshold = std::max(delay, kSyncThresholdMin);
            if (diff <= -threshold)
                delay = 0;
            else if (diff >= threshold)
                delay = 2 * delay;
        }
    }
    frameTimer_ += delay;
    return frameTimer_;
}

TPlayback::TQueued TPlayback::QueuePicture(AVFrame& frame, double pts, int64_t bytePos) {
    const int width = frame.width & ~1;
    const int height = frame.height & ~1;
    if (width <= 0 || height <= 0)
        return TQueued::qQueued; // nothing to show; it still counts as given out
    std::unique_lock lock(pictureMutex_);
    if (pictureSize_ >= kPictureSlots && !refreshPending_.load()) {
        std::lock_guard clocks(clockMutex_);
        skipFactor_ = std::max(0.95f, skipFactor_ * 0.95f);
    }
    pictureChanged_.wait(lock, [this] {
        return pictureSize_ < kPictureSlots || videoQueue_.Aborted() || FlushWaiting();
    });
    if (videoQueue_.Aborted())
        return TQueued::qAborted;
    if (FlushWaiting())
        return TQueued::qDropped;
    TPictureSlot& slot = pictures_[pictureWrite_];
    if (!slot.Overlay || slot.Width != width || slot.Height != height) {
        slot.Allocated = false;
        slot.Width = width;
        slot.Height = height;
        player_.PostPlayEvent({TPlayEventKind::pkAllocate, pictureWrite_, 0});
        pictureChanged_.wait(lock, [&] { return slot.Allocated || videoQueue_.Aborted(); });
        if (videoQueue_.Aborted())
            return TQueued::qAborted;
    }
    AVFrame* overlay = slot.Overlay.get();
    lock.unlock();

    // The picture last shown may still hold this buffer (CurrentFrame reads it): give the
    // slot a buffer of its own instead of writing under it.
    if (!ff::av_frame_is_writable(overlay)) {
        ff::av_frame_unref(overlay);
        overlay->format = AV_PIX_FMT_YUV420P;
        overlay->width = width;
        overlay->height = height;
        if (ff::av_frame_get_buffer(overlay, 0) < 0)
            return TQueued::qAborted;
    }
    ff::av_image_copy(overlay->data, overlay->linesize, const_cast<const uint8_t**>(frame.data),
                      frame.linesize, AV_PIX_FMT_YUV420P, width, height);
    player_.RunHook(*overlay, std::llround(pts * 1000000.0) - startTime_);

    lock.lock();
    slot.Pts = pts;
    slot.BytePos = bytePos;
    slot.SampleAspect = frame.sample_aspect_ratio;
    {
        std::lock_guard clocks(clockMutex_);
        slot.TargetClock = TargetClockFor(pts);
    }
    pictureWrite_ = (pictureWrite_ + 1) % kPictureSlots;
    ++pictureSize_;
    return TQueued::qQueued;
}

bool TPlayback::GiveOutPicture(AVFrame& decoded, AVFrame& filtered, double frameDuration) {
    const AVRational timeBase = videoStream_->time_base;
    if (FlushWaiting()) {
        ff::av_frame_unref(&decoded);
        return true;
    }
    bool skip = false;
    {
        std::lock_guard lock(clockMutex_);
        skipCounter_ += 1;
        if (skipCounter_ < skipFactor_)
            skip = true;
        else
            skipCounter_ -= std::max(1.0f, skipFactor_);
    }
    if (skip) {
        droppedPictures_.fetch_add(1);
        ff::av_frame_unref(&decoded);
        return true;
    }
    if (!filterGraph_ || decoded.width != filterWidth_ || decoded.height != filterHeight_ ||
        decoded.format != filterFormat_) {
        if (!BuildVideoFilter(decoded)) {
            player_.ReportError("Cannot build the picture conversion", false);
            ff::av_frame_unref(&decoded);
            return true;
        }
    }
    const int64_t bytePos = decoded.pkt_pos;
    const int added = ff::av_buffersrc_add_frame_flags(filterSource_, &decoded, 0);
    ff::av_frame_unref(&decoded);
    if (added < 0)
        return true;
    while (ff::av_buffersink_get_frame(filterSink_, &filtered) >= 0) {
        if (seekApplied_.load() && flushSeen_.load()) {
            seekApplied_.store(false);
            pausedAtSeek_.store(false);
        }
        const bool hasTime = filtered.pts != AV_NOPTS_VALUE;
        double pts = hasTime ? static_cast<double>(filtered.pts) * ::av_q2d(timeBase) : 0;
        {
            std::lock_guard lock(clockMutex_);
            // A picture at time 0 is at time 0: after a seek back to the start, taking zero
            // for "no time" would give the first picture the time the clock had reached.
            if (hasTime)
                videoClockField_ = pts;
            else
                pts = videoClockField_;
            videoClockField_ += frameDuration * (1 + filtered.repeat_pict * 0.5);
        }
        const TQueued queued = QueuePicture(filtered, pts, bytePos);
        ff::av_frame_unref(&filtered);
        if (queued == TQueued::qAborted)
            return false;
        if (queued == TQueued::qDropped)
            continue;
        // A picture that was on its way when a seek came is not the picture after it.
        if (flushSeen_.load())
            player_.pictureAfterSeek_.Set();
        EndReported.store(false);
        if (!seekRequest_.load())
            player_.seeking_.store(false);
        const int counter = startPausedCounter_.load();
        if (counter == 1) {
            startPausedCounter_.store(2);
        } else if (counter >= 2) {
            startPausedCounter_.store(0);
            player_.ReportState(TPlayState::psPause);
        }
    }
    return true;
}

void TPlayback::VideoThread() {
    TFramePtr decoded = MakeFrame();
    TFramePtr filtered = MakeFrame();
    // The last picture passed over on the way to a seek's target: shown when the file ends
    // before the target (a seek past the last picture shows the last picture).
    TFramePtr passedOver = MakeFrame();
    bool givenOutSinceFlush = false;
    TPacketPtr packet;
    AVCodecContext* codec = videoCodec_.get();
    const AVRational timeBase = videoStream_->time_base;
    const double frameDuration = frameDuration_;
    bool drained = false;
    bool running = true;
    while (running) {
        while (paused_.load() && !videoQueue_.Aborted() && !pausedAtSeek_.load() &&
               startPausedCounter_.load() == 0)
            std::this_thread::sleep_for(10ms);
        if (videoQueue_.Aborted())
            break;
        int result = drained ? AVERROR_EOF : ff::avcodec_receive_frame(codec, decoded.get());
        if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) {
            if (result == AVERROR_EOF && !drained) {
                drained = true;
                if (!givenOutSinceFlush && passedOver->buf[0]) {
                    givenOutSinceFlush = true;
                    if (!GiveOutPicture(*passedOver, *filtered, frameDuration))
                        break;
                }
                // Every delayed picture is out: the end can be reported.
                videoDrained_.store(true);
                if (!EndReported.load())
                    player_.UpdatePosition(*this);
            }
            bool aborted = false;
            const TQueueEntry entry = videoQueue_.Get(packet, true, &aborted);
            if (aborted)
                break;
            if (entry == TQueueEntry::qeFlush) {
                FlushVideo();
                ff::av_frame_unref(passedOver.get());
                givenOutSinceFlush = false;
                drained = false;
            } else if (entry == TQueueEntry::qeEnd) {
                if (!drained)
                    ff::avcodec_send_packet(codec, nullptr);
            } else if (entry == TQueueEntry::qePacket) {
                if (drained) {
                    ff::avcodec_flush_buffers(codec);
                    drained = false;
                    videoDrained_.store(false);
                }
                // On the way to a seek's target, pictures nothing refers to need not be
                // decoded at all.
                const bool farBefore = packet->pts != AV_NOPTS_VALUE &&
                                       static_cast<double>(packet->pts) * ::av_q2d(timeBase) <
                                           videoSkipUntil_.load() - 2 * frameDuration;
                codec->skip_frame = farBefore ? AVDISCARD_NONREF : AVDISCARD_DEFAULT;
                ff::avcodec_send_packet(codec, packet.get());
                packet.reset();
            }
            continue;
        }
        if (result < 0)
            continue;
        const int64_t timestamp = decoded->best_effort_timestamp;
        const double pts = static_cast<double>(timestamp) * ::av_q2d(timeBase);
        // After an exact seek: what lies before the target is decoded only to get there.
        if (timestamp != AV_NOPTS_VALUE && pts < videoSkipUntil_.load() - frameDuration / 2) {
            ff::av_frame_unref(passedOver.get());
            ff::av_frame_move_ref(passedOver.get(), decoded.get());
            continue;
        }
        givenOutSinceFlush = true;
        running = GiveOutPicture(*decoded, *filtered, frameDuration);
    }
    filterGraph_.reset();
}

} // namespace tovik
