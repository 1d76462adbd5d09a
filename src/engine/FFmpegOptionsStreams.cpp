// Option stage of the engine: video, audio and subtitle options, bitstream filters.

#include "engine/FFmpeg.h"
#include "engine/OptionValues.h"
#include "media/MediaLogger.h"
#include "media/TextFormat.h"
#include "platform/Environment.h"

#include <ctime>

namespace tovik {

namespace {

AVMediaType TypeOfOption(const std::string& name) {
    switch (name.empty() ? '\0' : name[0]) {
    case 'a':
        return AVMEDIA_TYPE_AUDIO;
    case 's':
        return AVMEDIA_TYPE_SUBTITLE;
    default:
        return AVMEDIA_TYPE_VIDEO;
    }
}

} // namespace

// ---- Video options --------------------------------------------------------------------------

void TCustomFFmpeg::OptBitRate(const std::string& name, const std::string& value) {
    // "b" and "vb" are the video codec's "b", "ab" the audio codec's.
    const AVMediaType type = name == "ab" ? AVMEDIA_TYPE_AUDIO : AVMEDIA_TYPE_VIDEO;
    SetTypedOption(type, "b", value);
    CheckBitRate(type);
}

void TCustomFFmpeg::CheckBitRate(AVMediaType type) {
    const AVCodecContext* context = defaultOptions_ ? defaultOptions_->CodecContext(type) : nullptr;
    if (context && context->bit_rate < 1000)
        LoggerInstance().Log(this, TLogLevel::llWarning,
                             "WARNING: The bitrate parameter is set too low. It takes bits/s as "
                             "argument, not kbits/s");
}

void TCustomFFmpeg::OptVideoFrames(const std::string&, const std::string& value) {
    settings_.MaxFrames[AVMEDIA_TYPE_VIDEO] = StrToInt(value);
}

void TCustomFFmpeg::OptFrameRate(const std::string&, const std::string& value) {
    AVRational rate{0, 0};
    if (ff::av_parse_video_rate(&rate, value.c_str()) < 0)
        throw FFmpegException("Incorrect frame rate");
    settings_.FrameRate = rate;
}

void TCustomFFmpeg::OptFrameSize(const std::string&, const std::string& value) {
    int width = 0;
    int height = 0;
    if (ff::av_parse_video_size(&width, &height, value.c_str()) < 0)
        throw FFmpegException("Incorrect frame size");
    settings_.FrameWidth = width;
    settings_.FrameHeight = height;
}

void TCustomFFmpeg::OptAspect(const std::string&, const std::string& value) {
    double ratio = 0.0;
    const size_t colon = value.find(':');
    if (colon != std::string::npos) {
        const int width = StrToInt(value.substr(0, colon));
        const int height = StrToInt(value.substr(colon + 1));
        if (height > 0)
            ratio = static_cast<double>(width) / height;
    } else {
        ratio = StrToFloat(value);
    }
    if (ratio == 0.0)
        throw FFmpegException("Incorrect aspect ratio specification.");
    settings_.FrameAspectRatio = ratio;
}

void TCustomFFmpeg::OptPixelFormat(const std::string&, const std::string& value) {
    if (value == "list") {
        char line[128];
        ff::av_get_pix_fmt_string(line, sizeof line, AV_PIX_FMT_NONE);
        LogInfo(TrimText(line));
        for (const AVPixFmtDescriptor* descriptor = ff::av_pix_fmt_desc_next(nullptr); descriptor;
             descriptor = ff::av_pix_fmt_desc_next(descriptor)) {
            ff::av_get_pix_fmt_string(line, sizeof line, ff::av_pix_fmt_desc_get_id(descriptor));
            LogInfo(TrimText(line));
        }
        return;
    }
    const AVPixelFormat format = ff::av_get_pix_fmt(value.c_str());
    if (format == AV_PIX_FMT_NONE)
        throw FFmpegException(FormatText("Unknown pixel format requested: %s", value.c_str()));
    settings_.FramePixFmt = format;
}

void TCustomFFmpeg::OptCrop(const std::string& name, const std::string& value) {
    const int band = StrToInt(value);
    if (band <= 0)
        return;
    const bool vertical = name == "croptop" || name == "cropbottom";
    int& size = vertical ? settings_.FrameHeight : settings_.FrameWidth;
    if (band >= size)
        throw FFmpegException(
            vertical ? "Vertical crop dimensions are outside the range of the original image.\n"
                       "Remember to crop first and scale second."
                     : "Horizontal crop dimensions are outside the range of the original image.\n"
                       "Remember to crop first and scale second.");
    LoggerInstance().Log(this, TLogLevel::llWarning,
                         "CropXXX is deprecated in favor of the crop avfilter");
    if (name == "croptop")
        settings_.FrameTopBand = band;
    else if (name == "cropbottom")
        settings_.FrameBottomBand = band;
    else if (name == "cropleft")
        settings_.FrameLeftBand = band;
    else
        settings_.FrameRightBand = band;
    size -= band;
}

void TCustomFFmpeg::OptPad(const std::string&, const std::string&) {
    throw FFmpegException("Please use vfilters=pad");
}

void TCustomFFmpeg::OptQScale(const std::string&, const std::string& value) {
    const double quantiser = StrToFloat(value);
    if (quantiser <= 0.0 || quantiser > 255.0)
        throw FFmpegException("qscale must be > 0.0 and <= 255");
    settings_.VideoQScale = static_cast<float>(quantiser);
}

void TCustomFFmpeg::OptCodec(const std::string& name, const std::string& value) {
    SetCodecName(TypeOfOption(name), value);
}

void TCustomFFmpeg::SetCodecName(AVMediaType type, const std::string& value) {
    std::string& codecName = type == AVMEDIA_TYPE_AUDIO      ? settings_.AudioCodecName
                             : type == AVMEDIA_TYPE_SUBTITLE ? settings_.SubtitleCodecName
                                                             : settings_.VideoCodecName;
    bool& copy = type == AVMEDIA_TYPE_AUDIO      ? settings_.AudioStreamCopy
                 : type == AVMEDIA_TYPE_SUBTITLE ? settings_.SubtitleStreamCopy
                                                 : settings_.VideoStreamCopy;
    if (value == "copy")
        copy = true;
    else
        codecName = value;
}

void TCustomFFmpeg::OptPass(const std::string&, const std::string& value) {
    const int pass = StrToInt(value);
    if (pass != 1 && pass != 2)
        throw FFmpegException("pass number can be only 1 or 2");
    settings_.DoPass = pass;
}

void TCustomFFmpeg::OptVStats(const std::string&, const std::string&) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char clock[16];
    std::strftime(clock, sizeof clock, "%H%M%S", &local);
    settings_.VStatsFileName =
        FormatText("%svstats_%s.log", (platform::ExecutableDir() + "/").c_str(), clock);
}

