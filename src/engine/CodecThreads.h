#pragma once
// How many threads a codec gets when the task leaves "threads" automatic.

#include "media/FFmpegPtr.h"

namespace tovik {

// Encoders that thread only by slices (mpeg4, MPEG-1/2, H.263) cut every picture into a
// slice per thread. Beside the decoding and the other encoders, which now run on stages of
// their own, a slice per core costs more than it gains on few cores (the mpeg4 line took
// 1.2x as long with a slice per core as with one slice on two cores), so they get half the
// cores. Encoders with threads of their own (frame threads as in DV, libx264's) and encoders
// that do not thread keep the library's automatic choice (0). The count depends on the
// machine only, never on whether the stages run on threads, so both ways give the same file.
// Null encoder (a copied stream): 0.
int AutomaticEncoderThreads(const AVCodec* encoder, int cores);

// Decoders of the older video codecs (MPEG-1/2/4 part 2, H.263, WMV, DV, MJPEG) decode a
// picture in a fraction of what encoding it costs; frame threads add about half again to
// their CPU time, which the encoder stages beside them then lack (the WMV line took 1.07x as
// long with them). They get half the cores. Heavier decoders (H.264, HEVC, VP9, AV1), where
// frame threads pay, and sound keep the library's automatic choice (0). Decoding gives the
// same pictures with any count.
int AutomaticDecoderThreads(const AVCodec* decoder, int cores);

// Encoders that neither thread nor carry anything from one group of pictures into the next
// beyond what a key picture resets (the WMV 7/8 and MS MPEG-4 family, without B-frames):
// their groups can be coded by separate encoders side by side and their packets put back
// in order, which is how a conversion to them uses more than one core.
bool CodesGroupsApart(AVCodecID encoder);
// Encoders coding groups side by side, when the task leaves "threads" automatic: one per
// core, at most four (beyond that the frame path is the slower stage), 1 on one core.
int GroupEncoderCount(int cores);

} // namespace tovik
