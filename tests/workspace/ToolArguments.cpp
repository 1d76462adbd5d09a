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
// The settings a target gives, as the engine applies them before the record's own fields
// (which then override them, the frame size included). "-target" of the ffmpeg tool cannot
// stand in: its frame size wins over any scaling in the chain.
struct TTargetSettings {
    std::vector<std::string> arguments;
    std::string frameSize;
};

TTargetSettings TargetSettings(int target, int norm) {
    const bool ntsc = norm == 2; // automatic falls back to PAL, as the engine's default does
    const std::string rate = ntsc ? "30000/1001" : "25";
    const std::string gop = ntsc ? "18" : "15";
    switch (target) {
    case 1:
        return {{"-f",          "vcd",     "-c:v",     "mpeg1video", "-c:a",        "mp2",
                 "-r",          rate,      "-g",       gop,          "-b:v",        "1150000",
                 "-maxrate",    "1150000", "-minrate", "1150000",    "-bufsize",    "327680",
                 "-b:a",        "224000",  "-ar",      "44100",      "-ac",         "2",
                 "-packetsize", "2324",    "-muxrate", "1411200",    "-muxpreload", "0.44"},
                ntsc ? "352x240" : "352x288"};
    case 2:
        return {{"-f",          "svcd",         "-c:v",     "mpeg2video", "-c:a",     "mp2",
                 "-r",          rate,           "-g",       gop,          "-b:v",     "2040000",
                 "-maxrate",    "2516000",      "-minrate", "0",          "-bufsize", "1835008",
                 "-flags",      "+scan_offset", "-b:a",     "224000",     "-ar",      "44100",
                 "-packetsize", "2324"},
                ntsc ? "480x480" : "480x576"};
    case 3:
        return {{"-f",          "dvd",     "-c:v",     "mpeg2video", "-c:a",     "ac3",
                 "-r",          rate,      "-g",       gop,          "-b:v",     "6000000",
                 "-maxrate",    "9000000", "-minrate", "0",          "-bufsize", "1835008",
                 "-packetsize", "2048",    "-muxrate", "10080000",   "-b:a",     "448000",
                 "-ar",         "48000"},
                ntsc ? "720x480" : "720x576"};
    default:
        return {};
    }
}
} // namespace

std::vector<std::string> ToolArguments(const TInputOptions& input, const TOutputOptions& output,
                                       int sourceWidth, int sourceHeight) {
    std::vector<std::string> args = {"-i", input.FileName};
    const auto add = [&](std::initializer_list<std::string> items) {
        args.insert(args.end(), items);
    };
    const TTargetSettings target = TargetSettings(output.Target, output.TargetNorm);
    args.insert(args.end(), target.arguments.begin(), target.arguments.end());
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
        const std::string& size = output.FrameSize.empty() ? target.frameSize : output.FrameSize;
        if (const size_t x = size.find('x'); x != std::string::npos)
            append("scale=" + size.substr(0, x) + ":" + size.substr(x + 1));
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
