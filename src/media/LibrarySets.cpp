#include "media/LibrarySets.h"

namespace tovik {
namespace {

bool LoadSet(const TLibrarySet& set, const std::string& folder, std::string& error) {
    FFmpegLoader().SetLibraryPath(folder);
    if (FFmpegLoader().LoadLibs(set))
        return true;
    error = FFmpegLoader().LastError();
    return false;
}

} // namespace

bool LoadEngineLibraries(const std::string& folder, std::string& error) {
    return LoadSet(kEngineLibrarySet, folder, error);
}

bool LoadEngineCoreLibraries(const std::string& folder, std::string& error) {
    return LoadSet(kEngineCoreLibrarySet, folder, error);
}

bool EngineLibrariesLoaded() {
    return FFmpegLoader().LibsLoaded(kEngineCoreLibrarySet);
}

bool LoadFilterLibrary(std::string& error) {
    // LoadLib binds under the loader's own lock; a later caller finds it bound.
    if (FFmpegLoader().LoadLib(TLibraryId::libAVFilter))
        return true;
    error = FFmpegLoader().LastError();
    return false;
}

bool LoadPlayerLibraries(const std::string& folder, std::string& error) {
    return LoadSet(kPlayerLibrarySet, folder, error);
}

bool PlayerLibrariesLoaded() {
    return FFmpegLoader().LibsLoaded(kPlayerLibrarySet);
}

} // namespace tovik
