#include "workspace/core/ProfileChoices.h"
#include "media/TextFormat.h"
#include "settings/SettingsKeys.h"

#include "settings/IniFile.h"
#include "settings/NumberText.h"
#include "workspace/core/FormatTable.h"

#include <algorithm>
#include <cctype>
#include <utility>

namespace tovik {

namespace {
template <size_t N>
std::optional<std::string> LookUp(const std::pair<const char*, const char*> (&table)[N],
                                  const std::string& key) {
    for (const auto& [shown, stored] : table)
        if (key == shown)
            return std::string(stored);
    return std::nullopt;
}

const std::pair<const char*, const char*> kVideoEncoders[] = {
    {"mpeg-4", "mpeg4"}, {"xvid", "libxvid"}, {"h264", "libx264"}};
const char* const kVideoEncodersAsShown[] = {
    "3gp",     "3g2",       "mov",       "wmv1",       "wmv2",       "wmv3",  "flv",   "swf",
    "msmpeg4", "msmpeg4v1", "msmpeg4v2", "mpeg1video", "mpeg2video", "h263",  "h263p", "rawvideo",
    "rv10",    "rv20",      "dvvideo",   "huffyuv",    "ljpeg",      "mjpeg", "svq1",  "zlib"};

const std::pair<const char*, const char*> kAudioEncoders[] = {
    {"mp3", "libmp3lame"},
    {"ogg", "vorbis"},
    {"mp2", "mp2"},
    {"aac", "libfaac"},
    {"ac-3", "ac3"},
    {"flac", "libflac"},
    {"amr_nb", "libopencore_amrnb"},
    {"pcm_s16", "pcm_s16le"},
    {"pcm_u16", "pcm_u16le"},
    {"pcm_alaw", "pcm_alaw"},
    {"pcm_mulaw ", "pcm_mulaw"}, // the trailing blank is part of the shown name
    {"adpcm_ms", "adpcm_ms"},
    {"adpcm_ima_wav", "adpcm_ima_wav"},
    {"wma1", "wmav1"},
    {"wma2", "wmav2"}};

const std::pair<const char*, const char*> kChannels[] = {
    {"as source", "as source"}, {"mono 1 channel", "1"}, {"stereo 2 channels", "2"}};

const std::pair<int, const char*> kVolumes[] = {
    {25, "64"},   {50, "128"},  {75, "192"},  {100, "256"}, {125, "320"}, {150, "384"},
    {175, "448"}, {200, "512"}, {250, "640"}, {300, "768"}, {350, "896"}, {400, "1024"}};

// The item at index, or nothing when the list has no such item.
std::optional<std::string> ItemAt(const std::vector<std::string>& items, int index) {
    if (index < 0 || static_cast<size_t>(index) >= items.size())
        return std::nullopt;
    return items[static_cast<size_t>(index)];
}

int EvenTowardZero(int value) {
    const int even = value / 2 * 2;
    return even == 0 ? 2 : even;
}

} // namespace

void CopyH264Extras(TIniFile& settings, const TIniFile& profile, const std::string& section) {
    const std::string bitExact = profile.ReadString(section, kBitExactKey, "");
    if (LowerText(bitExact) == "true")
        settings.WriteString(section, kBitExactKey, bitExact);
    for (const char* key : kH264ExtraKeys) {
        const std::string value = profile.ReadString(section, key, "");
        if (auto number = ParseInteger(value); number && *number > 0)
            settings.WriteString(section, key, value);
    }
    const std::string coder = profile.ReadString(section, kCoderKey, "");
    if (auto number = ParseInteger(coder); number && *number >= 0)
        settings.WriteString(section, kCoderKey, coder);
}

std::vector<std::string> SplitChoiceList(const std::string& text, bool emptyDisables) {
    std::vector<std::string> items;
    if (text == "null" || (emptyDisables && text.empty()))
        return items;
    size_t start = 0;
    for (;;) {
        const size_t comma = text.find(',', start);
        items.push_back(text.substr(start, comma - start));
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    return items;
}

std::optional<std::string> VideoEncoderValue(const std::string& shown) {
    const std::string lower = LowerText(shown);
    if (auto stored = LookUp(kVideoEncoders, lower))
        return stored;
    for (const char* name : kVideoEncodersAsShown)
        if (lower == name)
            return lower;
    return std::nullopt;
}

std::optional<std::string> AudioEncoderValue(const std::string& shown) {
    return LookUp(kAudioEncoders, LowerText(shown));
}

std::optional<std::string> ChannelValue(const std::string& shown) {
    return LookUp(kChannels, shown);
}

std::optional<std::string> VolumeValue(const std::string& shown) {
    if (shown.empty())
        return std::nullopt;
    const auto percent = ParseInteger(std::string_view(shown).substr(0, shown.size() - 1));
    if (!percent)
        return std::nullopt;
    for (const auto& [value, stored] : kVolumes)
        if (*percent == value)
            return std::string(stored);
    return std::nullopt;
}

bool ApplyChoice(TIniFile& settings, const TIniFile& profile, int formatCode,
                 TChoiceControl control, int index) {
    const std::string section = FormatSection(formatCode);
    const auto item = [&](const char* key, bool emptyDisables) {
        return ItemAt(SplitChoiceList(profile.ReadString(section, key, "null"), emptyDisables),
                      index);
    };
    // Writes the index key and, when the item maps to one, the value key.
    const auto store = [&](const char* indexKey, const char* valueKey,
                           const std::optional<std::string>& value) {
        settings.WriteInteger(section, indexKey, index);
        if (value)
            settings.WriteString(section, valueKey, *value);
        return value.has_value();
    };
    switch (control) {
    case TChoiceControl::ccVideoEncoder: {
        const auto shown = item(kVideoEncoderListKey, true);
        if (!shown)
            return false;
        const auto stored = VideoEncoderValue(*shown);
        // The H.264 extras come with the encoder shown as H264.
        if (stored == "libx264")
            CopyH264Extras(settings, profile, section);
        return store(kVideoEncoderIndexKey, kVideoEncoderKey, stored);
    }
    case TChoiceControl::ccVideoSize: {
        // "as source" as chosen; otherwise width "x" height, both made even.
        const auto size = item(kVideoSizeListKey, false);
        if (!size)
            return false;
        if (LowerText(*size).find("as source") != std::string::npos)
            return store(kVideoSizeIndexKey, kVideoSizeKey, *size);
        const size_t x = size->rfind('x');
        if (x == std::string::npos)
            return false;
        const auto width = ParseInteger(size->substr(0, x));
        const auto height = ParseInteger(size->substr(x + 1));
        if (!width || !height)
            return false;
        return store(kVideoSizeIndexKey, kVideoSizeKey,
                     std::to_string(EvenTowardZero(*width)) + "x" +
                         std::to_string(EvenTowardZero(*height)));
    }
    case TChoiceControl::ccFrameRate:
        if (const auto rate = item(kFrameRateListKey, false))
            return store(kFrameRateIndexKey, kFrameRateKey, *rate);
        return false;
    case TChoiceControl::ccVideoBitRate:
        if (const auto rate = item(kVideoBitRateListKey, true);
            rate && (*rate == "as source" || ParseInteger(*rate)))
            return store(kVideoBitRateIndexKey, kVideoBitRateKey, *rate);
        return false;
    case TChoiceControl::ccAudioEncoder:
        if (const auto shown = item(kAudioEncoderListKey, true))
            return store(kAudioEncoderIndexKey, kAudioEncoderKey, AudioEncoderValue(*shown));
        return false;
    case TChoiceControl::ccAudioBitRate:
        if (const auto rate = item(kAudioBitRateListKey, true);
            rate && (*rate == "as source" || ParseNumber(*rate)))
            return store(kAudioBitRateIndexKey, kAudioBitRateKey, *rate);
        return false;
    case TChoiceControl::ccSampleRate:
        if (const auto rate = item(kSampleRateListKey, true);
            rate && (*rate == "as source" || ParseInteger(*rate)))
            return store(kSampleRateIndexKey, kSampleRateKey, *rate);
        return false;
    case TChoiceControl::ccChannel:
        if (const auto shown = item(kChannelListKey, true))
            return store(kChannelIndexKey, kChannelKey, ChannelValue(*shown));
        return false;
    case TChoiceControl::ccVolume:
        if (const auto shown = item(kVolumeListKey, true))
            return store(kVolumeIndexKey, kVolumeParameterKey, VolumeValue(*shown));
        return false;
    }
    return false;
}

int ChoiceCount(const TIniFile& profile, int formatCode, TChoiceControl control) {
    return static_cast<int>(ChoiceItems(profile, formatCode, control).size());
}

const char* ChoiceListKey(TChoiceControl control) {
    switch (control) {
    case TChoiceControl::ccVideoEncoder:
        return kVideoEncoderListKey;
    case TChoiceControl::ccVideoSize:
        return kVideoSizeListKey;
    case TChoiceControl::ccFrameRate:
        return kFrameRateListKey;
    case TChoiceControl::ccVideoBitRate:
        return kVideoBitRateListKey;
    case TChoiceControl::ccAudioEncoder:
        return kAudioEncoderListKey;
    case TChoiceControl::ccAudioBitRate:
        return kAudioBitRateListKey;
    case TChoiceControl::ccSampleRate:
        return kSampleRateListKey;
    case TChoiceControl::ccChannel:
        return kChannelListKey;
    case TChoiceControl::ccVolume:
        return kVolumeListKey;
    }
    return "";
}

const char* ChoiceIndexKey(TChoiceControl control) {
    switch (control) {
    case TChoiceControl::ccVideoEncoder:
        return kVideoEncoderIndexKey;
    case TChoiceControl::ccVideoSize:
        return kVideoSizeIndexKey;
    case TChoiceControl::ccFrameRate:
        return kFrameRateIndexKey;
    case TChoiceControl::ccVideoBitRate:
        return kVideoBitRateIndexKey;
    case TChoiceControl::ccAudioEncoder:
        return kAudioEncoderIndexKey;
    case TChoiceControl::ccAudioBitRate:
        return kAudioBitRateIndexKey;
    case TChoiceControl::ccSampleRate:
        return kSampleRateIndexKey;
    case TChoiceControl::ccChannel:
        return kChannelIndexKey;
    case TChoiceControl::ccVolume:
        return kVolumeIndexKey;
    }
    return "";
}

bool EmptyListDisables(TChoiceControl control) {
    return control != TChoiceControl::ccVideoSize && control != TChoiceControl::ccFrameRate;
}

std::vector<std::string> ChoiceItems(const TIniFile& profile, int formatCode,
                                     TChoiceControl control) {
    return SplitChoiceList(
        profile.ReadString(FormatSection(formatCode), ChoiceListKey(control), "null"),
        EmptyListDisables(control));
}

void ApplyProfileDefaults(TIniFile& settings, const TIniFile& profile, int formatCode) {
    const std::string section = FormatSection(formatCode);
    // The "Default" button's order: the video encoder first, the zoom after the video rates.
    for (TChoiceControl control : kChoiceControls) {
        ApplyChoice(settings, profile, formatCode, control,
                    profile.ReadInteger(section, ChoiceIndexKey(control), 0));
        if (control == TChoiceControl::ccVideoBitRate &&
            ChoiceCount(profile, formatCode, TChoiceControl::ccVideoEncoder) > 0)
            settings.WriteString(section, kZoomKey, "full");
    }
}

} // namespace tovik
