#include "worker/LayerDrawing.h"

#include "platform/DynamicLibrary.h"
#include "platform/Environment.h"

#include <mutex>
#include <stdexcept>
#include <utility>

namespace tovik {

namespace {

void HandOnLog(void* user, int level, const char* text) {
    const auto& log = *static_cast<const TLayerDrawing::TLog*>(user);
    if (log)
        log(level, text ? text : "");
}

} // namespace

TLayerDrawing::TLayerDrawing(std::string modulePath, TLog log)
    : modulePath_(std::move(modulePath)), log_(std::move(log)) {}

TLayerDrawing::~TLayerDrawing() {
    // Qt's libraries stay loaded (they cannot be unloaded safely); its application object
    // ends here, on the thread that made it.
    context_.reset();
}

bool TLayerDrawing::Prepare(const TJobEffects& job, int& argc, char** argv, std::string& error) {
    if (job.Overlays.empty())
        return true;
    if (!context_ && !Load(argc, argv, error))
        return false;
    module_->ForgetPictures(context_.get());
    return true;
}

bool TLayerDrawing::Load(int& argc, char** argv, std::string& error) {
    const std::string cannot = "Cannot draw the layers: ";
    if (!handle_) {
        std::string reason;
        handle_ = platform::OpenModule(modulePath_, reason);
        if (!handle_) {
            error = cannot + reason;
            return false;
        }
    }
    if (!module_) {
        std::string reason;
        using TEntry = const TovikLayerModule* (*)();
        const auto entry =
            reinterpret_cast<TEntry>(platform::ModuleSymbol(handle_, "tovik_layer_module", reason));
        const TovikLayerModule* module = entry ? entry() : nullptr;
        if (!module || module->Version != kTovikLayerModuleVersion) {
            error = cannot + (entry ? modulePath_ + " is of another version" : reason);
            return false;
        }
        module_ = module;
    }
    char reason[512] = "";
    void* context = module_->Open(&argc, argv, HandOnLog, &log_, reason, sizeof reason);
    if (!context) {
        error = cannot + reason;
        return false;
    }
    context_ = std::unique_ptr<void, TCloseContext>(context, TCloseContext{module_});
    return true;
}

void TLayerDrawing::Render(TBitmap& frame, const TJobEffects& job, int64_t frameTime) {
    if (!context_ || job.Overlays.empty()) {
        std::lock_guard canvas(frame.CanvasLock());
        ApplyJobColors(frame, job);
        return;
    }
    char reason[512] = "";
    if (!module_->Render(context_.get(), &frame, &job, frameTime, reason, sizeof reason))
        throw std::runtime_error(reason);
}

std::string LayerModuleBesideProgram() {
    return platform::ExecutableDir() + "/" + kTovikLayerModuleFile;
}

} // namespace tovik
