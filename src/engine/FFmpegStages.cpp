// Encoder stages of the engine: each encoded video and audio stream encodes on a thread of
// its own, fed by the frame path through a small queue, so that decoding, the frame path and
// encoding run at the same time. Packets go into the output under the task's output lock.

#include "engine/FFmpeg.h"
#include "engine/TranscodeState.h"

#include <cstdlib>
#include <string>

namespace tovik {

namespace {

// Frames waiting per encoder: enough to ride over uneven frame costs, few enough that
// memory stays flat (a 1080p picture is 3 MB).
constexpr size_t kVideoQueue = 4;
constexpr size_t kAudioQueue = 16;

// TOVIK_STAGE_THREADS=0 in the environment runs every stage in the converting thread, for
// timing comparisons of whole programs (the GUI, tovik-cli and its workers alike).
bool StageThreadsOffByEnvironment() {
    const char* value = std::getenv("TOVIK_STAGE_THREADS");
    return value && std::string(value) == "0";
}

} // namespace

void TCustomFFmpeg::StartEncoderStages() {
    const bool threaded = stageThreads_ && !StageThreadsOffByEnvironment();
    for (TOutputStream& ost : transcode_->OutputStreams) {
        if (!ost.EncodingNeeded || !ost.EncoderOpen || ost.EncoderStage)
            continue;
        const AVMediaType type = ost.Setup->Codec->codec_type;
        if (type != AVMEDIA_TYPE_VIDEO && type != AVMEDIA_TYPE_AUDIO)
            continue; // subtitles are few and encoded where they are decoded
        if (!ost.Groups.Encoders.empty()) {
            StartGroupStages(ost, threaded);
            continue;
        }
        ost.EncodedPacket = MakePacket();
        if (!ost.EncodedPacket)
            throw FFmpegException("Cannot allocate buffers");
        ost.Repeats.Enabled = ost.Setup->Codec->codec_id == AV_CODEC_ID_DVVIDEO;
        ost.EncoderStage = std::make_unique<TFrameStage>(
            type == AVMEDIA_TYPE_VIDEO ? kVideoQueue : kAudioQueue,
            [this, &ost](AVFrame* frame) { EncodeFrame(ost, frame); }, threaded);
    }
}

void TCustomFFmpeg::FlushEncoders() {
    TTranscodeState& state = *transcode_;
    for (TOutputStream& ost : state.OutputStreams) {
        if (!ost.Groups.Encoders.empty() && !ost.Flushed) {
            ost.Flushed = true;
            for (TOutputStream::TGroupEncoder& group : ost.Groups.Encoders)
                if (group.Stage)
                    group.Stage->Push(nullptr);
            continue;
        }
        if (!ost.EncoderStage || ost.Flushed)
            continue;
        ost.Flushed = true;
        if (ost.Setup->Codec->codec_type == AVMEDIA_TYPE_AUDIO && ost.Audio.IsOpen()) {
            ost.Audio.Push(nullptr);
            PadSoundToPictures(ost);
            EncodeAudioFifo(ost, true);
        }
        ost.EncoderStage->Push(nullptr);
    }
    // The stages drain side by side; the first failure is raised once all have ended.
    std::string failure;
    const auto finish = [&failure](TFrameStage& stage) {
        try {
            stage.Finish();
        } catch (const std::exception& error) {
            if (failure.empty())
                failure = error.what();
        }
    };
    for (TOutputStream& ost : state.OutputStreams) {
        if (ost.EncoderStage)
            finish(*ost.EncoderStage);
        for (TOutputStream::TGroupEncoder& group : ost.Groups.Encoders)
            if (group.Stage)
                finish(*group.Stage);
        if (!ost.Groups.Encoders.empty() && failure.empty()) {
            // Every group came back: nothing waits unless a group was lost, and then what
            // there is still goes out in order.
            std::lock_guard lock(ost.Groups.Mutex);
            WriteFinishedGroups(ost, true);
        }
    }
    if (!failure.empty())
        throw FFmpegException(failure);
}

void TCustomFFmpeg::AbortStages() {
    if (!transcode_)
        return;
    for (TOutputStream& ost : transcode_->OutputStreams) {
        if (ost.EncoderStage)
            ost.EncoderStage->Abort();
        for (TOutputStream::TGroupEncoder& group : ost.Groups.Encoders)
            if (group.Stage)
                group.Stage->Abort();
    }
}

} // namespace tovik
