#include "workspace/core/ProfileChoices.h"

#include "settings/IniFile.h"
#include "support/TestSupport.h"
#include "workspace/core/FormatTable.h"

#include <gtest/gtest.h>

namespace tovik {
namespace {

using Items = std::vector<std::string>;

TEST(ProfileChoicesTest, ChoiceListsSplitAtEveryComma) {
    EXPECT_EQ(SplitChoiceList("a,b , c", false), (Items{"a", "b ", " c"}));
    EXPECT_EQ(SplitChoiceList("a,,b,", false), (Items{"a", "", "b", ""}));
    EXPECT_EQ(SplitChoiceList("null", false), Items{});
    EXPECT_EQ(SplitChoiceList("", true), Items{});
    EXPECT_EQ(SplitChoiceList("", false), Items{""});
    EXPECT_EQ(SplitChoiceList("NULL", true), Items{"NULL"});
}

TEST(ProfileChoicesTest, ShownNamesMapToStoredNames) {
    EXPECT_EQ(VideoEncoderValue("MPEG-4"), "mpeg4");
    EXPECT_EQ(VideoEncoderValue("XviD"), "libxvid");
    EXPECT_EQ(VideoEncoderValue("H264"), "libx264");
    EXPECT_EQ(VideoEncoderValue("WMV2"), "wmv2");
    EXPECT_EQ(VideoEncoderValue("mov"), "mov");
    EXPECT_EQ(VideoEncoderValue("h265"), std::nullopt);
    EXPECT_EQ(AudioEncoderValue("MP3"), "libmp3lame");
    EXPECT_EQ(AudioEncoderValue("OGG"), "vorbis");
    EXPECT_EQ(AudioEncoderValue("AAC"), "libfaac");
    EXPECT_EQ(AudioEncoderValue("AC-3"), "ac3");
    EXPECT_EQ(AudioEncoderValue("WMA2"), "wmav2");
    EXPECT_EQ(AudioEncoderValue("pcm_mulaw "), "pcm_mulaw");
    EXPECT_EQ(AudioEncoderValue("pcm_mulaw"), std::nullopt) << "the blank is part of the name";
    EXPECT_EQ(ChannelValue("mono 1 channel"), "1");
    EXPECT_EQ(ChannelValue("stereo 2 channels"), "2");
    EXPECT_EQ(ChannelValue("Mono 1 channel"), std::nullopt);
    EXPECT_EQ(VolumeValue("100%"), "256");
    EXPECT_EQ(VolumeValue("25%"), "64");
    EXPECT_EQ(VolumeValue("400%"), "1024");
    EXPECT_EQ(VolumeValue("90%"), std::nullopt);
    EXPECT_EQ(VolumeValue("%"), std::nullopt);
    EXPECT_EQ(VolumeValue(""), std::nullopt);
}

TEST(ProfileChoicesTest, DefaultsWriteEveryEnabledControlsValue) {
    test::TTempDir dir;
    test::WriteTextFile(dir.File("p.ini"),
                        "[formatInfo103]\nFormat=mp4\nVideoSize=as source,321x241\niVideoSize=1\n"
                        "VideoBitRate=512,768\niVideoBitRate=1\nFrameRate=25,29.97\niFrameRate=1\n"
                        "VideoEncoder=MPEG-4,H264\niVideoEncoder=1\nAudioEncoder=MP3,AAC\n"
                        "iAudioEncoder=1\nSampleRate=44100,48000\niSampleRate=1\n"
                        "AudioBitRate=96.5,128\niAudioBitRate=0\nChannel=stereo 2 channels\n"
                        "Volume=50%,100%\niVolume=0\nparaGop=0\nparaMaxBitrate=1500\n"
                        "paraCoder=0\nparaBitExact=TRUE\nparaLevel=x\n");
    const TIniFile profile(dir.File("p.ini"));
    TIniFile settings(dir.File("s.ini"));
    ApplyProfileDefaults(settings, profile, 103);
    const std::string s = "formatInfo103";
    EXPECT_EQ(settings.ReadString(s, "paraVideoEncoder", ""), "libx264");
    EXPECT_EQ(settings.ReadString(s, "paraVideoSize", ""), "320x240") << "made even";
    EXPECT_EQ(settings.ReadString(s, "paraFrameRate", ""), "29.97");
    EXPECT_EQ(settings.ReadString(s, "paraVideoBitRate", ""), "768");
    EXPECT_EQ(settings.ReadString(s, "paraZoom", ""), "full");
    EXPECT_EQ(settings.ReadString(s, "paraAudioEncoder", ""), "libfaac");
    EXPECT_EQ(settings.ReadString(s, "paraSampleRate", ""), "48000");
    EXPECT_EQ(settings.ReadString(s, "paraAudioBitRate", ""), "96.5");
    EXPECT_EQ(settings.ReadString(s, "paraChannel", ""), "2");
    EXPECT_EQ(settings.ReadString(s, "paraVolume", ""), "128");
    EXPECT_EQ(settings.ReadInteger(s, "iVideoEncoder", -1), 1);
    // H.264 extras: positive numbers, a coder of 0 or more, "true" in any case.
    EXPECT_EQ(settings.ReadString(s, "paraMaxBitrate", ""), "1500");
    EXPECT_FALSE(settings.ValueExists(s, "paraGop"));
    EXPECT_FALSE(settings.ValueExists(s, "paraLevel"));
    EXPECT_EQ(settings.ReadString(s, "paraCoder", ""), "0");
    EXPECT_EQ(settings.ReadString(s, "paraBitExact", ""), "TRUE");
}

TEST(ProfileChoicesTest, AudioFormatsWriteNoVideoChoices) {
    test::TTempDir dir;
    test::WriteTextFile(dir.File("p.ini"), "[formatInfo200]\nVideoSize=null\nVideoEncoder=null\n"
                                           "AudioEncoder=MP3\nVolume=100%\niVolume=5\n");
    TIniFile settings(dir.File("s.ini"));
    ApplyProfileDefaults(settings, TIniFile(dir.File("p.ini")), 200);
    EXPECT_FALSE(settings.ValueExists("formatInfo200", "paraVideoEncoder"));
    EXPECT_FALSE(settings.ValueExists("formatInfo200", "paraVideoSize"));
    EXPECT_FALSE(settings.ValueExists("formatInfo200", "paraZoom"));
    EXPECT_FALSE(settings.ValueExists("formatInfo200", "paraVolume")) << "index out of range";
    EXPECT_EQ(settings.ReadString("formatInfo200", "paraAudioEncoder", ""), "libmp3lame");
}

TEST(ProfileChoicesTest, SingleChoicesAreValidatedByTheirControlsRule) {
    test::TTempDir dir;
    test::WriteTextFile(dir.File("p.ini"), "[formatInfo104]\nVideoSize=640x480,abc,as Source\n"
                                           "VideoBitRate=768,fast\nChannel=mono 1 channel\n");
    const TIniFile profile(dir.File("p.ini"));
    TIniFile settings(dir.File("s.ini"));
    const std::string s = "formatInfo104";
    EXPECT_FALSE(ApplyChoice(settings, profile, 104, TChoiceControl::ccVideoSize, 1));
    EXPECT_FALSE(ApplyChoice(settings, profile, 104, TChoiceControl::ccVideoSize, 3));
    EXPECT_FALSE(ApplyChoice(settings, profile, 104, TChoiceControl::ccVideoBitRate, 1));
    EXPECT_FALSE(ApplyChoice(settings, profile, 104, TChoiceControl::ccVolume, 0));
    EXPECT_FALSE(settings.ValueExists(s, "paraVideoSize"));
    EXPECT_FALSE(settings.ValueExists(s, "iVideoSize"));
    EXPECT_TRUE(ApplyChoice(settings, profile, 104, TChoiceControl::ccVideoSize, 2));
    EXPECT_EQ(settings.ReadString(s, "paraVideoSize", ""), "as Source");
    EXPECT_EQ(settings.ReadInteger(s, "iVideoSize", -1), 2);
    EXPECT_TRUE(ApplyChoice(settings, profile, 104, TChoiceControl::ccChannel, 0));
    EXPECT_EQ(settings.ReadString(s, "paraChannel", ""), "1");
    EXPECT_EQ(ChoiceCount(profile, 104, TChoiceControl::ccVideoSize), 3);
    EXPECT_EQ(ChoiceCount(profile, 104, TChoiceControl::ccAudioEncoder), 0);
}

// The installed profile agrees with the format table and with the shown-name tables.
TEST(ProfileFileTest, EveryFormatIsCompleteAndConsistent) {
    const TIniFile profile(std::string(TOVIK_DATA_DIR) + "/tovikavimovformat.ini");
    ASSERT_EQ(FormatRows().size(), 18u);
    for (const TFormatRow& row : FormatRows()) {
        const std::string s = FormatSection(row.Code);
        SCOPED_TRACE(s);
        ASSERT_NE(profile.ReadString(s, "Format", "null"), "null");
        const std::string ext = profile.ReadString(s, "FileExt", "");
        EXPECT_NE(std::string(row.Text).find("(*." + ext + ")"), std::string::npos) << ext;
        const auto checkIndex = [&](const char* list, const char* index, bool emptyDisables) {
            const Items items = SplitChoiceList(profile.ReadString(s, list, "null"), emptyDisables);
            if (!items.empty()) {
                const int i = profile.ReadInteger(s, index, -1);
                EXPECT_GE(i, 0) << index;
                EXPECT_LT(i, static_cast<int>(items.size())) << index;
            }
            return items;
        };
        for (const std::string& item : checkIndex("VideoEncoder", "iVideoEncoder", true))
            EXPECT_TRUE(VideoEncoderValue(item)) << item;
        const Items audio = checkIndex("AudioEncoder", "iAudioEncoder", true);
        EXPECT_FALSE(audio.empty());
        for (const std::string& item : audio)
            EXPECT_TRUE(AudioEncoderValue(item)) << item;
        for (const std::string& item : checkIndex("Channel", "iChannel", true))
            EXPECT_TRUE(ChannelValue(item)) << item;
        for (const std::string& item : checkIndex("Volume", "iVolume", true))
            EXPECT_TRUE(VolumeValue(item)) << item;
        checkIndex("VideoSize", "iVideoSize", false);
        checkIndex("VideoBitRate", "iVideoBitRate", true);
        checkIndex("FrameRate", "iFrameRate", false);
        checkIndex("SampleRate", "iSampleRate", true);
        checkIndex("AudioBitRate", "iAudioBitRate", true);
    }
}

} // namespace
} // namespace tovik
