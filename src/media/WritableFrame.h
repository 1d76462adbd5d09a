#pragma once
// Making a decoded picture writable before a band of its rows is written over.

#include "media/LibraryBindings.h"

namespace tovik {

// The picture rows firstRow .. firstRow + rowCount - 1, widened to whole chroma rows as a
// write-back widens them.
struct TRowBand {
    int First = 0;
    int End = 0; // one past the last row
};
TRowBand ChromaAlignedBand(const AVPixFmtDescriptor& descriptor, int height, int firstRow,
                           int rowCount);

// Gives frame pictures of its own when it shares them (with the decoder, say) so the band can
// be written. The new pictures keep the old line sizes, so encoders that take a picture as it
// is still can, and only the rows outside the band are copied: the caller writes the band
// whole. A negative result is a library error code.
int MakeWritableForBand(AVFrame& frame, int firstRow, int rowCount);

} // namespace tovik
