// Loop stage of the engine: the frame path (hook, frame hook modules), video, audio and
// subtitle output, encoding, writing packets, previews and progress reports.

#include "engine/FFmpeg.h"
#include "engine/TranscodeState.h"
#include "engine/VideoSync.h"
#include "media/DisplayRotation.h"
#include "media/MediaLogger.h"
#include "media/MyUtils.h"
#include "media/TextFormat.h"
#include "media/WritableFrame.h"

#include <cmath>
#include <cstring>

namespace tovik {

namespace {

// DV keeps no times: each picture carries its own share of sound.
bool IsDv(const AVFormatContext* context) {
    return context && std::strcmp(context->oformat->name, "dv") == 0;
}

using TProcess = void (*)(void* context, AVFrame* picture, int pixelFormat, int width, int height,
                          int64_t pts);

} // namespace

std::mutex& PreviewLock() {
    static std::mutex lock;
    return lock;
}

int TCustomFFmpeg::ScaleFlags() const {
    int64_t flags = settings_.SwsFlags;
    if (defaultOptions_ && defaultOptions_->ScaleContext())
        ff::av_opt_get_int(defaultOptions_->ScaleContext(), "sws_flags", 0, &flags);
    return static_cast<int>(flags);
}

int TCustomFFmpeg::PreviewFlags() const {
    std::lock_guard lock(PreviewLock());
    return previewFlags_;
}

void TCustomFFmpeg::SetPreviewFlags(int flags) {
    std::lock_guard lock(PreviewLock());
    previewFlags_ = flags;
}

// ---- Frame path ---------------------------------------------------------------------------

AVFrame& TCustomFFmpeg::FramePath(TInputStream& ist, AVFrame& decoded) {
    TTranscodeState& state = *transcode_;
    ++state.FrameCounter;
    const bool hook = hookCallback_ && !hookDisabled_;
    const bool modules = !frameHooks_.empty() && !hookDisabled_;
    if (!settings_.DoDeinterlace && !hook && !modules && !ist.Uprighter)
        return decoded;
    // Fields are rows of the picture as stored: deinterlace before turning.
    if (settings_.DoDeinterlace)
        Deinterlace(decoded);
    AVFrame& frame = ist.Uprighter ? Upright(ist, decoded) : decoded;
    if (hook) {
        RunCustomHook(ist, frame);
    } else if (modules) {
        if (ff::av_frame_make_writable(&frame) < 0) {
            LoggerInstance().Log(this, TLogLevel::llError, "hook buf malloc error.");
            return frame;
        }
        for (const TFrameHookEntry& module : frameHooks_)
            reinterpret_cast<TProcess>(module.Process)(module.Context, &frame, frame.format,
                                                       frame.width, frame.height, ist.Pts);
    }
    return frame;
}

void TCustomFFmpeg::PrepareUpright(TInputStream& ist, const std::string& upright, bool swaps) {
    if (ist.Uprighter)
        return;
    const AVCodecParameters& in = *ist.Stream->codecpar;
    TVideoFilterSpec spec;
    spec.InputWidth = in.width;
    spec.InputHeight = in.height;
    spec.InputFormat = static_cast<AVPixelFormat>(in.format);
    spec.OutputFormat = spec.InputFormat;
    spec.TimeBase = ist.Stream->time_base;
    spec.SampleAspect = StoredSampleAspect(*ist.Stream);
    spec.Upright = upright;
    spec.UprightSwapsSize = swaps;
    ist.Uprighter = BuildFilterGraph(spec);
    ist.UprightFrame = MakeFrame();
}

AVFrame& TCustomFFmpeg::Upright(TInputStream& ist, AVFrame& frame) {
    AVFrame* upright = ist.UprightFrame.get();
    ff::av_frame_unref(upright);
    // Turning is one picture in, one out.
    if (ist.Uprighter->Push(&frame) < 0 || ist.Uprighter->Pull(upright) < 0)
        throw FFmpegException("Error while filtering");
    return *upright;
}

void TCustomFFmpeg::RunCustomHook(TInputStream& ist, AVFrame& frame) {
    TTranscodeState& state = *transcode_;
    // HookOriginal keeps what is needed to find the rows the handler changed.
    if (!state.HookConverter.FrameToEditableBitmap(frame, state.HookBitmap, state.HookOriginal)) {
        LoggerInstance().Log(this, TLogLevel::llError,
                             "Cannot initialize the toRGB conversion context");
        hookDisabled_ = true;
        return;
    }
    bool writeBack = true;
    bool disable = false;
    try {
        hookCallback_(*this, state.HookBitmap, state.FrameCounter, ist.Pts, writeBack, disable);
    } catch (const std::exception& error) {
        LoggerInstance().Log(this, TLogLevel::llError,
                             std::string("Error occurs OnCustomHook: ") + error.what());
        writeBack = false;
    }
    if (disable)
        hookDisabled_ = true;
    if (!writeBack)
        return;
    // A handler that resized the picture cannot write it back into the frame.
    if (state.HookBitmap.Width() != frame.width || state.HookBitmap.Height() != frame.height) {
        LoggerInstance().Log(this, TLogLevel::llError,
                             "OnCustomHook changed the picture size: the frame is kept as it was.");
        return;
    }
    // Only rows the handler changed go back into the picture: unchanged rows keep their
    // exact values (a round trip through 24-bit colour would blur them) and cost nothing.
    // The first and the last changed rows bound the band; rows between them go back as well.
    const int height = state.HookBitmap.Height();
    const auto changed = [&](int y) {
        return state.HookConverter.RowChanged(frame, state.HookBitmap, state.HookOriginal, y);
    };
    int first = 0;
    while (first < height && !changed(first))
        ++first;
    if (first == height)
        return;
    int last = height - 1;
    while (last > first && !changed(last))
        --last;
    if (MakeWritableForBand(frame, first, last - first + 1) < 0) {
        LoggerInstance().Log(this, TLogLevel::llError, "hook buf malloc error.");
        return;
    }
    if (!state.HookConverter.BitmapRowsToPicture(state.HookBitmap, first, last - first + 1,
                                                 frame.data, frame.linesize,
                                                 static_cast<AVPixelFormat>(frame.format))) {
        LoggerInstance().Log(this, TLogLevel::llError,
                             "Cannot initialize the fromRGB conversion context");
        hookDisabled_ = true;
    }
}

void TCustomFFmpeg::Deinterlace(AVFrame& frame) {
    TTranscodeState& state = *transcode_;
    if (state.DeinterlaceFailed)
        return;
    if (!state.Deinterlacer) {
        TVideoFilterSpec spec;
        spec.InputWidth = frame.width;
        spec.InputHeight = frame.height;
        spec.InputFormat = static_cast<AVPixelFormat>(frame.format);
        spec.OutputFormat = spec.InputFormat;
        spec.SampleAspect = frame.sample_aspect_ratio;
        // A deinterlacer that works within each picture, so every frame comes out at once.
        spec.Chain = "kerndeint";
        state.Deinterlacer = std::make_unique<TVideoFilterGraph>();
        std::string error;
        if (!state.Deinterlacer->Build(spec, error)) {
            LoggerInstance().Log(this, TLogLevel::llError, "Deinterlacing failed.");
            state.DeinterlaceFailed = true;
            return;
        }
    }
    TFramePtr result = MakeFrame();
    if (state.Deinterlacer->Push(&frame) < 0 || state.Deinterlacer->Pull(result.get()) < 0) {
        LoggerInstance().Log(this, TLogLevel::llError, "Deinterlacing failed.");
        return;
    }
    const int64_t pts = frame.pts;
    const int64_t bestEffort = frame.best_effort_timestamp;
    ff::av_frame_unref(&frame);
    ff::av_frame_move_ref(&frame, result.get());
    frame.pts = pts;
    frame.best_effort_timestamp = bestEffort;
}

// ---- Video out ---------------------------------------------------------------------------

void TCustomFFmpeg::VideoOut(TOutputStream& ost, TInputStream& ist, AVFrame& picture) {
    TTranscodeState& state = *transcode_;
    AVCodecContext& encoder = *ost.Setup->Codec;
    const TInputStream& sync = state.InputStreams[static_cast<size_t>(ost.SyncIndex)];
    const double inputTime = static_cast<double>(sync.Pts - settings_.StartTime) / AV_TIME_BASE /
                             av_q2d(encoder.time_base);
    int frames = 1;
    if (settings_.VideoSyncMethod != 0) {
        const double delta = inputTime - static_cast<double>(ost.SyncOpts);
        const bool variableRate =
            (outputs_[static_cast<size_t>(ost.FileIndex)]->Context->oformat->flags &
             AVFMT_VARIABLE_FPS) != 0;
        const TVideoSyncDecision decision =
            DecideVideoSync(delta, settings_.VideoSyncMethod, variableRate);
        frames = decision.FrameCount;
        if (decision.ResetSyncTimestamp)
            ost.SyncOpts = std::llround(inputTime);
        if (frames == 0) {
            ++state.DroppedFrames;
            state.DupDropChanged = true;
            if (settings_.Verbose >= 3)
                LoggerInstance().Log(this, TLogLevel::llVerbose, "*** drop!");
        } else if (frames > 1) {
            state.DuplicatedFrames += frames - 1;
            state.DupDropChanged = true;
            if (settings_.Verbose >= 3)
                LoggerInstance().LogFmt(this, TLogLevel::llVerbose, "*** %d dup!", frames - 1);
        }
    } else {
        ost.SyncOpts = std::llround(inputTime);
    }
    const int64_t limit = settings_.MaxFrames[AVMEDIA_TYPE_VIDEO];
    frames = static_cast<int>(std::min<int64_t>(frames, limit - ost.FrameNumber));
    if (frames <= 0)
        return;

    AVFrame* toEncode = &picture;
    if (!ost.Filter) {
        toEncode = CropAndScale(ost, ist, picture);
        if (!toEncode)
            return;
    }
    for (int i = 0; i < frames && !StopRequested(); ++i) {
        AVFrame* frame = state.EncoderFrame.get();
        if (ff::av_frame_ref(frame, toEncode) < 0)
            throw FFmpegException("Video encoding failed");
        frame->pts = ost.SyncOpts;
        frame->pict_type = AV_PICTURE_TYPE_NONE;
        if (settings_.TopFieldFirst >= 0) {
            frame->top_field_first = settings_.TopFieldFirst;
            frame->interlaced_frame = 1;
        }
        const float quality = settings_.SameQuality ? ist.Quality : ost.Setup->Quality;
        if (quality > 0)
            frame->quality = static_cast<int>(quality);
        PreviewStep(*frame, encoder.time_base);
        if (ost.Groups.Encoders.empty())
            ost.EncoderStage->Push(frame); // takes the frame's reference
        else
            PushToGroups(ost, frame);
        ++ost.SyncOpts;
        ++ost.FrameNumber;
    }
}

AVFrame* TCustomFFmpeg::CropAndScale(TOutputStream& ost, TInputStream& ist, AVFrame& picture) {
    TTranscodeState& state = *transcode_;
    AVFrame* source = &picture;
    if (ost.CropNeeded) {
        AVFrame* cropped = state.FilteredFrame.get();
        ff::av_frame_unref(cropped);
        if (ff::av_frame_ref(cropped, &picture) < 0)
            return nullptr;
        cropped->crop_top = static_cast<size_t>(ost.CropTop);
        cropped->crop_bottom = static_cast<size_t>(ost.CropBottom);
        cropped->crop_left = static_cast<size_t>(ost.CropLeft);
        cropped->crop_right = static_cast<size_t>(ost.CropRight);
        if (ff::av_frame_apply_cropping(cropped, AV_FRAME_CROP_UNALIGNED) < 0) {
            if (settings_.ExitOnError)
                throw FFmpegException("error cropping picture");
            LoggerInstance().Log(this, TLogLevel::llError, "error cropping picture");
            return nullptr;
        }
        source = cropped;
    }
    const AVPixelFormat format = static_cast<AVPixelFormat>(source->format);
    if (source->width != ost.ResampleWidth || source->height != ost.ResampleHeight ||
        format != ost.ResampleFormat) {
        LoggerInstance().LogFmt(
            this, TLogLevel::llQuiet, "Input Stream #%d.%d frame size changed to %dx%d, %s",
            ist.FileIndex, ist.StreamIndex, picture.width, picture.height,
            ff::av_get_pix_fmt_name(static_cast<AVPixelFormat>(picture.format)));
        // Keep the output size: the crop bands follow the new size and the picture is scaled
        // to the encoder's size (also when the old size needed no scaling).
        if (ost.UnfilteredWidth > 0 && ost.UnfilteredHeight > 0 && ost.CropNeeded) {
            auto rescale = [](int band, int size, int oldSize) {
                return (band * size / oldSize) & ~1;
            };
            ost.CropTop = rescale(ost.CropTop, picture.height, ost.UnfilteredHeight);
            ost.CropBottom = rescale(ost.CropBottom, picture.height, ost.UnfilteredHeight);
            ost.CropLeft = rescale(ost.CropLeft, picture.width, ost.UnfilteredWidth);
            ost.CropRight = rescale(ost.CropRight, picture.width, ost.UnfilteredWidth);
            ost.UnfilteredWidth = picture.width;
            ost.UnfilteredHeight = picture.height;
            return CropAndScale(ost, ist, picture);
        }
        ost.ResampleWidth = source->width;
        ost.ResampleHeight = source->height;
        ost.ResampleFormat = format;
        ost.UnfilteredWidth = picture.width;
        ost.UnfilteredHeight = picture.height;
        AVCodecContext& encoder = *ost.Setup->Codec;
        ost.ResampleNeeded = source->width != encoder.width || source->height != encoder.height ||
                             format != encoder.pix_fmt;
        ost.Scaler.reset();
        if (ost.ResampleNeeded && ost.ScaledPictures.empty())
            ScaledPicture(ost);
    }
    if (!ost.ResampleNeeded)
        return source;
    if (!ost.Scaler) {
        AVCodecContext& encoder = *ost.Setup->Codec;
        ost.Scaler.reset(ff::sws_getContext(
            ost.ResampleWidth, ost.ResampleHeight, ost.ResampleFormat, encoder.width,
            encoder.height, encoder.pix_fmt, ScaleFlags(), nullptr, nullptr, nullptr));
        if (!ost.Scaler)
            throw FFmpegException("Cannot get resampling context");
    }
    AVFrame* scaled = ScaledPicture(ost);
    ff::sws_scale(ost.Scaler.get(), source->data, source->linesize, 0, source->height, scaled->data,
                  scaled->linesize);
    scaled->sample_aspect_ratio = ost.Setup->Codec->sample_aspect_ratio;
    return scaled;
}

AVFrame* TCustomFFmpeg::ScaledPicture(TOutputStream& ost) {
    for (TFramePtr& picture : ost.ScaledPictures)
        if (ff::av_frame_is_writable(picture.get()))
            return picture.get();
    // All are still queued or held by the encoder: one more (as many as the queue is deep).
    const AVCodecContext& encoder = *ost.Setup->Codec;
    TFramePtr picture = MakeFrame();
    picture->format = encoder.pix_fmt;
    picture->width = encoder.width;
    picture->height = encoder.height;
    if (ff::av_frame_get_buffer(picture.get(), 0) < 0)
        throw FFmpegException("Cannot allocate temp picture, check pix fmt");
    return ost.ScaledPictures.emplace_back(std::move(picture)).get();
}

void TCustomFFmpeg::PreviewStep(const AVFrame& frame, AVRational timeBase) {
    const int flags = PreviewFlags();
    if (flags == 0)
        return;
    TTranscodeState& state = *transcode_;
    const int64_t now = ff::av_gettime();
    if (now - state.LastPreviewTime <= settings_.PreviewInterval)
        return;
    state.LastPreviewTime = now;
    if ((flags & kPreviewBitmapFlag) && previewCallback_) {
        if (!state.PreviewConverter.FrameToBitmap(frame, state.PreviewBitmap)) {
            LoggerInstance().Log(this, TLogLevel::llError,
                                 "Cannot initialize the toRGB conversion context");
            SetPreviewFlags(PreviewFlags() & ~kPreviewBitmapFlag);
            return;
        }
        const int64_t time = ff::av_rescale_q(frame.pts, timeBase, AV_TIME_BASE_Q);
        previewCallback_(*this, state.PreviewBitmap, state.FrameCounter, time);
    } else if ((flags & kPreviewWindowFlag) && previewWindowCallback_) {
        if (!state.PreviewConverter.FrameToBitmap(frame, state.PreviewBitmap))
            return;
        const int64_t time = ff::av_rescale_q(frame.pts, timeBase, AV_TIME_BASE_Q);
        if (!previewWindowCallback_(*this, state.PreviewBitmap, state.FrameCounter, time))
            SetPreviewFlags(PreviewFlags() & ~kPreviewWindowFlag);
    }
}

// ---- Audio out ---------------------------------------------------------------------------

void TCustomFFmpeg::AudioOut(TOutputStream& ost, TInputStream& ist, AVFrame& samples,
                             int trimHead) {
    TTranscodeState& state = *transcode_;
    AVCodecContext& encoder = *ost.Setup->Codec;
    // Damaged streams decode to frames that describe no sound at all: they are left out.
    if (samples.ch_layout.nb_channels <= 0 || samples.sample_rate <= 0 || samples.format < 0) {
        LoggerInstance().Log(this, TLogLevel::llWarning,
                             "Audio frame without channels or rate skipped");
        return;
    }
    TAudioFormat input;
    input.Format = static_cast<AVSampleFormat>(samples.format);
    input.Layout = samples.ch_layout;
    // A layout that names no channels gets the usual one of its count, so that the
    // resampler can mix it down.
    if (input.Layout.order == AV_CHANNEL_ORDER_UNSPEC)
        ff::av_channel_layout_default(&input.Layout, samples.ch_layout.nb_channels);
    input.SampleRate = samples.sample_rate;
    if (ost.Audio.IsOpen() && !ost.Audio.TakesInput(input)) {
        // The stream changed its sound format (a damaged file, or a broadcast that switches
        // from stereo to 5.1): the resampler follows, as the ffmpeg tool's filters do.
        LoggerInstance().LogFmt(this, TLogLevel::llVerbose,
                                "Input stream #%d.%d: audio format changed to %d channels @ %d Hz",
                                ist.FileIndex, ist.StreamIndex, input.Layout.nb_channels,
                                input.SampleRate);
        std::string error;
        if (!ost.Audio.ChangeInput(input, error, settings_.AudioSyncMethod > 1))
            throw FFmpegException(error);
    }
    if (!ost.Audio.IsOpen()) {
        TAudioFormat output;
        output.Format = encoder.sample_fmt;
        output.Layout = encoder.ch_layout;
        output.SampleRate = encoder.sample_rate;
        if (input.Format != AV_SAMPLE_FMT_S16 && settings_.Verbose > 0 &&
            (input.SampleRate != output.SampleRate ||
             input.Layout.nb_channels != output.Layout.nb_channels))
            LoggerInstance().Log(this, TLogLevel::llVerbose,
                                 "Warning, using s16 intermediate sample format for resampling");
        std::string error;
        if (!ost.Audio.Open(input, output, error, settings_.AudioSyncMethod > 1))
            throw FFmpegException(error);
    }
    const int encoderRate = encoder.sample_rate;
    const TInputStream& sync = state.InputStreams[static_cast<size_t>(ost.SyncIndex)];
    double syncTime = static_cast<double>(sync.Pts - settings_.StartTime) / AV_TIME_BASE;
    if (&sync == &ist && samples.sample_rate > 0)
        syncTime += static_cast<double>(trimHead) / samples.sample_rate;
    const int64_t waiting = ost.Audio.FifoSamples() + ost.Audio.Delay();
    const int keptSamples = samples.nb_samples - trimHead;
    int dropInput = 0;
    if (settings_.AudioSyncMethod != 0) {
        const double delta = syncTime * encoderRate - static_cast<double>(ost.SyncOpts) -
                             static_cast<double>(waiting);
        if (std::fabs(delta) > 50) {
            if (ist.IsStart || std::fabs(delta) > settings_.AudioDriftThreshold * encoderRate) {
                if (delta < 0) {
                    // A damaged file's timestamps can be hours apart: keep the count within an int.
                    dropInput = static_cast<int>(std::min(
                        -delta * samples.sample_rate / encoderRate, static_cast<double>(INT_MAX)));
                    if (settings_.Verbose >= 3)
                        LoggerInstance().LogFmt(this, TLogLevel::llVerbose,
                                                "discarding %d audio samples", dropInput);
                    if (dropInput >= keptSamples)
                        return;
                } else {
                    const int silence =
                        static_cast<int>(std::min(delta, static_cast<double>(INT_MAX)));
                    if (settings_.Verbose >= 3)
                        LoggerInstance().LogFmt(this, TLogLevel::llVerbose,
                                                "adding %d audio samples of silence", silence);
                    ost.Audio.AddSilence(silence);
                }
                ist.IsStart = false;
            } else if (settings_.AudioSyncMethod > 1) {
                const int compensation = static_cast<int>(
                    std::clamp(std::trunc(delta), -static_cast<double>(settings_.AudioSyncMethod),
                               static_cast<double>(settings_.AudioSyncMethod)));
                if (settings_.Verbose >= 3)
                    LoggerInstance().LogFmt(
                        this, TLogLevel::llVerbose,
                        "compensating audio timestamp drift:%f compensation:%d in:%d", delta,
                        compensation, encoderRate);
                ost.Audio.Compensate(compensation, encoderRate);
            }
        }
    } else if (ost.FrameNumber == 0 && ost.SyncOpts == 0 && !ost.AudioStarted) {
        // Without sync the output starts where the input starts. DV keeps no times: every
        // picture needs its share of sound, so sound that starts late is led in by silence.
        ost.AudioStarted = true;
        const int64_t start = std::max<int64_t>(0, std::llround(syncTime * encoderRate) - waiting);
        if (IsDv(outputs_[static_cast<size_t>(ost.FileIndex)]->Context))
            ost.Audio.AddSilence(static_cast<int>(std::min<int64_t>(start, INT_MAX)));
        else
            ost.SyncOpts = start;
    }
    const int pushed = ost.Audio.Push(&samples, trimHead + dropInput);
    if (pushed < 0) {
        if (settings_.ExitOnError)
            throw FFmpegException("av_audio_convert() failed");
        LoggerInstance().Log(this, TLogLevel::llError, "av_audio_convert() failed");
        return;
    }
    EncodeAudioFifo(ost, false);
}

namespace {

// Samples handed to an audio encoder stage at once. Encoders of a fixed frame size get runs of
// whole frames that their stage cuts up: a hand-over per frame would cost more than encoding
// it for small frames (libvorbis takes 64 samples at a time).
constexpr int kAudioRun = 4096;

bool TakesAnyFrameSize(const AVCodecContext& encoder) {
    return encoder.frame_size <= 1 ||
           (encoder.codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE);
}

} // namespace

void TCustomFFmpeg::EncodeAudioFifo(TOutputStream& ost, bool flushing) {
    TTranscodeState& state = *transcode_;
    AVCodecContext& encoder = *ost.Setup->Codec;
    const bool anySize = TakesAnyFrameSize(encoder);
    AVFrame* frame = state.EncoderFrame.get();
    for (;;) {
        const int waiting = ost.Audio.FifoSamples();
        // A run of whole frames; when flushing, a tail shorter than a frame is padded to one.
        const int size =
            anySize ? std::min(waiting, kAudioRun)
                    : encoder.frame_size * std::clamp(waiting / encoder.frame_size, 1,
                                                      std::max(1, kAudioRun / encoder.frame_size));
        if (waiting == 0 || (!flushing && waiting < size))
            break;
        const int moved = ost.Audio.Pop(frame, size, !anySize);
        if (moved <= 0)
            break;
        frame->pts = ost.SyncOpts;
        ost.SyncOpts += frame->nb_samples;
        ost.EncoderStage->Push(frame); // takes the frame's reference
    }
}

// DV carries each picture's sound inside it: the muxer cannot write a picture whose share of
// sound never came, and fails at the end of a file whose sound stops short of its pictures (a
// cut-off download). The sound is filled up with silence to the last picture's end instead.
// Called once the sound's resampler is drained, before the last of its fifo is coded.
void TCustomFFmpeg::PadSoundToPictures(TOutputStream& ost) {
    if (!IsDv(outputs_[static_cast<size_t>(ost.FileIndex)]->Context))
        return;
    for (const TOutputStream& video : transcode_->OutputStreams) {
        if (video.FileIndex != ost.FileIndex || !video.Setup->Codec ||
            video.Setup->Codec->codec_type != AVMEDIA_TYPE_VIDEO)
            continue;
        const int rate = ost.Setup->Codec->sample_rate;
        if (rate <= 0)
            return;
        const int64_t needed = ff::av_rescale_q_rnd(video.SyncOpts, video.Setup->Codec->time_base,
                                                    AVRational{1, rate}, AV_ROUND_UP);
        // A second at a time, coded as it goes: the gap can be long.
        for (int64_t missing = needed - ost.SyncOpts - ost.Audio.FifoSamples();
             missing > 0 && !StopRequested(); missing -= rate) {
            if (ost.Audio.AddSilence(static_cast<int>(std::min<int64_t>(missing, rate))) < 0)
                throw FFmpegException("Cannot allocate buffers");
            EncodeAudioFifo(ost, false);
        }
        return;
    }
}

// ---- Subtitles ---------------------------------------------------------------------------

int TCustomFFmpeg::DecodeSubtitle(TInputStream& ist, AVPacket* packet) {
    if (!packet)
        return 0;
    TTranscodeState& state = *transcode_;
    AVSubtitle subtitle{};
    int gotSubtitle = 0;
    const int result =
        ff::avcodec_decode_subtitle2(ist.Decoder.get(), &subtitle, &gotSubtitle, packet);
    if (result < 0 || !gotSubtitle)
        return result;
    if (StartTimeReached(ist))
        for (TOutputStream& ost : state.OutputStreams)
            if (ost.EncodingNeeded &&
                &state.InputStreams[static_cast<size_t>(ost.SourceIndex)] == &ist)
                SubtitleOut(ost, ist, subtitle);
    ff::avsubtitle_free(&subtitle);
    return 0;
}

void TCustomFFmpeg::SubtitleOut(TOutputStream& ost, const TInputStream& ist, AVSubtitle& subtitle) {
    if (subtitle.pts == AV_NOPTS_VALUE && ist.Pts == AV_NOPTS_VALUE) {
        if (settings_.ExitOnError)
            throw FFmpegException("Subtitle packets must have a pts");
        LoggerInstance().Log(this, TLogLevel::llError, "Subtitle packets must have a pts");
        return;
    }
    if (subtitleBuffer_.empty())
        subtitleBuffer_.resize(1 << 20);
    AVCodecContext& encoder = *ost.Setup->Codec;
    const bool dvb = encoder.codec_id == AV_CODEC_ID_DVB_SUBTITLE;
    const int64_t basePts = ist.Pts - settings_.StartTime;
    for (int pass = 0; pass < (dvb ? 2 : 1); ++pass) {
        AVSubtitle copy = subtitle;
        copy.pts = basePts + static_cast<int64_t>(subtitle.start_display_time) * 1000;
        copy.end_display_time -= copy.start_display_time;
        copy.start_display_time = 0;
        if (dvb && pass == 1)
            copy.num_rects = 0;
        const int size = ff::avcodec_encode_subtitle(
            &encoder, subtitleBuffer_.data(), static_cast<int>(subtitleBuffer_.size()), &copy);
        if (size < 0)
            throw FFmpegException("Subtitle encoding failed");
        AVPacket* packet = transcode_->EncodedPacket.get();
        ff::av_packet_unref(packet);
        if (ff::av_new_packet(packet, size) < 0)
            throw FFmpegException("Subtitle encoding failed");
        std::memcpy(packet->data, subtitleBuffer_.data(), static_cast<size_t>(size));
        packet->pts = ff::av_rescale_q(copy.pts, AV_TIME_BASE_Q, ost.Stream->time_base);
        if (dvb)
            packet->pts +=
                90 * (pass == 0 ? subtitle.start_display_time : subtitle.end_display_time);
        packet->dts = packet->pts;
        packet->duration =
            ff::av_rescale_q(copy.end_display_time, AVRational{1, 1000}, ost.Stream->time_base);
        ++ost.FrameNumber;
        WritePacket(ost, packet);
        ff::av_packet_unref(packet);
    }
}

// ---- Encoding and writing ------------------------------------------------------------------

void TCustomFFmpeg::EncodeFrame(TOutputStream& ost, AVFrame* frame) {
    const AVCodecContext& encoder = *ost.Setup->Codec;
    if (frame && encoder.codec_type == AVMEDIA_TYPE_AUDIO && !TakesAnyFrameSize(encoder) &&
        frame->nb_samples > encoder.frame_size)
        EncodeAudioRun(ost, *frame);
    else
        SendToEncoder(ost, frame);
}

void TCustomFFmpeg::EncodeAudioRun(TOutputStream& ost, const AVFrame& run) {
    const AVCodecContext& encoder = *ost.Setup->Codec;
    const int size = encoder.frame_size;
    const int channels = run.ch_layout.nb_channels;
    const auto format = static_cast<AVSampleFormat>(run.format);
    if (!ost.AudioPiece)
        ost.AudioPiece = MakeFrame();
    AVFrame* piece = ost.AudioPiece.get();
    for (int offset = 0; offset < run.nb_samples; offset += size) {
        // The encoder may still hold the last piece; then this one gets a buffer of its own.
        if (!piece->buf[0] || !ff::av_frame_is_writable(piece)) {
            ff::av_frame_unref(piece);
            piece->format = run.format;
            piece->sample_rate = run.sample_rate;
            piece->nb_samples = size;
            if (ff::av_channel_layout_copy(&piece->ch_layout, &run.ch_layout) < 0 ||
                ff::av_frame_get_buffer(piece, 0) < 0)
                throw FFmpegException("Audio encoding failed");
        }
        const int count = std::min(size, run.nb_samples - offset);
        ff::av_samples_copy(piece->extended_data, run.extended_data, 0, offset, count, channels,
                            format);
        if (count < size) // a run is whole frames; this only guards a short one
            ff::av_samples_set_silence(piece->extended_data, count, size - count, channels, format);
        piece->pts = run.pts + offset;
        SendToEncoder(ost, piece);
    }
}

void TCustomFFmpeg::SendToEncoder(TOutputStream& ost, AVFrame* frame) {
    AVCodecContext& encoder = *ost.Setup->Codec;
    const bool video = encoder.codec_type == AVMEDIA_TYPE_VIDEO;
    const char* failure = video ? "Video encoding failed" : "Audio encoding failed";
    if (frame && ost.Repeats.Enabled && TakeRepeat(ost, *frame))
        return;
    // The statistics count the frames handed over before this one, as the loop did when it
    // encoded in place.
    const int64_t frameNumber = ost.SentFrames;
    const int64_t position = frame ? frame->pts : ost.NextSentPts;
    int result = ff::avcodec_send_frame(&encoder, frame);
    if (result < 0 && result != AVERROR_EOF)
        throw FFmpegException(failure);
    if (frame) {
        ++ost.SentFrames;
        ost.NextSentPts = frame->pts + 1;
        if (ost.Repeats.Enabled)
            NoteCoded(ost, *frame);
    }
    AVPacket* packet = ost.EncodedPacket.get();
    for (;;) {
        result = ff::avcodec_receive_packet(&encoder, packet);
        if (result == AVERROR(EAGAIN) || result == AVERROR_EOF)
            break;
        if (result < 0)
            throw FFmpegException(failure);
        if (video && ost.PassLog && encoder.stats_out)
            std::fputs(encoder.stats_out, ost.PassLog.get());
        if (ost.Repeats.Enabled) {
            ff::av_packet_unref(ost.Repeats.LastPacket.get());
            if (ff::av_packet_ref(ost.Repeats.LastPacket.get(), packet) < 0)
                throw FFmpegException(failure);
        }
        WriteEncoded(ost, packet, frameNumber, position);
        if (ost.Repeats.Enabled)
            WriteRepeats(ost);
    }
}

void TCustomFFmpeg::WriteEncoded(TOutputStream& ost, AVPacket* packet, int64_t frameNumber,
                                 int64_t position) {
    TTranscodeState& state = *transcode_;
    const AVCodecContext& encoder = *ost.Setup->Codec;
    {
        std::lock_guard lock(state.OutputMutex);
        if (encoder.codec_type == AVMEDIA_TYPE_VIDEO) {
            state.VideoBytes += packet->size;
            ReadQualityStats(ost, *packet);
            if (!settings_.VStatsFileName.empty())
                WriteVideoStats(ost, *packet, frameNumber, position);
        } else {
            state.AudioBytes += packet->size;
        }
    }
    ff::av_packet_rescale_ts(packet, encoder.time_base, ost.Stream->time_base);
    WritePacket(ost, packet);
    ff::av_packet_unref(packet);
}

void TCustomFFmpeg::ReadQualityStats(TOutputStream& ost, const AVPacket& packet) {
    size_t size = 0;
    const uint8_t* stats = ff::av_packet_get_side_data(&packet, AV_PKT_DATA_QUALITY_STATS, &size);
    if (!stats || size < 6)
        return;
    // quality (32 bits), picture type, error count, then 64-bit errors per plane.
    ost.LastQuality =
        static_cast<float>(stats[0] | stats[1] << 8 | stats[2] << 16 | stats[3] << 24);
    ost.LastPictureType = stats[4];
    const int errors = std::min<int>(stats[5], 4);
    for (int i = 0; i < errors && 8 + 8 * i + 8 <= static_cast<int>(size); ++i) {
        uint64_t value = 0;
        std::memcpy(&value, stats + 8 + 8 * i, sizeof value);
        ost.LastError[i] = value;
        ost.TotalError[i] += value;
    }
    const int q = static_cast<int>(std::lround(ost.LastQuality / FF_QP2LAMBDA));
    if (q >= 0 && q < static_cast<int>(transcode_->QpHistogram.size()))
        ++transcode_->QpHistogram[static_cast<size_t>(q)];
}

namespace {

double Psnr(double error) {
    return -10.0 * std::log10(std::max(error, 1e-10));
}

} // namespace

void TCustomFFmpeg::WriteVideoStats(const TOutputStream& ost, const AVPacket& packet,
                                    int64_t frameNumber, int64_t position) {
    TTranscodeState& state = *transcode_;
    if (!state.VStatsFile) {
        // NOLINTNEXTLINE(cppcoreguidelines-owning-memory): the unique_ptr owns the file
        state.VStatsFile.reset(std::fopen(settings_.VStatsFileName.c_str(), "w"));
        if (!state.VStatsFile)
            throw FFmpegException("fopen fail: " + settings_.VStatsFileName);
    }
    const AVCodecContext& encoder = *ost.Setup->Codec;
    FILE* file = state.VStatsFile.get();
    std::fprintf(file, "frame= %5lld q= %2.1f ", static_cast<long long>(frameNumber) + 1,
                 static_cast<double>(ost.LastQuality / FF_QP2LAMBDA));
    if (settings_.DoPSNR)
        std::fprintf(file, "PSNR= %6.2f ",
                     Psnr(static_cast<double>(ost.LastError[0]) /
                          (encoder.width * encoder.height * 255.0 * 255.0)));
    std::fprintf(file, "f_size= %6d ", packet.size);
    const double time = static_cast<double>(position) * av_q2d(encoder.time_base);
    if (time > 0) {
        const double bitRate = packet.size * 8 / av_q2d(encoder.time_base) / 1000.0;
        const double average = static_cast<double>(state.VideoBytes) * 8 / time / 1000.0;
        std::fprintf(file, "s_size= %8.0fkB time= %0.3f br= %7.1fkbits/s avg_br= %7.1fkbits/s ",
                     static_cast<double>(state.VideoBytes) / 1024, time, bitRate, average);
    }
    std::fprintf(file, "type= %c\n",
                 ff::av_get_picture_type_char(static_cast<AVPictureType>(ost.LastPictureType)));
}

void TCustomFFmpeg::WritePacket(TOutputStream& ost, AVPacket* packet) {
    packet->stream_index = ost.Stream->index;
    if (!ost.BitstreamFilters.empty()) {
        RunBitstreamFilters(ost, packet, 0);
        return;
    }
    MuxPacket(ost, packet);
}

void TCustomFFmpeg::RunBitstreamFilters(TOutputStream& ost, AVPacket* packet, size_t index) {
    if (index >= ost.BitstreamFilters.size()) {
        MuxPacket(ost, packet);
        return;
    }
    AVBSFContext* filter = ost.BitstreamFilters[index].get();
    int result = ff::av_bsf_send_packet(filter, packet);
    TPacketPtr out = MakePacket();
    while (result >= 0) {
        result = ff::av_bsf_receive_packet(filter, out.get());
        if (result == AVERROR(EAGAIN) || result == AVERROR_EOF)
            return;
        if (result < 0)
            break;
        out->stream_index = ost.Stream->index;
        RunBitstreamFilters(ost, out.get(), index + 1);
        ff::av_packet_unref(out.get());
    }
    const AVCodecContext* codec = ost.Setup->Codec.get();
    const std::string error = ErrorText(
        FormatText("%s failed for stream %d, codec %s", filter->filter->name, ost.Stream->index,
                   ost.StreamCopy || !codec || !codec->codec ? "copy" : codec->codec->name),
        result);
    if (settings_.ExitOnError)
        throw FFmpegException(error);
    LoggerInstance().Log(this, TLogLevel::llError, error);
}

void TCustomFFmpeg::MuxPacket(TOutputStream& ost, AVPacket* packet) {
    const int64_t time = packet->dts != AV_NOPTS_VALUE ? packet->dts : packet->pts;
    AVFormatContext* context = outputs_[static_cast<size_t>(ost.FileIndex)]->Context;
    std::lock_guard lock(transcode_->OutputMutex);
    if (time != AV_NOPTS_VALUE) {
        const int64_t end = time + std::max<int64_t>(packet->duration, 0);
        ost.LastMuxTime = ff::av_rescale_q(end, ost.Stream->time_base, AV_TIME_BASE_Q);
    }
    const int result = ff::av_interleaved_write_frame(context, packet);
    if (result < 0)
        throw FFmpegException(ErrorText("av_interleaved_write_frame()", result));
}

// ---- Progress --------------------------------------------------------------------------------

std::string TCustomFFmpeg::QpHistogramText() const {
    // One hexadecimal digit per quantiser: 1 + log2 of how often it was used, 0 for never.
    std::string text;
    for (int count : transcode_->QpHistogram)
        text += "0123456789ABCDEF"[count > 0 ? std::min(15, 1 + static_cast<int>(std::log2(count)))
                                             : 0];
    return text;
}

std::string TCustomFFmpeg::PsnrText(const TOutputStream& ost, bool final) const {
    if (!ost.Setup->Codec || ost.FrameNumber <= 0)
        return {};
    const AVCodecContext& encoder = *ost.Setup->Codec;
    const double pixels = static_cast<double>(encoder.width) * encoder.height;
    const double planeSize[3] = {pixels, pixels / 4, pixels / 4};
    const double frames = final ? static_cast<double>(ost.FrameNumber) : 1.0;
    double total = 0;
    std::string text = "PSNR=";
    for (int plane = 0; plane < 3; ++plane) {
        const double error =
            static_cast<double>(final ? ost.TotalError[plane] : ost.LastError[plane]);
        total += error;
        text += FormatText("%c:%2.2f ", "YUV"[plane],
                           Psnr(error / (frames * planeSize[plane] * 255.0 * 255.0)));
    }
    text += FormatText("*:%2.2f ", Psnr(total / (frames * pixels * 1.5 * 255.0 * 255.0)));
    return text;
}

void TCustomFFmpeg::ReportProgress(int fileIndex, bool final) {
    TTranscodeState& state = *transcode_;
    // The encoder stages write the outputs and their statistics meanwhile.
    std::unique_lock lock(state.OutputMutex);
    AVFormatContext* first = outputCount_ > 0 ? outputs_[0]->Context : nullptr;
    int64_t totalSize = 0;
    if (first && first->pb) {
        // What is written so far: the position counts data still in the write buffer.
        totalSize = std::max(ff::avio_size(first->pb), ff::avio_seek(first->pb, 0, SEEK_CUR));
        totalSize = std::max<int64_t>(totalSize, 0);
    }
    TProgressInfo info;
    info.TaskIndex = taskIndex_;
    info.FileIndex = fileIndex;
    std::string text;
    bool haveVideo = false;
    double outputTime = 1e10;
    bool anyTime = false;
    const double elapsed =
        static_cast<double>(ff::av_gettime() - state.StartWallTime) / AV_TIME_BASE;
    for (const TOutputStream& ost : state.OutputStreams) {
        double time = static_cast<double>(ost.LastMuxTime) / AV_TIME_BASE;
        if (ost.EncodingNeeded && ost.Setup->Codec)
            time = static_cast<double>(ost.SyncOpts) * av_q2d(ost.Setup->Codec->time_base);
        if (time > 0 && time < outputTime) {
            outputTime = time;
            anyTime = true;
        }
        if (ost.Stream->codecpar->codec_type != AVMEDIA_TYPE_VIDEO || !ost.CountsForReports)
            continue;
        const float quality = ost.StreamCopy ? -1.0f : ost.LastQuality / FF_QP2LAMBDA;
        if (!haveVideo) {
            haveVideo = true;
            info.FrameNumber = static_cast<int>(ost.FrameNumber);
            info.FPS = elapsed > 1.0 ? static_cast<int>(std::lround(ost.FrameNumber / elapsed)) : 0;
            info.Quality = ost.LastQuality < 0 ? -1.0f : quality;
            text += FormatText("frame=%5d fps=%3d q=%3.1f ", info.FrameNumber, info.FPS,
                               static_cast<double>(info.Quality));
            if (settings_.QpHist)
                text += QpHistogramText() + " ";
            if (settings_.DoPSNR)
                text += PsnrText(ost, final);
        } else {
            text += FormatText("q=%2.1f ", static_cast<double>(quality));
        }
    }
    const int64_t videoBytes = state.VideoBytes;
    const int64_t audioBytes = state.AudioBytes;
    lock.unlock();
    if (haveVideo && info.FrameNumber < 1 && !final)
        return;
    if (!anyTime)
        outputTime = final ? 0.01 : 1e10;
    outputTime = std::max(outputTime, 0.01);
    const double bitRate = static_cast<double>(totalSize) * 8 / outputTime / 1000.0;
    text += FormatText("size=%8.0fkB time=%0.2f bitrate=%6.1fkbits/s",
                       static_cast<double>(totalSize) / 1024, outputTime, bitRate);
    if (state.DuplicatedFrames || state.DroppedFrames)
        text += FormatText(" dup=%lld drop=%lld", static_cast<long long>(state.DuplicatedFrames),
                           static_cast<long long>(state.DroppedFrames));
    info.BitRate = static_cast<float>(bitRate);
    info.TotalSize = totalSize;
    info.CurrentTime = static_cast<int64_t>(outputTime * AV_TIME_BASE);
    info.TotalDuration =
        settings_.RecordingTime != INT64_MAX ? settings_.RecordingTime : totalDuration_;
    if (progressCallback_) {
        progressCallback_(*this, info);
        if (state.DupDropChanged && settings_.Verbose >= 0) {
            LoggerInstance().Log(this, TLogLevel::llVerbose, text);
            state.DupDropChanged = false;
        }
    } else if (settings_.Verbose >= 0) {
        LoggerInstance().Log(this, TLogLevel::llVerbose, text);
    }
    if (final && settings_.Verbose >= 0) {
        const double payload = static_cast<double>(videoBytes + audioBytes + state.ExtraBytes);
        LoggerInstance().LogFmt(
            this, TLogLevel::llVerbose,
            "video:%1.0fkB audio:%1.0fkB global headers:%1.0fkB muxing overhead %f%%\r\n",
            static_cast<double>(videoBytes) / 1024, static_cast<double>(audioBytes) / 1024,
            static_cast<double>(state.ExtraBytes) / 1024,
            payload > 0 ? (static_cast<double>(totalSize) - payload) * 100 / payload : 0.0);
    }
}

} // namespace tovik
