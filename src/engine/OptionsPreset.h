#pragma once
// The built-in encoder presets ("vpre libx264-normal" ...): 40 named texts of key=value
// lines separated by line feeds, and the parsing of a preset text into its lines.

#include <string>
#include <utility>
#include <vector>

namespace tovik {

struct TPresetLine {
    std::string Key;
    std::string Value;
    std::string Line; // the trimmed line as written
};

class TOptionsPreset {
public:
    static int Count();
    static const std::string& Name(int index);
    static const std::string& Text(int index);
    // The text of the preset of that name, ignoring letter case; null when there is none.
    static const std::string* Find(const std::string& name);
    // Trims the text, turns every line break into a line feed and splits it into lines at
    // the first '='; empty lines are skipped. A line whose key or value is empty raises
    // FFmpegException "%s: Invalid syntax: "%s"" (presetName, line).
    static std::vector<TPresetLine> ParseLines(const std::string& presetName,
                                               const std::string& text);
};

} // namespace tovik
