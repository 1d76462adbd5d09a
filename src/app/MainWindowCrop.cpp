// The main window's "&Crop" command: a new crop dialog for every use, on the selected row's
// job, after the preview stopped (one player plays at a time).

#include "app/MainWindow.h"
#include "dialogs/crop/CropDialog.h"

namespace tovik {

void TfrmMain::CropClick() {
    // The list does not change while a conversion runs.
    if (runActive_)
        return;
    const int row = EditedRow();
    if (row < 0)
        return;
    StopPreview();
    // The dialog of an earlier use goes; its player is closed already.
    delete frmCrop;
    frmCrop = new TfrmCrop(jobs_, services_.LoadPlayerLibraries, this);
    themes_.Follow(frmCrop);
    frmCrop->Execute(row);
}

} // namespace tovik
