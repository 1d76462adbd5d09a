#pragma once
// Where the help page on adding a watermark is: help/watermark.html beside the program (the
// build tree), else share/tovik/help/watermark.html beside its bin folder (an installation).

#include <string>

namespace tovik {

inline constexpr const char* kWaterMarkHelpName = "watermark.html";

// The page for a program in programDir; empty when neither place has it.
std::string WaterMarkHelpFileOf(const std::string& programDir);
// The page of the running program.
std::string WaterMarkHelpFile();

} // namespace tovik
