// Every built-in preset applied to a libx264 stream through the engine's options must open
// the encoder of today's libraries and encode, and the encoder must really use what the
// preset asks for. libx264 writes its effective settings as text into the first packet
// ("... options: cabac=0 ref=1 ..."); the tests read them from there and from the SPS/PPS.

#include "EngineTestSupport.h"

#include "engine/EncoderNames.h"
#include "engine/OptionsPreset.h"
#include "media/FFmpegPtr.h"

#include <map>
#include <sstream>

namespace tovik {
namespace {

struct TEncodeResult {
    bool Opened = false;
    int Packets = 0;
    bool Reordered = false;                  // some packet with pts != dts: B-frames
    std::map<std::string, std::string> X264; // libx264's options text
    std::vector<uint8_t> Extradata;
};

std::map<std::string, std::string> ParseX264Options(const std::string& data) {
    std::map<std::string, std::string> options;
    const size_t at = data.find("options: ");
    if (at == std::string::npos)
        return options;
    size_t end = at + 9;
    while (end < data.size() && data[end] >= 0x20 && data[end] < 0x7f)
        ++end;
    std::istringstream words(data.substr(at + 9, end - at - 9));
    std::string word;
    while (words >> word) {
        const size_t equals = word.find('=');
        if (equals != std::string::npos)
            options[word.substr(0, equals)] = word.substr(equals + 1);
    }
    return options;
}

// Encodes ten 64x48 frames of a moving gradient with the task's video settings.
TEncodeResult EncodeWithTask(const TFFmpeg& task) {
    TEncodeResult result;
    std::string error;
    const AVCodec* codec =
        FindEncoderByName(task.Settings().VideoCodecName, AVMEDIA_TYPE_VIDEO, error);
    EXPECT_NE(codec, nullptr) << error;
    if (!codec)
        return result;
    TCodecContextPtr context(ff::avcodec_alloc_context3(codec));
    task.DefaultOptions()->ApplyDefaultOptions(
        task.DefaultOptions()->CodecContext(AVMEDIA_TYPE_VIDEO), context.get(),
        AV_OPT_FLAG_ENCODING_PARAM | AV_OPT_FLAG_VIDEO_PARAM);
    context->width = 64;
    context->height = 48;
    context->pix_fmt = AV_PIX_FMT_YUV420P;
    context->time_base = {1, 25};
    context->framerate = {25, 1};
    context->thread_count = 1;
    context->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    AVDictionary* options = task.DefaultOptions()->EncoderOptions(codec);
    const int opened = ff::avcodec_open2(context.get(), codec, &options);
    ff::av_dict_free(&options);
    EXPECT_GE(opened, 0) << "avcodec_open2 failed";
    if (opened < 0)
        return result;
    result.Opened = true;
    result.Extradata.assign(context->extradata, context->extradata + context->extradata_size);

    TFramePtr frame(ff::av_frame_alloc());
    frame->width = 64;
    frame->height = 48;
    frame->format = AV_PIX_FMT_YUV420P;
    EXPECT_GE(ff::av_frame_get_buffer(frame.get(), 0), 0);
    TPacketPtr packet(ff::av_packet_alloc());
    std::string bytes;
    auto drain = [&] {
        while (ff::avcodec_receive_packet(context.get(), packet.get()) >= 0) {
            ++result.Packets;
            result.Reordered = result.Reordered || packet->pts != packet->dts;
            bytes.append(reinterpret_cast<const char*>(packet->data),
                         static_cast<size_t>(packet->size));
            ff::av_packet_unref(packet.get());
        }
    };
    for (int index = 0; index < 10; ++index) {
        ff::av_frame_make_writable(frame.get());
        for (int plane = 0; plane < 3; ++plane) {
            const int height = plane ? 24 : 48;
            const int width = plane ? 32 : 64;
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x)
                    frame->data[plane][y * frame->linesize[plane] + x] =
                        static_cast<uint8_t>(plane ? 128 + y - index : x * 3 + y + index * 4);
        }
        frame->pts = index;
        EXPECT_GE(ff::avcodec_send_frame(context.get(), frame.get()), 0);
        drain();
    }
    ff::avcodec_send_frame(context.get(), nullptr);
    drain();
    result.X264 = ParseX264Options(bytes);
    return result;
}

// The NAL unit of that type from Annex-B extradata, header byte excluded.
std::vector<uint8_t> FindNal(const std::vector<uint8_t>& data, int type) {
    for (size_t at = 0; at + 4 < data.size(); ++at) {
        if (data[at] == 0 && data[at + 1] == 0 && data[at + 2] == 1 &&
            (data[at + 3] & 0x1f) == type) {
            size_t end = at + 4;
            while (end + 2 < data.size() && !(data[end] == 0 && data[end + 1] == 0 &&
                                              (data[end + 2] == 1 || data[end + 2] == 0)))
                ++end;
            return {data.begin() + static_cast<long>(at + 4),
                    data.begin() + static_cast<long>(std::min(end + 2, data.size()))};
        }
    }
    return {};
}

// Reads the PPS far enough for entropy_coding_mode_flag (1: CABAC).
int EntropyCodingMode(const std::vector<uint8_t>& pps) {
    size_t bit = 0;
    auto readBit = [&] {
        const int value = (pps.at(bit / 8) >> (7 - bit % 8)) & 1;
        ++bit;
        return value;
    };
    auto readUe = [&] {
        int zeros = 0;
        while (readBit() == 0)
            ++zeros;
        int value = 1;
        for (int index = 0; index < zeros; ++index)
            value = value << 1 | readBit();
        return value - 1;
    };
    readUe(); // pic_parameter_set_id
    readUe(); // seq_parameter_set_id
    return readBit();
}

class PresetEncodeTest : public test::EngineOptionsTest {
protected:
    TEncodeResult EncodePreset(const std::string& name) {
        task_.ResetEngine();
        task_.SetOption("vcodec", "libx264");
        task_.SetOption("vpre", name);
        return EncodeWithTask(task_);
    }
};

TEST_F(PresetEncodeTest, BaselineGivesNoCabacAndNoBFrames) {
    const TEncodeResult result = EncodePreset("baseline");
    ASSERT_TRUE(result.Opened);
    EXPECT_EQ(result.X264.at("cabac"), "0");
    EXPECT_EQ(result.X264.at("bframes"), "0");
    EXPECT_EQ(result.X264.at("8x8dct"), "0");
    EXPECT_EQ(result.X264.at("weightp"), "0");
    EXPECT_FALSE(result.Reordered) << "no B-frames in the coded stream";
    const std::vector<uint8_t> sps = FindNal(result.Extradata, 7);
    ASSERT_FALSE(sps.empty());
    EXPECT_EQ(sps[0], 66) << "profile_idc Baseline";
    const std::vector<uint8_t> pps = FindNal(result.Extradata, 8);
    ASSERT_FALSE(pps.empty());
    EXPECT_EQ(EntropyCodingMode(pps), 0) << "CAVLC";

    // The same picture with the medium preset does use CABAC and B-frames.
    const TEncodeResult medium = EncodePreset("medium");
    ASSERT_TRUE(medium.Opened);
    EXPECT_EQ(EntropyCodingMode(FindNal(medium.Extradata, 8)), 1);
    EXPECT_TRUE(medium.Reordered);
    EXPECT_EQ(medium.X264.at("b_pyramid"), "2");
}

TEST_F(PresetEncodeTest, Ipod320KeepsItsLevel) {
    const TEncodeResult result = EncodePreset("libx264-ipod320");
    ASSERT_TRUE(result.Opened);
    const std::vector<uint8_t> sps = FindNal(result.Extradata, 7);
    ASSERT_GE(sps.size(), 3u);
    EXPECT_EQ(sps[2], 13) << "level_idc";
    EXPECT_EQ(result.X264.at("vbv_maxrate"), "768");
}

// What libx264 reports for a preset line (old key and value), or nothing to check.
void ExpectLine(const std::map<std::string, std::string>& x264, const std::string& key,
                const std::string& value, const std::string& preset) {
    auto expect = [&](const std::string& name, const std::string& wanted) {
        const auto found = x264.find(name);
        ASSERT_NE(found, x264.end()) << preset << ": no " << name;
        EXPECT_EQ(found->second, wanted) << preset << ": " << key << "=" << value;
    };
    const bool bFrames = x264.count("bframes") && x264.at("bframes") != "0";
    // A constant quantiser has no rate control to report.
    const bool rateControl = !x264.count("rc") || x264.at("rc") != "cqp";
    if (key == "coder")
        expect("cabac", value);
    else if (key == "bf")
        expect("bframes", value);
    else if (key == "refs")
        expect("ref", value);
    else if (key == "subq")
        expect("subme", value);
    else if (key == "me_method")
        expect("me", value);
    else if (key == "me_range")
        // libx264 limits the range of the diamond and hexagon searches to 16.
        expect("me_range", (x264.count("me") && (x264.at("me") == "dia" || x264.at("me") == "hex"))
                               ? std::to_string(std::min(16, std::stoi(value)))
                               : value);
    else if (key == "g")
        expect("keyint", value);
    else if (key == "keyint_min")
        expect("keyint_min", value);
    else if (key == "sc_threshold")
        expect("scenecut", value);
    else if (key == "qmin" && rateControl)
        expect("qpmin", value);
    else if (key == "qmax" && rateControl)
        expect("qpmax", value);
    else if (key == "qdiff" && rateControl)
        expect("qpstep", value);
    else if (key == "qcomp" && rateControl)
        expect("qcomp", "0.60");
    else if (key == "i_qfactor" && rateControl)
        expect("ip_ratio", "1.41");
    else if (key == "wpredp")
        expect("weightp", value);
    else if (key == "cqp") {
        expect("rc", "cqp");
        expect("qp", value);
    } else if (key == "trellis")
        expect("trellis", value);
    else if (key == "directpred" && bFrames)
        expect("direct", value);
    else if (key == "b_strategy" && bFrames)
        expect("b_adapt", value);
    else if (key == "flags")
        expect("deblock", value == "-loop" ? "0:0:0" : "1:0:0");
}

// Flags of "flags2" as libx264 reports them.
void ExpectFlags2(const std::map<std::string, std::string>& x264, const std::string& value,
                  const std::string& preset) {
    const bool bFrames = x264.count("bframes") && x264.at("bframes") != "0";
    const bool manyRefs = x264.count("ref") && x264.at("ref") != "1";
    const bool lossless = x264.count("qp") && x264.at("qp") == "0";
    size_t at = 0;
    while (at < value.size()) {
        const char sign = value[at++];
        const size_t end = value.find_first_of("+-", at);
        const std::string token = value.substr(at, end == std::string::npos ? end : end - at);
        at = end == std::string::npos ? value.size() : end;
        const std::string on = sign == '+' ? "1" : "0";
        auto expect = [&](const std::string& name, const std::string& wanted) {
            const auto found = x264.find(name);
            ASSERT_NE(found, x264.end()) << preset << ": no " << name;
            EXPECT_EQ(found->second, wanted) << preset << ": flags2 " << sign << token;
        };
        if (token == "dct8x8")
            expect("8x8dct", on);
        else if (token == "fastpskip" && !lossless) // lossless coding never skips
            expect("fast_pskip", on);
        else if (token == "mixed_refs" && manyRefs)
            expect("mixed_ref", on);
        else if (token == "wpred" && bFrames)
            expect("weightb", on);
        else if (token == "bpyramid" && bFrames && x264.at("bframes") != "1")
            expect("b_pyramid", sign == '+' ? "2" : "0");
        else if (token == "mbtree" && !lossless)
            expect("mbtree", on);
    }
}

TEST_F(PresetEncodeTest, EveryPresetEncodesWithWhatItAsksFor) {
    ASSERT_EQ(TOptionsPreset::Count(), 40);
    for (int index = 0; index < TOptionsPreset::Count(); ++index) {
        const std::string& name = TOptionsPreset::Name(index);
        SCOPED_TRACE(name);
        const TEncodeResult result = EncodePreset(name);
        ASSERT_TRUE(result.Opened);
        EXPECT_GT(result.Packets, 0);
        ASSERT_FALSE(result.X264.empty()) << "libx264's options text is missing";
        for (const TPresetLine& line :
             TOptionsPreset::ParseLines(name, TOptionsPreset::Text(index))) {
            if (line.Key == "flags2")
                ExpectFlags2(result.X264, line.Value, name);
            else
                ExpectLine(result.X264, line.Key, line.Value, name);
        }
        EXPECT_EQ(result.Reordered, result.X264.at("bframes") != "0") << name;
    }
}

TEST_F(PresetEncodeTest, PartitionsReachTheEncoder) {
    // libx264 prints its partition masks as analyse=intra:inter; i8x8 0x2, i4x4 0x1,
    // p8x8 0x10, p4x4 0x20, b8x8 0x100.
    EXPECT_EQ(EncodePreset("libx264-normal").X264.at("analyse"), "0x3:0x113");
    EXPECT_EQ(EncodePreset("libx264-max").X264.at("analyse"), "0x3:0x133");
    EXPECT_EQ(EncodePreset("libx264-fast_firstpass").X264.at("analyse"), "0x1:0");
    EXPECT_EQ(EncodePreset("libx264-ipod").X264.at("analyse"), "0x3:0x13");
}

} // namespace
} // namespace tovik
