#pragma once
// The application-wide handler of errors that escape an event handler. Qt has no single hook
// for them, so the program's application object catches them in notify() and hands them on.

#include "app/Desktop.h"

#include <QApplication>
#include <QString>
#include <exception>
#include <functional>

namespace tovik {

// What the handler shows for one error.
struct TErrorReport {
    bool Show = true;
    QString Text;
    TMessageIcon Icon = TMessageIcon::miError;
};

// Appends "." when the message is not empty and its last character sorts after ".".
QString WithClosingPeriod(const QString& message);
// The engine's FFmpegException is a warning, any other error an error. Errors that are not
// std::exception carry no message and are shown with a fixed text.
TErrorReport ReportOfError(const std::exception_ptr& error);

class TConverterApplication : public QApplication {
    Q_OBJECT
public:
    TConverterApplication(int& argc, char** argv);

    // The title message boxes use as their caption.
    const QString& Title() const { return title_; }
    void SetTitle(const QString& title) { title_ = title; }

    // Receives every error that escapes an event handler; without one, errors are logged.
    void SetErrorHandler(std::function<void(std::exception_ptr)> handler);

    bool notify(QObject* receiver, QEvent* event) override;

    // The running instance, or nullptr when the application object is another kind.
    static TConverterApplication* Instance();

private:
    QString title_;
    std::function<void(std::exception_ptr)> errorHandler_;
};

// Caption for the program's message boxes: the application title when the program's
// application object runs, else the plain application name.
QString ApplicationTitle();

} // namespace tovik
