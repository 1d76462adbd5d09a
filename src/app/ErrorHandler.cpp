#include "app/ErrorHandler.h"

#include "engine/FFmpegException.h"
#include "media/MediaLogger.h"

namespace tovik {

QString WithClosingPeriod(const QString& message) {
    if (!message.isEmpty() && message.back() > QLatin1Char('.'))
        return message + QLatin1Char('.');
    return message;
}

TErrorReport ReportOfError(const std::exception_ptr& error) {
    TErrorReport report;
    try {
        std::rethrow_exception(error);
    } catch (const FFmpegException& failure) {
        report.Text = WithClosingPeriod(QString::fromUtf8(failure.what()));
        report.Icon = TMessageIcon::miWarning;
    } catch (const std::exception& failure) {
        report.Text = WithClosingPeriod(QString::fromUtf8(failure.what()));
    } catch (...) {
        report.Text = QStringLiteral("An unknown error occurred.");
    }
    return report;
}

TConverterApplication::TConverterApplication(int& argc, char** argv) : QApplication(argc, argv) {
    title_ = applicationName();
}

void TConverterApplication::SetErrorHandler(std::function<void(std::exception_ptr)> handler) {
    errorHandler_ = std::move(handler);
}

bool TConverterApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        const std::exception_ptr error = std::current_exception();
        if (errorHandler_) {
            // The handler shows a modal box; an error inside it must not escape either.
            try {
                errorHandler_(error);
            } catch (...) {
                LoggerInstance().Log(nullptr, TLogLevel::llError, "The error handler failed.");
            }
        } else {
            LoggerInstance().Log(nullptr, TLogLevel::llError,
                                 ReportOfError(error).Text.toStdString());
        }
        return false;
    }
}

TConverterApplication* TConverterApplication::Instance() {
    return qobject_cast<TConverterApplication*>(QCoreApplication::instance());
}

QString ApplicationTitle() {
    if (TConverterApplication* application = TConverterApplication::Instance())
        return application->Title();
    return QCoreApplication::applicationName();
}

} // namespace tovik
