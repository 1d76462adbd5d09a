// The settings dialog under offscreen Qt: its boxes, the checks while typing and on leaving,
// Default, OK and Cancel; and the main window's commands that open it.
#include "AppTestSupport.h"

#include "app/MainWindow.h"
#include "dialogs/settings/SettingsDialog.h"
#include "settings/IniFile.h"
#include "workspace/ui/FileList.h"
#include "workspace/ui/FormatListBox.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <filesystem>
#include <fstream>

namespace tovik::test {
namespace {

namespace fs = std::filesystem;

class SettingsDialogTest : public TAppTest {
protected:
    void SetUp() override {
        TAppTest::SetUp();
        fs::copy_file(fs::path(TOVIK_DATA_DIR) / "tovikavimovformat.ini", ProfileFile());
    }
    std::string ProfileFile() const {
        return (temp_.Path() / "config" / "tovikavimovformat.ini").string();
    }
    std::unique_ptr<TfrmSettings> MakeDialog() {
        auto dialog =
            std::make_unique<TfrmSettings>(nullptr, SettingsFile(), ProfileFile(),
                                           [this](const QString& caption, const QString& text) {
                                               messages_.push_back({caption, text});
                                           });
        dialog->Prepare();
        dialog->show();
        return dialog;
    }
    std::string Read(int code, const char* key) {
        return TIniFile(SettingsFile())
            .ReadString("formatInfo" + std::to_string(code), key, "<none>");
    }
    // Opens group of the dialog's list and chooses the format row with text.
    void ChooseInDialog(TfrmSettings& dialog, const QString& text) {
        dialog.OpenFormatList();
        TFormatListBox* list = dialog.FormatList();
        for (int group = 0; group < 3 && list->Rows().FindRow(text.toStdString()) < 0; ++group)
            for (int row = 0; row < list->count(); ++row)
                if (list->Rows().Row(row).IsGroup && list->Rows().Row(row).Code == group &&
                    list->Rows().Row(row).Collapsed) {
                    list->PressRow(row, 5);
                    break;
                }
        const int row = list->Rows().FindRow(text.toStdString());
        ASSERT_GE(row, 0) << text.toStdString();
        list->PressRow(row, 60);
    }
    void TypeInto(QComboBox* box, const QString& text) {
        box->lineEdit()->clear();
        box->setFocus();
        QTest::keyClicks(box->lineEdit(), text);
    }
    std::vector<std::pair<QString, QString>> messages_;
};

TEST_F(SettingsDialogTest, ShowsTheStoredFormatWithItsListsAndSelections) {
    TIniFile settings(SettingsFile());
    settings.WriteString("settings", "FormatCode", "104");
    settings.WriteString("settings", "FormatName", "AVI Video (*.avi)");
    settings.WriteInteger("formatInfo104", "iVideoEncoder", 1);
    settings.WriteString("formatInfo104", "paraZoom", "pan");
    auto dialog = MakeDialog();
    EXPECT_EQ(dialog->windowTitle(), "Settings");
    EXPECT_EQ(dialog->size(), QSize(475, 370));
    EXPECT_EQ(dialog->FormatText(), "AVI Video (*.avi)");
    EXPECT_EQ(dialog->CurrentFormatCode(), 104);
    QComboBox* encoder = dialog->Box(TChoiceControl::ccVideoEncoder);
    EXPECT_EQ(encoder->count(), 5);
    EXPECT_EQ(encoder->currentText(), "XviD");
    EXPECT_EQ(encoder->maxVisibleItems(), 5);
    EXPECT_EQ(dialog->ZoomBox()->currentText(), "Pan and Scan");
    EXPECT_TRUE(dialog->Box(TChoiceControl::ccVolume)->isEnabled());

    // An audio format disables the video boxes and the zoom box.
    ChooseInDialog(*dialog, "MP3 MPEG Layer-3 Audio (*.mp3)");
    EXPECT_EQ(dialog->CurrentFormatCode(), 200);
    EXPECT_FALSE(encoder->isEnabled());
    EXPECT_FALSE(dialog->Box(TChoiceControl::ccVideoSize)->isEnabled());
    EXPECT_FALSE(dialog->ZoomBox()->isEnabled());
    EXPECT_TRUE(dialog->Box(TChoiceControl::ccAudioBitRate)->isEnabled());
    // DV has no audio bit rate list.
    ChooseInDialog(*dialog, "DV - PAL -Digital Video Format (*.dv)");
    EXPECT_FALSE(dialog->Box(TChoiceControl::ccAudioBitRate)->isEnabled());
    EXPECT_TRUE(dialog->Box(TChoiceControl::ccSampleRate)->isEnabled());
}

TEST_F(SettingsDialogTest, OddFrameSizesAreCorrectedOnLeavingAndStoredAtOk) {
    TIniFile(SettingsFile()).WriteString("settings", "FormatCode", "0");
    auto dialog = MakeDialog();
    QComboBox* size = dialog->Box(TChoiceControl::ccVideoSize);
    for (const auto& [typed, corrected] : std::vector<std::pair<QString, QString>>{
             {"641x479", "640x478"}, {"0x0", "2x2"}, {"321x240", "320x240"}}) {
        messages_.clear();
        TypeInto(size, typed);
        EXPECT_EQ(size->currentText(), typed);
        EXPECT_TRUE(dialog->LeaveBox(TChoiceControl::ccVideoSize));
        ASSERT_EQ(messages_.size(), 1u);
        EXPECT_EQ(messages_[0].first, "Input Error!");
        EXPECT_EQ(messages_[0].second,
                  "Frame Size must be a multiple of 2.\nThe correct value:" + corrected);
        EXPECT_EQ(size->currentText(), corrected);
    }
    EXPECT_EQ(Read(0, "paraVideoSize"), "<none>") << "nothing is written before OK";
    dialog->OkClick();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(Read(0, "paraVideoSize"), "320x240");
    EXPECT_EQ(Read(0, "iVideoSize"), "1") << "320x240 is an item of MOV's list";
}

TEST_F(SettingsDialogTest, TypedKeysAndRefusedValues) {
    TIniFile(SettingsFile()).WriteString("settings", "FormatCode", "0");
    auto dialog = MakeDialog();
    QComboBox* size = dialog->Box(TChoiceControl::ccVideoSize);
    TypeInto(size, "64a0xx48q0");
    EXPECT_EQ(size->currentText(), "640x480") << "letters and a second x are refused";
    QComboBox* rate = dialog->Box(TChoiceControl::ccVideoBitRate);
    messages_.clear();
    TypeInto(rate, "7k68");
    EXPECT_EQ(rate->currentText(), "768");
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0].second, "Please enter numerical.");

