// The main window's dialogs: which commands open them, and what the main window does after
// they stored something.

#include "app/Desktop.h"
#include "app/ErrorHandler.h"
#include "app/MainWindow.h"
#include "dialogs/settings/SettingsDialog.h"
#include "settings/GlobalObject.h"
#include "settings/IniFile.h"
#include "settings/SettingsKeys.h"
#include "workspace/ui/FileList.h"

#include <QPushButton>

namespace tovik {

void TfrmMain::WireDialogs() {
    connect(btnSettings, &QToolButton::clicked, this, &TfrmMain::SettingsClick);
    connect(btnSetting, &QPushButton::clicked, this, &TfrmMain::SettingsClick);
    connect(mnuSettings, &QAction::triggered, this, &TfrmMain::SettingsClick);
    WirePreference();
    WireFileInfo();
}

void TfrmMain::SettingsClick() {
    if (!global_)
        return;
    StoreFormatGroups();
    if (!frmSettings) {
        frmSettings =
            new TfrmSettings(this, global_->SettingsFile(), global_->ProfileFile(),
                             [this](const QString& caption, const QString& text) {
                                 services_.Desktop->ShowMessage(
                                     frmSettings, caption.isEmpty() ? ApplicationTitle() : caption,
                                     text, TMessageIcon::miWarning, TMessageButtons::mbOk);
                             });
        themes_.Follow(frmSettings);
        frmSettings->OnStored = [this] {
            const TIniFile settings = Settings();
            currentFormatName_ = QString::fromStdString(
                settings.ReadString(kSettingsSection, kFormatNameKey, "iPod Video MPEG-4"));
            currentFormatCode_ =
                QString::fromStdString(settings.ReadString(kSettingsSection, kFormatCodeKey, "1"));
            BuildFormatList();
            // The same format keeps the box's text: the controls still take the new choices.
            ReloadParameters();
            RefreshDestinations();
        };
    }
    frmSettings->Execute();
}

void TfrmMain::RefreshDestinations() {
    if (!global_)
        return;
    TIniFile settings = Settings();
    const TIniFile profile(global_->ProfileFile());
    TAddFilesContext context;
    context.Settings = &settings;
    context.Profile = &profile;
    context.Warn = [this](const std::string& message) {
        services_.Desktop->ShowMessage(this, QStringLiteral("Warning"),
                                       QString::fromStdString(message), TMessageIcon::miWarning,
                                       TMessageButtons::mbOk);
    };
    tovik::RefreshDestinations(*lvFiles, context);
}

} // namespace tovik
