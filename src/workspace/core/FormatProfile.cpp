#include "workspace/core/FormatProfile.h"

#include "media/TextFormat.h"
#include "settings/IniFile.h"
#include "settings/SettingsKeys.h"
#include "workspace/core/FormatTable.h"
#include "workspace/core/ProfileChoices.h"

namespace tovik {

namespace {
std::string FormatLabel(int code) {
    const TFormatRow* row = FindFormatRow(code);
    return row ? std::string("\"") + row->Text + "\"" : std::to_string(code);
}
} // namespace

bool HasProfileSection(const TIniFile& profile, int code) {
    const std::string section = FormatSection(code);
    return profile.ValueExists(section, kProfileFormatKey) ||
           profile.ValueExists(section, kFileExtKey);
}

int UsableFormatCode(const TIniFile& profile, int code) {
    if (HasProfileSection(profile, code))
        return code;
    for (const TFormatRow& row : FormatRows())
        if (HasProfileSection(profile, row.Code))
            return row.Code;
    return code;
}

bool AdoptUsableFormat(TIniFile& settings, const TIniFile& profile) {
    const int stored = settings.ReadInteger(kSettingsSection, kFormatCodeKey, 1);
    const int usable = UsableFormatCode(profile, stored);
    const TFormatRow* row = FindFormatRow(usable);
    if (usable == stored || !row)
        return false;
    settings.WriteString(kSettingsSection, kFormatNameKey, row->Text);
    settings.WriteString(kSettingsSection, kFormatCodeKey, std::to_string(usable));
    return true;
}

std::optional<std::string> OutputExtension(const TIniFile& profile, int code, std::string* error) {
    const std::string extension = profile.ReadString(FormatSection(code), kFileExtKey, "mp4");
    const bool broken = extension.empty() || extension.find('/') != std::string::npos ||
                        extension.find('\\') != std::string::npos ||
                        extension.find("..") != std::string::npos ||
                        extension.find('\0') != std::string::npos;
    if (!broken)
        return extension;
    if (error)
        *error = "The format profile gives format " + FormatLabel(code) + " the file extension \"" +
                 extension + "\", which cannot be used in a file name. Nothing was converted.";
    return std::nullopt;
}

std::optional<std::string> FormatProblem(const TIniFile& settings, const TIniFile& profile,
                                         int code) {
    std::string error;
    if (!OutputExtension(profile, code, &error))
        return error;
    const auto encoders = ChoiceItems(profile, code, TChoiceControl::ccVideoEncoder);
    const std::string stored =
        TrimText(settings.ReadString(FormatSection(code), kVideoEncoderKey, ""));
    if (!encoders.empty() && stored.empty())
        return "Format " + FormatLabel(code) +
               " is a video format, but no video encoder this program knows is chosen for it"
               " (the format profile lists \"" +
               profile.ReadString(FormatSection(code), kVideoEncoderListKey, "") +
               "\"). Choose a video encoder in Settings. Nothing was converted.";
    return std::nullopt;
}

} // namespace tovik
