#include "FuzzSupport.h"

#include "media/LibrarySets.h"
#include "media/MediaLogger.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sys/mman.h>
#include <unistd.h>

namespace tovik::fuzz {

void LoadMediaLibraries() {
    static const bool loaded = [] {
        std::string error;
        if (!LoadEngineLibraries("", error)) {
            std::fprintf(stderr, "fuzz: the media libraries cannot be loaded: %s\n", error.c_str());
            std::abort();
        }
        LoggerInstance().SetTriggerEventInMainThread(false);
        LoggerInstance().SetLogLevel(TLogLevel::llQuiet);
        return true;
    }();
    (void)loaded;
}

TMemoryFile::TMemoryFile(const uint8_t* data, size_t size) {
    descriptor_ = ::memfd_create("tovik-fuzz", MFD_CLOEXEC);
    if (descriptor_ < 0)
        std::abort();
    size_t written = 0;
    while (written < size) {
        const ssize_t step = ::write(descriptor_, data + written, size - written);
        if (step <= 0)
            std::abort();
        written += static_cast<size_t>(step);
    }
    name_ = "/proc/self/fd/" + std::to_string(descriptor_);
}

TMemoryFile::~TMemoryFile() {
    ::close(descriptor_);
}

TScratchFolder::TScratchFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tovik-fuzz-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        std::abort();
    path_ = pattern;
}

TScratchFolder::~TScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

} // namespace tovik::fuzz
