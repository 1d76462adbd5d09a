#include "engine/EngineLibraries.h"

namespace tovik {

bool LoadEngineLibraries(const std::string& folder, std::string& error) {
    FFmpegLoader().SetLibraryPath(folder);
    if (FFmpegLoader().LoadLibs(kEngineLibrarySet))
        return true;
    error = FFmpegLoader().LastError();
    return false;
}

bool EngineLibrariesLoaded() {
    return FFmpegLoader().LibsLoaded(kEngineLibrarySet);
}

} // namespace tovik
