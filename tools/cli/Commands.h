#pragma once
#include <string>
#include <vector>

namespace tovik::cli {

using TArguments = std::vector<std::string>;

// What every command may be told before its name.
struct TCliOptions {
    bool Quiet = false; // no progress and no notes; errors and results still show
};

using TCommandFunction = int (*)(const TArguments& arguments, const TCliOptions& options);

// Exit statuses of tovik-cli (the help text and the manual page list them).
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;        // a file could not be read or converted
inline constexpr int kExitUsage = 2;         // the command line is wrong
inline constexpr int kExitSetUp = 3;         // media libraries or the format profile are missing
inline constexpr int kExitInterrupted = 130; // stopped by Ctrl+C; finished outputs are kept

struct TCommand {
    const char* name;
    const char* usage; // one line for the program's help text
    const char* help;  // the command's own help text
    TCommandFunction run;
};

// Each command returns the process exit status.
int RunLibsCommand(const TArguments& arguments, const TCliOptions& options);
int RunInfoCommand(const TArguments& arguments, const TCliOptions& options);
int RunFormatsCommand(const TArguments& arguments, const TCliOptions& options);
int RunEngineCommand(const TArguments& arguments, const TCliOptions& options);
int RunConvertCommand(const TArguments& arguments, const TCliOptions& options);

// Every command of tovik-cli, in the order the help lists them.
inline const TCommand kCommands[] = {
    {"info", "info [--json] FILE...   describe media files (container, programs, streams)",
     "usage: tovik-cli info [--json] FILE...\n"
     "Describes each file: container, programs and streams.\n"
     "  --json   one JSON document on standard output: {\"files\": [...]}, each file with\n"
     "           \"filename\", \"format\", \"programs\" and \"streams\" as ffprobe names them\n"
     "Files that cannot be read are named on standard error; the others are still described.\n"
     "Exit status: 0 all described, 1 some file could not be read, 2 usage, 3 libraries.\n",
     &RunInfoCommand},
    {"formats", "formats [--json] [PROFILE]  list the output formats: code, extension, name",
     "usage: tovik-cli formats [--json] [PROFILE]\n"
     "Lists the output formats with their codes (for convert --format), file extensions and\n"
     "names. The extensions come from PROFILE, by default the format profile in the settings\n"
     "folder ($XDG_CONFIG_HOME, else ~/.config), else the one installed with the program.\n"
     "  --json   one JSON document: {\"formats\": [{\"code\", \"extension\", \"name\", "
     "\"group\"}]}\n"
     "Exit status: 0 listed, 2 usage, 3 no format profile found (extensions show the default).\n",
     &RunFormatsCommand},
    {"convert", "convert [OPTIONS] FILE...  convert files as the program's Start does",
     "usage: tovik-cli convert [OPTIONS] FILE...\n"
     "Converts each file with the program's settings and format profile, several at once\n"
     "when the machine has the cores for it.\n"
     "  --format CODE   output format (see tovik-cli formats); default: the program's choice\n"
     "  --outdir DIR    output folder (made when missing); default: the program's folder\n"
     "  --start S       start at S seconds\n"
     "  --length S      convert S seconds\n"
     "  -j, --jobs N    convert N files at once (default auto: about three of every four\n"
     "                  cores, one task keeps more than one core busy)\n"
     "  -q, --quiet     no progress and no notes\n"
     "Standard output gets the name of every file written, one a line, in the order the\n"
     "files were given; standard error the\n"
     "progress (redrawn on a terminal, else a line every few seconds and at the end of each\n"
     "file), the summary and one line for every file that failed.\n"
     "Exit status: 0 all converted, 1 some file failed, 2 usage, 3 libraries or profile\n"
     "missing, 130 stopped by Ctrl+C.\n",
     &RunConvertCommand},
    {"engine", "engine [OPTIONS] -i IN [OPTIONS] OUT  convert with the engine's options",
     "usage: tovik-cli engine [INPUT OPTIONS] -i IN [OUTPUT OPTIONS] OUT\n"
     "One conversion with the engine's option vocabulary (that of the ffmpeg tool), e.g.\n"
     "  tovik-cli engine -i clip.avi -vcodec mpeg4 -s 320x240 -acodec aac out.mov\n"
     "Progress goes to standard error: redrawn on a terminal, else a line every few seconds.\n"
     "Exit status: 0 converted, 1 failed, 3 libraries missing, 130 stopped by Ctrl+C.\n",
     &RunEngineCommand},
    {"libs", "libs [FOLDER]          load the media libraries and list them",
     "usage: tovik-cli libs [FOLDER]\n"
     "Loads the media libraries (from FOLDER, by default LibAV beside the program or else\n"
     "<prefix>/lib/tovik/LibAV, then the system) and lists which were loaded.\n"
     "Exit status: 0 all loaded, 3 some library could not be loaded.\n",
     &RunLibsCommand},
};

} // namespace tovik::cli
