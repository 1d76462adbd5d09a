// The main window's preview with the program's real services: a row asked to play plays in
// the panel, and the commands that take the file away stop it first.

#include "AppTestSupport.h"

#include "app/MainWindow.h"
#include "platform/Dispatcher.h"
#include "workspace/preview/PreviewPanel.h"
#include "workspace/ui/FileList.h"
#include "workspace/video/VideoWidget.h"

#include <QCoreApplication>
#include <QLabel>
#include <chrono>

namespace tovik::test {
namespace {

using namespace std::chrono_literals;

bool PumpUntil(const std::function<bool()>& done) {
    const auto end = std::chrono::steady_clock::now() + 20s;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        TDispatcher::Instance().WaitAndCheckSynchronize(5ms);
    }
    return true;
}

class MainWindowPreviewTest : public TAppTest {
protected:
    std::unique_ptr<TfrmMain> MakeSystemWindow() {
        auto window = std::make_unique<TfrmMain>(TMainWindowServices::System(desktop_));
        window->show();
        return window;
    }
};

TEST_F(MainWindowPreviewTest, ARowAskedToPlayPlaysAndClearOrRemovingTheLastRowStopsIt) {
    auto window = MakeSystemWindow();
    ASSERT_EQ(window->AddFiles({QString::fromStdString(MediaFile("clip.avi")),
                                QString::fromStdString(MediaFile("player_ramp.mkv"))}),
              2);
    TPreviewPanel& panel = *window->PreviewPanel();
    window->FileList()->SelectRow(1);
    emit window->FileList()->PlayRequested();
    EXPECT_EQ(panel.State(), TPreviewState::psPlaying);
    ASSERT_TRUE(PumpUntil([&] { return panel.Screen()->PictureCount() > 0; }));
    EXPECT_EQ(panel.DurationLabel()->text(), "0:00:05");

    // Removing a row that is not the last leaves playback alone.
    window->FileList()->SelectRow(0);
    window->RemoveClick();
    ASSERT_EQ(window->Jobs().Count(), 1);
    EXPECT_EQ(panel.State(), TPreviewState::psPlaying);
    // Removing the last one stops it.
    window->FileList()->SelectRow(0);
    window->RemoveClick();
    EXPECT_TRUE(window->Jobs().Empty());
    EXPECT_EQ(panel.State(), TPreviewState::psIdle);
    EXPECT_FALSE(panel.MediaPlayer().Playing());

    ASSERT_EQ(window->AddFiles({QString::fromStdString(MediaFile("clip.avi"))}), 1);
    window->FileList()->SelectRow(0);
    emit window->FileList()->PlayRequested();
    EXPECT_EQ(panel.State(), TPreviewState::psPlaying);
    window->ClearClick();
    EXPECT_EQ(panel.State(), TPreviewState::psIdle);
    EXPECT_FALSE(panel.MediaPlayer().Playing());
}

} // namespace
} // namespace tovik::test
