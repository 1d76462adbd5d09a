#pragma once
// The job record of one file-list row: the source and every edit made to it (trim, crop,
// zoom mode, colour effects and overlay layers). It is the one shape of a job: the list's
// row, the conversion's task preparation and the frame renderer's input are all read from
// it. No Qt: the conversion and the command line read it headless.

#include "effects/JobEffects.h"
#include "workspace/core/TaskOptionsBuilder.h"

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

    // What the option builder needs of the picture's fitting and crop.
    TJobGeometry Geometry() const {
        TJobGeometry geometry;
        geometry.ZoomMode = ZoomMode;
        geometry.CropTop = CropTop;
        geometry.CropLeft = CropLeft;
        geometry.CropBottom = CropBottom;
        geometry.CropRight = CropRight;
        return geometry;
    }
};

} // namespace tovik
