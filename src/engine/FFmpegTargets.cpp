// Option stage of the engine: the target shortcuts "vcd", "svcd", "dvd", "dv" and "dv50".

#include "engine/FFmpeg.h"
#include "media/MediaLogger.h"

#include <cmath>

namespace tovik {

namespace {

// round(a * 1000 / b) of a frame rate or an inverted time base: 25000 PAL, 29970 or 23976
// NTSC, anything else undecided.
bool NormOfRate(int64_t numerator, int64_t denominator, TTargetNorm& norm) {
    if (denominator == 0)
        return false;
    const long long rate =
        std::llround(static_cast<double>(numerator) * 1000.0 / static_cast<double>(denominator));
    if (rate == 25000) {
        norm = TTargetNorm::tnPAL;
        return true;
    }
    if (rate == 29970 || rate == 23976) {
        norm = TTargetNorm::tnNTSC;
        return true;
    }
    return false;
}

} // namespace

TTargetNorm TCustomFFmpeg::GuessTargetNorm(const std::string& fallbackNorm) const {
    const AVRational rate = settings_.FrameRate;
    if (rate.den == 0)
        throw FFmpegException("frame_rate is invalid.");
    TTargetNorm norm = TTargetNorm::tnPAL;
    if (NormOfRate(rate.num, rate.den, norm))
        return norm;
    // The codec time base of the opened inputs' video streams, first match wins.
    for (int input = 0; input < inputCount_; ++input) {
        const AVFormatContext* context = inputFiles_[static_cast<size_t>(input)];
        if (!context)
            continue;
        for (unsigned stream = 0; stream < context->nb_streams; ++stream) {
            const AVStream* video = context->streams[stream];
            if (video->codecpar->codec_type != AVMEDIA_TYPE_VIDEO)
                continue;
            // Today's streams carry their frame rate rather than a codec time base; the
            // inverse of the codec time base is that rate.
            const AVRational frameRate =
                video->avg_frame_rate.num ? video->avg_frame_rate : video->r_frame_rate;
            if (NormOfRate(frameRate.num, frameRate.den, norm))
                return norm;
        }
    }
    if (fallbackNorm == "film")
        return TTargetNorm::tnFILM;
    if (fallbackNorm == "ntsc")
        return TTargetNorm::tnNTSC;
    return TTargetNorm::tnPAL;
}

void TCustomFFmpeg::SetTarget(const std::string& type, const std::string& norm,
                              const std::string& fallbackNorm) {
    TTargetNorm targetNorm = TTargetNorm::tnPAL;
    if (norm == "pal") {
        targetNorm = TTargetNorm::tnPAL;
    } else if (norm == "ntsc") {
        targetNorm = TTargetNorm::tnNTSC;
    } else if (norm == "film") {
        targetNorm = TTargetNorm::tnFILM;
    } else {
        targetNorm = GuessTargetNorm(fallbackNorm);
        if (settings_.Verbose > 0)
            LoggerInstance().LogFmt(this, TLogLevel::llVerbose, "Assuming %s for target.",
                                    targetNorm == TTargetNorm::tnPAL ? "PAL" : "NTSC");
    }
    const bool pal = targetNorm == TTargetNorm::tnPAL;
    const char* frameRate = pal                                 ? "25"
                            : targetNorm == TTargetNorm::tnNTSC ? "30000/1001"
                                                                : "24000/1001";
    const char* gop = pal ? "15" : "18";

    if (type == "vcd") {
        SetCodecName(AVMEDIA_TYPE_VIDEO, "mpeg1video");
        SetCodecName(AVMEDIA_TYPE_AUDIO, "mp2");
        SetOption("f", "vcd");
        SetOption("s", pal ? "352x288" : "352x240");
        SetOption("r", frameRate);
        SetGenericOption("g", gop);
        SetOption("b", "1150000");
        SetGenericOption("maxrate", "1150000");
        SetGenericOption("minrate", "1150000");
        SetGenericOption("bufsize", "327680");
        SetOption("ab", "224000");
        settings_.AudioSampleRate = 44100;
        settings_.AudioChannels = 2;
        settings_.AudioSampleRateSet = settings_.AudioChannelsSet = true;
        SetGenericOption("packetsize", "2324");
        SetGenericOption("muxrate", "1411200");
        // The VCD standard asks for a 0.44 s initial delay: (36000 + 3 * 1200) / 90000.
        settings_.MuxPreload = (36000 + 3 * 1200) / 90000.0f;
    } else if (type == "svcd") {
        SetCodecName(AVMEDIA_TYPE_VIDEO, "mpeg2video");
        SetCodecName(AVMEDIA_TYPE_AUDIO, "mp2");
        SetOption("f", "svcd");
        SetOption("s", pal ? "480x576" : "480x480");
        SetOption("r", frameRate);
        SetGenericOption("g", gop);
        SetOption("b", "2040000");
        SetGenericOption("maxrate", "2516000");
        SetGenericOption("minrate", "0");
        SetGenericOption("bufsize", "1835008");
        SetGenericOption("flags", "+scan_offset");
        SetOption("ab", "224000");
        settings_.AudioSampleRate = 44100;
        settings_.AudioSampleRateSet = true;
        SetGenericOption("packetsize", "2324");
        if (settings_.AudioChannels == 1)
            settings_.AudioChannels = 2;
    } else if (type == "dvd") {
        SetCodecName(AVMEDIA_TYPE_VIDEO, "mpeg2video");
        SetCodecName(AVMEDIA_TYPE_AUDIO, "ac3");
        SetOption("f", "dvd");
        SetOption("s", pal ? "720x576" : "720x480");
        SetOption("r", frameRate);
        SetGenericOption("g", gop);
        SetOption("b", "6000000");
        SetGenericOption("maxrate", "9000000");
        SetGenericOption("minrate", "0");
        SetGenericOption("bufsize", "1835008");
        SetGenericOption("packetsize", "2048");
        SetGenericOption("muxrate", "10080000");
        SetOption("ab", "448000");
        settings_.AudioSampleRate = 48000;
        settings_.AudioSampleRateSet = true;
        if (settings_.AudioChannels == 1)
            settings_.AudioChannels = 2;
    } else if (type == "dv" || type == "dv50") {
        SetOption("f", "dv");
        SetOption("s", pal ? "720x576" : "720x480");
        SetOption("pix_fmt", type == "dv50" ? "yuv422p" : pal ? "yuv420p" : "yuv411p");
        SetOption("r", frameRate);
        settings_.AudioSampleRate = 48000;
        settings_.AudioChannels = 2;
        settings_.AudioSampleRateSet = settings_.AudioChannelsSet = true;
    } else {
        throw FFmpegException("Unknown target type");
    }

    if (settings_.FrameAspectRatio == 0.0 && (type == "vcd" || type == "svcd")) {
        LogInfo("Assuming 4:3 for aspect ratio");
        SetOption("aspect", "4:3");
    } else if (settings_.FrameAspectRatio == 0.0 && type == "dvd") {
        LogInfo("Assuming 16:9 for aspect ratio");
        SetOption("aspect", "16:9");
    }
}

} // namespace tovik
