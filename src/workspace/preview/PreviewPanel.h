#pragma once
// The main window's preview panel: the selected row of the file list plays in it with sound
// through the window's player MediaPlayer. Below the picture (pan1) are the play, pause, stop
// and capture buttons, the position bar that seeks when the mouse is released over it, the
// position and duration labels, the volume bar and the "Mute" box. Capture saves snapshots of
// the current picture and opens the snapshot folder.
//
// Main thread only; the player's open, position and state events arrive there.

#include "player/MediaPlayer.h"
#include "workspace/core/JobList.h"

#include <QFrame>
#include <exception>
#include <functional>
#include <memory>
#include <string>

class QCheckBox;
class QLabel;
class QSlider;
class QToolButton;

namespace tovik {

class TVideoWidget;

// What the panel asks of the window around it.
struct TPreviewHost {
    // The file list's selected row (-1: none), and selecting (and focusing) a row.
    std::function<int()> SelectedRow;
    std::function<void(int row)> SelectRow;
    // Runs the add command (the open dialog, then the files chosen).
    std::function<void()> AddFiles;
    // Appends a line to the hidden log memo.
    std::function<void(const QString& line)> Log;
    // The settings file; empty once the window let its settings go.
    std::function<std::string()> SettingsFile;
    // A box captioned "Warning" with an OK button.
    std::function<void(const std::string& message)> ShowWarning;
    // Opens a folder in the desktop's file manager.
    std::function<void(const std::string& directory)> OpenFolder;
    // Loads the player's libraries; false with the loader's text. Unset: the player loads
    // them from the "LibAV" folder next to the program.
    std::function<bool(std::string& error)> LoadLibraries;
    // The application-wide handler, for errors that escape a command.
    std::function<void(const std::exception_ptr& error)> ReportError;
};

// The states of the four buttons.
enum class TPreviewState { psIdle, psPlaying, psPaused };

class TPreviewPanel : public QFrame {
    Q_OBJECT
public:
    static constexpr int kFirstWidth = 232;
    // The volume a stored value outside 0..128 (or none at all) gives.
    static constexpr int kFallbackVolume = 64;

    TPreviewPanel(const TJobList& jobs, TPreviewHost host, QWidget* parent = nullptr);
    ~TPreviewPanel() override;

    // The main window's first showing: the volume bar and "Mute" from the settings.
    void ReadSettings();

    // The four buttons.
    void Play();
    void Pause();
    // Also closes a file the player keeps open after its end; other commands call it before
    // they need the file or the player.
    void Stop();
    void Capture();
    // An add finished: starts playing when play was pressed on an empty list.
    void FilesAdded();

    TMediaPlayer& MediaPlayer() { return *MediaPlayer_; }
    TVideoWidget* Screen() const { return pan1; }
    TPreviewState State() const { return state_; }
    bool Stopped() const { return stopped_; }
    bool Paused() const { return paused_; }
    bool PlayWhenAdded() const { return playWhenAdded_; }
    int64_t Duration() const { return duration_; }

    QToolButton* PlayButton() const { return imgbtnPlay; }
    QToolButton* PauseButton() const { return imgbtnPAuse; }
    QToolButton* StopButton() const { return imgbtnStop; }
    QToolButton* SnapButton() const { return imgbtnSnap; }
    QSlider* PositionBar() const { return trcPreview; }
    QSlider* VolumeBar() const { return trcVolume; }
    QCheckBox* MuteBox() const { return chkMute; }
    QLabel* DurationLabel() const { return lblPTS; }
    QLabel* PositionLabel() const { return lblTime; }

    // The seek a release of the mouse over the position bar makes, to the bar's position.
    void PositionBarReleased();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* CreateControls();
    void SetButtons(TPreviewState state);
    void ResetLabels();
    bool LoadLibraries();
    void StoreVolume();
    void MuteClick();
    void OpenFailed(const std::string& reason);

    // The player's events.
    void MediaPlayerFileOpen(int64_t duration, int frameWidth, int frameHeight, int& screenWidth,
                             int& screenHeight);
    void MediaPlayerPosition(int64_t position);
    void MediaPlayerState(TPlayState state);

    const TJobList& jobs_;
    TPreviewHost host_;

    TVideoWidget* pan1 = nullptr;
    QToolButton* imgbtnPlay = nullptr;
    QToolButton* imgbtnPAuse = nullptr;
    QToolButton* imgbtnStop = nullptr;
    QToolButton* imgbtnSnap = nullptr;
    QSlider* trcPreview = nullptr;
    QLabel* lblPTS = nullptr;
    QLabel* lblTime = nullptr;
    QSlider* trcVolume = nullptr;
    QCheckBox* chkMute = nullptr;

    bool stopped_ = true;
    bool paused_ = false;
    bool positionBarHeld_ = false; // the mouse holds the position bar: playback leaves it be
    bool playWhenAdded_ = false;
    int64_t duration_ = 0; // of the open file, microseconds
    TPreviewState state_ = TPreviewState::psIdle;

    // Last member: the player goes first, while the screen it paints on still stands.
    std::unique_ptr<TMediaPlayer> MediaPlayer_;
};

} // namespace tovik
