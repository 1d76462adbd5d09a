#pragma once
// What a conversion worker process and the program that runs it say to each other, one JSON
// object per line. The runner writes task descriptions (TaskDescription.h) to the worker's
// standard input, each followed by any of the commands "pause", "resume" and "stop" for that
// task, and between tasks "probe" requests for a source's facts. The worker answers on its
// standard output with progress, log and picture records and one termination record per
// task, and one probe record per request.

#include "engine/EventRecords.h"
#include "media/MediaLogger.h"

#include <cstdint>
#include <optional>
#include <string>
#include <variant>

namespace tovik {

enum class TWorkerCommand { wcPause, wcResume, wcStop };

struct TWorkerLog {
    TLogLevel Level = TLogLevel::llInfo;
    std::string Text;
};

struct TWorkerPicture {
    uint32_t Sequence = 0;
};

// What the worker found in a source it was asked to look at: what a runner without the media
// libraries of its own needs to prepare the source's task.
struct TWorkerProbe {
    bool Opened = false;
    std::string Error;    // why not, in the probe's words
    std::string FileName; // as the probe names the source
    int32_t VideoStreamCount = 0;
    // The first video stream's, as stored (Rotation says how to show it).
    int32_t Width = -1;
    int32_t Height = -1;
    int32_t Rotation = 0;
    int32_t BitRate = -1;
    float DisplayAspectRatio = -1.0f;

    bool operator==(const TWorkerProbe&) const = default;
};

using TWorkerRecord =
    std::variant<TProgressInfo, TWorkerLog, TWorkerPicture, TTerminateInfo, TWorkerProbe>;

// A command line without its line break; nullopt for anything else.
std::optional<TWorkerCommand> ParseWorkerCommand(const std::string& line);
std::string WorkerCommandLine(TWorkerCommand command);
// The request to probe a source: "probe" and the file name as a JSON string.
std::string WorkerProbeLine(const std::string& fileName);
// The file name of a probe request; nullopt for anything else.
std::optional<std::string> ParseWorkerProbe(const std::string& line);

// One record as a line without its line break.
std::string WriteWorkerRecord(const TWorkerRecord& record);
// A line the worker wrote; nullopt when it is not a record (a library may print to standard
// output, say), so the runner can pass such lines on as text.
std::optional<TWorkerRecord> ReadWorkerRecord(const std::string& line);

} // namespace tovik
