#pragma once
// Test helper: the ffmpeg command-line arguments equivalent to one pair of option records,
// so that the option builder's results can be converted before the engine's transcode stages
// exist. Encoder names of the older generation are renamed and presets spelt out as current
// encoder options by the engine's own tables. Needs the engine's libraries loaded.

#include "engine/OptionRecords.h"

#include <string>
#include <vector>

namespace tovik::test {

std::vector<std::string> ToolArguments(const TInputOptions& input, const TOutputOptions& output,
                                       int sourceWidth, int sourceHeight);
// The arguments joined for a shell, each quoted.
std::string ShellLine(const std::vector<std::string>& arguments);

} // namespace tovik::test
