// "tovik-cli info FILE...": probes each file and prints its description.
#include "cli/Commands.h"

#include "media/LibrarySets.h"
#include "media/MediaProbe.h"

#include <cstdio>

namespace tovik::cli {

namespace {

// The description uses CR LF line ends; a terminal wants plain line feeds.
std::string WithLineFeeds(const std::string& text) {
    std::string result;
    result.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n'))
            result += text[i];
    return result;
}

} // namespace

int RunInfoCommand(const TArguments& arguments) {
    if (arguments.empty()) {
        std::fprintf(stderr, "usage: tovik-cli info FILE...\n");
        return 2;
    }
    std::string error;
    if (!LoadEngineLibraries(DefaultLibraryFolder(), error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    int failures = 0;
    bool first = true;
    for (const std::string& fileName : arguments) {
        TMediaProbe probe;
        if (!probe.LoadFile(fileName)) {
            std::fprintf(stderr, "%s\n", probe.LastErrMsg().c_str());
            ++failures;
            continue;
        }
        if (!first)
            std::printf("\n");
        first = false;
        std::fputs(WithLineFeeds(probe.FileInfoText()).c_str(), stdout);
        std::fflush(stdout);
    }
    return failures == 0 ? 0 : 1;
}

} // namespace tovik::cli
