// The editing dialogs from the main window: the Edit menu and the list's context menu open
// them on the selected row, what they store reaches the job and its row, and a converted
// file starts and ends where the trim says.

#include "EditDialogTestSupport.h"

#include "../engine/StreamFacts.h"
#include "app/MainWindow.h"
#include "dialogs/trim/TrimDialog.h"
#include "settings/IniFile.h"
#include "workspace/core/ProfileChoices.h"
#include "workspace/run/ProgressWindow.h"
#include "workspace/ui/FileList.h"
#include "workspace/video/VideoWidget.h"

#include <QApplication>
#include <QCoreApplication>
#include <QLineEdit>
#include <QTimer>
#include <cstdio>
#include <filesystem>

namespace tovik::test {
namespace {

namespace fs = std::filesystem;
constexpr int64_t kSecond = 1'000'000;

class EditEndToEndTest : public EditDialogTest {
protected:
    // An output folder, the profile file and the MOV format with its default choices.
    fs::path PrepareSettings() {
        const fs::path output = temp_.Path() / "out";
        fs::create_directories(output);
        const fs::path config = temp_.Path() / "config";
        fs::copy_file(fs::path(TOVIK_DATA_DIR) / "tovikavimovformat.ini",
                      config / "tovikavimovformat.ini");
        TIniFile settings(SettingsFile());
        settings.WriteString("settings", "OutPutDir", output.string());
        settings.WriteString("settings", "FormatCode", "0");
        settings.WriteString("settings", "FormatName", "QuickTime MOV");
        ApplyProfileDefaults(settings, TIniFile((config / "tovikavimovformat.ini").string()), 0);
        return output;
    }

    QString Source(const std::string& clip, const std::string& name) {
        const fs::path sources = temp_.Path() / "sources";
        fs::create_directories(sources);
        fs::copy_file(MediaFile(clip), sources / name);
        return QString::fromStdString((sources / name).string());
    }

    static QAction* Item(QMenu* menu, const QString& caption) {
        for (QAction* action : menu->actions())
            if (action->text() == caption)
                return action;
        return nullptr;
    }

    // Runs command inside the modal loop of the dialog the window opens, once ready() (the
    // dialog's source is open: opening serves events, so a plain timer could fire before);
    // a dialog the command left open (a failed assertion returns early) is cancelled.
    static void WhenShown(const std::function<bool()>& ready,
                          const std::function<void()>& command) {
        QTimer::singleShot(20, qApp, [ready, command] {
            if (!ready()) {
                WhenShown(ready, command);
                return;
            }
            command();
            if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                dialog->reject();
        });
    }
    void WhenTrimShown(TfrmMain& window, const std::function<void()>& command) {
        WhenShown(
            [&window] {
                return window.TrimDialog() && window.TrimDialog()->isVisible() &&
                       window.TrimDialog()->Opened();
            },
            command);
    }

