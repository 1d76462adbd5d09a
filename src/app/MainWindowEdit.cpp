// The main window's editing dialogs: the "&Crop" and "&Trim" items of the Edit menu and the
// list's context menu, and the dialogs they open on the selected row's job (the watermark
// item comes from MainWindowWaterMark.cpp).

#include "app/MainWindow.h"
#include "dialogs/crop/CropDialog.h"
#include "dialogs/trim/TrimDialog.h"
#include "workspace/ui/FileList.h"

namespace tovik {

void TfrmMain::AddEditDialogItems(QMenu* menu, std::vector<QAction*>& rowItems) {
    QAction* crop = menu->addAction(QStringLiteral("&Crop"));
    connect(crop, &QAction::triggered, this, &TfrmMain::CropClick);
    rowItems.push_back(crop);
    QAction* trim = menu->addAction(QStringLiteral("&Trim"));
    connect(trim, &QAction::triggered, this, &TfrmMain::TrimClick);
    rowItems.push_back(trim);
    AddWaterMarkItem(menu, rowItems);
}

int TfrmMain::EditedRow() {
    if (jobs_.Empty())
        return -1;
    int row = lvFiles->SelectedRow();
    if (!jobs_.Valid(row)) {
        row = 0;
        lvFiles->SelectRow(row);
    }
    return row;
}

void TfrmMain::TrimClick() {
    // The list does not change while a conversion runs.
    if (runActive_)
        return;
    const int row = EditedRow();
    if (row < 0)
        return;
    StopPreview();
    if (!frmTrim) {
        frmTrim = new TfrmTrim(jobs_, services_.LoadPlayerLibraries, this);
        themes_.Follow(frmTrim);
    }
    frmTrim->Execute(row);
}

void TfrmMain::DeleteEditDialogs() {
    // It edits the jobs, which go before the window's children.
    delete frmTrim;
    frmTrim = nullptr;
    delete frmCrop;
    frmCrop = nullptr;
    DeleteWaterMarkDialog();
}

} // namespace tovik
