#pragma once
// The library sets of the kit's two users: the transcoding engine (and the probe) and the
// preview player, and their way of loading them. Both live here so neither borrows from the
// other.

#include "media/FFmpegLoader.h"

#include <string>

namespace tovik {

// What the engine and the probe cannot work without. The filter library is the costliest to
// load (about a third of the start of a conversion process) and only conversions that build
// a filter graph use it, so a process may start with this set and take the filter library
// when it first needs it (LoadFilterLibrary).
inline constexpr TLibrarySet kEngineCoreLibrarySet = {
    TLibraryId::libAVCodec, TLibraryId::libAVFormat,   TLibraryId::libAVUtil,
    TLibraryId::libSwScale, TLibraryId::libSwResample, TLibraryId::libMSVCRT,
};

inline constexpr TLibrarySet kEngineLibrarySet =
    kEngineCoreLibrarySet + TLibrarySet{TLibraryId::libAVFilter};

// The player decodes like the engine and needs SDL for the sound device.
inline constexpr TLibrarySet kPlayerLibrarySet =
    kEngineLibrarySet + TLibrarySet{TLibraryId::libSDL};

// Set the library folder and load a set; on failure error gets the loader's last error text.
bool LoadEngineLibraries(const std::string& folder, std::string& error);
bool LoadEngineCoreLibraries(const std::string& folder, std::string& error);
// True once the core set is loaded: the engine can run; filters load on demand.
bool EngineLibrariesLoaded();
// Loads the filter library from the folder of the last load if it is not loaded yet. Safe to
// call from any thread; a filter graph is built only after it returned true.
bool LoadFilterLibrary(std::string& error);
bool LoadPlayerLibraries(const std::string& folder, std::string& error);
bool PlayerLibrariesLoaded();

} // namespace tovik
