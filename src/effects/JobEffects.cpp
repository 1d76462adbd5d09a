#include "effects/JobEffects.h"

namespace tovik {

uint32_t ColorRefToRgb(TColorRef color) {
    if (color & kSystemColorFlag) {
        // The system colours a job may name, with their usual light-theme values.
        switch (color & 0xFFu) {
        case 5:  // window background
        case 14: // highlighted text
            return 0xFFFFFF;
        case 8:  // window text
        case 18: // button text
            return 0x000000;
        case 13: // highlight
            return 0x0078D7;
        case 15: // button face
            return 0xF0F0F0;
        case 16: // button shadow
            return 0xA0A0A0;
        default:
            return 0x808080;
        }
    }
    // 0x00BBGGRR to 0xRRGGBB.
    return ((color & 0xFFu) << 16) | (color & 0xFF00u) | ((color >> 16) & 0xFFu);
}

void ApplyJobColors(TBitmap& frame, const TJobEffects& job) {
    if (job.HasColorAdjust())
        ApplyColorAndExposure(frame, job.Brightness, job.Contrast, job.Saturation,
                              static_cast<float>(job.Exposure));
    else if (job.Exposure != kNeutralExposure)
        ApplyExposure(frame, static_cast<float>(job.Exposure));
}

} // namespace tovik