    // A text that came in another way (pasted) is refused on leaving and item 1 selected.
    messages_.clear();
    size->setEditText(QStringLiteral("big"));
    EXPECT_FALSE(dialog->LeaveBox(TChoiceControl::ccVideoSize));
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0].second, "Frame Size is not a valid value!");
    EXPECT_EQ(size->currentIndex(), 1);
    EXPECT_EQ(size->currentText(), "320x240");
    QComboBox* audioRate = dialog->Box(TChoiceControl::ccAudioBitRate);
    audioRate->setEditText(QStringLiteral("96.5"));
    EXPECT_TRUE(dialog->LeaveBox(TChoiceControl::ccAudioBitRate)) << "a fraction is allowed";
    QComboBox* sampleRate = dialog->Box(TChoiceControl::ccSampleRate);
    sampleRate->setEditText(QStringLiteral("44.1"));
    messages_.clear();
    EXPECT_FALSE(dialog->LeaveBox(TChoiceControl::ccSampleRate));
    EXPECT_EQ(messages_.at(0).second, "Audio SampleRate is not a valid value!");

    // OK checks the boxes too: a refused value is never stored and the dialog stays open.
    rate->setEditText(QStringLiteral("fast"));
    messages_.clear();
    dialog->OkClick();
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(messages_.at(0).second, "Video BitRate is not a valid value!");
    EXPECT_EQ(Read(0, "paraVideoBitRate"), "<none>");
    EXPECT_EQ(Read(0, "iVideoSize"), "<none>");
}

