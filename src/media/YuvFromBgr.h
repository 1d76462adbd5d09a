#pragma once
// Fast conversion of 24-bit BGR rows into a 4:2:0 planar picture, for the hook's write-back
// of whole frames. Uses the scaler's default matrix (BT.601, studio range) so pictures keep
// their colours through a round trip; chroma is the average of each 2x2 block. Vectorised
// where the processor has AVX-512, with the same results as the portable code.

#include "media/Bitmap.h"

namespace tovik {

// Rows firstRow .. firstRow + rowCount - 1 (firstRow even) of bitmap into the picture's Y,
// U and V planes at the same rows (chroma rows firstRow / 2 ..). A last row without a pair
// is paired with itself, a last column likewise.
void BgrRowsToYuv420p(const TBitmap& bitmap, int firstRow, int rowCount, uint8_t* const planes[],
                      const int lineSizes[], bool allowVector = true);

} // namespace tovik
