#include "settings/GlobalObject.h"

#include "platform/Environment.h"

#include <algorithm>
#include <cstdlib>
#include <string_view>
#include <unistd.h>

#ifndef TOVIK_VERSION
#define TOVIK_VERSION "0.0.0.0"
#endif

namespace tovik {

namespace {
std::string WithSeparator(std::string folder) {
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    return folder;
}
} // namespace

void TGlobalObject::SetHelpURL(const std::string& value) {
    if (!value.empty())
        helpURL_ = value;
}
void TGlobalObject::SetSettingsFile(const std::string& value) {
    if (value.size() > 3)
        settingsFile_ = value;
}
void TGlobalObject::SetProfileFile(const std::string& value) {
    if (value.size() > 3)
        profileFile_ = value;
}
void TGlobalObject::SetAppName(const std::string& value) {
    if (!value.empty())
        appName_ = value;
}
void TGlobalObject::SetVersionText(const std::string& value) {
    if (!value.empty())
        versionText_ = value;
}
void TGlobalObject::SetWebSiteURL(const std::string& value) {
    if (!value.empty())
        webSiteURL_ = value;
}

void TGlobalObject::SetUpFileLocations() {
    const std::string folder = SpecialFolder(kCsidlCommonAppData);
    SetSettingsFile(folder + kSettingsFileName);
    SetProfileFile(folder + kProfileFileName);
    SetAppName(kAppName);
    SetWebSiteURL(kWebSiteURL);
    SetHelpURL(kHelpURL);
}

std::string TGlobalObject::RightPart(const std::string& text, uint16_t count) {
    const size_t take = std::min<size_t>(count, text.size());
    return text.substr(text.size() - take);
}

std::string TGlobalObject::FileVersionText() {
    return VersionTextOf(TOVIK_VERSION);
}

std::string TGlobalObject::VersionTextOf(std::string_view version) {
    // The version resource's four numbers; missing ones count as 0.
    std::string numbers[4] = {"0", "0", "0", "0"};
    for (int index = 0; index < 4 && !version.empty(); ++index) {
        const size_t dot = version.find('.');
        numbers[index] = std::string(version.substr(0, dot));
        version = dot == std::string_view::npos ? std::string_view() : version.substr(dot + 1);
    }
    return " " + numbers[0] + "." + numbers[1] + numbers[2] + numbers[3] + " ";
}

bool TGlobalObject::CanWriteDir(const std::string& directory) {
    if (directory.empty())
        return false;
    std::string pattern = WithSeparator(directory) + "DAXXXXXX";
    const int descriptor = ::mkstemp(pattern.data());
    if (descriptor < 0)
        return false;
    ::close(descriptor);
    return ::unlink(pattern.c_str()) == 0;
}

std::string TGlobalObject::UserName() {
    return platform::UserName();
}

std::string TGlobalObject::SpecialFolder(int csidl) {
    switch (csidl) {
    case kCsidlCommonAppData:
    case kCsidlAppData:
        return WithSeparator(platform::ConfigDir());
    case kCsidlPersonal:
        return WithSeparator(platform::UserProfileDir());
    default:
        return {};
    }
}

std::string DefaultVideoDirectory() {
    std::string home = platform::GetEnv("HOME").value_or("");
    if (home.empty())
        home = platform::UserProfileDir();
    return WithSeparator(home) + "videoconverter";
}

std::string UserProfileVideoDirectory() {
    return WithSeparator(platform::UserProfileDir()) + "videoconverter";
}

} // namespace tovik
