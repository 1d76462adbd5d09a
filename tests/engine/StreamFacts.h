#pragma once
// Every stream of a file decoded to its end with the libraries, for checks stream by stream:
// where each starts and ends, its layout, its shape and what its first picture or first
// sound looks like.

#include "media/Bitmap.h"
#include "media/FFmpegPtr.h"

#include <string>
#include <vector>

namespace tovik::test {

struct TDecodedStream {
    AVMediaType Type = AVMEDIA_TYPE_UNKNOWN;
    std::string Codec;
    bool AttachedPicture = false;
    double Start = 0; // seconds: the first decoded frame's time
    double End = 0;   // seconds: the end of the last decoded frame
    int Frames = 0;   // decoded frames
    // Audio.
    int64_t Samples = 0;
    int Channels = 0;
    std::string Layout;
    int SampleRate = 0;
    double FirstPeak = -1; // largest magnitude (0..1) in the first 5..25 ms
    // Video.
    int Width = 0;
    int Height = 0;
    AVRational SampleAspect{0, 1}; // of the stream, else of the first picture
    int Rotation = 0;              // degrees clockwise the display matrix turns, 0 none
    TBitmap FirstPicture;
    double Length() const { return End - Start; }
    double DisplayAspect() const;
};

// Empty when the file cannot be opened.
std::vector<TDecodedStream> DecodeStreams(const std::string& fileName);
// The streams of one type in file order.
std::vector<TDecodedStream> StreamsOfType(const std::vector<TDecodedStream>& streams,
                                          AVMediaType type);
// Mean brightness (0..255) of a rectangle of a bitmap.
double MeanLevel(const TBitmap& bitmap, int x, int y, int width, int height);
// Which corner of the picture is bright: 0 top left, 1 top right, 2 bottom right, 3 bottom
// left, -1 none or more than one.
int BrightCorner(const TBitmap& bitmap);

} // namespace tovik::test
