#include "workspace/core/OutputName.h"
#include "settings/SettingsKeys.h"

#include "platform/PathText.h"
#include "settings/GlobalObject.h"
#include "settings/IniFile.h"

#include <filesystem>

namespace tovik {

namespace {
namespace fs = std::filesystem;

bool EnsureDirectory(const std::string& directory) {
    if (directory.empty())
        return false;
    std::error_code error;
    if (fs::is_directory(directory, error))
        return true;
    fs::create_directories(directory, error);
    return !error && fs::is_directory(directory, error);
}

// Any entry counts as taken, a directory or a dangling link too: a conversion must never
// write over it or fail on it.
bool NameTaken(const std::string& path) {
    std::error_code error;
    return fs::exists(fs::symlink_status(path, error));
}
} // namespace

std::string SourceBaseName(const std::string& sourceFile) {
    std::string name = platform::FileNamePart(sourceFile);
    const size_t dot = name.find_last_of('.');
    if (dot != std::string::npos)
        name.erase(dot);
    return name;
}

std::string OutputFileName(TIniFile& settings, const std::string& sourceFile,
                           const std::string& suffix, const TWarningCallback& warn,
                           TTakenNames* taken) {
    const std::string fallback = DefaultVideoDirectory();
    std::string directory = settings.ReadString(kSettingsSection, kOutputDirKey, fallback);
    if (!EnsureDirectory(directory)) {
        if (warn)
            warn("Cannot create output directory:" + directory +
                 ".It will create default directory " + fallback + "!");
        EnsureDirectory(fallback);
        settings.WriteString(kSettingsSection, kOutputDirKey, fallback);
        directory = fallback;
    }
    return UniqueOutputName(directory, sourceFile, suffix, taken);
}

std::string UniqueOutputName(std::string directory, const std::string& sourceFile,
                             const std::string& suffix, TTakenNames* taken) {
    if (directory.empty() || directory.back() != '/')
        directory += '/';
    const std::string base = directory + SourceBaseName(sourceFile);
    std::string candidate = base + "_(new)" + suffix;
    for (long n = 1; NameTaken(candidate) || (taken && taken->count(candidate) > 0); ++n) {
        candidate = base;
        candidate.append("_(new_").append(std::to_string(n)).append(")").append(suffix);
    }
    if (taken)
        taken->insert(candidate);
    return candidate;
}

} // namespace tovik
