// "tovik-cli engine": one conversion with the option vocabulary of the engine, for example
//   tovik-cli engine -i clip.avi -vcodec libx264 -s 320x240 -acodec aac out.mov
// Options before "-i" apply to that input, options before an output name to that output.
// The conversion runs as one task of the engine component in a worker thread; this thread
// serves its progress events. Ctrl+C stops the conversion and still finishes the output file.
#include "cli/CliSupport.h"
#include "cli/Commands.h"
#include "cli/Progress.h"

#include "engine/CommandLine.h"
#include "engine/MediaConverter.h"
#include "media/FFmpegLoader.h"
#include "media/MediaLogger.h"
#include "platform/Dispatcher.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <mutex>

namespace tovik::cli {

namespace {

volatile std::sig_atomic_t g_interrupted = 0;

void OnInterrupt(int) {
    g_interrupted = 1;
}

// Names the input's option text passes over; given before the first input they still apply
// to the task, after it is created.
bool SkippedByInputText(const std::string& name) {
    return name == "newvideo" || name == "newaudio" || name == "newsubtitle" || name == "apre" ||
           name == "vpre" || name == "spre" || name == "vfilters" || name == "vf" ||
           name == "join" || name == "nullhook";
}

// Adds the task of the first input to the converter and applies every other argument to
// it. Throws with the component's or the task's error text.
void BuildTask(TMediaConverter& converter, const TArguments& arguments) {
    TInputOptions input;
    TArguments rest;
    size_t i = 0;
    for (; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument.size() < 2 || argument[0] != '-')
            throw FFmpegException("At least one input file must be specified");
        const std::string name = argument.substr(1);
        if (name == "i")
            break;
        const bool takesValue = !IsSwitchOption(name) && name != "nullhook";
        if (takesValue && i + 1 >= arguments.size())
            throw FFmpegException("Missing value for option -" + name);
        const std::string value = takesValue ? arguments[i + 1] : "1";
        if (SkippedByInputText(name)) {
            rest.push_back(argument);
            if (takesValue)
                rest.push_back(value);
        } else {
            input.OptionText += name + "=" + value + "\n";
        }
        if (takesValue)
            ++i;
    }
    if (i + 1 >= arguments.size())
        throw FFmpegException(i < arguments.size() ? "Missing input file name after -i"
                                                   : "At least one input file must be specified");
    const int index = converter.AddTask(arguments[i + 1], &input);
    if (index < 0)
        throw FFmpegException(converter.LastError());
    rest.insert(rest.end(), arguments.begin() + static_cast<std::ptrdiff_t>(i + 2),
                arguments.end());
    ApplyCommandLine(converter.Task(index), rest);
}

} // namespace

int RunEngineCommand(const TArguments& arguments, const TCliOptions& options) {
    TMediaConverter converter;
    if (!LoadConverterLibraries())
        return kExitSetUp;
    const TProgressStyle style = ProgressStyleFor(stderr, options.Quiet);
    PrintKitMessages(options.Quiet ? TLogLevel::llError : TLogLevel::llWarning,
                     style == TProgressStyle::psRedrawn ? "\n" : "");
    try {
        BuildTask(converter, arguments);
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "tovik-cli engine: %s\n", failure.what());
        return kExitFailed;
    }

    std::mutex mutex;
    TProgressPrinter progress(stderr, style); // guarded by mutex
    std::string lastProgress;                 // guarded by mutex
    converter.OnProgress = [&](TObject*, PProgressInfo info) {
        char text[128];
        std::snprintf(text, sizeof text, "frame=%5d fps=%3d size=%8lldkB time=%0.2f",
                      info->FrameNumber, info->FPS, static_cast<long long>(info->TotalSize / 1024),
                      static_cast<double>(info->CurrentTime) / 1000000);
        std::lock_guard lock(mutex);
        lastProgress = text;
        progress.Update(text);
    };
    TTerminateInfo result; // guarded by mutex
    std::atomic<bool> done{false};
    converter.OnTerminate = [&](TObject*, const TTerminateInfo& info) {
        if (info.TaskIndex < 0) {
            done = true;
            // Wake the main thread at once instead of at its next poll.
            TDispatcher::Instance().Queue([] {});
            return;
        }
        std::lock_guard lock(mutex);
        result = info;
    };

    g_interrupted = 0;
    // Asked to end (Ctrl+C, kill, a closed terminal): the running output is still finished.
    for (const int number : {SIGINT, SIGTERM, SIGHUP})
        std::signal(number, OnInterrupt);
    converter.StartTask(1);
    while (!done) {
        if (g_interrupted) {
            converter.Stop(true); // the worker still finishes the output
            g_interrupted = 0;
        }
        TDispatcher::Instance().WaitAndCheckSynchronize(std::chrono::milliseconds(50));
    }
    for (const int number : {SIGINT, SIGTERM, SIGHUP})
        std::signal(number, SIG_DFL);
    std::lock_guard lock(mutex);
    if (!lastProgress.empty())
        progress.Finish(lastProgress);
    progress.BreakLine();
    if (result.Failed) {
        std::fprintf(stderr, "tovik-cli engine: %s\n", result.ErrorMessage.c_str());
        return kExitFailed;
    }
    return result.Finished ? kExitOk : kExitInterrupted;
}

} // namespace tovik::cli