    static bool ShowsPictureAt(TfrmTrim& dialog, int64_t pts) {
        return PumpUntil([&] {
            const TScreenPicture picture = dialog.Screen()->Picture();
            return picture.Picture && picture.PTS == pts;
        });
    }
};

TEST_F(EditEndToEndTest, TheMenusOpenTheTrimDialogOnTheSelectedRow) {
    TfrmMain window(TMainWindowServices::System(desktop_));
    window.show();
    LoadEngineLibrariesOrFail();
    for (QMenu* menu : {window.EditMenu(), window.ListMenu()}) {
        window.EditMenuPopup();
        window.ListMenuPopup();
        ASSERT_NE(Item(menu, "&Trim"), nullptr);
        EXPECT_FALSE(Item(menu, "&Trim")->isEnabled()) << "no rows";
    }
    ASSERT_EQ(window.AddFiles({Source("edit_long.mkv", "a.mkv"), Source("clip.avi", "b.avi")}), 2);
    window.FileList()->SelectRow(0);
    window.EditMenuPopup();
    window.ListMenuPopup();
    EXPECT_TRUE(Item(window.EditMenu(), "&Trim")->isEnabled());
    EXPECT_TRUE(Item(window.ListMenu(), "&Trim")->isEnabled());

    // The preview plays the row; the dialog's player takes over.
    window.FileList()->SelectRow(0);
    bool shown = false;
    WhenTrimShown(window, [&] {
        TfrmTrim* dialog = window.TrimDialog();
        ASSERT_NE(dialog, nullptr);
        shown = dialog->isVisible() && dialog->isModal();
        EXPECT_TRUE(dialog->Opened()) << dialog->Screen()->Message().toStdString();
        dialog->PauseClick();
        dialog->SkipSeconds(-10);
        dialog->SkipSeconds(3);
        ASSERT_TRUE(ShowsPictureAt(*dialog, 3 * kSecond));
        dialog->SetStartClick();
        dialog->SkipSeconds(4);
        ASSERT_TRUE(ShowsPictureAt(*dialog, 7 * kSecond));
        dialog->SetEndClick();
        dialog->OkClick();
    });
    Item(window.EditMenu(), "&Trim")->trigger();
    EXPECT_TRUE(shown);
    EXPECT_EQ(window.Jobs().Job(0).TrimStart, 3 * kSecond);
    EXPECT_EQ(window.Jobs().Job(0).TrimLength, 4 * kSecond);
    EXPECT_EQ(window.FileList()->Row(0)->text(2), "4") << "the Trimmed Length column";
    EXPECT_EQ(window.Jobs().Job(1).TrimLength, 0);

    // The context menu opens the same dialog on the other row; Cancel keeps its job.
    window.FileList()->SelectRow(1);
    TfrmTrim* first = window.TrimDialog();
    WhenTrimShown(window, [&] {
        EXPECT_EQ(window.TrimDialog(), first) << "one dialog for every use";
        EXPECT_TRUE(window.TrimDialog()->EndBox()->text().startsWith("00:00:02."));
        window.TrimDialog()->reject();
    });
    Item(window.ListMenu(), "&Trim")->trigger();
    EXPECT_EQ(window.Jobs().Job(1).TrimStart, 0);
    EXPECT_EQ(window.FileList()->Row(1)->text(2), "2");
}

TEST_F(EditEndToEndTest, ATrimMadeInTheDialogIsWhatTheConversionKeeps) {
    const fs::path output = PrepareSettings();
    TfrmMain window(TMainWindowServices::System(desktop_));
    window.show();
    LoadEngineLibrariesOrFail();
    ASSERT_EQ(window.AddFiles({Source("edit_convert.mkv", "cut.mkv")}), 1);
    window.FileList()->SelectRow(0);

    // 2 s from 1.5 s: the clip has a picture every 50 ms.
    WhenTrimShown(window, [&] {
        TfrmTrim& dialog = *window.TrimDialog();
        dialog.PauseClick();
        // From the first picture on, wherever the playing got to.
        dialog.SkipSeconds(-10);
        dialog.SkipSeconds(1);
        dialog.StepPictures(10);
        ASSERT_TRUE(ShowsPictureAt(dialog, 1500000));
        dialog.SetStartClick();
        dialog.SkipSeconds(2);
        ASSERT_TRUE(ShowsPictureAt(dialog, 3500000));
        dialog.SetEndClick();
        EXPECT_EQ(dialog.StartBox()->text(), "00:00:01.500");
        EXPECT_EQ(dialog.EndBox()->text(), "00:00:03.500");
        dialog.OkClick();
    });
    window.TrimClick();
    ASSERT_EQ(window.Jobs().Job(0).TrimStart, 1500000);
    ASSERT_EQ(window.Jobs().Job(0).TrimLength, 2 * kSecond);

    window.OnProgressShown = [](TfrmProgress& progress) {
        QTimer::singleShot(180'000, &progress, [&progress] { progress.close(); });
    };
    window.StartClick();
    const fs::path converted = output / "cut_(new).mov";
    ASSERT_TRUE(fs::exists(converted)) << window.LogText().toStdString();
    const std::vector<TDecodedStream> streams = DecodeStreams(converted.string());
    const std::vector<TDecodedStream> video = StreamsOfType(streams, AVMEDIA_TYPE_VIDEO);
    const std::vector<TDecodedStream> audio = StreamsOfType(streams, AVMEDIA_TYPE_AUDIO);
    ASSERT_EQ(video.size(), 1u);
    ASSERT_EQ(audio.size(), 1u);
    // MOV keeps the source's 20 pictures a second.
    const double frame = 1.0 / 20;
    std::printf("trimmed output: video %.4f s from %.4f s, sound %.4f s\n", video[0].Length(),
                video[0].Start, audio[0].Length());
    EXPECT_NEAR(video[0].Length(), 2.0, frame);
    EXPECT_NEAR(audio[0].Length(), 2.0, 0.025);
}

} // namespace
} // namespace tovik::test
