#pragma once
// The preferences dialog (TfrmPreference): where snapshots go, which sizes and formats they
// are saved in, the JPEG quality, the work priority of conversions, how many files convert
// at once and whether converted files keep their source's dates. It shows what is stored
// each time it opens and stores everything at "&Ok"; "&Cancel" stores nothing ("&Brows"
// stores its folder at once).

#include "app/ShellRules.h"
#include "app/preference/PreferenceValues.h"

#include <QDialog>
#include <array>
#include <functional>
#include <string>

class QButtonGroup;
class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSlider;
class QSpinBox;

namespace tovik {

class TDesktop;
class TfmDirectory;

class TfrmPreference : public QDialog {
    Q_OBJECT
public:
    TfrmPreference(QWidget* parent, std::string settingsFile, TDesktop& desktop,
                   TFileSystemTypeOf fileSystemTypeOf);

    // Reads the stored values into the controls, then shows the dialog modally.
    int Execute();
    // The showing steps without the modal loop (Execute runs them first).
    void Prepare();

    void OkClick();
    void CancelClick();
    void DefaultClick();
    void OpenClick();
    void BrowsClick();

    // The folder "&Brows" asks for; unset: the output directory dialog (created once).
    std::function<QString()> ChooseFolder;

    // What the controls hold now.
    TPreferenceValues Values() const;

    QLineEdit* SnapshotFolderBox() const { return edtSnapDir; }
    QCheckBox* FullSizeBox() const { return chkFullSize; }
    QCheckBox* SmallSizeBox() const { return chkSmallSize; }
    QCheckBox* BmpBox() const { return chkBmp; }
    QCheckBox* JpgBox() const { return chkJpg; }
    QSpinBox* QualitySpin() const { return spnQuality; }
    QSlider* QualitySlider() const { return trbQuality; }
    QRadioButton* PriorityItem(int index) const;
    QSpinBox* SimultaneousSpin() const { return spnSimultaneous; }
    QCheckBox* KeepFileDatesBox() const { return chkKeepFileDates; }

private:
    void ShowValues(const TPreferenceValues& values);
    // One box of a pair was clicked: it is checked again when the other one is off.
    void KeepOneChecked(QCheckBox* clicked, const QCheckBox* other);
    void UpdateQualityEnabling();
    void Warn(const QString& text);

    std::string settingsFile_;
    TDesktop& desktop_;
    TFileSystemTypeOf fileSystemTypeOf_;
    TfmDirectory* fmDirectory = nullptr;

    QLineEdit* edtSnapDir = nullptr;
    QPushButton* btnOpen = nullptr;
    QPushButton* btnBrows = nullptr;
    QCheckBox* chkFullSize = nullptr;
    QCheckBox* chkSmallSize = nullptr;
    QCheckBox* chkBmp = nullptr;
    QCheckBox* chkJpg = nullptr;
    QSpinBox* spnQuality = nullptr;
    QSlider* trbQuality = nullptr;
    QButtonGroup* rgPriority = nullptr;
    std::array<QRadioButton*, kPriorityCount> priorityItems_{};
    QSpinBox* spnSimultaneous = nullptr;
    QCheckBox* chkKeepFileDates = nullptr;
    QPushButton* btnOk = nullptr;
    QPushButton* btnCancel = nullptr;
    QPushButton* btnDefault = nullptr;
};

} // namespace tovik
