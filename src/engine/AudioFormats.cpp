#include "engine/AudioFormats.h"

#include "media/LibraryBindings.h"

#include <algorithm>
#include <cstdlib>

namespace tovik {

namespace {

// Encoders that list no layouts but refuse more channels than these when opened.
int UnlistedChannelLimit(AVCodecID id) {
    switch (id) {
    case AV_CODEC_ID_WMAV1:
    case AV_CODEC_ID_WMAV2:
    case AV_CODEC_ID_ADPCM_SWF:
    case AV_CODEC_ID_ADPCM_YAMAHA:
    case AV_CODEC_ID_ROQ_DPCM:
        return 2;
    case AV_CODEC_ID_AMR_NB:
    case AV_CODEC_ID_AMR_WB:
    case AV_CODEC_ID_NELLYMOSER:
    case AV_CODEC_ID_RA_144:
    case AV_CODEC_ID_G723_1:
        return 1;
    default:
        return 0;
    }
}

} // namespace

void NearestChannelLayout(const AVCodec* encoder, const AVChannelLayout& wanted,
                          AVChannelLayout& chosen) {
    const AVChannelLayout* layouts = encoder ? encoder->ch_layouts : nullptr;
    if (encoder && !layouts) {
        const int limit = UnlistedChannelLimit(encoder->id);
        if (limit > 0 && wanted.nb_channels > limit) {
            ff::av_channel_layout_default(&chosen, limit);
            return;
        }
    }
    const AVChannelLayout* best = nullptr;
    if (layouts) {
        for (const AVChannelLayout* layout = layouts; layout->nb_channels; ++layout) {
            if (ff::av_channel_layout_compare(layout, &wanted) == 0) {
                best = nullptr;
                break;
            }
            const int count = layout->nb_channels;
            if (!best) {
                best = layout;
                continue;
            }
            const int bestCount = best->nb_channels;
            const int target = wanted.nb_channels;
            // Same count first; then fewer channels, the more the better; then the fewest more.
            const auto rank = [target](int n) { return n == target ? 0 : n < target ? 1 : 2; };
            const int r = rank(count);
            const int bestRank = rank(bestCount);
            if (r < bestRank || (r == bestRank && r == 1 && count > bestCount) ||
                (r == bestRank && r == 2 && count < bestCount))
                best = layout;
        }
    }
    ff::av_channel_layout_copy(&chosen, best ? best : &wanted);
}

int NearestSampleRate(const AVCodec* encoder, int wanted) {
    const int* rates = encoder ? encoder->supported_samplerates : nullptr;
    // WMA lists no rates but takes none above 48 kHz.
    if (encoder && !rates && (encoder->id == AV_CODEC_ID_WMAV1 || encoder->id == AV_CODEC_ID_WMAV2))
        return std::min(wanted, 48000);
    if (!rates || !*rates)
        return wanted;
    int best = rates[0];
    for (const int* rate = rates; *rate; ++rate) {
        if (*rate == wanted)
            return wanted;
        if (std::abs(*rate - wanted) < std::abs(best - wanted))
            best = *rate;
    }
    return best;
}

} // namespace tovik
