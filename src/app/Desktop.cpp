#include "app/Desktop.h"

#include "app/DesktopNotice.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>

namespace tovik {

namespace {
QMessageBox::Icon BoxIcon(TMessageIcon icon) {
    switch (icon) {
    case TMessageIcon::miInformation:
        return QMessageBox::Information;
    case TMessageIcon::miWarning:
        return QMessageBox::Warning;
    case TMessageIcon::miError:
        return QMessageBox::Critical;
    case TMessageIcon::miQuestion:
        return QMessageBox::Question;
    case TMessageIcon::miNone:
        break;
    }
    return QMessageBox::NoIcon;
}
} // namespace

TMessageResult TQtDesktop::ShowMessage(QWidget* parent, const QString& caption, const QString& text,
                                       TMessageIcon icon, TMessageButtons buttons) {
    QMessageBox box(BoxIcon(icon), caption, text, QMessageBox::NoButton, parent);
    // Boxes wear the colours of the window that asks (its style sheet reaches them anyway).
    if (parent)
        box.setPalette(parent->window()->palette());
    if (buttons == TMessageButtons::mbYesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    switch (box.exec()) {
    case QMessageBox::Ok:
        return TMessageResult::mrOk;
    case QMessageBox::Yes:
        return TMessageResult::mrYes;
    case QMessageBox::No:
        return TMessageResult::mrNo;
    default:
        return TMessageResult::mrCancel;
    }
}

bool TQtDesktop::OpenUrl(const QUrl& url) {
    return QDesktopServices::openUrl(url);
}

QStringList TQtDesktop::ChooseOpenFiles(QWidget* parent, const QStringList& filters) {
    QFileDialog dialog(parent);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setNameFilters(filters);
    dialog.setSizeGripEnabled(true);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles();
}

QString TQtDesktop::ChooseSaveFile(QWidget* parent, const QString& suggested,
                                   const QString& filter) {
    return QFileDialog::getSaveFileName(parent, QString(), suggested, filter);
}

bool TQtDesktop::ProgramActive() const {
    return QApplication::activeWindow() != nullptr;
}

bool TQtDesktop::Notify(const QString& summary, const QString& body) {
    return SendDesktopNotice(QApplication::applicationName(), summary, body);
}

} // namespace tovik
