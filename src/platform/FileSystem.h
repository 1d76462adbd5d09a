#pragma once
// File facts through the operating system (names are UTF-8 on Linux).

#include <cstdint>
#include <string>

namespace tovik::platform {

// Size of an existing file that is not a directory; -1 otherwise.
int64_t FileSizeOf(const std::string& fileName);
bool FileExistsNotDirectory(const std::string& fileName);
bool DirectoryExists(const std::string& path);
// The file system type of the mount holding path ("iso9660", "udf", "ext4", ...); empty when
// unknown.
std::string FileSystemTypeOf(const std::string& path);
// Gives target the modification time of source (to the nanosecond); false with the reason.
bool CopyModificationTime(const std::string& source, const std::string& target, std::string& error);

} // namespace tovik::platform
