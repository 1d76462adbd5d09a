// "tovik-cli convert": the program's Start command without windows. Reads the same settings
// and format-profile files, prepares one task per file exactly as the main window does, and
// converts them one after another in a worker thread with a progress line per file.
#include "cli/CliSupport.h"
#include "cli/Commands.h"
#include "cli/Progress.h"

#include "engine/MediaConverter.h"
#include "media/FFmpegLoader.h"
#include "media/MediaLogger.h"
#include "media/MediaProbe.h"
#include "platform/Dispatcher.h"
#include "platform/FileSystem.h"
#include "settings/GlobalObject.h"
#include "settings/ProgramFiles.h"
#include "workspace/core/TaskPreparation.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>

namespace tovik::cli {

namespace {

volatile std::sig_atomic_t g_interrupted = 0;

void OnInterrupt(int) {
    g_interrupted = 1;
}

struct TConvertArguments {
    std::optional<int> FormatCode;
    std::optional<std::string> OutputDirectory;
    int64_t Start = 0;  // microseconds
    int64_t Length = 0; // microseconds, 0: to the end
    bool Quiet = false;
    std::vector<std::string> Files;
};

int64_t SecondsArgument(const std::string& text, const char* option) {
    size_t used = 0;
    double seconds = 0;
    try {
        seconds = std::stod(text, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used != text.size() || !(seconds >= 0) || !std::isfinite(seconds))
        throw std::invalid_argument(std::string(option) + " needs a number of seconds: " + text);
    return std::llround(seconds * 1000000);
}

TConvertArguments ParseArguments(const TArguments& arguments) {
    TConvertArguments parsed;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        auto value = [&]() -> const std::string& {
            if (i + 1 >= arguments.size())
                throw std::invalid_argument(argument + " needs a value");
            return arguments[++i];
        };
        if (argument == "--format") {
            const std::string& text = value();
            size_t used = 0;
            int code = -1;
            try {
                code = std::stoi(text, &used);
            } catch (const std::exception&) {
                used = 0;
            }
            if (used != text.size())
                throw std::invalid_argument("--format needs a format code: " + text);
            parsed.FormatCode = code;
        } else if (argument == "--outdir") {
            parsed.OutputDirectory = value();
        } else if (argument == "--start") {
            parsed.Start = SecondsArgument(value(), "--start");
        } else if (argument == "--length") {
            parsed.Length = SecondsArgument(value(), "--length");
        } else if (argument == "-q" || argument == "--quiet") {
            parsed.Quiet = true;
        } else if (argument.rfind("--", 0) == 0 || argument == "-") {
            throw std::invalid_argument("unknown option " + argument);
        } else {
            parsed.Files.push_back(argument);
        }
    }
    if (parsed.Files.empty())
        throw std::invalid_argument("no files given");
    return parsed;
}

std::string Clock(double seconds) {
    const auto total = static_cast<long long>(std::max(0.0, seconds) + 0.5);
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", total / 3600, total / 60 % 60,
                  total % 60);
    return text;
}

// The per-file progress text: bar, percent, speed against real time, time left.
std::string ProgressText(const std::string& name, const TProgressInfo& info, double elapsed,
                         bool bar) {
    const double total = static_cast<double>(info.TotalDuration) / 1e6;
    const double done = static_cast<double>(info.CurrentTime) / 1e6;
    const double fraction = total > 0 ? std::clamp(done / total, 0.0, 1.0) : 0.0;
    const int width = 30;
    const int filled = static_cast<int>(fraction * width);
    const double speed = elapsed > 0 ? done / elapsed : 0.0;
    const double left = speed > 0 && total > 0 ? (total - done) / speed : 0.0;
    char text[256];
    if (bar)
        std::snprintf(text, sizeof text, "%-24.24s [%s%s] %5.1f%% %5.2fx left %s", name.c_str(),
                      std::string(static_cast<size_t>(filled), '#').c_str(),
                      std::string(static_cast<size_t>(width - filled), '.').c_str(), fraction * 100,
                      speed, Clock(left).c_str());
    else
        std::snprintf(text, sizeof text, "%s: %.1f%% %.2fx left %s", name.c_str(), fraction * 100,
                      speed, Clock(left).c_str());
    return text;
}

} // namespace

