#pragma once
// What a conversion worker process and the program that runs it say to each other, one JSON
// object per line. The runner writes the task description (TaskDescription.h) as the first
// line of the worker's standard input, then any of the commands "pause", "resume" and "stop"
// as lines of their own. The worker answers on its standard output with progress, log and
// termination records; the termination record is its last line.

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

using TWorkerRecord = std::variant<TProgressInfo, TWorkerLog, TWorkerPicture, TTerminateInfo>;

// A command line without its line break; nullopt for anything else.
std::optional<TWorkerCommand> ParseWorkerCommand(const std::string& line);
std::string WorkerCommandLine(TWorkerCommand command);

// One record as a line without its line break.
std::string WriteWorkerRecord(const TWorkerRecord& record);
// A line the worker wrote; nullopt when it is not a record (a library may print to standard
// output, say), so the runner can pass such lines on as text.
std::optional<TWorkerRecord> ReadWorkerRecord(const std::string& line);

} // namespace tovik
