// tovik-cli: command-line access to the media kit.
#include "cli/Commands.h"

#include "media/MediaKit.h"

#include <cstdio>
#include <cstring>
#include <exception>

namespace {

void PrintUsage() {
    std::fprintf(stderr, "usage: tovik-cli <command> [arguments]\n"
                         "commands:\n"
                         "  libs [FOLDER]   load the media libraries and list them\n");
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        PrintUsage();
        return argc < 2 ? 2 : 0;
    }
    tovik::TMediaKitScope mediaKit;
    const std::string command = argv[1];
    const tovik::cli::TArguments arguments(argv + 2, argv + argc);
    try {
        if (command == "libs")
            return tovik::cli::RunLibsCommand(arguments);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "tovik-cli: %s\n", error.what());
        return 1;
    }
    std::fprintf(stderr, "tovik-cli: unknown command '%s'\n", command.c_str());
    PrintUsage();
    return 2;
}