int RunConvertCommand(const TArguments& arguments, const TCliOptions& options) {
    TConvertArguments parsed;
    try {
        parsed = ParseArguments(arguments);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "tovik-cli convert: %s\n", error.what());
        return kExitUsage;
    }
    const bool quiet = parsed.Quiet || options.Quiet;
    if (parsed.OutputDirectory) {
        std::error_code error;
        std::filesystem::create_directories(*parsed.OutputDirectory, error);
        if (!platform::DirectoryExists(*parsed.OutputDirectory)) {
            std::fprintf(stderr, "tovik-cli convert: cannot create output directory %s\n",
                         parsed.OutputDirectory->c_str());
            return kExitFailed;
        }
    }
    TGlobalObject global;
    global.SetUpFileLocations();
    // A first run of an installed program brings the installed profile along.
    std::string profileError;
    if (!ProvideProfile(global.ProfileFile(), InstalledDataDir(), profileError)) {
        std::fprintf(stderr,
                     "tovik-cli convert: %s (./run.sh or tovik-install-profile puts it there)\n",
                     profileError.c_str());
        return kExitSetUp;
    }

    TMediaConverter converter;
    if (!LoadConverterLibraries(converter))
        return kExitSetUp;
    const TProgressStyle style = ProgressStyleFor(stderr, quiet);
    // Kit messages start on a line of their own when a redrawn progress line is open.
    PrintKitMessages(TLogLevel::llError, style == TProgressStyle::psRedrawn ? "\n" : "");

    TBuildContext context;
    context.SettingsFile = global.SettingsFile();
    context.ProfileFile = global.ProfileFile();
    context.AskYesNo = [quiet](const std::string& question) {
        if (!quiet)
            std::fprintf(stderr, "%s Yes\n", question.c_str());
        return true;
    };
    const TWarningCallback warn = [quiet](const std::string& text) {
        if (!quiet)
            std::fprintf(stderr, "Warning: %s\n", text.c_str());
    };

    // Queue one task per file; a file that cannot be prepared is reported and skipped.
    std::map<int, std::string> fileOfTask;                     // task index -> source file
    std::vector<std::pair<std::string, std::string>> failures; // file, reason
    std::vector<std::string> converted;
    for (const std::string& file : parsed.Files) {
        try {
            TMediaProbe& probe = converter.Probe();
            if (!probe.LoadFile(file)) {
                failures.emplace_back(file, probe.LastErrMsg());
                continue;
            }
            const TSourceFacts facts = SourceFactsOf(
                probe.VideoStreamCount(),
                probe.VideoStreamCount() > 0 ? probe.GetVideoStreamInfo(-1) : TVideoStreamInfo{});
            const std::string probedName = probe.FileName();
            probe.CloseFile();
            TlvFilesRecord job;
            job.SourceFile = file;
            job.TrimStart = parsed.Start;
            job.TrimLength = parsed.Length;
            TPreparedTask prepared = PrepareConversionTask(
                job, probedName, facts, context, warn, parsed.FormatCode, parsed.OutputDirectory);
            const int index = converter.AddTask(file, &prepared.Input);
            if (index < 0) {
                failures.emplace_back(file, converter.LastError());
                continue;
            }
            if (!converter.SetOutputFile(index, prepared.Output.FileName, &prepared.Output)) {
                failures.emplace_back(file, converter.LastError());
                converter.RemoveTask(index);
                continue;
            }
            fileOfTask[index] = file;
        } catch (const std::exception& error) {
            failures.emplace_back(file, error.what());
        }
    }

    // OnProgress runs on this thread through the dispatcher, OnTerminate on a thread of the
    // component's own: the progress output and the run's records share one lock.
    std::mutex mutex;
    std::vector<TTerminateInfo> ends; // guarded by mutex
    std::atomic<bool> done{fileOfTask.empty()};
    // A task starts when the one before it ends.
    auto started = std::chrono::steady_clock::now(); // guarded by mutex
    TProgressPrinter progress(stderr, style);        // guarded by mutex
    TProgressInfo lastProgress;                      // of the running task; guarded by mutex
    const auto nameOf = [&](int taskIndex) {
        const auto found = fileOfTask.find(taskIndex);
        return found == fileOfTask.end() ? std::string()
                                         : std::filesystem::path(found->second).filename().string();
    };
    const auto elapsedSeconds = [&] { // with mutex held
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    };
    converter.OnProgress = [&](TObject*, PProgressInfo info) {
        std::lock_guard lock(mutex);
        lastProgress = *info;
        progress.Update(ProgressText(nameOf(info->TaskIndex), *info, elapsedSeconds(),
                                     style == TProgressStyle::psRedrawn));
    };
    converter.OnTerminate = [&](TObject*, const TTerminateInfo& info) {
        std::lock_guard lock(mutex);
        if (info.TaskIndex >= 0) {
            TProgressInfo last = lastProgress;
            if (last.TaskIndex != info.TaskIndex) {
                last = TProgressInfo();
                last.TaskIndex = info.TaskIndex;
            }
            // The last report comes before the end of the file.
            if (info.Finished && !info.Failed && last.TotalDuration > 0)
                last.CurrentTime = last.TotalDuration;
            const std::string name = nameOf(info.TaskIndex);
            if (style == TProgressStyle::psRedrawn)
                progress.Finish(ProgressText(name, last, elapsedSeconds(), true));
            else
                progress.Finish(name + ": " +
                                (info.Failed     ? std::string("failed")
                                 : info.Finished ? "done in " + Clock(elapsedSeconds())
                                                 : std::string("stopped")));
        }
        started = std::chrono::steady_clock::now();
        if (info.TaskIndex < 0) {
            done = true;
            // Wake the main thread at once instead of at its next poll.
            TDispatcher::Instance().Queue([] {});
        } else {
            ends.push_back(info);
        }
    };

    g_interrupted = 0;
    // Asked to end (Ctrl+C, kill, a closed terminal): the running output is still finished.
    for (const int number : {SIGINT, SIGTERM, SIGHUP})
        std::signal(number, OnInterrupt);
    if (!fileOfTask.empty())
        converter.StartTask(1);
    bool stopped = false;
    while (!done) {
        if (g_interrupted && !stopped) {
            stopped = true;
            {
                std::lock_guard lock(mutex);
                progress.BreakLine();
                std::fprintf(stderr, "Stopping...\n");
            }
            converter.Stop(true); // the running task still finishes its output
        }
        TDispatcher::Instance().WaitAndCheckSynchronize(std::chrono::milliseconds(50));
    }
    for (const int number : {SIGINT, SIGTERM, SIGHUP})
        std::signal(number, SIG_DFL);

    {
        std::lock_guard lock(mutex);
        progress.BreakLine();
        for (const TTerminateInfo& end : ends) {
            const std::string file =
                fileOfTask.count(end.TaskIndex) ? fileOfTask[end.TaskIndex] : "";
            if (end.Failed)
                failures.emplace_back(file, end.ErrorMessage);
            else if (!end.Finished)
                failures.emplace_back(file, "stopped");
            else
                converted.push_back(converter.Task(end.TaskIndex).StoredOutputOptions(0).FileName);
        }
    }
    // Results on standard output, one written file a line; the rest on standard error.
    for (const std::string& output : converted)
        std::printf("%s\n", output.c_str());
    std::fflush(stdout);
    if (!quiet)
        std::fprintf(stderr, "Converted %zu of %zu file(s).\n", converted.size(),
                     parsed.Files.size());
    // The kit's texts often name the file already.
    for (const auto& [file, reason] : failures)
        std::fprintf(stderr, "tovik-cli convert: %s\n",
                     (reason.rfind(file, 0) == 0 ? reason : file + ": " + reason).c_str());
    if (stopped)
        return kExitInterrupted;
    return failures.empty() && converted.size() == parsed.Files.size() ? kExitOk : kExitFailed;
}

} // namespace tovik::cli
