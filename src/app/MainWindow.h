#pragma once

#include <QMainWindow>
#include <QPlainTextEdit>

namespace tovik {

// The program's main window.
class TfrmMain : public QMainWindow {
    Q_OBJECT
public:
    explicit TfrmMain(QWidget* parent = nullptr);

    // Appends one line to the hidden log memo.
    void AppendLog(const QString& line);
    QString LogText() const;

private:
    QPlainTextEdit* mmoLog;
};

} // namespace tovik
