#pragma once
// The libraries the preview player needs: the engine's set and SDL for sound.

#include "engine/EngineLibraries.h"

namespace tovik {

inline constexpr TLibrarySet kPlayerLibrarySet =
    kEngineLibrarySet + TLibrarySet{TLibraryId::libSDL};

bool LoadPlayerLibraries(const std::string& folder, std::string& error);
bool PlayerLibrariesLoaded();

} // namespace tovik
