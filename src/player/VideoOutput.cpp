// Presentation, on the play thread: the refresh that shows each picture at its time (or
// drops it when late), the picture and waveform display on the host screen, and the
// allocation of the picture slots. CurrentPicture runs on the caller's thread.

#include "media/BgrFromYuv.h"
#include "player/MediaPlayer.h"
#include "player/Playback.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>

namespace tovik {

namespace {

using namespace std::chrono_literals;

// Half the refresh interval: a picture due within it is shown now rather than a refresh late.
constexpr double kRefreshSlack = 0.0025;
// At most three of four decoded pictures are passed over when the decoder falls behind.
constexpr float kMaxSkipFactor = 4.0f;

double SubtitleStart(const TSubtitleSlot& slot) {
    return slot.Pts + slot.Subtitle.start_display_time / 1000.0;
}
double SubtitleEnd(const TSubtitleSlot& slot) {
    return slot.Pts + slot.Subtitle.end_display_time / 1000.0;
}

} // namespace

void TPlayback::RefreshThread() {
    while (!abortRequest_.load()) {
        if (!refreshPending_.exchange(true))
            player_.PostPlayEvent({TPlayEventKind::pkRefresh});
        std::this_thread::sleep_for(audioDeviceOpen_ && waveformOn_ ? 20ms : 5ms);
    }
}

void TPlayback::AllocateSlot(int index) {
    {
        std::lock_guard lock(pictureMutex_);
        TPictureSlot& slot = pictures_[static_cast<size_t>(index)];
        slot.Overlay = MakeFrame();
        if (slot.Overlay) {
            slot.Overlay->format = AV_PIX_FMT_YUV420P;
            slot.Overlay->width = slot.Width;
            slot.Overlay->height = slot.Height;
            if (ff::av_frame_get_buffer(slot.Overlay.get(), 0) < 0)
                slot.Overlay.reset();
        }
        // Without an overlay the video thread gives up (as on abort) rather than wait.
        if (!slot.Overlay) {
            player_.ReportError("Cannot allocate a picture", false);
            videoQueue_.Abort();
        }
        slot.Allocated = true;
    }
    pictureChanged_.notify_all();
}

void TPlayback::Refresh(bool advance) {
    if (!videoStream_) {
        if (audioDeviceOpen_ && waveformOn_)
            DisplayWaveform();
        player_.UpdatePosition(*this);
        return;
    }
    if (!advance) {
        Display();
        player_.UpdatePosition(*this);
        return;
    }
    bool dropped = false;
    for (;;) {
        std::unique_lock lock(pictureMutex_);
        if (pictureSize_ == 0)
            break;
        TPictureSlot& slot = pictures_[static_cast<size_t>(pictureRead_)];
        const bool seekApplied = seekApplied_.load();
        const bool pausedShow = paused_.load() && !seekApplied;
        if (pausedShow && !showNextWhilePaused_.load())
            break;
        const double now = Now();
        const TPictureSlot* next =
            pictureSize_ > 1 ? &pictures_[static_cast<size_t>((pictureRead_ + 1) % kPictureSlots)]
                             : nullptr;
        // While the sound plays, a picture is due when the sound reaches its time: that
        // keeps the two within a refresh of each other. Without running sound the
        // pictures keep to the frame timer.
        double master = 0;
        const bool slaved = audioDeviceOpen_ && RunningAudioClock(master) &&
                            std::fabs(master - slot.Pts) < kNoSyncThreshold;
        if (!pausedShow && !seekApplied &&
            (slaved ? master < slot.Pts - kRefreshSlack : now < slot.TargetClock))
            break;
        bool late;
        {
            std::lock_guard clocks(clockMutex_);
            currentPts_ = slot.Pts;
            currentPtsDrift_ = slot.Pts - now;
            hasDrift_ = true;
            currentPos_ = slot.BytePos;
            if (slaved) {
                const double nextPts = next ? next->Pts : slot.Pts + frameDuration_;
                late = master > nextPts;
            } else {
                const double nextTarget =
                    next ? next->TargetClock : slot.TargetClock + (videoClockField_ - slot.Pts);
                late = now > nextTarget;
            }
            late = (late && !capture_) || seekApplied;
            // Late pictures make the decoder pass over more of them; pictures on time let
            // it give out more again. The cap keeps a slow stretch from starving the
            // screen for good.
            if (!pausedShow && late)
                skipFactor_ = std::min(kMaxSkipFactor, skipFactor_ * 1.05f);
            else if (!pausedShow)
                skipFactor_ = std::max(1.0f, skipFactor_ * 0.95f);
        }
        // A late picture goes only for a newer one: when the decoder cannot keep up, the
        // screen still shows what it can instead of nothing at all.
        if (!pausedShow && late && (next || seekApplied)) {
            pictureRead_ = (pictureRead_ + 1) % kPictureSlots;
            --pictureSize_;
            lock.unlock();
            pictureChanged_.notify_all();
            if (!seekApplied)
                droppedPictures_.fetch_add(1);
            dropped = true;
            continue;
        }
        if (pausedShow)
            showNextWhilePaused_.store(false);

        {
            std::lock_guard subtitles(subtitleMutex_);
            if (subtitleStreamChanged_) {
                for (TSubtitleSlot& queued : subtitles_)
                    ff::avsubtitle_free(&queued.Subtitle);
                subtitleSize_ = subtitleRead_ = subtitleWrite_ = 0;
                subtitleStreamChanged_ = false;
                subtitleCond_.notify_all();
            } else {
                while (subtitleSize_ > 0) {
                    TSubtitleSlot& first = subtitles_[static_cast<size_t>(subtitleRead_)];
                    const bool over = slot.Pts > SubtitleEnd(first);
                    const bool replaced = subtitleSize_ > 1 &&
                                          slot.Pts > SubtitleStart(subtitles_[static_cast<size_t>(
                                                         (subtitleRead_ + 1) % kSubtitleSlots)]);
                    if (!over && !replaced)
                        break;
                    ff::avsubtitle_free(&first.Subtitle);
                    subtitleRead_ = (subtitleRead_ + 1) % kSubtitleSlots;
                    --subtitleSize_;
                    subtitleCond_.notify_all();
                }
            }
        }
        // The slot at the read index is not written while it is queued: show it unlocked.
        AVFrame* overlay = slot.Overlay.get();
        const AVRational aspect = slot.SampleAspect;
        const int64_t pts = std::llround(slot.Pts * 1000000.0) - startTime_;
        TFramePtr shown(overlay ? ff::av_frame_clone(overlay) : nullptr);
        lock.unlock();
        if (shown)
            DisplayFrame(*shown, aspect, pts);
        lock.lock();
        shownFrame_ = std::move(shown);
        shownAspect_ = aspect;
        shownPts_ = pts;
        pictureRead_ = (pictureRead_ + 1) % kPictureSlots;
        --pictureSize_;
        lock.unlock();
        pictureChanged_.notify_all();
        shownPictures_.fetch_add(1);
        break;
    }
    if (!dropped)
        player_.UpdatePosition(*this);
}

void TPlayback::Display() {
    if (!videoStream_) {
        if (audioDeviceOpen_ && waveformOn_)
            DisplayWaveform();
        return;
    }
    TFramePtr frame;
    AVRational aspect;
    int64_t pts;
    {
        std::lock_guard lock(pictureMutex_);
        if (!shownFrame_)
            return;
        frame.reset(ff::av_frame_clone(shownFrame_.get()));
        aspect = shownAspect_;
        pts = shownPts_;
    }
    if (frame)
        DisplayFrame(*frame, aspect, pts);
}

void TPlayback::DisplayFrame(const AVFrame& frame, AVRational sampleAspect, int64_t pts) {
    TPlayerScreen* screen = player_.screen_;
    if (!screen)
        return;
    const int outputWidth = player_.ScreenWidth();
    const int outputHeight = player_.ScreenHeight();
    const double aspect = sampleAspect.num > 0 && sampleAspect.den > 0 ? ::av_q2d(sampleAspect) : 0;
    const TScreenRect target = DisplayRectangle(outputWidth, outputHeight, frame.width,
                                                frame.height, aspect, player_.AspectRatio());
    if (target.Width <= 0 || target.Height <= 0)
        return;
    // Every picture is a bitmap of its own: the screen keeps it as long as it likes.
    const auto bitmap = std::make_shared<TBitmap>(target.Width, target.Height);
    if (target.Width == frame.width && target.Height == frame.height) {
        Yuv420pToBgr(frame.data, frame.linesize, frame.width, frame.height, *bitmap);
    } else {
        displayScaler_.reset(ff::sws_getCachedContext(
            displayScaler_.release(), frame.width, frame.height, AV_PIX_FMT_YUV420P, target.Width,
            target.Height, AV_PIX_FMT_BGR24, SWS_BICUBIC, nullptr, nullptr, nullptr));
        if (!displayScaler_)
            return;
        uint8_t* planes[4] = {bitmap->Bits(), nullptr, nullptr, nullptr};
        const int lines[4] = {bitmap->BytesPerLine(), 0, 0, 0};
        ff::sws_scale(displayScaler_.get(), frame.data, frame.linesize, 0, frame.height, planes,
                      lines);
    }
    BlendSubtitles(*bitmap, target, static_cast<double>(pts + startTime_) / 1000000.0, frame.width,
                   frame.height);
    screen->ShowPicture({bitmap, target, pts});
}

void TPlayback::BlendSubtitles(TBitmap& picture, const TScreenRect& target, double pts,
                               int pictureWidth, int pictureHeight) {
    if (!subtitleStream_)
        return;
    std::lock_guard lock(subtitleMutex_);
    if (subtitleSize_ == 0)
        return;
    const TSubtitleSlot& slot = subtitles_[static_cast<size_t>(subtitleRead_)];
    if (pts < SubtitleStart(slot))
        return;
    // Subtitle pictures are placed on the video's own size (or the subtitle stream's).
    const int baseWidth =
        subtitleCodec_ && subtitleCodec_->width > 0 ? subtitleCodec_->width : pictureWidth;
    const int baseHeight =
        subtitleCodec_ && subtitleCodec_->height > 0 ? subtitleCodec_->height : pictureHeight;
    const double scaleX = static_cast<double>(target.Width) / baseWidth;
    const double scaleY = static_cast<double>(target.Height) / baseHeight;
    for (unsigned r = 0; r < slot.Subtitle.num_rects; ++r) {
        const AVSubtitleRect* rect = slot.Subtitle.rects[r];
        if (rect->type != SUBTITLE_BITMAP || !rect->data[0] || !rect->data[1])
            continue;
        const auto* palette = reinterpret_cast<const uint32_t*>(rect->data[1]);
        const int left = static_cast<int>(rect->x * scaleX);
        const int top = static_cast<int>(rect->y * scaleY);
        const int width = static_cast<int>(rect->w * scaleX);
        const int height = static_cast<int>(rect->h * scaleY);
        for (int y = std::max(0, top); y < std::min(picture.Height(), top + height); ++y) {
            const int sourceY = std::min(rect->h - 1, static_cast<int>((y - top) / scaleY));
            const uint8_t* source =
                rect->data[0] + static_cast<ptrdiff_t>(sourceY) * rect->linesize[0];
            uint8_t* row = picture.ScanLine(y);
            for (int x = std::max(0, left); x < std::min(picture.Width(), left + width); ++x) {
                const int sourceX = std::min(rect->w - 1, static_cast<int>((x - left) / scaleX));
                const uint32_t colour = palette[source[sourceX]]; // 0xAARRGGBB
                const unsigned alpha = colour >> 24;
                if (alpha == 0)
                    continue;
                uint8_t* pixel = row + x * 3;
                const unsigned blue = colour & 0xFF;
                const unsigned green = (colour >> 8) & 0xFF;
                const unsigned red = (colour >> 16) & 0xFF;
                pixel[0] = static_cast<uint8_t>((blue * alpha + pixel[0] * (255 - alpha)) / 255);
                pixel[1] = static_cast<uint8_t>((green * alpha + pixel[1] * (255 - alpha)) / 255);
                pixel[2] = static_cast<uint8_t>((red * alpha + pixel[2] * (255 - alpha)) / 255);
            }
        }
    }
}

void TPlayback::DisplayWaveform() {
    TPlayerScreen* screen = player_.screen_;
    if (!screen)
        return;
    const int width = player_.ScreenWidth();
    const int height = player_.ScreenHeight();
    if (width <= 0 || height <= 0)
        return;
    const int channels = std::max(1, waveformChannels_);
    std::vector<int16_t> samples(static_cast<size_t>(width) * channels);
    {
        std::lock_guard lock(audioMutex_);
        if (!paused_.load()) {
            // Start where the sound now heard is, plus room for the whole display.
            // Before the first callback (or after a long stall) the time since it is huge:
            // clamp in floating point, so the count of samples heard cannot overflow.
            const double sinceCallback = std::max(0.0, Now() - audioCallbackTime_);
            const double heard = std::min<double>(audioSpec_.freq * sinceCallback, waveformUnread_);
            int delay = waveformUnread_ - static_cast<int>(heard);
            delay = std::max(delay, 0) + 2 * width;
            delay = std::max(delay, width);
            const int size = kWaveformSamples;
            int start = ((waveformIndex_ - delay * channels) % size + size) % size;
            int best = start;
            int bestScore = INT32_MIN;
            for (int i = 0; i < 1000; i += channels) {
                const int index = ((start - i) % size + size) % size;
                const auto at = [&](int frames) {
                    return waveform_[static_cast<size_t>((index + frames * channels) % size)];
                };
                const int score = at(0) - at(9);
                if (score > bestScore && (at(4) ^ at(5)) < 0) {
                    bestScore = score;
                    best = index;
                }
            }
            waveformStart_ = best;
        }
        for (size_t i = 0; i < samples.size(); ++i)
            samples[i] = waveform_[(static_cast<size_t>(waveformStart_) + i) % kWaveformSamples];
    }
    const auto bitmap = std::make_shared<TBitmap>(width, height); // black
    const auto white = [&](int x, int y) {
        if (x >= 0 && x < width && y >= 0 && y < height)
            std::memset(bitmap->ScanLine(y) + x * 3, 0xFF, 3);
    };
    const int band = height / channels;
    const int reach = band * 9 / 20;
    for (int channel = 0; channel < channels; ++channel) {
        const int centre = channel * band + band / 2;
        for (int x = 0; x < width; ++x) {
            const int value = samples[static_cast<size_t>(x) * channels + channel] * reach / 32768;
            const int from = value < 0 ? centre + value : centre;
            const int to = value < 0 ? centre : centre + value;
            for (int y = from; y <= to; ++y)
                white(x, y);
        }
        if (channel > 0)
            for (int x = 0; x < width; ++x)
                white(x, channel * band);
    }
    int64_t pts = std::llround(AudioClock() * 1000000.0) - startTime_;
    screen->ShowPicture({bitmap, TScreenRect{0, 0, width, height}, pts});
}

bool TPlayback::CurrentPicture(TPictureConverter& converter, TBitmap& bitmap, int64_t& pts) {
    TFramePtr frame;
    {
        std::lock_guard lock(pictureMutex_);
        if (!shownFrame_)
            return false;
        frame.reset(ff::av_frame_clone(shownFrame_.get()));
        pts = shownPts_;
    }
    return frame && converter.FrameToBitmap(*frame, bitmap);
}

} // namespace tovik
