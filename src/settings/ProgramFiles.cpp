#include "settings/ProgramFiles.h"

#include "platform/Environment.h"
#include "platform/FileSystem.h"
#include "settings/GlobalObject.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <unistd.h>

namespace tovik {

namespace fs = std::filesystem;

std::string InstalledDataDirOf(const std::string& programDir) {
    if (programDir.empty())
        return {};
    const fs::path folder = fs::path(programDir).parent_path() / "share" / "tovik";
    if (!platform::FileExistsNotDirectory((folder / kProfileFileName).string()))
        return {};
    std::error_code error;
    const fs::path tidy = fs::weakly_canonical(folder, error);
    return (error ? folder : tidy).string();
}

std::string InstalledDataDir() {
    return InstalledDataDirOf(platform::ExecutableDir());
}

bool ProvideProfile(const std::string& profileFile, const std::string& dataDir,
                    std::string& error) {
    if (platform::FileExistsNotDirectory(profileFile))
        return true;
    if (dataDir.empty()) {
        error = "the format profile " + profileFile + " is missing";
        return false;
    }
    const fs::path source = fs::path(dataDir) / kProfileFileName;
    const fs::path target(profileFile);
    std::error_code failure;
    fs::create_directories(target.parent_path(), failure);
    std::string temporary =
        (target.parent_path() / ("." + target.filename().string() + ".XXXXXX")).string();
    const int descriptor = ::mkstemp(temporary.data());
    if (descriptor < 0) {
        error = "cannot write the format profile into " + target.parent_path().string();
        return false;
    }
    ::close(descriptor);
    fs::copy_file(source, temporary, fs::copy_options::overwrite_existing, failure);
    if (!failure)
        fs::permissions(temporary, fs::perms(0644), failure);
    // link() fails when the target appeared meanwhile: another start's copy or the user's
    // own file stays as it is.
    if (!failure && ::link(temporary.c_str(), profileFile.c_str()) != 0 &&
        !platform::FileExistsNotDirectory(profileFile))
        failure = std::error_code(errno, std::generic_category());
    std::error_code ignored;
    fs::remove(temporary, ignored);
    if (failure) {
        error = "cannot copy the format profile " + source.string() + " to " + profileFile + ": " +
                failure.message();
        return false;
    }
    return true;
}

} // namespace tovik
