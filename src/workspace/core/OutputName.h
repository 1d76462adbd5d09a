#pragma once
// The output-name rule: output directory + source base name + "_(new)" or "_(new_N)" +
// suffix, the first such name that does not exist yet.

#include <functional>
#include <set>
#include <string>

namespace tovik {

class TIniFile;

// Shows a warning text to the user (a "Warning" box in the program, stderr in the CLI).
using TWarningCallback = std::function<void(const std::string& message)>;

// Output names that count as taken although no file has them yet: those other rows of the
// list, or other files of one run, are going to write.
using TTakenNames = std::set<std::string>;

// Reads [settings] "OutPutDir" from settings. When that directory does not exist and cannot
// be created, warns, creates the default directory, stores it as "OutPutDir" and uses it.
// A given taken set is passed on to UniqueOutputName.
std::string OutputFileName(TIniFile& settings, const std::string& sourceFile,
                           const std::string& suffix, const TWarningCallback& warn,
                           TTakenNames* taken = nullptr);

// The first name directory + base name + "_(new)" / "_(new_N)" + suffix that neither exists
// nor is in taken; the name found is added to taken.
std::string UniqueOutputName(std::string directory, const std::string& sourceFile,
                             const std::string& suffix, TTakenNames* taken = nullptr);

// The source's file name without folder and extension.
std::string SourceBaseName(const std::string& sourceFile);

} // namespace tovik
