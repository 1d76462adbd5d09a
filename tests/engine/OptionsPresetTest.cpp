#include "engine/OptionsPreset.h"
#include "engine/EncoderNames.h"
#include "engine/FFmpegException.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <set>

namespace tovik {
namespace {

TEST(OptionsPresetTest, TableHoldsFortyDistinctPresetsInOrder) {
    ASSERT_EQ(TOptionsPreset::Count(), 40);
    std::set<std::string> names;
    for (int index = 0; index < TOptionsPreset::Count(); ++index)
        names.insert(TOptionsPreset::Name(index));
    EXPECT_EQ(names.size(), 40u);
    EXPECT_EQ(TOptionsPreset::Name(0), "libx264-baseline");
    EXPECT_EQ(TOptionsPreset::Name(16), "libx264-main");
    EXPECT_EQ(TOptionsPreset::Name(35), "libx264-veryslow_firstpass");
    EXPECT_EQ(TOptionsPreset::Name(39), "libx264-mp4");
}

TEST(OptionsPresetTest, TextsAsWritten) {
    EXPECT_EQ(*TOptionsPreset::Find("libx264-baseline"),
              "coder=0\nbf=0\nflags2=-wpred-dct8x8\nwpredp=0");
    EXPECT_EQ(*TOptionsPreset::Find("libx264-mp4"), *TOptionsPreset::Find("libx264-psp"));
    const std::string& ps3 = *TOptionsPreset::Find("libx264-ps3");
    EXPECT_EQ(ps3.find("b=1250000"), std::string::npos);
    EXPECT_NE(ps3.find("\nmaxrate=3500000\n"), std::string::npos);
    EXPECT_EQ(*TOptionsPreset::Find("libx264-lossless_ultrafast"),
              "coder=0\nflags=+loop\ncmp=+chroma\n"
              "partitions=-parti8x8-parti4x4-partp8x8-partp4x4-partb8x8\nme_method=dia\nsubq=0\n"
              "me_range=16\ng=250\nkeyint_min=25\nsc_threshold=40\ni_qfactor=0.71\nb_strategy=1\n"
              "qcomp=0.6\nqmin=10\nqmax=51\nqdiff=4\ndirectpred=1\nflags2=+fastpskip\ncqp=0");
    const std::string& ultrafast = *TOptionsPreset::Find("libx264-ultrafast");
    EXPECT_EQ(ultrafast.substr(0, 20), "coder=0\nflags=-loop\n");
    EXPECT_NE(ultrafast.find("\nsc_threshold=0\n"), std::string::npos);
    EXPECT_EQ(ultrafast.substr(ultrafast.size() - 9), "\nwpredp=0");
}

TEST(OptionsPresetTest, LookupIgnoresCase) {
    EXPECT_NE(TOptionsPreset::Find("LibX264-HQ"), nullptr);
    EXPECT_EQ(TOptionsPreset::Find("hq"), nullptr);
    EXPECT_EQ(TOptionsPreset::Find(""), nullptr);
}

TEST(OptionsPresetTest, LineParsing) {
    const auto lines = TOptionsPreset::ParseLines("p", "  a = 1 \r\n\r\n b=x=y\rc=3 ");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].Key, "a");
    EXPECT_EQ(lines[0].Value, "1");
    EXPECT_EQ(lines[1].Value, "x=y");
    EXPECT_EQ(lines[2].Line, "c=3");
    auto errorOf = [](const std::string& text) {
        try {
            TOptionsPreset::ParseLines("mine", text);
        } catch (const FFmpegException& error) {
            return std::string(error.what());
        }
        return std::string();
    };
    EXPECT_EQ(errorOf("g=1\nbf"), "mine: Invalid syntax: \"bf\"");
    EXPECT_EQ(errorOf("=3"), "mine: Invalid syntax: \"=3\"");
    EXPECT_EQ(errorOf("g= "), "mine: Invalid syntax: \"g=\"");
}

TEST(EncoderNamesTest, OldNamesResolveToTodaysEncoders) {
    test::LoadEngineLibrariesOrFail();
    EXPECT_EQ(CurrentEncoderName("libfaac"), "aac");
    EXPECT_EQ(CurrentEncoderName("libflac"), "flac");
    EXPECT_EQ(CurrentEncoderName("mpeg4"), "mpeg4");
    if (ff::avcodec_find_encoder_by_name("libvorbis")) {
        EXPECT_EQ(CurrentEncoderName("vorbis"), "libvorbis");
    }
    std::string error;
    const AVCodec* aac = FindEncoderByName("libfaac", AVMEDIA_TYPE_AUDIO, error);
    ASSERT_NE(aac, nullptr) << error;
    EXPECT_STREQ(aac->name, "aac");
    EXPECT_EQ(FindEncoderByName("libdirac", AVMEDIA_TYPE_VIDEO, error), nullptr);
    EXPECT_EQ(error, "Unknown encoder 'libdirac'");
    EXPECT_EQ(FindEncoderByName("libfaac", AVMEDIA_TYPE_VIDEO, error), nullptr);
    EXPECT_EQ(error, "Invalid encoder type 'libfaac'");
}

} // namespace
} // namespace tovik
