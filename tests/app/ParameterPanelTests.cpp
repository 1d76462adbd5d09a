// The main window's hidden parameter controls: what a reload selects, what each handler
// writes (by the main window's own name tables), the checks of typed values, "Default", and
// that the window keeps the controls hidden and reloads them with the format.
#include "AppTestSupport.h"

#include "app/MainWindow.h"
#include "settings/IniFile.h"
#include "workspace/ui/FormatListBox.h"
#include "workspace/ui/ParameterPanel.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <memory>

namespace tovik::test {
namespace {

namespace fs = std::filesystem;

constexpr const char* kProfile = R"([formatInfo0]
Format=mov
FileExt=mov
VideoSize=320x240,640x480,as source
VideoEncoder=MPEG-4,H264,Xvid,Fancy
VideoBitRate=768,1200,as source
FrameRate=25,29.97
AudioEncoder=AAC,FLAC,amr_nb,libamr_nb,pcm_mulaw ,MP3
AudioBitRate=96,128
SampleRate=44100,48000
Channel=stereo 2 channels,mono 1 channel,Mono 1 Channel
Volume=100%,90%,200%
iVideoSize=1
iVideoEncoder=1
iVideoBitRate=1
iFrameRate=1
iAudioEncoder=1
iAudioBitRate=1
iSampleRate=1
iChannel=1
iVolume=2
paraGop=250
paraMaxBitrate=0
paraCoder=1
paraBitExact=TRUE
[formatInfo200]
Format=mp3
FileExt=mp3
VideoSize=null
VideoEncoder=
VideoBitRate=null
FrameRate=null
AudioEncoder=MP3
AudioBitRate=128
SampleRate=44100
Channel=stereo 2 channels
Volume=
[formatInfo1]
Format=mov
FileExt=mov
VideoSize=320x240
VideoEncoder=H264
VideoBitRate=768
FrameRate=25
AudioEncoder=AAC
AudioBitRate=96
SampleRate=44100
Channel=stereo 2 channels
Volume=100%
paraGop=-3
paraCoder=
)";

class ParameterPanelTest : public TAppTest {
protected:
    void SetUp() override {
        TAppTest::SetUp();
        WriteTextFile(ProfileFile(), kProfile);
    }
    std::string ProfileFile() const {
        return (temp_.Path() / "config" / "tovikavimovformat.ini").string();
    }
    std::unique_ptr<TParameterPanel> MakePanel(int code = 0) {
        auto panel =
            std::make_unique<TParameterPanel>(nullptr, SettingsFile(), ProfileFile(),
                                              [this](const QString& caption, const QString& text) {
                                                  messages_.push_back({caption, text});
                                              });
        panel->Reload(code);
        panel->show();
        return panel;
    }
    std::string Read(const char* key, int code = 0) {
        return TIniFile(SettingsFile())
            .ReadString("formatInfo" + std::to_string(code), key, "<none>");
    }
    void Write(const char* key, const std::string& value, int code = 0) {
        TIniFile(SettingsFile()).WriteString("formatInfo" + std::to_string(code), key, value);
    }
    void Type(QComboBox* box, const QString& text) {
        box->lineEdit()->clear();
        QTest::keyClicks(box->lineEdit(), text);
    }
    std::vector<std::pair<QString, QString>> messages_;
};

TEST_F(ParameterPanelTest, AReloadSelectsTheStoredChoicesAndWritesNothing) {
    Write("paraVideoSize", "640x480");
    Write("paraVideoBitRate", "1500"); // not an item: becomes the box's text
    Write("iFrameRate", "1");
    Write("iChannel", "2");
    Write("paraZoom", "pan");
    const std::string before = ReadSettingsText();
    auto panel = MakePanel();
    EXPECT_EQ(ReadSettingsText(), before);
    QComboBox* size = panel->Box(TChoiceControl::ccVideoSize);
    EXPECT_EQ(size->count(), 3);
    EXPECT_EQ(size->currentIndex(), 1);
    QComboBox* rate = panel->Box(TChoiceControl::ccVideoBitRate);
    EXPECT_EQ(rate->currentIndex(), -1);
    EXPECT_EQ(rate->currentText(), "1500");
    EXPECT_EQ(panel->Box(TChoiceControl::ccFrameRate)->currentText(), "29.97");
    EXPECT_EQ(panel->Box(TChoiceControl::ccChannel)->currentText(), "Mono 1 Channel");
    EXPECT_EQ(panel->Box(TChoiceControl::ccSampleRate)->currentText(), "44100") << "default";
    EXPECT_EQ(panel->Box(TChoiceControl::ccAudioBitRate)->currentText(), "96") << "default";
    EXPECT_EQ(panel->ZoomBox()->currentText(), "Pan and Scan");
    EXPECT_EQ(panel->ZoomBox()->count(), 3);
    // The items keep their blanks: the profile's "pcm_mulaw " is one item as written.
    EXPECT_EQ(panel->Box(TChoiceControl::ccAudioEncoder)->itemText(4), "pcm_mulaw ");
    for (TChoiceControl control : kChoiceControls)
        EXPECT_TRUE(panel->Box(control)->isEnabled());

    // "center" has no item of the list; an audio format disables the video controls.
    Write("paraZoom", "center");
    panel->Reload(0);
    EXPECT_EQ(panel->ZoomBox()->currentIndex(), -1);
    panel->Reload(200);
    EXPECT_EQ(panel->FormatCode(), 200);
    for (TChoiceControl control : {TChoiceControl::ccVideoSize, TChoiceControl::ccVideoEncoder,
                                   TChoiceControl::ccVideoBitRate, TChoiceControl::ccFrameRate})
        EXPECT_FALSE(panel->Box(control)->isEnabled());
    EXPECT_FALSE(panel->ZoomBox()->isEnabled());
    EXPECT_TRUE(panel->Box(TChoiceControl::ccAudioEncoder)->isEnabled());
    EXPECT_FALSE(panel->Box(TChoiceControl::ccVolume)->isEnabled()) << "an empty volume list";
}

TEST_F(ParameterPanelTest, LeavingTheFrameSizeChecksAndCorrectsIt) {
    auto panel = MakePanel();
    QComboBox* size = panel->Box(TChoiceControl::ccVideoSize);
    size->setEditText(QStringLiteral("321x240"));
    EXPECT_TRUE(panel->VideoSizeLeave());
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0].first, "Input Error!");
    EXPECT_EQ(messages_[0].second,
              "Frame Size must be a multiple of 2.\nThe correct value:320x240");
    EXPECT_EQ(size->currentText(), "320x240");
    EXPECT_EQ(Read("paraVideoSize"), "320x240");
    EXPECT_EQ(Read("iVideoSize"), "0") << "the corrected size is the first item";

    size->setEditText(QStringLiteral("0x0"));
    EXPECT_TRUE(panel->VideoSizeLeave());
    EXPECT_EQ(messages_.back().second,
              "Frame Size must be a multiple of 2.\nThe correct value:2x2");
    EXPECT_EQ(Read("paraVideoSize"), "2x2");
    EXPECT_EQ(Read("iVideoSize"), "-1") << "a typed size is no item";

    size->setEditText(QStringLiteral("1920x1080"));
    const size_t shown = messages_.size();
    EXPECT_TRUE(panel->VideoSizeLeave());
    EXPECT_EQ(messages_.size(), shown);
    EXPECT_EQ(Read("paraVideoSize"), "1920x1080");

    // Refused: nothing written, the second item selected.
    for (const char* bad : {"1920", "axb", "x480"}) {
        size->setEditText(QString::fromLatin1(bad));
        EXPECT_FALSE(panel->VideoSizeLeave()) << bad;
        EXPECT_EQ(messages_.back().second, "Frame Size is not a valid value!");
        EXPECT_EQ(size->currentIndex(), 1) << bad;
        EXPECT_EQ(Read("paraVideoSize"), "1920x1080") << bad;
    }
    // "as source" in any case is taken as it stands and writes nothing.
    size->setEditText(QStringLiteral("As Source"));
    EXPECT_TRUE(panel->VideoSizeLeave());
    EXPECT_EQ(Read("paraVideoSize"), "1920x1080");
    // Choosing the item writes its index and text.
    EXPECT_TRUE(panel->VideoSizeSelect(2));
    EXPECT_EQ(Read("paraVideoSize"), "as source");
    EXPECT_EQ(Read("iVideoSize"), "2");

    // Typing: digits and one "x"; other keys beep and are dropped.
    size->setFocus();
    Type(size, QStringLiteral("64a0x4x80"));
    EXPECT_EQ(size->currentText(), "640x480");
}

