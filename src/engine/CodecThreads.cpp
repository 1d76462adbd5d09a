#include "engine/CodecThreads.h"

#include <algorithm>

namespace tovik {

int AutomaticEncoderThreads(const AVCodec* encoder, int cores) {
    constexpr int kOwnThreads = AV_CODEC_CAP_FRAME_THREADS | AV_CODEC_CAP_OTHER_THREADS;
    if (!encoder || encoder->type != AVMEDIA_TYPE_VIDEO || (encoder->capabilities & kOwnThreads) ||
        !(encoder->capabilities & AV_CODEC_CAP_SLICE_THREADS))
        return 0;
    return std::max(1, cores / 2);
}

} // namespace tovik
