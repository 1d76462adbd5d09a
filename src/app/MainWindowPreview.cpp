// The main window's preview panel: where it gets its rows, files and folders from, and the
// commands that play the list's rows.

#include "app/Desktop.h"
#include "app/MainWindow.h"
#include "settings/GlobalObject.h"
#include "workspace/preview/PreviewPanel.h"
#include "workspace/ui/FileList.h"

#include <QUrl>

namespace tovik {

TPreviewHost TfrmMain::PreviewHost() {
    TPreviewHost host;
    host.SelectedRow = [this] { return lvFiles->SelectedRow(); };
    host.SelectRow = [this](int row) { lvFiles->SelectRow(row); };
    host.AddFiles = [this] { AddClick(); };
    host.Log = [this](const QString& line) { AppendLog(line); };
    host.SettingsFile = [this] { return global_ ? global_->SettingsFile() : std::string(); };
    host.ShowWarning = [this](const std::string& message) {
        services_.Desktop->ShowMessage(this, QStringLiteral("Warning"),
                                       QString::fromStdString(message), TMessageIcon::miWarning,
                                       TMessageButtons::mbOk);
    };
    host.OpenFolder = [this](const std::string& directory) {
        services_.Desktop->OpenUrl(QUrl::fromLocalFile(QString::fromStdString(directory)));
    };
    host.LoadLibraries = services_.LoadPlayerLibraries;
    host.ReportError = [this](const std::exception_ptr& error) { ApplicationException(error); };
    return host;
}

TPreviewPanel* TfrmMain::CreatePreview(QWidget* parent) {
    pnlPreview = new TPreviewPanel(jobs_, PreviewHost(), parent);
    // A double click on a row, or Enter on the selected one, plays it.
    connect(lvFiles, &TFileList::PlayRequested, pnlPreview, &TPreviewPanel::Play);
    return pnlPreview;
}

void TfrmMain::StopPreview() {
    if (pnlPreview)
        pnlPreview->Stop();
}

} // namespace tovik
