// Repeated pictures for encoders that code each picture from that picture alone (DV): the
// frame rate conversion repeats a picture by handing the same one over again (25 to 29.97
// frames a second repeats one in six). Such an encoder would give the same bytes again, so
// the packet is written again instead. The encoder may hold a few pictures (frame threads):
// repeats wait beside their picture until its packet is out.

#include "engine/FFmpeg.h"
#include "engine/TranscodeState.h"

namespace tovik {

namespace {

bool SamePicture(const AVFrame& a, const AVFrame& b) {
    // The last picture is held by reference, so its buffer cannot have been reused.
    if (!a.buf[0] || !b.buf[0] || a.buf[0]->data != b.buf[0]->data)
        return false;
    for (int plane = 0; plane < AV_NUM_DATA_POINTERS; ++plane)
        if (a.data[plane] != b.data[plane] || a.linesize[plane] != b.linesize[plane])
            return false;
    return a.width == b.width && a.height == b.height && a.format == b.format &&
           a.interlaced_frame == b.interlaced_frame && a.top_field_first == b.top_field_first;
}

} // namespace

bool TCustomFFmpeg::TakeRepeat(TOutputStream& ost, const AVFrame& frame) {
    TOutputStream::TRepeats& repeats = ost.Repeats;
    if (!repeats.LastPicture || !SamePicture(*repeats.LastPicture, frame))
        return false;
    ++ost.SentFrames;
    ost.NextSentPts = frame.pts + 1;
    if (!repeats.Pending.empty())
        repeats.Pending.back().push_back(frame.pts);
    else
        WriteRepeat(ost, frame.pts); // the picture's packet is out already
    return true;
}

void TCustomFFmpeg::NoteCoded(TOutputStream& ost, const AVFrame& frame) {
    TOutputStream::TRepeats& repeats = ost.Repeats;
    if (!repeats.LastPicture) {
        repeats.LastPicture = MakeFrame();
        repeats.LastPacket = MakePacket();
        repeats.Copy = MakePacket();
        if (!repeats.LastPicture || !repeats.LastPacket || !repeats.Copy)
            throw FFmpegException("Video encoding failed");
    }
    ff::av_frame_unref(repeats.LastPicture.get());
    if (ff::av_frame_ref(repeats.LastPicture.get(), &frame) < 0)
        throw FFmpegException("Video encoding failed");
    repeats.Pending.emplace_back();
}

void TCustomFFmpeg::WriteRepeats(TOutputStream& ost) {
    TOutputStream::TRepeats& repeats = ost.Repeats;
    if (repeats.Pending.empty())
        return;
    const std::vector<int64_t> times = std::move(repeats.Pending.front());
    repeats.Pending.pop_front();
    for (const int64_t pts : times)
        WriteRepeat(ost, pts);
}

void TCustomFFmpeg::WriteRepeat(TOutputStream& ost, int64_t pts) {
    AVPacket* copy = ost.Repeats.Copy.get();
    if (ff::av_packet_ref(copy, ost.Repeats.LastPacket.get()) < 0)
        throw FFmpegException("Video encoding failed");
    copy->pts = copy->dts = pts;
    WriteEncoded(ost, copy, ost.SentFrames - 1, pts);
}

} // namespace tovik
