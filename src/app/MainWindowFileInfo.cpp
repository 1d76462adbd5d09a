// The list's "Video Infomation": the file information dialog of the selected row, created on
// first use and kept.

#include "app/Desktop.h"
#include "app/MainWindow.h"
#include "app/fileinfo/FileInfoDialog.h"
#include "workspace/ui/FileList.h"

namespace tovik {

void TfrmMain::WireFileInfo() {
    connect(pmnFileInfo, &QAction::triggered, this, &TfrmMain::FileInfoClick);
}

void TfrmMain::FileInfoClick() {
    const int row = lvFiles->SelectedRow();
    if (!global_ || row < 0 || row >= jobs_.Count())
        return;
    // The dialog's engine reads the file with the engine's libraries.
    if (!services_.LoadEngineLibraries || !services_.LoadEngineLibraries())
        return;
    if (!frmFileInfo) {
        frmFileInfo = new TfrmFileInfo(this, [this](const QString& text) {
            services_.Desktop->ShowMessage(frmFileInfo, QStringLiteral("Warning"), text,
                                           TMessageIcon::miWarning, TMessageButtons::mbOk);
        });
        themes_.Follow(frmFileInfo);
    }
    frmFileInfo->Execute(jobs_.Job(row).SourceFile);
}

} // namespace tovik
