// "tovik-cli libs": loads the engine and player library sets and shows what was bound.
#include "cli/Commands.h"

#include "media/LibraryBindings.h"
#include "media/LibrarySets.h"

#include <cstdio>

namespace tovik::cli {

int RunLibsCommand(const TArguments& arguments, const TCliOptions&) {
    const std::string folder = arguments.empty() ? DefaultLibraryFolder() : arguments[0];
    std::string error;
    if (!LoadEngineLibraries(folder, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return kExitSetUp;
    }
    std::printf("%s\n", ff::av_util_version_text ? ff::av_util_version_text : "FFmpeg version ?");
    for (int index = 0; index < kLibraryCount; ++index) {
        auto id = static_cast<TLibraryId>(index);
        std::printf("  %-22s %s\n", TFFmpegLoader::LibraryFileName(id).c_str(),
                    FFmpegLoader().LibLoaded(id) ? "loaded" : "-");
    }
    if (!LoadPlayerLibraries(folder, error)) {
        std::fprintf(stderr, "player: %s\n", error.c_str());
        return kExitSetUp;
    }
    std::printf("player libraries loaded\n");
    return 0;
}

} // namespace tovik::cli
