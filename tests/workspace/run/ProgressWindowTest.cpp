#include "workspace/run/ProgressWindow.h"

#include <QApplication>
#include <QLabel>
#include <gtest/gtest.h>
#include <optional>

namespace tovik {
namespace {

struct TCalls {
    int Start = 0;
    int Pause = 0;
    int Resume = 0;
    int Stop = 0;
    int Snapshots = 0;
    std::optional<TBitmap> Full;
    std::optional<TBitmap> Small;
};

class ProgressWindowTest : public ::testing::Test {
protected:
    TProgressCommands Commands() {
        TProgressCommands commands;
        commands.StartRun = [this] { ++calls_.Start; };
        commands.Pause = [this] { ++calls_.Pause; };
        commands.Resume = [this] { ++calls_.Resume; };
        commands.StopRun = [this] { ++calls_.Stop; };
        commands.SaveSnapshot = [this](const TBitmap& full, const TBitmap& small) {
            ++calls_.Snapshots;
            calls_.Full = full;
            calls_.Small = small;
        };
        return commands;
    }

    // A frame of one colour (red), to tell it from the background.
    static TBitmap Frame(int width, int height) {
        TBitmap frame(width, height);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                uint8_t* pixel = frame.ScanLine(y) + x * 3;
                pixel[0] = 0;   // blue
                pixel[1] = 0;   // green
                pixel[2] = 200; // red
            }
        return frame;
    }

    static bool IsBackground(const QImage& image, int x, int y) {
        return image.pixelColor(x, y) == TfrmProgress::kPreviewBackground;
    }

