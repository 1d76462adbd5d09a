#pragma once
// The job record of one file-list row: the source and every edit made to it (trim, crop,
// zoom mode, colour effects and overlay layers). No Qt: the conversion reads it headless.

#include "effects/JobEffects.h"

#include <cstdint>
#include <string>

namespace tovik {

struct TlvFilesRecord {
    std::string SourceFile;
    int64_t TrimStart = 0;  // microseconds
    int64_t TrimLength = 0; // microseconds; 0 = up to the end
    std::string ZoomMode = "lbox";
    // Source pixels removed at each edge (even numbers).
    int32_t CropTop = 0;
    int32_t CropLeft = 0;
    int32_t CropBottom = 0;
    int32_t CropRight = 0;
    // The margins as entered in the crop dialog (preview pixels).
    int32_t CropUpInput = 0;
    int32_t CropLeftInput = 0;
    int32_t CropDownInput = 0;
    int32_t CropRightInput = 0;
    // Colour effects and overlay layers, in the form the frame renderer draws them.
    TJobEffects Effects;
    bool ProcessText = false;
    bool ProcessImage = false;

    void Reset() { *this = TlvFilesRecord(); }
};

} // namespace tovik
