#pragma once
// The process-wide loader of the media libraries. Components ask for a set of libraries;
// each library is opened with the system loader and every export the kit calls is bound into
// its entry point (LibraryBindings.h, SdlBindings.h). All libraries load and unload on the
// main thread, before the threads that call them start.

#include <cstdint>
#include <initializer_list>
#include <mutex>
#include <string>

namespace tovik {

// Identifier order is the bit order of TLibrarySet.
enum class TLibraryId : uint8_t {
    libAVCodec,
    libAVDevice,
    libAVFilter,
    libAVFormat,
    libAVUtil,
    libSwScale,
    libSwResample,
    libMSVCRT, // the C runtime the libraries were built with
    libSDL,
};
inline constexpr int kLibraryCount = 9;

class TLibrarySet {
public:
    constexpr TLibrarySet() = default;
    constexpr TLibrarySet(std::initializer_list<TLibraryId> ids) {
        for (TLibraryId id : ids)
            bits_ = static_cast<uint16_t>(bits_ | Bit(id));
    }
    constexpr bool Contains(TLibraryId id) const { return (bits_ & Bit(id)) != 0; }
    constexpr bool Empty() const { return bits_ == 0; }
    constexpr TLibrarySet operator+(TLibrarySet other) const {
        return FromBits(bits_ | other.bits_);
    }
    constexpr TLibrarySet operator-(TLibrarySet other) const {
        return FromBits(bits_ & static_cast<uint16_t>(~other.bits_));
    }
    constexpr TLibrarySet operator*(TLibrarySet other) const {
        return FromBits(bits_ & other.bits_);
    }
    constexpr bool operator==(const TLibrarySet&) const = default;
    constexpr uint16_t Bits() const { return bits_; }

private:
    static constexpr uint16_t Bit(TLibraryId id) {
        return static_cast<uint16_t>(1u << static_cast<unsigned>(id));
    }
    static constexpr TLibrarySet FromBits(unsigned bits) {
        TLibrarySet set;
        set.bits_ = static_cast<uint16_t>(bits);
        return set;
    }
    uint16_t bits_ = 0;
};

class TFFmpegLoader {
public:
    // The one loader of the process.
    static TFFmpegLoader& Instance();

    // Folder searched first for every later load; empty means the system search only.
    void SetLibraryPath(const std::string& folder);
    std::string LibraryPath() const;
    // Text of the last load or bind failure; a later success does not clear it.
    std::string LastError() const;
    // The library's file name: its soname on Linux ("libavcodec.so.59", "libSDL2-2.0.so.0").
    static std::string LibraryFileName(TLibraryId id);

    bool LoadLib(TLibraryId id);
    // Loads the set in dependency order; at the first failure the whole set is unloaded.
    bool LoadLibs(TLibrarySet set);
    bool LibLoaded(TLibraryId id) const;
    bool LibsLoaded(TLibrarySet set) const;
    void UnloadLib(TLibraryId id);
    void UnloadLibs(TLibrarySet set);

private:
    TFFmpegLoader() = default;
    // The Unlocked forms run under loadMutex_, taken by the public ones.
    bool LoadLibUnlocked(TLibraryId id);
    void UnloadLibUnlocked(TLibraryId id);
    void UnloadLibsUnlocked(TLibrarySet set);
    bool OpenModule(TLibraryId id);
    void SetLastError(const std::string& text);
    void AfterLoad(TLibraryId id);

    struct TLibraryStatus {
        void* handle = nullptr;
        bool bound = false;
    };
    // Serialises whole loads and unloads: a conversion thread may load a library on demand
    // while another thread loads a set, and binding writes the shared entry points.
    std::mutex loadMutex_;
    mutable std::mutex mutex_; // guards the fields below
    TLibraryStatus status_[kLibraryCount];
    std::string lastError_;
    std::string libraryPath_;
};

// Shorthand for the process-wide loader.
inline TFFmpegLoader& FFmpegLoader() {
    return TFFmpegLoader::Instance();
}

// The folder searched before the system: "LibAV" next to the program, or, when there is
// none, the installation's own <prefix>/lib/tovik/LibAV for a program in <prefix>/bin.
std::string DefaultLibraryFolder();
// The same for a program in programDir.
std::string LibraryFolderOf(const std::string& programDir);

} // namespace tovik
