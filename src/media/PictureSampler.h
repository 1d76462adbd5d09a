#pragma once
// Pictures from across a video file, decoded one by one: for looking at a file's pictures
// (finding its black borders, say) without playing it. Seeks to evenly spread times and
// decodes the first picture at or after each. Not thread-safe: one user at a time.

#include "media/Bitmap.h"
#include "media/FFmpegPtr.h"
#include "media/MediaProbe.h"
#include "media/PictureToBitmap.h"

#include <cstdint>
#include <functional>
#include <string>

namespace tovik {

class TPictureSampler {
public:
    // A picture as stored (not turned) and its time in microseconds (-1 when unknown).
    using TTake = std::function<void(const TBitmap& picture, int64_t time)>;

    TPictureSampler() = default;
    ~TPictureSampler();
    TPictureSampler(const TPictureSampler&) = delete;
    TPictureSampler& operator=(const TPictureSampler&) = delete;

    // Opens the file and the decoder of its first video stream. False with LastError.
    bool Open(const std::string& fileName);
    // Decodes count pictures, the i-th at or after (i + 1/2) / count of the file's length
    // (every 25th picture from the start when the length is unknown), and hands each to
    // take in file order. Returns how many were taken.
    int Sample(int count, const TTake& take);

    // Degrees clockwise the stored picture is turned to be shown (0, 90, 180, 270).
    int Rotation() const { return rotation_; }
    const std::string& LastError() const { return lastError_; }

private:
    // Decodes from the current read position until a picture at or after target (stream
    // units; any picture with AV_NOPTS_VALUE); the last one at the end of the file.
    bool DecodeFrom(int64_t target, int maxPictures, AVFrame& picture);
    void Close();

    TMediaProbe probe_;
    TCodecContextPtr decoder_;
    TPacketPtr packet_;
    TFramePtr frame_;
    TPictureConverter converter_;
    TBitmap bitmap_;
    int stream_ = -1;
    int rotation_ = 0;
    bool draining_ = false;
    std::string lastError_;
};

} // namespace tovik
