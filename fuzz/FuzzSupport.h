#pragma once
// What every fuzz target shares: the media libraries loaded once, the kit's log silenced, and
// fuzz input handed to the libraries as a file that lives only in memory.

#include <cstddef>
#include <cstdint>
#include <string>

namespace tovik::fuzz {

// Loads the engine's libraries (once per process) and keeps their log quiet; aborts when they
// cannot be loaded, since no input could then be tested.
void LoadMediaLibraries();

// An anonymous in-memory file holding the given bytes, reachable by name through
// /proc/self/fd: the libraries open it like any other file, and nothing touches the disk.
class TMemoryFile {
public:
    TMemoryFile(const uint8_t* data, size_t size);
    ~TMemoryFile();
    TMemoryFile(const TMemoryFile&) = delete;
    TMemoryFile& operator=(const TMemoryFile&) = delete;

    const std::string& Name() const { return name_; }

private:
    int descriptor_ = -1;
    std::string name_;
};

// A folder of its own under the system's temporary folder, removed with everything in it.
class TScratchFolder {
public:
    TScratchFolder();
    ~TScratchFolder();
    TScratchFolder(const TScratchFolder&) = delete;
    TScratchFolder& operator=(const TScratchFolder&) = delete;

    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

} // namespace tovik::fuzz
