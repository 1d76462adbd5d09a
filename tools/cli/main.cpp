// tovik-cli: command-line access to the media kit.
#include "cli/Commands.h"

#include "media/MediaKit.h"

#include <cstdio>
#include <cstring>
#include <exception>

namespace {

void PrintUsage() {
    std::fprintf(stderr, "usage: tovik-cli <command> [arguments]\ncommands:\n");
    for (const auto& command : tovik::cli::kCommands)
        std::fprintf(stderr, "  %s\n", command.usage);
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        PrintUsage();
        return argc < 2 ? 2 : 0;
    }
    tovik::TMediaKitScope mediaKit;
    const std::string name = argv[1];
    const tovik::cli::TArguments arguments(argv + 2, argv + argc);
    for (const auto& command : tovik::cli::kCommands) {
        if (name != command.name)
            continue;
        try {
            return command.run(arguments);
        } catch (const std::exception& error) {
            std::fprintf(stderr, "tovik-cli: %s\n", error.what());
            return 1;
        }
    }
    std::fprintf(stderr, "tovik-cli: unknown command '%s'\n", name.c_str());
    PrintUsage();
    return 2;
}
