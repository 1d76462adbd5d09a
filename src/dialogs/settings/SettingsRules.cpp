#include "dialogs/settings/SettingsRules.h"

#include "media/TextFormat.h"
#include "settings/IniFile.h"
#include "settings/SettingsKeys.h"
#include "workspace/core/FormatTable.h"
#include "workspace/core/ParameterRules.h"

#include <algorithm>

namespace tovik {

namespace {
const std::pair<const char*, const char*> kDialogAudioEncoders[] = {
    {"mp3", "libmp3lame"},
    {"ogg", "vorbis"},
    {"mp2", "mp2"},
    {"aac", "libfaac"},
    {"ac-3", "ac3"},
    {"flac", "flac"},
    {"alac", "alac"},
    {"libamr_nb", "libopencore_amrnb"},
    {"adpcm_swf", "adpcm_swf"},
    {"adpcm_yamaha", "adpcm_yamaha"},
    {"pcm-8bit", "pcm_s8"},
    {"pcm-16bit", "pcm_s16be"},
    {"pcm-24bit", "pcm_s24be"},
    {"pcm-32bit", "pcm_s32be"},
    {"pcm-32bit float", "pcm_f32be"},
    {"pcm-64bit float", "pcm_f64be"},
    {"ccitt a-law(8-bit)", "pcm_alaw"},
    {"ccitt mu-law(8-bit)", "pcm_mulaw"},
    {"ima adpcm(4-bit)", "adpcm_ima_qt"},
    {"gsm", "libgsm"},
    {"pcm_s16", "pcm_s16le"},
    {"pcm_u16", "pcm_u16le"},
    {"pcm_alaw", "pcm_alaw"},
    {"pcm_mulaw ", "pcm_mulaw"}, // the trailing blank is part of the shown name
    {"adpcm_ms", "adpcm_ms"},
    {"adpcm_ima_wav", "adpcm_ima_wav"},
    {"wma1", "wmav1"},
    {"wma2", "wmav2"}};

size_t Position(TChoiceControl control) {
    return static_cast<size_t>(
        std::find(std::begin(kChoiceControls), std::end(kChoiceControls), control) -
        std::begin(kChoiceControls));
}

// The value key and its default of the boxes that fall back to their stored text.
struct TTextFallback {
    TChoiceControl Control;
    const char* Key;
    const char* Default;
};
const TTextFallback kTextFallbacks[] = {
    {TChoiceControl::ccVideoSize, kVideoSizeKey, "320x240"},
    {TChoiceControl::ccVideoBitRate, kVideoBitRateKey, "800"},
    {TChoiceControl::ccFrameRate, kFrameRateKey, "25"},
    {TChoiceControl::ccSampleRate, kSampleRateKey, "44100"},
    {TChoiceControl::ccAudioBitRate, kAudioBitRateKey, "96"},
};

// The value key of the boxes whose text is stored as it stands.
const char* TextValueKey(TChoiceControl control) {
    switch (control) {
    case TChoiceControl::ccVideoSize:
        return kVideoSizeKey;
    case TChoiceControl::ccVideoBitRate:
        return kVideoBitRateKey;
    case TChoiceControl::ccFrameRate:
        return kFrameRateKey;
    case TChoiceControl::ccSampleRate:
        return kSampleRateKey;
    case TChoiceControl::ccAudioBitRate:
        return kAudioBitRateKey;
    default:
        return nullptr;
    }
}
} // namespace

std::optional<std::string> DialogAudioEncoderValue(const std::string& shown) {
    const std::string lower = LowerText(shown);
    for (const auto& [display, stored] : kDialogAudioEncoders)
        if (lower == display)
            return std::string(stored);
    return std::nullopt;
}

void TChoiceBox::Select(int index) {
    if (index < 0 || static_cast<size_t>(index) >= Items.size()) {
        Index = -1;
        Text.clear();
        return;
    }
    Index = index;
    Text = Items[static_cast<size_t>(index)];
}

TChoiceBox& TSettingsChoices::Box(TChoiceControl control) {
    return Boxes[Position(control)];
}

const TChoiceBox& TSettingsChoices::Box(TChoiceControl control) const {
    return Boxes[Position(control)];
}

bool IsEditableChoice(TChoiceControl control) {
    return control == TChoiceControl::ccVideoSize || control == TChoiceControl::ccVideoBitRate ||
           control == TChoiceControl::ccSampleRate || control == TChoiceControl::ccAudioBitRate;
}

void LoadChoices(const TIniFile& settings, const TIniFile& profile, int formatCode,
                 bool textFallback, TSettingsChoices& choices) {
    const std::string section = FormatSection(formatCode);
    choices.FormatCode = formatCode;
    for (TChoiceControl control : kChoiceControls) {
        TChoiceBox& box = choices.Box(control);
        box.Items = ChoiceItems(profile, formatCode, control);
        // A choice never stored yet shows the profile's default, which is what a run writes
        // and uses for it; the first item instead would put, say, 25% volume into the next OK.
        const char* key = ChoiceIndexKey(control);
        box.Select(settings.ValueExists(section, key) ? settings.ReadInteger(section, key, 0)
                                                      : profile.ReadInteger(section, key, 0));
    }
    if (textFallback) {
        for (const TTextFallback& fallback : kTextFallbacks) {
            TChoiceBox& box = choices.Box(fallback.Control);
            if (box.Enabled() &&
                settings.ReadInteger(section, ChoiceIndexKey(fallback.Control), 0) < 0)
                box.Text = settings.ReadString(section, fallback.Key, fallback.Default);
        }
    }
    choices.ZoomIndex = ZoomIndex(settings.ReadString(section, kZoomKey, "full"));
}

void ApplyDefaultChoices(const TIniFile& profile, TSettingsChoices& choices) {
    const std::string section = FormatSection(choices.FormatCode);
    for (TChoiceControl control : kChoiceControls)
        choices.Box(control).Select(profile.ReadInteger(section, ChoiceIndexKey(control), 0));
    choices.ZoomIndex = 0;
}

int StoredIndex(const TChoiceBox& box) {
    if (box.Index >= 0 && static_cast<size_t>(box.Index) < box.Items.size() &&
        box.Items[static_cast<size_t>(box.Index)] == box.Text)
        return box.Index;
    const auto found = std::find(box.Items.begin(), box.Items.end(), box.Text);
    return found == box.Items.end() ? -1 : static_cast<int>(found - box.Items.begin());
}

void WriteChoices(TIniFile& settings, const TIniFile& profile, const TSettingsChoices& choices,
                  const std::vector<std::pair<int, bool>>& groupStates) {
    const std::string section = FormatSection(choices.FormatCode);
    settings.WriteString(section, kDescriptionKey, choices.FormatName);
    // A disabled box has nothing to store: the format's other keys stay as they were.
    for (TChoiceControl control : kChoiceControls) {
        const TChoiceBox& box = choices.Box(control);
        if (!box.Enabled())
            continue;
        const int index = StoredIndex(box);
        settings.WriteInteger(section, ChoiceIndexKey(control), index);
        if (const char* key = TextValueKey(control); key && !box.Text.empty())
            settings.WriteString(section, key, box.Text);
    }
    if (const auto zoom = ZoomValue(choices.ZoomIndex))
        settings.WriteString(section, kZoomKey, *zoom);

    const TChoiceBox& videoEncoder = choices.Box(TChoiceControl::ccVideoEncoder);
    if (videoEncoder.Enabled())
        if (const auto stored = VideoEncoderValue(videoEncoder.Text)) {
            settings.WriteString(section, kVideoEncoderKey, *stored);
            if (*stored == "libx264")
                CopyH264Extras(settings, profile, section);
        }
    const TChoiceBox& channel = choices.Box(TChoiceControl::ccChannel);
    if (channel.Enabled())
        if (const auto stored = ChannelValue(channel.Text))
            settings.WriteString(section, kChannelKey, *stored);
    const TChoiceBox& volume = choices.Box(TChoiceControl::ccVolume);
    if (volume.Enabled())
        if (const auto stored = VolumeValue(volume.Text))
            settings.WriteString(section, kVolumeParameterKey, *stored);
    const TChoiceBox& audioEncoder = choices.Box(TChoiceControl::ccAudioEncoder);
    if (audioEncoder.Enabled())
        if (const auto stored = DialogAudioEncoderValue(audioEncoder.Text)) {
            settings.WriteString(section, kAudioEncoderKey, *stored);
            // GSM takes one rate and one channel only.
            if (*stored == "libgsm") {
                settings.WriteString(section, kSampleRateKey, "8000");
                settings.WriteString(section, kChannelKey, "1");
            }
        }

    for (const auto& [group, collapsed] : groupStates)
        settings.WriteBool(kGroupSection, std::to_string(group), collapsed);
    settings.WriteString(kSettingsSection, kFormatNameKey, choices.FormatName);
    settings.WriteString(kSettingsSection, kFormatCodeKey, std::to_string(choices.FormatCode));
}

} // namespace tovik
