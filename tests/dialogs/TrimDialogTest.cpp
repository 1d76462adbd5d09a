// The trim dialog under offscreen Qt with its real player: marks loaded from the job, frame
// steps onto neighbouring pictures, the keys, and a source that does not play.

#include "EditDialogTestSupport.h"

#include "dialogs/common/SeekBar.h"
#include "dialogs/trim/TrimDialog.h"
#include "workspace/video/VideoWidget.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <cmath>
#include <fstream>
#include <vector>

namespace tovik::test {
namespace {

constexpr int64_t kSecond = 1'000'000;

class TrimDialogTest : public EditDialogTest {
protected:
    // Waits until the screen shows the picture of that time.
    bool ShowsPictureAt(TfrmTrim& dialog, int64_t pts) {
        return PumpUntil([&] {
            const TScreenPicture picture = dialog.Screen()->Picture();
            return picture.Picture && picture.PTS == pts;
        });
    }
    // The grey of the ramp clip's picture on the screen: it grows by about 1.8 from one
    // picture to the next, so neighbours differ by one such step.
    static double RampGrey(TfrmTrim& dialog) {
        const TScreenPicture picture = dialog.Screen()->Picture();
        const TBitmap& bitmap = *picture.Picture;
        double sum = 0;
        int count = 0;
        for (int y = bitmap.Height() / 4; y < bitmap.Height() * 3 / 4; ++y)
            for (int x = bitmap.Width() / 4; x < bitmap.Width() * 3 / 4; ++x, ++count)
                sum += bitmap.ScanLine(y)[x * 3 + 1];
        return sum / count;
    }
    static void ExpectNeighbours(double earlier, double later) {
        EXPECT_GT(later - earlier, 0.8);
        EXPECT_LT(later - earlier, 3.0);
    }
};

TEST_F(TrimDialogTest, AJobsTrimOpensAtItsMarksAndOkKeepsIt) {
    const int row = AddJob(MediaFile("edit_long.mkv"), 20 * kSecond);
    jobs_.EditJob(row, [](TlvFilesRecord& job) {
        job.TrimStart = 10 * kSecond;
        job.TrimLength = 5 * kSecond;
    });
    TfrmTrim dialog(jobs_, &EditDialogTest::LoadLibraries);
    ASSERT_TRUE(dialog.Prepare(row)) << dialog.Screen()->Message().toStdString();
    EXPECT_EQ(dialog.StartBox()->text(), "00:00:10.000");
    EXPECT_EQ(dialog.EndBox()->text(), "00:00:15.000");
    EXPECT_EQ(dialog.windowTitle().toStdString(), TrimCaption(MediaFile("edit_long.mkv")));
    EXPECT_TRUE(dialog.LengthLabel()->text().startsWith("Duration:    00:00:20"))
        << dialog.LengthLabel()->text().toStdString();
    const int maximum = dialog.SeekBar()->maximum();
    EXPECT_EQ(maximum, dialog.SeekBar()->width());
    EXPECT_NEAR(dialog.SeekBar()->SelectionStart(), maximum / 2, 1);
    EXPECT_NEAR(dialog.SeekBar()->SelectionEnd(), maximum * 3 / 4, 1);
    EXPECT_TRUE(dialog.SeekBar()->isEnabled());
    EXPECT_FALSE(dialog.PlayButton()->isEnabled()) << "it plays on opening";
    EXPECT_TRUE(dialog.PauseButton()->isEnabled());
    // It plays: the time label follows.
    EXPECT_TRUE(PumpUntil([&] { return dialog.TimeLabel()->text().startsWith("Time:"); }));

    QTest::keyClick(&dialog, Qt::Key_Return);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(jobs_.Job(row).TrimStart, 10 * kSecond);
    EXPECT_EQ(jobs_.Job(row).TrimLength, 5 * kSecond);
    EXPECT_FALSE(dialog.MediaPlayer().Playing()) << "closing closes the player";
}

TEST_F(TrimDialogTest, FrameStepsLandOnNeighbouringPicturesAndMarkThem) {
    const int row = AddJob(MediaFile("player_ramp.mkv"), 5 * kSecond);
    TfrmTrim dialog(jobs_, &EditDialogTest::LoadLibraries);
    ASSERT_TRUE(dialog.Prepare(row));
    dialog.PauseClick();
    EXPECT_TRUE(dialog.PlayButton()->isEnabled());

    dialog.SkipSeconds(1);
    ASSERT_TRUE(ShowsPictureAt(dialog, kSecond));
    std::vector<double> greys{RampGrey(dialog)};
    // Forward and back, by key and by call: each lands on the neighbouring picture.
    int64_t expected = kSecond;
    for (int step = 0; step < 4; ++step) {
        if (step % 2 == 0)
            QTest::keyClick(&dialog, Qt::Key_Right);
        else
            dialog.StepPictures(1);
        expected += 40000;
        ASSERT_TRUE(ShowsPictureAt(dialog, expected)) << "step " << step;
        greys.push_back(RampGrey(dialog));
        ExpectNeighbours(greys[greys.size() - 2], greys.back());
    }
    QTest::keyClick(&dialog, Qt::Key_Left);
    ASSERT_TRUE(ShowsPictureAt(dialog, expected - 40000));
    EXPECT_NEAR(RampGrey(dialog), greys[3], 0.5) << "the picture of that time again";
    // Steps made faster than the screen shows them still count from picture to picture.
    dialog.StepPictures(-1);
    dialog.StepPictures(-1);
    ASSERT_TRUE(ShowsPictureAt(dialog, kSecond + 40000));
    EXPECT_NEAR(RampGrey(dialog), greys[1], 0.5);

    QTest::keyClick(&dialog, Qt::Key_I);
    EXPECT_EQ(dialog.Marks().Start(), kSecond + 40000);
    EXPECT_EQ(dialog.StartBox()->text(), "00:00:01.040");
    QTest::keyClick(&dialog, Qt::Key_Right, Qt::ShiftModifier);
    ASSERT_TRUE(ShowsPictureAt(dialog, 2 * kSecond + 40000));
    EXPECT_NEAR(RampGrey(dialog) - greys[1], 25 * 1.8, 5.0) << "25 pictures on";
    QTest::keyClick(&dialog, Qt::Key_O);
    EXPECT_EQ(dialog.EndBox()->text(), "00:00:02.040");

    // Back before the first picture stays on it; a mark at 0 changes nothing.
    dialog.SkipSeconds(-5);
    ASSERT_TRUE(ShowsPictureAt(dialog, 0));
    EXPECT_LT(RampGrey(dialog), 3.0) << "the first picture, with its own time";
    dialog.SetStartClick();
    EXPECT_EQ(dialog.Marks().Start(), kSecond + 40000);

    dialog.OkClick();
    EXPECT_EQ(jobs_.Job(row).TrimStart, kSecond + 40000);
    EXPECT_EQ(jobs_.Job(row).TrimLength, kSecond);
}

TEST_F(TrimDialogTest, CancelAndEscapeLeaveTheJobAndResetGoesBackToTheWholeFile) {
    const int row = AddJob(MediaFile("edit_long.mkv"), 20 * kSecond);
    jobs_.EditJob(row, [](TlvFilesRecord& job) {
        job.TrimStart = 2 * kSecond;
        job.TrimLength = 3 * kSecond;
    });
    TfrmTrim dialog(jobs_, &EditDialogTest::LoadLibraries);
    ASSERT_TRUE(dialog.Prepare(row));
    dialog.ResetClick();
    EXPECT_EQ(dialog.StartBox()->text(), "00:00:00.000");
    EXPECT_EQ(dialog.SeekBar()->SelectionStart(), 0);
    EXPECT_EQ(dialog.SeekBar()->SelectionEnd(), dialog.SeekBar()->maximum());
    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(jobs_.Job(row).TrimStart, 2 * kSecond);
    EXPECT_EQ(jobs_.Job(row).TrimLength, 3 * kSecond);

    // The same dialog again: the marks come from the job anew; Reset and OK clear the trim.
    ASSERT_TRUE(dialog.Prepare(row));
    EXPECT_EQ(dialog.EndBox()->text(), "00:00:05.000");
    dialog.ResetClick();
    dialog.OkClick();
    EXPECT_EQ(jobs_.Job(row).TrimStart, 0);
    EXPECT_EQ(jobs_.Job(row).TrimLength, 0);
}

TEST_F(TrimDialogTest, ASourceThatDoesNotPlayLeavesTheJobAlone) {
    const int good = AddJob(MediaFile("edit_long.mkv"), 20 * kSecond);
    const std::string text = temp_.File("notes.avi");
    std::ofstream(text) << "not a video";
    const int bad = AddJob(text, 0);
    jobs_.EditJob(bad, [](TlvFilesRecord& job) { job.TrimStart = 7 * kSecond; });
    TfrmTrim dialog(jobs_, &EditDialogTest::LoadLibraries);
    // Marks from an earlier file must not reach it.
    ASSERT_TRUE(dialog.Prepare(good));
    dialog.ResetClick();
    dialog.reject();
    EXPECT_FALSE(dialog.Prepare(bad));
    EXPECT_FALSE(dialog.Screen()->Message().isEmpty());
    EXPECT_FALSE(dialog.OkButton()->isEnabled());
    EXPECT_FALSE(dialog.SeekBar()->isEnabled());
    dialog.OkClick();
    EXPECT_EQ(jobs_.Job(bad).TrimStart, 7 * kSecond);
    EXPECT_EQ(jobs_.Job(bad).TrimLength, 0);
}

TEST_F(TrimDialogTest, ASourceWithoutALengthPlaysButTakesNoMarks) {
    const int row = AddJob(MediaFile("edit_nolength.mkv"), 0);
    jobs_.EditJob(row, [](TlvFilesRecord& job) {
        job.TrimStart = 2 * kSecond;
        job.TrimLength = kSecond;
    });
    TfrmTrim dialog(jobs_, &EditDialogTest::LoadLibraries);
    ASSERT_TRUE(dialog.Prepare(row)) << dialog.Screen()->Message().toStdString();
    EXPECT_EQ(dialog.Marks().Duration(), 0);
    EXPECT_EQ(dialog.LengthLabel()->text(), "Duration:    unknown");
    EXPECT_FALSE(dialog.SeekBar()->isEnabled()) << "nothing to seek in";
    EXPECT_EQ(dialog.SeekBar()->SelectionStart(), 0);
    EXPECT_EQ(dialog.SeekBar()->SelectionEnd(), 0);
    for (const char* name : {"btnSetStart", "btnSetEnd", "btnDefault"})
        EXPECT_FALSE(dialog.findChild<QPushButton*>(name)->isEnabled()) << name;
    // It plays and its pictures step; the bar stays still and off.
    EXPECT_TRUE(PumpUntil([&] { return dialog.TimeLabel()->text().startsWith("Time:"); }));
    dialog.PauseClick();
    dialog.PlayClick();
    EXPECT_FALSE(dialog.SeekBar()->isEnabled());
    dialog.StepPictures(1);
    EXPECT_EQ(dialog.SeekBar()->value(), 0);
    QTest::keyClick(&dialog, Qt::Key_I);
    EXPECT_EQ(dialog.Marks().Start(), 2 * kSecond) << "the job's start, unchanged";
    // OK leaves the job's trim as it was.
    QTest::keyClick(&dialog, Qt::Key_Return);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(jobs_.Job(row).TrimStart, 2 * kSecond);
    EXPECT_EQ(jobs_.Job(row).TrimLength, kSecond);
}

} // namespace
} // namespace tovik::test
