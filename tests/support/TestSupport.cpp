#include "support/TestSupport.h"

#include "media/FFmpegLoader.h"

#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <random>

namespace tovik::test {

TTempDir::TTempDir() {
    std::random_device random;
    path_ = std::filesystem::temp_directory_path() /
            ("tovik-test-" + std::to_string(random()) + "-" + std::to_string(random()));
    std::filesystem::create_directories(path_);
}

TTempDir::~TTempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string MediaFile(const std::string& name) {
    return std::string(TOVIK_TEST_MEDIA_DIR) + "/" + name;
}

void LoadEngineLibrariesOrFail() {
    FFmpegLoader().SetLibraryPath("");
    const TLibrarySet set = {TLibraryId::libAVCodec,  TLibraryId::libAVFilter,
                             TLibraryId::libAVFormat, TLibraryId::libAVUtil,
                             TLibraryId::libSwScale,  TLibraryId::libSwResample,
                             TLibraryId::libMSVCRT};
    ASSERT_TRUE(FFmpegLoader().LoadLibs(set)) << FFmpegLoader().LastError();
}

void LetWorkersDieOfSignals() {
    for (const char* variable : {"ASAN_OPTIONS", "TSAN_OPTIONS"}) {
        const char* given = std::getenv(variable);
        const std::string options = given ? std::string(given) + ":" : std::string();
        ::setenv(variable, (options + "handle_segv=0").c_str(), 1);
    }
}

std::string FailingWorker(const std::string& realWorker, const std::string& failOn,
                          const std::string& signal) {
    ::setenv("TOVIK_REAL_WORKER", realWorker.c_str(), 1);
    ::setenv("TOVIK_FAIL_ON", failOn.c_str(), 1);
    ::setenv("TOVIK_FAIL_SIGNAL", signal.c_str(), 1);
    return TOVIK_FAILING_WORKER_SCRIPT;
}

int RunFfmpegTool(const std::string& arguments) {
    const std::string command =
        std::string(TOVIK_FFMPEG_TOOL) + " -hide_banner -loglevel error -y " + arguments;
    return std::system(command.c_str());
}

void WriteTextFile(const std::string& fileName, const std::string& text) {
    std::ofstream file(fileName, std::ios::binary);
    file << text;
}

void ReadBinaryFile(const std::string& fileName, std::vector<uint8_t>& bytes) {
    bytes.clear();
    std::ifstream file(fileName, std::ios::binary | std::ios::ate);
    if (!file)
        return;
    bytes.resize(static_cast<size_t>(file.tellg()));
    file.seekg(0);
    file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

} // namespace tovik::test
