#include "media/DefaultOptions.h"

#include "media/MediaLogger.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace tovik {
namespace {

class DefaultOptionsTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::LoadEngineLibrariesOrFail();
        LoggerInstance().SetTriggerEventInMainThread(false);
        LoggerInstance().SetLogLevel(TLogLevel::llInfo);
        LoggerInstance().SetOnLog(
            [this](TObject*, uint32_t, TLogLevel level, const std::string& text) {
                if (level <= TLogLevel::llError)
                    errors_.push_back(text);
                else if (level == TLogLevel::llWarning)
                    warnings_.push_back(text);
            });
    }
    void TearDown() override {
        LoggerInstance().SetOnLog(nullptr);
        LoggerInstance().SetTriggerEventInMainThread(true);
        LoggerInstance().SetLogLevel(TLogLevel::llInfo);
    }
    // The private option of that name the encoder (by name) would be opened with; "-"
    // when there is none.
    static std::string EncoderOption(const TDefaultOptions& options, const char* encoder,
                                     const char* name) {
        const AVCodec* codec = ff::avcodec_find_encoder_by_name(encoder);
        if (!codec)
            return "no encoder";
        AVDictionary* dictionary = options.EncoderOptions(codec);
        const AVDictionaryEntry* entry = ff::av_dict_get(dictionary, name, nullptr, 0);
        std::string value = entry ? entry->value : "-";
        ff::av_dict_free(&dictionary);
        return value;
    }
    std::vector<std::string> errors_;
    std::vector<std::string> warnings_;
};

TEST_F(DefaultOptionsTest, AVideoOptionLandsOnTheVideoContextOnly) {
    TDefaultOptions options;
    EXPECT_TRUE(options.SetDefaultOption(" bf ", " 3 "));
    EXPECT_EQ(options.CodecContext(AVMEDIA_TYPE_VIDEO)->max_b_frames, 3);
    EXPECT_NE(options.CodecContext(AVMEDIA_TYPE_AUDIO)->max_b_frames, 3);
    EXPECT_EQ(options.OptionNames(), std::vector<std::string>{"bf"});
    EXPECT_TRUE(errors_.empty());
}

TEST_F(DefaultOptionsTest, ARefusedValueIsLoggedAndANameNobodyKnowsIsNot) {
    TDefaultOptions options;
    EXPECT_FALSE(options.SetDefaultOption("bf", "many"));
    ASSERT_FALSE(errors_.empty());
    EXPECT_EQ(errors_.back(), "Invalid value \"many\" for option \"bf\"");
    const size_t errorsAfterRefusal = errors_.size();
    EXPECT_FALSE(options.SetDefaultOption("nosuchoption", "1"));
    EXPECT_FALSE(options.SetDefaultOption("bf", "  "));
    EXPECT_FALSE(options.SetDefaultOption("", "1"));
    EXPECT_EQ(errors_.size(), errorsAfterRefusal) << "unknown names and empty values are silent";
    EXPECT_TRUE(options.OptionNames().empty());
}

TEST_F(DefaultOptionsTest, FormatScalerAndPrefixedNames) {
    TDefaultOptions options;
    EXPECT_TRUE(options.SetDefaultOption("fflags", "+genpts"));
    EXPECT_TRUE(options.FormatContext()->flags & AVFMT_FLAG_GENPTS);
    EXPECT_TRUE(options.SetDefaultOption("sws_flags", "bilinear"));
    int64_t flags = 0;
    ASSERT_GE(ff::av_opt_get_int(options.ScaleContext(), "sws_flags", 0, &flags), 0);
    EXPECT_EQ(flags, SWS_BILINEAR);
    // "ab" is no option of its own: the audio context's "b".
    EXPECT_TRUE(options.SetDefaultOption("ab", "96000"));
    EXPECT_EQ(options.CodecContext(AVMEDIA_TYPE_AUDIO)->bit_rate, 96000);
    EXPECT_NE(options.CodecContext(AVMEDIA_TYPE_VIDEO)->bit_rate, 96000);
}

