#include "workspace/core/ParameterRules.h"

#include "settings/IniFile.h"
#include "support/TestSupport.h"
#include "workspace/core/FormatProfile.h"
#include "workspace/core/TaskPreparation.h"

#include "platform/Environment.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <stdexcept>

namespace tovik {
namespace {

TEST(ParameterRulesTest, FrameSizesAreAcceptedCorrectedOrRefused) {
    const auto check = [](const std::string& text) { return CheckFrameSize(text); };
    EXPECT_EQ(check("320x240").Check, TFrameSizeCheck::fsAccepted);
    EXPECT_EQ(check("As Source").Check, TFrameSizeCheck::fsAccepted);
    EXPECT_EQ(check("321x240").Check, TFrameSizeCheck::fsCorrected);
    EXPECT_EQ(check("321x240").Text, "320x240");
    EXPECT_EQ(check("641x479").Text, "640x478");
    EXPECT_EQ(check("0x0").Text, "2x2");
    EXPECT_EQ(check("1x3").Text, "2x2") << "1 lowers to 0, which becomes 2";
    EXPECT_EQ(check("-3x240").Text, "-2x240") << "toward zero";
    // Split at the last "x"; both parts must be whole integers.
    EXPECT_EQ(check("320").Check, TFrameSizeCheck::fsInvalid);
    EXPECT_EQ(check("320x").Check, TFrameSizeCheck::fsInvalid);
    EXPECT_EQ(check("x240").Check, TFrameSizeCheck::fsInvalid);
    EXPECT_EQ(check("32ax240").Check, TFrameSizeCheck::fsInvalid);
    EXPECT_EQ(check("320x240x2").Check, TFrameSizeCheck::fsInvalid);
    EXPECT_EQ(check("").Check, TFrameSizeCheck::fsInvalid);
    EXPECT_EQ(FrameSizeCorrectionText("320x240"),
              "Frame Size must be a multiple of 2.\nThe correct value:320x240");
}

TEST(ParameterRulesTest, KeysAndRatesFollowTheirBoxes) {
    EXPECT_TRUE(FrameSizeKeyAccepted("", 'q')) << "an empty box takes any key";
    EXPECT_TRUE(FrameSizeKeyAccepted("32", '0'));
    EXPECT_TRUE(FrameSizeKeyAccepted("320", 'x'));
    EXPECT_FALSE(FrameSizeKeyAccepted("320x", 'x'));
    EXPECT_TRUE(FrameSizeKeyAccepted("320x", '\b'));
    EXPECT_FALSE(FrameSizeKeyAccepted("320", 'X'));
    EXPECT_FALSE(FrameSizeKeyAccepted("320", ' '));
    EXPECT_TRUE(NumberKeyAccepted('7'));
    EXPECT_TRUE(NumberKeyAccepted('\b'));
    EXPECT_FALSE(NumberKeyAccepted('.'));
    EXPECT_FALSE(NumberKeyAccepted('a'));

    EXPECT_TRUE(IsValidRate(TRateBox::rbVideoBitRate, "768"));
    EXPECT_TRUE(IsValidRate(TRateBox::rbVideoBitRate, "as source"));
    EXPECT_FALSE(IsValidRate(TRateBox::rbVideoBitRate, "As Source"));
    EXPECT_FALSE(IsValidRate(TRateBox::rbVideoBitRate, "76.8"));
    EXPECT_FALSE(IsValidRate(TRateBox::rbSampleRate, "44.1"));
    EXPECT_TRUE(IsValidRate(TRateBox::rbAudioBitRate, "96.5"));
    EXPECT_FALSE(IsValidRate(TRateBox::rbAudioBitRate, ""));
    EXPECT_STREQ(RateInvalidText(TRateBox::rbSampleRate), "Audio SampleRate is not a valid value!");

    EXPECT_EQ(ZoomValue(0), "full");
    EXPECT_EQ(ZoomValue(3), "center");
    EXPECT_EQ(ZoomValue(4), std::nullopt);
    EXPECT_EQ(ZoomIndex("pan"), 2);
    EXPECT_EQ(ZoomIndex("Pan"), -1);
}

class FormatProfileTest : public ::testing::Test {
protected:
    void SetUp() override {
        savedHome_ = platform::GetEnv("HOME");
        platform::SetEnv("HOME", dir_.File("home"));
    }
    void TearDown() override {
        if (savedHome_)
            platform::SetEnv("HOME", *savedHome_);
    }
    TPreparedTask Prepare() {
        TlvFilesRecord job;
        job.SourceFile = "/v/clip.avi";
        const TSourceFacts source{1, 320, 240, 0};
        TBuildContext context{settings_.FileName(), profile_.FileName(), nullptr};
        return PrepareConversionTask(job, job.SourceFile, source, context,
                                     [](const std::string&) {});
    }

