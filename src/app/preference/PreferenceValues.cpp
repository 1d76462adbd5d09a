#include "app/preference/PreferenceValues.h"

#include "settings/GlobalObject.h"
#include "settings/IniFile.h"
#include "settings/SettingsKeys.h"
#include "workspace/run/RunningFiles.h"

namespace tovik {

TPreferenceValues ReadPreferences(TIniFile& settings,
                                  const std::function<bool(const std::string&)>& canWriteDir) {
    TPreferenceValues values;
    values.SnapshotDir =
        settings.ReadString(kSettingsSection, kSnapshotDirKey, DefaultVideoDirectory());
    if (!canWriteDir(values.SnapshotDir)) {
        values.SnapshotDir = UserProfileVideoDirectory();
        settings.WriteString(kSettingsSection, kSnapshotDirKey, values.SnapshotDir);
    }
    values.FullSize = settings.ReadInteger(kSettingsSection, kSnapFullSizeKey, 1) == 1;
    values.SmallSize = settings.ReadInteger(kSettingsSection, kSnapSmallSizeKey, 1) == 1;
    values.Bmp = settings.ReadInteger(kSettingsSection, kSnapBmpKey, 1) == 1;
    values.Jpg = settings.ReadInteger(kSettingsSection, kSnapJpgKey, 1) == 1;
    // A hand-edited file may switch off both of a pair; the snapshot writers then take the
    // first one too.
    if (!values.FullSize && !values.SmallSize)
        values.FullSize = true;
    if (!values.Bmp && !values.Jpg)
        values.Bmp = true;
    values.JpgQuality = settings.ReadInteger(kSettingsSection, kJpgQualityKey, 30);
    const int priority = settings.ReadInteger(kSettingsSection, kPriorityKey, kDefaultPriority);
    values.Priority = priority >= 0 && priority < kPriorityCount ? priority : kDefaultPriority;
    values.Simultaneous = ReadSimultaneous(settings);
    values.KeepFileDates = settings.ReadBool(kSettingsSection, kKeepFileDatesKey, false);
    return values;
}

int ReadSimultaneous(const TIniFile& settings) {
    return SimultaneousOfSetting(settings.ReadInteger(kSettingsSection, kSimultaneousKey, 1));
}

TPreferenceValues DefaultPreferences() {
    TPreferenceValues values;
    values.SnapshotDir = DefaultVideoDirectory();
    values.FullSize = true;
    values.SmallSize = false;
    values.Bmp = true;
    values.Jpg = false;
    values.JpgQuality = 20;
    values.Priority = kDefaultPriority;
    values.Simultaneous = 1;
    values.KeepFileDates = false;
    return values;
}

void WritePreferences(TIniFile& settings, const TPreferenceValues& values) {
    settings.WriteString(kSettingsSection, kSnapshotDirKey,
                         values.SnapshotDir.empty() ? DefaultVideoDirectory() : values.SnapshotDir);
    settings.WriteInteger(kSettingsSection, kSnapBmpKey, values.Bmp ? 1 : 0);
    settings.WriteInteger(kSettingsSection, kSnapJpgKey, values.Jpg ? 1 : 0);
    settings.WriteInteger(kSettingsSection, kSnapFullSizeKey, values.FullSize ? 1 : 0);
    settings.WriteInteger(kSettingsSection, kSnapSmallSizeKey, values.SmallSize ? 1 : 0);
    if (values.JpgQuality >= kJpgQualityMin && values.JpgQuality <= kJpgQualityMax)
        settings.WriteInteger(kSettingsSection, kJpgQualityKey, values.JpgQuality);
    settings.WriteInteger(kSettingsSection, kPriorityKey, values.Priority);
    settings.WriteInteger(kSettingsSection, kSimultaneousKey,
                          SimultaneousOfSetting(values.Simultaneous));
    settings.WriteBool(kSettingsSection, kKeepFileDatesKey, values.KeepFileDates);
}

} // namespace tovik
