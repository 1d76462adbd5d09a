#pragma once
// The worker's drawing of a job's effects: the colour passes in the worker itself, layers
// through tovik-layers.so, loaded beside the program the first time a task has layers.

#include "effects/JobEffects.h"
#include "worker/LayerModuleApi.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace tovik {

class TLayerDrawing {
public:
    // Qt's messages from the module: level 0 informative, 1 a warning or worse.
    using TLog = std::function<void(int level, const std::string& text)>;

    // modulePath: the drawing module to load when layers are first needed; log: where Qt's
    // messages go, from whichever thread Qt speaks on.
    TLayerDrawing(std::string modulePath, TLog log);
    ~TLayerDrawing();
    TLayerDrawing(const TLayerDrawing&) = delete;
    TLayerDrawing& operator=(const TLayerDrawing&) = delete;

    // Makes ready to draw job's effects: loads the module when job has layers (argc and argv
    // outlive this object, as Qt keeps them). False with the reason when it cannot be loaded.
    bool Prepare(const TJobEffects& job, int& argc, char** argv, std::string& error);
    // Draws job's effects on the frame at frameTime (microseconds). Throws std::runtime_error
    // when a picture file cannot be read.
    void Render(TBitmap& frame, const TJobEffects& job, int64_t frameTime);

private:
    struct TCloseContext {
        const TovikLayerModule* Module;
        void operator()(void* context) const { Module->Close(context); }
    };

    std::string modulePath_;
    void* handle_ = nullptr; // the module, kept loaded for the life of the process
    const TovikLayerModule* module_ = nullptr;
    TLog log_; // set once; called by Qt's message handler, from the module
    std::unique_ptr<void, TCloseContext> context_{nullptr, TCloseContext{nullptr}};

    bool Load(int& argc, char** argv, std::string& error);
};

// The drawing module's path beside the running program.
std::string LayerModuleBesideProgram();

} // namespace tovik
