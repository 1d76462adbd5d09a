// "tovik-cli engine": one conversion with the option vocabulary of the engine, for example
//   tovik-cli engine -i clip.avi -vcodec libx264 -s 320x240 -acodec aac out.mov
// Options before "-i" apply to that input, options before an output name to that output.
// Ctrl+C stops the conversion and still finishes the output file.
#include "cli/Commands.h"

#include "engine/CommandLine.h"
#include "engine/EngineLibraries.h"
#include "engine/FFmpeg.h"
#include "media/MediaLogger.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <thread>

namespace tovik::cli {

namespace {

volatile std::sig_atomic_t g_interrupted = 0;

void OnInterrupt(int) {
    g_interrupted = 1;
}

} // namespace

int RunEngineCommand(const TArguments& arguments) {
    std::string error;
    if (!LoadEngineLibraries(DefaultLibraryFolder(), error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    LoggerInstance().SetTriggerEventInMainThread(false);
    LoggerInstance().SetOnLog([](TObject*, uint32_t, TLogLevel level, const std::string& line) {
        if (level <= TLogLevel::llWarning)
            std::fprintf(stderr, "%s\n", line.c_str());
    });

    TFFmpeg task;
    task.ResetEngine();
    try {
        ApplyCommandLine(task, arguments);
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "tovik-cli engine: %s\n", failure.what());
        return 1;
    }

    task.SetProgressCallback([](TCustomFFmpeg&, const TProgressInfo& info) {
        std::fprintf(stderr, "\rframe=%5d fps=%3d size=%8lldkB time=%0.2f", info.FrameNumber,
                     info.FPS, static_cast<long long>(info.TotalSize / 1024),
                     static_cast<double>(info.CurrentTime) / 1000000);
    });
    g_interrupted = 0;
    std::signal(SIGINT, OnInterrupt);
    std::atomic<bool> done{false};
    std::thread watcher([&] {
        while (!done) {
            if (g_interrupted) {
                task.BreakConvert();
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    });
    const bool ok = task.RunConvert();
    done = true;
    watcher.join();
    std::signal(SIGINT, SIG_DFL);
    std::fprintf(stderr, "\n");
    if (!ok) {
        std::fprintf(stderr, "tovik-cli engine: %s\n", task.ErrorMessage().c_str());
        return 1;
    }
    return task.Finished() ? 0 : 130;
}

} // namespace tovik::cli
