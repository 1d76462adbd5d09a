#pragma once
// The main window's output parameter controls: the groups "Video Options" and "Audio
// Options" with their ten boxes and a "Default" button. The window keeps them hidden (the
// settings dialog offers the same choices); each choice is written to the current format's
// settings section at once, by the main window's name tables.

#include "workspace/core/ProfileChoices.h"

#include <QWidget>
#include <array>
#include <functional>
#include <string>

class QComboBox;
class QGroupBox;
class QPushButton;

namespace tovik {

class TIniFile;

class TParameterPanel : public QWidget {
    Q_OBJECT
public:
    // Shows a message box with an OK button; an empty caption means the program's title.
    using TShowMessage = std::function<void(const QString& caption, const QString& text)>;

    TParameterPanel(QWidget* parent, std::string settingsFile, std::string profileFile,
                    TShowMessage showMessage);

    // Fills the lists from the profile's section of formatCode and selects the stored
    // choices; writes nothing.
    void Reload(int formatCode);
    int FormatCode() const { return formatCode_; }
    // "Default": the profile's default choices, each written by its handler.
    void DefaultClick();

    // The change handlers. The index ones take the chosen item; the rate ones read the
    // box's text. False when the value was refused (a message was shown, nothing written).
    bool VideoSizeLeave();
    bool VideoSizeSelect(int index);
    bool RateChange(TChoiceControl control);
    bool ItemChosen(TChoiceControl control, int index);
    void ZoomChange(int index);
    // Whether the box takes a typed character (beeps, and for the rate boxes shows a
    // message, when it does not).
    bool TypeKey(TChoiceControl control, QChar key);

    QComboBox* Box(TChoiceControl control) const;
    QComboBox* ZoomBox() const { return cmbZoom; }
    QGroupBox* VideoGroup() const { return grpVideo; }
    QGroupBox* AudioGroup() const { return grpAudio; }
    QPushButton* DefaultButton() const { return btnDefault; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QComboBox* AddBox(QWidget* parent, const char* name, bool editable);
    void FillLists();
    void UpdateEnabling();
    bool IsEditor(const QObject* object, TChoiceControl& control) const;
    void Message(const QString& caption, const QString& text);
    TIniFile Settings() const;
    std::string Section() const;

    std::string settingsFile_;
    std::string profileFile_;
    TShowMessage showMessage_;
    int formatCode_ = 1;
    bool leaving_ = false; // a frame-size check is showing its message

    QGroupBox* grpVideo = nullptr;
    QGroupBox* grpAudio = nullptr;
    std::array<QComboBox*, std::size(kChoiceControls)> boxes_{};
    QComboBox* cmbZoom = nullptr;
    QPushButton* btnDefault = nullptr;
};

} // namespace tovik
