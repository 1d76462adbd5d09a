#pragma once
// Conversion of a library picture (any pixel format) into the kit's 24-bit BGR bitmap, with
// the scaling context kept between calls. Used for the engine's hook and preview pictures
// and the player's current frame.

#include "media/Bitmap.h"
#include "media/FFmpegPtr.h"

namespace tovik {

class TPictureConverter {
public:
    // Converts the picture (planes and line sizes in the given pixel format) of width x
    // height into bitmap, resizing the bitmap to the picture. False when no scaler exists
    // for the pixel format or the size is not positive.
    bool PictureToBitmap(const uint8_t* const planes[], const int lineSizes[], AVPixelFormat format,
                         int width, int height, TBitmap& bitmap);
    bool FrameToBitmap(const AVFrame& frame, TBitmap& bitmap);
    // For the hook: converts frame into bitmap and keeps in original what RowChanged needs to
    // tell later which rows the handler changed (a copy, unless the rows can be recomputed).
    bool FrameToEditableBitmap(const AVFrame& frame, TBitmap& bitmap, TBitmap& original);
    // True when row y of bitmap differs from what FrameToEditableBitmap made of the frame,
    // which must not have changed since.
    bool RowChanged(const AVFrame& frame, const TBitmap& bitmap, const TBitmap& original,
                    int y) const;

    // Converts a bitmap back into a picture of the given format and size (the hook's
    // write-back).
    bool BitmapToPicture(const TBitmap& bitmap, uint8_t* const planes[], const int lineSizes[],
                         AVPixelFormat format);
    // The same for the rows firstRow .. firstRow + rowCount - 1 only (widened to whole rows
    // of the format's chroma planes), so a picture with a small change costs little.
    bool BitmapRowsToPicture(const TBitmap& bitmap, int firstRow, int rowCount,
                             uint8_t* const planes[], const int lineSizes[], AVPixelFormat format);

    void Release();

private:
    TSwsContextPtr toBgr_;
    TSwsContextPtr fromBgr_;
    TSwsContextPtr bandScaler_;
};

} // namespace tovik
