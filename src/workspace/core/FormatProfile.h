#pragma once
// Checks of the current output format against the format profile: a stored format code the
// profile has no section for is replaced by the profile's first format, and the values that
// become part of output names or decide whether the output has a picture are checked before
// a conversion uses them.

#include <optional>
#include <string>

namespace tovik {

class TIniFile;

// Whether the profile has a section for the format code (it names a container or an
// extension).
bool HasProfileSection(const TIniFile& profile, int code);
// The code itself when the profile has its section; otherwise the first format of the
// format table that the profile has; otherwise the code unchanged (no profile at all).
int UsableFormatCode(const TIniFile& profile, int code);
// Reads [settings] "FormatCode" (default 1); when the profile has no section for it but has
// another format, stores that format's code and row text as the chosen format and returns
// true.
bool AdoptUsableFormat(TIniFile& settings, const TIniFile& profile);

// The profile's "FileExt" of the format (default "mp4"), or nothing with the reason in error
// when it is empty or could leave the output folder (a path separator, "..", a NUL).
std::optional<std::string> OutputExtension(const TIniFile& profile, int code,
                                           std::string* error = nullptr);

// Why the format cannot be converted to with the choices stored for it, or nothing when it
// can: a broken extension, or a format whose profile lists video encoders while no usable
// video encoder is stored (the output would silently lose its picture).
std::optional<std::string> FormatProblem(const TIniFile& settings, const TIniFile& profile,
                                         int code);

} // namespace tovik
