// "tovik-cli convert": the program's Start command without windows. Reads the same settings
// and format-profile files, prepares one task per file exactly as the main window does, and
// converts each in a worker process of its own (in this process when there is no worker
// program), several at once when the machine has the cores for it.
#include "cli/BatchProgress.h"
#include "cli/CliSupport.h"
#include "cli/Commands.h"
#include "cli/Progress.h"

#include "effects/IsolatedConverter.h"
#include "effects/WorkerProcess.h"
#include "engine/MediaConverter.h"
#include "media/FFmpegLoader.h"
#include "media/MediaLogger.h"
#include "media/MediaProbe.h"
#include "platform/Dispatcher.h"
#include "platform/Environment.h"
#include "platform/FileSystem.h"
#include "settings/GlobalObject.h"
#include "settings/IniFile.h"
#include "settings/ProgramFiles.h"
#include "settings/SettingsKeys.h"
#include "workspace/core/TaskPreparation.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

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
    std::optional<int> Jobs; // none: automatic
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
        } else if (argument == "--jobs" || argument == "-j") {
            const std::string& text = value();
            if (text != "auto") {
                size_t used = 0;
                int jobs = 0;
                try {
                    jobs = std::stoi(text, &used);
                } catch (const std::exception&) {
                    used = 0;
                }
                if (used != text.size() || jobs < 1)
                    throw std::invalid_argument("--jobs needs a number of files at once (1 or "
                                                "more) or auto: " +
                                                text);
                parsed.Jobs = jobs;
            }
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

// A source's facts as the task builder takes them, or none with why.
std::optional<TSourceFacts> ProbeHere(TMediaProbe& probe, const std::string& file,
                                      std::string& probedName, std::string& refusal) {
    if (!probe.LoadFile(file)) {
        refusal = probe.LastErrMsg();
        return std::nullopt;
    }
    const TSourceFacts facts = SourceFactsOf(
        probe.VideoStreamCount(),
        probe.VideoStreamCount() > 0 ? probe.GetVideoStreamInfo(-1) : TVideoStreamInfo{});
    probedName = probe.FileName();
    probe.CloseFile();
    return facts;
}

std::optional<TSourceFacts> ProbeInWorker(TIsolatedConverter& isolated, const std::string& file,
                                          std::string& probedName, std::string& refusal) {
    TWorkerProbe found;
    if (!isolated.ProbeSource(file, found)) {
        refusal = isolated.LastError();
        return std::nullopt;
    }
    if (!found.Opened) {
        refusal = found.Error;
        return std::nullopt;
    }
    TVideoStreamInfo video;
    video.Width = found.Width;
    video.Height = found.Height;
    video.Rotation = found.Rotation;
    video.BitRate = found.BitRate;
    video.DisplayAspectRatio = found.DisplayAspectRatio;
    probedName = found.FileName;
    return SourceFactsOf(found.VideoStreamCount, video);
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
    // Each file converts in a process of its own when there is a worker program: a library
    // that crashes on a damaged file fails that file, and the others still convert. The
    // worker also reads the files for us, so this process loads no media libraries at all:
    // loading them a second time, beside the worker, would cost the conversion a core. It
    // starts first of all, so that its start-up overlaps everything else here.
    const std::string worker = FindWorkerProgram();
    std::optional<TIsolatedConverter> isolated;
    if (!worker.empty()) {
        isolated.emplace(worker);
        isolated->SetCheckSources(false);
        isolated->StartWorkerAhead();
    }

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
    if (!isolated && !LoadConverterLibraries())
        return kExitSetUp;
    const TProgressStyle style = ProgressStyleFor(stderr, quiet);
    // Kit messages start on a line of their own when a redrawn progress line is open.
    PrintKitMessages(TLogLevel::llError, style == TProgressStyle::psRedrawn ? "\n" : "");

    const bool keepDates =
        TIniFile(global.SettingsFile()).ReadBool(kSettingsSection, kKeepFileDatesKey, false);
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
    std::map<int, TTaskDescription> descriptions;              // task index -> what it does
    std::vector<std::pair<std::string, std::string>> failures; // file, reason
    std::vector<std::string> converted;
    // Two files of one name (from two folders) must not write one output.
    TTakenNames taken;
    for (const std::string& file : parsed.Files) {
        try {
            std::string probedName;
            std::string refusal;
            const std::optional<TSourceFacts> facts =
                isolated ? ProbeInWorker(*isolated, file, probedName, refusal)
                         : ProbeHere(converter.Probe(), file, probedName, refusal);
            if (!facts) {
                failures.emplace_back(file, refusal);
                continue;
            }
            TlvFilesRecord job;
            job.SourceFile = file;
            job.TrimStart = parsed.Start;
            job.TrimLength = parsed.Length;
            TPreparedTask prepared =
                PrepareConversionTask(job, probedName, *facts, context, warn, parsed.FormatCode,
                                      parsed.OutputDirectory, &taken);
            // In the worker path the worker opens the source and the output when the task
            // runs, and refuses them in the component's words; nothing is opened here.
            const int index = isolated ? isolated->AddTask(file, &prepared.Input)
                                       : converter.AddTask(file, &prepared.Input);
            if (index < 0) {
                failures.emplace_back(file,
                                      isolated ? isolated->LastError() : converter.LastError());
                continue;
            }
            if (isolated) {
                if (!isolated->SetOutputFile(index, prepared.Output.FileName, &prepared.Output))
                    throw std::logic_error(isolated->LastError()); // a new task takes one
            } else if (!converter.SetOutputFile(index, prepared.Output.FileName,
                                                &prepared.Output)) {
                failures.emplace_back(file, converter.LastError());
                converter.RemoveTask(index);
                continue;
            }
            fileOfTask[index] = file;
            descriptions[index] = TTaskDescription{prepared.Input, prepared.Output, {}};
        } catch (const std::exception& error) {
            failures.emplace_back(file, error.what());
        }
    }

    // OnProgress runs on this thread through the dispatcher, OnTerminate on a thread of the
    // component's own: the progress output and the run's records share one lock.
    const int jobs = parsed.Jobs.value_or(
        AutomaticJobs(std::thread::hardware_concurrency(), static_cast<int>(fileOfTask.size())));
    std::map<int, std::string> names;
    for (const auto& [index, file] : fileOfTask)
        names[index] = std::filesystem::path(file).filename().string();
    std::mutex mutex;
    std::vector<TTerminateInfo> ends;         // guarded by mutex
    TBatchProgress batch(names, jobs);        // guarded by mutex
    TProgressPrinter progress(stderr, style); // guarded by mutex
    std::atomic<bool> done{fileOfTask.empty()};
    const bool redrawn = style == TProgressStyle::psRedrawn;
    converter.OnProgress = [&](TObject*, PProgressInfo info) {
        std::lock_guard lock(mutex);
        batch.Report(*info);
        progress.Update(batch.Text(std::chrono::steady_clock::now(), redrawn));
    };
    converter.OnTerminate = [&](TObject*, const TTerminateInfo& info) {
        std::lock_guard lock(mutex);
        if (info.TaskIndex >= 0) {
            const bool finished = info.Finished && !info.Failed;
            const TBatchProgress::TEnded ended =
                batch.End(info.TaskIndex, finished, std::chrono::steady_clock::now());
            const std::string name = names.count(info.TaskIndex) ? names[info.TaskIndex] : "";
            if (redrawn)
                progress.Finish(ProgressText(name, ended.Last, ended.Seconds, true));
            else
                progress.Finish(name + ": " +
                                (info.Failed     ? std::string("failed")
                                 : info.Finished ? "done in " + Clock(ended.Seconds)
                                                 : std::string("stopped")));
            ends.push_back(info);
        } else {
            done = true;
            // Wake the main thread at once instead of at its next poll.
            TDispatcher::Instance().Queue([] {});
        }
    };

    g_interrupted = 0;
    // Asked to end (Ctrl+C, kill, a closed terminal): the running output is still finished.
    for (const int number : {SIGINT, SIGTERM, SIGHUP})
        std::signal(number, OnInterrupt);
    bool stopped = false;
    if (!fileOfTask.empty()) {
        std::lock_guard lock(mutex);
        batch.Start(std::chrono::steady_clock::now());
    }
    // Whether a stop was asked for; says so the first time it is seen.
    const auto tellStopping = [&] {
        if (!g_interrupted)
            return false;
        std::lock_guard lock(mutex);
        progress.BreakLine();
        std::fprintf(stderr, "Stopping...\n");
        return true;
    };
    // Runs until the end-of-run report; a stop asked for meanwhile still lets the running
    // files finish their outputs.
    const auto runToTheEnd = [&](auto& runner) {
        runner.StartTask(jobs);
        while (!done) {
            if (!stopped && tellStopping()) {
                stopped = true;
                runner.Stop(true);
            }
            TDispatcher::Instance().WaitAndCheckSynchronize(std::chrono::milliseconds(50));
        }
    };
    if (isolated && !fileOfTask.empty()) {
        // The runner's events go where the in-process component's would.
        isolated->OnProgress = [&](TObject*, PProgressInfo info) {
            converter.OnProgress(nullptr, info);
        };
        isolated->OnTerminate = [&](TObject*, const TTerminateInfo& info) {
            converter.OnTerminate(nullptr, info);
        };
        runToTheEnd(*isolated);
    } else if (!fileOfTask.empty()) {
        runToTheEnd(converter);
    }
    for (const int number : {SIGINT, SIGTERM, SIGHUP})
        std::signal(number, SIG_DFL);

    {
        std::lock_guard lock(mutex);
        progress.BreakLine();
        // Files at once end in any order: the results keep the order the files were given.
        std::sort(ends.begin(), ends.end(), [](const TTerminateInfo& a, const TTerminateInfo& b) {
            return a.TaskIndex < b.TaskIndex;
        });
        for (const TTerminateInfo& end : ends) {
            const std::string file =
                fileOfTask.count(end.TaskIndex) ? fileOfTask[end.TaskIndex] : "";
            if (end.Failed)
                failures.emplace_back(file, end.ErrorMessage);
            else if (!end.Finished)
                failures.emplace_back(file, "stopped");
            else
                converted.push_back(descriptions[end.TaskIndex].Output.FileName);
            // The program's preference "Keep the original file dates" holds here as well.
            std::string dateError;
            if (keepDates && end.Finished && !end.Failed &&
                !platform::CopyModificationTime(file, converted.back(), dateError) && !quiet)
                std::fprintf(stderr, "Warning: %s\n", dateError.c_str());
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