TEST_F(ParameterPanelTest, EncoderChannelAndVolumeChoicesUseTheMainWindowsTables) {
    auto panel = MakePanel();
    // H264: "libx264" with the profile's extras that hold a value.
    EXPECT_TRUE(panel->ItemChosen(TChoiceControl::ccVideoEncoder, 1));
    EXPECT_EQ(Read("paraVideoEncoder"), "libx264");
    EXPECT_EQ(Read("iVideoEncoder"), "1");
    EXPECT_EQ(Read("paraGop"), "250");
    EXPECT_EQ(Read("paraMaxBitrate"), "<none>") << "0 is no value";
    EXPECT_EQ(Read("paraCoder"), "1");
    EXPECT_EQ(Read("paraBitExact"), "TRUE");
    EXPECT_TRUE(panel->ItemChosen(TChoiceControl::ccVideoEncoder, 2));
    EXPECT_EQ(Read("paraVideoEncoder"), "libxvid");
    // A name the table does not know writes the index only.
    EXPECT_FALSE(panel->ItemChosen(TChoiceControl::ccVideoEncoder, 3));
    EXPECT_EQ(Read("paraVideoEncoder"), "libxvid");
    EXPECT_EQ(Read("iVideoEncoder"), "3");

    // A negative gop and an empty coder are not copied.
    auto other = MakePanel(1);
    EXPECT_TRUE(other->ItemChosen(TChoiceControl::ccVideoEncoder, 0));
    EXPECT_EQ(Read("paraVideoEncoder", 1), "libx264");
    EXPECT_EQ(Read("paraGop", 1), "<none>");
    EXPECT_EQ(Read("paraCoder", 1), "<none>");

    // The main window's audio names: "flac" is "libflac" and "amr_nb" is known, "libamr_nb"
    // (the settings dialog's name) is not; "pcm_mulaw " keeps its blank.
    const std::pair<int, const char*> audio[] = {
        {0, "libfaac"}, {1, "libflac"}, {2, "libopencore_amrnb"}, {4, "pcm_mulaw"}};
    for (const auto& [index, stored] : audio) {
        panel->ItemChosen(TChoiceControl::ccAudioEncoder, index);
        EXPECT_EQ(Read("paraAudioEncoder"), stored) << index;
    }
    EXPECT_FALSE(panel->ItemChosen(TChoiceControl::ccAudioEncoder, 3));
    EXPECT_EQ(Read("paraAudioEncoder"), "pcm_mulaw");
    EXPECT_EQ(Read("iAudioEncoder"), "3");

    // "mono 1 channel" stores "1"; the same words in other case store nothing.
    EXPECT_TRUE(panel->ItemChosen(TChoiceControl::ccChannel, 1));
    EXPECT_EQ(Read("paraChannel"), "1");
    EXPECT_FALSE(panel->ItemChosen(TChoiceControl::ccChannel, 2));
    EXPECT_EQ(Read("paraChannel"), "1");
    EXPECT_EQ(Read("iChannel"), "2");
    // 100% stores "256"; 90% nothing.
    EXPECT_TRUE(panel->ItemChosen(TChoiceControl::ccVolume, 0));
    EXPECT_EQ(Read("paraVolume"), "256");
    EXPECT_FALSE(panel->ItemChosen(TChoiceControl::ccVolume, 1));
    EXPECT_EQ(Read("paraVolume"), "256");

    panel->ItemChosen(TChoiceControl::ccFrameRate, 1);
    EXPECT_EQ(Read("paraFrameRate"), "29.97");
    EXPECT_EQ(Read("iFrameRate"), "1");
    panel->ZoomChange(1);
    EXPECT_EQ(Read("paraZoom"), "lbox");
    panel->ZoomChange(3);
    EXPECT_EQ(Read("paraZoom"), "lbox") << "the list has no fourth item";
}

