#pragma once
// The output-name rule: output directory + source base name + "_(new)" or "_(new_N)" +
// suffix, the first such name that does not exist yet.

#include <functional>
#include <string>

namespace tovik {

class TIniFile;

// Shows a warning text to the user (a "Warning" box in the program, stderr in the CLI).
using TWarningCallback = std::function<void(const std::string& message)>;

// Reads [settings] "OutPutDir" from settings. When that directory does not exist and cannot
// be created, warns, creates the default directory, stores it as "OutPutDir" and uses it.
std::string OutputFileName(TIniFile& settings, const std::string& sourceFile,
                           const std::string& suffix, const TWarningCallback& warn);

// The first free name directory + base name + "_(new)" / "_(new_N)" + suffix.
std::string UniqueOutputName(std::string directory, const std::string& sourceFile,
                             const std::string& suffix);

// The source's file name without folder and extension.
std::string SourceBaseName(const std::string& sourceFile);

} // namespace tovik
