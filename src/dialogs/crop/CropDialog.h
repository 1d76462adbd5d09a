#pragma once
// The crop dialog (TfrmCrop): the selected job's source plays fitted in a preview with the
// crop rectangle (TRectTracker) over it; the rectangle and the four margin spin boxes set
// what is cut away at each edge, "Detect" proposes margins that cut off black bars. OK
// writes the margins into the job twice: as entered (preview pixels) and in even source
// pixels, from which the conversion crops.
//
// Main thread only; the player's events arrive there. A new dialog serves each use.

#include "dialogs/common/LibraryLoader.h"
#include "dialogs/crop/CropRules.h"
#include "player/MediaPlayer.h"
#include "workspace/core/JobList.h"

#include <QDialog>
#include <memory>

class QLabel;
class QPushButton;
class QSpinBox;
class QToolButton;

namespace tovik {

class TRectTracker;
class TSeekBar;
class TVideoWidget;

class TfrmCrop : public QDialog {
    Q_OBJECT
public:
    static constexpr int kWidth = 615;
    static constexpr int kHeight = 435;
    static constexpr int kPreviewWidth = 370;
    static constexpr int kPreviewHeight = 253;

    TfrmCrop(TJobList& jobs, TLibraryLoader loadLibraries, QWidget* parent = nullptr);
    ~TfrmCrop() override;

    // Shows the dialog modally for the job at row; QDialog::Accepted when OK stored a crop.
    int Execute(int row);
    // The showing without the modal loop. False when the source does not play (OK then
    // changes nothing).
    bool Prepare(int row);

    void PlayClick();
    void PauseClick();
    void ResetClick();
    void DefaultClick() { ResetClick(); }
    // Looks for black bars in pictures across the file and proposes margins that cut them.
    void DetectClick();
    void OkClick();

    bool Opened() const { return opened_; }
    const TCropEditor& Editor() const { return editor_; }
    int SourceWidth() const { return sourceWidth_; }
    int SourceHeight() const { return sourceHeight_; }
    TMediaPlayer& MediaPlayer() { return *MediaPlayer_; }
    TVideoWidget* Screen() const { return imgPreview; }
    TRectTracker* Tracker() const { return RectTracker; }
    QSpinBox* UpBox() const { return spedUp; }
    QSpinBox* DownBox() const { return spedDown; }
    QSpinBox* LeftBox() const { return spedLeft; }
    QSpinBox* RightBox() const { return spedRight; }
    TSeekBar* SeekBar() const { return trcPreview; }
    QToolButton* PlayButton() const { return imgbtnPlay; }
    QToolButton* PauseButton() const { return imgbtnpause; }
    QPushButton* DetectButton() const { return btnDetect; }
    QPushButton* OkButton() const { return btnOk; }
    QLabel* SourceLabel() const { return lblSourceName; }
    QLabel* TimeLabel() const { return lblPTS; }
    QLabel* LengthLabel() const { return lblLength; }
    QLabel* DetectLabel() const { return lblDetect; }

    void done(int result) override;

private:
    void CreateControls();
    QWidget* CreateCropPage();
    bool LoadLibraries();
    void OpenFailed(const QString& reason);
    // Shows the editor's rectangle and margins in the tracker and the spin boxes.
    void ShowEditor();
    void SetPictureControls(bool enabled);
    void SpinChange(TCropSide side, QSpinBox* box, int value);
    void RectTrackerMouseMove(int x, int y);
    void SeekTo(int value);

    // The player's events.
    void MediaPlayerFileOpen(int64_t duration, int& screenWidth, int& screenHeight);
    void MediaPlayerPosition(int64_t position);
    void MediaPlayerState(TPlayState state);

    TJobList& jobs_;
    TLibraryLoader loadLibraries_;
    TCropEditor editor_;
    int row_ = -1;
    bool opened_ = false;
    int sourceWidth_ = 0;
    int sourceHeight_ = 0;
    int64_t duration_ = 0;
    bool paused_ = true;
    bool stopped_ = true;
    // Set while the dialog itself writes the spin boxes.
    bool adjusting_ = false;

    TVideoWidget* imgPreview = nullptr;
    TRectTracker* RectTracker = nullptr;
    QSpinBox* spedUp = nullptr;
    QSpinBox* spedLeft = nullptr;
    QSpinBox* spedDown = nullptr;
    QSpinBox* spedRight = nullptr;
    QPushButton* btnReset = nullptr;
    QPushButton* btnDefault = nullptr;
    QPushButton* btnDetect = nullptr;
    QLabel* lblDetect = nullptr;
    QToolButton* imgbtnPlay = nullptr;
    QToolButton* imgbtnpause = nullptr;
    TSeekBar* trcPreview = nullptr;
    QLabel* lblSourceName = nullptr;
    QLabel* lblPTS = nullptr;
    QLabel* lblLength = nullptr;
    QPushButton* btnOk = nullptr;
    QPushButton* btnCancel = nullptr;

    // Last member: the player goes first, while the screen it paints on still stands.
    std::unique_ptr<TMediaPlayer> MediaPlayer_;
};

} // namespace tovik
