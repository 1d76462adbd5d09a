#pragma once
// The effects and overlay layers one job (a row of the file list) carries into conversion.

#include "effects/FrameEffects.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tovik {

// Colours as stored with a job: 0x00BBGGRR, or a system colour (high bit set, index below).
using TColorRef = uint32_t;
inline constexpr TColorRef kSystemColorFlag = 0x80000000u;

struct TFontSpec {
    std::string Name = "Arial";
    int Size = 24; // points
    bool Bold = false;
    bool Italic = false;
    bool Underline = false;
    bool StrikeOut = false;
    TColorRef Color = 0x00000000; // black
};

// One overlay layer: a line of text or a bitmap file, shown during whole seconds
// StartSecond..EndSecond (inclusive).
class TWmRec {
public:
    enum : int32_t { kText = 0, kPicture = 1 };

    std::string Text;
    TFontSpec Font;
    int32_t TextLeft = 0;
    int32_t TextTop = 0;
    int32_t TextWidth = 0;
    int32_t TextHeight = 0;
    int32_t TextOpacity = 255;
    TColorRef BackColor = 0x00FFFFFF;
    bool BackFilled = false;
    std::string PictureFile;
    int32_t PictureLeft = 0;
    int32_t PictureTop = 0;
    int32_t PictureWidth = 0; // as last placed in the editor; conversion uses the file's size
    int32_t PictureHeight = 0;
    int32_t PictureOpacity = 255;
    int32_t Kind = kText;
    int32_t StartSecond = 0;
    int32_t EndSecond = 0;

    bool ShownAt(int64_t second) const { return StartSecond <= second && second <= EndSecond; }
};

struct TJobEffects {
    int32_t Brightness = kNeutralBrightness;
    int32_t Contrast = kNeutralContrast;
    int32_t Saturation = kNeutralSaturation;
    int32_t Exposure = kNeutralExposure;
    std::vector<std::shared_ptr<TWmRec>> Overlays; // drawing order

    bool HasColorAdjust() const {
        return Brightness != kNeutralBrightness || Contrast != kNeutralContrast ||
               Saturation != kNeutralSaturation;
    }
    // Whether conversion needs the frame hook for this job at all.
    bool Any() const {
        return HasColorAdjust() || Exposure != kNeutralExposure || !Overlays.empty();
    }
};

// The RGB value of a stored colour (system colours resolved to their usual values).
uint32_t ColorRefToRgb(TColorRef color);

// The job's colour and exposure passes on one frame (one pass where both apply). The caller
// holds the frame's canvas lock. Layers are drawn apart (effects/OverlayRenderer.h).
void ApplyJobColors(TBitmap& frame, const TJobEffects& job);

} // namespace tovik
