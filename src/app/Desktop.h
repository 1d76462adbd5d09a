#pragma once
// Everything the windows ask of the desktop: message boxes, opening web pages and folders,
// choosing files, and the desktop notice at the end of a run.
// The program uses TQtDesktop; tests put in a double that records and answers at once, so
// no test ever waits on a modal box.

#include <QString>
#include <QStringList>
#include <QUrl>

class QWidget;

namespace tovik {

enum class TMessageIcon { miNone, miInformation, miWarning, miError, miQuestion };
enum class TMessageButtons { mbOk, mbYesNo };
enum class TMessageResult { mrOk, mrYes, mrNo, mrCancel };

class TDesktop {
public:
    virtual ~TDesktop() = default;
    // A modal message box; returns the button the user pressed (mrCancel when closed).
    virtual TMessageResult ShowMessage(QWidget* parent, const QString& caption, const QString& text,
                                       TMessageIcon icon, TMessageButtons buttons) = 0;
    // Opens a web address or folder with the desktop's default handler; false on failure.
    virtual bool OpenUrl(const QUrl& url) = 0;
    // The open-file dialog: several existing files; empty when cancelled.
    virtual QStringList ChooseOpenFiles(QWidget* parent, const QStringList& filters) = 0;
    // The save-file dialog, starting at suggested; empty when cancelled.
    virtual QString ChooseSaveFile(QWidget* parent, const QString& suggested,
                                   const QString& filter) = 0;
    // Whether a window of this program has the keyboard focus of the desktop.
    virtual bool ProgramActive() const = 0;
    // A desktop notification (it pops up outside the program's windows); false when the
    // desktop has no notification service.
    virtual bool Notify(const QString& summary, const QString& body) = 0;
};

class TQtDesktop : public TDesktop {
public:
    TMessageResult ShowMessage(QWidget* parent, const QString& caption, const QString& text,
                               TMessageIcon icon, TMessageButtons buttons) override;
    bool OpenUrl(const QUrl& url) override;
    QStringList ChooseOpenFiles(QWidget* parent, const QStringList& filters) override;
    QString ChooseSaveFile(QWidget* parent, const QString& suggested,
                           const QString& filter) override;
    bool ProgramActive() const override;
    // Through the freedesktop notification service on the session bus.
    bool Notify(const QString& summary, const QString& body) override;
};

} // namespace tovik
