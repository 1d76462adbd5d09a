#include "platform/FileSystem.h"

#include <sys/stat.h>
#include <sys/statfs.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>

namespace tovik::platform {

int64_t FileSizeOf(const std::string& fileName) {
    struct stat info {};
    if (fileName.empty() || ::stat(fileName.c_str(), &info) != 0 || S_ISDIR(info.st_mode))
        return -1;
    return static_cast<int64_t>(info.st_size);
}

bool FileExistsNotDirectory(const std::string& fileName) {
    struct stat info {};
    return !fileName.empty() && ::stat(fileName.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

bool DirectoryExists(const std::string& path) {
    struct stat info {};
    return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string FileSystemTypeOf(const std::string& path) {
    struct statfs info {};
    if (::statfs(path.c_str(), &info) != 0)
        return {};
    switch (static_cast<unsigned long>(info.f_type)) {
    case 0x9660UL:
        return "iso9660";
    case 0x15013346UL:
        return "udf";
    case 0xEF53UL:
        return "ext4";
    case 0x01021994UL:
        return "tmpfs";
    default:
        return "other";
    }
}

} // namespace tovik::platform

namespace tovik::platform {

bool CopyModificationTime(const std::string& source, const std::string& target,
                          std::string& error) {
    struct stat facts {};
    if (::stat(source.c_str(), &facts) != 0) {
        error = "Cannot read the date of \"" + source + "\": " + std::strerror(errno);
        return false;
    }
    // The access time is left alone; only the modification time is the file's date.
    const timespec times[2] = {{0, UTIME_OMIT}, facts.st_mtim};
    if (::utimensat(AT_FDCWD, target.c_str(), times, 0) != 0) {
        error = "Cannot set the date of \"" + target + "\": " + std::strerror(errno);
        return false;
    }
    return true;
}

} // namespace tovik::platform
