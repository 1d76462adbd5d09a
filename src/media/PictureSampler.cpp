#include "media/PictureSampler.h"

#include "media/CodecLock.h"
#include "media/DisplayRotation.h"
#include "media/LibraryBindings.h"

#include <algorithm>
#include <mutex>

namespace tovik {

namespace {
// How far a sample may decode past its seek point before it takes what it has: a file with
// rare key frames costs that many pictures per sample at most.
constexpr int kMaxPicturesPerSample = 600;
// Without a length: one picture in this many, from the start.
constexpr int kPicturesBetweenSamples = 25;
} // namespace

TPictureSampler::~TPictureSampler() {
    Close();
}

void TPictureSampler::Close() {
    if (decoder_) {
        std::lock_guard<std::mutex> lock(CodecLock());
        decoder_.reset();
    }
    frame_.reset();
    packet_.reset();
    converter_.Release();
    if (probe_.Context())
        probe_.CloseFile();
    stream_ = -1;
}

bool TPictureSampler::Open(const std::string& fileName) {
    Close();
    lastError_.clear();
    if (!probe_.LoadFile(fileName)) {
        lastError_ = probe_.LastErrMsg().empty() ? "Cannot open " + fileName : probe_.LastErrMsg();
        return false;
    }
    stream_ = probe_.FirstVideoStreamIndex();
    if (stream_ < 0) {
        lastError_ = "The file has no picture";
        Close();
        return false;
    }
    AVStream* stream = probe_.Context()->streams[stream_];
    rotation_ = DisplayRotation(*stream);
    const AVCodec* codec = ff::avcodec_find_decoder(stream->codecpar->codec_id);
    if (!codec) {
        lastError_ = "No decoder for the picture";
        Close();
        return false;
    }
    decoder_.reset(ff::avcodec_alloc_context3(codec));
    packet_ = MakePacket();
    frame_ = MakeFrame();
    if (!decoder_ || !packet_ || !frame_ ||
        ff::avcodec_parameters_to_context(decoder_.get(), stream->codecpar) < 0) {
        lastError_ = "Cannot prepare the picture's decoder";
        Close();
        return false;
    }
    decoder_->pkt_timebase = stream->time_base;
    int opened;
    {
        std::lock_guard<std::mutex> lock(CodecLock());
        opened = ff::avcodec_open2(decoder_.get(), codec, nullptr);
    }
    if (opened < 0) {
        lastError_ = "Cannot open the picture's decoder";
        Close();
        return false;
    }
    // Pictures of other streams are not read at all; reading may wait for data (the probe
    // opens without waiting, for its own quick look).
    AVFormatContext* context = probe_.Context();
    context->flags &= ~AVFMT_FLAG_NONBLOCK;
    for (unsigned index = 0; index < context->nb_streams; ++index)
        if (static_cast<int>(index) != stream_)
            context->streams[index]->discard = AVDISCARD_ALL;
    return true;
}

bool TPictureSampler::DecodeFrom(int64_t target, int maxPictures, AVFrame& picture) {
    AVFormatContext* context = probe_.Context();
    bool have = false;
    int decoded = 0;
    draining_ = false;
    while (true) {
        // Pictures the decoder has ready come first.
        while (ff::avcodec_receive_frame(decoder_.get(), frame_.get()) >= 0) {
            ++decoded;
            ff::av_frame_unref(&picture);
            ff::av_frame_move_ref(&picture, frame_.get());
            have = true;
            const int64_t time = picture.best_effort_timestamp;
            if (target == AV_NOPTS_VALUE || time == AV_NOPTS_VALUE || time >= target ||
                decoded >= maxPictures)
                return true;
        }
        if (draining_)
            return have;
        const int read = ff::av_read_frame(context, packet_.get());
        if (read < 0) {
            // The end: what the decoder still holds, then the last picture seen.
            draining_ = true;
            ff::avcodec_send_packet(decoder_.get(), nullptr);
            continue;
        }
        if (packet_->stream_index == stream_)
            ff::avcodec_send_packet(decoder_.get(), packet_.get());
        ff::av_packet_unref(packet_.get());
    }
}

int TPictureSampler::Sample(int count, const TTake& take) {
    if (!decoder_ || count <= 0)
        return 0;
    AVFormatContext* context = probe_.Context();
    const AVStream* stream = context->streams[stream_];
    const int64_t start = context->start_time == AV_NOPTS_VALUE ? 0 : context->start_time;
    const int64_t length = context->duration;
    TFramePtr picture = MakeFrame();
    int taken = 0;
    const auto hand = [&](int64_t time) {
        if (!converter_.FrameToBitmap(*picture, bitmap_))
            return;
        take(bitmap_, time);
        ++taken;
    };
    if (length == AV_NOPTS_VALUE || length <= 0) {
        ff::avformat_seek_file(context, -1, INT64_MIN, start, start, 0);
        ff::avcodec_flush_buffers(decoder_.get());
        for (int sample = 0; sample < count; ++sample) {
            // Every picture but the one taken is decoded and dropped.
            bool have = false;
            for (int skip = 0; skip < kPicturesBetweenSamples; ++skip) {
                have = DecodeFrom(AV_NOPTS_VALUE, 1, *picture);
                if (!have || draining_)
                    break;
            }
            if (!have)
                break;
            hand(picture->best_effort_timestamp == AV_NOPTS_VALUE
                     ? -1
                     : ff::av_rescale_q(picture->best_effort_timestamp, stream->time_base,
                                        AV_TIME_BASE_Q));
            if (draining_)
                break;
        }
        return taken;
    }
    int64_t lastTime = INT64_MIN;
    for (int sample = 0; sample < count; ++sample) {
        const int64_t time = start + length * (2 * sample + 1) / (2 * static_cast<int64_t>(count));
        if (ff::avformat_seek_file(context, -1, INT64_MIN, time, time, 0) < 0)
            ff::avformat_seek_file(context, -1, INT64_MIN, time, INT64_MAX, 0);
        ff::avcodec_flush_buffers(decoder_.get());
        const int64_t target = ff::av_rescale_q(time, AV_TIME_BASE_Q, stream->time_base);
        if (!DecodeFrom(target, kMaxPicturesPerSample, *picture))
            continue;
        const int64_t found = picture->best_effort_timestamp;
        // A sample that landed on the picture before it (the end of the file) is not taken
        // twice.
        if (found != AV_NOPTS_VALUE && found == lastTime)
            continue;
        lastTime = found;
        hand(found == AV_NOPTS_VALUE ? -1
                                     : ff::av_rescale_q(found, stream->time_base, AV_TIME_BASE_Q));
    }
    return taken;
}

} // namespace tovik
