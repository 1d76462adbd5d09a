#pragma once
// The library sets of the kit's two users: the transcoding engine (and the probe) and the
// preview player, and their way of loading them. Both live here so neither borrows from the
// other.

#include "media/FFmpegLoader.h"

#include <string>

namespace tovik {

inline constexpr TLibrarySet kEngineLibrarySet = {
    TLibraryId::libAVCodec, TLibraryId::libAVFilter, TLibraryId::libAVFormat,
    TLibraryId::libAVUtil,  TLibraryId::libSwScale,  TLibraryId::libSwResample,
    TLibraryId::libMSVCRT,
};

// The player decodes like the engine and needs SDL for the sound device.
inline constexpr TLibrarySet kPlayerLibrarySet =
    kEngineLibrarySet + TLibrarySet{TLibraryId::libSDL};

// Set the library folder and load a set; on failure error gets the loader's last error text.
bool LoadEngineLibraries(const std::string& folder, std::string& error);
bool EngineLibrariesLoaded();
bool LoadPlayerLibraries(const std::string& folder, std::string& error);
bool PlayerLibrariesLoaded();

} // namespace tovik
