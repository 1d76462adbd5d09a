#pragma once
// The entry point of tovik-layers.so, the worker's layer drawing. Text and picture layers are
// drawn with Qt; the worker loads them only for a task that has layers, so a conversion
// without them starts without Qt's libraries. Both sides are built together from this tree,
// so the C++ types pass as they are; no exception crosses the boundary.

#include <cstddef>
#include <cstdint>

namespace tovik {
class TBitmap;
struct TJobEffects;
} // namespace tovik

extern "C" {

// Qt's messages, handed on: level 0 informative, 1 a warning or worse.
using TovikLayerLog = void (*)(void* user, int level, const char* text);

struct TovikLayerModule {
    int Version; // kTovikLayerModuleVersion of the side that built it
    // Starts what drawing needs (Qt's application object, which keeps argc); a context for
    // the calls below, or null with the reason in error.
    void* (*Open)(int* argc, char** argv, TovikLayerLog log, void* logUser, char* error,
                  size_t errorSize);
    // Forgets the pictures read so far (a new task reads its picture files afresh).
    void (*ForgetPictures)(void* context);
    // Draws the job's colour passes and its layers shown at frameTime (microseconds) on the
    // frame, under the frame's canvas lock. False with the reason in error when a picture
    // cannot be read; the frame then keeps what was drawn so far.
    bool (*Render)(void* context, tovik::TBitmap* frame, const tovik::TJobEffects* job,
                   int64_t frameTime, char* error, size_t errorSize);
    // Ends the context (on the thread that opened it).
    void (*Close)(void* context);
};

const TovikLayerModule* tovik_layer_module();
}

inline constexpr int kTovikLayerModuleVersion = 1;
inline constexpr const char* kTovikLayerModuleFile = "tovik-layers.so";
