#include "effects/WorkerProtocol.h"

#include <nlohmann/json.hpp>

namespace tovik {

namespace {

using TJson = nlohmann::json;

constexpr const char* kCommandNames[] = {"pause", "resume", "stop"};

// The value of key when it has the wanted kind; fallback otherwise.
template <class T> T Get(const TJson& object, const char* key, T fallback) {
    const auto found = object.find(key);
    if (found == object.end())
        return fallback;
    if constexpr (std::is_same_v<T, bool>) {
        return found->is_boolean() ? found->template get<bool>() : fallback;
    } else if constexpr (std::is_same_v<T, std::string>) {
        return found->is_string() ? found->template get<std::string>() : fallback;
    } else if constexpr (std::is_floating_point_v<T>) {
        return found->is_number() ? static_cast<T>(found->template get<double>()) : fallback;
    } else {
        return found->is_number_integer() ? found->template get<T>() : fallback;
    }
}

} // namespace

std::optional<TWorkerCommand> ParseWorkerCommand(const std::string& line) {
    for (int index = 0; index < 3; ++index)
        if (line == kCommandNames[index])
            return static_cast<TWorkerCommand>(index);
    return std::nullopt;
}

std::string WorkerCommandLine(TWorkerCommand command) {
    return kCommandNames[static_cast<int>(command)];
}

std::string WorkerProbeLine(const std::string& fileName) {
    return "probe " + TJson(fileName).dump(-1, ' ', false, TJson::error_handler_t::replace);
}

std::optional<std::string> ParseWorkerProbe(const std::string& line) {
    constexpr std::string_view kPrefix = "probe ";
    if (!line.starts_with(kPrefix))
        return std::nullopt;
    const TJson name = TJson::parse(line.substr(kPrefix.size()), nullptr, false);
    if (!name.is_string())
        return std::nullopt;
    return name.get<std::string>();
}

std::string WriteWorkerRecord(const TWorkerRecord& record) {
    TJson line;
    if (const auto* progress = std::get_if<TProgressInfo>(&record)) {
        line["progress"] = {{"file", progress->FileIndex},   {"frame", progress->FrameNumber},
                            {"fps", progress->FPS},          {"quality", progress->Quality},
                            {"bitrate", progress->BitRate},  {"size", progress->TotalSize},
                            {"time", progress->CurrentTime}, {"duration", progress->TotalDuration}};
    } else if (const auto* log = std::get_if<TWorkerLog>(&record)) {
        line["log"] = {{"level", static_cast<int>(log->Level)}, {"text", log->Text}};
    } else if (const auto* picture = std::get_if<TWorkerPicture>(&record)) {
        line["picture"] = {{"sequence", picture->Sequence}};
    } else if (const auto* probe = std::get_if<TWorkerProbe>(&record)) {
        line["probe"] = {{"opened", probe->Opened},
                         {"error", probe->Error},
                         {"name", probe->FileName},
                         {"videoStreams", probe->VideoStreamCount},
                         {"width", probe->Width},
                         {"height", probe->Height},
                         {"rotation", probe->Rotation},
                         {"bitrate", probe->BitRate},
                         {"aspect", probe->DisplayAspectRatio}};
    } else {
        const auto& end = std::get<TTerminateInfo>(record);
        line["end"] = {
            {"finished", end.Finished}, {"failed", end.Failed}, {"error", end.ErrorMessage}};
    }
    // Library messages need not be UTF-8; a replaced byte is better than a lost record.
    return line.dump(-1, ' ', false, TJson::error_handler_t::replace);
}

std::optional<TWorkerRecord> ReadWorkerRecord(const std::string& line) {
    const TJson document = TJson::parse(line, nullptr, false);
    if (!document.is_object() || document.size() != 1)
        return std::nullopt;
    if (const auto progress = document.find("progress");
        progress != document.end() && progress->is_object()) {
        TProgressInfo info;
        info.FileIndex = Get<int>(*progress, "file", 0);
        info.FrameNumber = Get<int>(*progress, "frame", -1);
        info.FPS = Get<int>(*progress, "fps", -1);
        info.Quality = Get<float>(*progress, "quality", -1.0f);
        info.BitRate = Get<float>(*progress, "bitrate", 0.0f);
        info.TotalSize = Get<int64_t>(*progress, "size", 0);
        info.CurrentTime = Get<int64_t>(*progress, "time", 0);
        info.TotalDuration = Get<int64_t>(*progress, "duration", 0);
        return info;
    }
    if (const auto log = document.find("log"); log != document.end() && log->is_object()) {
        TWorkerLog record;
        const int level = Get<int>(*log, "level", static_cast<int>(TLogLevel::llInfo));
        if (level >= static_cast<int>(TLogLevel::llQuiet) &&
            level <= static_cast<int>(TLogLevel::llDebug))
            record.Level = static_cast<TLogLevel>(level);
        record.Text = Get<std::string>(*log, "text", "");
        return record;
    }
    if (const auto picture = document.find("picture");
        picture != document.end() && picture->is_object())
        return TWorkerPicture{Get<uint32_t>(*picture, "sequence", 0)};
    if (const auto probe = document.find("probe"); probe != document.end() && probe->is_object()) {
        TWorkerProbe found;
        found.Opened = Get<bool>(*probe, "opened", false);
        found.Error = Get<std::string>(*probe, "error", "");
        found.FileName = Get<std::string>(*probe, "name", "");
        found.VideoStreamCount = Get<int32_t>(*probe, "videoStreams", 0);
        found.Width = Get<int32_t>(*probe, "width", -1);
        found.Height = Get<int32_t>(*probe, "height", -1);
        found.Rotation = Get<int32_t>(*probe, "rotation", 0);
        found.BitRate = Get<int32_t>(*probe, "bitrate", -1);
        found.DisplayAspectRatio = Get<float>(*probe, "aspect", -1.0f);
        return found;
    }
    if (const auto end = document.find("end"); end != document.end() && end->is_object()) {
        TTerminateInfo info;
        info.Finished = Get<bool>(*end, "finished", false);
        info.Failed = Get<bool>(*end, "failed", true);
        info.ErrorMessage = Get<std::string>(*end, "error", "");
        return info;
    }
    return std::nullopt;
}

} // namespace tovik
