#pragma once
// The per-pixel routines of the job effects: a colour pass (brightness, contrast and
// saturation together), an exposure pass and an alpha blend of one picture onto another. All
// work in place on 24-bit bitmaps with table-driven integer code (vectorised where the
// processor allows, with the same results).

#include "media/Bitmap.h"

namespace tovik {

// Neutral values: the conversion skips a pass that has them.
inline constexpr int kNeutralBrightness = 255;
inline constexpr int kNeutralContrast = 0;
inline constexpr int kNeutralSaturation = 255;
inline constexpr int kNeutralExposure = 0;

// brightness 0..512 (256 keeps levels), contrast -100..100, saturation 0..512 (256 keeps).
void ApplyColorAdjust(TBitmap& bitmap, int brightness, int contrast, int saturation);
// exposure -255..512; 0 keeps levels.
void ApplyExposure(TBitmap& bitmap, float exposure);
// The colour pass and then the exposure pass, in one sweep over the pixels.
void ApplyColorAndExposure(TBitmap& bitmap, int brightness, int contrast, int saturation,
                           float exposure);
// Blends source onto dest with its top-left corner at (x, y); alpha 0 (invisible) .. 255.
// Parts outside dest, on any side, are cut off.
void BlendBitmap(TBitmap& dest, const TBitmap& source, int x, int y, int alpha);
// BlendBitmap with a weight per pixel: the pixel's own alpha (one byte per source pixel,
// alphaStride bytes a row, 255 opaque) times alpha / 255. A fully opaque pixel blends as
// BlendBitmap does; a fully transparent one leaves dest as it is.
void BlendBitmapAlpha(TBitmap& dest, const TBitmap& source, const uint8_t* pixelAlpha,
                      int alphaStride, int x, int y, int alpha);

// The level tables behind the passes, exposed for their exact values.
struct TColorTables {
    uint8_t Levels[256];   // brightness then contrast
    int32_t Weights[256];  // saturation weight of a level
    int32_t GrayBase[768]; // by the sum of a pixel's three bytes
};
void BuildColorTables(int brightness, int contrast, int saturation, TColorTables& tables);
void BuildExposureTable(float exposure, uint8_t table[256]);

} // namespace tovik
