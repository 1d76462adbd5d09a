// "tovik-cli info FILE...": probes each file and prints its description.
#include "cli/Commands.h"
#include "cli/ProbeJson.h"

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

int RunInfoCommand(const TArguments& arguments, const TCliOptions&) {
    bool json = false;
    std::vector<std::string> files;
    bool optionsEnd = false;
    for (const std::string& argument : arguments) {
        if (!optionsEnd && argument == "--json")
            json = true;
        else if (!optionsEnd && argument == "--")
            optionsEnd = true;
        else if (!optionsEnd && argument.size() > 1 && argument[0] == '-') {
            std::fprintf(stderr, "tovik-cli info: unknown option %s\n", argument.c_str());
            return kExitUsage;
        } else
            files.push_back(argument);
    }
    if (files.empty()) {
        std::fprintf(stderr, "usage: tovik-cli info [--json] FILE...\n");
        return kExitUsage;
    }
    std::string error;
    if (!LoadEngineLibraries(DefaultLibraryFolder(), error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return kExitSetUp;
    }
    int failures = 0;
    bool first = true;
    TJson described = TJson::Array();
    for (const std::string& fileName : files) {
        TMediaProbe probe;
        if (!probe.LoadFile(fileName)) {
            std::fprintf(stderr, "%s\n", probe.LastErrMsg().c_str());
            ++failures;
            continue;
        }
        if (json) {
            described.Append(ProbeJson(probe));
            continue;
        }
        if (!first)
            std::printf("\n");
        first = false;
        std::fputs(WithLineFeeds(probe.FileInfoText()).c_str(), stdout);
        std::fflush(stdout);
    }
    // One document for the whole call, even when some files failed, so a reader can rely
    // on standard output parsing.
    if (json) {
        TJson document = TJson::Object();
        document.Set("files", std::move(described));
        std::printf("%s\n", document.Text().c_str());
    }
    return failures == 0 ? kExitOk : kExitFailed;
}

} // namespace tovik::cli