TEST_F(SettingsDialogTest, ATypedSizeIsStoredWithIndexMinusOneAndShownAgain) {
    TIniFile(SettingsFile()).WriteString("settings", "FormatCode", "0");
    auto dialog = MakeDialog();
    dialog->Box(TChoiceControl::ccVideoSize)->setEditText(QStringLiteral("400x300"));
    dialog->OkClick();
    EXPECT_EQ(Read(0, "iVideoSize"), "-1");
    EXPECT_EQ(Read(0, "paraVideoSize"), "400x300");
    dialog->Prepare();
    EXPECT_EQ(dialog->Box(TChoiceControl::ccVideoSize)->currentText(), "400x300");
    // Chosen again in the dialog's list, the stored -1 shows no selection.
    ChooseInDialog(*dialog, "MOV - Quick Time Video (*.mov)");
    EXPECT_EQ(dialog->Box(TChoiceControl::ccVideoSize)->currentIndex(), -1);
    EXPECT_EQ(dialog->Box(TChoiceControl::ccVideoSize)->currentText(), "");
}

TEST_F(SettingsDialogTest, CancelAfterChoosingAnotherFormatChangesNothing) {
    TIniFile settings(SettingsFile());
    settings.WriteString("settings", "FormatCode", "104");
    settings.WriteString("settings", "FormatName", "AVI Video (*.avi)");
    const std::string before = ReadSettingsText();
    auto dialog = MakeDialog();
    ChooseInDialog(*dialog, "WAV - Waveform Audio (*.wav)");
    dialog->Box(TChoiceControl::ccAudioEncoder)->setCurrentIndex(2);
    dialog->DefaultClick();
    dialog->CancelClick();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(ReadSettingsText(), before);
    // The next show starts again from the files.
    dialog->Prepare();
    EXPECT_EQ(dialog->FormatText(), "AVI Video (*.avi)");
    EXPECT_EQ(dialog->CurrentFormatCode(), 104);
}

TEST_F(SettingsDialogTest, DefaultSelectsTheProfilesIndexesWithoutWriting) {
    TIniFile(SettingsFile()).WriteString("settings", "FormatCode", "0");
    auto dialog = MakeDialog();
    dialog->ZoomBox()->setCurrentIndex(2);
    dialog->DefaultClick();
    EXPECT_EQ(dialog->Box(TChoiceControl::ccVideoSize)->currentText(), "640x480");
    EXPECT_EQ(dialog->Box(TChoiceControl::ccSampleRate)->currentText(), "44100");
    EXPECT_EQ(dialog->Box(TChoiceControl::ccVolume)->currentText(), "100%");
    EXPECT_EQ(dialog->ZoomBox()->currentIndex(), 0);
    EXPECT_EQ(Read(0, "iVideoSize"), "<none>");
    dialog->Box(TChoiceControl::ccVideoEncoder)->setCurrentText(QStringLiteral("H264"));
    dialog->Box(TChoiceControl::ccChannel)->setCurrentText(QStringLiteral("mono 1 channel"));
    dialog->OkClick();
    EXPECT_EQ(Read(0, "paraVideoEncoder"), "libx264");
    EXPECT_EQ(Read(0, "paraChannel"), "1");
    EXPECT_EQ(Read(0, "paraVolume"), "256");
    EXPECT_EQ(Read(0, "paraZoom"), "full");
    EXPECT_EQ(Read(0, "paraGop"), "<none>") << "MOV's profile has no H.264 extras";
}

