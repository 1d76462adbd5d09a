// Input and output stage of the engine: creating the video, audio and subtitle streams of an
// output from the pending settings.

#include "engine/CodecThreads.h"
#include "engine/FFmpeg.h"
#include "media/MediaLogger.h"
#include "media/TextFormat.h"

#include <cmath>
#include <cstring>

namespace tovik {

namespace {

// "start,end,q/start,end,q..." of "rc_override".
void ParseRateControlOverride(const std::string& text, AVCodecContext& codec) {
    std::vector<RcOverride> entries;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('/', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string entry = text.substr(start, end - start);
        int first = 0;
        int last = 0;
        int q = 0;
        char extra = 0;
        if (std::sscanf(entry.c_str(), "%d,%d,%d%c", &first, &last, &q, &extra) != 3)
            throw FFmpegException("error parsing rc_override");
        RcOverride item{};
        item.start_frame = first;
        item.end_frame = last;
        if (q > 0) {
            item.qscale = q;
            item.quality_factor = 1.0f;
        } else {
            item.qscale = 0;
            item.quality_factor = -static_cast<float>(q) / 100.0f;
        }
        entries.push_back(item);
        start = end + 1;
    }
    if (entries.empty())
        return;
    codec.rc_override =
        static_cast<RcOverride*>(ff::av_malloc(entries.size() * sizeof(RcOverride)));
    if (!codec.rc_override)
        throw FFmpegException("Could not alloc stream");
    std::memcpy(codec.rc_override, entries.data(), entries.size() * sizeof(RcOverride));
    codec.rc_override_count = static_cast<int>(entries.size());
}

uint16_t* CopyMatrix(const std::vector<uint16_t>& matrix) {
    if (matrix.size() != 64)
        return nullptr;
    auto* copy = static_cast<uint16_t*>(ff::av_malloc(64 * sizeof(uint16_t)));
    if (copy)
        std::memcpy(copy, matrix.data(), 64 * sizeof(uint16_t));
    return copy;
}

AVRational AspectToSampleRatio(double aspect, int width, int height) {
    const double ratio = width > 0 && height > 0 ? aspect * height / width : aspect * 3.0 / 4.0;
    return ff::av_d2q(ratio, 255);
}

} // namespace

void TCustomFFmpeg::NewStream(TOutputFile& output, AVMediaType type, const char* failurePrefix) {
    try {
        switch (type) {
        case AVMEDIA_TYPE_VIDEO:
            NewVideoStream(output);
            break;
        case AVMEDIA_TYPE_AUDIO:
            NewAudioStream(output);
            break;
        case AVMEDIA_TYPE_SUBTITLE:
            NewSubtitleStream(output);
            break;
        default:
            throw FFmpegException("invalid codec_type");
        }
    } catch (const std::exception& error) {
        throw FFmpegException(failurePrefix + std::string(error.what()));
    }
}

TOutputStreamSetup& TCustomFFmpeg::CreateStream(TOutputFile& output, AVMediaType type,
                                                const AVCodec* encoder) {
    AVStream* stream = ff::avformat_new_stream(output.Context, nullptr);
    if (!stream)
        throw FFmpegException("Could not alloc stream");
    for (const auto& [index, identifier] : settings_.StreamIds)
        if (index == stream->index)
            stream->id = identifier;
    auto setup = std::make_unique<TOutputStreamSetup>();
    setup->Stream = stream;
    setup->Encoder = encoder;
    // With the encoder known, its own defaults replace the generic ones (libx264 refuses
    // the generic rate-control defaults).
    setup->Codec.reset(ff::avcodec_alloc_context3(encoder));
    if (!setup->Codec)
        throw FFmpegException("Could not alloc stream");
    setup->Codec->codec_type = type;
    setup->Codec->thread_count = settings_.ThreadCount != 0
                                     ? settings_.ThreadCount
                                     : AutomaticEncoderThreads(encoder, ff::av_cpu_count());
    std::vector<std::string>& filters = type == AVMEDIA_TYPE_VIDEO ? settings_.VideoBitstreamFilters
                                        : type == AVMEDIA_TYPE_AUDIO
                                            ? settings_.AudioBitstreamFilters
                                            : settings_.SubtitleBitstreamFilters;
    setup->BitstreamFilters = std::move(filters);
    filters.clear();
    const uint32_t tag = type == AVMEDIA_TYPE_VIDEO   ? settings_.VideoCodecTag
                         : type == AVMEDIA_TYPE_AUDIO ? settings_.AudioCodecTag
                                                      : settings_.SubtitleCodecTag;
    if (tag)
        setup->Codec->codec_tag = tag;
    output.Streams.push_back(std::move(setup));
    return *output.Streams.back();
}

void TCustomFFmpeg::ApplyEncodingDefaults(AVCodecContext& codec, AVMediaType type) {
    if (!defaultOptions_)
        return;
    const int typeFlag = type == AVMEDIA_TYPE_VIDEO   ? AV_OPT_FLAG_VIDEO_PARAM
                         : type == AVMEDIA_TYPE_AUDIO ? AV_OPT_FLAG_AUDIO_PARAM
                                                      : AV_OPT_FLAG_SUBTITLE_PARAM;
    defaultOptions_->ApplyDefaultOptions(defaultOptions_->CodecContext(type), &codec,
                                         AV_OPT_FLAG_ENCODING_PARAM | typeFlag);
}

const AVCodec* TCustomFFmpeg::ChooseEncoder(const TOutputFile& output, AVMediaType type,
                                            const std::string& name) {
    if (!name.empty()) {
        const AVCodec* codec = nullptr;
        if (!FindCodec(name, type, true, codec))
            throw FFmpegException(lastError_);
        return codec;
    }
    const AVCodecID id =
        ff::av_guess_codec(output.Context->oformat, nullptr, output.Context->url, nullptr, type);
    return id == AV_CODEC_ID_NONE ? nullptr : ff::avcodec_find_encoder(id);
}

void TCustomFFmpeg::NewVideoStream(TOutputFile& output) {
    const AVCodec* encoder = settings_.VideoStreamCopy ? nullptr
                                                       : ChooseEncoder(output, AVMEDIA_TYPE_VIDEO,
                                                                       settings_.VideoCodecName);
    TOutputStreamSetup& setup = CreateStream(output, AVMEDIA_TYPE_VIDEO, encoder);
    AVCodecContext& codec = *setup.Codec;
    const int global = settings_.VideoGlobalHeader;
    if ((global & 1) || (global == 0 && (output.Context->oformat->flags & AVFMT_GLOBALHEADER)))
        codec.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (global & 2)
        codec.flags2 |= AV_CODEC_FLAG2_LOCAL_HEADER;

    const AVRational aspect = AspectToSampleRatio(settings_.FrameAspectRatio, settings_.FrameWidth,
                                                  settings_.FrameHeight);
    if (settings_.VideoStreamCopy) {
        setup.StreamCopy = true;
        setup.Stream->sample_aspect_ratio = aspect;
        codec.sample_aspect_ratio = aspect;
    } else {
        AVRational rate = settings_.FrameRate.num > 0 && settings_.FrameRate.den > 0
                              ? settings_.FrameRate
                              : AVRational{25, 1};
        ApplyEncodingDefaults(codec, AVMEDIA_TYPE_VIDEO);
        if (setup.Encoder && setup.Encoder->supported_framerates && !settings_.ForceFps)
            rate = setup.Encoder->supported_framerates[ff::av_find_nearest_q_idx(
                rate, setup.Encoder->supported_framerates)];
        codec.time_base = AVRational{rate.den, rate.num};
        codec.framerate = rate;
        codec.width = settings_.FrameWidth;
        codec.height = settings_.FrameHeight;
        codec.sample_aspect_ratio = aspect;
        setup.Stream->sample_aspect_ratio = aspect;
        AVPixelFormat format = settings_.FramePixFmt;
        if (setup.Encoder && setup.Encoder->pix_fmts) {
            bool supported = false;
            for (const AVPixelFormat* p = setup.Encoder->pix_fmts; *p != AV_PIX_FMT_NONE; ++p)
                supported |= *p == format;
            const bool mjpegLenient =
                setup.Encoder->id == AV_CODEC_ID_MJPEG && codec.strict_std_compliance < 0 &&
                (format == AV_PIX_FMT_YUV420P || format == AV_PIX_FMT_YUV422P);
            if (!supported && !mjpegLenient)
                format = setup.Encoder->pix_fmts[0];
        }
        codec.pix_fmt = format;
        if (settings_.IntraOnly)
            codec.gop_size = 0;
        if (settings_.VideoQScale > 0 || settings_.SameQuality) {
            const float qscale = settings_.VideoQScale > 0 ? settings_.VideoQScale : 1.0f;
            codec.flags |= AV_CODEC_FLAG_QSCALE;
            setup.Quality = FF_QP2LAMBDA * qscale;
            codec.global_quality = static_cast<int>(setup.Quality);
        }
        codec.intra_matrix = CopyMatrix(settings_.IntraMatrix);
        codec.inter_matrix = CopyMatrix(settings_.InterMatrix);
        if (!settings_.RcOverrideString.empty())
            ParseRateControlOverride(settings_.RcOverrideString, codec);
        if (codec.rc_initial_buffer_occupancy == 0)
            codec.rc_initial_buffer_occupancy = codec.rc_buffer_size * 3 / 4;
        codec.intra_dc_precision = settings_.IntraDcPrecision - 8;
        if (settings_.DoPSNR)
            codec.flags |= AV_CODEC_FLAG_PSNR;
        if (settings_.DoPass == 1)
            codec.flags |= AV_CODEC_FLAG_PASS1;
        else if (settings_.DoPass == 2)
            codec.flags |= AV_CODEC_FLAG_PASS2;
    }
    if (!settings_.VideoLanguage.empty())
        ff::av_dict_set(&setup.Stream->metadata, "language", settings_.VideoLanguage.c_str(), 0);
    settings_.VideoLanguage.clear();
    settings_.VideoDisable = false;
    settings_.VideoCodecName.clear();
    settings_.VideoStreamCopy = false;
    settings_.FramePixFmt = AV_PIX_FMT_NONE;
}

void TCustomFFmpeg::NewAudioStream(TOutputFile& output) {
    const AVCodec* encoder = settings_.AudioStreamCopy ? nullptr
                                                       : ChooseEncoder(output, AVMEDIA_TYPE_AUDIO,
                                                                       settings_.AudioCodecName);
    TOutputStreamSetup& setup = CreateStream(output, AVMEDIA_TYPE_AUDIO, encoder);
    AVCodecContext& codec = *setup.Codec;
    if (output.Context->oformat->flags & AVFMT_GLOBALHEADER)
        codec.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (settings_.AudioStreamCopy) {
        setup.StreamCopy = true;
        ff::av_channel_layout_uninit(&codec.ch_layout);
        ff::av_channel_layout_default(&codec.ch_layout, settings_.AudioChannels);
        codec.sample_rate = settings_.AudioSampleRate;
    } else {
        ApplyEncodingDefaults(codec, AVMEDIA_TYPE_AUDIO);
        if (settings_.AudioQScale > -99999.0f) {
            codec.flags |= AV_CODEC_FLAG_QSCALE;
            setup.Quality = FF_QP2LAMBDA * settings_.AudioQScale;
            codec.global_quality = static_cast<int>(setup.Quality);
        }
        const int channels = settings_.AudioChannels > 0 ? settings_.AudioChannels : 2;
        ff::av_channel_layout_uninit(&codec.ch_layout);
        ff::av_channel_layout_default(&codec.ch_layout, channels);
        AVSampleFormat format = settings_.AudioSampleFmt;
        int rate = settings_.AudioSampleRate > 0 ? settings_.AudioSampleRate : 44100;
        if (setup.Encoder && setup.Encoder->sample_fmts) {
            bool supported = false;
            for (const AVSampleFormat* f = setup.Encoder->sample_fmts; *f != AV_SAMPLE_FMT_NONE;
                 ++f)
                supported |= *f == format;
            if (!supported)
                format = setup.Encoder->sample_fmts[0];
        }
        if (setup.Encoder && setup.Encoder->supported_samplerates) {
            int best = setup.Encoder->supported_samplerates[0];
            for (const int* r = setup.Encoder->supported_samplerates; *r; ++r)
                if (std::abs(*r - rate) < std::abs(best - rate))
                    best = *r;
            if (best != rate)
                LoggerInstance().LogFmt(this, TLogLevel::llWarning,
                                        "Requested sampling rate unsupported using closest "
                                        "supported (%d)",
                                        best);
            rate = best;
        }
        codec.sample_fmt = format;
        codec.sample_rate = rate;
        codec.time_base = AVRational{1, rate};
        setup.ChannelsFromSource = !settings_.AudioChannelsSet;
        setup.RateFromSource = !settings_.AudioSampleRateSet;
    }
    if (!settings_.AudioLanguage.empty())
        ff::av_dict_set(&setup.Stream->metadata, "language", settings_.AudioLanguage.c_str(), 0);
    settings_.AudioLanguage.clear();
    settings_.AudioDisable = false;
    settings_.AudioCodecName.clear();
    settings_.AudioStreamCopy = false;
}

void TCustomFFmpeg::NewSubtitleStream(TOutputFile& output) {
    const AVCodec* encoder = nullptr;
    if (!settings_.SubtitleStreamCopy &&
        !FindCodec(settings_.SubtitleCodecName, AVMEDIA_TYPE_SUBTITLE, true, encoder))
        throw FFmpegException(lastError_);
    TOutputStreamSetup& setup = CreateStream(output, AVMEDIA_TYPE_SUBTITLE, encoder);
    if (settings_.SubtitleStreamCopy)
        setup.StreamCopy = true;
    else
        ApplyEncodingDefaults(*setup.Codec, AVMEDIA_TYPE_SUBTITLE);
    if (!settings_.SubtitleLanguage.empty())
        ff::av_dict_set(&setup.Stream->metadata, "language", settings_.SubtitleLanguage.c_str(), 0);
    settings_.SubtitleLanguage.clear();
    settings_.SubtitleDisable = false;
    settings_.SubtitleCodecName.clear();
    settings_.SubtitleStreamCopy = false;
}

} // namespace tovik
