#include "media/PictureToBitmap.h"

#include "media/BgrFromYuv.h"
#include "media/WritableFrame.h"
#include "media/YuvFromBgr.h"

#include <algorithm>
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
    if (format == AV_PIX_FMT_YUV420P) {
        Yuv420pToBgr(planes, lineSizes, width, height, bitmap);
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

bool TPictureConverter::FrameToEditableBitmap(const AVFrame& frame, TBitmap& bitmap,
                                              TBitmap& original) {
    if (!FrameToBitmap(frame, bitmap))
        return false;
    // 4:2:0 rows are recomputed from the picture instead (see RowChanged).
    if (frame.format != AV_PIX_FMT_YUV420P)
        original = bitmap;
    return true;
}

bool TPictureConverter::RowChanged(const AVFrame& frame, const TBitmap& bitmap,
                                   const TBitmap& original, int y) const {
    if (frame.format == AV_PIX_FMT_YUV420P)
        return !Yuv420pRowMatches(frame.data, frame.linesize, frame.width, y, bitmap.ScanLine(y));
    return std::memcmp(bitmap.ScanLine(y), original.ScanLine(y),
                       static_cast<size_t>(bitmap.Width()) * 3) != 0;
}

bool TPictureConverter::BitmapToPicture(const TBitmap& bitmap, uint8_t* const planes[],
                                        const int lineSizes[], AVPixelFormat format) {
    const int width = bitmap.Width();
    const int height = bitmap.Height();
    if (width <= 0 || height <= 0)
        return false;
    if (format == AV_PIX_FMT_YUV420P) {
        BgrRowsToYuv420p(bitmap, 0, height, planes, lineSizes);
        return true;
    }
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

bool TPictureConverter::BitmapRowsToPicture(const TBitmap& bitmap, int firstRow, int rowCount,
                                            uint8_t* const planes[], const int lineSizes[],
                                            AVPixelFormat format) {
    const AVPixFmtDescriptor* descriptor = ff::av_pix_fmt_desc_get(format);
    if (!descriptor || bitmap.Empty())
        return false;
    if (firstRow <= 0 && rowCount >= bitmap.Height())
        return BitmapToPicture(bitmap, planes, lineSizes, format);
    // Chroma rows cover 2^log2_chroma_h picture rows: start and end on their boundaries.
    const TRowBand band = ChromaAlignedBand(*descriptor, bitmap.Height(), firstRow, rowCount);
    const int first = band.First;
    const int end = band.End;
    if (end <= first)
        return true;
    if (format == AV_PIX_FMT_YUV420P) {
        BgrRowsToYuv420p(bitmap, first, end - first, planes, lineSizes);
        return true;
    }
    const int width = bitmap.Width();
    const int height = end - first;
    // A band of its own height: its own cached scaler, kept while bands keep their height.
    bandScaler_.reset(ff::sws_getCachedContext(bandScaler_.release(), width, height,
                                               AV_PIX_FMT_BGR24, width, height, format, SWS_BICUBIC,
                                               nullptr, nullptr, nullptr));
    if (!bandScaler_)
        return false;
    const uint8_t* source[4] = {bitmap.ScanLine(first), nullptr, nullptr, nullptr};
    const int sourceLines[4] = {bitmap.BytesPerLine(), 0, 0, 0};
    uint8_t* target[4] = {};
    int planeCount = 0;
    for (int c = 0; c < descriptor->nb_components; ++c)
        planeCount = std::max(planeCount, descriptor->comp[c].plane + 1);
    for (int plane = 0; plane < planeCount && plane < 4; ++plane) {
        const bool chroma =
            (plane == 1 || plane == 2) && !(descriptor->flags & AV_PIX_FMT_FLAG_RGB);
        const int row = chroma ? first >> descriptor->log2_chroma_h : first;
        target[plane] = planes[plane] + static_cast<ptrdiff_t>(row) * lineSizes[plane];
    }
    ff::sws_scale(bandScaler_.get(), source, sourceLines, 0, height, target, lineSizes);
    return true;
}

void TPictureConverter::Release() {
    toBgr_.reset();
    fromBgr_.reset();
    bandScaler_.reset();
}

} // namespace tovik
