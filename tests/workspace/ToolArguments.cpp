#include "ToolArguments.h"

#include <algorithm>
#include <cctype>
#include <map>

namespace tovik::test {

namespace {
std::string CurrentEncoderName(const std::string& name) {
    static const std::map<std::string, std::string> kRenamed = {
        {"libfaac", "aac"}, {"vorbis", "libvorbis"}, {"libflac", "flac"}};
    const auto found = kRenamed.find(name);
    return found == kRenamed.end() ? name : found->second;
}

// The presets' lines that today's libx264 wrapper still understands under these names.
std::vector<std::string> PresetArguments(const std::string& preset) {
    if (preset == "libx264-mp4" || preset == "libx264-psp")
        return {"-coder",      "1",   "-level",        "30",      "-g",         "250",
                "-keyint_min", "25",  "-sc_threshold", "40",      "-i_qfactor", "0.71",
                "-qcomp",      "0.6", "-qmin",         "10",      "-qmax",      "51",
                "-qdiff",      "4",   "-bf",           "3",       "-refs",      "1",
                "-trellis",    "2",   "-maxrate",      "1500000", "-bufsize",   "4000000",
                "-subq",       "7",   "-me_range",     "16"};
    return {};
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
            add({"-c:v", output.VideoCodec});
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
