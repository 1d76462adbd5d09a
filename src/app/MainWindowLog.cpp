// The main window's activity log: the log sink's lines and the window's own go into the
// session's log (and its file); Tools > "Activity Log" shows them.

#include "app/Desktop.h"
#include "app/MainWindow.h"
#include "dialogs/activitylog/ActivityLogDialog.h"
#include "media/MediaLogger.h"

#include <QStringList>

namespace tovik {

void TfrmMain::WireActivityLog() {
    activityLog_ = std::make_shared<TActivityLog>();
    if (services_.OpenLogFile) {
        std::string error;
        if (auto file = services_.OpenLogFile(error))
            activityLog_->AttachFile(std::move(file));
        else if (!error.empty())
            activityLog_->Add(error);
    }
    // The log takes lines from any thread, so a library thread need not wait for this one.
    TMediaLogger& logger = LoggerInstance();
    logger.SetTriggerEventInMainThread(false);
    logger.SetOnLog([log = activityLog_](TObject*, uint32_t, TLogLevel, const std::string& line) {
        log->Add(line);
    });

    mnuActivityLog = mnuTools->addAction(QStringLiteral("&Activity Log"));
    mnuActivityLog->setObjectName(QStringLiteral("mnuActivityLog"));
    connect(mnuActivityLog, &QAction::triggered, this, &TfrmMain::ActivityLogClick);
}

void TfrmMain::ActivityLogClick() {
    if (!frmActivityLog) {
        frmActivityLog = new TfrmActivityLog(
            this, *activityLog_,
            [this] {
                return services_.Desktop->ChooseSaveFile(frmActivityLog,
                                                         QStringLiteral("tovik-activity.log"),
                                                         QStringLiteral("Log files (*.log *.txt)"));
            },
            [this](const QString& text) {
                services_.Desktop->ShowMessage(frmActivityLog, QStringLiteral("Warning"), text,
                                               TMessageIcon::miWarning, TMessageButtons::mbOk);
            });
        themes_.Follow(frmActivityLog);
    }
    frmActivityLog->show();
    frmActivityLog->raise();
    frmActivityLog->activateWindow();
}

void TfrmMain::AppendLog(const QString& line) {
    activityLog_->Add(line.toStdString());
}

QString TfrmMain::LogText() const {
    QStringList lines;
    for (const TActivityLine& line : activityLog_->LinesAfter(0, activityLog_->Count()))
        lines.append(QString::fromStdString(line.Text));
    return lines.join(QLatin1Char('\n'));
}

} // namespace tovik
