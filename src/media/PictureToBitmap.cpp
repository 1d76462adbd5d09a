#include "media/PictureToBitmap.h"

#include <cstring>

namespace tovik {

bool TPictureConverter::PictureToBitmap(const uint8_t* const planes[], const int lineSizes[],
                                        AVPixelFormat format, int width, int height,
                                        TBitmap& bitmap) {
    if (width <= 0 || height <= 0)
        return false;
    if (bitmap.Width() != width || bitmap.Height() != height)
        bitmap.SetSize(width, height);
    if (format == AV_PIX_FMT_BGR24) {
        // Already the bitmap's layout: copy the rows.
        const size_t rowBytes = static_cast<size_t>(width) * 3;
        for (int y = 0; y < height; ++y)
            std::memcpy(bitmap.ScanLine(y), planes[0] + static_cast<ptrdiff_t>(y) * lineSizes[0],
                        rowBytes);
        return true;
    }
    toBgr_.reset(ff::sws_getCachedContext(toBgr_.release(), width, height, format, width, height,
                                          AV_PIX_FMT_BGR24, SWS_BICUBIC, nullptr, nullptr,
                                          nullptr));
    if (!toBgr_)
        return false;
    uint8_t* target[4] = {bitmap.Bits(), nullptr, nullptr, nullptr};
    const int targetLines[4] = {bitmap.BytesPerLine(), 0, 0, 0};
    ff::sws_scale(toBgr_.get(), planes, lineSizes, 0, height, target, targetLines);
    return true;
}

bool TPictureConverter::FrameToBitmap(const AVFrame& frame, TBitmap& bitmap) {
    return PictureToBitmap(frame.data, frame.linesize, static_cast<AVPixelFormat>(frame.format),
                           frame.width, frame.height, bitmap);
}

bool TPictureConverter::BitmapToPicture(const TBitmap& bitmap, uint8_t* const planes[],
                                        const int lineSizes[], AVPixelFormat format) {
    const int width = bitmap.Width();
    const int height = bitmap.Height();
    if (width <= 0 || height <= 0)
        return false;
    fromBgr_.reset(ff::sws_getCachedContext(fromBgr_.release(), width, height, AV_PIX_FMT_BGR24,
                                            width, height, format, SWS_BICUBIC, nullptr, nullptr,
                                            nullptr));
    if (!fromBgr_)
        return false;
    const uint8_t* source[4] = {bitmap.Bits(), nullptr, nullptr, nullptr};
    const int sourceLines[4] = {bitmap.BytesPerLine(), 0, 0, 0};
    ff::sws_scale(fromBgr_.get(), source, sourceLines, 0, height, planes, lineSizes);
    return true;
}

void TPictureConverter::Release() {
    toBgr_.reset();
    fromBgr_.reset();
}

} // namespace tovik