    TCalls calls_;
    TBitmap preview_;
};

TEST_F(ProgressWindowTest, ShowingPreparesTheWindowAndStartsTheRun) {
    TfrmProgress window(nullptr, Commands(), &preview_);
    window.SetFileText(QStringLiteral("left over from the last run"));
    window.SetTotalLeftText(QStringLiteral("Total Left: 0:00:01"));
    window.OpenFolderBox()->setChecked(false);
    window.ShutDownBox()->setChecked(true);
    window.SetPosition(70);
    window.show();
    EXPECT_EQ(calls_.Start, 1);
    EXPECT_EQ(window.size(), QSize(420, 460));
    EXPECT_TRUE(window.findChild<QLabel*>(QStringLiteral("lblFileValue"))->text().isEmpty());
    // The whole run's estimate sits on the time-left line, and waits for the new run.
    const auto* total = window.findChild<QLabel*>(QStringLiteral("lblTotalLeft"));
    const auto* perFile = window.findChild<QLabel*>(QStringLiteral("lblTimeLeft"));
    ASSERT_TRUE(total && perFile);
    EXPECT_TRUE(total->text().isEmpty());
    EXPECT_EQ(total->geometry().top(), perFile->geometry().top());
    EXPECT_GT(total->geometry().left(), perFile->geometry().right());
    EXPECT_TRUE(window.OpenFolderChecked());
    EXPECT_TRUE(window.ShutDownChecked()); // kept from the previous run
    EXPECT_EQ(window.Bar()->value(), 0);
    EXPECT_TRUE(window.PauseButton()->isEnabled());
    EXPECT_FALSE(window.ResumeButton()->isEnabled());
    EXPECT_TRUE(window.TimerActive());
    // Before the first picture the preview stays the background colour.
    window.TimerTick();
    EXPECT_TRUE(IsBackground(window.PreviewPicture(), 0, 0));
    EXPECT_TRUE(IsBackground(window.PreviewPicture(), 186, 105));
    window.close();
}

TEST_F(ProgressWindowTest, SeveralFilesShowOneLineEachInPlaceOfTheFilesValues) {
    TfrmProgress window(nullptr, Commands(), &preview_);
    window.show();
    EXPECT_FALSE(window.ShowsSeveralFiles());
    window.ShowSeveralFiles(true);
    EXPECT_FALSE(window.findChild<QLabel*>(QStringLiteral("lblFileValue"))->isVisible());
    using TTexts = std::vector<std::pair<QString, int>>;
    window.SetRunningFiles({{0, "a.avi", 20, true}, {1, "b.avi", std::nullopt, false}});
    EXPECT_EQ(window.RunningFileTexts(), (TTexts{{"a.avi", 20}, {"b.avi", -1}}));
    const auto names = window.findChildren<QLabel*>(QStringLiteral("lblRunningFile"));
    ASSERT_EQ(names.size(), 2);
    EXPECT_TRUE(names[0]->font().bold()); // its picture is the one shown
    EXPECT_FALSE(names[1]->font().bold());
    EXPECT_EQ(window.size(), QSize(420, 460)); // the lines take the values' place

    // Fewer lines hide the rest; more make new ones.
    window.SetRunningFiles({{1, "b.avi", 50, true}});
    EXPECT_EQ(window.RunningFileTexts(), (TTexts{{"b.avi", 50}}));
    EXPECT_TRUE(names[0]->font().bold());
    window.SetRunningFiles(
        {{1, "b.avi", 60, true}, {2, "c.avi", 1, false}, {3, "d.avi", 0, false}});
    EXPECT_EQ(window.RunningFileTexts().size(), 3u);

    // The next showing starts with the one file's values and no lines.
    window.close();
    window.show();
    EXPECT_FALSE(window.ShowsSeveralFiles());
    EXPECT_TRUE(window.RunningFileTexts().empty());
    window.close();
}

TEST_F(ProgressWindowTest, PauseAndResumeSwitchTheButtonsAndTellTheEngine) {
    TfrmProgress window(nullptr, Commands(), &preview_);
    int pausedSignals = 0;
    QObject::connect(&window, &TfrmProgress::Paused, [&] { ++pausedSignals; });
    window.show();
    window.PauseButton()->click();
    EXPECT_EQ(calls_.Pause, 1);
    EXPECT_EQ(pausedSignals, 1);
    EXPECT_FALSE(window.PauseButton()->isEnabled());
    EXPECT_TRUE(window.ResumeButton()->isEnabled());
    window.ResumeButton()->click();
    EXPECT_EQ(calls_.Resume, 1);
    EXPECT_TRUE(window.PauseButton()->isEnabled());
    EXPECT_FALSE(window.ResumeButton()->isEnabled());
    window.close();
}

TEST_F(ProgressWindowTest, EveryCloseStopsTheEngineOnceAndTheTimer) {
    TfrmProgress window(nullptr, Commands(), &preview_);
    window.show();
    window.CancelButton()->click();
    EXPECT_EQ(calls_.Stop, 1);
    EXPECT_FALSE(window.isVisible());
    EXPECT_FALSE(window.TimerActive());

    // The close box, and a close that arrives again while the engine is being stopped.
    TProgressCommands commands = Commands();
    TfrmProgress* self = nullptr;
    commands.StopRun = [this, &self] {
        ++calls_.Stop;
        self->close();
    };
    TfrmProgress second(nullptr, commands, &preview_);
    self = &second;
    second.show();
    second.close();
    EXPECT_EQ(calls_.Stop, 2);
    EXPECT_FALSE(second.isVisible());
    // Shown again: a new run, a new stop.
    second.show();
    second.reject();
    EXPECT_EQ(calls_.Stop, 3);
}

TEST_F(ProgressWindowTest, FourByThreeFramesGetMarginsLeftAndRight) {
    TfrmProgress window(nullptr, Commands(), &preview_);
    window.show();
    preview_ = Frame(640, 480);
    window.TimerTick();
    const QImage& shown = window.PreviewPicture();
    // 280 pixels wide and 210 high, with 46 pixels on either side.
    EXPECT_TRUE(IsBackground(shown, 45, 105));
    EXPECT_FALSE(IsBackground(shown, 46, 105));
    EXPECT_FALSE(IsBackground(shown, 325, 105));
    EXPECT_TRUE(IsBackground(shown, 326, 105));
    EXPECT_FALSE(IsBackground(shown, 186, 0));
    EXPECT_FALSE(IsBackground(shown, 186, 209));
    EXPECT_EQ(shown.pixelColor(186, 105), QColor(200, 0, 0));
    window.close();
}

TEST_F(ProgressWindowTest, SixteenByNineFramesFillThePicture) {
    TfrmProgress window(nullptr, Commands(), &preview_);
    window.show();
    preview_ = Frame(640, 360);
    window.TimerTick();
    const QImage& shown = window.PreviewPicture();
    for (const QPoint corner : {QPoint(0, 0), QPoint(371, 0), QPoint(0, 209), QPoint(371, 209)})
        EXPECT_EQ(shown.pixelColor(corner), QColor(200, 0, 0)) << corner.x() << "," << corner.y();
    window.close();
}

TEST_F(ProgressWindowTest, SnapshotTakesTheFullFrameAndThePictureAsShown) {
    TfrmProgress window(nullptr, Commands(), &preview_);
    window.show();
    window.SnapshotClick();
    EXPECT_EQ(calls_.Snapshots, 0); // nothing converted yet, nothing to save
    preview_ = Frame(640, 480);
    window.TimerTick();
    window.SnapshotClick();
    ASSERT_EQ(calls_.Snapshots, 1);
    EXPECT_EQ(calls_.Full->Width(), 640);
    EXPECT_EQ(calls_.Full->Height(), 480);
    EXPECT_EQ(calls_.Full->ScanLine(10)[2], 200);
    ASSERT_EQ(calls_.Small->Width(), 372);
    ASSERT_EQ(calls_.Small->Height(), 210);
    // The small picture carries the background margins (BGR order).
    const uint8_t* margin = calls_.Small->ScanLine(105) + 10 * 3;
    EXPECT_EQ(margin[0], 240);
    EXPECT_EQ(margin[1], 202);
    EXPECT_EQ(margin[2], 166);
    const uint8_t* middle = calls_.Small->ScanLine(105) + 186 * 3;
    EXPECT_EQ(middle[2], 200);
    window.close();
}

} // namespace
} // namespace tovik

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
