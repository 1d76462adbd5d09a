#pragma once
// The progress window of a conversion run: a live picture of the frame being converted, the
// value labels the main window's progress handler writes, a bar, the two after-conversion
// boxes and the buttons that pause, resume, cancel and save a snapshot. Showing it starts
// the run; closing it (by any way) stops the engine. When several files convert at once, a
// list of the running files with their percentages takes the place of the one file's values.

#include "media/Bitmap.h"
#include "workspace/run/RunningFiles.h"

#include <QCheckBox>
#include <QDialog>
#include <QImage>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <functional>
#include <vector>

class QStackedWidget;

namespace tovik {

// What the window asks of the main window.
struct TProgressCommands {
    std::function<void()> StartRun; // StartTask(n)
    std::function<void()> Pause;    // the engine's Pause (the main window keeps its own buttons)
    std::function<void()> Resume;
    std::function<void()> StopRun; // Stop(True): returns once the running task has ended
    // Saves the full-size and the small picture as snapshot files.
    std::function<void(const TBitmap& full, const TBitmap& small)> SaveSnapshot;
};

class TfrmProgress : public QDialog {
    Q_OBJECT
public:
    static constexpr int kPreviewWidth = 372;
    static constexpr int kPreviewHeight = 210;
    static inline const QColor kPreviewBackground{166, 202, 240};

    // preview: the main window's conversion preview bitmap, read on the main thread only.
    TfrmProgress(QWidget* parent, TProgressCommands commands, const TBitmap* preview);

    // Shows the window modally and starts the run; returns once the window has closed.
    int Execute();

    // The value labels, the bar and the time-left line (written by the progress handler).
    void SetTimeText(const QString& text) { lblTimeValue->setText(text); }
    void SetLengthText(const QString& text) { lblLengthValue->setText(text); }
    void SetSizeText(const QString& text) { lblSizeValue->setText(text); }
    void SetProgressText(const QString& text) { lblProgressValue->setText(text); }
    void SetFileText(const QString& text) { lblFileValue->setText(text); }
    void SetTimeLeftText(const QString& text) { lblTimeLeft->setText(text); }
    // The whole run's time left, beside the current file's.
    void SetTotalLeftText(const QString& text) { lblTotalLeft->setText(text); }
    void SetPosition(int percent) { pbProgress->setValue(percent); }

    // Whether this run lists its running files (several convert at once) or shows the one
    // file's values; set as the run starts, the list is empty then.
    void ShowSeveralFiles(bool several);
    bool ShowsSeveralFiles() const;
    // The running files, one line each (name, percentage); the previewed one stands out.
    void SetRunningFiles(const std::vector<TRunningLine>& lines);
    // What the lines show now: each file's name and its bar's value (-1: not known).
    std::vector<std::pair<QString, int>> RunningFileTexts() const;

    bool ShutDownChecked() const { return chkShutDown->isChecked(); }
    bool OpenFolderChecked() const { return chkOpenFolder->isChecked(); }

    // The buttons' actions; Pause and Resume also tell the main window through the signals.
    void PauseClick();
    void ResumeClick();
    void SnapshotClick();
    // Redraws the live picture from the conversion preview bitmap (the 100 ms timer).
    void TimerTick();

    // For the main window's hidden buttons: the same enabling without calling the engine.
    void ShowPaused(bool paused);

    const QImage& PreviewPicture() const { return previewImage_; }
    QPushButton* PauseButton() const { return btnPause; }
    QPushButton* ResumeButton() const { return btnResume; }
    QPushButton* CancelButton() const { return btnCancel; }
    QCheckBox* ShutDownBox() const { return chkShutDown; }
    QCheckBox* OpenFolderBox() const { return chkOpenFolder; }
    QProgressBar* Bar() const { return pbProgress; }
    bool TimerActive() const { return tmrPreview.isActive(); }

signals:
    void Paused();
    void Resumed();

public slots:
    // Every close goes through here: the engine is stopped (waiting), then the timer.
    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void PrepareShow();
    void ClearPreview();
    void ShowPreviewPicture();
    QWidget* CreateRunningFiles();

    TProgressCommands commands_;
    const TBitmap* preview_;
    QImage previewImage_;
    bool closing_ = false;
    bool started_ = false;

    QLabel* imgPreview = nullptr;
    QLabel* lblTimeValue = nullptr;
    QLabel* lblLengthValue = nullptr;
    QLabel* lblSizeValue = nullptr;
    QLabel* lblProgressValue = nullptr;
    QLabel* lblFileValue = nullptr;
    QLabel* lblTimeLeft = nullptr;
    QLabel* lblTotalLeft = nullptr;
    QStackedWidget* stkValues = nullptr; // the one file's values, or the running files
    QWidget* pnlRunningFiles = nullptr;
    struct TFileLine {
        QLabel* Name = nullptr;
        QProgressBar* Bar = nullptr;
    };
    std::vector<TFileLine> fileLines_; // as many as were ever needed; unused ones hidden
    QProgressBar* pbProgress = nullptr;
    QCheckBox* chkShutDown = nullptr;
    QCheckBox* chkOpenFolder = nullptr;
    QPushButton* btnPause = nullptr;
    QPushButton* btnResume = nullptr;
    QPushButton* btnCancel = nullptr;
    QToolButton* btnSnapshot = nullptr;
    QTimer tmrPreview;
};

// The kit's bitmap of a picture (converted to 24-bit BGR).
TBitmap BitmapOfImage(const QImage& image);

} // namespace tovik
