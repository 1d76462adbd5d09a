#pragma once
// Tools > "Activity Log": every line of the session's log with its time, the last run's
// summary, and commands to copy or save the whole log. The window pulls new lines from the
// log a page at a time on a timer, so a flood of library lines costs it one append per tick
// and never a redraw of what it already shows.

#include "workspace/log/ActivityLog.h"

#include <QDialog>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <functional>
#include <string>
#include <vector>

namespace tovik {

class TfrmActivityLog : public QDialog {
    Q_OBJECT
public:
    // Lines taken from the log per tick of the timer.
    static constexpr size_t kPageLines = 5000;
    static constexpr int kPullIntervalMs = 100;

    // log: the session's log, which outlives the window. chooseSaveFile returns the file
    // to save into, or an empty text when the user cancelled; showError shows a failure.
    TfrmActivityLog(QWidget* parent, const TActivityLog& log,
                    std::function<QString()> chooseSaveFile,
                    std::function<void(const QString&)> showError);

    // Appends the next page of new lines; returns how many were appended.
    size_t PullPage();
    // The last line's sequence number the window shows.
    int64_t ShownSequence() const { return shown_; }
    int ShownLineCount() const;
    QString ShownText() const { return mmoLog->toPlainText(); }

    // The run's summary lines, shown above the log until the next run ends.
    void ShowSummary(const std::vector<std::string>& lines);
    QString SummaryText() const { return lblSummary->text(); }

    // "Copy": the whole log to the clipboard. "Save": into the chosen file; false when
    // cancelled or when the file could not be written (then the error is shown).
    void CopyClick();
    bool SaveClick();
    bool SaveTo(const QString& path);

    QPushButton* CopyButton() const { return btnCopy; }
    QPushButton* SaveButton() const { return btnSave; }
    bool Pulling() const { return tmrPull.isActive(); }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    const TActivityLog& log_;
    std::function<QString()> chooseSaveFile_;
    std::function<void(const QString&)> showError_;
    int64_t shown_ = 0;

    QLabel* lblSummary = nullptr;
    QPlainTextEdit* mmoLog = nullptr;
    QPushButton* btnCopy = nullptr;
    QPushButton* btnSave = nullptr;
    QPushButton* btnClose = nullptr;
    QTimer tmrPull;
};

} // namespace tovik