TEST_F(SettingsDialogTest, OkForAFormatWithoutVolumeListWritesAndCloses) {
    TIniFile profile(ProfileFile());
    profile.WriteString("formatInfo206", "Volume", "null");
    TIniFile(SettingsFile()).WriteString("settings", "FormatCode", "206");
    auto dialog = MakeDialog();
    EXPECT_FALSE(dialog->Box(TChoiceControl::ccVolume)->isEnabled());
    dialog->OkClick();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_TRUE(messages_.empty());
    EXPECT_EQ(Read(206, "paraAudioEncoder"), "ac3");
    // Never chosen: the profile's default rate, as a run without the dialog would use.
    EXPECT_EQ(Read(206, "paraSampleRate"), "48000");
    EXPECT_EQ(TIniFile(SettingsFile()).ReadString("settings", "FormatCode", ""), "206");
}

// The main window's three settings commands open one dialog; OK rebuilds the main list and
// the destinations follow the format.
TEST_F(SettingsDialogTest, TheMainWindowsCommandsOpenTheDialogAndOkRebuildsItsList) {
    TIniFile(SettingsFile()).WriteString("settings", "FormatCode", "104");
    TIniFile(SettingsFile()).WriteString("settings", "FormatName", "AVI Video (*.avi)");
    TMainWindowServices services = WindowServices();
    services.ProbeSource = [](const std::string&, int64_t& duration) {
        duration = 3'000'000;
        return true;
    };
    TfrmMain window(std::move(services));
    window.show();
    ASSERT_EQ(window.AddFiles({QString::fromStdString(temp_.File("clip.avi"))}), 1);
    EXPECT_EQ(window.FileList()->Row(0)->text(flcDestination), "clip_(new).avi");

    auto* tool = window.findChild<QToolButton*>(QStringLiteral("btnSettings"));
    auto* button = window.findChild<QPushButton*>(QStringLiteral("btnSetting"));
    ASSERT_TRUE(tool && button);
    EXPECT_TRUE(tool->isEnabled());
    EXPECT_EQ(button->text(), "Settings");
    // The main list's groups are stored before the dialog shows.
    window.OpenFormatList(true);
    window.FormatList()->PressRow(2, 5); // expands the audio group
    int shown = 0;
    TfrmSettings* first = nullptr;
    const auto answer = [&](bool ok) {
        QTimer::singleShot(0, &window, [&, ok] {
            TfrmSettings* dialog = window.SettingsDialog();
            ASSERT_TRUE(dialog && dialog->isVisible());
            ++shown;
            EXPECT_TRUE(first == nullptr || first == dialog) << "one dialog, shown again";
            first = dialog;
            EXPECT_FALSE(TIniFile(SettingsFile()).ReadBool("lstformat", "2", true));
            if (ok)
                ChooseInDialog(*dialog, "MOV - Quick Time Video (*.mov)");
            ok ? dialog->OkClick() : dialog->CancelClick();
        });
    };
    answer(false);
    tool->click();
    answer(false);
    button->click();
    EXPECT_EQ(window.FormatText(), "AVI Video (*.avi)");
    answer(true);
    window.SettingsClick();
    EXPECT_EQ(shown, 3);
    EXPECT_EQ(window.FormatText(), "MOV - Quick Time Video (*.mov)");
    EXPECT_EQ(window.CurrentFormatCode(), "0");
    EXPECT_EQ(window.FileList()->Row(0)->text(flcDestination), "clip_(new).mov");

    // Choosing in the main list renames the destinations as well.
    window.OpenFormatList(true);
    const int mp3 = window.FormatList()->Rows().FindRow("MP3 MPEG Layer-3 Audio (*.mp3)");
    ASSERT_GE(mp3, 0);
    window.FormatList()->PressRow(mp3, 60);
    EXPECT_EQ(window.FileList()->Row(0)->text(flcDestination), "clip_(new).mp3");
}

TEST_F(SettingsDialogTest, AFirstStartShowsTheProfilesFirstFormatAsChosen) {
    auto window = MakeWindow();
    EXPECT_EQ(window->FormatText(), "MOV - Quick Time Video (*.mov)");
    EXPECT_EQ(window->CurrentFormatCode(), "0");
    EXPECT_EQ(TIniFile(SettingsFile()).ReadString("settings", "FormatCode", ""), "0");
}

} // namespace
} // namespace tovik::test
