#pragma once
// What an encoder can take that is nearest to what the source has: channel layout and
// sample rate. Encoders of older formats take mono and stereo only (MP3, MP2, WMA) or a fixed
// set of rates; a 5.1 or 7.1 source is then down-mixed, as the ffmpeg tool does.

#include "media/FFmpegPtr.h"

namespace tovik {

// The wanted layout when the encoder takes it (or lists none); else a layout of the same
// channel count, else the largest with fewer channels, else the smallest with more.
// chosen must be uninitialised or zeroed; the caller uninitialises it.
void NearestChannelLayout(const AVCodec* encoder, const AVChannelLayout& wanted,
                          AVChannelLayout& chosen);
// The wanted rate when the encoder takes it (or lists none), else the nearest it lists.
int NearestSampleRate(const AVCodec* encoder, int wanted);

} // namespace tovik
