// Input and output stage of the engine: opening inputs, creating outputs, codec lookup.

#include "engine/EncoderNames.h"
#include "engine/FFmpeg.h"
#include "media/CodecLock.h"
#include "media/DisplayRotation.h"
#include "media/MediaLogger.h"
#include "media/MyUtils.h"
#include "media/TextFormat.h"
#include "media/UnicodeProtocol.h"

#include <algorithm>
#include <filesystem>

namespace tovik {

namespace {

const char* KindWord(bool encoder) {
    return encoder ? "encoder" : "decoder";
}

bool IsStillPictureCodec(AVCodecID id) {
    return id == AV_CODEC_ID_PNG || id == AV_CODEC_ID_MJPEG || id == AV_CODEC_ID_BMP ||
           id == AV_CODEC_ID_GIF || id == AV_CODEC_ID_TIFF;
}

} // namespace

bool TCustomFFmpeg::FindCodec(const std::string& name, AVMediaType type, bool encoder,
                              const AVCodec*& codec) {
    codec = nullptr;
    if (name.empty())
        return true;
    const AVCodec* found = encoder
                               ? ff::avcodec_find_encoder_by_name(CurrentEncoderName(name).c_str())
                               : ff::avcodec_find_decoder_by_name(name.c_str());
    if (!found) {
        lastError_ = FormatText("Unknown %s '%s'", KindWord(encoder), name.c_str());
        return false;
    }
    if (found->type != type) {
        lastError_ = FormatText("Invalid %s type '%s'", KindWord(encoder), name.c_str());
        return false;
    }
    const AVCodecContext* defaults =
        defaultOptions_ ? defaultOptions_->CodecContext(type) : nullptr;
    const int strictness = defaults ? defaults->strict_std_compliance : FF_COMPLIANCE_NORMAL;
    if ((found->capabilities & AV_CODEC_CAP_EXPERIMENTAL) &&
        strictness > FF_COMPLIANCE_EXPERIMENTAL) {
        lastError_ = FormatText("%s '%s' is experimental and might produce bad results.\r\nAdd "
                                "'-strict experimental' if you want to use it.",
                                KindWord(encoder), found->name);
        const AVCodec* usual =
            encoder ? ff::avcodec_find_encoder(found->id) : ff::avcodec_find_decoder(found->id);
        if (usual && !(usual->capabilities & AV_CODEC_CAP_EXPERIMENTAL))
            lastError_ += FormatText("\r\nOr use the non experimental %s '%s'.", KindWord(encoder),
                                     usual->name);
        return false;
    }
    codec = found;
    return true;
}

bool TCustomFFmpeg::AddInputFile(const std::string& fileName) {
    if (inputCount_ >= kMaxFiles) {
        lastError_ = FormatText("max input files %d reached", kMaxFiles);
        return false;
    }
    const AVInputFormat* format = nullptr;
    if (!settings_.FormatName.empty()) {
        format = ff::av_find_input_format(settings_.FormatName.c_str());
        if (!format)
            throw FFmpegException(
                FormatText("Unknown input format: \"%s\"", settings_.FormatName.c_str()));
        settings_.FormatName.clear();
    }
    AVFormatContext* context = ff::avformat_alloc_context();
    if (!context)
        throw FFmpegException("avformat_alloc_context failed");
    auto fail = [&](const std::string& error) {
        lastError_ = error;
        settings_.VideoChannel = 0;
        ClearForcedDecoderNames();
        CloseInputFormat(&context);
        if (context)
            ff::avformat_free_context(context);
        return false;
    };

    // What the pending settings say about raw and capture inputs.
    AVDictionary* parameters = nullptr;
    TDictionaryPtr parametersOwner;
    if (settings_.AudioSampleRate > 0)
        ff::av_dict_set_int(&parameters, "sample_rate", settings_.AudioSampleRate, 0);
    if (settings_.AudioChannels > 0)
        ff::av_dict_set_int(&parameters, "channels", settings_.AudioChannels, 0);
    if (settings_.FrameRate.num > 0 && settings_.FrameRate.den > 0)
        ff::av_dict_set(
            &parameters, "framerate",
            FormatText("%d/%d", settings_.FrameRate.num, settings_.FrameRate.den).c_str(), 0);
    if (settings_.FrameWidth > 0 && settings_.FrameHeight > 0)
        ff::av_dict_set(&parameters, "video_size",
                        FormatText("%dx%d", settings_.FrameWidth, settings_.FrameHeight).c_str(),
                        0);
    if (settings_.FramePixFmt != AV_PIX_FMT_NONE)
        ff::av_dict_set(&parameters, "pixel_format", ff::av_get_pix_fmt_name(settings_.FramePixFmt),
                        0);
    if (settings_.VideoChannel != 0)
        ff::av_dict_set_int(&parameters, "channel", settings_.VideoChannel, 0);
    if (!settings_.VideoStandard.empty())
        ff::av_dict_set(&parameters, "standard", settings_.VideoStandard.c_str(), 0);
    if (defaultOptions_)
        defaultOptions_->ApplyDefaultOptions(defaultOptions_->FormatContext(), context,
                                             AV_OPT_FLAG_DECODING_PARAM);

    const AVCodec* videoDecoder = nullptr;
    const AVCodec* audioDecoder = nullptr;
    const AVCodec* subtitleDecoder = nullptr;
    if (!FindCodec(settings_.VideoCodecName, AVMEDIA_TYPE_VIDEO, false, videoDecoder) ||
        !FindCodec(settings_.AudioCodecName, AVMEDIA_TYPE_AUDIO, false, audioDecoder) ||
        !FindCodec(settings_.SubtitleCodecName, AVMEDIA_TYPE_SUBTITLE, false, subtitleDecoder)) {
        ff::av_dict_free(&parameters);
        return fail(lastError_);
    }
    if (videoDecoder)
        context->video_codec_id = videoDecoder->id;
    if (audioDecoder)
        context->audio_codec_id = audioDecoder->id;
    if (subtitleDecoder)
        context->subtitle_codec_id = subtitleDecoder->id;
    context->flags |= AVFMT_FLAG_NONBLOCK;
    if (settings_.PgmyuvCompat)
        context->video_codec_id = AV_CODEC_ID_PGMYUV;

    std::string libraryName;
    try {
        libraryName = NameForLibrary(fileName);
    } catch (const std::exception& error) {
        ff::av_dict_free(&parameters);
        return fail(error.what());
    }
    int result = OpenInputFormat(&context, libraryName, format, &parameters);
    ff::av_dict_free(&parameters);
    if (result < 0)
        return fail(ErrorText(fileName, result));

    if (settings_.ProgramId != 0) {
        bool found = false;
        for (unsigned s = 0; s < context->nb_streams; ++s)
            context->streams[s]->discard = AVDISCARD_ALL;
        for (unsigned p = 0; p < context->nb_programs; ++p) {
            AVProgram* program = context->programs[p];
            if (program->id != settings_.ProgramId) {
                program->discard = AVDISCARD_ALL;
                continue;
            }
            found = true;
            for (unsigned k = 0; k < program->nb_stream_indexes; ++k)
                context->streams[program->stream_index[k]]->discard = AVDISCARD_DEFAULT;
        }
        if (!found)
            return fail("Specified program id not found");
        settings_.ProgramId = 0;
    }

    {
        std::lock_guard lock(CodecLock());
        result = ff::avformat_find_stream_info(context, nullptr);
    }
    if (result < 0 && settings_.Verbose >= 0) {
        const std::string error =
            FormatText("%s: could not find codec parameters", fileName.c_str());
        LoggerInstance().Log(this, TLogLevel::llVerbose, error);
        return fail(error);
    }

    int64_t seekTarget = settings_.StartTime;
    if (context->start_time != AV_NOPTS_VALUE)
        seekTarget += context->start_time;
    const bool seeked = settings_.StartTime != 0;
    if (seeked) {
        result = ff::av_seek_frame(context, -1, seekTarget, AVSEEK_FLAG_BACKWARD);
        if (result < 0 && settings_.Verbose > 0)
            LoggerInstance().LogFmt(this, TLogLevel::llVerbose,
                                    "%s: could not seek to position %0.3f", fileName.c_str(),
                                    static_cast<double>(seekTarget) / AV_TIME_BASE);
    }
    settings_.StartTime = 0;

    for (unsigned s = 0; s < context->nb_streams; ++s) {
        AVStream* stream = context->streams[s];
        AVCodecParameters* parameters2 = stream->codecpar;
        switch (parameters2->codec_type) {
        case AVMEDIA_TYPE_VIDEO: {
            if (IsAttachedPicture(*stream)) {
                // Cover art: one still picture, no video source for the outputs.
                inputDecoders_.push_back(videoDecoder);
                break;
            }
            // The input's picture, turned upright, becomes the pending picture: outputs
            // default to it.
            const bool swaps = RotationSwapsSize(*stream);
            settings_.FrameWidth = swaps ? parameters2->height : parameters2->width;
            settings_.FrameHeight = swaps ? parameters2->width : parameters2->height;
            const AVRational aspect = StoredSampleAspect(*stream);
            if (parameters2->height > 0 && parameters2->width > 0) {
                const double ratio =
                    aspect.num ? static_cast<double>(aspect.num) / aspect.den : 0.0;
                const double shown =
                    (ratio > 0 ? ratio : 1.0) * parameters2->width / parameters2->height;
                settings_.FrameAspectRatio = swaps ? 1.0 / shown : shown;
            } else if (settings_.FrameAspectRatio == 0.0) {
                settings_.FrameAspectRatio = 4.0 / 3.0;
            }
            settings_.FramePixFmt = parameters2->format < 0
                                        ? static_cast<AVPixelFormat>(0)
                                        : static_cast<AVPixelFormat>(parameters2->format);
            const AVRational rate = stream->r_frame_rate;
            if (rate.num && rate.den)
                settings_.FrameRate = rate;
            inputDecoders_.push_back(videoDecoder);
            if (settings_.VideoDisable)
                stream->discard = AVDISCARD_ALL;
            else if (settings_.VideoDiscard)
                stream->discard = static_cast<AVDiscard>(settings_.VideoDiscard);
            break;
        }
        case AVMEDIA_TYPE_AUDIO:
            settings_.AudioChannels = parameters2->ch_layout.nb_channels;
            settings_.AudioSampleRate = parameters2->sample_rate;
            settings_.AudioChannelsSet = settings_.AudioSampleRateSet = false;
            settings_.AudioSampleFmt = static_cast<AVSampleFormat>(parameters2->format);
            inputDecoders_.push_back(audioDecoder);
            if (settings_.AudioDisable)
                stream->discard = AVDISCARD_ALL;
            break;
        case AVMEDIA_TYPE_SUBTITLE:
            inputDecoders_.push_back(subtitleDecoder);
            if (settings_.SubtitleDisable)
                stream->discard = AVDISCARD_ALL;
            break;
        case AVMEDIA_TYPE_DATA:
        case AVMEDIA_TYPE_ATTACHMENT:
        case AVMEDIA_TYPE_UNKNOWN:
            inputDecoders_.push_back(nullptr);
            break;
        default:
            throw FFmpegException("invalid codec_type");
        }
    }

    if (context->duration != AV_NOPTS_VALUE && context->duration > totalDuration_)
        totalDuration_ = context->duration;

    const int index = inputCount_;
    inputFiles_[static_cast<size_t>(index)] = context;
    TInputFile& input = inputs_[static_cast<size_t>(index)];
    input = TInputFile{};
    input.Context = context;
    input.FileName = fileName;
    input.TsOffset = settings_.InputTsOffset - (settings_.CopyTs ? 0 : seekTarget);
    if (seeked)
        input.KeepFrom = seekTarget + input.TsOffset;
    input.TsScale = settings_.InputTsScale;
    settings_.InputTsScale.fill(0.0);
    if (settings_.Verbose >= 0)
        ff::av_dump_format(context, index, libraryName.c_str(), 0);
    ++inputCount_;
    settings_.VideoChannel = 0;
    ClearForcedDecoderNames();
    return true;
}

void TCustomFFmpeg::ClearForcedDecoderNames() {
    // The codec names given before an input name that input's decoders, not the encoders.
    settings_.VideoCodecName.clear();
    settings_.AudioCodecName.clear();
    settings_.SubtitleCodecName.clear();
}

int TCustomFFmpeg::AddOutputFile(const std::string& fileName, bool join) {
    if (joined_) {
        lastError_ = "Cannot join more than one output file.";
        return -1;
    }
    if (outputCount_ >= kMaxFiles) {
        lastError_ = FormatText("max output files %d reached", kMaxFiles);
        return -1;
    }
    // Writing over an input would destroy it before it is read: the same file, also under
    // another name or through a link, is refused before anything is touched.
    for (int i = 0; i < inputCount_; ++i) {
        const std::string& inputName = inputs_[static_cast<size_t>(i)].FileName;
        std::error_code error;
        if (inputName == fileName || std::filesystem::equivalent(inputName, fileName, error)) {
            lastError_ = FormatText("Output %s same as Input #%d - exiting", fileName.c_str(), i);
            return -1;
        }
    }
    auto output = std::make_shared<TOutputFile>();
    output->FileName = fileName;
    std::string libraryName;
    try {
        libraryName = NameForLibrary(fileName);
    } catch (const std::exception& error) {
        lastError_ = error.what();
        return -1;
    }
    const AVOutputFormat* format = nullptr;
    if (!settings_.FormatName.empty()) {
        format = ff::av_guess_format(settings_.FormatName.c_str(), nullptr, nullptr);
        if (!format) {
            lastError_ = FormatText("Requested output format '%s' is not a suitable output format",
                                    settings_.FormatName.c_str());
            settings_.FormatName.clear();
            return -1;
        }
    } else {
        format = ff::av_guess_format(nullptr, fileName.c_str(), nullptr);
        if (!format) {
            lastError_ =
                FormatText("Unable to find a suitable output format for '%s'", fileName.c_str());
            return -1;
        }
    }
    settings_.FormatName.clear();
    if (std::string(format->name) == "ffm") {
        lastError_ = "Requested output format 'ffm' is not a suitable output format";
        return -1;
    }
    AVFormatContext* context = nullptr;
    if (ff::avformat_alloc_output_context2(&context, format, nullptr, libraryName.c_str()) < 0 ||
        !context)
        throw FFmpegException("avformat_alloc_context failed");
    output->Context = context;

    try {
        bool useVideo = settings_.VideoStreamCopy || format->video_codec != AV_CODEC_ID_NONE ||
                        !settings_.VideoCodecName.empty();
        bool useAudio = settings_.AudioStreamCopy || format->audio_codec != AV_CODEC_ID_NONE ||
                        !settings_.AudioCodecName.empty();
        bool useSubtitle = settings_.SubtitleStreamCopy ||
                           format->subtitle_codec != AV_CODEC_ID_NONE ||
                           !settings_.SubtitleCodecName.empty();
        if (inputCount_ > 0) {
            bool hasVideo = false;
            bool hasAudio = false;
            bool hasSubtitle = false;
            const int checked = join ? 1 : inputCount_;
            for (int i = 0; i < checked; ++i) {
                const AVFormatContext* input = inputFiles_[static_cast<size_t>(i)];
                for (unsigned s = 0; s < input->nb_streams; ++s) {
                    const AVMediaType type = input->streams[s]->codecpar->codec_type;
                    if (type < AVMEDIA_TYPE_UNKNOWN || type > AVMEDIA_TYPE_ATTACHMENT)
                        throw FFmpegException(
                            "check_audio_video_sub_inputs fail: invalid codec_type of input file");
                    hasVideo |=
                        type == AVMEDIA_TYPE_VIDEO && !IsAttachedPicture(*input->streams[s]);
                    hasAudio |= type == AVMEDIA_TYPE_AUDIO;
                    hasSubtitle |= type == AVMEDIA_TYPE_SUBTITLE;
                }
            }
            useVideo &= hasVideo;
            useAudio &= hasAudio;
            useSubtitle &= hasSubtitle;
        }
        // Audio formats that can carry cover art (MP3, FLAC) get a picture only when asked.
        if (!settings_.VideoStreamCopy && settings_.VideoCodecName.empty() &&
            format->audio_codec != AV_CODEC_ID_NONE && IsStillPictureCodec(format->video_codec))
            useVideo = false;
        if (settings_.AudioDisable)
            useAudio = false;
        if (settings_.VideoDisable)
            useVideo = false;
        if (useVideo)
            NewStream(*output, AVMEDIA_TYPE_VIDEO, "new_video_stream fail: ");
        if (useAudio)
            NewStream(*output, AVMEDIA_TYPE_AUDIO, "new_audio_stream fail: ");
        if (useSubtitle && !settings_.SubtitleDisable)
            NewStream(*output, AVMEDIA_TYPE_SUBTITLE, "new_subtitle_stream fail: ");
        // The flags of streams not created still end with this output.
        settings_.VideoDisable = settings_.AudioDisable = settings_.SubtitleDisable = false;
        settings_.VideoStreamCopy = settings_.AudioStreamCopy = settings_.SubtitleStreamCopy =
            false;
        settings_.VideoCodecName.clear();
        settings_.AudioCodecName.clear();
        settings_.SubtitleCodecName.clear();
    } catch (const std::exception& error) {
        lastError_ = error.what();
        ReleaseOutput(*output);
        return -1;
    }

    if (settings_.RecordingTimestamp != 0)
        ff::av_dict_set_int(&context->metadata, "creation_time", settings_.RecordingTimestamp, 0);
    for (auto pair = settings_.Metadata.rbegin(); pair != settings_.Metadata.rend(); ++pair)
        ff::av_dict_set(&context->metadata, pair->first.c_str(), pair->second.c_str(), 0);
    settings_.Metadata.clear();

    if ((format->flags & AVFMT_NEEDNUMBER) && !ff::av_filename_number_test(libraryName.c_str())) {
        lastError_ = ErrorText(fileName, AVERROR(EDOM));
        ReleaseOutput(*output);
        return -1;
    }
    if (!(format->flags & AVFMT_NOFILE)) {
        const int result = OpenLibraryIO(&context->pb, libraryName, AVIO_FLAG_WRITE);
        if (result < 0) {
            lastError_ = ErrorText(fileName, result);
            ReleaseOutput(*output);
            return -1;
        }
        output->CreatedFile = true;
    }
    InstallKitFileIO(context);
    context->max_delay = static_cast<int>(settings_.MuxMaxDelay * 1000000);
    if (settings_.LoopOutput >= 0)
        ff::av_opt_set_int(context, "loop", settings_.LoopOutput, AV_OPT_SEARCH_CHILDREN);
    context->flags |= AVFMT_FLAG_NONBLOCK;
    if (defaultOptions_)
        defaultOptions_->ApplyDefaultOptions(defaultOptions_->FormatContext(), context,
                                             AV_OPT_FLAG_ENCODING_PARAM);
    settings_.StreamIds.clear();

    outputFiles_[static_cast<size_t>(outputCount_)] = context;
    outputs_[static_cast<size_t>(outputCount_)] = output;
    ++outputCount_;
    if (join && inputCount_ > 1) {
        joined_ = true;
        int64_t sum = 0;
        bool known = false;
        for (int i = 0; i < inputCount_; ++i) {
            const int64_t duration = inputFiles_[static_cast<size_t>(i)]->duration;
            if (duration != AV_NOPTS_VALUE && duration > 0) {
                sum += duration;
                known = true;
            }
        }
        totalDuration_ = known ? sum : -1;
        while (outputCount_ < inputCount_ && outputCount_ < kMaxFiles) {
            outputFiles_[static_cast<size_t>(outputCount_)] = context;
            outputs_[static_cast<size_t>(outputCount_)] = output;
            ++outputCount_;
        }
    }
    return outputCount_;
}

void TCustomFFmpeg::ReleaseOutput(TOutputFile& output) {
    if (!output.Context)
        return;
    if (!(output.Context->oformat->flags & AVFMT_NOFILE))
        CloseLibraryIO(&output.Context->pb);
    output.Streams.clear();
    ff::avformat_free_context(output.Context);
    output.Context = nullptr;
}

void TCustomFFmpeg::ReleaseFiles() {
    for (int i = 0; i < outputCount_; ++i) {
        auto& output = outputs_[static_cast<size_t>(i)];
        if (output && output->Context)
            ReleaseOutput(*output);
        output.reset();
        outputFiles_[static_cast<size_t>(i)] = nullptr;
    }
    outputCount_ = 0;
    for (int i = 0; i < inputCount_; ++i) {
        CloseInputFormat(&inputFiles_[static_cast<size_t>(i)]);
        inputs_[static_cast<size_t>(i)] = TInputFile{};
    }
    inputCount_ = 0;
    inputDecoders_.clear();
    joined_ = false;
    totalDuration_ = 0;
}

void TCustomFFmpeg::NewOutputStream(AVMediaType type) {
    if (outputCount_ <= 0)
        throw FFmpegException("At least one output file must be specified");
    TOutputFile& output = *outputs_[static_cast<size_t>(outputCount_ - 1)];
    NewStream(output, type, "");
}

} // namespace tovik
