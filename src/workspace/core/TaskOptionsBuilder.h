#pragma once
// The engine option builder: turns the current output format, the user's choices stored for
// it, the format profile, the source's facts and the job's crop and zoom into the input and
// output option records of one conversion task. Keeps no state between calls.

#include "engine/OptionRecords.h"
#include "media/MediaProbe.h"

#include <cstdint>
#include <functional>
#include <string>

namespace tovik {

// What the builder needs of the job record of a file-list row.
struct TJobGeometry {
    std::string ZoomMode = "lbox"; // "full", "lbox", "pan" or "center"
    int32_t CropTop = 0;           // source pixels removed at each edge
    int32_t CropLeft = 0;
    int32_t CropBottom = 0;
    int32_t CropRight = 0;

    bool HasCrop() const { return CropTop > 0 || CropLeft > 0 || CropBottom > 0 || CropRight > 0; }
};

// What the builder needs of the probe opened on the source.
struct TSourceFacts {
    int32_t VideoStreamCount = 0;
    int32_t Width = 0; // of the first video stream
    int32_t Height = 0;
    int64_t VideoBitRate = 0; // bits per second of the first video stream, 0 when unknown
    // Width over height as shown (sample aspect applied), 0 when unknown: square pixels.
    double DisplayAspect = 0;
};

// The facts of a probed video stream as the builder takes them: size and display aspect of
// the picture as shown, upright (a picture stored sideways has width and height swapped).
TSourceFacts SourceFactsOf(int32_t videoStreamCount, const TVideoStreamInfo& video);

// Asks a yes/no question (caption "Warning"); true means Yes.
using TQuestionCallback = std::function<bool(const std::string& question)>;

struct TBuildContext {
    std::string SettingsFile;
    std::string ProfileFile;
    TQuestionCallback AskYesNo; // unset answers No
};

inline constexpr const char* kFrameSizeQuestion =
    "Error output Video Size.Use the default size 320x240?";

// Fills output (reset by the caller, with FileName and any job crop already set) and sets
// input.OptionText for outputs without video. Throws std::invalid_argument when the stored
// "paraVolume" is neither an integer nor "256": the whole start is then refused.
void BuildTaskOptions(const TJobGeometry& job, int formatCode, TOutputOptions& output,
                      const TSourceFacts& source, TInputOptions& input,
                      const TBuildContext& context);

} // namespace tovik
