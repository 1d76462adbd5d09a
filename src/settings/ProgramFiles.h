#pragma once
// The files installed with the program (the format profile among them) and how a user's
// settings folder gets its copy of the profile. An installed program keeps them in
// share/tovik beside its bin folder, wherever the installation was put or copied.

#include <string>

namespace tovik {

// <prefix>/share/tovik for a program in <prefix>/bin when that folder holds the format
// profile; empty otherwise (a program run from its build tree, for example).
std::string InstalledDataDir();
// The same for a program in programDir (tests point it anywhere).
std::string InstalledDataDirOf(const std::string& programDir);

// Makes sure profileFile exists: when it does not, copies the installed profile from
// dataDir there (through a temporary file and a rename, so a reader never sees half a
// file). An existing file, edited or not, is never replaced. False with a reason when
// there is no profile afterwards.
bool ProvideProfile(const std::string& profileFile, const std::string& dataDir, std::string& error);

} // namespace tovik
