// tovik-layers.so: draws a job's text and picture layers for the worker, which loads it only
// for tasks that have layers (worker/LayerModuleApi.h).

#include "effects/OverlayRenderer.h"
#include "worker/LayerModuleApi.h"

#include <QGuiApplication>
#include <cstdio>
#include <exception>
#include <memory>

namespace {

using namespace tovik;

struct TLayerContext {
    std::unique_ptr<QGuiApplication> Application; // none when the process had one already
    TPictureCache Pictures;
};

// Qt's message handler takes no context of its own; the log target is set once, by Open,
// before Qt can say anything, and stays for the life of the process.
TovikLayerLog g_log = nullptr;
void* g_logUser = nullptr;

void HandOnQtMessage(QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (g_log)
        g_log(g_logUser, type == QtDebugMsg || type == QtInfoMsg ? 0 : 1,
              text.toStdString().c_str());
}

void CopyError(const char* text, char* error, size_t errorSize) {
    if (error && errorSize > 0)
        std::snprintf(error, errorSize, "%s", text);
}

void* Open(int* argc, char** argv, TovikLayerLog log, void* logUser, char* error,
           size_t errorSize) {
    try {
        g_log = log;
        g_logUser = logUser;
        qInstallMessageHandler(HandOnQtMessage);
        auto context = std::make_unique<TLayerContext>();
        // Fonts and picture readers want an application object; no window is ever shown.
        if (!QGuiApplication::instance()) {
            if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
                qputenv("QT_QPA_PLATFORM", "offscreen");
            context->Application = std::make_unique<QGuiApplication>(*argc, argv);
        }
        return context.release(); // owned by the caller until Close
    } catch (const std::exception& fault) {
        CopyError(fault.what(), error, errorSize);
        return nullptr;
    }
}

void ForgetPictures(void* context) {
    static_cast<TLayerContext*>(context)->Pictures.Clear();
}

bool Render(void* context, TBitmap* frame, const TJobEffects* job, int64_t frameTime, char* error,
            size_t errorSize) {
    try {
        RenderJobEffects(*frame, *job, frameTime, static_cast<TLayerContext*>(context)->Pictures);
        return true;
    } catch (const std::exception& fault) {
        CopyError(fault.what(), error, errorSize);
        return false;
    }
}

void Close(void* context) {
    // Taken back from the caller, who gave it up with this call; what Qt says while its
    // application object ends still reaches the log, nothing after.
    std::unique_ptr<TLayerContext>(static_cast<TLayerContext*>(context)).reset();
    qInstallMessageHandler(nullptr);
    g_log = nullptr;
    g_logUser = nullptr;
}

constexpr TovikLayerModule kModule{kTovikLayerModuleVersion, Open, ForgetPictures, Render, Close};

} // namespace

extern "C" __attribute__((visibility("default"))) const TovikLayerModule* tovik_layer_module() {
    return &kModule;
}
