#include "workspace/core/TaskOptionsBuilder.h"
#include "media/TextFormat.h"
#include "settings/SettingsKeys.h"

#include "settings/IniFile.h"
#include "settings/NumberText.h"
#include "workspace/core/FormatTable.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <stdexcept>

namespace tovik {

namespace {

constexpr const char* kAsSource = "as source";

std::string Trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string SizeText(int width, int height) {
    return std::to_string(width) + "x" + std::to_string(height);
}
std::string RatioText(int width, int height) {
    return std::to_string(width) + ":" + std::to_string(height);
}

// Truncated toward zero, then halved toward zero, then doubled: the even number at or below
// |x|, with x's sign.
int Even(double x) {
    return static_cast<int>(std::trunc(x)) / 2 * 2;
}
int Quarter(int n) {
    return n / 4;
}

// Bits per second from kilobits; nothing when the result leaves the 32-bit range.
std::optional<int32_t> KilobitsToBits(double kilobits) {
    const double bits = kilobits * 1000.0;
    if (!(bits > 0) || bits > static_cast<double>(INT32_MAX))
        return std::nullopt;
    return static_cast<int32_t>(std::trunc(bits));
}

void ApplyTarget(const std::string& format, const std::string& videoSize, TOutputOptions& out) {
    struct TTargetRow {
        const char* format;
        int32_t target;
        int32_t norm;
        const char* wideSize; // the size that means 16:9, or nullptr for always 4:3
    };
    static const TTargetRow kTargets[] = {{"ntsc-dvd", kTargetDvd, kNormNtsc, "720x480"},
                                          {"pal-dvd", kTargetDvd, kNormPal, "720x576"},
                                          {"ntsc-vcd", kTargetVcd, kNormNtsc, nullptr},
                                          {"pal-vcd", kTargetVcd, kNormPal, nullptr},
                                          {"ntsc-svcd", kTargetSvcd, kNormNtsc, nullptr},
                                          {"pal-svcd", kTargetSvcd, kNormPal, nullptr}};
    const std::string lower = LowerText(format);
    for (const TTargetRow& row : kTargets) {
        if (lower != row.format)
            continue;
        out.Target = row.target;
        out.TargetNorm = row.norm;
        out.AspectRatio = (row.wideSize && videoSize == row.wideSize) ? "16:9" : "4:3";
        return;
    }
}

int32_t VolumeOf(const std::string& text) {
    const auto volume = ParseInteger(text);
    if (!volume)
        throw std::invalid_argument("'" + text + "' is not a valid integer value");
    return *volume;
}

struct TSettingsSection {
    const TIniFile& file;
    std::string section;
    std::string Read(const char* key, const std::string& defaultValue) const {
        return file.ReadString(section, key, defaultValue);
    }
};

// Volume, sample rate and audio bit rate, shared by the audio-only and the video paths.
void ApplyAudioRates(const TSettingsSection& settings, TOutputOptions& out) {
    const std::string volume = settings.Read(kVolumeParameterKey, "3");
    if (volume != "256")
        out.Volume = VolumeOf(volume);
    if (auto rate = ParseInteger(settings.Read(kSampleRateKey, "44100")); rate && *rate > 0)
        out.AudioSampleRate = *rate;
    if (auto rate = ParseNumber(settings.Read(kAudioBitRateKey, "128")))
        if (auto bits = KilobitsToBits(*rate))
            out.AudioBitRate = *bits;
}

void BuildWithoutVideo(const TSettingsSection& settings, TOutputOptions& out,
                       TInputOptions& input) {
    out.AudioCodec = settings.Read(kAudioEncoderKey, "libfaac");
    if (auto channels = ParseInteger(settings.Read(kChannelKey, "2")); channels && *channels > 0)
        out.AudioChannels = *channels;
    ApplyAudioRates(settings, out);
    input.OptionText = "vn=1";
    out.DisableVideo = true;
    out.DisableSubtitle = true;
}

bool IsDirectVideoCodec(const std::string& name) {
    static const char* const kNames[] = {
        "mpeg4",   "libxvid", "mpeg1video", "mpeg2video", "msmpeg4", "msmpeg4v1", "msmpeg4v2",
        "huffyuv", "dvvideo", "rawvideo",   "h263p",      "h263",    "rv10",      "rv20",
        "ljpeg",   "mjpeg",   "svq1",       "zlib",       "wmv1",    "wmv2"};
    return std::any_of(std::begin(kNames), std::end(kNames),
                       [&](const char* known) { return name == known; });
}

bool IsContainerFormat(const std::string& lowerFormat) {
    static const char* const kNames[] = {"ipod", "3gp", "3g2", "avi",    "psp",
                                         "mov",  "vcd", "flv", "mpegts", "vob"};
    return std::any_of(std::begin(kNames), std::end(kNames),
                       [&](const char* known) { return lowerFormat == known; });
}

// The target frame size; (0, 0) when the source size is unknown and kept.
void TargetSize(const TSettingsSection& settings, const TOutputOptions& out,
                const TSourceFacts& source, const TQuestionCallback& ask, int& tW, int& tH) {
    const std::string v = settings.Read(kVideoSizeKey, "null");
    const size_t x = v.find('x');
    const bool wellFormed = x != std::string::npos && x > 0 && v.back() != 'x';
    if (v != kAsSource && wellFormed) {
        // A part that is not a positive integer keeps the source's value: a zero or negative
        // size would divide by zero below.
        const auto width = ParseInteger(v.substr(0, x));
        const auto height = ParseInteger(v.substr(x + 1));
        tW = (width && *width > 0) ? *width : source.Width;
        tH = (height && *height > 0) ? *height : source.Height;
        static const std::string kH263Sizes = "704x576,352x288,176x144,160x120,128x96";
        if (LowerText(out.VideoCodec) == "h263" && kH263Sizes.find(v) == std::string::npos) {
            if (tW > 176 && tW <= 352) {
                tW = 352;
                tH = 288;
            } else if (tW > 352) {
                tW = 704;
                tH = 576;
            }
        }
        return;
    }
    // Missing or malformed: Yes takes 320x240, No (or no one to ask) the source's size.
    if (v != kAsSource && ask && ask(kFrameSizeQuestion)) {
        tW = 320;
        tH = 240;
        return;
    }
    tW = source.Width;
    tH = source.Height;
}

// Greatest common divisor of two positive sizes.
int Divisor(int a, int b) {
    while (b != 0) {
        const int rest = a % b;
        a = b;
        b = rest;
    }
    return a > 0 ? a : 1;
}

// The display aspect of the part of the source left after the crop, as "aspect" text: the
// sizes' ratio for square pixels, else a decimal number.
std::string VisibleAspect(const TSourceFacts& source, int cropW, int cropH) {
    const int visibleW = source.Width - cropW;
    const int visibleH = source.Height - cropH;
    if (visibleW <= 0 || visibleH <= 0)
        return RatioText(source.Width, source.Height);
    const double square = static_cast<double>(source.Width) / source.Height;
    if (source.DisplayAspect <= 0 || std::fabs(source.DisplayAspect / square - 1.0) < 0.001) {
        const int divisor = Divisor(visibleW, visibleH);
        return RatioText(visibleW / divisor, visibleH / divisor);
    }
    const double pixel = source.DisplayAspect / square;
    return FormatText("%.4f", pixel * visibleW / visibleH);
}

// DVD and DV players know two display aspects only: the one nearer to the text's.
std::string StandardAspect(const std::string& text) {
    double ratio = 0;
    const size_t colon = text.find(':');
    if (colon != std::string::npos) {
        const auto width = ParseNumber(text.substr(0, colon));
        const auto height = ParseNumber(text.substr(colon + 1));
        if (width && height && *height > 0)
            ratio = *width / *height;
    } else if (auto number = ParseNumber(text)) {
        ratio = *number;
    }
    if (!(ratio > 0))
        return text;
    return std::fabs(ratio - 16.0 / 9.0) < std::fabs(ratio - 4.0 / 3.0) ? "16:9" : "4:3";
}

void ApplyZoom(const TJobGeometry& job, const TSourceFacts& source, int tW, int tH,
               TOutputOptions& out, std::string& filter) {
    for (int32_t* crop : {&out.CropTop, &out.CropBottom, &out.CropLeft, &out.CropRight})
        if (*crop == -1)
            *crop = 0;
    const int srcW = source.Width;
    const int srcH = source.Height;
    if (tW <= 0 || tH <= 0)
        return; // the source's size is unknown: the engine keeps it
    if (srcW <= 0 || srcH <= 0) {
        // Without the source's size no fitting can be computed; only the frame is known.
        out.FrameSize = SizeText(tW, tH);
        out.AspectRatio = RatioText(tW, tH);
        return;
    }
    const double rx = static_cast<double>(srcW) / tW;
    const double ry = static_cast<double>(srcH) / tH;
    const int padV = Quarter(tH - Even(srcH / rx)) * 2;
    const int padH = Quarter(tW - Even(srcW / ry)) * 2;
    const std::string& mode = job.ZoomMode;

    if (mode == "full") {
        if (job.HasCrop()) {
            out.CropTop = job.CropTop;
            out.CropBottom = job.CropBottom;
            out.CropLeft = job.CropLeft;
            out.CropRight = job.CropRight;
        }
        // The picture fills the frame; the sample aspect keeps the source's shape on screen.
        out.FrameSize = SizeText(tW, tH);
        out.AspectRatio =
            VisibleAspect(source, std::max(0, out.CropLeft) + std::max(0, out.CropRight),
                          std::max(0, out.CropTop) + std::max(0, out.CropBottom));
    } else if (mode == "lbox") {
        int top = 0;
        int left = 0;
        if (rx > ry) {
            top = padV;
        } else if (rx < ry) {
            left = padH;
        } else {
            top = padV;
            left = padH;
        }
        if (tW == srcW && tH == srcH)
            top = left = 0;
        const int innerW = tW - 2 * left;
        const int innerH = tH - 2 * top;
        out.AspectRatio = RatioText(innerW, innerH);
        const std::string pad = "pad=" + std::to_string(tW) + ":" + std::to_string(tH) + ":" +
                                std::to_string(left) + ":" + std::to_string(top);
        if (job.HasCrop()) {
            // The chain crops, scales and pads by itself. The engine's crop bands (set from
            // the job by the caller) would crop a second time before the chain and make its
            // crop area lie outside the picture, so they are cleared. The crop filter of the
            // current libraries takes width:height:x:y.
            filter = "crop=" + std::to_string(srcW - job.CropLeft - job.CropRight) + ":" +
                     std::to_string(srcH - job.CropTop - job.CropBottom) + ":" +
                     std::to_string(job.CropLeft) + ":" + std::to_string(job.CropTop) +
                     ",scale=" + std::to_string(innerW) + ":" + std::to_string(innerH) + "," + pad;
            out.CropTop = out.CropBottom = out.CropLeft = out.CropRight = 0;
        } else {
            out.FrameSize = SizeText(innerW, innerH);
            filter = pad;
        }
    } else if (mode == "pan") {
        const long double k = 4.0L / 3.0L;
        const int visibleW = srcW - job.CropLeft - job.CropRight;
        const int visibleH = srcH - job.CropTop - job.CropBottom;
        const int wPrime = srcW - out.CropLeft - out.CropRight;
        const int hPrime = srcH - out.CropTop - out.CropBottom;
        // Crops that leave no picture give no ratio: nothing to pan then.
        if (visibleW > 0 && visibleH > 0 && wPrime > 0 && hPrime > 0) {
            const long double r = static_cast<long double>(visibleW) / visibleH;
            if (r > k) {
                const long double excess = (static_cast<long double>(wPrime) / hPrime - k) * wPrime;
                const int c =
                    (std::abs(static_cast<int>(std::trunc(excess)) / 2) + job.CropLeft) / 2 * 2;
                out.CropLeft = out.CropRight = c;
            } else if (r < k) {
                const long double excess = (static_cast<long double>(hPrime) / wPrime - k) * hPrime;
                const int c =
                    (std::abs(static_cast<int>(std::trunc(excess)) / 2) + job.CropTop) / 2 * 2;
                out.CropTop = out.CropBottom = c;
            }
        }
        out.FrameSize = SizeText(tW, tH);
        out.AspectRatio = RatioText(tW, tH);
    } else if (mode == "center") {
        // The source is padded to a canvas of the target's shape and the canvas is scaled to
        // the target. The engine scales to FrameSize before it runs the chain, so FrameSize
        // stays unset and the chain scales last; the bars are computed in target pixels and
        // turned into source pixels here, so the output is exactly tW x tH.
        out.AspectRatio = RatioText(tW, tH);
        const auto pad = [](int w, int h, int x, int y) {
            return "pad=" + std::to_string(w) + ":" + std::to_string(h) + ":" + std::to_string(x) +
                   ":" + std::to_string(y) + ":black";
        };
        const int canvasW = srcW - out.CropLeft - out.CropRight;
        const int canvasH = srcH - out.CropTop - out.CropBottom;
        if (rx > ry) {
            const int bar = Even(padV * rx);
            filter = pad(canvasW, canvasH + 2 * bar, 0, bar);
        } else if (rx < ry) {
            const int bar = Even(padH * ry);
            filter = pad(canvasW + 2 * bar, canvasH, bar, 0);
        } else {
            filter = pad(canvasW, canvasH, 0, 0);
        }
        filter += ",scale=" + std::to_string(tW) + ":" + std::to_string(tH);
    }
}

void BuildWithVideo(const TJobGeometry& job, const TSettingsSection& settings,
                    const std::string& format, const std::string& encoder,
                    const TSourceFacts& source, const TQuestionCallback& ask, TOutputOptions& out) {
    const std::string lowerFormat = LowerText(format);
    if (IsDirectVideoCodec(encoder)) {
        out.VideoCodec = encoder;
        if (encoder == "mpeg2video")
            out.Target = kTargetDvd;
    } else if (encoder == "libx264") {
        out.VideoCodec = "libx264";
        if (lowerFormat == "psp")
            out.VideoPreset = "libx264-psp";
        else if (lowerFormat == "ipod")
            out.VideoPreset = "libx264-ipod";
        else if (lowerFormat == "ps3")
            out.VideoPreset = "libx264-ps3";
        else
            out.VideoPreset = "libx264-mp4";
    }
    if (source.VideoStreamCount >= 1) {
        const std::string bitRate = settings.Read(kVideoBitRateKey, "512");
        const auto kilobits = bitRate == kAsSource ? std::nullopt : ParseInteger(bitRate);
        if (kilobits) {
            if (*kilobits > 0)
                if (auto bits = KilobitsToBits(*kilobits))
                    out.VideoBitRate = *bits;
        } else {
            out.VideoBitRate = static_cast<int32_t>(
                std::clamp<int64_t>(source.VideoBitRate, 0, static_cast<int64_t>(INT32_MAX)));
        }
        const std::string frameRate = settings.Read(kFrameRateKey, "29.97");
        if (auto rate = ParseNumber(frameRate); rate && *rate > 0)
            out.FrameRate = frameRate;
        if (IsContainerFormat(lowerFormat))
            out.FormatName = format;
        int tW = 0;
        int tH = 0;
        TargetSize(settings, out, source, ask, tW, tH);
        std::string filter;
        ApplyZoom(job, source, tW, tH, out, filter);
        // DV of the 525-line system is 4:1:1 only; the encoder would otherwise take the
        // source's 4:2:0 and find no DV profile for it.
        if (out.VideoCodec == "dvvideo" && tW == 720 && tH == 480)
            out.OptionText += (out.OptionText.empty() ? "" : "\n") + std::string("pix_fmt=yuv411p");
        // Motion JPEG takes full-range pictures only; the source's video range is refused.
        if (out.VideoCodec == "mjpeg")
            out.OptionText +=
                (out.OptionText.empty() ? "" : "\n") + std::string("pix_fmt=yuvj420p");
        if (out.VideoFilters.empty())
            out.VideoFilters = filter;
        else
            out.VideoFilters += "," + filter;
        const bool standardAspectOnly =
            out.Target == kTargetDvd || lowerFormat == "dv" || out.VideoCodec == "dvvideo";
        if (standardAspectOnly && !out.AspectRatio.empty())
            out.AspectRatio = StandardAspect(out.AspectRatio);
    } else {
        out.DisableVideo = true;
    }
    std::string audioEncoder = settings.Read(kAudioEncoderKey, "");
    if (audioEncoder == "libamr_nb")
        audioEncoder = "libopencore_amrnb";
    out.AudioCodec = audioEncoder;
    if (Trimmed(audioEncoder).empty())
        out.DisableAudio = true;
    if (auto channels = ParseInteger(settings.Read(kChannelKey, "2")))
        out.AudioChannels = *channels;
    ApplyAudioRates(settings, out);
}

} // namespace

TSourceFacts SourceFactsOf(int32_t videoStreamCount, const TVideoStreamInfo& video) {
    TSourceFacts facts;
    facts.VideoStreamCount = videoStreamCount;
    if (videoStreamCount <= 0)
        return facts;
    const bool sideways = video.Rotation % 180 == 90;
    facts.Width = sideways ? video.Height : video.Width;
    facts.Height = sideways ? video.Width : video.Height;
    facts.VideoBitRate = video.BitRate > 0 ? video.BitRate : 0;
    if (video.DisplayAspectRatio > 0)
        facts.DisplayAspect = sideways ? 1.0 / video.DisplayAspectRatio : video.DisplayAspectRatio;
    return facts;
}

void BuildTaskOptions(const TJobGeometry& job, int formatCode, TOutputOptions& output,
                      const TSourceFacts& source, TInputOptions& input,
                      const TBuildContext& context) {
    const TIniFile settingsFile(context.SettingsFile);
    const TIniFile profileFile(context.ProfileFile);
    const std::string section = FormatSection(formatCode);
    const TSettingsSection settings{settingsFile, section};
    const std::string format = profileFile.ReadString(section, kProfileFormatKey, "null");

    ApplyTarget(format, settings.Read(kVideoSizeKey, "null"), output);
    const std::string encoder = settings.Read(kVideoEncoderKey, "");
    if (Trimmed(encoder).empty())
        BuildWithoutVideo(settings, output, input);
    else
        BuildWithVideo(job, settings, format, encoder, source, context.AskYesNo, output);
}

} // namespace tovik
