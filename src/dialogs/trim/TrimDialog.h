#pragma once
// The trim dialog (TfrmTrim): the selected job's source plays in the dialog's own player;
// the user marks where the converted part starts and ends, by the seek bar, play and pause,
// frame steps (Left / Right, one second with Shift, the two small buttons) and "<- &Set
// Start" / "Set &End ->" (or I / O). OK writes TrimStart and TrimLength into the job.
//
// Main thread only; the player's events arrive there. One dialog serves every use: each
// showing opens the job's file anew and loads its marks.

#include "dialogs/common/LibraryLoader.h"
#include "dialogs/trim/TrimRules.h"
#include "player/MediaPlayer.h"
#include "workspace/core/JobList.h"

#include <QDialog>
#include <QElapsedTimer>
#include <functional>
#include <memory>
#include <string>

class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace tovik {

class TSeekBar;
class TVideoWidget;

class TfrmTrim : public QDialog {
    Q_OBJECT
public:
    static constexpr int kWidth = 598;
    static constexpr int kHeight = 460;

    TfrmTrim(TJobList& jobs, TLibraryLoader loadLibraries, QWidget* parent = nullptr);
    ~TfrmTrim() override;

    // Shows the dialog modally for the job at row; QDialog::Accepted when OK stored a trim.
    int Execute(int row);
    // The showing without the modal loop: shows the dialog and opens the job's source.
    // False when the source does not play (the dialog says why; OK then changes nothing).
    bool Prepare(int row);

    void PlayClick();
    void PauseClick();
    void SetStartClick();
    void SetEndClick();
    void ResetClick();
    // Moves count pictures forward (or back), pausing first; SkipSeconds whole seconds.
    void StepPictures(int count);
    void SkipSeconds(int count);
    // OK: stores the trim and closes.
    void OkClick();

    // The time of the picture on the screen (the player's position without one), -1 when
    // nothing is shown yet.
    int64_t PictureTime() const;

    const TTrimMarks& Marks() const { return marks_; }
    TMediaPlayer& MediaPlayer() { return *MediaPlayer_; }
    TVideoWidget* Screen() const { return imgPreview; }
    TSeekBar* SeekBar() const { return trcPreview; }
    QToolButton* PlayButton() const { return imgbtnPlay; }
    QToolButton* PauseButton() const { return imgbtnpause; }
    QLineEdit* StartBox() const { return edtStart; }
    QLineEdit* EndBox() const { return edtTrimLength; }
    QLabel* TimeLabel() const { return lblPTS; }
    QLabel* LengthLabel() const { return lblLength; }
    QPushButton* OkButton() const { return btnOk; }
    bool Opened() const { return opened_; }

    void done(int result) override;

private:
    void CreateControls();
    void CreateShortcuts();
    bool LoadLibraries();
    void ShowMarks();
    void ShowPosition(int64_t position);
    void SetPlaying(bool playing);
    void SeekTo(int64_t position, bool wait);
    void OpenFailed(const QString& reason);

    // The player's events.
    void MediaPlayerFileOpen(int64_t duration, int& screenWidth, int& screenHeight);
    void MediaPlayerPosition(int64_t position);
    void MediaPlayerState(TPlayState state);

    TJobList& jobs_;
    TLibraryLoader loadLibraries_;
    TTrimMarks marks_;
    int row_ = -1;
    bool opened_ = false;
    bool hasVideo_ = false;
    int64_t frameDuration_ = 40000;
    // A step's target until its picture is on the screen, and the screen's picture count
    // when the step's seek was done.
    int64_t stepTarget_ = -1;
    int stepShownCount_ = 0;
    bool stepping_ = false;
    // Position reports that were on their way when the user sought are not shown.
    QElapsedTimer sinceSeek_;

    TVideoWidget* imgPreview = nullptr;
    TSeekBar* trcPreview = nullptr;
    QToolButton* imgbtnPlay = nullptr;
    QToolButton* imgbtnpause = nullptr;
    QToolButton* btnPrevFrame = nullptr;
    QToolButton* btnNextFrame = nullptr;
    QLabel* lblPTS = nullptr;
    QLabel* lblLength = nullptr;
    QPushButton* btnSetStart = nullptr;
    QLineEdit* edtStart = nullptr;
    QPushButton* btnSetEnd = nullptr;
    QLineEdit* edtTrimLength = nullptr;
    QPushButton* btnDefault = nullptr;
    QPushButton* btnOk = nullptr;
    QPushButton* btnCancel = nullptr;

    // Last member: the player goes first, while the screen it paints on still stands.
    std::unique_ptr<TMediaPlayer> MediaPlayer_;
};

} // namespace tovik