    test::TTempDir dir_;
    std::optional<std::string> savedHome_;
    TIniFile settings_{dir_.File("tovikavimovconverter.ini")};
    TIniFile profile_{dir_.File("tovikavimovformat.ini")};
};

TEST_F(FormatProfileTest, AStoredCodeWithoutProfileSectionFallsBackToTheFirstFormat) {
    // The first start: code 1 has no section; MOV (code 0) is the profile's first format.
    profile_.WriteString("formatInfo104", "FileExt", "avi");
    profile_.WriteString("formatInfo0", "Format", "mov");
    EXPECT_EQ(UsableFormatCode(profile_, 1), 0);
    EXPECT_EQ(UsableFormatCode(profile_, 104), 104);
    ASSERT_TRUE(AdoptUsableFormat(settings_, profile_));
    EXPECT_EQ(settings_.ReadString("settings", "FormatCode", ""), "0");
    EXPECT_EQ(settings_.ReadString("settings", "FormatName", ""), "MOV - Quick Time Video (*.mov)");
    EXPECT_FALSE(AdoptUsableFormat(settings_, profile_)) << "a usable code stays";

    // Without any profile nothing can be chosen: the code stays.
    TIniFile none(dir_.File("missing.ini"));
    EXPECT_EQ(UsableFormatCode(none, 1), 1);
    TIniFile fresh(dir_.File("fresh.ini"));
    EXPECT_FALSE(AdoptUsableFormat(fresh, none));
}

TEST_F(FormatProfileTest, ExtensionsThatCouldLeaveTheFolderAreRefused) {
    for (const std::string bad : {"", "../mov", "a/b", "a\\b", "..", "mp4.."}) {
        profile_.WriteString("formatInfo0", "FileExt", bad);
        std::string error;
        EXPECT_EQ(OutputExtension(profile_, 0, &error), std::nullopt) << bad;
        EXPECT_NE(error.find("MOV - Quick Time Video (*.mov)"), std::string::npos) << error;
        settings_.WriteString("settings", "FormatCode", "0");
        EXPECT_THROW(Prepare(), std::runtime_error) << bad;
    }
    profile_.WriteString("formatInfo0", "FileExt", "mov");
    EXPECT_EQ(OutputExtension(profile_, 0), "mov");
    EXPECT_EQ(OutputExtension(profile_, 7), "mp4") << "no key: the readers' default";
    // No output folder was made outside the one the settings name.
    EXPECT_FALSE(std::filesystem::exists(dir_.File("home") + "/mov"));
}

TEST_F(FormatProfileTest, AVideoFormatWithoutAUsableEncoderIsRefused) {
    profile_.WriteString("formatInfo0", "Format", "mov");
    profile_.WriteString("formatInfo0", "FileExt", "mov");
    profile_.WriteString("formatInfo0", "VideoEncoder", "Cinepak,Sorenson");
    profile_.WriteString("formatInfo0", "AudioEncoder", "AAC");
    settings_.WriteString("settings", "FormatCode", "0");
    settings_.WriteString("settings", "OutPutDir", dir_.File("out"));
    try {
        Prepare();
        FAIL() << "an audio-only output would have been written";
    } catch (const std::runtime_error& error) {
        EXPECT_NE(std::string(error.what()).find("Cinepak,Sorenson"), std::string::npos)
            << error.what();
    }
    // One the program knows converts.
    profile_.WriteString("formatInfo0", "VideoEncoder", "Cinepak,MPEG-4");
    settings_.WriteString("formatInfo0", "paraVideoEncoder", "mpeg4");
    const TPreparedTask task = Prepare();
    EXPECT_EQ(task.Output.VideoCodec, "mpeg4");
    EXPECT_FALSE(task.Output.DisableVideo);
    // Audio formats have no video list: nothing to refuse.
    EXPECT_EQ(FormatProblem(settings_, profile_, 200), std::nullopt);
}

} // namespace
} // namespace tovik
