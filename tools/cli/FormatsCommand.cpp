// "tovik-cli formats [PROFILE]": the output formats with their codes, file extensions (from the
// format-profile file, by default the one in the settings folder) and row texts.
#include "cli/Commands.h"
#include "settings/SettingsKeys.h"

#include "settings/GlobalObject.h"
#include "settings/IniFile.h"
#include "workspace/core/FormatTable.h"

#include <cstdio>
#include <filesystem>

namespace tovik::cli {

int RunFormatsCommand(const TArguments& arguments) {
    if (arguments.size() > 1) {
        std::fprintf(stderr, "usage: tovik-cli formats [PROFILE]\n");
        return 2;
    }
    TGlobalObject global;
    global.SetUpFileLocations();
    const std::string profilePath = arguments.empty() ? global.ProfileFile() : arguments[0];
    std::error_code error;
    const bool profileFound = std::filesystem::is_regular_file(profilePath, error);
    if (!profileFound)
        std::fprintf(stderr,
                     "tovik-cli: format-profile file not found: %s (extensions show the "
                     "default)\n",
                     profilePath.c_str());
    const TIniFile profile(profilePath);
    int group = -1;
    for (const TFormatRow& row : FormatRows()) {
        if (row.Group != group) {
            group = row.Group;
            std::printf("%s\n", FormatGroupText(group).c_str());
        }
        const std::string extension =
            profile.ReadString(FormatSection(row.Code), kFileExtKey, "mp4");
        std::printf("  %3d  %-4s  %s\n", row.Code, extension.c_str(), row.Text);
    }
    return profileFound ? 0 : 1;
}

} // namespace tovik::cli