TEST_F(ParameterPanelTest, RatesAreCheckedAsTheyChange) {
    auto panel = MakePanel();
    QComboBox* video = panel->Box(TChoiceControl::ccVideoBitRate);
    video->setEditText(QStringLiteral("1500"));
    EXPECT_TRUE(panel->RateChange(TChoiceControl::ccVideoBitRate));
    EXPECT_EQ(Read("paraVideoBitRate"), "1500");
    EXPECT_EQ(Read("iVideoBitRate"), "-1");
    video->setCurrentIndex(2);
    EXPECT_TRUE(panel->RateChange(TChoiceControl::ccVideoBitRate));
    EXPECT_EQ(Read("paraVideoBitRate"), "as source");
    EXPECT_EQ(Read("iVideoBitRate"), "2");
    video->setEditText(QStringLiteral("12.5"));
    EXPECT_FALSE(panel->RateChange(TChoiceControl::ccVideoBitRate));
    EXPECT_EQ(messages_.back().second, "Video BitRate is not a valid value!");
    EXPECT_EQ(video->currentIndex(), 1);
    EXPECT_EQ(Read("paraVideoBitRate"), "as source");

    // The audio bit rate takes a fraction, the sample rate does not.
    QComboBox* audio = panel->Box(TChoiceControl::ccAudioBitRate);
    audio->setEditText(QStringLiteral("96.5"));
    EXPECT_TRUE(panel->RateChange(TChoiceControl::ccAudioBitRate));
    EXPECT_EQ(Read("paraAudioBitRate"), "96.5");
    QComboBox* sample = panel->Box(TChoiceControl::ccSampleRate);
    sample->setEditText(QStringLiteral("22050.5"));
    EXPECT_FALSE(panel->RateChange(TChoiceControl::ccSampleRate));
    EXPECT_EQ(messages_.back().second, "Audio SampleRate is not a valid value!");
    EXPECT_EQ(Read("paraSampleRate"), "<none>");

    // A key other than a digit asks for a number and is dropped.
    const size_t shown = messages_.size();
    sample->setFocus();
    Type(sample, QStringLiteral("4k8000"));
    EXPECT_EQ(sample->currentText(), "48000");
    ASSERT_EQ(messages_.size(), shown + 1);
    EXPECT_EQ(messages_.back().second, "Please enter numerical.");
}