void TCustomFFmpeg::OptVStatsFile(const std::string&, const std::string& value) {
    settings_.VStatsFileName = value;
}

void TCustomFFmpeg::OptVideoHook(const std::string&, const std::string& value) {
    AddFrameHook(value);
}

void TCustomFFmpeg::OptMatrix(const std::string& name, const std::string& value) {
    // 64 comma-separated coefficients; a fresh zeroed matrix each time.
    std::vector<uint16_t> matrix(64, 0);
    const char* at = value.c_str();
    for (int index = 0; index < 64; ++index) {
        matrix[static_cast<size_t>(index)] = static_cast<uint16_t>(std::atoi(at));
        if (index == 63)
            break;
        at = std::strchr(at, ',');
        if (!at)
            throw FFmpegException(
                FormatText("Syntax error in matrix \"%s\" at coeff %d", value.c_str(), index));
        ++at;
    }
    (name == "intra_matrix" ? settings_.IntraMatrix : settings_.InterMatrix) = std::move(matrix);
}

void TCustomFFmpeg::OptCodecTag(const std::string& name, const std::string& value) {
    const AVMediaType type = TypeOfOption(name);
    if (value.size() != 4)
        throw FFmpegException(type == AVMEDIA_TYPE_AUDIO ? "audio tag parameter must be 4 chars"
                              : type == AVMEDIA_TYPE_SUBTITLE
                                  ? "subtitle tag parameter must be 4 chars"
                                  : "video tag parameter must be 4 chars");
    const auto byte = [&](size_t index) {
        return static_cast<uint32_t>(static_cast<unsigned char>(value[index]));
    };
    const uint32_t tag = byte(0) | byte(1) << 8 | byte(2) << 16 | byte(3) << 24;
    (type == AVMEDIA_TYPE_AUDIO      ? settings_.AudioCodecTag
     : type == AVMEDIA_TYPE_SUBTITLE ? settings_.SubtitleCodecTag
                                     : settings_.VideoCodecTag) = tag;
}

