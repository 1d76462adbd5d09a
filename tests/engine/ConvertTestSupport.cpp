#include "ConvertTestSupport.h"

#include "media/PictureToBitmap.h"
#include "media/UnicodeProtocol.h"

namespace tovik::test {

std::vector<double> VideoFrameTimes(const std::string& fileName) {
    std::vector<double> times;
    AVFormatContext* context = nullptr;
    if (OpenInputFormat(&context, NameForLibrary(fileName), nullptr, nullptr) < 0)
        return times;
    ff::avformat_find_stream_info(context, nullptr);
    const int index = ff::av_find_best_stream(context, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (index >= 0) {
        TPacketPtr packet = MakePacket();
        const AVRational timeBase = context->streams[index]->time_base;
        while (ff::av_read_frame(context, packet.get()) >= 0) {
            if (packet->stream_index == index) {
                const int64_t t = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
                times.push_back(static_cast<double>(t) * av_q2d(timeBase));
            }
            ff::av_packet_unref(packet.get());
        }
    }
    CloseInputFormat(&context);
    std::sort(times.begin(), times.end());
    return times;
}

TBitmap FirstPicture(const std::string& fileName) {
    TBitmap bitmap;
    AVFormatContext* context = nullptr;
    if (OpenInputFormat(&context, NameForLibrary(fileName), nullptr, nullptr) < 0)
        return bitmap;
    ff::avformat_find_stream_info(context, nullptr);
    const AVCodec* codec = nullptr;
    const int index = ff::av_find_best_stream(context, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
    if (index >= 0 && codec) {
        TCodecContextPtr decoder(ff::avcodec_alloc_context3(codec));
        ff::avcodec_parameters_to_context(decoder.get(), context->streams[index]->codecpar);
        if (ff::avcodec_open2(decoder.get(), codec, nullptr) >= 0) {
            TPacketPtr packet = MakePacket();
            TFramePtr frame = MakeFrame();
            bool done = false;
            while (!done && ff::av_read_frame(context, packet.get()) >= 0) {
                if (packet->stream_index == index &&
                    ff::avcodec_send_packet(decoder.get(), packet.get()) >= 0 &&
                    ff::avcodec_receive_frame(decoder.get(), frame.get()) >= 0) {
                    TPictureConverter converter;
                    converter.FrameToBitmap(*frame, bitmap);
                    done = true;
                }
                ff::av_packet_unref(packet.get());
            }
        }
    }
    CloseInputFormat(&context);
    return bitmap;
}

std::vector<int16_t> PcmSamples(const std::string& fileName) {
    std::vector<int16_t> samples;
    AVFormatContext* context = nullptr;
    if (OpenInputFormat(&context, NameForLibrary(fileName), nullptr, nullptr) < 0)
        return samples;
    ff::avformat_find_stream_info(context, nullptr);
    TPacketPtr packet = MakePacket();
    while (ff::av_read_frame(context, packet.get()) >= 0) {
        if (context->streams[packet->stream_index]->codecpar->codec_id == AV_CODEC_ID_PCM_S16LE) {
            const auto* data = reinterpret_cast<const int16_t*>(packet->data);
            samples.insert(samples.end(), data, data + packet->size / 2);
        }
        ff::av_packet_unref(packet.get());
    }
    CloseInputFormat(&context);
    return samples;
}

std::vector<int16_t> DecodedSamples(const std::string& fileName, std::vector<int64_t>* times) {
    std::vector<int16_t> samples;
    AVFormatContext* context = nullptr;
    if (OpenInputFormat(&context, NameForLibrary(fileName), nullptr, nullptr) < 0)
        return samples;
    ff::avformat_find_stream_info(context, nullptr);
    const AVCodec* codec = nullptr;
    const int index = ff::av_find_best_stream(context, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    TCodecContextPtr decoder(index >= 0 && codec ? ff::avcodec_alloc_context3(codec) : nullptr);
    if (decoder &&
        ff::avcodec_parameters_to_context(decoder.get(), context->streams[index]->codecpar) >= 0 &&
        ff::avcodec_open2(decoder.get(), codec, nullptr) >= 0) {
        TPacketPtr packet = MakePacket();
        TFramePtr frame = MakeFrame();
        auto drain = [&] {
            while (ff::avcodec_receive_frame(decoder.get(), frame.get()) >= 0) {
                if (frame->format == AV_SAMPLE_FMT_S16) {
                    const auto* data = reinterpret_cast<const int16_t*>(frame->data[0]);
                    samples.insert(samples.end(), data,
                                   data + frame->nb_samples * frame->ch_layout.nb_channels);
                }
                ff::av_frame_unref(frame.get());
            }
        };
        while (ff::av_read_frame(context, packet.get()) >= 0) {
            if (packet->stream_index == index) {
                if (times)
                    times->push_back(packet->pts);
                if (ff::avcodec_send_packet(decoder.get(), packet.get()) >= 0)
                    drain();
            }
            ff::av_packet_unref(packet.get());
        }
        ff::avcodec_send_packet(decoder.get(), nullptr);
        drain();
    }
    CloseInputFormat(&context);
    return samples;
}

} // namespace tovik::test
