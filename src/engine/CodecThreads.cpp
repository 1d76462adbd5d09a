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

int AutomaticDecoderThreads(const AVCodec* decoder, int cores) {
    if (!decoder || decoder->type != AVMEDIA_TYPE_VIDEO)
        return 0;
    switch (decoder->id) {
    case AV_CODEC_ID_MPEG1VIDEO:
    case AV_CODEC_ID_MPEG2VIDEO:
    case AV_CODEC_ID_MPEG4:
    case AV_CODEC_ID_H263:
    case AV_CODEC_ID_H263P:
    case AV_CODEC_ID_MSMPEG4V3:
    case AV_CODEC_ID_WMV1:
    case AV_CODEC_ID_WMV2:
    case AV_CODEC_ID_DVVIDEO:
    case AV_CODEC_ID_MJPEG:
        return std::max(1, cores / 2);
    default:
        return 0;
    }
}

bool CodesGroupsApart(AVCodecID encoder) {
    switch (encoder) {
    case AV_CODEC_ID_MSMPEG4V2:
    case AV_CODEC_ID_MSMPEG4V3:
    case AV_CODEC_ID_WMV1:
    case AV_CODEC_ID_WMV2:
        return true;
    default:
        return false;
    }
}

int GroupEncoderCount(int cores) {
    return std::clamp(cores, 1, 4);
}

} // namespace tovik
