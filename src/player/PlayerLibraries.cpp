#include "player/PlayerLibraries.h"

namespace tovik {

bool LoadPlayerLibraries(const std::string& folder, std::string& error) {
    FFmpegLoader().SetLibraryPath(folder);
    if (FFmpegLoader().LoadLibs(kPlayerLibrarySet))
        return true;
    error = FFmpegLoader().LastError();
    return false;
}

bool PlayerLibrariesLoaded() {
    return FFmpegLoader().LibsLoaded(kPlayerLibrarySet);
}

} // namespace tovik
