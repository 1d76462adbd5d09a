// The editing dialogs from the main window: the Edit menu and the list's context menu open
// them on the selected row, what they store reaches the job and its row, and a converted
// file starts and ends where the trim says.

#include "EditDialogTestSupport.h"

#include "../engine/StreamFacts.h"
#include "app/MainWindow.h"
#include "dialogs/crop/CropDialog.h"
#include "dialogs/trim/TrimDialog.h"
#include "settings/IniFile.h"
#include "workspace/core/ProfileChoices.h"
#include "workspace/run/ProgressWindow.h"
#include "workspace/ui/FileList.h"
#include "workspace/video/VideoWidget.h"

#include <QApplication>
#include <QCoreApplication>
#include <QLineEdit>
#include <QSpinBox>
#include <QTimer>
#include <cmath>
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

    void WhenCropShown(TfrmMain& window, const std::function<void()>& command) {
        WhenShown(
            [&window] {
                return window.CropDialog() && window.CropDialog()->isVisible() &&
                       window.CropDialog()->Opened();
            },
            command);
    }

    // Mean difference (0..255) of two pictures of one size; 255 when the sizes differ.
    static double Difference(const TBitmap& a, const TBitmap& b) {
        if (a.Width() != b.Width() || a.Height() != b.Height() || a.Empty())
            return 255;
        double sum = 0;
        for (int y = 0; y < a.Height(); ++y)
            for (int x = 0; x < a.Width() * 3; ++x)
                sum += std::abs(a.ScanLine(y)[x] - b.ScanLine(y)[x]);
        return sum / (3.0 * a.Width() * a.Height());
    }
    // The source's picture at time seconds, cut by the ffmpeg tool and scaled to the size.
    TBitmap Reference(const std::string& source, double seconds, const std::string& filters) {
        const std::string file = temp_.File("reference.png");
        char arguments[1024];
        std::snprintf(arguments, sizeof arguments, "-ss %.3f -i \"%s\" -frames:v 1 -vf %s \"%s\"",
                      seconds, source.c_str(), filters.c_str(), file.c_str());
        EXPECT_EQ(RunFfmpegTool(arguments), 0);
        const std::vector<TDecodedStream> streams = DecodeStreams(file);
        return streams.empty() ? TBitmap() : streams[0].FirstPicture;
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
        for (const char* caption : {"&Trim", "&Crop"}) {
            ASSERT_NE(Item(menu, caption), nullptr) << caption;
            EXPECT_FALSE(Item(menu, caption)->isEnabled()) << caption << ": no rows";
        }
    }
    ASSERT_EQ(window.AddFiles({Source("edit_long.mkv", "a.mkv"), Source("clip.avi", "b.avi")}), 2);
    window.FileList()->SelectRow(0);
    window.EditMenuPopup();
    window.ListMenuPopup();
    for (QMenu* menu : {window.EditMenu(), window.ListMenu()})
        for (const char* caption : {"&Trim", "&Crop"})
            EXPECT_TRUE(Item(menu, caption)->isEnabled()) << caption;

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

TEST_F(EditEndToEndTest, ATrimAndACropMadeInTheDialogsAreWhatTheConversionKeeps) {
    const fs::path output = PrepareSettings();
    TfrmMain window(TMainWindowServices::System(desktop_));
    window.show();
    LoadEngineLibrariesOrFail();
    const QString source = Source("edit_convert.mkv", "cut.mkv");
    ASSERT_EQ(window.AddFiles({source}), 1);
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

    // The 320 x 240 picture fills 336 x 251 preview pixels; margins of 30, 20, 40 and 10
    // are 28, 18, 38 and 10 source pixels.
    WhenCropShown(window, [&] {
        TfrmCrop& dialog = *window.CropDialog();
        EXPECT_EQ(dialog.Editor().Picture(), (TCropBox{17, 1, 336, 251}));
        dialog.UpBox()->setValue(30);
        dialog.DownBox()->setValue(20);
        dialog.LeftBox()->setValue(40);
        dialog.RightBox()->setValue(10);
        dialog.OkClick();
    });
    window.CropClick();
    const TlvFilesRecord& job = window.Jobs().Job(0);
    ASSERT_EQ((TSourceCrop{job.CropTop, job.CropBottom, job.CropLeft, job.CropRight}),
              (TSourceCrop{28, 18, 38, 10}));
    EXPECT_EQ(job.CropUpInput, 30);
    EXPECT_EQ(job.CropRightInput, 10);
    TfrmCrop* first = window.CropDialog();
    WhenCropShown(window, [&] {
        EXPECT_NE(window.CropDialog(), first) << "a new dialog for every use";
        EXPECT_EQ(window.CropDialog()->UpBox()->value(), 30) << "the job's margins again";
        window.CropDialog()->reject();
    });
    Item(window.ListMenu(), "&Crop")->trigger();

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

    // The format's frame size (640 x 480, the picture filling it), showing what the margins
    // leave of the picture at 1.5 s, not the whole picture.
    EXPECT_EQ(video[0].Width, 640);
    EXPECT_EQ(video[0].Height, 480);
    const std::string original = source.toStdString();
    const double cropped = Difference(video[0].FirstPicture,
                                      Reference(original, 1.5, "crop=272:194:38:28,scale=640:480"));
    const double whole =
        Difference(video[0].FirstPicture, Reference(original, 1.5, "scale=640:480"));
    const double later = Difference(video[0].FirstPicture,
                                    Reference(original, 1.7, "crop=272:194:38:28,scale=640:480"));
    std::printf("first picture against the cropped source %.2f, the whole %.2f, 0.2 s later %.2f\n",
                cropped, whole, later);
    EXPECT_LT(cropped, 6.0);
    EXPECT_GT(whole, 3 * cropped);
    EXPECT_GT(later, cropped) << "the picture of 1.5 s, not a later one";
}

} // namespace
} // namespace tovik::test
