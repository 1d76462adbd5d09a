#pragma once
// How a stream's display matrix (phones store the picture as the sensor saw it and say how
// to turn it) wants the picture shown: the turn in degrees and the filters that make the
// stored picture upright, as the ffmpeg tool turns it by default.

#include "media/FFmpegPtr.h"

#include <string>

namespace tovik {

// Degrees clockwise, in [0, 360), rounded to whole degrees; 0 without a display matrix.
int DisplayRotation(const AVStream& stream);
// Filter chain text ("transpose=clock", "hflip,vflip", ...) that turns the stored picture
// upright; empty when it already is.
std::string UprightFilter(const AVStream& stream);
// Whether the upright picture has width and height swapped against the stored one.
bool RotationSwapsSize(const AVStream& stream);
// The stored picture's sample aspect: the container's when it gives one, else the codec's
// (0/1 when neither knows).
AVRational StoredSampleAspect(const AVStream& stream);

} // namespace tovik
