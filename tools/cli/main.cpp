// tovik-cli: command-line access to the media kit. Results go to standard output, errors,
// progress and notes to standard error, so scripts can read one and log the other.
#include "cli/Commands.h"

#include "media/MediaKit.h"
#include "platform/PictureAllocator.h"

#include <cstdio>
#include <cstring>
#include <exception>

#ifndef TOVIK_VERSION
#define TOVIK_VERSION "0.0.0"
#endif

namespace {

using tovik::cli::kCommands;

const tovik::cli::TCommand* FindCommand(const std::string& name) {
    for (const auto& command : kCommands)
        if (name == command.name)
            return &command;
    return nullptr;
}

void PrintUsage(std::FILE* stream) {
    std::fprintf(stream, "usage: tovik-cli [-q|--quiet] <command> [arguments]\n"
                         "       tovik-cli help [command] | --help | --version\n"
                         "commands:\n");
    for (const auto& command : kCommands)
        std::fprintf(stream, "  %s\n", command.usage);
    std::fprintf(stream,
                 "\"tovik-cli COMMAND --help\" describes a command.\n"
                 "Exit status: 0 success, 1 some file failed, 2 wrong command line, 3 media\n"
                 "libraries or format profile missing, 130 stopped by Ctrl+C.\n");
}

// "--help" anywhere, or "-h" first, asks for the command's help (the engine's options
// never use either).
bool AsksForHelp(const tovik::cli::TArguments& arguments) {
    for (const std::string& argument : arguments)
        if (argument == "--help")
            return true;
    return !arguments.empty() && arguments[0] == "-h";
}

} // namespace

int main(int argc, char* argv[]) {
    using namespace tovik::cli;
    TCliOptions options;
    int at = 1;
    for (; at < argc && argv[at][0] == '-'; ++at) {
        const std::string option = argv[at];
        if (option == "--help" || option == "-h") {
            PrintUsage(stdout);
            return kExitOk;
        }
        if (option == "--version") {
            std::printf("tovik-cli (Tovik Video Converter) %s\n", TOVIK_VERSION);
            return kExitOk;
        }
        if (option == "-q" || option == "--quiet") {
            options.Quiet = true;
            continue;
        }
        std::fprintf(stderr, "tovik-cli: unknown option '%s'\n", option.c_str());
        PrintUsage(stderr);
        return kExitUsage;
    }
    if (at >= argc) {
        PrintUsage(stderr);
        return kExitUsage;
    }
    const std::string name = argv[at];
    const TArguments arguments(argv + at + 1, argv + argc);
    if (name == "help") {
        if (arguments.empty()) {
            PrintUsage(stdout);
            return kExitOk;
        }
        if (const TCommand* command = FindCommand(arguments[0])) {
            std::fputs(command->help, stdout);
            return kExitOk;
        }
        std::fprintf(stderr, "tovik-cli: unknown command '%s'\n", arguments[0].c_str());
        return kExitUsage;
    }
    const TCommand* command = FindCommand(name);
    if (!command) {
        std::fprintf(stderr, "tovik-cli: unknown command '%s'\n", name.c_str());
        PrintUsage(stderr);
        return kExitUsage;
    }
    if (AsksForHelp(arguments)) {
        std::fputs(command->help, stdout);
        return kExitOk;
    }
    // The engine converts in this process; the other commands leave that to workers.
    if (command->run == &RunEngineCommand)
        tovik::platform::RestartForPictureWork(argv);
    tovik::TMediaKitScope mediaKit;
    try {
        return command->run(arguments, options);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "tovik-cli: %s\n", error.what());
        return kExitFailed;
    }
}
