// The crop dialog under offscreen Qt with its real player: the picture rectangle of a real
// source, margins from the job and back, the spin boxes, dragging the rectangle with the
// mouse, Detect on clips with bars, and sources without a picture.

#include "EditDialogTestSupport.h"

#include "dialogs/common/SeekBar.h"
#include "dialogs/crop/CropDialog.h"
#include "dialogs/crop/RectTracker.h"
#include "workspace/video/VideoWidget.h"

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <fstream>
#include <thread>

namespace tovik::test {
namespace {

constexpr int64_t kSecond = 1'000'000;

class CropDialogTest : public EditDialogTest {
protected:
    static TCropBox Bounds(const TfrmCrop& dialog) { return dialog.Tracker()->Bounds(); }
    static TCropMargins Shown(const TfrmCrop& dialog) {
        return {dialog.UpBox()->value(), dialog.DownBox()->value(), dialog.LeftBox()->value(),
                dialog.RightBox()->value()};
    }
    static void SendMouse(QWidget* widget, QEvent::Type type, QPoint local, Qt::MouseButtons held) {
        QMouseEvent event(type, QPointF(local), QPointF(widget->mapToGlobal(local)),
                          type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, held,
                          Qt::NoModifier);
        QApplication::sendEvent(widget, &event);
    }
    // A drag of the rectangle from a point inside it by (dx, dy), in moves of a pixel or
    // two as a hand makes them.
    static void Drag(TfrmCrop& dialog, QPoint from, int dx, int dy) {
        QWidget* tracker = dialog.Tracker();
        SendMouse(tracker, QEvent::MouseButtonPress, from, Qt::LeftButton);
        const QPoint start = tracker->mapToGlobal(from);
        const int steps = std::max(std::abs(dx), std::abs(dy)) / 2 + 1;
        QPoint global = start;
        for (int step = 1; step <= steps; ++step) {
            global = start + QPoint(dx * step / steps, dy * step / steps);
            SendMouse(tracker, QEvent::MouseMove, tracker->mapFromGlobal(global), Qt::LeftButton);
        }
        SendMouse(tracker, QEvent::MouseButtonRelease, tracker->mapFromGlobal(global),
                  Qt::NoButton);
    }
};

TEST_F(CropDialogTest, A640x480SourceShowsItsPictureRectangleAndOkStoresEvenPixels) {
    const int row = AddJob(MediaFile("edit_vga.mp4"), 2 * kSecond);
    jobs_.EditJob(row, [](TlvFilesRecord& job) {
        job.CropUpInput = 10;
        job.CropLeftInput = 21;
        job.CropDownInput = 7;
    });
    TfrmCrop dialog(jobs_, &EditDialogTest::LoadLibraries);
    ASSERT_TRUE(dialog.Prepare(row)) << dialog.Screen()->Message().toStdString();
    EXPECT_EQ(dialog.windowTitle(), "Crop");
    EXPECT_EQ(dialog.size(), QSize(TfrmCrop::kWidth, TfrmCrop::kHeight));
    EXPECT_EQ(dialog.SourceWidth(), 640);
    EXPECT_EQ(dialog.SourceHeight(), 480);
    // Fitted as 338 x 253 from 16 pixels on the left; the picture rectangle one pixel in.
    EXPECT_EQ(dialog.Editor().Picture(), (TCropBox{17, 1, 336, 251}));
    EXPECT_EQ(Shown(dialog), (TCropMargins{10, 7, 21, 0}));
    EXPECT_TRUE(dialog.Tracker()->isVisible());
    EXPECT_EQ(Bounds(dialog), (TCropBox{38, 11, 315, 234}));
    EXPECT_EQ(dialog.SourceLabel()->text().toStdString(), MediaFile("edit_vga.mp4"));
    EXPECT_EQ(dialog.LengthLabel()->text(), "2.000 Second");
    EXPECT_FALSE(dialog.PlayButton()->isEnabled()) << "it plays on opening";
    // The player's picture lies under the rectangle: the preview is not its plain colour
    // inside the picture rectangle once a picture came.
    ASSERT_TRUE(PumpUntil([&] { return dialog.Screen()->PictureCount() > 0; }));
    const TScreenPicture picture = dialog.Screen()->Picture();
    EXPECT_NEAR(picture.Target.Left, 17, 1);
    EXPECT_NEAR(picture.Target.Width, 336, 2);
    EXPECT_EQ(picture.Target.Height, 253);

    QTest::keyClick(&dialog, Qt::Key_Return);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    const TlvFilesRecord& job = jobs_.Job(row);
    EXPECT_EQ(job.CropUpInput, 10);
    EXPECT_EQ(job.CropDownInput, 7);
    EXPECT_EQ(job.CropLeftInput, 21);
    EXPECT_EQ(job.CropRightInput, 0);
    // 10 of 251 rows of 480 are 19.12: stored as 18; 21 of 336 columns of 640 are 40.
    EXPECT_EQ(job.CropTop, 18);
    EXPECT_EQ(job.CropBottom, 12);
    EXPECT_EQ(job.CropLeft, 40);
    EXPECT_EQ(job.CropRight, 0);
    EXPECT_FALSE(dialog.MediaPlayer().Playing()) << "closing closes the player";
}

TEST_F(CropDialogTest, SpinBoxesStepTheRectangleAndTakeNoTyping) {
    const int row = AddJob(MediaFile("edit_vga.mp4"), 2 * kSecond);
    jobs_.EditJob(row, [](TlvFilesRecord& job) {
        job.CropUpInput = 120;
        job.CropDownInput = 119;
    });
    TfrmCrop dialog(jobs_, &EditDialogTest::LoadLibraries);
    ASSERT_TRUE(dialog.Prepare(row));
    EXPECT_EQ(Bounds(dialog).Height, 12);
    dialog.UpBox()->setFocus();
    QTest::keyClick(dialog.UpBox(), Qt::Key_Up);
    QTest::keyClick(dialog.UpBox(), Qt::Key_Up);
    EXPECT_EQ(dialog.UpBox()->value(), 122);
    EXPECT_EQ(Bounds(dialog), (TCropBox{17, 123, 336, 10}));
    // At 10 rows a larger margin is refused, by key and by the other box.
    QTest::keyClick(dialog.UpBox(), Qt::Key_Up);
    EXPECT_EQ(dialog.UpBox()->value(), 122);
    dialog.DownBox()->stepUp();
    EXPECT_EQ(dialog.DownBox()->value(), 119);
    EXPECT_EQ(Bounds(dialog).Height, 10);
    // Typing goes nowhere.
    QTest::keyClicks(dialog.UpBox(), "5");
    EXPECT_EQ(dialog.UpBox()->value(), 122);
    dialog.LeftBox()->setValue(30);
    EXPECT_EQ(Bounds(dialog).Left, 47);
    EXPECT_EQ(Bounds(dialog).Width, 306);

    // Reset and Default put the rectangle over the whole picture.
    dialog.ResetClick();
    EXPECT_EQ(Shown(dialog), (TCropMargins{}));
    EXPECT_EQ(Bounds(dialog), (TCropBox{17, 1, 336, 251}));
    dialog.UpBox()->setValue(4);
    QTest::mouseClick(dialog.findChild<QPushButton*>("btnDefault"), Qt::LeftButton);
    EXPECT_EQ(Shown(dialog), (TCropMargins{}));

    // Esc cancels: the job keeps what it had.
    dialog.RightBox()->setValue(9);
    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(jobs_.Job(row).CropUpInput, 120);
    EXPECT_EQ(jobs_.Job(row).CropRightInput, 0);
}

TEST_F(CropDialogTest, TheMouseDragsTheRectangleAndItsEdgesWithinThePicture) {
    const int row = AddJob(MediaFile("edit_vga.mp4"), 2 * kSecond);
    jobs_.EditJob(row, [](TlvFilesRecord& job) {
        job.CropUpInput = 20;
        job.CropDownInput = 20;
        job.CropLeftInput = 30;
        job.CropRightInput = 30;
    });
    TfrmCrop dialog(jobs_, &EditDialogTest::LoadLibraries);
    ASSERT_TRUE(dialog.Prepare(row));
    dialog.PauseClick();
    // Each zone shows its cursor as the pointer passes.
    QWidget* tracker = dialog.Tracker();
    const int w = tracker->width();
    const int h = tracker->height();
    const std::pair<QPoint, Qt::CursorShape> zones[] = {
        {{1, 1}, Qt::SizeFDiagCursor},      {{w - 2, h - 2}, Qt::SizeFDiagCursor},
        {{w - 2, 1}, Qt::SizeBDiagCursor},  {{1, h - 2}, Qt::SizeBDiagCursor},
        {{1, h / 2}, Qt::SizeHorCursor},    {{w - 2, h / 2}, Qt::SizeHorCursor},
        {{w / 2, 1}, Qt::SizeVerCursor},    {{w / 2, h - 2}, Qt::SizeVerCursor},
        {{w / 2, h / 2}, Qt::SizeAllCursor}};
    for (const auto& [point, shape] : zones) {
        SendMouse(tracker, QEvent::MouseMove, point, Qt::NoButton);
        EXPECT_EQ(tracker->cursor().shape(), shape) << point.x() << ", " << point.y();
    }
    // The whole rectangle moved 10 left and 6 up.
    Drag(dialog, QPoint(100, 100), -10, -6);
    EXPECT_EQ(Shown(dialog), (TCropMargins{14, 26, 20, 40}));
    EXPECT_EQ(Bounds(dialog), (TCropBox{37, 15, 276, 211}));
    // Moved far up and left: the top goes onto the picture's top, the left stops at the
    // picture's left edge.
    Drag(dialog, QPoint(100, 100), -60, -60);
    EXPECT_EQ(Bounds(dialog).Top, 1);
    EXPECT_EQ(Bounds(dialog).Left, 17);
    EXPECT_EQ(dialog.UpBox()->value(), 0);
    EXPECT_EQ(dialog.LeftBox()->value(), 0);
    // The bottom right handle pulled past the picture's corner: the rectangle ends there.
    const TCropBox before = Bounds(dialog);
    Drag(dialog, QPoint(before.Width - 2, before.Height - 2), 150, 150);
    EXPECT_EQ(Bounds(dialog).Right(), 17 + 336);
    EXPECT_EQ(Bounds(dialog).Bottom(), 1 + 251);
    EXPECT_EQ(Shown(dialog), (TCropMargins{}));
    // The left handle dragged inwards narrows it, never below 10.
    Drag(dialog, QPoint(1, Bounds(dialog).Height / 2), 400, 0);
    EXPECT_EQ(Bounds(dialog).Width, 10);
    EXPECT_EQ(dialog.LeftBox()->value(), 326);
    dialog.OkClick();
    EXPECT_EQ(jobs_.Job(row).CropLeftInput, 326);
    EXPECT_EQ(jobs_.Job(row).CropLeft, 620);
    EXPECT_EQ(jobs_.Job(row).CropRight, 0);
}

TEST_F(CropDialogTest, PlayPauseSeekAndTheEndOfTheFile) {
    const int row = AddJob(MediaFile("edit_vga.mp4"), 2 * kSecond);
    TfrmCrop dialog(jobs_, &EditDialogTest::LoadLibraries);
    ASSERT_TRUE(dialog.Prepare(row));
    TSeekBar* bar = dialog.SeekBar();
    EXPECT_TRUE(bar->isEnabled());
    EXPECT_EQ(bar->maximum(), bar->width());
    dialog.PauseClick();
    EXPECT_TRUE(dialog.PlayButton()->isEnabled());
    EXPECT_FALSE(dialog.PauseButton()->isEnabled());
    dialog.PlayClick();
    EXPECT_FALSE(dialog.PlayButton()->isEnabled());
    EXPECT_TRUE(dialog.PauseButton()->isEnabled());
    // The player's word of a pause is on its way to this thread when Play is pressed: it
    // arrives late and must not turn the buttons back.
    PumpFor(std::chrono::milliseconds(100));
    dialog.PauseClick();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    dialog.PlayClick();
    PumpFor(std::chrono::milliseconds(100));
    EXPECT_FALSE(dialog.PlayButton()->isEnabled());
    EXPECT_TRUE(dialog.PauseButton()->isEnabled());
    // Three quarters along the bar is 1.5 s, shown as whole seconds.
    emit bar->SeekRequested(bar->maximum() * 3 / 4);
    EXPECT_TRUE(PumpUntil([&] { return dialog.TimeLabel()->text() == "0:00:02"; }))
        << dialog.TimeLabel()->text().toStdString();
    // Played to the end: Play is offered again and plays from the start.
    ASSERT_TRUE(PumpUntil([&] { return dialog.PlayButton()->isEnabled(); }));
    EXPECT_FALSE(dialog.PauseButton()->isEnabled());
    dialog.PlayClick();
    EXPECT_TRUE(dialog.PauseButton()->isEnabled());
    EXPECT_TRUE(PumpUntil([&] { return dialog.TimeLabel()->text() == "0:00:01"; }))
        << dialog.TimeLabel()->text().toStdString() << " play " << dialog.PlayButton()->isEnabled()
        << " pause " << dialog.PauseButton()->isEnabled();
}

TEST_F(CropDialogTest, DetectProposesTheBarsAndNothingForADarkScene) {
    const int pillar = AddJob(MediaFile("edit_pillarbox.mp4"), 10 * kSecond);
    const int letter = AddJob(MediaFile("edit_letterbox.mp4"), 10 * kSecond);
    const int dark = AddJob(MediaFile("edit_dark_half.mp4"), 10 * kSecond);
    {
        TfrmCrop dialog(jobs_, &EditDialogTest::LoadLibraries);
        ASSERT_TRUE(dialog.Prepare(pillar));
        EXPECT_EQ(dialog.Editor().Picture(), (TCropBox{1, 23, 368, 207}));
        QTest::mouseClick(dialog.DetectButton(), Qt::LeftButton);
        EXPECT_NEAR(dialog.LeftBox()->value(), 46, 1);
        EXPECT_NEAR(dialog.RightBox()->value(), 46, 1);
        EXPECT_EQ(dialog.UpBox()->value(), 0);
        EXPECT_EQ(dialog.DownBox()->value(), 0);
        EXPECT_EQ(Bounds(dialog).Left, 1 + dialog.LeftBox()->value());
        EXPECT_FALSE(dialog.DetectLabel()->text().isEmpty());
        // The user may still change the proposal before OK.
        dialog.UpBox()->setValue(2);
        dialog.OkClick();
        EXPECT_NEAR(jobs_.Job(pillar).CropLeft, 80, 2);
        EXPECT_NEAR(jobs_.Job(pillar).CropRight, 80, 2);
        EXPECT_LE(jobs_.Job(pillar).CropLeft, 80) << "no picture is cut";
        EXPECT_EQ(jobs_.Job(pillar).CropTop, 2) << "2 of 207 rows of 360: 3.48, made even";
    }
    {
        TfrmCrop dialog(jobs_, &EditDialogTest::LoadLibraries);
        ASSERT_TRUE(dialog.Prepare(letter));
        dialog.DetectClick();
        dialog.OkClick();
        EXPECT_NEAR(jobs_.Job(letter).CropTop, 46, 2);
        EXPECT_NEAR(jobs_.Job(letter).CropBottom, 46, 2);
        EXPECT_EQ(jobs_.Job(letter).CropLeft, 0);
    }
    // Stored on its side (160 x 96, its bottom half black) and shown upright as 96 x 160
    // with the black half on the right: the dialog, the bars and the crop are the upright
    // picture's, as the conversion turns it before it crops.
    const int turned = AddJob(MediaFile("player_rotated.mp4"), kSecond);
    {
        TfrmCrop dialog(jobs_, &EditDialogTest::LoadLibraries);
        ASSERT_TRUE(dialog.Prepare(turned));
        EXPECT_EQ(dialog.SourceWidth(), 96);
        EXPECT_EQ(dialog.SourceHeight(), 160);
        EXPECT_EQ(dialog.Editor().Picture(), (TCropBox{110, 1, 150, 251}));
        dialog.DetectClick();
        EXPECT_EQ(Shown(dialog), (TCropMargins{0, 0, 0, 75}));
        dialog.OkClick();
        EXPECT_EQ(jobs_.Job(turned).CropRight, 48);
        EXPECT_EQ(jobs_.Job(turned).CropLeft, 0);
    }
    {
        TfrmCrop dialog(jobs_, &EditDialogTest::LoadLibraries);
        ASSERT_TRUE(dialog.Prepare(dark));
        dialog.LeftBox()->setValue(5);
        dialog.DetectClick();
        EXPECT_EQ(Shown(dialog), (TCropMargins{}));
        EXPECT_EQ(dialog.DetectLabel()->text(), "No black borders found.");
    }
}

TEST_F(CropDialogTest, SourcesWithoutAPictureStoreZerosAndSourcesThatDoNotPlayNothing) {
    const auto cropped = [](TlvFilesRecord& job) {
        job.CropTop = job.CropBottom = job.CropLeft = job.CropRight = 8;
        job.CropUpInput = job.CropDownInput = job.CropLeftInput = job.CropRightInput = 4;
    };
    const auto allZero = [](const TlvFilesRecord& job) {
        return job.CropTop == 0 && job.CropBottom == 0 && job.CropLeft == 0 && job.CropRight == 0 &&
               job.CropUpInput == 0 && job.CropDownInput == 0 && job.CropLeftInput == 0 &&
               job.CropRightInput == 0;
    };
    // Sound only: no rectangle, the boxes off at 0, OK stores zeros.
    const int tone = AddJob(MediaFile("fileinfo_tone.mp3"), 2 * kSecond);
    jobs_.EditJob(tone, cropped);
    {
        TfrmCrop dialog(jobs_, &EditDialogTest::LoadLibraries);
        ASSERT_TRUE(dialog.Prepare(tone));
        EXPECT_FALSE(dialog.Tracker()->isVisible());
        for (QSpinBox* box :
             {dialog.UpBox(), dialog.DownBox(), dialog.LeftBox(), dialog.RightBox()}) {
            EXPECT_FALSE(box->isEnabled());
            EXPECT_EQ(box->value(), 0);
        }
        EXPECT_FALSE(dialog.DetectButton()->isEnabled());
        dialog.OkClick();
        EXPECT_TRUE(allZero(jobs_.Job(tone)));
    }
    // A file that ends before its first picture: it opens and never shows one, but its
    // container tells the picture's size (160 x 120), which the rectangle is made from.
    const int cut = AddJob(MediaFile("cut_early.mkv"), 0);
    jobs_.EditJob(cut, cropped);
    {
        TfrmCrop dialog(jobs_, &EditDialogTest::LoadLibraries);
        ASSERT_TRUE(dialog.Prepare(cut)) << dialog.Screen()->Message().toStdString();
        EXPECT_EQ(dialog.Editor().Picture(), (TCropBox{17, 1, 336, 251}));
        PumpFor(std::chrono::milliseconds(200));
        EXPECT_EQ(dialog.Screen()->PictureCount(), 0);
        dialog.OkClick();
        // 4 of 251 rows of 120 and of 336 columns of 160 are 1.9: 2.
        EXPECT_EQ(jobs_.Job(cut).CropTop, 2);
        EXPECT_EQ(jobs_.Job(cut).CropLeft, 2);
    }
    // A file that does not open: OK is off and the job keeps its crop.
    const std::string text = temp_.File("notes.avi");
    std::ofstream(text) << "not a video";
    const int bad = AddJob(text, 0);
    jobs_.EditJob(bad, cropped);
    {
        TfrmCrop dialog(jobs_, &EditDialogTest::LoadLibraries);
        EXPECT_FALSE(dialog.Prepare(bad));
        EXPECT_FALSE(dialog.Screen()->Message().isEmpty());
        EXPECT_FALSE(dialog.OkButton()->isEnabled());
        EXPECT_FALSE(dialog.PlayButton()->isEnabled());
        EXPECT_FALSE(dialog.PauseButton()->isEnabled());
        dialog.OkClick();
        EXPECT_EQ(jobs_.Job(bad).CropTop, 8);
        EXPECT_EQ(jobs_.Job(bad).CropUpInput, 4);
    }
}

} // namespace
} // namespace tovik::test
