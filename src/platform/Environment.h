#pragma once
// Process environment and user facts, the Linux stand-ins for the Windows services the
// program was designed around.

#include <optional>
#include <string>

namespace tovik::platform {

std::optional<std::string> GetEnv(const std::string& name);
void SetEnv(const std::string& name, const std::string& value);

// USERPROFILE when set, else HOME, else the password database entry.
std::string UserProfileDir();
// $XDG_CONFIG_HOME, default ~/.config: where both settings files live.
std::string ConfigDir();
// $XDG_STATE_HOME, default ~/.local/state: where logs worth keeping between sessions go.
std::string StateDir();
// The logged-on user's name.
std::string UserName();
// The running program's file; empty when it cannot be told.
std::string ExecutablePath();
// Folder of the running program (no trailing separator).
std::string ExecutableDir();

} // namespace tovik::platform