TEST_F(ParameterPanelTest, DefaultWritesTheProfilesDefaultChoices) {
    Write("paraZoom", "pan");
    auto panel = MakePanel();
    panel->DefaultButton()->click();
    EXPECT_EQ(Read("paraVideoSize"), "640x480");
    EXPECT_EQ(Read("iVideoSize"), "1");
    EXPECT_EQ(Read("paraVideoEncoder"), "libx264");
    EXPECT_EQ(Read("paraGop"), "250");
    EXPECT_EQ(Read("paraVideoBitRate"), "1200");
    EXPECT_EQ(Read("paraFrameRate"), "29.97");
    EXPECT_EQ(Read("paraZoom"), "full");
    EXPECT_EQ(Read("paraAudioEncoder"), "libflac");
    EXPECT_EQ(Read("paraAudioBitRate"), "128");
    EXPECT_EQ(Read("paraSampleRate"), "48000");
    EXPECT_EQ(Read("paraChannel"), "1");
    EXPECT_EQ(Read("paraVolume"), "512");
    EXPECT_EQ(panel->ZoomBox()->currentIndex(), 0);
    EXPECT_TRUE(messages_.empty());

    // A format without video and volume lists writes its audio choices only.
    auto audio = MakePanel(200);
    audio->DefaultClick();
    EXPECT_EQ(Read("paraAudioEncoder", 200), "libmp3lame");
    EXPECT_EQ(Read("paraVideoSize", 200), "<none>");
    EXPECT_EQ(Read("paraZoom", 200), "<none>");
    EXPECT_EQ(Read("paraVolume", 200), "<none>");
    EXPECT_TRUE(messages_.empty());
}

TEST_F(ParameterPanelTest, TheMainWindowKeepsThemHiddenAndReloadsThemWithTheFormat) {
    fs::copy_file(fs::path(TOVIK_DATA_DIR) / "tovikavimovformat.ini", ProfileFile(),
                  fs::copy_options::overwrite_existing);
    auto window = MakeWindow();
    TParameterPanel* panel = window->ParameterPanel();
    ASSERT_NE(panel, nullptr);
    EXPECT_FALSE(panel->isVisible());
    EXPECT_FALSE(panel->VideoGroup()->isVisible());
    EXPECT_FALSE(panel->DefaultButton()->isVisible());
    EXPECT_EQ(panel->FormatCode(), window->CurrentFormatCode().toInt());
    EXPECT_GT(panel->Box(TChoiceControl::ccVideoEncoder)->count(), 0);

    window->OpenFormatList(true);
    TFormatListBox* list = window->FormatList();
    for (int row = 0; row < list->count(); ++row)
        if (list->Rows().Row(row).IsGroup && list->Rows().Row(row).Code == 2 &&
            list->Rows().Row(row).Collapsed)
            list->PressRow(row, 5);
    const int mp3 = list->Rows().FindRow("MP3 MPEG Layer-3 Audio (*.mp3)");
    ASSERT_GE(mp3, 0);
    list->PressRow(mp3, 60);
    EXPECT_EQ(panel->FormatCode(), window->CurrentFormatCode().toInt());
    EXPECT_NE(panel->FormatCode(), 0);
    EXPECT_EQ(panel->Box(TChoiceControl::ccVideoEncoder)->count(), 0) << "an audio format";
    EXPECT_FALSE(panel->isVisible());
}

} // namespace
} // namespace tovik::test
