#include "cli/CliSupport.h"

#include "media/FFmpegLoader.h"
#include "media/LibrarySets.h"
#include "media/MediaLogger.h"

#include <cstdio>
#include <string>

namespace tovik::cli {

bool LoadConverterLibraries() {
    std::string error;
    if (LoadEngineCoreLibraries(DefaultLibraryFolder(), error))
        return true;
    std::fprintf(stderr, "%s\n", error.c_str());
    return false;
}

void PrintKitMessages(TLogLevel level, const char* leading) {
    LoggerInstance().SetTriggerEventInMainThread(false);
    const std::string prefix = leading;
    LoggerInstance().SetOnLog(
        [level, prefix](TObject*, uint32_t, TLogLevel lineLevel, const std::string& line) {
            if (lineLevel <= level)
                std::fprintf(stderr, "%s%s\n", prefix.c_str(), line.c_str());
        });
}

} // namespace tovik::cli