TEST_F(DefaultOptionsTest, ApplyCopiesOptionsWhoseFlagsMatch) {
    TDefaultOptions options;
    ASSERT_TRUE(options.SetDefaultOption("bf", "2"));
    ASSERT_TRUE(options.SetDefaultOption("g", "48"));
    TCodecContextPtr target(ff::avcodec_alloc_context3(nullptr));
    options.ApplyDefaultOptions(options.CodecContext(AVMEDIA_TYPE_VIDEO), target.get(),
                                AV_OPT_FLAG_VIDEO_PARAM | AV_OPT_FLAG_ENCODING_PARAM);
    EXPECT_EQ(target->max_b_frames, 2);
    EXPECT_EQ(target->gop_size, 48);
    TCodecContextPtr decoder(ff::avcodec_alloc_context3(nullptr));
    options.ApplyDefaultOptions(options.CodecContext(AVMEDIA_TYPE_VIDEO), decoder.get(),
                                AV_OPT_FLAG_DECODING_PARAM);
    EXPECT_NE(decoder->max_b_frames, 2) << "encoding options stay off decoders";
}

TEST_F(DefaultOptionsTest, DebugOptionRaisesTheLogLevel) {
    TDefaultOptions options;
    ASSERT_TRUE(options.SetDefaultOption("debug", "pict"));
    EXPECT_EQ(LoggerInstance().LogLevel(), TLogLevel::llDebug);
}

TEST_F(DefaultOptionsTest, OldFlagsBecomeTheEncodersPrivateOptions) {
    TDefaultOptions options;
    EXPECT_TRUE(options.SetDefaultOption("flags2", "+wpred-dct8x8+mbtree"));
    EXPECT_EQ(EncoderOption(options, "libx264", "weightb"), "1");
    EXPECT_EQ(EncoderOption(options, "libx264", "8x8dct"), "0");
    EXPECT_EQ(EncoderOption(options, "libx264", "mbtree"), "1");
    EXPECT_EQ(EncoderOption(options, "mpeg4", "weightb"), "-") << "mpeg4 does not know it";

    EXPECT_TRUE(options.SetDefaultOption("flags", "+loop+mv4"));
    EXPECT_TRUE(options.CodecContext(AVMEDIA_TYPE_VIDEO)->flags & AV_CODEC_FLAG_LOOP_FILTER);
    EXPECT_TRUE(options.CodecContext(AVMEDIA_TYPE_VIDEO)->flags & AV_CODEC_FLAG_4MV);
    EXPECT_EQ(EncoderOption(options, "libx264", "deblock"), "true");
    EXPECT_TRUE(options.SetDefaultOption("flags", "-loop"));
    EXPECT_EQ(EncoderOption(options, "libx264", "deblock"), "false") << "the last value wins";

    EXPECT_TRUE(options.SetDefaultOption("flags", "+mv0+naq"));
    EXPECT_EQ(EncoderOption(options, "mpeg4", "mpv_flags"), "+mv0+naq") << "flag values add up";
    EXPECT_TRUE(errors_.empty());
}

TEST_F(DefaultOptionsTest, PartitionsAccumulateIntoLibx264sList) {
    TDefaultOptions options;
    EXPECT_TRUE(options.SetDefaultOption("partitions", "+parti4x4+partp8x8"));
    EXPECT_EQ(EncoderOption(options, "libx264", "partitions"), "i4x4,p8x8");
    EXPECT_TRUE(options.SetDefaultOption("partitions", "-parti4x4+partb8x8"));
    EXPECT_EQ(EncoderOption(options, "libx264", "partitions"), "p8x8,b8x8");
    EXPECT_TRUE(options.SetDefaultOption("partitions", "-partp8x8-partb8x8"));
    EXPECT_EQ(EncoderOption(options, "libx264", "partitions"), "none");
}

