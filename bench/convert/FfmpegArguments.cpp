// Prints the ffmpeg command-line arguments equivalent to what "tovik-cli convert" does for
// one file and format, so that a benchmark can run both on the same settings.
// Usage: tovik_bench_ffmpeg_args FORMAT_CODE INPUT OUTPUT (settings from $XDG_CONFIG_HOME)
#include "ToolArguments.h"

#include "media/LibrarySets.h"
#include "media/MediaKit.h"
#include "media/MediaProbe.h"
#include "settings/GlobalObject.h"
#include "workspace/core/TaskPreparation.h"

#include <cstdio>
#include <filesystem>
#include <string>

int main(int argc, char* argv[]) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s FORMAT_CODE INPUT OUTPUT\n", argv[0]);
        return 2;
    }
    tovik::TMediaKitScope kit;
    std::string error;
    if (!tovik::LoadEngineLibraries(tovik::DefaultLibraryFolder(), error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    tovik::TGlobalObject global;
    global.SetUpFileLocations();
    tovik::TMediaProbe probe;
    if (!probe.LoadFile(argv[2])) {
        std::fprintf(stderr, "%s\n", probe.LastErrMsg().c_str());
        return 1;
    }
    tovik::TSourceFacts facts;
    facts.VideoStreamCount = probe.VideoStreamCount();
    if (facts.VideoStreamCount > 0) {
        const auto video = probe.GetVideoStreamInfo(-1);
        facts.Width = video.Width;
        facts.Height = video.Height;
        facts.VideoBitRate = video.BitRate > 0 ? video.BitRate : 0;
    }
    tovik::TBuildContext context;
    context.SettingsFile = global.SettingsFile();
    context.ProfileFile = global.ProfileFile();
    context.AskYesNo = [](const std::string&) { return true; };
    tovik::TlvFilesRecord job;
    job.SourceFile = argv[2];
    const std::string folder = std::filesystem::path(argv[3]).parent_path().string();
    auto task = tovik::PrepareConversionTask(job, probe.FileName(), facts, context, {},
                                             std::stoi(argv[1]), folder);
    task.Output.FileName = argv[3];
    std::printf("%s\n",
                tovik::test::ShellLine(
                    tovik::test::ToolArguments(task.Input, task.Output, facts.Width, facts.Height))
                    .c_str());
    return 0;
}
