#pragma once
// The records the engine hands to its owner for each kind of event: a frame to draw on, a
// preview picture, a progress report and the end of a task.

#include "media/Bitmap.h"

#include <cstdint>
#include <string>

namespace tovik {

struct THookInfo {
    int TaskIndex = 0;
    TBitmap* Bitmap = nullptr; // the frame as 24-bit BGR; the handler draws on it
    int FrameNumber = 0;       // frames of the task that reached the frame path, this one too
    int64_t FrameTime = 0;     // microseconds
    bool WriteBack = true;     // set false to leave the frame as decoded
    bool DisableHook = false;  // set true to stop calling the hook for this task
};
using PHookInfo = THookInfo*;

struct TPreviewInfo {
    int TaskIndex = 0;
    const TBitmap* Bitmap = nullptr; // a 24-bit copy of the frame
    int FrameNumber = 0;
    int64_t FrameTime = 0; // microseconds
};

struct TProgressInfo {
    int TaskIndex = 0;
    int FileIndex = 0;       // input read last; -1 in the final report
    int FrameNumber = -1;    // frames coded for the first video output stream
    int FPS = -1;            // coding speed; 0 in the first second; -1 without video
    float Quality = -1.0f;   // quantiser of the last coded video frame
    float BitRate = 0.0f;    // kbit/s
    int64_t TotalSize = 0;   // bytes written to the first output
    int64_t CurrentTime = 0; // output time reached, microseconds
    int64_t TotalDuration = 0;
};
using PProgressInfo = TProgressInfo*;

struct TTerminateInfo {
    int TaskIndex = 0; // -1: the end of the whole run
    bool Finished = false;
    bool Failed = false;
    std::string ErrorMessage;
};

} // namespace tovik