void TCustomFFmpeg::OptNewStream(const std::string& name, const std::string&) {
    if (outputCount_ <= 0)
        throw FFmpegException("At least one output file must be specified");
    NewOutputStream(name == "newaudio"      ? AVMEDIA_TYPE_AUDIO
                    : name == "newsubtitle" ? AVMEDIA_TYPE_SUBTITLE
                                            : AVMEDIA_TYPE_VIDEO);
}

// ---- Audio options --------------------------------------------------------------------------

void TCustomFFmpeg::OptAudioFrames(const std::string&, const std::string& value) {
    settings_.MaxFrames[AVMEDIA_TYPE_AUDIO] = StrToInt(value);
}

void TCustomFFmpeg::OptAudioQScale(const std::string&, const std::string& value) {
    settings_.AudioQScale = static_cast<float>(StrToFloat(value));
}

void TCustomFFmpeg::OptSampleRate(const std::string&, const std::string& value) {
    const int rate = StrToInt(value);
    if (rate > 0) {
        settings_.AudioSampleRate = rate;
        settings_.AudioSampleRateSet = true;
    }
}

void TCustomFFmpeg::OptChannels(const std::string&, const std::string& value) {
    const int channels = StrToInt(value);
    if (channels > 0) {
        settings_.AudioChannels = channels;
        settings_.AudioChannelsSet = true;
    }
}

void TCustomFFmpeg::OptSampleFormat(const std::string&, const std::string& value) {
    if (value == "list") {
        LogInfo("name   depth");
        for (int format = 0; format < AV_SAMPLE_FMT_NB; ++format) {
            const char* formatName =
                ff::av_get_sample_fmt_name(static_cast<AVSampleFormat>(format));
            if (formatName)
                LogInfo(FormatText(
                    "%-6s   %2d", formatName,
                    ff::av_get_bytes_per_sample(static_cast<AVSampleFormat>(format)) * 8));
        }
        return;
    }
    const AVSampleFormat format = ff::av_get_sample_fmt(value.c_str());
    if (format == AV_SAMPLE_FMT_NONE)
        throw FFmpegException(FormatText("Unknown sample format requested: %s", value.c_str()));
    settings_.AudioSampleFmt = format;
}

// ---- Bitstream filters ----------------------------------------------------------------------

void TCustomFFmpeg::OptBitstreamFilter(const std::string& name, const std::string& value) {
    // The filter name is the text before '=' when '=' is at position 2 or later.
    const size_t equals = value.find('=');
    if (equals == 0)
        return;
    const std::string filterName =
        TrimText(equals != std::string::npos && equals >= 1 ? value.substr(0, equals) : value);
    if (!ff::av_bsf_get_by_name(filterName.c_str()))
        throw FFmpegException(FormatText("Unknown bitstream filter %s", TrimText(value).c_str()));
    (name == "absf"   ? settings_.AudioBitstreamFilters
     : name == "sbsf" ? settings_.SubtitleBitstreamFilters
                      : settings_.VideoBitstreamFilters)
        .push_back(value);
}

} // namespace tovik
