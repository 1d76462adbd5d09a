#include "app/ShellRules.h"

#include "app/theme/Themes.h"
#include "settings/IniFile.h"

namespace tovik {

int StartupSkinIndex(const TIniFile& settings) {
    return settings.ReadInteger(kSettingsSection, kSkinIndexKey, 0);
}

int SkinMenuCheckIndex(int currentTheme) {
    return currentTheme >= 0 && currentTheme < kThemeCount ? currentTheme : 0;
}

std::string MainCaption(const std::string& appName, const std::string& versionText) {
    return appName + versionText;
}

bool IsOnCdRom(const std::string& path, const TFileSystemTypeOf& fileSystemTypeOf) {
    if (path.empty() || !fileSystemTypeOf)
        return false;
    const std::string type = fileSystemTypeOf(path);
    return type == "iso9660" || type == "udf";
}

} // namespace tovik

namespace tovik {

TBrowseAction BrowseAction(const std::string& chosen, const std::string& shown,
                           const std::function<bool(const std::string&)>& canWriteDir) {
    if (chosen.empty() || chosen == shown)
        return TBrowseAction::baKeep;
    if (chosen.size() < 4)
        return TBrowseAction::baInvalidPath;
    return canWriteDir(chosen) ? TBrowseAction::baUsePath : TBrowseAction::baNoPermission;
}

} // namespace tovik
