#pragma once
// The application-wide object: where the two INI files live, the texts that name the
// application, and small system services. One instance lives from the main window's creation
// to the end of a granted close; headless programs create their own.

#include <cstdint>
#include <string>
#include <string_view>

namespace tovik {

inline constexpr const char* kSettingsFileName = "tovikavimovconverter.ini";
inline constexpr const char* kProfileFileName = "tovikavimovformat.ini";
inline constexpr const char* kAppName = "Tovik AVI to MOV Converter";
inline constexpr const char* kAppTitle = "Tovik Video Converter";
inline constexpr const char* kWebSiteURL = "https://tovik.example.org/";
inline constexpr const char* kHelpURL = "https://tovik.example.org/help/";
inline constexpr const char* kSupportURL = "https://tovik.example.org/support/";

// Folder identifiers understood by SpecialFolder (the shell's numbers).
inline constexpr int kCsidlPersonal = 5;       // the user's documents: the home folder
inline constexpr int kCsidlAppData = 26;       // application data of the user
inline constexpr int kCsidlCommonAppData = 35; // application data of all users

class TGlobalObject {
public:
    const std::string& HelpURL() const { return helpURL_; }
    const std::string& SettingsFile() const { return settingsFile_; }
    const std::string& ProfileFile() const { return profileFile_; }
    const std::string& AppName() const { return appName_; }
    const std::string& VersionText() const { return versionText_; }
    const std::string& WebSiteURL() const { return webSiteURL_; }

    // The two file paths take only texts longer than 3 characters, the others any non-empty
    // text; anything else leaves the field as it was.
    void SetHelpURL(const std::string& value);
    void SetSettingsFile(const std::string& value);
    void SetProfileFile(const std::string& value);
    void SetAppName(const std::string& value);
    void SetVersionText(const std::string& value);
    void SetWebSiteURL(const std::string& value);

    // Called while the main window is made: puts both INI files directly in the shared
    // application-data folder and sets the application name and the two addresses.
    void SetUpFileLocations();

    // The last min(count, length) characters of text.
    static std::string RightPart(const std::string& text, uint16_t count);
    // " <major>.<minor><build><revision> " from the version compiled into the program.
    static std::string FileVersionText();
    // The same text for a version written "major.minor.build.revision".
    static std::string VersionTextOf(std::string_view version);
    // True when a uniquely named file can be created in directory and removed again.
    static bool CanWriteDir(const std::string& directory);
    static std::string UserName();
    // The folder with a trailing separator; empty for identifiers with no folder here.
    static std::string SpecialFolder(int csidl);

private:
    std::string helpURL_;
    std::string settingsFile_;
    std::string profileFile_;
    std::string appName_;
    std::string versionText_;
    std::string webSiteURL_;
};

// The stand-in for "c:\videoconverter": $HOME/videoconverter.
std::string DefaultVideoDirectory();
// The stand-in for USERPROFILE + "\videoconverter".
std::string UserProfileVideoDirectory();

} // namespace tovik
