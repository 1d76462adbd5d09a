#pragma once
// Switching the computer off after a conversion run: logind's power-off, asked through
// systemctl. Only the program's own services call it; tests put a double in its place.

#include <string>

namespace tovik {

// Asks the system to power off; false with a reason when the request could not be made.
bool PowerOffComputer(std::string& error);

} // namespace tovik
