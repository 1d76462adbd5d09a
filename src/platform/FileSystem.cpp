#include "platform/FileSystem.h"

#include <sys/stat.h>
#include <sys/statfs.h>

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
