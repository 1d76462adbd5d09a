// Group encoders: a video stream whose encoder neither threads nor carries anything from one
// group of pictures into the next (CodecThreads.h) is coded by several copies of its encoder
// side by side. The frame path hands group g to encoder g mod their count, the group's first
// picture marked as a key picture; each encoder runs on a stage thread of its own and hands
// its finished groups back; they are written strictly in group order.
//
// What the result depends on is fixed before the conversion: the machine's core count and
// the stream's settings, never whether the stages run on threads (without threads the
// encoders simply take turns), so a conversion gives the same file either way.

#include "engine/CodecThreads.h"
#include "engine/FFmpeg.h"
#include "engine/TranscodeState.h"
#include "media/MediaLogger.h"

#include <algorithm>
#include <cstring>

namespace tovik {

namespace {

// Pictures waiting per group encoder: a whole group, so that the frame path hands it over
// and goes on to the next encoder's group while this one codes; a long group only up to
// where memory would grow (25 pictures of 1080p are 75 MB).
size_t GroupQueue(int64_t length) {
    return static_cast<size_t>(std::clamp<int64_t>(length, 4, 25));
}

// The fields the engine sets on a video encoder outside the generic options, copied as
// they are (av_opt_copy takes the rest).
void CopyPlainFields(const AVCodecContext& from, AVCodecContext& to) {
    to.codec_type = from.codec_type;
    to.codec_id = from.codec_id;
    to.width = from.width;
    to.height = from.height;
    to.time_base = from.time_base;
    to.framerate = from.framerate;
    to.sample_aspect_ratio = from.sample_aspect_ratio;
    to.pix_fmt = from.pix_fmt;
    to.global_quality = from.global_quality;
    to.gop_size = from.gop_size;
    to.flags = from.flags;
    to.flags2 = from.flags2;
    to.bit_rate = from.bit_rate;
    to.bit_rate_tolerance = from.bit_rate_tolerance;
    to.rc_max_rate = from.rc_max_rate;
    to.rc_min_rate = from.rc_min_rate;
    to.rc_buffer_size = from.rc_buffer_size;
    to.rc_initial_buffer_occupancy = from.rc_initial_buffer_occupancy;
    to.qmin = from.qmin;
    to.qmax = from.qmax;
    to.intra_dc_precision = from.intra_dc_precision;
    to.bits_per_raw_sample = from.bits_per_raw_sample;
    to.field_order = from.field_order;
    to.color_range = from.color_range;
    to.color_primaries = from.color_primaries;
    to.color_trc = from.color_trc;
    to.colorspace = from.colorspace;
    to.chroma_sample_location = from.chroma_sample_location;
    to.strict_std_compliance = from.strict_std_compliance;
    to.thread_count = from.thread_count;
}

// Whether two opened encoders code alike: what they tell the decoder and the settings that
// shape their pictures.
bool CodeAlike(const AVCodecContext& a, const AVCodecContext& b) {
    return a.width == b.width && a.height == b.height && a.pix_fmt == b.pix_fmt &&
           a.time_base.num == b.time_base.num && a.time_base.den == b.time_base.den &&
           a.bit_rate == b.bit_rate && a.gop_size == b.gop_size && a.flags == b.flags &&
           a.max_b_frames == b.max_b_frames && a.global_quality == b.global_quality &&
           a.qmin == b.qmin && a.qmax == b.qmax && a.extradata_size == b.extradata_size &&
           (a.extradata_size == 0 ||
            std::memcmp(a.extradata, b.extradata, static_cast<size_t>(a.extradata_size)) == 0);
}

// Groups longer than this stay with one encoder: each further encoder first codes as many
// groups as come before its own only to warm up, which for long groups is much of a short
// file coded twice, and few long groups leave little to code side by side.
constexpr int kLongestGroup = 50;

// Marks a picture an encoder codes only to warm its rate control up (frame->opaque).
const char kWarmUp = 0;
// The group of a warm-up picture's packet: none, it is dropped.
constexpr int64_t kDropped = -2;

} // namespace

std::vector<TCodecContextPtr> TCustomFFmpeg::CopyForGroups(const TOutputStream& ost) {
    const AVCodecContext& encoder = *ost.Setup->Codec;
    const AVCodec* codec = ost.Setup->Encoder;
    std::vector<TCodecContextPtr> copies;
    // Only where nothing ties one group to the next: no given thread count, no two-pass
    // statistics, rate overrides, matrices or B-frames, no per-picture statistics file; and
    // groups short enough to pay.
    if (encoder.codec_type != AVMEDIA_TYPE_VIDEO || !codec || !CodesGroupsApart(codec->id) ||
        encoder.thread_count != 0 ||
        (encoder.flags & (AV_CODEC_FLAG_PASS1 | AV_CODEC_FLAG_PASS2)) ||
        encoder.rc_override_count > 0 || encoder.intra_matrix || encoder.inter_matrix ||
        encoder.max_b_frames > 0 || encoder.gop_size > kLongestGroup ||
        !settings_.VStatsFileName.empty())
        return copies;
    const int count = GroupEncoderCount(ff::av_cpu_count());
    for (int i = 1; i < count; ++i) {
        TCodecContextPtr copy(ff::avcodec_alloc_context3(codec));
        if (!copy || ff::av_opt_copy(copy.get(), &encoder) < 0 ||
            (encoder.priv_data && copy->priv_data &&
             ff::av_opt_copy(copy->priv_data, encoder.priv_data) < 0))
            return {};
        CopyPlainFields(encoder, *copy);
        copies.push_back(std::move(copy));
    }
    return copies;
}

void TCustomFFmpeg::OpenGroupEncoders(TOutputStream& ost, std::vector<TCodecContextPtr> copies) {
    if (copies.empty())
        return;
    const AVCodecContext& encoder = *ost.Setup->Codec;
    const AVCodec* codec = ost.Setup->Encoder;
    std::deque<TOutputStream::TGroupEncoder>& encoders = ost.Groups.Encoders;
    encoders.clear();
    encoders.emplace_back().Codec = ost.Setup->Codec.get();
    for (TCodecContextPtr& copy : copies) {
        // One encoder that would code differently, and the stream keeps to its own.
        if (OpenEncoder(*copy, codec) < 0 || !CodeAlike(encoder, *copy)) {
            LoggerInstance().Log(this, TLogLevel::llVerbose,
                                 "The encoder's groups of pictures are coded one after another.");
            encoders.clear();
            return;
        }
        TOutputStream::TGroupEncoder& group = encoders.emplace_back();
        group.Twin = std::move(copy);
        group.Codec = group.Twin.get();
    }
    ost.Groups.Length = std::max(1, encoder.gop_size);
}

void TCustomFFmpeg::StartGroupStages(TOutputStream& ost, bool threaded) {
    for (TOutputStream::TGroupEncoder& group : ost.Groups.Encoders) {
        group.Packet = MakePacket();
        if (!group.Packet)
            throw FFmpegException("Cannot allocate buffers");
        group.Stage = std::make_unique<TFrameStage>(
            GroupQueue(ost.Groups.Length),
            [this, &ost, &group](AVFrame* frame) { EncodeInGroup(ost, group, frame); }, threaded);
    }
}

void TCustomFFmpeg::PushToGroups(TOutputStream& ost, AVFrame* frame) {
    TOutputStream::TGroups& groups = ost.Groups;
    const int64_t index = ost.FrameNumber; // pictures handed over before this one
    const int64_t group = index / groups.Length;
    if (index % groups.Length == 0)
        frame->pict_type = AV_PICTURE_TYPE_I; // each group starts where a decoder can
    frame->opaque = nullptr;
    const auto count = static_cast<int64_t>(groups.Encoders.size());
    // An encoder whose rate control started cold would code its first group with far more
    // bits than asked (a tenth more file over the first seconds). Encoder k first codes the
    // k groups before its own and drops their packets: it then starts where one encoder
    // alone would be, while the encoders before it code those groups for real.
    for (int64_t later = group + 1; later < count; ++later) {
        TFramePtr copy = MakeFrame();
        if (!copy || ff::av_frame_ref(copy.get(), frame) < 0)
            throw FFmpegException("Video encoding failed");
        copy->opaque = const_cast<char*>(&kWarmUp);
        groups.Encoders[static_cast<size_t>(later)].Stage->Push(copy.get());
    }
    groups.Encoders[static_cast<size_t>(group % count)].Stage->Push(frame);
}

void TCustomFFmpeg::EncodeInGroup(TOutputStream& ost, TOutputStream::TGroupEncoder& group,
                                  AVFrame* frame) {
    TOutputStream::TGroups& groups = ost.Groups;
    if (frame && frame->opaque == &kWarmUp) {
        group.Sent.push_back({kDropped, frame->pts});
    } else if (frame) {
        // Each encoder takes whole groups in turn: its k-th picture is in its (k / Length)-th.
        const auto count = static_cast<int64_t>(groups.Encoders.size());
        const auto own = static_cast<int64_t>(&group - &groups.Encoders.front());
        const int64_t index = own + count * (group.Pictures / groups.Length);
        group.Sent.push_back({index, frame->pts});
        ++group.Pictures;
    }
    // Each encoder sees its pictures one frame apart: its rate control counts time by them.
    if (frame)
        frame->pts = group.Coded++;
    if (ff::avcodec_send_frame(group.Codec, frame) < 0)
        throw FFmpegException("Video encoding failed");
    AVPacket* packet = group.Packet.get();
    for (;;) {
        const int result = ff::avcodec_receive_packet(group.Codec, packet);
        if (result == AVERROR(EAGAIN) || result == AVERROR_EOF)
            break;
        if (result < 0)
            throw FFmpegException("Video encoding failed");
        const int64_t index = group.Sent.empty() ? group.OpenGroup : group.Sent.front().Group;
        if (!group.Sent.empty()) {
            packet->pts = packet->dts = group.Sent.front().Pts;
            group.Sent.pop_front();
        }
        if (index == kDropped) {
            ff::av_packet_unref(packet);
            continue;
        }
        if (index != group.OpenGroup)
            FinishGroup(ost, group);
        group.OpenGroup = index;
        TPacketPtr kept = MakePacket();
        if (!kept)
            throw FFmpegException("Video encoding failed");
        ff::av_packet_move_ref(kept.get(), packet);
        group.OpenPackets.push_back(std::move(kept));
    }
    // A group is done once its last picture came out, or at the end.
    if (!frame || (group.Sent.empty() && group.Pictures % groups.Length == 0))
        FinishGroup(ost, group);
}

void TCustomFFmpeg::FinishGroup(TOutputStream& ost, TOutputStream::TGroupEncoder& group) {
    if (group.OpenGroup < 0)
        return;
    TOutputStream::TGroups& groups = ost.Groups;
    std::lock_guard lock(groups.Mutex);
    groups.Done[group.OpenGroup] = std::move(group.OpenPackets);
    group.OpenPackets.clear();
    group.OpenGroup = -1;
    WriteFinishedGroups(ost, false);
}

void TCustomFFmpeg::WriteFinishedGroups(TOutputStream& ost, bool all) {
    TOutputStream::TGroups& groups = ost.Groups;
    while (!groups.Done.empty() && (all || groups.Done.begin()->first == groups.NextGroup)) {
        auto next = groups.Done.begin();
        for (TPacketPtr& packet : next->second)
            WriteEncoded(ost, packet.get(), 0, packet->pts);
        groups.NextGroup = next->first + 1;
        groups.Done.erase(next);
    }
}

} // namespace tovik
