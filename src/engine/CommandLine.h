#pragma once
// The engine's options as a command line: "-name value" options, "-i INPUT" inputs, plain
// names as outputs, "-join" to join every input into the next output, "-nullhook" to send
// every picture through a hook that changes nothing. Options apply to the
// next input or output, as the engine's option vocabulary expects; the ffmpeg tool's
// stream-typed names ("-c:v", "-b:a", "-c copy") are taken in that vocabulary.

#include <string>
#include <vector>

namespace tovik {

class TCustomFFmpeg;

// Options that take no value.
bool IsSwitchOption(const std::string& name);

// Applies the arguments to a reset task. Throws FFmpegException with the task's error text
// when an input or output is refused, and naming the option when no one knows it or its
// value is refused.
void ApplyCommandLine(TCustomFFmpeg& task, const std::vector<std::string>& arguments);

} // namespace tovik
