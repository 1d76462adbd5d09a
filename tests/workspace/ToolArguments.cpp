#include "ToolArguments.h"

#include "engine/EncoderNames.h"
#include "engine/OptionsPreset.h"
#include "media/LegacyOptions.h"

#include <algorithm>
#include <cctype>

namespace tovik::test {

namespace {
// The preset's lines as today's encoder options, translated by the engine's own table of
// options of that era; lines without an equivalent are left out, as the engine skips them.
std::vector<std::string> PresetArguments(const std::string& preset) {
    std::vector<std::string> args;
    const std::string* text = preset.empty() ? nullptr : TOptionsPreset::Find(preset);
    if (!text)
        return args;
    TLegacyOptionTranslator translator;
    for (const TPresetLine& line : TOptionsPreset::ParseLines(preset, *text))
        for (const TTranslatedOption& option : translator.Translate(line.Key, line.Value))
            if (option.Kind != TTranslatedOption::okSkipped)
                args.insert(args.end(), {"-" + option.Name + ":v", option.Value});
    return args;
}
} // namespace

std::vector<std::string> ToolArguments(const TInputOptions& input, const TOutputOptions& output,
                                       int sourceWidth, int sourceHeight) {
    std::vector<std::string> args = {"-i", input.FileName};
    const auto add = [&](std::initializer_list<std::string> items) {
        args.insert(args.end(), items);
    };
    if (output.Target >= 1 && output.Target <= 3) {
        const char* norms[] = {"", "pal-", "ntsc-"};
        const char* types[] = {"", "vcd", "svcd", "dvd"};
        const int norm = (output.TargetNorm == 1 || output.TargetNorm == 2) ? output.TargetNorm : 0;
        add({"-target", std::string(norms[norm]) + types[output.Target]});
    }
    if (!output.FormatName.empty()) {
        std::string format = output.FormatName;
        for (char& c : format)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        add({"-f", format});
    }
    if (output.DisableVideo) {
        add({"-vn"});
    } else {
        if (!output.VideoCodec.empty())
            add({"-c:v", CurrentEncoderName(output.VideoCodec)});
        for (const std::string& item : PresetArguments(output.VideoPreset))
            args.push_back(item);
        if (output.VideoBitRate > 0)
            add({"-b:v", std::to_string(output.VideoBitRate)});
        if (!output.FrameRate.empty())
            add({"-r", output.FrameRate});
        if (!output.AspectRatio.empty())
            add({"-aspect", output.AspectRatio});
        for (const TOptionLine& line : SplitOptionText(output.OptionText))
            add({"-" + line.Name, line.Value});
        // The engine's order: crop bands, scaling to the frame size, then the chain.
        std::string chain;
        const auto append = [&](const std::string& filter) {
            chain += (chain.empty() ? "" : ",") + filter;
        };
        const int top = std::max(output.CropTop, 0), bottom = std::max(output.CropBottom, 0);
        const int left = std::max(output.CropLeft, 0), right = std::max(output.CropRight, 0);
        if (top || bottom || left || right)
            append("crop=" + std::to_string(sourceWidth - left - right) + ":" +
                   std::to_string(sourceHeight - top - bottom) + ":" + std::to_string(left) + ":" +
                   std::to_string(top));
        if (const size_t x = output.FrameSize.find('x'); x != std::string::npos)
            append("scale=" + output.FrameSize.substr(0, x) + ":" + output.FrameSize.substr(x + 1));
        if (!output.VideoFilters.empty())
            append(output.VideoFilters);
        if (!chain.empty())
            add({"-vf", chain});
    }
    if (output.DisableAudio) {
        add({"-an"});
    } else {
        if (!output.AudioCodec.empty())
            add({"-c:a", CurrentEncoderName(output.AudioCodec)});
        if (output.Volume >= 0)
            add({"-af", "volume=" + std::to_string(output.Volume / 256.0)});
        if (output.AudioChannels > 0)
            add({"-ac", std::to_string(output.AudioChannels)});
        if (output.AudioSampleRate > 0)
            add({"-ar", std::to_string(output.AudioSampleRate)});
        if (output.AudioBitRate > 0)
            add({"-b:a", std::to_string(output.AudioBitRate)});
    }
    if (output.DisableSubtitle)
        add({"-sn"});
    args.push_back(output.FileName);
    return args;
}

std::string ShellLine(const std::vector<std::string>& arguments) {
    std::string line;
    for (const std::string& argument : arguments) {
        std::string quoted = "'";
        for (char c : argument)
            quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
        line += (line.empty() ? "" : " ") + quoted + "'";
    }
    return line;
}

} // namespace tovik::test
