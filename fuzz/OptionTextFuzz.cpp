// Option lines as a profile or a settings file may hold them, applied to a task the way a
// conversion's set-up applies them: a refused value may raise the engine's error, nothing else
// may go wrong.

#include "FuzzSupport.h"

#include "engine/FFmpeg.h"

#include <fuzzer/FuzzedDataProvider.h>
#include <stdexcept>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    tovik::fuzz::LoadMediaLibraries();
    FuzzedDataProvider input(data, size);
    const bool codecOptions = input.ConsumeBool();
    const std::string text = input.ConsumeRemainingBytesAsString();
    tovik::TFFmpeg task;
    task.ResetEngine();
    try {
        task.ParseOptionText(text, codecOptions);
    } catch (const std::exception&) {
        // Refused values are reported as errors; that is the expected outcome for most input.
    }
    // The settings that were accepted must still describe a task that can be reset.
    task.ResetEngine();
    return 0;
}
