// The engine component's SetOutputFile: an output option record and its option text applied
// to a task, and the extra streams the text asks for.

#include "engine/MediaConverter.h"

#include "media/TextFormat.h"
#include "platform/TimeZone.h"

#include <cmath>
#include <ctime>
#include <stdexcept>

namespace tovik {

namespace {

// Names whose lines supply per-stream values; "vfilters" counts as "vf".
bool IsStreamValueName(const std::string& name) {
    static const char* const names[] = {"acodec", "vcodec", "scodec", "apre",
                                        "vpre",   "spre",   "s",      "vf"};
    for (const char* known : names)
        if (name == known)
            return true;
    return false;
}

std::string FloatValue(float value) {
    return FormatText("%g", static_cast<double>(value));
}

// A local date-time (days since 1899-12-30) as the UTC date text "timestamp" reads.
std::string TimestampValue(double localDays) {
    if (localDays == 0.0)
        return "now";
    const double zoneDays = static_cast<double>(platform::StandardTimeOffsetSeconds()) / 86400.0;
    const auto seconds =
        static_cast<time_t>(std::llround((localDays - 25569.0 - zoneDays) * 86400.0));
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    return FormatText("%04d-%02d-%02d %02d:%02d:%02dZ", utc.tm_year + 1900, utc.tm_mon + 1,
                      utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec);
}

// Applies one per-stream value: a codec name, a preset, the frame size or the filter chain.
void ApplyStreamValue(TFFmpeg& task, const std::string& name, const std::string& value) {
    if (value.empty())
        return;
    if (name == "apre" || name == "vpre" || name == "spre")
        task.ApplyPreset(name, value);
    else
        task.SetOption(name, value);
}

} // namespace

std::string MicrosecondsValue(int64_t microseconds) {
    const bool negative = microseconds < 0;
    const uint64_t magnitude =
        negative ? 0 - static_cast<uint64_t>(microseconds) : static_cast<uint64_t>(microseconds);
    return FormatText("%s%llu.%06llu", negative ? "-" : "",
                      static_cast<unsigned long long>(magnitude / 1000000),
                      static_cast<unsigned long long>(magnitude % 1000000));
}

bool TCustomMediaConverter::SetOutputFile(int taskIndex, const std::string& fileName,
                                          const TOutputOptions* options) {
    CheckNotWorking("SetOutputFile");
    TFFmpeg* task = nullptr;
    {
        std::lock_guard lock(terminateLock_);
        if (taskIndex < 0 || taskIndex >= tasks_.Count()) {
            lastError_ = FormatText("Invalid task index %d", taskIndex);
            return false;
        }
        task = &tasks_.Items(taskIndex);
    }
    const int slot = task->OutputCount();
    if (slot >= kMaxFiles) {
        lastError_ = FormatText("max output files %d reached", kMaxFiles);
        return false;
    }
    TOutputOptions& stored = task->StoredOutputOptions(slot);
    try {
        TStreamDefaults streams;
        bool join = false;
        if (options) {
            stored = *options;
            if (stored.FileName.empty())
                stored.FileName = fileName;
            ApplyOutputOptions(*task, stored, streams);
            join = stored.Join;
        } else {
            stored.Reset();
        }
        if (task->AddOutputFile(fileName, join) < 0) {
            lastError_ = task->LastError();
            stored.Reset();
            return false;
        }
        if (options)
            CreateExtraStreams(*task, stored, streams);
        return true;
    } catch (const std::exception& error) {
        lastError_ = error.what();
        stored.Reset();
        return false;
    }
}

void TCustomMediaConverter::ApplyOutputOptions(TFFmpeg& task, const TOutputOptions& o,
                                               TStreamDefaults& streams) {
    auto& defaults = streams.Defaults;
    defaults = {{"acodec", o.AudioCodec}, {"vcodec", o.VideoCodec}, {"scodec", o.SubtitleCodec},
                {"apre", o.AudioPreset},  {"vpre", o.VideoPreset},  {"spre", o.SubtitlePreset},
                {"s", o.FrameSize},       {"vf", o.VideoFilters}};
    for (const TOptionLine& line : SplitOptionText(o.OptionText)) {
        const std::string name = line.Name == "vfilters" ? "vf" : line.Name;
        if (!IsStreamValueName(name) || line.Value.empty())
            continue;
        if (defaults[name].empty())
            defaults[name] = line.Value; // the first line supplies what the record left empty
        streams.Pending.push_back({name, line.Value});
    }

    if (o.Target >= kTargetVcd && o.Target <= kTargetDvd) {
        static const char* const types[] = {"vcd", "svcd", "dvd"};
        const char* norm = o.TargetNorm == kNormPal    ? "pal"
                           : o.TargetNorm == kNormNtsc ? "ntsc"
                                                       : "auto";
        task.SetTarget(types[o.Target - kTargetVcd], norm,
                       o.TargetFallbackNorm == kNormPal ? "pal" : "ntsc");
    }
    for (const char* name : {"acodec", "vcodec", "scodec", "apre", "vpre", "spre"})
        ApplyStreamValue(task, name, defaults[name]);
    task.ParseOptionText(o.OptionText, false);

    // The record's fields override the text.
    const auto set = [&task](const char* name, const std::string& value) {
        task.SetOption(name, value);
    };
    const auto setPositive = [&set](const char* name, int32_t value) {
        if (value > 0)
            set(name, std::to_string(value));
    };
    if (!o.FormatName.empty())
        set("f", o.FormatName);
    setPositive("packetsize", o.PacketSize);
    setPositive("muxrate", o.MuxRate);
    if (o.MuxDelay > 0)
        set("muxdelay", FloatValue(o.MuxDelay));
    if (o.MuxPreload > 0)
        set("muxpreload", FloatValue(o.MuxPreload));

    if (o.DisableAudio)
        set("an", "1");
    if (o.Volume >= 0)
        set("vol", std::to_string(o.Volume));
    setPositive("ac", o.AudioChannels);
    setPositive("ar", o.AudioSampleRate);
    setPositive("ab", o.AudioBitRate);
    setPositive("abt", o.AudioBitRateTolerance);
    set("alang", o.AudioLanguage);
    set("async", std::to_string(o.AudioSync));
    if (!o.AudioTag.empty())
        set("atag", o.AudioTag);

    if (o.DisableVideo)
        set("vn", "1");
    if (!o.FrameRate.empty())
        set("r", o.FrameRate);
    if (!o.AspectRatio.empty())
        set("aspect", o.AspectRatio);
    setPositive("croptop", o.CropTop);
    setPositive("cropbottom", o.CropBottom);
    setPositive("cropleft", o.CropLeft);
    setPositive("cropright", o.CropRight);
    setPositive("g", o.GopSize);
    setPositive("vb", o.VideoBitRate);
    setPositive("maxrate", o.MaxRate);
    setPositive("minrate", o.MinRate);
    setPositive("bt", o.BitRateTolerance);
    setPositive("bufsize", o.BufferSize);
    set("vsync", std::to_string(o.VideoSync));
    if (!o.VideoTag.empty())
        set("vtag", o.VideoTag);
    set("vlang", o.VideoLanguage);

    if (o.DisableSubtitle)
        set("sn", "1");
    set("slang", o.SubtitleLanguage);

    set("isync", o.InputSync ? "1" : "0");
    if (o.CopyTimestamps)
        set("copyts", "1");
    if (o.StartTime != kUnsetTime)
        set("ss", MicrosecondsValue(o.StartTime));
    if (o.Duration != kUnsetTime)
        set("t", MicrosecondsValue(o.Duration));
    if (o.Timestamp >= 0)
        set("timestamp", TimestampValue(o.Timestamp));
    if (o.Year > 0)
        set("metadata", "year=" + std::to_string(o.Year));
    if (o.Track > 0)
        set("metadata", "track=" + std::to_string(o.Track));
    const std::pair<const char*, const std::string*> texts[] = {
        {"title", &o.Title},     {"author", &o.Author}, {"copyright", &o.RightsNote},
        {"comment", &o.Comment}, {"album", &o.Album},   {"genre", &o.Genre}};
    for (const auto& [key, value] : texts)
        if (!value->empty())
            set("metadata", std::string(key) + "=" + *value);

    ApplyStreamValue(task, "s", defaults["s"]);
    ApplyStreamValue(task, "vf", defaults["vf"]);
    if (o.CustomHook)
        task.SetHookCallback([this](TCustomFFmpeg& owner, TBitmap& bitmap, int frameNumber,
                                    int64_t frameTime, bool& writeBack, bool& disableHook) {
            DoCustomHook(owner, bitmap, frameNumber, frameTime, writeBack, disableHook);
        });
}

void TCustomMediaConverter::CreateExtraStreams(TFFmpeg& task, const TOutputOptions& o,
                                               TStreamDefaults& streams) {
    // Each value is the first pending line of its name (used up) or else the default.
    const auto take = [&streams](const std::string& name) {
        auto& pending = streams.Pending;
        for (auto it = pending.begin(); it != pending.end(); ++it)
            if (it->Name == name) {
                std::string value = it->Value;
                pending.erase(it);
                return value;
            }
        return streams.Defaults[name];
    };
    for (const TOptionLine& line : SplitOptionText(o.OptionText)) {
        std::vector<const char*> names;
        if (line.Name == "newaudio")
            names = {"acodec", "apre"};
        else if (line.Name == "newvideo")
            names = {"vcodec", "vpre", "s", "vf"};
        else if (line.Name == "newsubtitle")
            names = {"scodec", "spre"};
        else
            continue;
        for (const char* name : names)
            ApplyStreamValue(task, name, take(name));
        task.SetOption(line.Name, line.Value);
    }
}

} // namespace tovik
