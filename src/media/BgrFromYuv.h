#pragma once
// Fast conversion of a 4:2:0 planar picture (BT.601, studio range: the scaler's default)
// into 24-bit BGR bitmaps, for the frame hook and previews. Chroma is taken as it stands for
// each 2x2 block, as the scaler does without scaling. Vectorised where the processor has
// AVX-512, with the same results as the portable code.

#include "media/Bitmap.h"

namespace tovik {

// Converts the width x height picture into bitmap (already of that size) and, when twin is
// given (also of that size), writes the same pixels there in the same sweep.
void Yuv420pToBgr(const uint8_t* const planes[], const int lineSizes[], int width, int height,
                  TBitmap& bitmap, TBitmap* twin = nullptr, bool allowVector = true);

} // namespace tovik
