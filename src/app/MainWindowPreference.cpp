// Tools > "&Preference": the preferences dialog, created on first use and kept.

#include "app/MainWindow.h"
#include "app/preference/PreferenceDialog.h"
#include "settings/GlobalObject.h"

namespace tovik {

void TfrmMain::WirePreference() {
    connect(mnuPreference, &QAction::triggered, this, &TfrmMain::PreferenceClick);
}

void TfrmMain::PreferenceClick() {
    if (!global_)
        return;
    if (!frmPreference) {
        frmPreference = new TfrmPreference(this, global_->SettingsFile(), *services_.Desktop,
                                           services_.FileSystemTypeOf);
        themes_.Follow(frmPreference);
    }
    frmPreference->Execute();
}

} // namespace tovik
