#pragma once
// Small rules of the application shell, kept apart from the windows so they can be tested
// without showing anything.

#include "settings/SettingsKeys.h"

#include <functional>
#include <string>

namespace tovik {

class TIniFile;

// The theme applied at start: [settings] "skinIndex", default 0.
int StartupSkinIndex(const TIniFile& settings);
// The "&Skin" menu's check mark when it opens: the theme the windows show. Before any theme
// was applied they show the designed look, which is theme 0.
int SkinMenuCheckIndex(int currentTheme);

// The main window's caption: the application name followed directly by the version text.
std::string MainCaption(const std::string& appName, const std::string& versionText);

// The file system type of the mount holding a path ("iso9660", "ext4", ...).
using TFileSystemTypeOf = std::function<std::string(const std::string& path)>;
// True when path lies on an optical disc (ISO 9660 or UDF file system): nothing can be
// written there, so it cannot be an output folder.
bool IsOnCdRom(const std::string& path, const TFileSystemTypeOf& fileSystemTypeOf);

} // namespace tovik

namespace tovik {

// What the output directory's "Brows" button does with the folder the dialog returned.
enum class TBrowseAction {
    baKeep,         // nothing chosen, or the folder already shown
    baInvalidPath,  // shorter than 4 characters: "The path ... is not a valid directory."
    baUsePath,      // writable: becomes the output directory
    baNoPermission, // not writable: warn and use the user's own video folder instead
};
TBrowseAction BrowseAction(const std::string& chosen, const std::string& shown,
                           const std::function<bool(const std::string&)>& canWriteDir);

} // namespace tovik
