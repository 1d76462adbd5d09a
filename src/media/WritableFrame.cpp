#include "media/WritableFrame.h"

#include "media/FFmpegPtr.h"

#include <algorithm>

namespace tovik {

TRowBand ChromaAlignedBand(const AVPixFmtDescriptor& descriptor, int height, int firstRow,
                           int rowCount) {
    const int step = 1 << descriptor.log2_chroma_h;
    TRowBand band;
    band.First = std::max(0, firstRow) / step * step;
    band.End = std::min(height, (firstRow + rowCount + step - 1) / step * step);
    return band;
}

int MakeWritableForBand(AVFrame& frame, int firstRow, int rowCount) {
    if (ff::av_frame_is_writable(&frame))
        return 0;
    const AVPixFmtDescriptor* descriptor =
        ff::av_pix_fmt_desc_get(static_cast<AVPixelFormat>(frame.format));
    // Palettes, hardware and bit-stream pictures have no plain rows to leave out.
    constexpr uint64_t kNoRows =
        AV_PIX_FMT_FLAG_PAL | AV_PIX_FMT_FLAG_HWACCEL | AV_PIX_FMT_FLAG_BITSTREAM;
    bool plainRows =
        descriptor && !(descriptor->flags & kNoRows) && frame.width > 0 && frame.height > 0;
    for (int i = 0; plainRows && i < AV_NUM_DATA_POINTERS; ++i)
        plainRows = frame.linesize[i] >= 0;
    if (!plainRows)
        return ff::av_frame_make_writable(&frame);

    TFramePtr copy = MakeFrame();
    copy->format = frame.format;
    copy->width = frame.width;
    copy->height = frame.height;
    std::copy(std::begin(frame.linesize), std::end(frame.linesize), copy->linesize);
    if (const int error = ff::av_frame_get_buffer(copy.get(), 0); error < 0)
        return error;
    if (const int error = ff::av_frame_copy_props(copy.get(), &frame); error < 0)
        return error;
    int rowBytes[4] = {};
    if (const int error = ff::av_image_fill_linesizes(
            rowBytes, static_cast<AVPixelFormat>(frame.format), frame.width);
        error < 0)
        return error;
    const TRowBand band = ChromaAlignedBand(*descriptor, frame.height, firstRow, rowCount);
    for (int plane = 0; plane < 4 && frame.data[plane]; ++plane) {
        const bool chroma =
            (plane == 1 || plane == 2) && !(descriptor->flags & AV_PIX_FMT_FLAG_RGB);
        const int shift = chroma ? descriptor->log2_chroma_h : 0;
        const int rows = -((-frame.height) >> shift);
        const int bandFirst = band.First >> shift;
        const int bandEnd = std::min(rows, -((-band.End) >> shift));
        const auto copyRows = [&](int from, int to) {
            if (to > from)
                ff::av_image_copy_plane(
                    copy->data[plane] + static_cast<ptrdiff_t>(from) * copy->linesize[plane],
                    copy->linesize[plane],
                    frame.data[plane] + static_cast<ptrdiff_t>(from) * frame.linesize[plane],
                    frame.linesize[plane], rowBytes[plane], to - from);
        };
        copyRows(0, std::min(bandFirst, rows));
        copyRows(std::max(bandEnd, 0), rows);
    }
    ff::av_frame_unref(&frame);
    ff::av_frame_move_ref(&frame, copy.get());
    return 0;
}

} // namespace tovik
