// A short conversion of any file to a small MOV with the default encoders: a damaged input may
// fail its task with an error text, but must never crash the process or leave it hanging.

#include "FuzzSupport.h"

#include "engine/CommandLine.h"
#include "engine/FFmpeg.h"

#include <stdexcept>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    tovik::fuzz::LoadMediaLibraries();
    const tovik::fuzz::TMemoryFile input(data, size);
    const tovik::fuzz::TScratchFolder folder;
    tovik::TFFmpeg task;
    task.ResetEngine();
    try {
        // Little work per input: a second of at most 64x48 pictures and mono sound.
        tovik::ApplyCommandLine(task, {"-i", input.Name(), "-t", "1", "-s", "64x48", "-vcodec",
                                       "mpeg4", "-acodec", "aac", "-ac", "1", "-threads", "1", "-y",
                                       folder.Path() + "/out.mov"});
    } catch (const std::exception&) {
        return 0; // refused at set-up, as the program would refuse it
    }
    (void)task.RunConvert();
    return 0;
}
