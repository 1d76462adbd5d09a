// The preview panel with a real player on real clips, under offscreen Qt: the buttons through
// play, pause, stop and the end of a file, play on an empty list, the labels, seeking on
// release, volume and mute in the settings, capture, and a file that does not play.

#include "workspace/preview/PreviewPanel.h"
#include "media/LibrarySets.h"
#include "platform/Dispatcher.h"
#include "settings/IniFile.h"
#include "settings/SettingsKeys.h"
#include "support/TestSupport.h"
#include "workspace/video/VideoWidget.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QMouseEvent>
#include <QSlider>
#include <QTest>
#include <QToolButton>
#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <thread>

namespace tovik::test {
namespace {

using namespace std::chrono_literals;

// Serves Qt's events and the player's calls to the main thread until done() or the limit,
// which only keeps a broken player from hanging the test.
bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 20s) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        TDispatcher::Instance().WaitAndCheckSynchronize(5ms);
    }
    return true;
}

void PumpFor(std::chrono::milliseconds duration) {
    const auto end = std::chrono::steady_clock::now() + duration;
    PumpUntil([&] { return std::chrono::steady_clock::now() >= end; }, duration * 2);
}

struct TButtons {
    bool Play, Pause, Stop, Snap;
    bool operator==(const TButtons&) const = default;
};

TButtons Buttons(const TPreviewPanel& panel) {
    return {panel.PlayButton()->isEnabled(), panel.PauseButton()->isEnabled(),
            panel.StopButton()->isEnabled(), panel.SnapButton()->isEnabled()};
}

std::ostream& operator<<(std::ostream& out, const TButtons& b) {
    return out << "play " << b.Play << " pause " << b.Pause << " stop " << b.Stop << " snap "
               << b.Snap;
}

const TButtons kIdle{true, false, false, false};
const TButtons kPlaying{false, true, true, true};
const TButtons kPaused{true, false, true, true};

class PreviewPanelTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        std::string error;
        ASSERT_TRUE(LoadPlayerLibraries("", error)) << error;
    }

    void SetUp() override {
        ::setenv("HOME", temp_.Path().c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", temp_.Path().c_str(), 1);
        settingsFile_ = temp_.File("settings.ini");
        TPreviewHost host;
        host.SelectedRow = [this] { return selected_; };
        host.SelectRow = [this](int row) { selected_ = row; };
        host.AddFiles = [this] {
            ++addDialogs_;
            for (const std::string& file : filesToAdd_) {
                TJobRow row;
                row.Job.SourceFile = file;
                jobs_.Append(std::move(row));
            }
        };
        host.Log = [this](const QString& line) { log_.push_back(line.toStdString()); };
        host.SettingsFile = [this] { return settingsFile_; };
        host.ShowWarning = [this](const std::string& message) { warnings_.push_back(message); };
        host.OpenFolder = [this](const std::string& folder) { openedFolders_.push_back(folder); };
        host.LoadLibraries = [](std::string& error) { return LoadPlayerLibraries("", error); };
        host.ReportError = [this](const std::exception_ptr& error) {
            try {
                std::rethrow_exception(error);
            } catch (const std::exception& e) {
                errors_.push_back(e.what());
            }
        };
        panel_ = std::make_unique<TPreviewPanel>(jobs_, std::move(host));
        panel_->resize(320, 400);
        panel_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(panel_.get()));
        panel_->ReadSettings();
    }

    void TearDown() override {
        panel_.reset();
        TDispatcher::Instance().CheckSynchronize();
    }

    int AddJob(const std::string& file) {
        TJobRow row;
        row.Job.SourceFile = file;
        return jobs_.Append(std::move(row));
    }

    bool WaitForPicture(int after = 0) {
        return PumpUntil([&] { return panel_->Screen()->PictureCount() > after; });
    }

    TTempDir temp_;
    std::string settingsFile_;
    TJobList jobs_;
    int selected_ = -1;
    int addDialogs_ = 0;
    std::vector<std::string> filesToAdd_;
    std::vector<std::string> log_;
    std::vector<std::string> warnings_;
    std::vector<std::string> openedFolders_;
    std::vector<std::string> errors_;
    std::unique_ptr<TPreviewPanel> panel_;
};