TEST_F(DefaultOptionsTest, RenamedAndMovedOptions) {
    TDefaultOptions options;
    EXPECT_TRUE(options.SetDefaultOption("me_method", "umh"));
    EXPECT_EQ(EncoderOption(options, "libx264", "motion-est"), "umh");
    EXPECT_EQ(EncoderOption(options, "mpeg4", "motion_est"), "epzs");
    EXPECT_TRUE(options.SetDefaultOption("directpred", "3"));
    EXPECT_EQ(EncoderOption(options, "libx264", "direct-pred"), "3");
    EXPECT_TRUE(options.SetDefaultOption("cqp", "0"));
    EXPECT_EQ(EncoderOption(options, "libx264", "qp"), "0");
    // Options that left the codec context under their own name are found among the
    // encoders' private options.
    EXPECT_TRUE(options.SetDefaultOption("sc_threshold", "40"));
    EXPECT_EQ(EncoderOption(options, "libx264", "sc_threshold"), "40");
    EXPECT_TRUE(options.SetDefaultOption("b_strategy", "2"));
    EXPECT_EQ(EncoderOption(options, "libx264", "b_strategy"), "2");
    EXPECT_EQ(EncoderOption(options, "mpeg4", "b_strategy"), "2");
    EXPECT_TRUE(options.SetDefaultOption("cmp", "+chroma"));
    EXPECT_EQ(options.CodecContext(AVMEDIA_TYPE_VIDEO)->me_cmp, FF_CMP_CHROMA);
    EXPECT_TRUE(errors_.empty());

    EXPECT_FALSE(options.SetDefaultOption("coder", "arithmetic"));
    ASSERT_FALSE(errors_.empty());
    EXPECT_EQ(errors_.back(), "Invalid value \"arithmetic\" for option \"coder\"");
}

TEST_F(DefaultOptionsTest, OptionsWithoutAnEquivalentAreSkippedWithAWarning) {
    TDefaultOptions options;
    EXPECT_TRUE(options.SetDefaultOption("flags2", "+brdo+dct8x8"));
    EXPECT_EQ(EncoderOption(options, "libx264", "8x8dct"), "1") << "the rest still applies";
    EXPECT_TRUE(options.SetDefaultOption("rc_strategy", "2"));
    ASSERT_EQ(warnings_.size(), 2u);
    EXPECT_EQ(warnings_[0],
              "Option \"flags2=+brdo\" has no equivalent in the current libraries and is skipped");
    EXPECT_EQ(warnings_[1],
              "Option \"rc_strategy=2\" has no equivalent in the current libraries and is skipped");
    EXPECT_TRUE(errors_.empty());
}

TEST_F(DefaultOptionsTest, VideoRatesStayOffTheAudioEncoder) {
    TDefaultOptions options;
    ASSERT_TRUE(options.SetDefaultOption("b", "1250000"));
    ASSERT_TRUE(options.SetDefaultOption("maxrate", "1500000"));
    ASSERT_TRUE(options.SetDefaultOption("bufsize", "4000000"));
    EXPECT_EQ(options.CodecContext(AVMEDIA_TYPE_VIDEO)->rc_max_rate, 1500000);
    TCodecContextPtr audio(ff::avcodec_alloc_context3(nullptr));
    const int64_t audioRate = audio->bit_rate;
    options.ApplyDefaultOptions(options.CodecContext(AVMEDIA_TYPE_AUDIO), audio.get(),
                                AV_OPT_FLAG_AUDIO_PARAM | AV_OPT_FLAG_ENCODING_PARAM);
    EXPECT_EQ(audio->bit_rate, audioRate);
    EXPECT_EQ(audio->rc_max_rate, 0);
    EXPECT_EQ(audio->rc_buffer_size, 0);
    TCodecContextPtr video(ff::avcodec_alloc_context3(nullptr));
    options.ApplyDefaultOptions(options.CodecContext(AVMEDIA_TYPE_VIDEO), video.get(),
                                AV_OPT_FLAG_VIDEO_PARAM | AV_OPT_FLAG_ENCODING_PARAM);
    EXPECT_EQ(video->bit_rate, 1250000);
    EXPECT_EQ(video->rc_buffer_size, 4000000);
}

TEST_F(DefaultOptionsTest, MuxerPrivateOptions) {
    TDefaultOptions options;
    EXPECT_TRUE(options.SetDefaultOption("muxrate", "10080000"));
    AVDictionary* dvd = options.MuxerOptions(ff::av_guess_format("dvd", nullptr, nullptr));
    const AVDictionaryEntry* entry = ff::av_dict_get(dvd, "muxrate", nullptr, 0);
    ASSERT_NE(entry, nullptr);
    EXPECT_STREQ(entry->value, "10080000");
    ff::av_dict_free(&dvd);
    EXPECT_EQ(EncoderOption(options, "mpeg2video", "muxrate"), "-");
}

} // namespace
} // namespace tovik
