#pragma once
// The parts of a path as text, '/' separating the folders.

#include <string>

namespace tovik::platform {

// What follows the last '/': the whole path when there is none.
std::string FileNamePart(const std::string& path);
// The name's extension with its dot (".avi"), from the name's last dot; empty without one.
std::string FileExtension(const std::string& path);

} // namespace tovik::platform