TEST_F(PreviewPanelTest, ButtonsFollowPlayPauseResumeAndStop) {
    EXPECT_EQ(Buttons(*panel_), kIdle);
    AddJob(MediaFile("player_ramp.mkv"));
    selected_ = 0;
    panel_->Play();
    EXPECT_EQ(Buttons(*panel_), kPlaying);
    ASSERT_TRUE(WaitForPicture());
    EXPECT_EQ(panel_->DurationLabel()->text(), "0:00:05");
    ASSERT_TRUE(PumpUntil([&] { return panel_->PositionLabel()->text() != "00:00:00"; }));
    EXPECT_TRUE(panel_->PositionBar()->isEnabled());

    panel_->Pause();
    EXPECT_EQ(Buttons(*panel_), kPaused);
    EXPECT_TRUE(panel_->MediaPlayer().Paused());
    // Paused, the position stands still.
    PumpFor(200ms);
    const QString pausedAt = panel_->PositionLabel()->text();
    PumpFor(300ms);
    EXPECT_EQ(panel_->PositionLabel()->text(), pausedAt);

    panel_->Play();
    EXPECT_EQ(Buttons(*panel_), kPlaying);
    EXPECT_FALSE(panel_->MediaPlayer().Paused());

    panel_->Stop();
    EXPECT_EQ(Buttons(*panel_), kIdle);
    EXPECT_EQ(panel_->PositionLabel()->text(), "00:00:00");
    EXPECT_EQ(panel_->DurationLabel()->text(), "00:00:00");
    EXPECT_FALSE(panel_->PositionBar()->isEnabled());
    EXPECT_FALSE(panel_->MediaPlayer().Playing());
    EXPECT_EQ(panel_->Screen()->Picture().Picture, nullptr);
}

TEST_F(PreviewPanelTest, AtTheEndTheButtonsAreIdleAndTheFirstPictureShows) {
    AddJob(MediaFile("clip.avi"));
    panel_->Play();
    ASSERT_TRUE(WaitForPicture());
    ASSERT_TRUE(PumpUntil([&] { return panel_->State() == TPreviewState::psIdle; }, 30s));
    EXPECT_EQ(Buttons(*panel_), kIdle);
    EXPECT_EQ(panel_->PositionLabel()->text(), "00:00:00");
    EXPECT_EQ(panel_->DurationLabel()->text(), "00:00:00");
    // The player went back to the start and shows that picture, paused.
    ASSERT_TRUE(PumpUntil([&] {
        const TScreenPicture shown = panel_->Screen()->Picture();
        return shown.Picture && shown.PTS >= 0 && shown.PTS < 100000;
    })) << "last picture shown at "
        << panel_->Screen()->Picture().PTS;
    EXPECT_TRUE(panel_->MediaPlayer().Paused());
    // Play starts the file again from there.
    panel_->Play();
    EXPECT_EQ(Buttons(*panel_), kPlaying);
    ASSERT_TRUE(PumpUntil([&] { return panel_->PositionLabel()->text() != "00:00:00"; }));
    // And Stop closes the file the player kept.
    panel_->Stop();
    EXPECT_FALSE(panel_->MediaPlayer().Playing());
}

TEST_F(PreviewPanelTest, PlayOnAnEmptyListAddsAndPlaysTheFirstRow) {
    filesToAdd_ = {MediaFile("clip.avi"), MediaFile("player_ramp.mkv")};
    panel_->Play();
    EXPECT_EQ(addDialogs_, 1);
    EXPECT_TRUE(panel_->PlayWhenAdded());
    EXPECT_EQ(Buttons(*panel_), kIdle);
    panel_->FilesAdded();
    EXPECT_FALSE(panel_->PlayWhenAdded());
    EXPECT_EQ(selected_, 0);
    EXPECT_EQ(Buttons(*panel_), kPlaying);
    ASSERT_TRUE(WaitForPicture());
    EXPECT_EQ(panel_->DurationLabel()->text(), "0:00:02");
}

TEST_F(PreviewPanelTest, AnAddThatBringsNothingKeepsTheWishToPlay) {
    panel_->Play();
    panel_->FilesAdded();
    EXPECT_TRUE(panel_->PlayWhenAdded());
    EXPECT_EQ(Buttons(*panel_), kIdle);
    filesToAdd_ = {MediaFile("clip.avi")};
    panel_->Play();
    EXPECT_EQ(addDialogs_, 2);
    panel_->FilesAdded();
    EXPECT_EQ(Buttons(*panel_), kPlaying);
}

