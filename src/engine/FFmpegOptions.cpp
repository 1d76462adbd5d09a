// Option stage of the engine: defaults, the option table and dispatch, option texts, and
// the general and file options. Video, audio and subtitle options are in
// FFmpegOptionsStreams.cpp, targets in FFmpegTargets.cpp, presets in FFmpegPresets.cpp.

#include "engine/FFmpeg.h"
#include "engine/OptionRecords.h"
#include "engine/OptionValues.h"
#include "media/LibrarySets.h"
#include "media/MediaLogger.h"
#include "media/TextFormat.h"

#include <cmath>
#include <cstdlib>
#include <unordered_map>

namespace tovik {

namespace {

// Switches: True unless the value is exactly "0".
const std::unordered_map<std::string, bool TEngineSettings::*>& SwitchMembers() {
    static const std::unordered_map<std::string, bool TEngineSettings::*> members = {
        {"dump", &TEngineSettings::DoPktDump},
        {"hex", &TEngineSettings::DoHexDump},
        {"re", &TEngineSettings::RateEmu},
        {"loop_input", &TEngineSettings::LoopInput},
        {"shortest", &TEngineSettings::OptShortest},
        {"isync", &TEngineSettings::InputSync},
        {"intra", &TEngineSettings::IntraOnly},
        {"vn", &TEngineSettings::VideoDisable},
        {"sameq", &TEngineSettings::SameQuality},
        {"deinterlace", &TEngineSettings::DoDeinterlace},
        {"psnr", &TEngineSettings::DoPSNR},
        {"qphist", &TEngineSettings::QpHist},
        {"force_fps", &TEngineSettings::ForceFps},
        {"an", &TEngineSettings::AudioDisable},
        {"sn", &TEngineSettings::SubtitleDisable},
    };
    return members;
}

const std::unordered_map<std::string, int TEngineSettings::*>& IntegerMembers() {
    static const std::unordered_map<std::string, int TEngineSettings::*> members = {
        {"loop_output", &TEngineSettings::LoopOutput},
        {"vsync", &TEngineSettings::VideoSyncMethod},
        {"async", &TEngineSettings::AudioSyncMethod},
        {"vglobal", &TEngineSettings::VideoGlobalHeader},
        {"programid", &TEngineSettings::ProgramId},
        {"copyinkf", &TEngineSettings::CopyInitialNonKeyframes},
        {"vdt", &TEngineSettings::VideoDiscard},
        {"me_threshold", &TEngineSettings::MeThreshold},
        {"top", &TEngineSettings::TopFieldFirst},
        {"dc", &TEngineSettings::IntraDcPrecision},
        {"vc", &TEngineSettings::VideoChannel},
        {"vol", &TEngineSettings::AudioVolume},
        {"v", &TEngineSettings::Verbose},
    };
    return members;
}

const std::unordered_map<std::string, float TEngineSettings::*>& FloatMembers() {
    static const std::unordered_map<std::string, float TEngineSettings::*> members = {
        {"adrift_threshold", &TEngineSettings::AudioDriftThreshold},
        {"dts_delta_threshold", &TEngineSettings::DtsDeltaThreshold},
        {"muxdelay", &TEngineSettings::MuxMaxDelay},
        {"muxpreload", &TEngineSettings::MuxPreload},
    };
    return members;
}

const std::unordered_map<std::string, std::string TEngineSettings::*>& TextMembers() {
    static const std::unordered_map<std::string, std::string TEngineSettings::*> members = {
        {"rc_override", &TEngineSettings::RcOverrideString},
        {"passlogfile", &TEngineSettings::PassLogFileName},
        {"vfilters", &TEngineSettings::VideoFilters},
        {"vf", &TEngineSettings::VideoFilters},
        {"vlang", &TEngineSettings::VideoLanguage},
        {"alang", &TEngineSettings::AudioLanguage},
        {"slang", &TEngineSettings::SubtitleLanguage},
        {"tvstd", &TEngineSettings::VideoStandard},
    };
    return members;
}

// A C integer as strtol reads it (decimal, or hexadecimal with 0x), then skips any one
// separator character.
int ReadMapNumber(const char*& at) {
    char* end = nullptr;
    const long value = std::strtol(at, &end, 0);
    at = end;
    if (*at)
        ++at;
    return static_cast<int>(value);
}

// The library's date parser: duration mode for "t", "ss", "itsoffset"; date mode for
// "timestamp".
int64_t ParseTime(const std::string& name, const std::string& value, bool duration) {
    int64_t result = 0;
    if (ff::av_parse_time(&result, value.c_str(), duration ? 1 : 0) < 0)
        throw FFmpegException(FormatText("Invalid %s specification for %s: %s",
                                         duration ? "duration" : "date", name.c_str(),
                                         value.c_str()));
    return result;
}

} // namespace

TCustomFFmpeg::TCustomFFmpeg() = default;

TCustomFFmpeg::~TCustomFFmpeg() {
    if (EngineLibrariesLoaded())
        ReleaseFiles();
    ReleaseFrameHooks();
}

void TCustomFFmpeg::ResetEngine() {
    if (!EngineLibrariesLoaded())
        return;
    // Release what the stages hold. Each stage that holds resources (files, codecs,
    // buffers, filter graph, preview objects) releases them here, before the defaults.
    ReleaseFiles();
    ReleaseFrameHooks();
    settings_ = TEngineSettings();
    defaultOptions_ = std::make_unique<TDefaultOptions>(settings_.SwsFlags);
    lastError_.clear();
}

const std::vector<TCustomFFmpeg::TOptionEntry>& TCustomFFmpeg::OptionTable() {
    using T = TCustomFFmpeg;
    static const std::vector<TOptionEntry> table = {
        // General and file options.
        {"L", &T::OptDoNothing},
        {"h", &T::OptDoNothing},
        {"version", &T::OptDoNothing},
        {"formats", &T::OptDoNothing},
        {"codecs", &T::OptDoNothing},
        {"bsfs", &T::OptDoNothing},
        {"protocols", &T::OptDoNothing},
        {"filters", &T::OptDoNothing},
        {"i", &T::OptDoNothing},
        {"y", &T::OptDoNothing},
        {"benchmark", &T::OptDoNothing},
        {"loglevel", &T::OptLogLevel},
        {"f", &T::OptFormat},
        {"map", &T::OptMap},
        {"map_meta_data", &T::OptMapMetaData},
        {"t", &T::OptRecordingTime},
        {"fs", &T::OptLimitFileSize},
        {"ss", &T::OptStartTime},
        {"itsoffset", &T::OptInputTsOffset},
        {"itsscale", &T::OptInputTsScale},
        {"timestamp", &T::OptRecTimestamp},
        {"metadata", &T::OptMetadata},
        {"dframes", &T::OptDataFrames},
        {"timelimit", &T::OptTimeLimit},
        {"target", &T::OptTarget},
        {"threads", &T::OptThreads},
        {"copyts", &T::OptCopyTs},
        {"xerror", &T::OptExitOnError},
        {"streamid", &T::OptStreamId},
        // Video options.
        {"b", &T::OptBitRate},
        {"vb", &T::OptBitRate},
        {"vframes", &T::OptVideoFrames},
        {"r", &T::OptFrameRate},
        {"s", &T::OptFrameSize},
        {"aspect", &T::OptAspect},
        {"pix_fmt", &T::OptPixelFormat},
        {"croptop", &T::OptCrop},
        {"cropbottom", &T::OptCrop},
        {"cropleft", &T::OptCrop},
        {"cropright", &T::OptCrop},
        {"padtop", &T::OptPad},
        {"padbottom", &T::OptPad},
        {"padleft", &T::OptPad},
        {"padright", &T::OptPad},
        {"padcolor", &T::OptPad},
        {"qscale", &T::OptQScale},
        {"vcodec", &T::OptCodec},
        {"pass", &T::OptPass},
        {"vstats", &T::OptVStats},
        {"vstats_file", &T::OptVStatsFile},
        {"vhook", &T::OptVideoHook},
        {"intra_matrix", &T::OptMatrix},
        {"inter_matrix", &T::OptMatrix},
        {"vtag", &T::OptCodecTag},
        {"newvideo", &T::OptNewStream},
        // Audio options.
        {"ab", &T::OptBitRate},
        {"aframes", &T::OptAudioFrames},
        {"aq", &T::OptAudioQScale},
        {"ar", &T::OptSampleRate},
        {"ac", &T::OptChannels},
        {"acodec", &T::OptCodec},
        {"atag", &T::OptCodecTag},
        {"newaudio", &T::OptNewStream},
        {"sample_fmt", &T::OptSampleFormat},
        // Subtitle options.
        {"scodec", &T::OptCodec},
        {"newsubtitle", &T::OptNewStream},
        {"stag", &T::OptCodecTag},
        // Filters and presets.
        {"absf", &T::OptBitstreamFilter},
        {"vbsf", &T::OptBitstreamFilter},
        {"sbsf", &T::OptBitstreamFilter},
        {"apre", &T::OptPreset},
        {"vpre", &T::OptPreset},
        {"spre", &T::OptPreset},
        {"fpre", &T::OptPreset},
    };
    return table;
}

bool TCustomFFmpeg::SetOption(const std::string& name, const std::string& value) {
    if (!EngineLibrariesLoaded())
        throw FFmpegException("The media libraries are not loaded.");
    if (!defaultOptions_)
        defaultOptions_ = std::make_unique<TDefaultOptions>(settings_.SwsFlags);

    static const std::unordered_map<std::string, TOptionHandler> handlers = [] {
        std::unordered_map<std::string, TOptionHandler> result;
        for (const TOptionEntry& entry : OptionTable())
            result.emplace(entry.Name, entry.Handler);
        return result;
    }();
    if (const auto handler = handlers.find(name); handler != handlers.end()) {
        (this->*handler->second)(name, value);
        return true;
    }
    if (const auto member = SwitchMembers().find(name); member != SwitchMembers().end()) {
        settings_.*(member->second) = SwitchValue(value);
        return true;
    }
    if (const auto member = IntegerMembers().find(name); member != IntegerMembers().end()) {
        settings_.*(member->second) = StrToInt(value);
        return true;
    }
    if (const auto member = FloatMembers().find(name); member != FloatMembers().end()) {
        settings_.*(member->second) = static_cast<float>(StrToFloat(value));
        return true;
    }
    if (const auto member = TextMembers().find(name); member != TextMembers().end()) {
        settings_.*(member->second) = value;
        return true;
    }
    // Everything else is a library option; the generic setter logs what it refuses.
    return SetGenericOption(name, value);
}

void TCustomFFmpeg::ParseOptionText(const std::string& text, bool applyCodecOptions) {
    for (const TOptionLine& line : SplitOptionText(text)) {
        const std::string& name = line.Name;
        if (name == "newvideo" || name == "newaudio" || name == "newsubtitle" || name == "apre" ||
            name == "vpre" || name == "spre" || name == "vfilters" || name == "vf")
            continue;
        if (!applyCodecOptions &&
            (name == "acodec" || name == "vcodec" || name == "scodec" || name == "s"))
            continue;
        SetOption(name, line.Value);
    }
}

bool TCustomFFmpeg::SetGenericOption(const std::string& name, const std::string& value) {
    if (!defaultOptions_)
        defaultOptions_ = std::make_unique<TDefaultOptions>(settings_.SwsFlags);
    const bool accepted = defaultOptions_->SetDefaultOption(name, value);
    if (accepted && name == "sws_flags") {
        int64_t flags = 0;
        if (ff::av_opt_get_int(defaultOptions_->ScaleContext(), "sws_flags", 0, &flags) >= 0)
            settings_.SwsFlags = static_cast<int>(flags);
    }
    return accepted;
}

bool TCustomFFmpeg::SetTypedOption(AVMediaType type, const std::string& name,
                                   const std::string& value) {
    if (!defaultOptions_)
        defaultOptions_ = std::make_unique<TDefaultOptions>(settings_.SwsFlags);
    return defaultOptions_->SetTypedOption(type, TrimText(name), TrimText(value));
}

void TCustomFFmpeg::LogInfo(const std::string& text) {
    LoggerInstance().Log(this, TLogLevel::llInfo, text);
}

// ---- General and file options -------------------------------------------------------------

void TCustomFFmpeg::OptDoNothing(const std::string& name, const std::string&) {
    LogInfo("Do nothing: option - " + name);
}

void TCustomFFmpeg::OptLogLevel(const std::string&, const std::string& value) {
    try {
        LoggerInstance().SetLogLevelByName(TrimText(value));
    } catch (const std::invalid_argument&) {
        throw FFmpegException(FormatText("Invalid loglevel \"%s\". Possible levels are "
                                         "quiet, panic, fatal, error, warning, info, verbose, "
                                         "debug",
                                         value.c_str()));
    }
}

void TCustomFFmpeg::OptFormat(const std::string&, const std::string& value) {
    if (value == "pgmyuv") {
        settings_.PgmyuvCompat = true;
        settings_.FormatName = "image2";
        LogInfo("pgmyuv format is deprecated, use image2");
    } else {
        settings_.FormatName = value;
    }
}

void TCustomFFmpeg::OptMap(const std::string&, const std::string& value) {
    if (settings_.StreamMaps.size() >= static_cast<size_t>(kMaxStreamMaps))
        throw FFmpegException(FormatText("too many stream maps (at most %d)", kMaxStreamMaps));
    const char* at = value.c_str();
    TStreamMap map;
    map.FileIndex = ReadMapNumber(at);
    map.StreamIndex = ReadMapNumber(at);
    if (*at) {
        map.SyncFileIndex = ReadMapNumber(at);
        map.SyncStreamIndex = ReadMapNumber(at);
    } else {
        map.SyncFileIndex = map.FileIndex;
        map.SyncStreamIndex = map.StreamIndex;
    }
    settings_.StreamMaps.push_back(map);
}

void TCustomFFmpeg::OptMapMetaData(const std::string&, const std::string& value) {
    if (settings_.MetaDataMaps.size() >= static_cast<size_t>(kMaxMetaDataMaps))
        throw FFmpegException(FormatText("too many metadata maps (at most %d)", kMaxMetaDataMaps));
    const char* at = value.c_str();
    TMetaDataMap map;
    map.OutFile = ReadMapNumber(at);
    map.InFile = ReadMapNumber(at);
    settings_.MetaDataMaps.push_back(map);
}

void TCustomFFmpeg::OptRecordingTime(const std::string& name, const std::string& value) {
    const int64_t length = ParseTime(name, value, true);
    // A negative length would give an empty output that looks like a success.
    if (length < 0)
        throw FFmpegException(
            FormatText("Invalid duration specification for %s: %s", name.c_str(), value.c_str()));
    settings_.RecordingTime = length;
}

void TCustomFFmpeg::OptLimitFileSize(const std::string&, const std::string& value) {
    settings_.LimitFileSize = StrToInt64(value);
}

void TCustomFFmpeg::OptStartTime(const std::string& name, const std::string& value) {
    settings_.StartTime = ParseTime(name, value, true);
}

void TCustomFFmpeg::OptInputTsOffset(const std::string& name, const std::string& value) {
    settings_.InputTsOffset = ParseTime(name, value, true);
}

void TCustomFFmpeg::OptInputTsScale(const std::string&, const std::string& value) {
    const char* at = value.c_str();
    char* end = nullptr;
    const long stream = std::strtol(at, &end, 0);
    at = end;
    if (*at)
        ++at;
    const double scale = std::strtod(at, nullptr);
    if (stream < 0 || stream >= kMaxStreams)
        throw FFmpegException(FormatText("stream index over MAX_STREAMS(%d)", kMaxStreams));
    settings_.InputTsScale[static_cast<size_t>(stream)] = scale;
}

void TCustomFFmpeg::OptRecTimestamp(const std::string& name, const std::string& value) {
    const int64_t microseconds = ParseTime(name, value, false);
    settings_.RecordingTimestamp =
        static_cast<int64_t>(std::llround(static_cast<double>(microseconds) / 1000000.0));
}

void TCustomFFmpeg::OptMetadata(const std::string&, const std::string& value) {
    const size_t equals = value.find('=');
    if (equals == std::string::npos)
        throw FFmpegException("Missing =");
    settings_.Metadata.emplace_back(value.substr(0, equals), value.substr(equals + 1));
}

void TCustomFFmpeg::OptDataFrames(const std::string&, const std::string& value) {
    settings_.MaxFrames[AVMEDIA_TYPE_DATA] = StrToInt(value);
}

void TCustomFFmpeg::OptTimeLimit(const std::string&, const std::string&) {
    LoggerInstance().Log(this, TLogLevel::llWarning,
                         "Warning: -timelimit not implemented on Windows");
}

void TCustomFFmpeg::OptTarget(const std::string&, const std::string& value) {
    std::string type = value;
    std::string norm = "auto";
    for (const char* prefix : {"pal-", "ntsc-", "film-"}) {
        const std::string text(prefix);
        if (type.compare(0, text.size(), text) == 0) {
            norm = text.substr(0, text.size() - 1);
            type = type.substr(text.size());
            break;
        }
    }
    SetTarget(type, norm, "ntsc");
}

void TCustomFFmpeg::OptThreads(const std::string&, const std::string& value) {
    // Codec threads of every stream of the task; 0 lets the libraries use all cores.
    const int count = StrToInt(value);
    if (count < 0)
        throw FFmpegException(FormatText("Invalid thread count %d", count));
    settings_.ThreadCount = count;
}

void TCustomFFmpeg::OptCopyTs(const std::string&, const std::string&) {
    settings_.CopyTs = true;
}

void TCustomFFmpeg::OptExitOnError(const std::string&, const std::string&) {
    settings_.ExitOnError = true;
}

void TCustomFFmpeg::OptStreamId(const std::string& name, const std::string& value) {
    const size_t colon = value.find(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 >= value.size())
        throw FFmpegException(FormatText("Invalid value \"%s\" for option \"%s\", required "
                                         "syntax is \"index:value\"",
                                         value.c_str(), name.c_str()));
    const int index = StrToInt(value.substr(0, colon));
    const int identifier = StrToInt(value.substr(colon + 1));
    if (index < 0 || index >= kMaxStreams)
        throw FFmpegException(FormatText("stream index over MAX_STREAMS(%d)", kMaxStreams));
    for (auto& entry : settings_.StreamIds)
        if (entry.first == index) {
            entry.second = identifier;
            return;
        }
    settings_.StreamIds.emplace_back(index, identifier);
}

} // namespace tovik
