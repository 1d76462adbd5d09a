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
            });
    }
    void TearDown() override {
        LoggerInstance().SetOnLog(nullptr);
        LoggerInstance().SetTriggerEventInMainThread(true);
        LoggerInstance().SetLogLevel(TLogLevel::llInfo);
    }
    std::vector<std::string> errors_;
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

} // namespace
} // namespace tovik
