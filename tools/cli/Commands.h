#pragma once
#include <string>
#include <vector>

namespace tovik::cli {

using TArguments = std::vector<std::string>;
using TCommandFunction = int (*)(const TArguments& arguments);

struct TCommand {
    const char* name;
    const char* usage; // one line for the help text
    TCommandFunction run;
};

// Each command returns the process exit code.
int RunLibsCommand(const TArguments& arguments);
int RunInfoCommand(const TArguments& arguments);
int RunFormatsCommand(const TArguments& arguments);
int RunEngineCommand(const TArguments& arguments);
int RunConvertCommand(const TArguments& arguments);

// Every command of tovik-cli, in the order the help lists them.
inline const TCommand kCommands[] = {
    {"libs", "libs [FOLDER]          load the media libraries and list them", &RunLibsCommand},
    {"info", "info FILE...           describe media files (container, programs, streams)",
     &RunInfoCommand},
    {"formats", "formats [PROFILE]      list the output formats: code, extension, name",
     &RunFormatsCommand},
    {"engine", "engine [OPTIONS] -i IN... [OPTIONS] OUT  convert with the engine's options",
     &RunEngineCommand},
    {"convert",
     "convert [--format CODE] [--outdir DIR] [--start S] [--length S] FILE...  convert as Start "
     "does",
     &RunConvertCommand},
};

} // namespace tovik::cli
