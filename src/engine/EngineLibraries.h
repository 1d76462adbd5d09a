#pragma once
// The libraries the transcoding engine needs, and its way of loading them.

#include "media/FFmpegLoader.h"

#include <string>

namespace tovik {

inline constexpr TLibrarySet kEngineLibrarySet = {
    TLibraryId::libAVCodec, TLibraryId::libAVFilter, TLibraryId::libAVFormat,
    TLibraryId::libAVUtil,  TLibraryId::libSwScale,  TLibraryId::libSwResample,
    TLibraryId::libMSVCRT,
};

// Sets the library folder and loads the engine's set; on failure error gets the loader's
// last error text.
bool LoadEngineLibraries(const std::string& folder, std::string& error);
bool EngineLibrariesLoaded();

} // namespace tovik
