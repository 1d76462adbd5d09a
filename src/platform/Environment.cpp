#include "platform/Environment.h"

#include <climits>
#include <cstdlib>
#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace tovik::platform {

std::optional<std::string> GetEnv(const std::string& name) {
    const char* value = std::getenv(name.c_str());
    if (!value)
        return std::nullopt;
    return std::string(value);
}

void SetEnv(const std::string& name, const std::string& value) {
    ::setenv(name.c_str(), value.c_str(), 1);
}

namespace {
std::string PasswordEntryHome() {
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* result = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &result) == 0 && result &&
        result->pw_dir)
        return result->pw_dir;
    return "/tmp";
}
} // namespace

std::string UserProfileDir() {
    if (auto profile = GetEnv("USERPROFILE"); profile && !profile->empty())
        return *profile;
    if (auto home = GetEnv("HOME"); home && !home->empty())
        return *home;
    return PasswordEntryHome();
}

std::string ConfigDir() {
    if (auto config = GetEnv("XDG_CONFIG_HOME"); config && !config->empty())
        return *config;
    std::string home = GetEnv("HOME").value_or("");
    if (home.empty())
        home = PasswordEntryHome();
    return home + "/.config";
}

std::string StateDir() {
    if (auto state = GetEnv("XDG_STATE_HOME"); state && !state->empty())
        return *state;
    std::string home = GetEnv("HOME").value_or("");
    if (home.empty())
        home = PasswordEntryHome();
    return home + "/.local/state";
}

std::string UserName() {
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* result = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &result) == 0 && result &&
        result->pw_name)
        return result->pw_name;
    return GetEnv("USER").value_or("");
}

std::string ExecutablePath() {
    std::vector<char> path(PATH_MAX + 1, '\0');
    ssize_t length = readlink("/proc/self/exe", path.data(), PATH_MAX);
    if (length <= 0)
        return {};
    return std::string(path.data(), static_cast<size_t>(length));
}

std::string ExecutableDir() {
    const std::string exe = ExecutablePath();
    if (exe.empty())
        return ".";
    auto slash = exe.rfind('/');
    return slash == std::string::npos ? "." : exe.substr(0, slash == 0 ? 1 : slash);
}

} // namespace tovik::platform
