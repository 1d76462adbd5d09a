#include "engine/AudioFormats.h"

#include "media/LibraryBindings.h"

#include <cstdlib>

namespace tovik {

void NearestChannelLayout(const AVCodec* encoder, const AVChannelLayout& wanted,
                          AVChannelLayout& chosen) {
    const AVChannelLayout* layouts = encoder ? encoder->ch_layouts : nullptr;
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
