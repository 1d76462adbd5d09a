// The subtitle decoding thread: picture subtitles into the four-slot subtitle queue, which
// the display blends onto the pictures at their time.

#include "player/MediaPlayer.h"
#include "player/Playback.h"

#include <chrono>

namespace tovik {

namespace {
using namespace std::chrono_literals;
}

void TPlayback::SubtitleThread() {
    TPacketPtr packet;
    AVCodecContext* codec = subtitleCodec_.get();
    const double timeBase = ::av_q2d(subtitleStream_->time_base);
    for (;;) {
        while (paused_.load() && !subtitleQueue_.Aborted() && !pausedAtSeek_.load())
            std::this_thread::sleep_for(10ms);
        bool aborted = false;
        const TQueueEntry entry = subtitleQueue_.Get(packet, true, &aborted);
        if (aborted)
            break;
        if (entry == TQueueEntry::qeFlush) {
            ff::avcodec_flush_buffers(codec);
            continue;
        }
        if (entry != TQueueEntry::qePacket)
            continue;
        {
            std::unique_lock lock(subtitleMutex_);
            subtitleCond_.wait(lock, [this] {
                return subtitleSize_ < kSubtitleSlots || subtitleQueue_.Aborted();
            });
        }
        if (subtitleQueue_.Aborted())
            break;
        AVSubtitle subtitle{};
        int got = 0;
        const int used = ff::avcodec_decode_subtitle2(codec, &subtitle, &got, packet.get());
        const double pts =
            packet->pts != AV_NOPTS_VALUE ? static_cast<double>(packet->pts) * timeBase : 0;
        packet.reset();
        if (used < 0 || !got)
            continue;
        if (subtitle.format != 0) { // text subtitles are not drawn
            ff::avsubtitle_free(&subtitle);
            continue;
        }
        std::lock_guard lock(subtitleMutex_);
        TSubtitleSlot& slot = subtitles_[static_cast<size_t>(subtitleWrite_)];
        slot.Subtitle = subtitle;
        slot.Pts =
            subtitle.pts != AV_NOPTS_VALUE ? static_cast<double>(subtitle.pts) / AV_TIME_BASE : pts;
        subtitleWrite_ = (subtitleWrite_ + 1) % kSubtitleSlots;
        ++subtitleSize_;
    }
}

} // namespace tovik
