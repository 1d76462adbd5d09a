// The settings dialog's choices without the window, against the program's own profile.
#include "dialogs/settings/SettingsRules.h"

#include "settings/IniFile.h"
#include "support/TestSupport.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace tovik {
namespace {

class SettingsRulesTest : public ::testing::Test {
protected:
    TSettingsChoices Load(int code, bool fallback = true) {
        TSettingsChoices choices;
        LoadChoices(settings_, profile_, code, fallback, choices);
        return choices;
    }
    void Write(const TSettingsChoices& choices) {
        WriteChoices(settings_, profile_, choices, {{0, true}, {1, false}, {2, true}});
    }
    std::string Read(int code, const char* key) {
        return settings_.ReadString("formatInfo" + std::to_string(code), key, "<none>");
    }
    // Selects the item with text in the box of control.
    static void Choose(TSettingsChoices& choices, TChoiceControl control, const std::string& text) {
        TChoiceBox& box = choices.Box(control);
        const auto found = std::find(box.Items.begin(), box.Items.end(), text);
        ASSERT_NE(found, box.Items.end()) << text;
        box.Select(static_cast<int>(found - box.Items.begin()));
    }

    test::TTempDir dir_;
    TIniFile settings_{dir_.File("tovikavimovconverter.ini")};
    const TIniFile profile_{std::string(TOVIK_DATA_DIR) + "/tovikavimovformat.ini"};
};

TEST_F(SettingsRulesTest, TheDialogsAudioTableDiffersFromTheMainWindows) {
    EXPECT_EQ(DialogAudioEncoderValue("FLAC"), "flac");
    EXPECT_EQ(AudioEncoderValue("FLAC"), "libflac");
    EXPECT_EQ(DialogAudioEncoderValue("libamr_nb"), "libopencore_amrnb");
    EXPECT_EQ(DialogAudioEncoderValue("amr_nb"), std::nullopt);
    EXPECT_EQ(DialogAudioEncoderValue("PCM-24bit"), "pcm_s24be");
    EXPECT_EQ(DialogAudioEncoderValue("ima adpcm(4-bit)"), "adpcm_ima_qt");
    EXPECT_EQ(DialogAudioEncoderValue("pcm_mulaw "), "pcm_mulaw");
    EXPECT_EQ(DialogAudioEncoderValue("GSM"), "libgsm");
}

TEST_F(SettingsRulesTest, WithoutStoredChoicesEveryBoxShowsTheProfilesDefault) {
    // What a first run would use: 25% volume (the first item) would quieten the next OK.
    const TSettingsChoices mov = Load(0);
    EXPECT_EQ(mov.Box(TChoiceControl::ccVideoSize).Text, "640x480");
    EXPECT_EQ(mov.Box(TChoiceControl::ccVideoEncoder).Text, "MPEG-4");
    EXPECT_EQ(mov.Box(TChoiceControl::ccVolume).Text, "100%");
    EXPECT_EQ(mov.ZoomIndex, 0);
    // A stored index wins over the profile's default, also when it is the first item.
    settings_.WriteInteger("formatInfo0", "iVolume", 0);
    EXPECT_EQ(Load(0).Box(TChoiceControl::ccVolume).Text, "25%");
    // An audio format: the video boxes have no items, the DV formats no bit rates.
    const TSettingsChoices mp3 = Load(200);
    EXPECT_FALSE(mp3.Box(TChoiceControl::ccVideoEncoder).Enabled());
    EXPECT_FALSE(mp3.Box(TChoiceControl::ccVideoSize).Enabled());
    EXPECT_TRUE(mp3.Box(TChoiceControl::ccAudioBitRate).Enabled());
    EXPECT_FALSE(Load(108).Box(TChoiceControl::ccAudioBitRate).Enabled());
}

TEST_F(SettingsRulesTest, DefaultsTakeTheProfilesIndexesAndFullScreen) {
    TSettingsChoices mov = Load(0);
    mov.ZoomIndex = 2;
    ApplyDefaultChoices(profile_, mov);
    EXPECT_EQ(mov.Box(TChoiceControl::ccVideoSize).Text, "640x480");
    EXPECT_EQ(mov.Box(TChoiceControl::ccVideoBitRate).Text, "1500");
    EXPECT_EQ(mov.Box(TChoiceControl::ccAudioBitRate).Text, "128");
    EXPECT_EQ(mov.Box(TChoiceControl::ccChannel).Text, "stereo 2 channels");
    EXPECT_EQ(mov.Box(TChoiceControl::ccVolume).Text, "100%");
    EXPECT_EQ(mov.ZoomIndex, 0);
    EXPECT_FALSE(std::filesystem::exists(settings_.FileName())) << "nothing is written";
}

TEST_F(SettingsRulesTest, OkStoresIndexesValuesAndTheFormat) {
    TSettingsChoices h264 = Load(103);
    h264.FormatName = "H.264/MPEG-4 AVC Video (*.mp4)";
    ApplyDefaultChoices(profile_, h264);
    Choose(h264, TChoiceControl::ccChannel, "mono 1 channel");
    Choose(h264, TChoiceControl::ccVolume, "100%");
    h264.ZoomIndex = 1;
    Write(h264);
    EXPECT_EQ(Read(103, "Description"), "H.264/MPEG-4 AVC Video (*.mp4)");
    EXPECT_EQ(Read(103, "paraVideoEncoder"), "libx264");
    EXPECT_EQ(Read(103, "paraChannel"), "1");
    EXPECT_EQ(Read(103, "iChannel"), "1");
    EXPECT_EQ(Read(103, "paraVolume"), "256");
    EXPECT_EQ(Read(103, "paraZoom"), "lbox");
    EXPECT_EQ(Read(103, "paraVideoSize"), "640x480");
    EXPECT_EQ(Read(103, "iVideoSize"), "2");
    EXPECT_EQ(Read(103, "paraFrameRate"), "as source");
    EXPECT_EQ(Read(103, "paraAudioEncoder"), "libfaac");
    // The H.264 extras: positive integers only, the coder from 0, bit exact only "true".
    EXPECT_EQ(Read(103, "paraGop"), "250");
    EXPECT_EQ(Read(103, "paraMaxBitrate"), "1500");
    EXPECT_EQ(Read(103, "paraQscale"), "<none>") << "0 is not positive";
    EXPECT_EQ(Read(103, "paraCoder"), "1");
    EXPECT_EQ(Read(103, "paraBitExact"), "<none>");
    EXPECT_EQ(settings_.ReadString("settings", "FormatCode", ""), "103");
    EXPECT_EQ(settings_.ReadString("settings", "FormatName", ""), "H.264/MPEG-4 AVC Video (*.mp4)");
    EXPECT_FALSE(settings_.ReadBool("lstformat", "1", true));
    EXPECT_TRUE(settings_.ReadBool("lstformat", "2", false));
}

TEST_F(SettingsRulesTest, H264ExtrasAreCopiedOnlyWhenValid) {
    const std::string profileFile = dir_.File("profile.ini");
    std::filesystem::copy_file(std::string(TOVIK_DATA_DIR) + "/tovikavimovformat.ini", profileFile);
    TIniFile profile(profileFile);
    profile.WriteString("formatInfo103", "paraGop", "-5");
    profile.WriteString("formatInfo103", "paraCoder", "0");
    profile.WriteString("formatInfo103", "paraBitExact", "TRUE");
    TSettingsChoices h264;
    LoadChoices(settings_, profile, 103, true, h264);
    WriteChoices(settings_, profile, h264, {});
    EXPECT_EQ(Read(103, "paraGop"), "<none>");
    EXPECT_EQ(Read(103, "paraCoder"), "0");
    EXPECT_EQ(Read(103, "paraBitExact"), "TRUE");
    // Another encoder copies nothing.
    TSettingsChoices mpeg4;
    LoadChoices(settings_, profile, 102, true, mpeg4);
    WriteChoices(settings_, profile, mpeg4, {});
    EXPECT_EQ(Read(102, "paraVideoEncoder"), "mpeg4");
    EXPECT_EQ(Read(102, "paraMaxBitrate"), "<none>");
}

TEST_F(SettingsRulesTest, VolumesOutsideTheTableWriteNothing) {
    const std::string profileFile = dir_.File("profile.ini");
    TIniFile profile(profileFile);
    profile.WriteString("formatInfo200", "AudioEncoder", "MP3");
    profile.WriteString("formatInfo200", "Volume", "90%,100%,loud");
    for (const auto& [index, expected] :
         std::vector<std::pair<int, std::string>>{{0, "<none>"}, {1, "256"}, {2, "256"}}) {
        TSettingsChoices mp3;
        LoadChoices(settings_, profile, 200, true, mp3);
        mp3.Box(TChoiceControl::ccVolume).Select(index);
        WriteChoices(settings_, profile, mp3, {});
        EXPECT_EQ(Read(200, "paraVolume"), expected) << "item " << index;
        EXPECT_EQ(Read(200, "iVolume"), std::to_string(index));
    }
}

TEST_F(SettingsRulesTest, GsmStoresItsOwnRateAndOneChannel) {
    TIniFile profile(dir_.File("profile.ini"));
    profile.WriteString("formatInfo204", "AudioEncoder", "pcm_s16,GSM");
    profile.WriteString("formatInfo204", "SampleRate", "44100,48000");
    profile.WriteString("formatInfo204", "Channel", "stereo 2 channels");
    TSettingsChoices wav;
    LoadChoices(settings_, profile, 204, true, wav);
    wav.Box(TChoiceControl::ccAudioEncoder).Select(1);
    wav.Box(TChoiceControl::ccSampleRate).Select(1);
    WriteChoices(settings_, profile, wav, {});
    EXPECT_EQ(Read(204, "paraAudioEncoder"), "libgsm");
    EXPECT_EQ(Read(204, "paraSampleRate"), "8000");
    EXPECT_EQ(Read(204, "paraChannel"), "1");
    EXPECT_EQ(Read(204, "iSampleRate"), "1") << "the box's index stays as chosen";
}

TEST_F(SettingsRulesTest, ATypedValueIsStoredWithIndexMinusOneAndShownAgain) {
    TSettingsChoices mov = Load(0);
    mov.Box(TChoiceControl::ccVideoSize).Text = "400x300";
    mov.Box(TChoiceControl::ccAudioBitRate).Text = "112.5";
    mov.Box(TChoiceControl::ccVideoBitRate).Text = "768"; // typed, but an item's text
    Write(mov);
    EXPECT_EQ(Read(0, "iVideoSize"), "-1");
    EXPECT_EQ(Read(0, "paraVideoSize"), "400x300");
    EXPECT_EQ(Read(0, "iAudioBitRate"), "-1");
    EXPECT_EQ(Read(0, "iVideoBitRate"), "4");

    const TSettingsChoices shown = Load(0);
    EXPECT_EQ(shown.Box(TChoiceControl::ccVideoSize).Index, -1);
    EXPECT_EQ(shown.Box(TChoiceControl::ccVideoSize).Text, "400x300");
    EXPECT_EQ(shown.Box(TChoiceControl::ccAudioBitRate).Text, "112.5");
    // After choosing the format in the dialog's list: no text fallback, no selection.
    const TSettingsChoices chosen = Load(0, false);
    EXPECT_EQ(chosen.Box(TChoiceControl::ccVideoSize).Index, -1);
    EXPECT_EQ(chosen.Box(TChoiceControl::ccVideoSize).Text, "");
}

TEST_F(SettingsRulesTest, AFormatWithoutVolumeListWritesEveryOtherKey) {
    TIniFile profile(dir_.File("profile.ini"));
    profile.WriteString("formatInfo206", "AudioEncoder", "AC-3");
    profile.WriteString("formatInfo206", "SampleRate", "48000");
    profile.WriteString("formatInfo206", "Volume", "");
    settings_.WriteString("formatInfo206", "paraVolume", "512");
    TSettingsChoices ac3;
    ac3.FormatName = "AC-3 Audio Codec (*.ac3)";
    LoadChoices(settings_, profile, 206, true, ac3);
    WriteChoices(settings_, profile, ac3, {{2, false}});
    EXPECT_EQ(Read(206, "paraAudioEncoder"), "ac3");
    EXPECT_EQ(Read(206, "paraSampleRate"), "48000");
    EXPECT_EQ(Read(206, "paraVolume"), "512") << "no list: the stored value stays";
    EXPECT_EQ(Read(206, "iVolume"), "<none>");
    EXPECT_EQ(Read(206, "paraVideoSize"), "<none>") << "disabled boxes write nothing";
    EXPECT_EQ(settings_.ReadString("settings", "FormatCode", ""), "206");
    EXPECT_FALSE(settings_.ReadBool("lstformat", "2", true));
}

} // namespace
} // namespace tovik
