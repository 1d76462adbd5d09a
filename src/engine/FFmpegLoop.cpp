// Loop stage of the engine: choosing the input, reading and correcting packets, decoding,
// stream copy, joining inputs, flushing, and running a whole conversion.

#include "engine/FFmpeg.h"
#include "engine/TranscodeState.h"
#include "media/CodecLock.h"
#include "media/MediaLogger.h"
#include "media/MyUtils.h"
#include "media/TextFormat.h"
#include "media/UnicodeProtocol.h"
#include "platform/FileSystem.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <thread>

namespace tovik {

namespace {

int64_t ToMicroseconds(int64_t value, AVRational timeBase) {
    return ff::av_rescale_q(value, timeBase, AV_TIME_BASE_Q);
}

} // namespace

// ---- Stop and pause ----------------------------------------------------------------------

void TCustomFFmpeg::BreakConvert() {
    {
        std::lock_guard lock(pauseMutex_);
        stopRequested_ = true;
    }
    pauseChanged_.notify_all();
}

bool TCustomFFmpeg::StopRequested() const {
    return stopRequested_.load();
}

void TCustomFFmpeg::PauseConvert() {
    std::lock_guard lock(pauseMutex_);
    paused_ = true;
}

void TCustomFFmpeg::ResumeConvert() {
    {
        std::lock_guard lock(pauseMutex_);
        paused_ = false;
    }
    pauseChanged_.notify_all();
}

bool TCustomFFmpeg::Paused() const {
    std::lock_guard lock(pauseMutex_);
    return paused_;
}

void TCustomFFmpeg::WaitWhilePaused() {
    std::unique_lock lock(pauseMutex_);
    pauseChanged_.wait(lock, [this] { return !paused_ || stopRequested_.load(); });
}

// ---- Running a conversion ---------------------------------------------------------------

bool TCustomFFmpeg::RunConvert() {
    finished_ = false;
    failed_ = false;
    errorMessage_.clear();
    try {
        if (outputCount_ <= 0)
            throw FFmpegException("At least one output file must be specified");
        if (inputCount_ <= 0)
            throw FFmpegException("At least one input file must be specified");
        TranscodeSetup();
        TranscodeLoop();
        CheckStreamsComplete();
        WriteTrailers();
        ReportProgress(-1, true);
        finished_ = !StopRequested();
    } catch (const std::exception& error) {
        failed_ = true;
        errorMessage_ = error.what();
        LoggerInstance().Log(this, TLogLevel::llQuiet, errorMessage_);
    }
    AbortStages(); // after a failure they may still run; the trailers are ours alone
    try {
        // Whatever was converted before a failure stays playable.
        WriteTrailers();
    } catch (const std::exception& error) {
        LoggerInstance().Log(this, TLogLevel::llQuiet, error.what());
    }
    FinishOutputs();
    return !failed_;
}

void TCustomFFmpeg::CheckStreamsComplete() {
    if (joined_ || StopRequested() || settings_.LimitFileSize > 0 || settings_.OptShortest)
        return;
    TTranscodeState& state = *transcode_;
    std::lock_guard lock(state.OutputMutex);
    for (const TOutputStream& ost : state.OutputStreams) {
        const AVMediaType type = ost.Stream->codecpar->codec_type;
        if ((type != AVMEDIA_TYPE_VIDEO && type != AVMEDIA_TYPE_AUDIO) ||
            settings_.MaxFrames[static_cast<size_t>(type)] != INT_MAX)
            continue;
        const TInputStream& ist = state.InputStreams[static_cast<size_t>(ost.SourceIndex)];
        if (ist.ReadUntil == INT64_MIN || IsAttachedPicture(*ist.Stream))
            continue;
        // What was read of the source within the kept part, on the output's timeline.
        const int64_t from = KeepFrom(ist) == INT64_MIN ? 0 : KeepFrom(ist);
        // In floating point: a damaged file's times can be anything.
        const double expected =
            std::min(static_cast<double>(ist.ReadUntil) - static_cast<double>(from) -
                         static_cast<double>(ist.ReadGaps),
                     static_cast<double>(settings_.RecordingTime));
        // Short streams and small losses are left alone: only most of a stream missing counts.
        if (expected < 2.0 * AV_TIME_BASE || static_cast<double>(ost.LastMuxTime) * 2 >= expected)
            continue;
        throw FFmpegException(FormatText(
            "Output file #%d stream #%d (%s) lost most of its input: %0.2f s of %0.2f s written",
            ost.FileIndex, ost.StreamIndex, StreamTypeName(type).c_str(),
            static_cast<double>(ost.LastMuxTime) / AV_TIME_BASE, expected / AV_TIME_BASE));
    }
}

void TCustomFFmpeg::WriteTrailers() {
    const int entries = joined_ ? std::min(outputCount_, 1) : outputCount_;
    for (int o = 0; o < entries; ++o) {
        TOutputFile& output = *outputs_[static_cast<size_t>(o)];
        if (output.Context && output.HeaderWritten && !output.TrailerWritten) {
            output.TrailerWritten = true;
            const int result = ff::av_write_trailer(output.Context);
            if (result < 0)
                throw FFmpegException(ErrorText("av_write_trailer()", result));
        }
    }
}

void TCustomFFmpeg::FinishOutputs() {
    // End the stages, close the codecs under the codec lock, then the files.
    AbortStages();
    {
        std::lock_guard lock(CodecLock());
        if (transcode_)
            for (TInputStream& ist : transcode_->InputStreams)
                ist.Decoder.reset();
        for (int o = 0; o < outputCount_; ++o)
            if (outputs_[static_cast<size_t>(o)])
                for (auto& setup : outputs_[static_cast<size_t>(o)]->Streams) {
                    // The pass-2 statistics belong to us, not to the encoder.
                    if (setup->Codec)
                        ff::av_freep(static_cast<void*>(&setup->Codec->stats_in));
                    setup->Codec.reset();
                }
    }
    transcode_.reset();
    for (int o = 0; o < outputCount_; ++o) {
        TOutputFile& output = *outputs_[static_cast<size_t>(o)];
        if (!output.Context)
            continue;
        if (!(output.Context->oformat->flags & AVFMT_NOFILE))
            CloseLibraryIO(&output.Context->pb);
        // An output that received nothing is not left behind.
        if (output.CreatedFile && platform::FileSizeOf(output.FileName) == 0)
            std::remove(output.FileName.c_str());
        output.CreatedFile = false;
    }
}

// ---- The loop ---------------------------------------------------------------------------

int TCustomFFmpeg::ChooseInput() {
    TTranscodeState& state = *transcode_;
    if (joined_) {
        for (const TOutputStream& ost : state.OutputStreams) {
            const AVMediaType type =
                ost.Setup->Codec ? ost.Setup->Codec->codec_type : ost.Stream->codecpar->codec_type;
            if (type >= 0 && type <= AVMEDIA_TYPE_SUBTITLE &&
                ost.FrameNumber >= settings_.MaxFrames[static_cast<size_t>(type)])
                return -1;
        }
        return state.CurrentJoinInput;
    }
    int chosen = -1;
    double best = 1e300;
    std::lock_guard lock(state.OutputMutex); // for the times written so far
    for (const TOutputStream& ost : state.OutputStreams) {
        const TInputStream& ist = state.InputStreams[static_cast<size_t>(ost.SourceIndex)];
        const TInputFileState& file = state.InputFiles[static_cast<size_t>(ist.FileIndex)];
        const AVMediaType type = ost.Stream->codecpar->codec_type;
        if (type >= 0 && type <= AVMEDIA_TYPE_SUBTITLE &&
            ost.FrameNumber >= settings_.MaxFrames[static_cast<size_t>(type)])
            return -1;
        if (ist.PastRecordingTime || file.Ended || file.NoPacket)
            continue;
        double outputTime = static_cast<double>(ost.LastMuxTime) / AV_TIME_BASE;
        if (ost.EncodingNeeded && ost.Setup->Codec)
            outputTime = static_cast<double>(ost.SyncOpts) * av_q2d(ost.Setup->Codec->time_base);
        const double inputTime = static_cast<double>(ist.Pts) / AV_TIME_BASE;
        const double key = settings_.InputSync ? inputTime : outputTime;
        if (key < best) {
            best = key;
            chosen = ist.FileIndex;
        }
    }
    return chosen;
}

void TCustomFFmpeg::TranscodeLoop() {
    TTranscodeState& state = *transcode_;
    state.StartWallTime = ff::av_gettime();
    state.LastReportTime = state.StartWallTime;
    while (!StopRequested()) {
        WaitWhilePaused();
        if (StopRequested())
            break;
        const int fileIndex = ChooseInput();
        if (fileIndex < 0) {
            bool anyNoPacket = false;
            for (TInputFileState& file : state.InputFiles)
                anyNoPacket |= file.NoPacket;
            if (joined_ || !anyNoPacket)
                break;
            for (TInputFileState& file : state.InputFiles)
                file.NoPacket = false;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            continue;
        }
        if (settings_.LimitFileSize > 0) {
            std::lock_guard lock(state.OutputMutex);
            AVIOContext* pb = outputs_[0]->Context->pb;
            if (pb && ff::avio_seek(pb, 0, SEEK_CUR) >= settings_.LimitFileSize)
                break;
        }
        AVFormatContext* context = inputFiles_[static_cast<size_t>(fileIndex)];
        AVPacket* packet = state.Packet.get();
        const int result = ff::av_read_frame(context, packet);
        if (result == AVERROR(EAGAIN)) {
            state.InputFiles[static_cast<size_t>(fileIndex)].NoPacket = true;
            continue;
        }
        if (result < 0) {
            state.InputFiles[static_cast<size_t>(fileIndex)].Ended = true;
            if (settings_.OptShortest && !joined_)
                break;
            if (joined_ && !FinishJoinedInput(fileIndex))
                break;
            continue;
        }
        for (TInputFileState& file : state.InputFiles)
            file.NoPacket = false;
        if (settings_.DoPktDump)
            ff::av_pkt_dump_log2(nullptr, AV_LOG_INFO, packet, settings_.DoHexDump,
                                 context->streams[packet->stream_index]);
        HandleInputPacket(fileIndex, packet);
        ff::av_packet_unref(packet);
        const int64_t now = ff::av_gettime();
        if (now - state.LastReportTime > settings_.ProgressInterval) {
            ReportProgress(fileIndex, false);
            state.LastReportTime = now;
        }
    }
    // Drain what the decoders, filters and encoders still hold.
    for (TInputStream& ist : state.InputStreams)
        if (ist.DecodingNeeded && !ist.Flushed)
            FlushInputStream(ist);
    FlushEncoders();
}

void TCustomFFmpeg::HandleInputPacket(int fileIndex, AVPacket* packet) {
    TTranscodeState& state = *transcode_;
    const TInputFileState& file = state.InputFiles[static_cast<size_t>(fileIndex)];
    if (packet->stream_index < 0 || packet->stream_index >= file.StreamCount)
        return;
    TInputStream& ist = state.InputStreams[static_cast<size_t>(file.FirstStream) +
                                           static_cast<size_t>(packet->stream_index)];
    if (!ist.Taken || ist.PastRecordingTime)
        return;
    const AVRational timeBase = ist.Stream->time_base;
    const TInputFile& input = inputs_[static_cast<size_t>(fileIndex)];
    if (input.TsOffset != 0) {
        const int64_t offset = ff::av_rescale_q(input.TsOffset, AV_TIME_BASE_Q, timeBase);
        if (packet->dts != AV_NOPTS_VALUE)
            packet->dts += offset;
        if (packet->pts != AV_NOPTS_VALUE)
            packet->pts += offset;
    }
    const double scale = ist.StreamIndex < static_cast<int>(input.TsScale.size())
                             ? input.TsScale[static_cast<size_t>(ist.StreamIndex)]
                             : 0.0;
    if (scale > 0.0) {
        if (packet->dts != AV_NOPTS_VALUE)
            packet->dts = std::llround(static_cast<double>(packet->dts) * scale);
        if (packet->pts != AV_NOPTS_VALUE)
            packet->pts = std::llround(static_cast<double>(packet->pts) * scale);
    }
    AVFormatContext* context = inputFiles_[static_cast<size_t>(fileIndex)];
    if (packet->dts != AV_NOPTS_VALUE && ist.NextPts != AV_NOPTS_VALUE &&
        (context->iformat->flags & AVFMT_TS_DISCONT) && !settings_.CopyTs) {
        const int64_t packetTime = ToMicroseconds(packet->dts, timeBase);
        const int64_t delta = packetTime - ist.NextPts;
        if (std::llabs(delta) > static_cast<int64_t>(settings_.DtsDeltaThreshold * AV_TIME_BASE) ||
            packetTime + 1 < ist.Pts) {
            inputs_[static_cast<size_t>(fileIndex)].TsOffset -= delta;
            if (settings_.Verbose >= 3)
                LoggerInstance().LogFmt(
                    this, TLogLevel::llVerbose, "timestamp discontinuity %lld, new offset= %lld",
                    static_cast<long long>(delta), static_cast<long long>(input.TsOffset));
            const int64_t shift = ff::av_rescale_q(delta, AV_TIME_BASE_Q, timeBase);
            packet->dts -= shift;
            if (packet->pts != AV_NOPTS_VALUE)
                packet->pts -= shift;
        }
    }
    const int64_t packetTime = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
    if (packetTime != AV_NOPTS_VALUE) {
        const int64_t start = ToMicroseconds(packetTime, timeBase);
        const auto threshold = static_cast<int64_t>(settings_.DtsDeltaThreshold * AV_TIME_BASE);
        int64_t jump = 0;
        if (ist.ReadUntil != INT64_MIN && !__builtin_sub_overflow(start, ist.ReadUntil, &jump) &&
            jump > threshold && __builtin_add_overflow(ist.ReadGaps, jump, &ist.ReadGaps))
            ist.ReadGaps = INT64_MAX;
        ist.ReadUntil =
            std::max(ist.ReadUntil,
                     ToMicroseconds(packetTime + std::max<int64_t>(packet->duration, 0), timeBase));
    }
    // Decoded streams end by their decoded frames' times (packets may carry no presentation
    // time, and with reordering a later packet can still hold an earlier picture).
    if (!ist.DecodingNeeded && settings_.RecordingTime != INT64_MAX &&
        packet->pts != AV_NOPTS_VALUE && ToMicroseconds(packet->pts, timeBase) >= KeepUntil()) {
        ist.PastRecordingTime = true;
        return;
    }
    const int result = OutputPacket(ist, packet);
    if (result < 0) {
        const std::string error =
            FormatText("Error while decoding stream #%d.%d (%s)", ist.FileIndex, ist.StreamIndex,
                       StreamTypeName(ist.Stream->codecpar->codec_type).c_str());
        if (settings_.ExitOnError)
            throw FFmpegException(error);
        if (settings_.Verbose >= 0)
            LoggerInstance().Log(this, TLogLevel::llVerbose, error);
    }
}

int TCustomFFmpeg::OutputPacket(TInputStream& ist, AVPacket* packet) {
    TTranscodeState& state = *transcode_;
    const AVRational timeBase = ist.Stream->time_base;
    if (packet && packet->dts != AV_NOPTS_VALUE)
        ist.NextPts = ist.Pts = ToMicroseconds(packet->dts, timeBase);
    if (packet && ist.NextPts == AV_NOPTS_VALUE)
        ist.NextPts = ist.Pts;

    if (settings_.RateEmu && packet) {
        const int64_t ahead = ist.Pts - (ff::av_gettime() - ist.StartWallTime);
        if (ahead > 1000)
            std::this_thread::sleep_for(std::chrono::microseconds(ahead));
    }

    int result = 0;
    if (ist.DecodingNeeded) {
        switch (ist.Stream->codecpar->codec_type) {
        case AVMEDIA_TYPE_VIDEO:
            result = DecodeVideo(ist, packet);
            break;
        case AVMEDIA_TYPE_AUDIO:
            result = DecodeAudio(ist, packet);
            break;
        case AVMEDIA_TYPE_SUBTITLE:
            result = DecodeSubtitle(ist, packet);
            break;
        default:
            break;
        }
    } else if (packet) {
        // Not decoded: advance by the packet's own length.
        if (packet->duration > 0)
            ist.NextPts = ist.Pts + ToMicroseconds(packet->duration, timeBase);
    }
    if (packet) {
        for (TOutputStream& ost : state.OutputStreams)
            if (ost.StreamCopy && &state.InputStreams[static_cast<size_t>(ost.SourceIndex)] == &ist)
                CopyPacket(ost, ist, packet);
    }
    ist.IsStart = false;
    return result;
}

bool TCustomFFmpeg::StartTimeReached(const TInputStream& ist) const {
    return ist.Pts >= KeepFrom(ist);
}

int64_t TCustomFFmpeg::KeepFrom(const TInputStream& ist) const {
    int64_t from = inputs_[static_cast<size_t>(ist.FileIndex)].KeepFrom;
    if (settings_.StartTime != 0)
        from = std::max(from, settings_.StartTime);
    return from;
}

int64_t TCustomFFmpeg::KeepUntil() const {
    if (settings_.RecordingTime == INT64_MAX)
        return INT64_MAX;
    return settings_.StartTime + settings_.RecordingTime;
}

int TCustomFFmpeg::SendToDecoder(TInputStream& ist, AVPacket* packet,
                                 const std::function<void(AVFrame*)>& onFrame) {
    AVCodecContext* decoder = ist.Decoder.get();
    AVFrame* frame = transcode_->Frame.get();
    auto drain = [&]() -> int {
        for (;;) {
            const int received = ff::avcodec_receive_frame(decoder, frame);
            if (received == AVERROR(EAGAIN) || received == AVERROR_EOF)
                return 0;
            if (received < 0)
                return received;
            onFrame(frame);
            ff::av_frame_unref(frame);
        }
    };
    for (;;) {
        const int sent = ff::avcodec_send_packet(decoder, packet);
        if (sent == AVERROR(EAGAIN)) {
            const int drained = drain();
            if (drained < 0)
                return drained;
            continue;
        }
        if (sent < 0 && sent != AVERROR_EOF) {
            const int drained = drain();
            return drained < 0 ? drained : sent;
        }
        return drain();
    }
}

void TCustomFFmpeg::TakeFrameTime(TInputStream& ist, const AVFrame& frame) {
    const int64_t timestamp = frame.best_effort_timestamp;
    if (timestamp != AV_NOPTS_VALUE)
        ist.Pts = ToMicroseconds(timestamp, ist.Stream->time_base);
    else if (ist.NextPts != AV_NOPTS_VALUE)
        ist.Pts = ist.NextPts;
}

void TCustomFFmpeg::FilterAndOutput(TOutputStream& ost, TInputStream& ist, AVFrame* frame) {
    if (ost.Filter->Push(frame) < 0)
        return;
    AVFrame* filtered = transcode_->FilteredFrame.get();
    while (ost.Filter->Pull(filtered) >= 0) {
        VideoOut(ost, ist, *filtered);
        ff::av_frame_unref(filtered);
    }
}

int TCustomFFmpeg::DecodeVideo(TInputStream& ist, AVPacket* packet) {
    TTranscodeState& state = *transcode_;
    if (packet && packet->pts == AV_NOPTS_VALUE && packet->dts != AV_NOPTS_VALUE) {
        auto& waiting = ist.WaitingDts;
        waiting.insert(std::upper_bound(waiting.begin(), waiting.end(), packet->dts), packet->dts);
        // Packets that gave no picture must not hold times back for ever.
        if (waiting.size() > 32)
            waiting.pop_front();
    }
    return SendToDecoder(ist, packet, [&](AVFrame* frame) {
        if (frame->pts == AV_NOPTS_VALUE && !ist.WaitingDts.empty()) {
            frame->best_effort_timestamp = ist.WaitingDts.front();
            ist.WaitingDts.pop_front();
        }
        TakeFrameTime(ist, *frame);
        AVRational rate =
            ist.Stream->avg_frame_rate.num ? ist.Stream->avg_frame_rate : ist.Stream->r_frame_rate;
        if (rate.num > 0 && rate.den > 0)
            ist.NextPts =
                ist.Pts + ff::av_rescale_q(2 + frame->repeat_pict,
                                           AVRational{rate.den, 2 * rate.num}, AV_TIME_BASE_Q);
        ist.Quality = static_cast<float>(frame->quality);
        if (ist.Pts >= KeepUntil()) {
            ist.PastRecordingTime = true;
            return;
        }
        // Pictures between the keyframe a seek landed on and the start are only decoded.
        if (!StartTimeReached(ist))
            return;
        AVFrame& picture = FramePath(ist, *frame);
        for (TOutputStream& ost : state.OutputStreams) {
            if (!ost.EncodingNeeded ||
                &state.InputStreams[static_cast<size_t>(ost.SourceIndex)] != &ist)
                continue;
            if (ost.Filter)
                FilterAndOutput(ost, ist, &picture);
            else
                VideoOut(ost, ist, picture);
        }
    });
}

int TCustomFFmpeg::DecodeAudio(TInputStream& ist, AVPacket* packet) {
    TTranscodeState& state = *transcode_;
    return SendToDecoder(ist, packet, [&](AVFrame* frame) {
        TakeFrameTime(ist, *frame);
        const int rate = frame->sample_rate;
        if (rate > 0)
            ist.NextPts = ist.Pts + static_cast<int64_t>(frame->nb_samples) * AV_TIME_BASE / rate;
        // The kept part starts and ends to the sample.
        const int64_t until = KeepUntil();
        if (ist.Pts >= until) {
            ist.PastRecordingTime = true;
            return;
        }
        int head = 0;
        const int64_t from = KeepFrom(ist);
        if (ist.Pts < from) {
            if (rate <= 0)
                return;
            const int64_t before = from - ist.Pts;
            head = static_cast<int>(
                std::min<int64_t>((before * rate + AV_TIME_BASE / 2) / AV_TIME_BASE, INT_MAX));
            if (head >= frame->nb_samples)
                return;
        }
        if (until != INT64_MAX && rate > 0) {
            const int64_t left = until - ist.Pts;
            const int64_t keep = (left * rate + AV_TIME_BASE / 2) / AV_TIME_BASE;
            if (keep < frame->nb_samples) {
                frame->nb_samples = static_cast<int>(std::max<int64_t>(keep, head));
                ist.PastRecordingTime = true;
                if (frame->nb_samples <= head)
                    return;
            }
        }
        if (settings_.AudioVolume != 256 && ff::av_frame_make_writable(frame) >= 0)
            ApplyVolume(*frame, settings_.AudioVolume);
        for (TOutputStream& ost : state.OutputStreams)
            if (ost.EncodingNeeded &&
                &state.InputStreams[static_cast<size_t>(ost.SourceIndex)] == &ist)
                AudioOut(ost, ist, *frame, head);
    });
}

void TCustomFFmpeg::CopyPacket(TOutputStream& ost, const TInputStream& ist,
                               const AVPacket* packet) {
    TTranscodeState& state = *transcode_;
    // Copied packets start at the keyframe at or before the start, as they cannot be cut.
    if (settings_.StartTime != 0 && ist.Pts < settings_.StartTime)
        return;
    if (ost.FrameNumber == 0 && !(packet->flags & AV_PKT_FLAG_KEY) &&
        !settings_.CopyInitialNonKeyframes &&
        ist.Stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO)
        return;
    AVPacket* copy = state.EncodedPacket.get();
    if (ff::av_packet_ref(copy, packet) < 0)
        return;
    const AVRational from = ist.Stream->time_base;
    const AVRational to = ost.Stream->time_base;
    const int64_t start = ff::av_rescale_q(settings_.StartTime, AV_TIME_BASE_Q, to);
    if (copy->pts != AV_NOPTS_VALUE)
        copy->pts = ff::av_rescale_q(copy->pts, from, to) - start;
    if (copy->dts != AV_NOPTS_VALUE)
        copy->dts = ff::av_rescale_q(copy->dts, from, to) - start;
    else
        copy->dts = ff::av_rescale_q(ist.Pts, AV_TIME_BASE_Q, to) - start;
    copy->duration = ff::av_rescale_q(copy->duration, from, to);
    {
        std::lock_guard lock(state.OutputMutex);
        if (ist.Stream->codecpar->codec_type == AVMEDIA_TYPE_AUDIO)
            state.AudioBytes += copy->size;
        else if (ist.Stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO)
            state.VideoBytes += copy->size;
    }
    ++ost.FrameNumber;
    WritePacket(ost, copy);
    ff::av_packet_unref(copy);
}

void TCustomFFmpeg::FlushInputStream(TInputStream& ist) {
    ist.Flushed = true;
    if (!ist.DecoderOpen)
        return;
    OutputPacket(ist, nullptr);
    TTranscodeState& state = *transcode_;
    // The filter graphs fed by this stream hand out what they still hold.
    for (TOutputStream& ost : state.OutputStreams) {
        if (!ost.Filter || &state.InputStreams[static_cast<size_t>(ost.SourceIndex)] != &ist)
            continue;
        FilterAndOutput(ost, ist, nullptr);
    }
}

bool TCustomFFmpeg::FinishJoinedInput(int fileIndex) {
    TTranscodeState& state = *transcode_;
    for (TInputStream& ist : state.InputStreams)
        if (ist.FileIndex == fileIndex && ist.DecodingNeeded) {
            if (!ist.Flushed)
                FlushInputStream(ist);
            std::lock_guard lock(CodecLock());
            ist.Decoder.reset();
            ist.DecoderOpen = false;
            ist.DecodingNeeded = false;
            ist.Taken = false;
        }
    if (fileIndex + 1 >= inputCount_)
        return false;
    // The next input continues where the output stands now.
    double largest = 0.0;
    std::unique_lock lock(state.OutputMutex);
    for (const TOutputStream& ost : state.OutputStreams) {
        double time = static_cast<double>(ost.LastMuxTime) / AV_TIME_BASE;
        if (ost.EncodingNeeded && ost.Setup->Codec)
            time = static_cast<double>(ost.SyncOpts) * av_q2d(ost.Setup->Codec->time_base);
        largest = std::max(largest, time);
    }
    lock.unlock();
    const int next = fileIndex + 1;
    const int64_t shift = std::llround(largest * AV_TIME_BASE);
    inputs_[static_cast<size_t>(next)].TsOffset += shift;
    if (inputs_[static_cast<size_t>(next)].KeepFrom != INT64_MIN)
        inputs_[static_cast<size_t>(next)].KeepFrom += shift;
    for (TOutputStream& ost : state.OutputStreams) {
        ost.SourceIndex = ChooseSourceStream(ost.Stream->codecpar->codec_type, next, ost.FileIndex,
                                             ost.StreamIndex);
        ost.SyncIndex = ost.SourceIndex;
        TInputStream& ist = state.InputStreams[static_cast<size_t>(ost.SourceIndex)];
        ist.Taken = true;
        if (ost.EncodingNeeded)
            ist.DecodingNeeded = true;
    }
    OpenDecoders();
    state.CurrentJoinInput = next;
    return true;
}

} // namespace tovik
