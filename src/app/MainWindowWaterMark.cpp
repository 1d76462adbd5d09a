// The main window's "&Video Effect && Water Mark" items (Edit menu and the list's context
// menu) and the dialog they open on the selected row's job.

#include "app/Desktop.h"
#include "app/MainWindow.h"
#include "dialogs/watermark/WaterMarkDialog.h"

namespace tovik {

void TfrmMain::AddWaterMarkItem(QMenu* menu, std::vector<QAction*>& rowItems) {
    QAction* item = menu->addAction(QStringLiteral("&Video Effect && Water Mark"));
    connect(item, &QAction::triggered, this, &TfrmMain::WaterMarkClick);
    rowItems.push_back(item);
}

void TfrmMain::WaterMarkClick() {
    // The list does not change while a conversion runs.
    if (runActive_)
        return;
    const int row = EditedRow();
    if (row < 0)
        return;
    StopPreview();
    // A new dialog for every use.
    DeleteWaterMarkDialog();
    TWaterMarkServices services;
    services.LoadLibraries = services_.LoadPlayerLibraries;
    TDesktop* desktop = services_.Desktop;
    services.ChooseImageFile = [desktop](QWidget* parent) {
        const QStringList chosen = desktop->ChooseOpenFiles(
            parent, {QStringLiteral("Picture files (*.png *.jpg *.jpeg *.bmp *.gif *.webp *.tif "
                                    "*.tiff *.ppm *.pgm *.xpm)"),
                     QStringLiteral("Bitmap files (*.bmp)"), QStringLiteral("All files (*)")});
        return chosen.isEmpty() ? QString() : chosen.front();
    };
    services.OpenUrl = [desktop](const QUrl& url) { return desktop->OpenUrl(url); };
    services.ShowError = [desktop](QWidget* parent, const QString& caption, const QString& text) {
        desktop->ShowMessage(parent, caption, text, TMessageIcon::miWarning, TMessageButtons::mbOk);
    };
    frmWaterMark = new TfrmWaterMark(jobs_, std::move(services), this);
    themes_.Follow(frmWaterMark);
    frmWaterMark->Execute(row);
}

void TfrmMain::DeleteWaterMarkDialog() {
    delete frmWaterMark;
    frmWaterMark = nullptr;
}

} // namespace tovik