TEST_F(PreviewPanelTest, AnHourLongFileShowsItsLengthInHoursMinutesAndSeconds) {
    AddJob(MediaFile("preview_long.avi")); // 3725.6 s
    panel_->Play();
    ASSERT_TRUE(PumpUntil([&] { return panel_->DurationLabel()->text() != "00:00:00"; }));
    EXPECT_EQ(panel_->DurationLabel()->text(), "1:02:06");
    EXPECT_EQ(panel_->Duration() / 100000, 37256);
}

TEST_F(PreviewPanelTest, ReleasingThePositionBarSeeksThere) {
    AddJob(MediaFile("player_ramp.mkv"));
    panel_->Play();
    ASSERT_TRUE(WaitForPicture());
    panel_->Pause();
    QSlider* bar = panel_->PositionBar();
    ASSERT_GT(bar->maximum(), 0);
    // Moving the handle alone does not seek; the release does.
    bar->setValue(bar->maximum() * 3 / 5);
    PumpFor(300ms);
    EXPECT_LT(panel_->Screen()->Picture().PTS, 2000000);
    panel_->PositionBarReleased();
    ASSERT_TRUE(PumpUntil([&] {
        const int64_t pts = panel_->Screen()->Picture().PTS;
        return pts >= 2800000 && pts <= 3200000;
    })) << "shown at "
        << panel_->Screen()->Picture().PTS;
    EXPECT_EQ(Buttons(*panel_), kPaused);
}

TEST_F(PreviewPanelTest, ThePositionBarFollowsThePlaybackButNotWhileHeld) {
    AddJob(MediaFile("player_ramp.mkv"));
    panel_->Play();
    ASSERT_TRUE(WaitForPicture());
    QSlider* bar = panel_->PositionBar();
    ASSERT_TRUE(PumpUntil([&] { return bar->value() > bar->maximum() / 10; }))
        << "the bar stayed at " << bar->value() << " of " << bar->maximum();
    // Held by the mouse, the handle stays where the user put it until the release.
    const QPoint at(bar->width() / 20, bar->height() / 2);
    QTest::mousePress(bar, Qt::LeftButton, {}, at);
    const int held = bar->value();
    PumpFor(400ms);
    EXPECT_EQ(bar->value(), held);
    QTest::mouseRelease(bar, Qt::LeftButton, {}, at);
}

TEST_F(PreviewPanelTest, ThePositionBarReleasedByTheMouseSeeks) {
    AddJob(MediaFile("player_ramp.mkv"));
    panel_->Play();
    ASSERT_TRUE(WaitForPicture());
    panel_->Pause();
    QSlider* bar = panel_->PositionBar();
    // A press near the right end puts the handle there; the release seeks to it.
    const QPoint at(bar->width() * 9 / 10, bar->height() / 2);
    QTest::mousePress(bar, Qt::LeftButton, {}, at);
    QTest::mouseRelease(bar, Qt::LeftButton, {}, at);
    ASSERT_TRUE(PumpUntil([&] { return panel_->Screen()->Picture().PTS >= 3500000; }))
        << "shown at " << panel_->Screen()->Picture().PTS;
}

