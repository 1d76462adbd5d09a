#include "media/FFmpegLoader.h"

#include "media/LibraryBindings.h"
#include "media/MediaLogger.h"
#include "media/SdlBindings.h"
#include "media/UnicodeProtocol.h"
#include "platform/DynamicLibrary.h"
#include "platform/Environment.h"
#include "platform/FileSystem.h"

#include <cassert>
#include <cstring>
#include <span>
#include <stdexcept>
#include <utility>

namespace tovik {

namespace {

struct TExportEntry {
    const char* name;
    void* slot; // address of the entry-point variable
    bool isData;
};

#define TOVIK_EXPORT(name) TExportEntry{#name, static_cast<void*>(&ff::name), false},
const TExportEntry kAVCodecExports[] = {
#include "media/exports/AVCodec.inc"
};
const TExportEntry kAVDeviceExports[] = {
#include "media/exports/AVDevice.inc"
};
const TExportEntry kAVFilterExports[] = {
#include "media/exports/AVFilter.inc"
};
const TExportEntry kAVFormatExports[] = {
#include "media/exports/AVFormat.inc"
};
const TExportEntry kAVUtilExports[] = {
#include "media/exports/AVUtil.inc"
    TExportEntry{"av_util_ffversion", static_cast<void*>(&ff::av_util_version_text), true},
};
const TExportEntry kSwScaleExports[] = {
#include "media/exports/SwScale.inc"
};
const TExportEntry kSwResampleExports[] = {
#include "media/exports/SwResample.inc"
};
#undef TOVIK_EXPORT
#define TOVIK_EXPORT(name) TExportEntry{#name, static_cast<void*>(&crt::name), false},
const TExportEntry kCRuntimeExports[] = {
#include "media/exports/CRuntime.inc"
};
#undef TOVIK_EXPORT
#define TOVIK_EXPORT(name) TExportEntry{#name, static_cast<void*>(&sdl::name), false},
const TExportEntry kSdlExports[] = {
#include "media/exports/SDL.inc"
};
#undef TOVIK_EXPORT

struct TLibraryItem {
    TLibraryId id;
    const char* baseName;
    int version; // soname version; negative: none
    std::span<const TExportEntry> exports;
};

// In identifier order.
const TLibraryItem kLibraries[kLibraryCount] = {
    {TLibraryId::libAVCodec, "avcodec", LIBAVCODEC_VERSION_MAJOR, kAVCodecExports},
    {TLibraryId::libAVDevice, "avdevice", LIBAVDEVICE_VERSION_MAJOR, kAVDeviceExports},
    {TLibraryId::libAVFilter, "avfilter", LIBAVFILTER_VERSION_MAJOR, kAVFilterExports},
    {TLibraryId::libAVFormat, "avformat", LIBAVFORMAT_VERSION_MAJOR, kAVFormatExports},
    {TLibraryId::libAVUtil, "avutil", LIBAVUTIL_VERSION_MAJOR, kAVUtilExports},
    {TLibraryId::libSwScale, "swscale", LIBSWSCALE_VERSION_MAJOR, kSwScaleExports},
    {TLibraryId::libSwResample, "swresample", LIBSWRESAMPLE_VERSION_MAJOR, kSwResampleExports},
    {TLibraryId::libMSVCRT, "c", 6, kCRuntimeExports},
    {TLibraryId::libSDL, "SDL2-2.0", 0, kSdlExports},
};

// A library's dependencies load before it, so that libraries found in the program's own
// folder are the ones their dependants bind to.
const TLibraryId kLoadOrder[kLibraryCount] = {
    TLibraryId::libMSVCRT,   TLibraryId::libAVUtil,   TLibraryId::libSwResample,
    TLibraryId::libSwScale,  TLibraryId::libAVCodec,  TLibraryId::libAVFormat,
    TLibraryId::libAVFilter, TLibraryId::libAVDevice, TLibraryId::libSDL,
};

const TLibraryItem& Item(TLibraryId id) {
    return kLibraries[static_cast<int>(id)];
}

std::string Format3(const char* pattern, const std::string& a, const std::string& b,
                    const std::string& c) {
    std::string text = pattern;
    for (const std::string* value : {&a, &b, &c}) {
        auto at = text.find("%s");
        if (at == std::string::npos)
            break;
        text.replace(at, 2, *value);
    }
    return text;
}

void StoreSlot(const TExportEntry& entry, void* address) {
    // Entry points are function pointers; POSIX guarantees they round-trip through void*.
    static_assert(sizeof(void*) == sizeof(void (*)()));
    std::memcpy(entry.slot, &address, sizeof(address));
}

void Unbind(TLibraryId id) {
    for (const TExportEntry& entry : Item(id).exports)
        StoreSlot(entry, nullptr);
}

// Binds every export of the library; throws on the first missing one.
void Bind(TLibraryId id, void* module) {
    const std::string fileName = TFFmpegLoader::LibraryFileName(id);
    for (const TExportEntry& entry : Item(id).exports) {
        std::string error;
        void* address = platform::ModuleSymbol(module, entry.name, error);
        if (!address) {
            Unbind(id);
            throw std::runtime_error(Format3(entry.isData ? "Load variable %s@%s error: %s"
                                                          : "Load function %s@%s error: %s",
                                             entry.name, fileName, error));
        }
        StoreSlot(entry, address);
    }
    if (id == TLibraryId::libAVDevice)
        ff::avdevice_register_all();
}

} // namespace

TFFmpegLoader& TFFmpegLoader::Instance() {
    static TFFmpegLoader loader;
    return loader;
}

void TFFmpegLoader::SetLibraryPath(const std::string& folder) {
    std::lock_guard lock(mutex_);
    libraryPath_ = folder;
}

std::string TFFmpegLoader::LibraryPath() const {
    std::lock_guard lock(mutex_);
    return libraryPath_;
}

std::string TFFmpegLoader::LastError() const {
    std::lock_guard lock(mutex_);
    return lastError_;
}

void TFFmpegLoader::SetLastError(const std::string& text) {
    std::lock_guard lock(mutex_);
    lastError_ = text;
}

std::string TFFmpegLoader::LibraryFileName(TLibraryId id) {
    const TLibraryItem& item = Item(id);
    std::string name = std::string("lib") + item.baseName + ".so";
    if (item.version >= 0)
        name += "." + std::to_string(item.version);
    return name;
}

bool TFFmpegLoader::OpenModule(TLibraryId id) {
    const std::string file = LibraryFileName(id);
    std::string folder = LibraryPath();
    if (!folder.empty() && folder.back() != '/')
        folder += '/';
    std::string error;
    void* handle = nullptr;
    if (!folder.empty() && platform::FileExistsNotDirectory(folder + file))
        handle = platform::OpenModule(folder + file, error);
    else
        handle = platform::OpenModule(file, error);
    if (!handle) {
        SetLastError(Format3("Load library %s error: %s", folder + file, error, ""));
        return false;
    }
    std::lock_guard lock(mutex_);
    status_[static_cast<int>(id)].handle = handle;
    return true;
}

bool TFFmpegLoader::LoadLib(TLibraryId id) {
    std::lock_guard load(loadMutex_);
    return LoadLibUnlocked(id);
}

bool TFFmpegLoader::LoadLibUnlocked(TLibraryId id) {
    const int index = static_cast<int>(id);
    void* handle = nullptr;
    bool bound = false;
    {
        std::lock_guard lock(mutex_);
        handle = status_[index].handle;
        bound = status_[index].bound;
    }
    if (!handle) {
        if (!OpenModule(id))
            return false;
        std::lock_guard lock(mutex_);
        handle = status_[index].handle;
    }
    if (!bound) {
        try {
            Bind(id, handle);
            bound = true;
            std::lock_guard lock(mutex_);
            status_[index].bound = true;
        } catch (const std::exception& error) {
            SetLastError(error.what());
        }
    }
    if (!bound) {
        UnloadLibUnlocked(id);
        return false;
    }
    AfterLoad(id);
    return true;
}

void TFFmpegLoader::AfterLoad(TLibraryId id) {
    if (id == TLibraryId::libAVUtil)
        LoggerInstance().InstallCallback();
    else if (id == TLibraryId::libAVFormat)
        RegisterUnicodeProtocol();
}

bool TFFmpegLoader::LoadLibs(TLibrarySet set) {
    assert(!set.Empty() && "LoadLibs needs a non-empty set");
    std::lock_guard load(loadMutex_);
    for (TLibraryId id : kLoadOrder) {
        if (set.Contains(id) && !LoadLibUnlocked(id)) {
            UnloadLibsUnlocked(set);
            return false;
        }
    }
    return true;
}

bool TFFmpegLoader::LibLoaded(TLibraryId id) const {
    std::lock_guard lock(mutex_);
    const TLibraryStatus& status = status_[static_cast<int>(id)];
    return status.handle && status.bound;
}

bool TFFmpegLoader::LibsLoaded(TLibrarySet set) const {
    assert(!set.Empty() && "LibsLoaded needs a non-empty set");
    for (int index = 0; index < kLibraryCount; ++index) {
        auto id = static_cast<TLibraryId>(index);
        if (set.Contains(id) && !LibLoaded(id))
            return false;
    }
    return true;
}

void TFFmpegLoader::UnloadLib(TLibraryId id) {
    std::lock_guard load(loadMutex_);
    UnloadLibUnlocked(id);
}

void TFFmpegLoader::UnloadLibUnlocked(TLibraryId id) {
    void* handle = nullptr;
    bool bound = false;
    {
        std::lock_guard lock(mutex_);
        TLibraryStatus& status = status_[static_cast<int>(id)];
        handle = std::exchange(status.handle, nullptr);
        bound = std::exchange(status.bound, false);
    }
    if (bound) {
        // The libraries must not call back into a sink that outlives its binding.
        if (id == TLibraryId::libAVUtil)
            LoggerInstance().UninstallCallback();
        Unbind(id);
    }
    platform::CloseModule(handle);
}

void TFFmpegLoader::UnloadLibs(TLibrarySet set) {
    assert(!set.Empty() && "UnloadLibs needs a non-empty set");
    std::lock_guard load(loadMutex_);
    UnloadLibsUnlocked(set);
}

void TFFmpegLoader::UnloadLibsUnlocked(TLibrarySet set) {
    // Dependants first.
    for (int index = kLibraryCount - 1; index >= 0; --index) {
        TLibraryId id = kLoadOrder[index];
        if (set.Contains(id))
            UnloadLibUnlocked(id);
    }
}

std::string LibraryFolderOf(const std::string& programDir) {
    std::string beside = programDir + "/LibAV";
    std::string installed = programDir + "/../lib/tovik/LibAV";
    if (!platform::DirectoryExists(beside) && platform::DirectoryExists(installed))
        return installed;
    return beside;
}

std::string DefaultLibraryFolder() {
    return LibraryFolderOf(platform::ExecutableDir());
}

} // namespace tovik
