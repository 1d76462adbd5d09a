#include "workspace/ui/ParameterPanel.h"

#include "media/TextFormat.h"
#include "settings/IniFile.h"
#include "settings/SettingsKeys.h"
#include "workspace/core/FormatTable.h"
#include "workspace/core/ParameterRules.h"

#include <QApplication>
#include <QComboBox>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

namespace tovik {

namespace {

size_t Position(TChoiceControl control) {
    return static_cast<size_t>(
        std::find(std::begin(kChoiceControls), std::end(kChoiceControls), control) -
        std::begin(kChoiceControls));
}

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

bool IsVideoControl(TChoiceControl control) {
    return control == TChoiceControl::ccVideoEncoder || control == TChoiceControl::ccVideoSize ||
           control == TChoiceControl::ccFrameRate || control == TChoiceControl::ccVideoBitRate;
}

// The rate boxes: their check and the key of the value they store.
struct TRateKeys {
    TChoiceControl Control;
    TRateBox Box;
    const char* ValueKey;
};
constexpr TRateKeys kRates[] = {
    {TChoiceControl::ccVideoBitRate, TRateBox::rbVideoBitRate, kVideoBitRateKey},
    {TChoiceControl::ccSampleRate, TRateBox::rbSampleRate, kSampleRateKey},
    {TChoiceControl::ccAudioBitRate, TRateBox::rbAudioBitRate, kAudioBitRateKey},
};

// The stored texts the editable boxes show when they are loaded, with the main window's
// defaults (the settings dialog has its own).
struct TStoredText {
    TChoiceControl Control;
    const char* Key;
    const char* Default;
};
constexpr TStoredText kStoredTexts[] = {
    {TChoiceControl::ccVideoSize, kVideoSizeKey, "320x240"},
    {TChoiceControl::ccVideoBitRate, kVideoBitRateKey, "768"},
    {TChoiceControl::ccSampleRate, kSampleRateKey, "44100"},
    {TChoiceControl::ccAudioBitRate, kAudioBitRateKey, "96"},
};

// The main window's zoom items; the settings dialog words them its own way.
const char* const kZoomItems[] = {"Full Screen", "Letter Box", "Pan and Scan"};

// The controls' drop-downs: the current row framed on a light blue fill, the others on a
// light grey.
const char* const kBoxStyle =
    "QComboBox QAbstractItemView { background: rgb(246,247,248); selection-color: black; "
    "selection-background-color: rgb(185,204,236); outline: 0; }"
    "QComboBox QAbstractItemView::item:selected { border: 1px solid rgb(122,160,218); }";

} // namespace

TParameterPanel::TParameterPanel(QWidget* parent, std::string settingsFile, std::string profileFile,
                                 TShowMessage showMessage)
    : QWidget(parent), settingsFile_(std::move(settingsFile)), profileFile_(std::move(profileFile)),
      showMessage_(std::move(showMessage)) {
    setObjectName(QStringLiteral("pnlParameters"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);

    const auto addRow = [](QGridLayout* grid, int row, const char* caption, QComboBox* box) {
        grid->addWidget(new QLabel(QString::fromLatin1(caption)), row, 0);
        grid->addWidget(box, row, 1);
    };
    grpVideo = new QGroupBox(QStringLiteral("Video Options"), this);
    auto* video = new QGridLayout(grpVideo);
    boxes_[Position(TChoiceControl::ccVideoSize)] = AddBox(grpVideo, "cmbVideoSize", true);
    boxes_[Position(TChoiceControl::ccVideoEncoder)] = AddBox(grpVideo, "cmbVideoEncoder", false);
    boxes_[Position(TChoiceControl::ccVideoBitRate)] = AddBox(grpVideo, "cmbVideoBitRate", true);
    boxes_[Position(TChoiceControl::ccFrameRate)] = AddBox(grpVideo, "cmbFrameRate", false);
    cmbZoom = AddBox(grpVideo, "cmbZoom", false);
    addRow(video, 0, "Frame Size:", Box(TChoiceControl::ccVideoSize));
    addRow(video, 1, "Encoder:", Box(TChoiceControl::ccVideoEncoder));
    addRow(video, 2, "BitRate (Kbps):", Box(TChoiceControl::ccVideoBitRate));
    addRow(video, 3, "FrameRate (Fps):", Box(TChoiceControl::ccFrameRate));
    addRow(video, 4, "Zoom:", cmbZoom);
    layout->addWidget(grpVideo, 1);

    grpAudio = new QGroupBox(QStringLiteral("Audio Options"), this);
    auto* audio = new QGridLayout(grpAudio);
    boxes_[Position(TChoiceControl::ccSampleRate)] = AddBox(grpAudio, "cmbSamplerate", true);
    boxes_[Position(TChoiceControl::ccAudioEncoder)] = AddBox(grpAudio, "cmbAudioEncoder", false);
    boxes_[Position(TChoiceControl::ccChannel)] = AddBox(grpAudio, "cmbChannel", false);
    boxes_[Position(TChoiceControl::ccAudioBitRate)] = AddBox(grpAudio, "cmbAudioBitRate", true);
    boxes_[Position(TChoiceControl::ccVolume)] = AddBox(grpAudio, "cmbVolume", false);
    addRow(audio, 0, "SampleRate (Hz):", Box(TChoiceControl::ccSampleRate));
    addRow(audio, 1, "Encoder:", Box(TChoiceControl::ccAudioEncoder));
    addRow(audio, 2, "Channel:", Box(TChoiceControl::ccChannel));
    addRow(audio, 3, "BitRate (Kbps):", Box(TChoiceControl::ccAudioBitRate));
    addRow(audio, 4, "Volume:", Box(TChoiceControl::ccVolume));
    layout->addWidget(grpAudio, 1);

    btnDefault = new QPushButton(QStringLiteral("Default"), this);
    btnDefault->setObjectName(QStringLiteral("btnDefault"));
    layout->addWidget(btnDefault, 0, Qt::AlignBottom);
    connect(btnDefault, &QPushButton::clicked, this, &TParameterPanel::DefaultClick);

    // A choice from a list is written at once; typed texts are checked when the box is left.
    for (TChoiceControl control : kChoiceControls)
        connect(Box(control), &QComboBox::activated, this, [this, control](int index) {
            if (control == TChoiceControl::ccVideoSize)
                VideoSizeSelect(index);
            else if (Box(control)->isEditable())
                RateChange(control);
            else
                ItemChosen(control, index);
        });
    connect(cmbZoom, &QComboBox::activated, this, &TParameterPanel::ZoomChange);
}

QComboBox* TParameterPanel::AddBox(QWidget* parent, const char* name, bool editable) {
    auto* box = new QComboBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setStyleSheet(QString::fromLatin1(kBoxStyle));
    if (editable) {
        box->setEditable(true);
        box->setInsertPolicy(QComboBox::NoInsert);
        box->setCompleter(nullptr);
        box->lineEdit()->installEventFilter(this);
    }
    return box;
}

QComboBox* TParameterPanel::Box(TChoiceControl control) const {
    return boxes_[Position(control)];
}

TIniFile TParameterPanel::Settings() const {
    return TIniFile(settingsFile_);
}

std::string TParameterPanel::Section() const {
    return FormatSection(formatCode_);
}

void TParameterPanel::Message(const QString& caption, const QString& text) {
    if (showMessage_)
        showMessage_(caption, text);
}

void TParameterPanel::FillLists() {
    const TIniFile profile(profileFile_);
    for (TChoiceControl control : kChoiceControls) {
        QComboBox* box = Box(control);
        const QSignalBlocker blocker(box);
        box->clear();
        for (const std::string& item : ChoiceItems(profile, formatCode_, control))
            box->addItem(Text(item));
        box->setMaxVisibleItems(std::max(1, box->count()));
    }
}

void TParameterPanel::Reload(int formatCode) {
    formatCode_ = formatCode;
    FillLists();
    const TIniFile settings = Settings();
    const std::string section = Section();

    const QSignalBlocker zoomBlocker(cmbZoom);
    cmbZoom->clear();
    const std::string zoom = settings.ReadString(section, kZoomKey, "full");
    if (zoom != "null" && !zoom.empty()) {
        for (const char* item : kZoomItems)
            cmbZoom->addItem(QString::fromLatin1(item));
        // "center" has no item: the box then shows none.
        const int index = ZoomIndex(zoom);
        cmbZoom->setCurrentIndex(index < cmbZoom->count() ? index : -1);
    }

    for (const TStoredText& stored : kStoredTexts) {
        QComboBox* box = Box(stored.Control);
        const QSignalBlocker blocker(box);
        const QString text = Text(settings.ReadString(section, stored.Key, stored.Default));
        const int index = box->findText(text);
        box->setCurrentIndex(index);
        if (index < 0)
            box->setEditText(text);
    }
    for (TChoiceControl control :
         {TChoiceControl::ccFrameRate, TChoiceControl::ccVideoEncoder, TChoiceControl::ccChannel,
          TChoiceControl::ccVolume, TChoiceControl::ccAudioEncoder}) {
        QComboBox* box = Box(control);
        const QSignalBlocker blocker(box);
        const int index = settings.ReadInteger(section, ChoiceIndexKey(control), 0);
        box->setCurrentIndex(index < box->count() ? index : -1);
    }
    UpdateEnabling();
}

void TParameterPanel::UpdateEnabling() {
    const bool video = Box(TChoiceControl::ccVideoEncoder)->count() > 0;
    const bool audio = Box(TChoiceControl::ccAudioEncoder)->count() > 0;
    for (TChoiceControl control : kChoiceControls) {
        QComboBox* box = Box(control);
        box->setEnabled(box->count() > 0 && (IsVideoControl(control) ? video : audio));
    }
    cmbZoom->setEnabled(video && cmbZoom->count() > 0);
}

void TParameterPanel::DefaultClick() {
    FillLists();
    const TIniFile profile(profileFile_);
    const std::string section = Section();
    for (TChoiceControl control : kChoiceControls) {
        QComboBox* box = Box(control);
        const QSignalBlocker blocker(box);
        const int index = profile.ReadInteger(section, ChoiceIndexKey(control), 0);
        box->setCurrentIndex(index < box->count() ? index : -1);
    }
    {
        const QSignalBlocker blocker(cmbZoom);
        if (cmbZoom->count() == 0)
            for (const char* item : kZoomItems)
                cmbZoom->addItem(QString::fromLatin1(item));
        cmbZoom->setCurrentIndex(0);
    }
    UpdateEnabling();
    // Every value is written by its own handler, in this order; a disabled control has
    // nothing to write.
    const auto enabled = [this](TChoiceControl control) { return Box(control)->isEnabled(); };
    const auto choose = [&](TChoiceControl control) {
        if (enabled(control))
            ItemChosen(control, Box(control)->currentIndex());
    };
    const auto rate = [&](TChoiceControl control) {
        if (enabled(control))
            RateChange(control);
    };
    choose(TChoiceControl::ccVideoEncoder);
    if (enabled(TChoiceControl::ccVideoSize))
        VideoSizeLeave();
    choose(TChoiceControl::ccFrameRate);
    rate(TChoiceControl::ccVideoBitRate);
    if (cmbZoom->isEnabled())
        ZoomChange(0);
    choose(TChoiceControl::ccAudioEncoder);
    rate(TChoiceControl::ccAudioBitRate);
    rate(TChoiceControl::ccSampleRate);
    choose(TChoiceControl::ccChannel);
    choose(TChoiceControl::ccVolume);
}

bool TParameterPanel::VideoSizeLeave() {
    QComboBox* box = Box(TChoiceControl::ccVideoSize);
    const std::string text = box->currentText().toStdString();
    if (LowerText(text).find("as source") != std::string::npos)
        return true;
    const TFrameSizeResult result = CheckFrameSize(text);
    switch (result.Check) {
    case TFrameSizeCheck::fsInvalid:
        Message(QString(), QString::fromLatin1(kFrameSizeInvalidText));
        if (box->count() > 1)
            box->setCurrentIndex(1);
        box->setFocus();
        return false;
    case TFrameSizeCheck::fsCorrected:
        Message(QString::fromLatin1(kInputErrorCaption),
                Text(FrameSizeCorrectionText(result.Text)));
        box->setEditText(Text(result.Text));
        box->setFocus();
        break;
    case TFrameSizeCheck::fsAccepted:
        break;
    }
    // A typed size that is no item is stored with index -1, as the settings dialog stores it,
    // so that the dialog shows the typed size.
    TIniFile settings = Settings();
    settings.WriteInteger(Section(), kVideoSizeIndexKey, box->findText(box->currentText()));
    settings.WriteString(Section(), kVideoSizeKey, box->currentText().toStdString());
    return true;
}

bool TParameterPanel::VideoSizeSelect(int index) {
    TIniFile settings = Settings();
    return ApplyChoice(settings, TIniFile(profileFile_), formatCode_, TChoiceControl::ccVideoSize,
                       index);
}

bool TParameterPanel::RateChange(TChoiceControl control) {
    const auto rate =
        std::find_if(std::begin(kRates), std::end(kRates),
                     [control](const TRateKeys& keys) { return keys.Control == control; });
    if (rate == std::end(kRates))
        return false;
    QComboBox* box = Box(control);
    const std::string text = box->currentText().toStdString();
    if (!IsValidRate(rate->Box, text)) {
        Message(QString(), QString::fromLatin1(RateInvalidText(rate->Box)));
        if (box->count() > 1)
            box->setCurrentIndex(1);
        box->setFocus();
        return false;
    }
    TIniFile settings = Settings();
    settings.WriteInteger(Section(), ChoiceIndexKey(control), box->findText(box->currentText()));
    settings.WriteString(Section(), rate->ValueKey, text);
    return true;
}

bool TParameterPanel::ItemChosen(TChoiceControl control, int index) {
    if (control == TChoiceControl::ccVideoSize)
        return VideoSizeSelect(index);
    if (Box(control)->isEditable())
        return RateChange(control);
    TIniFile settings = Settings();
    return ApplyChoice(settings, TIniFile(profileFile_), formatCode_, control, index);
}

void TParameterPanel::ZoomChange(int index) {
    // The list has no "center": indexes 0..2 only.
    if (index < 0 || index > 2)
        return;
    if (const auto zoom = ZoomValue(index))
        Settings().WriteString(Section(), kZoomKey, *zoom);
}

bool TParameterPanel::TypeKey(TChoiceControl control, QChar key) {
    const char typed = key.unicode() < 0x80 ? static_cast<char>(key.unicode()) : '\x7f';
    if (control == TChoiceControl::ccVideoSize) {
        if (FrameSizeKeyAccepted(Box(control)->currentText().toStdString(), typed))
            return true;
        QApplication::beep();
        return false;
    }
    if (NumberKeyAccepted(typed))
        return true;
    Message(QString(), QString::fromLatin1(kEnterNumericalText));
    QApplication::beep();
    return false;
}

bool TParameterPanel::IsEditor(const QObject* object, TChoiceControl& control) const {
    for (TChoiceControl candidate : kChoiceControls)
        if (Box(candidate)->isEditable() && Box(candidate)->lineEdit() == object) {
            control = candidate;
            return true;
        }
    return false;
}

bool TParameterPanel::eventFilter(QObject* watched, QEvent* event) {
    TChoiceControl control = TChoiceControl::ccVideoSize;
    if (!IsEditor(watched, control))
        return QWidget::eventFilter(watched, event);
    if (event->type() == QEvent::KeyPress) {
        const QString text = static_cast<QKeyEvent*>(event)->text();
        // Control characters other than backspace (Enter, Tab, Escape, shortcuts) pass.
        if (text.size() == 1 && (text[0] == QChar('\b') || text[0].unicode() >= 0x20) &&
            !TypeKey(control, text[0]))
            return true;
    } else if (event->type() == QEvent::FocusOut && !leaving_) {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        // The box's own drop-down and other windows taking the focus are no leaving.
        if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason) {
            leaving_ = true;
            control == TChoiceControl::ccVideoSize ? VideoSizeLeave() : RateChange(control);
            leaving_ = false;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace tovik
