// Transcode set-up stage: stream tables, stream choice and maps, stream copy or encoding
// preparation, opening encoders and decoders, headers and the stream-mapping log.

#include "engine/AudioFormats.h"
#include "engine/CodecThreads.h"
#include "engine/FFmpeg.h"
#include "engine/TranscodeState.h"
#include "media/CodecLock.h"
#include "media/DisplayRotation.h"
#include "media/MediaLogger.h"
#include "media/MyUtils.h"
#include "media/TextFormat.h"

#include <cstring>

namespace tovik {

namespace {

std::string TypeName(AVMediaType type) {
    return StreamTypeName(static_cast<int>(type));
}

} // namespace

void TCustomFFmpeg::BuildStreamTables() {
    TTranscodeState& state = *transcode_;
    const int64_t now = ff::av_gettime();
    size_t decoderIndex = 0;
    for (int f = 0; f < inputCount_; ++f) {
        AVFormatContext* context = inputFiles_[static_cast<size_t>(f)];
        TInputFileState file;
        file.FirstStream = static_cast<int>(state.InputStreams.size());
        file.StreamCount = static_cast<int>(context->nb_streams);
        state.InputFiles.push_back(file);
        for (unsigned s = 0; s < context->nb_streams; ++s) {
            TInputStream stream;
            stream.FileIndex = f;
            stream.StreamIndex = static_cast<int>(s);
            stream.Stream = context->streams[s];
            stream.ForcedDecoder =
                decoderIndex < inputDecoders_.size() ? inputDecoders_[decoderIndex] : nullptr;
            ++decoderIndex;
            if (settings_.RateEmu)
                stream.StartWallTime = now;
            state.InputStreams.push_back(std::move(stream));
        }
    }

    // How many streams the outputs have; the join group of entry n reads input n.
    const int entries = joined_ ? 1 : outputCount_;
    int total = 0;
    for (int o = 0; o < entries; ++o) {
        const TOutputFile& output = *outputs_[static_cast<size_t>(o)];
        if (output.Streams.empty()) {
            ff::av_dump_format(output.Context, o, output.Context->url, 1);
            throw FFmpegException(FormatText("Output file #%d does not contain any stream", o));
        }
        total += static_cast<int>(output.Streams.size());
    }
    const auto& maps = settings_.StreamMaps;
    if (!maps.empty()) {
        if (static_cast<int>(maps.size()) != total)
            throw FFmpegException("Number of stream maps must match number of output streams");
        for (const TStreamMap& map : maps) {
            if (map.FileIndex < 0 || map.FileIndex >= inputCount_ || map.StreamIndex < 0 ||
                map.StreamIndex >= state.InputFiles[static_cast<size_t>(map.FileIndex)].StreamCount)
                throw FFmpegException(FormatText("Could not find input stream #%d.%d",
                                                 map.FileIndex, map.StreamIndex));
            if (map.SyncFileIndex < 0 || map.SyncFileIndex >= inputCount_ ||
                map.SyncStreamIndex < 0 ||
                map.SyncStreamIndex >=
                    state.InputFiles[static_cast<size_t>(map.SyncFileIndex)].StreamCount)
                throw FFmpegException(FormatText("Could not find sync stream #%d.%d",
                                                 map.SyncFileIndex, map.SyncStreamIndex));
        }
    }

    int mapIndex = 0;
    for (int o = 0; o < entries; ++o) {
        TOutputFile& output = *outputs_[static_cast<size_t>(o)];
        for (size_t s = 0; s < output.Streams.size(); ++s) {
            TOutputStreamSetup& setup = *output.Streams[s];
            TOutputStream& ost = state.OutputStreams.emplace_back();
            ost.FileIndex = o;
            ost.StreamIndex = static_cast<int>(s);
            ost.Stream = setup.Stream;
            ost.Setup = &setup;
            ost.StreamCopy = setup.StreamCopy;
            const AVMediaType type = setup.Codec->codec_type;
            if (!maps.empty()) {
                const TStreamMap& map = maps[static_cast<size_t>(mapIndex++)];
                ost.SourceIndex = state.InputFiles[static_cast<size_t>(map.FileIndex)].FirstStream +
                                  map.StreamIndex;
                ost.SyncIndex =
                    state.InputFiles[static_cast<size_t>(map.SyncFileIndex)].FirstStream +
                    map.SyncStreamIndex;
                const AVMediaType sourceType =
                    state.InputStreams[static_cast<size_t>(ost.SourceIndex)]
                        .Stream->codecpar->codec_type;
                if (sourceType != type)
                    throw FFmpegException(
                        FormatText("Codec type mismatch for mapping #%d.%d (%s) -> #%d.%d (%s)",
                                   map.FileIndex, map.StreamIndex, TypeName(sourceType).c_str(), o,
                                   static_cast<int>(s), TypeName(type).c_str()));
            } else {
                ost.SourceIndex =
                    ChooseSourceStream(type, joined_ ? 0 : -1, o, static_cast<int>(s));
                ost.SyncIndex = ost.SourceIndex;
            }
            state.InputStreams[static_cast<size_t>(ost.SourceIndex)].Taken = true;
        }
    }
}

int TCustomFFmpeg::ChooseSourceStream(AVMediaType type, int joinInput, int outputIndex,
                                      int streamIndex) {
    TTranscodeState& state = *transcode_;
    // Among the free streams of the type, the one the libraries rate best (the most frames
    // seen while probing), else the first.
    int best = -1;
    for (size_t i = 0; i < state.InputStreams.size(); ++i) {
        const TInputStream& ist = state.InputStreams[i];
        if (ist.Stream->codecpar->codec_type != type || ist.Stream->discard == AVDISCARD_ALL ||
            ist.Taken || IsAttachedPicture(*ist.Stream))
            continue;
        if (joinInput >= 0 && ist.FileIndex != joinInput)
            continue;
        if (best < 0) {
            best = static_cast<int>(i);
            continue;
        }
        const TInputStream& current = state.InputStreams[static_cast<size_t>(best)];
        if (current.FileIndex == ist.FileIndex) {
            AVFormatContext* context = inputFiles_[static_cast<size_t>(ist.FileIndex)];
            const int preferred = ff::av_find_best_stream(context, type, -1, -1, nullptr, 0);
            if (preferred == ist.StreamIndex)
                best = static_cast<int>(i);
        }
    }
    if (best >= 0)
        return best;
    if (joinInput < 0) {
        for (int i = static_cast<int>(state.InputStreams.size()) - 1; i >= 0; --i) {
            const TInputStream& ist = state.InputStreams[static_cast<size_t>(i)];
            if (ist.Stream->codecpar->codec_type == type && ist.Stream->discard != AVDISCARD_ALL &&
                !IsAttachedPicture(*ist.Stream))
                return i;
        }
    }
    throw FFmpegException(
        FormatText("Could not find input stream matching output stream #%d.%d (%s)", outputIndex,
                   streamIndex, TypeName(type).c_str()));
}

void TCustomFFmpeg::PrepareStreamCopy(TOutputStream& ost) {
    TTranscodeState& state = *transcode_;
    const TInputStream& ist = state.InputStreams[static_cast<size_t>(ost.SourceIndex)];
    const AVCodecParameters* in = ist.Stream->codecpar;
    AVCodecParameters* out = ost.Stream->codecpar;
    const AVOutputFormat* format = outputs_[static_cast<size_t>(ost.FileIndex)]->Context->oformat;
    if (in->extradata_size < 0 || in->extradata_size > INT32_MAX - AV_INPUT_BUFFER_PADDING_SIZE)
        throw FFmpegException("icodec.extradata_size is invalid (too large)");

    if (in->codec_type == AVMEDIA_TYPE_VIDEO) {
        if (hookCallback_)
            throw FFmpegException(
                "-vcodec copy and CustomHook are incompatible (frames are not decoded)");
        if (!frameHooks_.empty())
            throw FFmpegException(
                "-vcodec copy and -vhook are incompatible (frames are not decoded)");
        if (PreviewFlags() != 0)
            throw FFmpegException(
                "-vcodec copy and PostHooks are incompatible (frames are not decoded)");
    } else if (in->codec_type == AVMEDIA_TYPE_AUDIO) {
        if (settings_.AudioVolume != 256)
            throw FFmpegException(
                "-acodec copy and -vol are incompatible (frames are not decoded)");
    } else if (in->codec_type != AVMEDIA_TYPE_SUBTITLE && in->codec_type != AVMEDIA_TYPE_DATA) {
        throw FFmpegException("invalid codec_type of output stream");
    }
    const uint32_t wantedTag = ost.Setup->Codec->codec_tag;
    const AVRational aspect = ost.Stream->sample_aspect_ratio;
    if (ff::avcodec_parameters_copy(out, in) < 0)
        throw FFmpegException("av_mallocz fail");
    if (wantedTag) {
        out->codec_tag = wantedTag;
    } else if (format->codec_tag) {
        // Keep the input's tag only where the container maps it to the same codec (or has
        // no tag for the codec at all); otherwise the muxer picks its own.
        unsigned int tag = 0;
        const bool known = ff::av_codec_get_tag2(format->codec_tag, in->codec_id, &tag) != 0;
        if (known && ff::av_codec_get_id(format->codec_tag, in->codec_tag) != in->codec_id)
            out->codec_tag = 0;
    }
    if (in->codec_type == AVMEDIA_TYPE_VIDEO && aspect.num > 0)
        ost.Stream->sample_aspect_ratio = out->sample_aspect_ratio = aspect;
    if (in->codec_type == AVMEDIA_TYPE_AUDIO &&
        ((in->codec_id == AV_CODEC_ID_MP3 && in->block_align == 1) ||
         in->codec_id == AV_CODEC_ID_AC3))
        out->block_align = 0;
    ost.Stream->time_base = ist.Stream->time_base;
    ost.Stream->avg_frame_rate = ist.Stream->avg_frame_rate;
    ost.Stream->r_frame_rate = ist.Stream->r_frame_rate;
}

void TCustomFFmpeg::CheckDecodable(const TInputStream& ist) {
    // Scalers, resamplers and filters are built from these facts; the libraries assert on
    // a stream that has none, so such a stream fails its task here.
    const AVCodecParameters* in = ist.Stream->codecpar;
    const std::string type = TypeName(in->codec_type);
    const AVCodec* codec = ist.ForcedDecoder && ist.ForcedDecoder->id == in->codec_id
                               ? ist.ForcedDecoder
                               : ff::avcodec_find_decoder(in->codec_id);
    std::string error;
    if (!codec)
        error = FormatText("Decoder (codec id %d) not found for input stream #%d.%d (%s)",
                           static_cast<int>(in->codec_id), ist.FileIndex, ist.StreamIndex,
                           type.c_str());
    else if (in->codec_type == AVMEDIA_TYPE_VIDEO &&
             (in->format < 0 || in->width <= 0 || in->height <= 0))
        error = FormatText("Input stream #%d.%d (%s) cannot be decoded: its picture size or "
                           "pixel format is unknown (damaged or unsupported file)",
                           ist.FileIndex, ist.StreamIndex, type.c_str());
    else if (in->codec_type == AVMEDIA_TYPE_AUDIO &&
             (in->format < 0 || in->sample_rate <= 0 || in->ch_layout.nb_channels <= 0))
        error = FormatText("Input stream #%d.%d (%s) cannot be decoded: its sample format, rate "
                           "or channels are unknown (damaged or unsupported file)",
                           ist.FileIndex, ist.StreamIndex, type.c_str());
    if (error.empty())
        return;
    LogStreamMapping();
    LoggerInstance().Log(this, TLogLevel::llError, error);
    throw FFmpegException(error);
}

void TCustomFFmpeg::ChooseAudioFormat(TOutputStream& ost, const TInputStream& ist) {
    AVCodecContext& encoder = *ost.Setup->Codec;
    const AVCodecParameters* in = ist.Stream->codecpar;
    const AVCodec* codec = ost.Setup->Encoder;
    const AVOutputFormat* format = outputs_[static_cast<size_t>(ost.FileIndex)]->Context->oformat;
    // DV carries 16-bit stereo at 48, 44.1 or 32 kHz only.
    const bool dv = std::strcmp(format->name, "dv") == 0;
    AVChannelLayout wanted{};
    if (ost.Setup->ChannelsFromSource && in->ch_layout.nb_channels > 0) {
        if (in->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
            ff::av_channel_layout_default(&wanted, in->ch_layout.nb_channels);
        else
            ff::av_channel_layout_copy(&wanted, &in->ch_layout);
    } else {
        ff::av_channel_layout_copy(&wanted, &encoder.ch_layout);
    }
    if (dv && wanted.nb_channels != 2) {
        ff::av_channel_layout_uninit(&wanted);
        ff::av_channel_layout_default(&wanted, 2);
    }
    AVChannelLayout chosen{};
    if (ost.Setup->ChannelsFromSource)
        NearestChannelLayout(codec, wanted, chosen);
    else
        ff::av_channel_layout_copy(&chosen, &wanted);
    ff::av_channel_layout_uninit(&wanted);
    ff::av_channel_layout_uninit(&encoder.ch_layout);
    ff::av_channel_layout_copy(&encoder.ch_layout, &chosen);
    ff::av_channel_layout_uninit(&chosen);

    int rate = encoder.sample_rate;
    if (ost.Setup->RateFromSource && in->sample_rate > 0)
        rate = NearestSampleRate(codec, in->sample_rate);
    if (dv && rate != 48000 && rate != 44100 && rate != 32000)
        rate = 48000;
    encoder.sample_rate = rate;
    encoder.time_base = AVRational{1, rate};
}

void TCustomFFmpeg::PrepareEncoding(TOutputStream& ost, int outputPosition) {
    TTranscodeState& state = *transcode_;
    TInputStream& ist = state.InputStreams[static_cast<size_t>(ost.SourceIndex)];
    AVCodecContext& encoder = *ost.Setup->Codec;
    const AVCodecParameters* in = ist.Stream->codecpar;
    ost.EncodingNeeded = true;
    ist.DecodingNeeded = true;
    CheckDecodable(ist);
    switch (encoder.codec_type) {
    case AVMEDIA_TYPE_AUDIO:
        ChooseAudioFormat(ost, ist);
        ost.AudioResample = encoder.sample_rate != in->sample_rate || settings_.AudioSyncMethod > 1;
        break;
    case AVMEDIA_TYPE_SUBTITLE:
        break;
    case AVMEDIA_TYPE_VIDEO: {
        if (encoder.pix_fmt == AV_PIX_FMT_NONE)
            throw FFmpegException("Video pixel format is unknown, stream cannot be encoded");
        ost.CropTop = settings_.FrameTopBand;
        ost.CropBottom = settings_.FrameBottomBand;
        ost.CropLeft = settings_.FrameLeftBand;
        ost.CropRight = settings_.FrameRightBand;
        // A picture stored sideways (display matrix) is turned upright first; the sizes
        // below are the upright picture's.
        const std::string upright = UprightFilter(*ist.Stream);
        const bool swaps = !upright.empty() && RotationSwapsSize(*ist.Stream);
        const int shownWidth = swaps ? in->height : in->width;
        const int shownHeight = swaps ? in->width : in->height;
        ost.ResampleWidth = shownWidth - ost.CropLeft - ost.CropRight;
        ost.ResampleHeight = shownHeight - ost.CropTop - ost.CropBottom;
        ost.ResampleFormat = static_cast<AVPixelFormat>(in->format);
        if (encoder.width <= 0 || encoder.height <= 0) {
            encoder.width = ost.ResampleWidth;
            encoder.height = ost.ResampleHeight;
        }
        // Subsampled chroma needs sizes it divides: an odd size loses its last column or
        // row (cut off when it is the source's own size, so nothing is scaled for it).
        if (const AVPixFmtDescriptor* desc = ff::av_pix_fmt_desc_get(encoder.pix_fmt)) {
            const int extraWidth = encoder.width & ((1 << desc->log2_chroma_w) - 1);
            const int extraHeight = encoder.height & ((1 << desc->log2_chroma_h) - 1);
            if (extraWidth && encoder.width == ost.ResampleWidth) {
                ost.CropRight += extraWidth;
                ost.ResampleWidth -= extraWidth;
            }
            if (extraHeight && encoder.height == ost.ResampleHeight) {
                ost.CropBottom += extraHeight;
                ost.ResampleHeight -= extraHeight;
            }
            encoder.width -= extraWidth;
            encoder.height -= extraHeight;
        }
        ost.CropNeeded = ost.CropTop || ost.CropBottom || ost.CropLeft || ost.CropRight;
        ost.ResampleNeeded = ost.ResampleWidth != encoder.width ||
                             ost.ResampleHeight != encoder.height ||
                             ost.ResampleFormat != encoder.pix_fmt;
        if (!settings_.VideoFilters.empty() || !upright.empty()) {
            // The frame path hands the outputs the picture already upright.
            if (!upright.empty())
                PrepareUpright(ist, upright, swaps);
            TVideoFilterSpec spec;
            spec.InputWidth = shownWidth;
            spec.InputHeight = shownHeight;
            spec.InputFormat = static_cast<AVPixelFormat>(in->format);
            spec.TimeBase = ist.Stream->time_base;
            spec.SampleAspect = StoredSampleAspect(*ist.Stream);
            if (swaps && spec.SampleAspect.num > 0)
                spec.SampleAspect = AVRational{spec.SampleAspect.den, spec.SampleAspect.num};
            spec.CropTop = ost.CropTop;
            spec.CropBottom = ost.CropBottom;
            spec.CropLeft = ost.CropLeft;
            spec.CropRight = ost.CropRight;
            spec.OutputWidth = encoder.width;
            spec.OutputHeight = encoder.height;
            spec.OutputFormat = encoder.pix_fmt;
            spec.ScaleFlags = ScaleFlags();
            spec.Chain = settings_.VideoFilters;
            ost.Filter = BuildFilterGraph(spec);
            encoder.width = ost.Filter->OutputWidth();
            encoder.height = ost.Filter->OutputHeight();
            const AVRational filteredAspect = ost.Filter->OutputSampleAspect();
            if (filteredAspect.num > 0)
                encoder.sample_aspect_ratio = ost.Stream->sample_aspect_ratio = filteredAspect;
        } else if (ost.ResampleNeeded) {
            ScaledPicture(ost);
            ost.Scaler.reset(ff::sws_getContext(
                ost.ResampleWidth, ost.ResampleHeight, ost.ResampleFormat, encoder.width,
                encoder.height, encoder.pix_fmt, ScaleFlags(), nullptr, nullptr, nullptr));
            if (!ost.Scaler)
                throw FFmpegException("Cannot get resampling context");
            ost.UnfilteredWidth = in->width;
            ost.UnfilteredHeight = in->height;
            encoder.bits_per_raw_sample = 0;
        }
        break;
    }
    default:
        throw FFmpegException("invalid codec_type of output stream");
    }

    if (encoder.flags & (AV_CODEC_FLAG_PASS1 | AV_CODEC_FLAG_PASS2)) {
        std::string name = (settings_.PassLogFileName.empty() ? std::string("ffmpeg2pass")
                                                              : settings_.PassLogFileName) +
                           "-" + std::to_string(outputPosition) + ".log";
        if (name.size() > 1023)
            name.resize(1023);
        if (encoder.flags & AV_CODEC_FLAG_PASS1) {
            // NOLINTNEXTLINE(cppcoreguidelines-owning-memory): the unique_ptr owns the file
            ost.PassLog.reset(std::fopen(name.c_str(), "wb"));
            if (!ost.PassLog)
                throw FFmpegException(
                    FormatText("Cannot write log file %s for pass-1 encoding", name.c_str()));
        } else {
            std::vector<uint8_t> buffer;
            const int result = ReadWholeFile(name, buffer);
            if (result == AVERROR(ENOMEM))
                throw FFmpegException(FormatText("Could not allocate file buffer: Error reading "
                                                 "log file \"%s\" for pass-2 encoding",
                                                 name.c_str()));
            if (result < 0)
                throw FFmpegException(FormatText(
                    "Cannot read file: Error reading log file \"%s\" for pass-2 encoding",
                    name.c_str()));
            ost.PassStats.assign(reinterpret_cast<const char*>(buffer.data()));
            encoder.stats_in = ff::av_strdup(ost.PassStats.c_str());
        }
    }
}

int TCustomFFmpeg::OpenEncoder(AVCodecContext& encoder, const AVCodec* codec) {
    AVDictionary* options = defaultOptions_ ? defaultOptions_->EncoderOptions(codec) : nullptr;
    int result;
    {
        std::lock_guard lock(CodecLock());
        result = ff::avcodec_open2(&encoder, codec, &options);
    }
    ff::av_dict_free(&options);
    return result;
}

std::unique_ptr<TVideoFilterGraph> TCustomFFmpeg::BuildFilterGraph(const TVideoFilterSpec& spec) {
    auto graph = std::make_unique<TVideoFilterGraph>();
    std::string error;
    if (!graph->Build(spec, error)) {
        lastError_ = error.empty() ? "Error opening filters!" : "Error opening filters: " + error;
        throw FFmpegException(lastError_);
    }
    return graph;
}

void TCustomFFmpeg::OpenEncoders() {
    TTranscodeState& state = *transcode_;
    for (TOutputStream& ost : state.OutputStreams) {
        if (!ost.EncodingNeeded)
            continue;
        AVCodecContext& encoder = *ost.Setup->Codec;
        const AVCodec* codec = ost.Setup->Encoder;
        if (!codec) {
            LogStreamMapping();
            const std::string error =
                FormatText("Encoder (codec id %d) not found for output stream #%d.%d (%s)",
                           static_cast<int>(encoder.codec_id), ost.FileIndex, ost.StreamIndex,
                           TypeName(encoder.codec_type).c_str());
            LoggerInstance().Log(this, TLogLevel::llError, error);
            throw FFmpegException(error);
        }
        encoder.codec_id = codec->id;
        const TInputStream& ist = state.InputStreams[static_cast<size_t>(ost.SourceIndex)];
        if (encoder.codec_type == AVMEDIA_TYPE_SUBTITLE) {
            encoder.time_base = AV_TIME_BASE_Q;
            if (ist.Stream->codecpar->width > 0) {
                encoder.width = ist.Stream->codecpar->width;
                encoder.height = ist.Stream->codecpar->height;
            }
            if (ist.Stream->codecpar->extradata_size > 0 && !encoder.subtitle_header) {
                // Text subtitles carry their style header over.
                const int size = ist.Stream->codecpar->extradata_size;
                encoder.subtitle_header = static_cast<uint8_t*>(ff::av_mallocz(size + 1));
                if (encoder.subtitle_header) {
                    std::memcpy(encoder.subtitle_header, ist.Stream->codecpar->extradata, size);
                    encoder.subtitle_header_size = size;
                }
            }
        }
        // Copies of the encoder as set up, before opening changes it.
        std::vector<TCodecContextPtr> groupCopies = CopyForGroups(ost);
        const int result = OpenEncoder(encoder, codec);
        ost.EncoderOpen = result >= 0;
        if (result < 0) {
            LogStreamMapping();
            const std::string error = FormatText(
                "Error while opening encoder for output stream #%d.%d (%s) - maybe incorrect "
                "parameters such as bit_rate, rate, width or height. Please check error log "
                "message to find out more detail information.",
                ost.FileIndex, ost.StreamIndex, TypeName(encoder.codec_type).c_str());
            LoggerInstance().Log(this, TLogLevel::llError, error);
            throw FFmpegException(error);
        }
        OpenGroupEncoders(ost, std::move(groupCopies));
        state.ExtraBytes += encoder.extradata_size;
        if (ff::avcodec_parameters_from_context(ost.Stream->codecpar, &encoder) < 0)
            throw FFmpegException("av_mallocz fail");
        ost.Stream->time_base = encoder.time_base;
        if (encoder.codec_type == AVMEDIA_TYPE_VIDEO) {
            ost.Stream->avg_frame_rate = encoder.framerate;
            ost.Stream->r_frame_rate = encoder.framerate;
        }
    }
}

void TCustomFFmpeg::OpenDecoders() {
    TTranscodeState& state = *transcode_;
    for (TInputStream& ist : state.InputStreams) {
        if (!ist.DecodingNeeded || ist.DecoderOpen)
            continue;
        const AVCodecParameters* parameters = ist.Stream->codecpar;
        const AVCodec* codec = ist.ForcedDecoder && ist.ForcedDecoder->id == parameters->codec_id
                                   ? ist.ForcedDecoder
                                   : ff::avcodec_find_decoder(parameters->codec_id);
        const auto notFound = [&] {
            LogStreamMapping();
            const std::string error =
                FormatText("Decoder (codec id %d) not found for input stream #%d.%d (%s)",
                           static_cast<int>(parameters->codec_id), ist.FileIndex, ist.StreamIndex,
                           TypeName(parameters->codec_type).c_str());
            LoggerInstance().Log(this, TLogLevel::llError, error);
            throw FFmpegException(error);
        };
        if (!codec)
            notFound();
        ist.Decoder.reset(ff::avcodec_alloc_context3(codec));
        if (!ist.Decoder || ff::avcodec_parameters_to_context(ist.Decoder.get(), parameters) < 0)
            notFound();
        ist.Decoder->pkt_timebase = ist.Stream->time_base;
        ist.Decoder->thread_count = settings_.ThreadCount != 0
                                        ? settings_.ThreadCount
                                        : AutomaticDecoderThreads(codec, ff::av_cpu_count());
        if (defaultOptions_) {
            const int typeFlag =
                parameters->codec_type == AVMEDIA_TYPE_VIDEO   ? AV_OPT_FLAG_VIDEO_PARAM
                : parameters->codec_type == AVMEDIA_TYPE_AUDIO ? AV_OPT_FLAG_AUDIO_PARAM
                                                               : AV_OPT_FLAG_SUBTITLE_PARAM;
            defaultOptions_->ApplyDefaultOptions(
                defaultOptions_->CodecContext(parameters->codec_type), ist.Decoder.get(),
                AV_OPT_FLAG_DECODING_PARAM | typeFlag);
        }
        int result;
        {
            std::lock_guard lock(CodecLock());
            result = ff::avcodec_open2(ist.Decoder.get(), codec, nullptr);
            if (result >= 0)
                ist.DecoderOpen = true;
        }
        if (result < 0) {
            LogStreamMapping();
            const std::string error = FormatText(
                "Error while opening decoder for input stream #%d.%d (%s)", ist.FileIndex,
                ist.StreamIndex, TypeName(parameters->codec_type).c_str());
            LoggerInstance().Log(this, TLogLevel::llError, error);
            throw FFmpegException(error);
        }
    }
}

void TCustomFFmpeg::CopyMetadataAndChapters() {
    TTranscodeState& state = *transcode_;
    for (TOutputStream& ost : state.OutputStreams) {
        const TInputStream& ist = state.InputStreams[static_cast<size_t>(ost.SourceIndex)];
        ff::av_dict_copy(&ost.Stream->metadata, ist.Stream->metadata, AV_DICT_DONT_OVERWRITE);
        // A stream coded anew no longer comes from the source's encoder.
        if (!ost.StreamCopy)
            ff::av_dict_set(&ost.Stream->metadata, "encoder", nullptr, 0);
        ost.Stream->disposition = ist.Stream->disposition;
    }
    // Without maps of their own, outputs carry the first input's tags.
    if (settings_.MetaDataMaps.empty() && inputCount_ > 0)
        for (int o = 0; o < outputCount_; ++o)
            CopySourceTags(*outputs_[static_cast<size_t>(o)]->Context, *inputFiles_[0]);
    for (const TMetaDataMap& map : settings_.MetaDataMaps) {
        if (map.OutFile < 0 || map.OutFile >= outputCount_) {
            const std::string error =
                FormatText("Invalid output file index %d map_meta_data(%d,%d)", map.OutFile,
                           map.OutFile, map.InFile);
            LoggerInstance().Log(this, TLogLevel::llError, error);
            throw FFmpegException(error);
        }
        if (map.InFile < 0 || map.InFile >= inputCount_) {
            const std::string error = FormatText("Invalid input file index %d map_meta_data(%d,%d)",
                                                 map.InFile, map.OutFile, map.InFile);
            LoggerInstance().Log(this, TLogLevel::llError, error);
            throw FFmpegException(error);
        }
        ff::av_dict_copy(&outputs_[static_cast<size_t>(map.OutFile)]->Context->metadata,
                         inputFiles_[static_cast<size_t>(map.InFile)]->metadata,
                         AV_DICT_DONT_OVERWRITE);
    }
    // Chapters of every input that fall into the recorded range, clipped to it.
    const int entries = joined_ ? 1 : outputCount_;
    for (int f = 0; f < inputCount_; ++f) {
        const AVFormatContext* input = inputFiles_[static_cast<size_t>(f)];
        for (int o = 0; o < entries; ++o) {
            AVFormatContext* output = outputs_[static_cast<size_t>(o)]->Context;
            for (unsigned c = 0; c < input->nb_chapters; ++c) {
                const AVChapter* chapter = input->chapters[c];
                const int64_t offset = inputs_[static_cast<size_t>(f)].TsOffset;
                const int64_t shift = ff::av_rescale_q(offset - settings_.StartTime, AV_TIME_BASE_Q,
                                                       chapter->time_base);
                const int64_t rangeEnd = settings_.RecordingTime == INT64_MAX
                                             ? INT64_MAX
                                             : ff::av_rescale_q(settings_.RecordingTime,
                                                                AV_TIME_BASE_Q, chapter->time_base);
                if (chapter->end + shift < 0)
                    continue;
                if (chapter->start + shift > rangeEnd)
                    break;
                auto* copy = static_cast<AVChapter*>(ff::av_mallocz(sizeof(AVChapter)));
                if (!copy)
                    throw FFmpegException("av_mallocz fail");
                copy->id = chapter->id;
                copy->time_base = chapter->time_base;
                copy->start = std::max<int64_t>(0, chapter->start + shift);
                copy->end = std::min(rangeEnd, chapter->end + shift);
                ff::av_dict_copy(&copy->metadata, chapter->metadata, 0);
                if (ff::av_dynarray_add_nofree(&output->chapters,
                                               reinterpret_cast<int*>(&output->nb_chapters),
                                               copy) < 0) {
                    ff::av_dict_free(&copy->metadata);
                    ff::av_free(copy);
                    throw FFmpegException("av_realloc fail");
                }
            }
        }
    }
}

void TCustomFFmpeg::OpenBitstreamFilters(TOutputStream& ost) {
    for (const std::string& text : ost.Setup->BitstreamFilters) {
        AVBSFContext* context = nullptr;
        int result = ff::av_bsf_list_parse_str(text.c_str(), &context);
        TBsfPtr filter(context);
        if (result >= 0)
            result = ff::avcodec_parameters_copy(filter->par_in, ost.Stream->codecpar);
        if (result >= 0) {
            filter->time_base_in = ost.Stream->time_base;
            result = ff::av_bsf_init(filter.get());
        }
        if (result < 0)
            throw FFmpegException(
                ErrorText(FormatText("Bitstream filter %s", text.c_str()), result));
        ost.BitstreamFilters.push_back(std::move(filter));
    }
}

void TCustomFFmpeg::WriteHeaders() {
    const int entries = joined_ ? 1 : outputCount_;
    bool allRtp = true;
    for (int o = 0; o < entries; ++o) {
        TOutputFile& output = *outputs_[static_cast<size_t>(o)];
        AVDictionary* options =
            defaultOptions_ ? defaultOptions_->MuxerOptions(output.Context->oformat) : nullptr;
        if (settings_.MuxPreload > 0)
            ff::av_dict_set_int(&options, "preload",
                                static_cast<int64_t>(settings_.MuxPreload * 1000000), 0);
        const int result = ff::avformat_write_header(output.Context, &options);
        ff::av_dict_free(&options);
        if (result < 0) {
            LogStreamMapping();
            const std::string error = FormatText(
                "Could not write header for output file #%d (incorrect codec parameters ?)", o);
            LoggerInstance().Log(this, TLogLevel::llError, error);
            throw FFmpegException(error);
        }
        output.HeaderWritten = true;
        allRtp &= std::string(output.Context->oformat->name) == "rtp";
    }
    if (allRtp && entries > 0) {
        std::vector<AVFormatContext*> contexts;
        contexts.reserve(static_cast<size_t>(entries));
        for (int o = 0; o < entries; ++o)
            contexts.push_back(outputs_[static_cast<size_t>(o)]->Context);
        char sdp[2048] = {};
        ff::av_sdp_create(contexts.data(), static_cast<int>(contexts.size()), sdp, sizeof sdp);
        std::string text(sdp);
        while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
            text.pop_back();
        LoggerInstance().Log(this, TLogLevel::llInfo, "SDP:\r\n" + text);
    }
}

void TCustomFFmpeg::LogStreamMapping() {
    if (!transcode_)
        return;
    const int entries = joined_ ? 1 : outputCount_;
    for (int o = 0; o < entries; ++o) {
        AVFormatContext* context = outputs_[static_cast<size_t>(o)]->Context;
        ff::av_dump_format(context, o, context->url, 1);
    }
    if (settings_.Verbose < 0)
        return;
    LoggerInstance().Log(this, TLogLevel::llVerbose, "Stream mapping:");
    for (const TOutputStream& ost : transcode_->OutputStreams) {
        const TInputStream& ist = transcode_->InputStreams[static_cast<size_t>(ost.SourceIndex)];
        LoggerInstance().LogFmt(this, TLogLevel::llVerbose, "  Stream #%d.%d -> #%d.%d (%s)",
                                ist.FileIndex, ist.StreamIndex, joined_ ? 0 : ost.FileIndex,
                                ost.StreamIndex, TypeName(ost.Setup->Codec->codec_type).c_str());
        if (ost.SyncIndex != ost.SourceIndex) {
            const TInputStream& sync = transcode_->InputStreams[static_cast<size_t>(ost.SyncIndex)];
            LoggerInstance().LogFmt(this, TLogLevel::llVerbose, " [sync #%d.%d (%s)]",
                                    sync.FileIndex, sync.StreamIndex,
                                    TypeName(sync.Stream->codecpar->codec_type).c_str());
        }
    }
}

void TCustomFFmpeg::TranscodeSetup() {
    transcode_ = std::make_unique<TTranscodeState>();
    TTranscodeState& state = *transcode_;
    state.Packet = MakePacket();
    state.Frame = MakeFrame();
    state.FilteredFrame = MakeFrame();
    state.EncoderFrame = MakeFrame();
    state.EncodedPacket = MakePacket();
    if (!state.Packet || !state.Frame || !state.FilteredFrame || !state.EncoderFrame ||
        !state.EncodedPacket)
        throw FFmpegException("Cannot allocate buffers");
    BuildStreamTables();
    int position = 0;
    for (TOutputStream& ost : state.OutputStreams) {
        if (ost.StreamCopy)
            PrepareStreamCopy(ost);
        else
            PrepareEncoding(ost, position);
        ++position;
    }
    OpenEncoders();
    OpenDecoders();
    for (TInputStream& ist : state.InputStreams) {
        const AVRational rate = ist.Stream->avg_frame_rate;
        const int delay = ist.Decoder ? ist.Decoder->has_b_frames : 0;
        ist.Pts = rate.num && rate.den
                      ? -static_cast<int64_t>(delay) * AV_TIME_BASE * rate.den / rate.num
                      : 0;
        ist.NextPts = AV_NOPTS_VALUE;
        ist.IsStart = true;
    }
    CopyMetadataAndChapters();
    for (TOutputStream& ost : state.OutputStreams)
        OpenBitstreamFilters(ost);
    WriteHeaders();
    LogStreamMapping();
    StartEncoderStages();
}

} // namespace tovik