TEST_F(PreviewPanelTest, VolumeAndMuteAreStoredAndComeBack) {
    // Nothing stored: the middle volume, sound on.
    EXPECT_EQ(panel_->VolumeBar()->value(), TPreviewPanel::kFallbackVolume);
    EXPECT_FALSE(panel_->MuteBox()->isChecked());

    QSlider* volume = panel_->VolumeBar();
    volume->setValue(100);
    EXPECT_EQ(panel_->MediaPlayer().AudioVolume(), 100);
    QTest::mouseRelease(volume, Qt::LeftButton, {}, QPoint(2, volume->height() / 2));
    QTest::mouseClick(panel_->MuteBox(), Qt::LeftButton);
    EXPECT_TRUE(panel_->MediaPlayer().Mute());
    {
        const TIniFile settings(settingsFile_);
        EXPECT_EQ(settings.ReadInteger(kSettingsSection, kVolumeKey, -1), 100);
        EXPECT_EQ(settings.ReadInteger(kSettingsSection, kMuteKey, -1), 1);
    }
    // A new panel reads them back.
    panel_.reset();
    TPreviewHost host;
    host.SettingsFile = [this] { return settingsFile_; };
    TPreviewPanel again(jobs_, std::move(host));
    again.ReadSettings();
    EXPECT_EQ(again.VolumeBar()->value(), 100);
    EXPECT_TRUE(again.MuteBox()->isChecked());
    EXPECT_TRUE(again.MediaPlayer().Mute());

    // Values out of range give the middle volume; a mute value other than 0 and 1 is ignored.
    TIniFile(settingsFile_).WriteInteger(kSettingsSection, kVolumeKey, 400);
    TIniFile(settingsFile_).WriteInteger(kSettingsSection, kMuteKey, 7);
    TPreviewHost third;
    third.SettingsFile = [this] { return settingsFile_; };
    TPreviewPanel damaged(jobs_, std::move(third));
    damaged.ReadSettings();
    EXPECT_EQ(damaged.VolumeBar()->value(), TPreviewPanel::kFallbackVolume);
    EXPECT_FALSE(damaged.MuteBox()->isChecked());
}

TEST_F(PreviewPanelTest, CaptureWritesTheSnapshotsAndOpensTheirFolder) {
    const std::string folder = temp_.File("snaps");
    {
        TIniFile settings(settingsFile_);
        settings.WriteString(kSettingsSection, kSnapshotDirKey, folder);
        settings.WriteInteger(kSettingsSection, kSnapSmallSizeKey, 0);
    }
    AddJob(MediaFile("player_ramp.mkv"));
    panel_->Play();
    ASSERT_TRUE(WaitForPicture());
    panel_->Pause();
    PumpFor(100ms);
    panel_->Capture();
    EXPECT_TRUE(errors_.empty()) << errors_.front();
    ASSERT_EQ(openedFolders_.size(), 1u);
    EXPECT_EQ(openedFolders_[0], folder + "/");
    EXPECT_TRUE(std::filesystem::exists(folder + "/Snapshot_full.bmp"));
    EXPECT_TRUE(std::filesystem::exists(folder + "/Snapshot_full.jpg"));
    // The small size was switched off.
    EXPECT_FALSE(std::filesystem::exists(folder + "/Snapshot_small.bmp"));
    EXPECT_FALSE(std::filesystem::exists(folder + "/Snapshot_small.jpg"));
    // The full snapshot has the file's own size: a 54-byte header and 160 x 120 x 3 bytes.
    EXPECT_EQ(std::filesystem::file_size(folder + "/Snapshot_full.bmp"), 54u + 160u * 120u * 3u);
}

TEST_F(PreviewPanelTest, AFileThatDoesNotPlaySaysWhyAndLeavesThePanelIdle) {
    const std::string broken = temp_.File("broken.avi");
    WriteTextFile(broken, "this is not a video file at all\n");
    AddJob(broken);
    AddJob(MediaFile("clip.avi"));
    selected_ = 0;
    panel_->Play();
    EXPECT_EQ(Buttons(*panel_), kIdle);
    EXPECT_FALSE(panel_->Screen()->Message().isEmpty());
    EXPECT_FALSE(panel_->PositionBar()->isEnabled());
    EXPECT_FALSE(log_.empty());
    EXPECT_FALSE(panel_->MediaPlayer().Playing());
    // The next file plays, and its picture replaces the reason.
    selected_ = 1;
    panel_->Play();
    EXPECT_EQ(Buttons(*panel_), kPlaying);
    EXPECT_TRUE(panel_->Screen()->Message().isEmpty());
    ASSERT_TRUE(WaitForPicture());
}

TEST_F(PreviewPanelTest, AFileThatDisappearedFromItsFolderDoesNotPlay) {
    AddJob(temp_.File("gone.avi"));
    panel_->Play();
    EXPECT_EQ(Buttons(*panel_), kIdle);
    EXPECT_FALSE(panel_->Screen()->Message().isEmpty());
}

} // namespace
} // namespace tovik::test

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("SDL_AUDIODRIVER", "dummy");
    QApplication application(argc, argv);
    auto& dispatcher = tovik::TDispatcher::Instance();
    dispatcher.SetMainThread(std::this_thread::get_id());
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
