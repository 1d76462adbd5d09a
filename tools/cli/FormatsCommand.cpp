// "tovik-cli formats [PROFILE]": the output formats with their codes, file extensions (from the
// format-profile file, by default the one in the settings folder) and row texts.
#include "cli/Commands.h"
#include "cli/Json.h"
#include "settings/SettingsKeys.h"

#include "settings/GlobalObject.h"
#include "settings/IniFile.h"
#include "settings/ProgramFiles.h"
#include "workspace/core/FormatTable.h"

#include <cstdio>
#include <filesystem>

namespace tovik::cli {

int RunFormatsCommand(const TArguments& arguments, const TCliOptions&) {
    bool json = false;
    std::vector<std::string> rest;
    for (const std::string& argument : arguments) {
        if (argument == "--json")
            json = true;
        else
            rest.push_back(argument);
    }
    if (rest.size() > 1 || (!rest.empty() && rest[0].size() > 1 && rest[0][0] == '-')) {
        std::fprintf(stderr, "usage: tovik-cli formats [--json] [PROFILE]\n");
        return kExitUsage;
    }
    TGlobalObject global;
    global.SetUpFileLocations();
    std::string profilePath = rest.empty() ? global.ProfileFile() : rest[0];
    std::error_code error;
    bool profileFound = std::filesystem::is_regular_file(profilePath, error);
    // Without a copy in the settings folder the installed profile tells the extensions.
    if (!profileFound && rest.empty()) {
        const std::string installed = InstalledDataDir();
        if (!installed.empty()) {
            profilePath = installed + "/" + kProfileFileName;
            profileFound = std::filesystem::is_regular_file(profilePath, error);
        }
    }
    if (!profileFound)
        std::fprintf(stderr,
                     "tovik-cli: format-profile file not found: %s (extensions show the "
                     "default)\n",
                     (rest.empty() ? global.ProfileFile() : profilePath).c_str());
    const TIniFile profile(profilePath);
    TJson formats = TJson::Array();
    int group = -1;
    for (const TFormatRow& row : FormatRows()) {
        const std::string extension =
            profile.ReadString(FormatSection(row.Code), kFileExtKey, "mp4");
        if (json) {
            TJson entry = TJson::Object();
            entry.Set("code", row.Code);
            entry.Set("extension", extension);
            entry.Set("name", row.Text);
            entry.Set("group", FormatGroupText(row.Group));
            formats.Append(std::move(entry));
            continue;
        }
        if (row.Group != group) {
            group = row.Group;
            std::printf("%s\n", FormatGroupText(group).c_str());
        }
        std::printf("  %3d  %-4s  %s\n", row.Code, extension.c_str(), row.Text);
    }
    if (json) {
        TJson document = TJson::Object();
        document.Set("formats", std::move(formats));
        std::printf("%s\n", document.Text().c_str());
    }
    return profileFound ? kExitOk : kExitSetUp;
}

} // namespace tovik::cli
