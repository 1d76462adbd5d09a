#pragma once
// The settings dialog (TfrmSettings): the output format drop-down of its own and the video
// and audio parameters of the chosen format. Every choice stays in the dialog until "&Ok",
// which writes them all at once; "&Cancel" writes nothing.

#include "dialogs/settings/SettingsRules.h"

#include <QDialog>
#include <array>
#include <functional>
#include <string>

class QComboBox;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace tovik {

class TFormatListBox;

class TfrmSettings : public QDialog {
    Q_OBJECT
public:
    // Shows a message box with an OK button; an empty caption means the program's title.
    using TShowMessage = std::function<void(const QString& caption, const QString& text)>;

    TfrmSettings(QWidget* parent, std::string settingsFile, std::string profileFile,
                 TShowMessage showMessage);
    ~TfrmSettings() override;

    // Rebuilds the list and the boxes from the two files, then shows the dialog modally.
    int Execute();
    // The showing steps without the modal loop (Execute runs them first).
    void Prepare();

    // Called after "&Ok" has stored the choices (the main window rebuilds its list).
    std::function<void()> OnStored;

    void OkClick();
    void CancelClick();
    void DefaultClick();
    // The format drop-down: opening it and choosing a format row of it.
    void OpenFormatList();
    void ChooseFormat(const QString& text, int code);
    // Leaving an editable box: false when its text was refused (a message was shown). A frame
    // size with odd or zero parts is corrected in the box and accepted.
    bool LeaveBox(TChoiceControl control);
    // Whether the box takes a typed character (beeps, and for the rate boxes shows a message,
    // when it does not).
    bool TypeKey(TChoiceControl control, QChar key);

    QComboBox* Box(TChoiceControl control) const;
    QComboBox* ZoomBox() const { return cmbZoom; }
    TFormatListBox* FormatList() const { return lst1; }
    QString FormatText() const;
    const QString& CurrentFormatName() const { return currentFormatName_; }
    int CurrentFormatCode() const { return currentFormatCode_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QComboBox* AddBox(QWidget* parent, const char* name, bool editable);
    void BuildFormatList();
    void PlaceFormatList();
    void LoadBoxes(bool textFallback);
    void ShowChoices(const TSettingsChoices& choices);
    TSettingsChoices ReadChoices() const;
    void UpdateEnabling();
    bool IsDropDownPart(const QObject* object) const;
    TChoiceControl ControlOfEditor(const QObject* editor, bool& found) const;
    void Message(const QString& caption, const QString& text);

    std::string settingsFile_;
    std::string profileFile_;
    TShowMessage showMessage_;
    QString currentFormatName_;
    int currentFormatCode_ = 1;
    TSettingsChoices loaded_; // the lists shown, and the zoom index the box may not have
    bool leaving_ = false;    // a leave check is showing its message

    QLineEdit* edt1 = nullptr;
    QToolButton* imgbtn1 = nullptr;
    TFormatListBox* lst1 = nullptr;
    std::array<QComboBox*, kChoiceBoxCount> boxes_{};
    QComboBox* cmbZoom = nullptr;
    QComboBox* cbOutputFormat = nullptr;
    QPushButton* btnDefault = nullptr;
    QPushButton* btnOk = nullptr;
    QPushButton* btnCancel = nullptr;
};

} // namespace tovik
