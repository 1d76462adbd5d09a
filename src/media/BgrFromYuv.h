#pragma once
// Fast conversion of a 4:2:0 planar picture (BT.601, studio range: the scaler's default)
// into 24-bit BGR bitmaps, for the frame hook and previews. Chroma is taken as it stands for
// each 2x2 block, as the scaler does without scaling. Vectorised where the processor has
// AVX-512, with the same results as the portable code.

#include "media/Bitmap.h"

namespace tovik {

// Converts the width x height picture into bitmap (already of that size).
void Yuv420pToBgr(const uint8_t* const planes[], const int lineSizes[], int width, int height,
                  TBitmap& bitmap, bool allowVector = true);

// True when bgrRow (width pixels) holds exactly what Yuv420pToBgr makes of the picture's row
// y: lets a caller tell which rows of a converted bitmap were changed without keeping a copy.
bool Yuv420pRowMatches(const uint8_t* const planes[], const int lineSizes[], int width, int y,
                       const uint8_t* bgrRow, bool allowVector = true);

} // namespace tovik
