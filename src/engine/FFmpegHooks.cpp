// Option stage of the engine: frame hook modules ("vhook"). A module exports
//   int  Configure(void** context, int argc, char* argv[]);   (needed with arguments)
//   void Process(void* context, AVPicture* picture, int pixelFormat, int width, int height,
//                int64_t pts);
//   void Release(void* context);                              (optional)
// The loop stage calls Process for every decoded video frame.

#include "engine/FFmpeg.h"
#include "media/TextFormat.h"
#include "platform/DynamicLibrary.h"

#include <map>
#include <mutex>

namespace tovik {

namespace {

using TConfigure = int (*)(void** context, int argc, char* argv[]);
using TRelease = void (*)(void* context);

constexpr size_t kMaxHookArguments = 254;

// Modules stay loaded for the life of the process and are shared by all tasks: a module
// is loaded once per path.
std::mutex moduleMutex;
std::map<std::string, platform::TModuleHandle>& LoadedModules() {
    static std::map<std::string, platform::TModuleHandle> modules; // guarded by moduleMutex
    return modules;
}

platform::TModuleHandle LoadHookModule(const std::string& path, std::string& error) {
    std::lock_guard<std::mutex> lock(moduleMutex);
    auto& modules = LoadedModules();
    if (const auto found = modules.find(path); found != modules.end())
        return found->second;
    // The system loader finds the module's own dependencies through its run path; the
    // working folder and PATH play no part on this platform.
    platform::TModuleHandle module = platform::OpenModule(path, error);
    if (module)
        modules.emplace(path, module);
    return module;
}

std::vector<std::string> SplitHookArguments(const std::string& value) {
    const char separator = value.find('|') != std::string::npos ? '|' : ' ';
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= value.size() && parts.size() < kMaxHookArguments) {
        size_t end = value.find(separator, start);
        if (end == std::string::npos)
            end = value.size();
        if (end > start)
            parts.push_back(value.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

} // namespace

void TCustomFFmpeg::AddFrameHook(const std::string& value) {
    const std::string failure = "Failed to add video hook function: " + value;
    std::vector<std::string> arguments = SplitHookArguments(value);
    if (arguments.empty())
        throw FFmpegException(failure);
    const std::string& path = arguments[0];

    std::string error;
    platform::TModuleHandle module = LoadHookModule(path, error);
    if (!module) {
        ff::av_log(nullptr, AV_LOG_ERROR, "%s\n", error.c_str());
        throw FFmpegException(failure);
    }
    TFrameHookEntry entry;
    entry.Path = path;
    entry.Process = platform::ModuleSymbol(module, "Process", error);
    if (!entry.Process) {
        ff::av_log(nullptr, AV_LOG_ERROR, "Failed to find Process entrypoint in %s\n",
                   path.c_str());
        throw FFmpegException(failure);
    }
    auto configure =
        reinterpret_cast<TConfigure>(platform::ModuleSymbol(module, "Configure", error));
    if (!configure && arguments.size() > 1) {
        ff::av_log(nullptr, AV_LOG_ERROR, "Failed to find Configure entrypoint in %s\n",
                   path.c_str());
        throw FFmpegException(failure);
    }
    entry.Release = platform::ModuleSymbol(module, "Release", error);
    if (configure) {
        std::vector<char*> argv;
        argv.reserve(arguments.size() + 1);
        for (std::string& argument : arguments)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        if (configure(&entry.Context, static_cast<int>(arguments.size()), argv.data()) != 0) {
            ff::av_log(nullptr, AV_LOG_ERROR, "Failed to Configure %s\n", path.c_str());
            throw FFmpegException(failure);
        }
    }
    frameHooks_.push_back(std::move(entry));
}

void TCustomFFmpeg::ReleaseFrameHooks() {
    for (TFrameHookEntry& hook : frameHooks_)
        if (hook.Release)
            reinterpret_cast<TRelease>(hook.Release)(hook.Context);
    frameHooks_.clear();
}

} // namespace tovik
