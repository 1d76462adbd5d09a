#include "StreamFacts.h"

#include "media/DisplayRotation.h"
#include "media/LibraryBindings.h"
#include "media/PictureToBitmap.h"
#include "media/UnicodeProtocol.h"

#include <algorithm>
#include <cmath>

namespace tovik::test {

namespace {

double SampleValue(const AVFrame& frame, int channel, int index) {
    const auto format = static_cast<AVSampleFormat>(frame.format);
    const bool planar = ff::av_sample_fmt_is_planar(format);
    const int channels = frame.ch_layout.nb_channels;
    const uint8_t* plane = frame.extended_data[planar ? channel : 0];
    const int at = planar ? index : index * channels + channel;
    switch (ff::av_get_packed_sample_fmt(format)) {
    case AV_SAMPLE_FMT_U8:
        return (plane[at] - 128) / 128.0;
    case AV_SAMPLE_FMT_S16:
        return reinterpret_cast<const int16_t*>(plane)[at] / 32768.0;
    case AV_SAMPLE_FMT_S32:
        return reinterpret_cast<const int32_t*>(plane)[at] / 2147483648.0;
    case AV_SAMPLE_FMT_FLT:
        return reinterpret_cast<const float*>(plane)[at];
    case AV_SAMPLE_FMT_DBL:
        return reinterpret_cast<const double*>(plane)[at];
    default:
        return 0;
    }
}

struct TStreamDecoder {
    TCodecContextPtr Codec;
    bool Started = false;
    double LastTime = 0;
    double LastDuration = 0;
};

void TakeFrame(TDecodedStream& facts, TStreamDecoder& decoder, const AVStream& stream,
               const AVFrame& frame) {
    const int64_t stamp = frame.best_effort_timestamp;
    const double time = stamp != AV_NOPTS_VALUE
                            ? static_cast<double>(stamp) * av_q2d(stream.time_base)
                            : decoder.LastTime + decoder.LastDuration;
    if (!decoder.Started) {
        decoder.Started = true;
        facts.Start = time;
    }
    ++facts.Frames;
    if (facts.Type == AVMEDIA_TYPE_AUDIO) {
        if (facts.Channels == 0) {
            facts.Channels = frame.ch_layout.nb_channels;
            facts.SampleRate = frame.sample_rate;
            char text[128] = {};
            ff::av_channel_layout_describe(&frame.ch_layout, text, sizeof text);
            facts.Layout = text;
        }
        // The first 5..25 ms of the stream, wherever its frames split them.
        const double rate = frame.sample_rate;
        for (int i = 0; i < frame.nb_samples && rate > 0; ++i) {
            const double at = static_cast<double>(facts.Samples + i) / rate;
            if (at < 0.005 || at >= 0.025)
                continue;
            for (int c = 0; c < frame.ch_layout.nb_channels; ++c)
                facts.FirstPeak = std::max(facts.FirstPeak, std::fabs(SampleValue(frame, c, i)));
        }
        facts.Samples += frame.nb_samples;
        facts.End = facts.Start + static_cast<double>(facts.Samples) / std::max(rate, 1.0);
        decoder.LastDuration = frame.nb_samples / std::max(rate, 1.0);
    } else if (facts.Type == AVMEDIA_TYPE_VIDEO) {
        if (facts.FirstPicture.Empty()) {
            TPictureConverter converter;
            converter.FrameToBitmap(frame, facts.FirstPicture);
            if (facts.SampleAspect.num == 0)
                facts.SampleAspect = frame.sample_aspect_ratio;
        }
        AVRational rate = stream.avg_frame_rate.num ? stream.avg_frame_rate : stream.r_frame_rate;
        double duration = frame.pkt_duration > 0
                              ? static_cast<double>(frame.pkt_duration) * av_q2d(stream.time_base)
                              : 0.0;
        if (duration <= 0 && rate.num > 0)
            duration = av_q2d(AVRational{rate.den, rate.num});
        decoder.LastDuration = duration;
        facts.End = std::max(facts.End, time + duration);
    }
    decoder.LastTime = time;
}

} // namespace

double TDecodedStream::DisplayAspect() const {
    if (Height <= 0)
        return 0;
    const double sar = SampleAspect.num > 0 ? av_q2d(SampleAspect) : 1.0;
    return sar * Width / Height;
}

std::vector<TDecodedStream> DecodeStreams(const std::string& fileName) {
    std::vector<TDecodedStream> result;
    AVFormatContext* context = nullptr;
    if (OpenInputFormat(&context, NameForLibrary(fileName), nullptr, nullptr) < 0)
        return result;
    ff::avformat_find_stream_info(context, nullptr);
    std::vector<TStreamDecoder> decoders(context->nb_streams);
    result.resize(context->nb_streams);
    for (unsigned s = 0; s < context->nb_streams; ++s) {
        const AVStream* stream = context->streams[s];
        TDecodedStream& facts = result[s];
        facts.Type = stream->codecpar->codec_type;
        facts.Codec = ff::avcodec_get_name(stream->codecpar->codec_id);
        facts.AttachedPicture = (stream->disposition & AV_DISPOSITION_ATTACHED_PIC) != 0;
        facts.Width = stream->codecpar->width;
        facts.Height = stream->codecpar->height;
        facts.SampleAspect = stream->sample_aspect_ratio.num
                                 ? stream->sample_aspect_ratio
                                 : stream->codecpar->sample_aspect_ratio;
        facts.Rotation = DisplayRotation(*stream);
        const AVCodec* codec = ff::avcodec_find_decoder(stream->codecpar->codec_id);
        if (!codec || (facts.Type != AVMEDIA_TYPE_AUDIO && facts.Type != AVMEDIA_TYPE_VIDEO))
            continue;
        TCodecContextPtr decoder(ff::avcodec_alloc_context3(codec));
        if (!decoder || ff::avcodec_parameters_to_context(decoder.get(), stream->codecpar) < 0)
            continue;
        decoder->pkt_timebase = stream->time_base;
        if (ff::avcodec_open2(decoder.get(), codec, nullptr) >= 0)
            decoders[s].Codec = std::move(decoder);
    }
    TPacketPtr packet = MakePacket();
    TFramePtr frame = MakeFrame();
    const auto drain = [&](unsigned s) {
        while (ff::avcodec_receive_frame(decoders[s].Codec.get(), frame.get()) >= 0) {
            TakeFrame(result[s], decoders[s], *context->streams[s], *frame);
            ff::av_frame_unref(frame.get());
        }
    };
    while (ff::av_read_frame(context, packet.get()) >= 0) {
        const auto s = static_cast<unsigned>(packet->stream_index);
        if (s < decoders.size() && decoders[s].Codec &&
            ff::avcodec_send_packet(decoders[s].Codec.get(), packet.get()) >= 0)
            drain(s);
        ff::av_packet_unref(packet.get());
    }
    for (unsigned s = 0; s < decoders.size(); ++s)
        if (decoders[s].Codec && ff::avcodec_send_packet(decoders[s].Codec.get(), nullptr) >= 0)
            drain(s);
    CloseInputFormat(&context);
    return result;
}

std::vector<TDecodedStream> StreamsOfType(const std::vector<TDecodedStream>& streams,
                                          AVMediaType type) {
    std::vector<TDecodedStream> found;
    for (const TDecodedStream& stream : streams)
        if (stream.Type == type)
            found.push_back(stream);
    return found;
}

double MeanLevel(const TBitmap& bitmap, int x, int y, int width, int height) {
    double sum = 0;
    int count = 0;
    for (int row = std::max(0, y); row < std::min(bitmap.Height(), y + height); ++row) {
        const uint8_t* line = bitmap.ScanLine(row);
        for (int column = std::max(0, x); column < std::min(bitmap.Width(), x + width); ++column) {
            sum += line[column * 3] + line[column * 3 + 1] + line[column * 3 + 2];
            count += 3;
        }
    }
    return count > 0 ? sum / count : 0;
}

int BrightCorner(const TBitmap& bitmap) {
    const int w = bitmap.Width() / 5;
    const int h = bitmap.Height() / 5;
    const int right = bitmap.Width() - w;
    const int bottom = bitmap.Height() - h;
    const double levels[4] = {MeanLevel(bitmap, 0, 0, w, h), MeanLevel(bitmap, right, 0, w, h),
                              MeanLevel(bitmap, right, bottom, w, h),
                              MeanLevel(bitmap, 0, bottom, w, h)};
    int found = -1;
    for (int corner = 0; corner < 4; ++corner) {
        if (levels[corner] < 128)
            continue;
        if (found >= 0)
            return -1;
        found = corner;
    }
    return found;
}

} // namespace tovik::test
