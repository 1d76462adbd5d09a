// The main window's hidden parameter controls: placed under the output box, reloaded
// whenever the format box shows another format.

#include "app/Desktop.h"
#include "app/ErrorHandler.h"
#include "app/MainWindow.h"
#include "settings/GlobalObject.h"
#include "workspace/ui/ParameterPanel.h"

namespace tovik {

QWidget* TfrmMain::CreateParameterPanel(QWidget* parent) {
    pnlParameters = new TParameterPanel(
        parent, global_->SettingsFile(), global_->ProfileFile(),
        [this](const QString& caption, const QString& text) {
            services_.Desktop->ShowMessage(this, caption.isEmpty() ? ApplicationTitle() : caption,
                                           text, TMessageIcon::miWarning, TMessageButtons::mbOk);
        });
    // The choices are made in the settings dialog; no command shows these controls.
    pnlParameters->setVisible(false);
    connect(edt1, &QLineEdit::textChanged, this, &TfrmMain::ReloadParameters);
    return pnlParameters;
}

void TfrmMain::ReloadParameters() {
    if (global_)
        pnlParameters->Reload(currentFormatCode_.toInt());
}

} // namespace tovik
