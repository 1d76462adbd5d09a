// Option stage of the engine: applying built-in presets and preset files.

#include "engine/FFmpeg.h"
#include "engine/OptionsPreset.h"
#include "media/MyUtils.h"
#include "media/TextFormat.h"

#include <algorithm>
#include <cctype>

namespace tovik {

void TCustomFFmpeg::OptPreset(const std::string& name, const std::string& value) {
    ApplyPreset(name, value);
}

void TCustomFFmpeg::ApplyPreset(const std::string& kind, const std::string& name) {
    std::string presetName = name;
    const std::string* builtIn = nullptr;
    if (kind != "fpre") {
        builtIn = TOptionsPreset::Find(name);
        if (!builtIn) {
            // "vpre normal" with the video codec libx264 is "libx264-normal".
            const std::string& codec = kind == "vpre"   ? settings_.VideoCodecName
                                       : kind == "apre" ? settings_.AudioCodecName
                                                        : settings_.SubtitleCodecName;
            if (!codec.empty()) {
                builtIn = TOptionsPreset::Find(codec + "-" + name);
                if (builtIn)
                    presetName = codec + "-" + name;
            }
        }
    }
    std::string text;
    if (builtIn) {
        text = *builtIn;
    } else {
        std::vector<uint8_t> buffer;
        if (!FileExistsNotDirectory(name) || ReadWholeFile(name, buffer) != 0)
            throw FFmpegException(FormatText("Preset \"%s\" not found", name.c_str()));
        text.assign(buffer.begin(), std::find(buffer.begin(), buffer.end(), uint8_t{0}));
    }
    ApplyPresetText(presetName, text);
}

void TCustomFFmpeg::ApplyPresetText(const std::string& presetName, const std::string& text) {
    for (const TPresetLine& line : TOptionsPreset::ParseLines(presetName, text)) {
        const std::string key = LowerText(line.Key);
        if (key == "acodec" || key == "vcodec" || key == "scodec") {
            SetCodecName(key[0] == 'a'   ? AVMEDIA_TYPE_AUDIO
                         : key[0] == 's' ? AVMEDIA_TYPE_SUBTITLE
                                         : AVMEDIA_TYPE_VIDEO,
                         line.Value);
            continue;
        }
        if (!SetGenericOption(line.Key, line.Value))
            throw FFmpegException(FormatText(
                "%s: Invalid option or argument: \"%s\", parsed as \"%s\" = \"%s\"",
                presetName.c_str(), line.Line.c_str(), line.Key.c_str(), line.Value.c_str()));
    }
}

} // namespace tovik
