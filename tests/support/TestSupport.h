#pragma once
// Helpers shared by the tests: temporary folders, test media paths, library loading.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace tovik::test {

// A fresh folder under the system's temporary folder, removed with the object.
class TTempDir {
public:
    TTempDir();
    ~TTempDir();
    TTempDir(const TTempDir&) = delete;
    TTempDir& operator=(const TTempDir&) = delete;
    const std::filesystem::path& Path() const { return path_; }
    std::string File(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// Path of a file made by make_test_media.sh.
std::string MediaFile(const std::string& name);
// Loads the engine's libraries from the system; fails the test when that is impossible.
void LoadEngineLibrariesOrFail();
// Worker processes started from here on die of the signals they get: one built with a
// sanitizer would otherwise report a SIGSEGV and exit instead.
void LetWorkersDieOfSignals();
// A worker program that passes its input on to realWorker and dies of SIG<signal> ("SEGV",
// "ABRT") at the task description that contains failOn, as a worker dies when a library
// crashes on a damaged file. For workers started from here on.
std::string FailingWorker(const std::string& realWorker, const std::string& failOn,
                          const std::string& signal);
// Runs the ffmpeg tool with the given arguments; returns its exit status.
int RunFfmpegTool(const std::string& arguments);
void WriteTextFile(const std::string& fileName, const std::string& text);
// The whole file; empty when it cannot be read.
void ReadBinaryFile(const std::string& fileName, std::vector<uint8_t>& bytes);

} // namespace tovik::test
