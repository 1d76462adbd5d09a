// The watermark dialog from the main window: the menus open it on the selected row, and the
// layers and effects made in it come out of the conversion as the dialog showed them.

#include "EditDialogTestSupport.h"

#include "app/MainWindow.h"
#include "dialogs/layers/LayeredImageView.h"
#include "dialogs/watermark/WaterMarkDialog.h"
#include "settings/IniFile.h"
#include "workspace/core/ProfileChoices.h"
#include "workspace/run/ProgressWindow.h"
#include "workspace/ui/FileList.h"

#include <QApplication>
#include <QLineEdit>
#include <QMouseEvent>
#include <QRadioButton>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace tovik::test {
namespace {

namespace fs = std::filesystem;
using layers::TPointF;

class WaterMarkEndToEndTest : public EditDialogTest {
protected:
    // An output folder and the MOV format at the source's size and a high bit rate.
    fs::path PrepareSettings() {
        const fs::path output = temp_.Path() / "out";
        fs::create_directories(output);
        const fs::path config = temp_.Path() / "config";
        fs::copy_file(fs::path(TOVIK_DATA_DIR) / "tovikavimovformat.ini",
                      config / "tovikavimovformat.ini");
        TIniFile settings(SettingsFile());
        const TIniFile profile((config / "tovikavimovformat.ini").string());
        settings.WriteString("settings", "OutPutDir", output.string());
        settings.WriteString("settings", "FormatCode", "0");
        settings.WriteString("settings", "FormatName", "QuickTime MOV");
        ApplyProfileDefaults(settings, profile, 0);
        EXPECT_TRUE(ApplyChoice(settings, profile, 0, TChoiceControl::ccVideoSize, 0));
        EXPECT_TRUE(ApplyChoice(settings, profile, 0, TChoiceControl::ccVideoBitRate, 9));
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

    // Runs command inside the dialog's modal loop once its first picture is in the view.
    static void WhenShown(TfrmMain& window, const std::function<void(TfrmWaterMark&)>& command) {
        QTimer::singleShot(20, qApp, [&window, command] {
            TfrmWaterMark* dialog = window.WaterMarkDialog();
            if (!dialog || !dialog->isVisible() || !dialog->Opened() ||
                dialog->PictureCount() == 0) {
                WhenShown(window, command);
                return;
            }
            command(*dialog);
            if (auto* open = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                open->reject();
        });
    }

    // Drags the layer under a picture point by (dx, dy) picture pixels with the mouse.
    static void Drag(TLayeredImageView& view, TPointF from, double dx, double dy) {
        const QPointF start = view.PictureToView(from);
        const QPointF end = view.PictureToView({from.X + dx, from.Y + dy});
        for (auto [type, at] :
             {std::pair{QEvent::MouseButtonPress, start}, std::pair{QEvent::MouseMove, end},
              std::pair{QEvent::MouseButtonRelease, end}}) {
            QMouseEvent event(type, at, view.viewport()->mapToGlobal(at),
                              type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                              type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                              Qt::NoModifier);
            QApplication::sendEvent(view.viewport(), &event);
        }
    }

    // Peak signal to noise ratio of two pictures of one size, dB: over all three colours, or
    // over the brightness (BT.601 weights).
    static double Psnr(const QImage& a, const QImage& b, bool luma) {
        double squares = 0;
        for (int y = 0; y < a.height(); ++y)
            for (int x = 0; x < a.width(); ++x) {
                const QRgb p = a.pixel(x, y);
                const QRgb q = b.pixel(x, y);
                const double dr = qRed(p) - qRed(q);
                const double dg = qGreen(p) - qGreen(q);
                const double db = qBlue(p) - qBlue(q);
                if (luma) {
                    const double dy = 0.299 * dr + 0.587 * dg + 0.114 * db;
                    squares += 3 * dy * dy;
                } else {
                    squares += dr * dr + dg * dg + db * db;
                }
            }
        const double mse = squares / (3.0 * a.width() * a.height());
        return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
    }
};

TEST_F(WaterMarkEndToEndTest, WhatTheDialogShowsIsWhatTheConversionMakes) {
    const fs::path output = PrepareSettings();
    TfrmMain window(TMainWindowServices::System(desktop_));
    window.show();
    LoadEngineLibrariesOrFail();
    const QString caption = QStringLiteral("&Video Effect && Water Mark");
    window.EditMenuPopup();
    window.ListMenuPopup();
    ASSERT_NE(Item(window.EditMenu(), caption), nullptr);
    ASSERT_NE(Item(window.ListMenu(), caption), nullptr);
    EXPECT_FALSE(Item(window.EditMenu(), caption)->isEnabled()) << "no rows";
    ASSERT_EQ(window.AddFiles({Source("edit_convert.mkv", "wm.mkv")}), 1);
    window.FileList()->SelectRow(0);
    window.EditMenuPopup();
    window.ListMenuPopup();
    EXPECT_TRUE(Item(window.EditMenu(), caption)->isEnabled());
    EXPECT_TRUE(Item(window.ListMenu(), caption)->isEnabled());

    // A half-transparent logo: blue, alpha 160, with a fully transparent frame around it.
    QImage logo(60, 40, QImage::Format_ARGB32);
    logo.fill(Qt::transparent);
    for (int y = 8; y < 32; ++y)
        for (int x = 8; x < 52; ++x)
            logo.setPixel(x, y, qRgba(20, 40, 230, 160));
    const std::string logoFile = temp_.File("logo.png");
    ASSERT_TRUE(logo.save(QString::fromStdString(logoFile)));
    desktop_.ChosenFiles = {QString::fromStdString(logoFile)};

    QImage preview;
    int64_t previewTime = -1;
    WhenShown(window, [&](TfrmWaterMark& dialog) {
        dialog.PauseClick();
        // White text on a filled green box, moved to the top-left part of the picture.
        dialog.AddTextClick();
        dialog.TextEditor()->selectAll();
        QTest::keyClick(dialog.TextEditor(), Qt::Key_Backspace);
        QTest::keyClicks(dialog.TextEditor(), QStringLiteral("Tovik"));
        dialog.TextColorBox()->setCurrentIndex(15); // white
        dialog.FilledButton()->setChecked(true);
        dialog.OpacitySlider()->setValue(230);
        const layers::TRectF text = dialog.Row(0).Layer->Location();
        const TPointF middle{(text.Left + text.Right) / 2, (text.Top + text.Bottom) / 2};
        Drag(*dialog.View(), middle, 20 - text.Left, 30 - text.Top);
        EXPECT_NEAR(dialog.Row(0).Layer->Location().Width(), text.Width(), 1e-9) << "moved";
        // The logo, moved toward the bottom right and made fully opaque as a layer.
        dialog.AddImageClick();
        ASSERT_EQ(dialog.RowCount(), 2);
        dialog.OpacitySlider()->setValue(255);
        const layers::TRectF picture = dialog.Row(1).Layer->Location();
        Drag(*dialog.View(), {picture.Left + 30, picture.Top + 20}, 230 - picture.Left,
             170 - picture.Top);
        dialog.EffectSlider(0)->setValue(300);
        // The picture at 2 s, as the dialog shows it.
        dialog.MediaPlayer().Seek(2'000'000, 0, true);
        ASSERT_TRUE(PumpUntil([&] {
            preview = dialog.PreviewFrame(&previewTime);
            return previewTime == 2'000'000;
        }));
        dialog.OkClick();
    });
    Item(window.EditMenu(), caption)->trigger();
    ASSERT_EQ(previewTime, 2'000'000);
    const TJobEffects& effects = window.Jobs().Job(0).Effects;
    ASSERT_EQ(effects.Overlays.size(), 2u);
    EXPECT_EQ(effects.Brightness, 300);
    EXPECT_EQ(effects.Overlays[0]->Text, "Tovik");
    EXPECT_TRUE(effects.Overlays[0]->BackFilled);
    EXPECT_EQ(effects.Overlays[0]->TextLeft, 20);
    EXPECT_EQ(effects.Overlays[0]->TextTop, 30);
    EXPECT_EQ(effects.Overlays[1]->PictureFile, logoFile);
    EXPECT_EQ(effects.Overlays[1]->PictureLeft, 230);
    EXPECT_EQ(effects.Overlays[1]->PictureTop, 170);

    window.OnProgressShown = [](TfrmProgress& progress) {
        QTimer::singleShot(180'000, &progress, [&progress] { progress.close(); });
    };
    window.StartClick();
    const fs::path converted = output / "wm_(new).mov";
    ASSERT_TRUE(fs::exists(converted)) << window.LogText().toStdString();

    // The converted picture at 2 s: the 41st at 20 pictures a second.
    const std::string frameFile = temp_.File("frame.png");
    const std::string command =
        std::string(TOVIK_FFMPEG_TOOL) + " -hide_banner -loglevel error -nostdin -y -i '" +
        converted.string() + "' -vf 'select=eq(n\\,40)' -frames:v 1 '" + frameFile + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    const QImage frame(QString::fromStdString(frameFile));
    ASSERT_EQ(frame.size(), preview.size());
    const double psnr = Psnr(frame, preview, false);
    const double luma = Psnr(frame, preview, true);
    std::printf("dialog preview against the converted picture: %.1f dB, luma %.1f dB\n", psnr,
                luma);
    // The colours lose most to the output's halved colour resolution at the test picture's
    // saturated edges (the preview itself through 4:2:0 and back gives about 32 dB); the
    // brightness shows how close the two really are.
    EXPECT_GT(psnr, 30);
    EXPECT_GT(luma, 38);
    // The layers are really there: the text box's green and the logo's blue.
    // The box's lower left corner: what font the machine has, no letter reaches there.
    const QColor box(
        frame.pixel(effects.Overlays[0]->TextLeft + 1,
                    effects.Overlays[0]->TextTop + effects.Overlays[0]->TextHeight - 2));
    EXPECT_GT(box.green(), 100);
    EXPECT_LT(box.red(), 80);
    const QColor blue(frame.pixel(230 + 30, 170 + 20));
    EXPECT_GT(blue.blue(), blue.red() + 60);
}

} // namespace
} // namespace tovik::test
