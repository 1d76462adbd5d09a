#include "dialogs/settings/SettingsDialog.h"

#include "settings/IniFile.h"
#include "settings/SettingsKeys.h"
#include "workspace/core/ParameterRules.h"
#include "workspace/ui/FormatListBox.h"

#include <QApplication>
#include <QComboBox>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

namespace tovik {

namespace {
// What the format box shows before any format was chosen, and the current format's
// defaults.
constexpr const char* kListFormatName = "Apple iPod Video MPEG-4 Movie (*.mp4)";
constexpr const char* kDefaultFormatName = "iPod Video MPEG-4";
constexpr int kListRowHeight = 20;
constexpr int kListMaxHeight = 247;

size_t Position(TChoiceControl control) {
    return static_cast<size_t>(
        std::find(std::begin(kChoiceControls), std::end(kChoiceControls), control) -
        std::begin(kChoiceControls));
}

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

// The drawn look of the boxes' drop-downs: the current row framed on a light blue fill.
const char* const kBoxStyle =
    "QComboBox QAbstractItemView { background: white; selection-color: black; "
    "selection-background-color: #B9CCEC; outline: 0; }"
    "QComboBox QAbstractItemView::item:selected { border: 1px solid #7AA0DA; }";
} // namespace

TfrmSettings::TfrmSettings(QWidget* parent, std::string settingsFile, std::string profileFile,
                           TShowMessage showMessage)
    : QDialog(parent), settingsFile_(std::move(settingsFile)), profileFile_(std::move(profileFile)),
      showMessage_(std::move(showMessage)) {
    setObjectName(QStringLiteral("frmSettings"));
    setWindowTitle(QStringLiteral("Settings"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->setSpacing(8);

    auto* formatRow = new QHBoxLayout;
    formatRow->setSpacing(0);
    formatRow->addWidget(new QLabel(QStringLiteral("Output Format:"), this));
    formatRow->addSpacing(6);
    edt1 = new QLineEdit(this);
    edt1->setObjectName(QStringLiteral("edt1"));
    edt1->setReadOnly(true);
    edt1->setFocusPolicy(Qt::NoFocus); // never a text cursor
    edt1->setCursor(Qt::PointingHandCursor);
    edt1->setTextMargins(4, 2, 0, 0);
    edt1->setStyleSheet(QStringLiteral("QLineEdit#edt1 { background: #f6f7f8; }"));
    imgbtn1 = new QToolButton(this);
    imgbtn1->setObjectName(QStringLiteral("imgbtn1"));
    imgbtn1->setArrowType(Qt::DownArrow);
    imgbtn1->setAutoRaise(true);
    formatRow->addWidget(edt1, 1);
    formatRow->addWidget(imgbtn1);
    layout->addLayout(formatRow);

    const auto addRow = [](QGridLayout* grid, int row, int column, const QString& caption,
                           QComboBox* box) {
        grid->addWidget(new QLabel(caption), row, column * 2);
        grid->addWidget(box, row, column * 2 + 1);
    };
    auto* video = new QGroupBox(QStringLiteral("Video Options"), this);
    auto* videoGrid = new QGridLayout(video);
    QComboBox* videoSize = AddBox(video, "cmbVideoSize", true);
    QComboBox* videoEncoder = AddBox(video, "cmbVideoEncoder", false);
    QComboBox* videoBitRate = AddBox(video, "cmbVideoBitRate", true);
    QComboBox* frameRate = AddBox(video, "cmbFrameRate", false);
    cmbZoom = new QComboBox(video);
    cmbZoom->setObjectName(QStringLiteral("cmbZoom"));
    cmbZoom->setStyleSheet(QString::fromLatin1(kBoxStyle));
    cmbZoom->addItems({QStringLiteral("Full screen"), QStringLiteral("Letterbox"),
                       QStringLiteral("Pan and Scan")});
    addRow(videoGrid, 0, 0, QStringLiteral("Frame Size:"), videoSize);
    addRow(videoGrid, 0, 1, QStringLiteral("Encoder:"), videoEncoder);
    addRow(videoGrid, 1, 0, QStringLiteral("BitRate (Kbps):"), videoBitRate);
    addRow(videoGrid, 1, 1, QStringLiteral("FrameRate (Fps):"), frameRate);
    addRow(videoGrid, 2, 0, QStringLiteral("Zoom:"), cmbZoom);
    videoGrid->setColumnStretch(1, 1);
    videoGrid->setColumnStretch(3, 1);
    layout->addWidget(video);

    auto* audio = new QGroupBox(QStringLiteral("Audio Options"), this);
    auto* audioGrid = new QGridLayout(audio);
    QComboBox* sampleRate = AddBox(audio, "cmbSamplerate", true);
    QComboBox* audioEncoder = AddBox(audio, "cmbAudioEncoder", false);
    QComboBox* channel = AddBox(audio, "cmbChannel", false);
    QComboBox* audioBitRate = AddBox(audio, "cmbAudioBitRate", true);
    QComboBox* volume = AddBox(audio, "cmbVolume", false);
    addRow(audioGrid, 0, 0, QStringLiteral("SampleRate (Hz):"), sampleRate);
    addRow(audioGrid, 0, 1, QStringLiteral("Encoder:"), audioEncoder);
    addRow(audioGrid, 1, 0, QStringLiteral("Channel:"), channel);
    addRow(audioGrid, 1, 1, QStringLiteral("BitRate (Kbps):"), audioBitRate);
    addRow(audioGrid, 2, 0, QStringLiteral("Volume:"), volume);
    audioGrid->setColumnStretch(1, 1);
    audioGrid->setColumnStretch(3, 1);
    layout->addWidget(audio);

    boxes_[Position(TChoiceControl::ccVideoEncoder)] = videoEncoder;
    boxes_[Position(TChoiceControl::ccVideoSize)] = videoSize;
    boxes_[Position(TChoiceControl::ccFrameRate)] = frameRate;
    boxes_[Position(TChoiceControl::ccVideoBitRate)] = videoBitRate;
    boxes_[Position(TChoiceControl::ccAudioEncoder)] = audioEncoder;
    boxes_[Position(TChoiceControl::ccAudioBitRate)] = audioBitRate;
    boxes_[Position(TChoiceControl::ccSampleRate)] = sampleRate;
    boxes_[Position(TChoiceControl::ccChannel)] = channel;
    boxes_[Position(TChoiceControl::ccVolume)] = volume;

    // Kept from the form's design: no items, no effect.
    cbOutputFormat = new QComboBox(this);
    cbOutputFormat->setObjectName(QStringLiteral("cbOutputFormat"));
    cbOutputFormat->setVisible(false);

    auto* buttons = new QHBoxLayout;
    btnDefault = new QPushButton(QStringLiteral("&Default"), this);
    btnDefault->setObjectName(QStringLiteral("btnDefault"));
    btnOk = new QPushButton(QStringLiteral("&Ok"), this);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnCancel = new QPushButton(QStringLiteral("&Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    buttons->addWidget(btnDefault);
    buttons->addStretch();
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancel);
    layout->addStretch();
    layout->addLayout(buttons);
    connect(btnDefault, &QPushButton::clicked, this, &TfrmSettings::DefaultClick);
    connect(btnOk, &QPushButton::clicked, this, &TfrmSettings::OkClick);
    connect(btnCancel, &QPushButton::clicked, this, &TfrmSettings::CancelClick);
    // Pressing a button leaves the focus in the box: OK checks the boxes itself, and a
    // refused value keeps the dialog open instead of a check on leaving racing the press.
    for (QPushButton* button : {btnDefault, btnOk, btnCancel})
        button->setFocusPolicy(Qt::TabFocus);

    // The drop-down floats over the dialog, below the format box.
    lst1 = new TFormatListBox(this);
    lst1->hide();
    connect(lst1, &TFormatListBox::FormatChosen, this, &TfrmSettings::ChooseFormat);
    connect(lst1, &TFormatListBox::RowsToggled, this, [this] {
        if (lst1->isVisible())
            PlaceFormatList();
    });
    connect(imgbtn1, &QToolButton::clicked, this, &TfrmSettings::OpenFormatList);
    qApp->installEventFilter(this);
}

TfrmSettings::~TfrmSettings() {
    qApp->removeEventFilter(this);
}

QComboBox* TfrmSettings::AddBox(QWidget* parent, const char* name, bool editable) {
    auto* box = new QComboBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setStyleSheet(QString::fromLatin1(kBoxStyle));
    box->setMinimumContentsLength(8);
    if (editable) {
        box->setEditable(true);
        box->setInsertPolicy(QComboBox::NoInsert);
        // A typed value stays as typed: no completion from the items.
        box->setCompleter(nullptr);
        box->lineEdit()->installEventFilter(this);
    }
    return box;
}

QComboBox* TfrmSettings::Box(TChoiceControl control) const {
    return boxes_[Position(control)];
}

QString TfrmSettings::FormatText() const {
    return edt1->text();
}

void TfrmSettings::Message(const QString& caption, const QString& text) {
    if (showMessage_)
        showMessage_(caption, text);
}

int TfrmSettings::Execute() {
    Prepare();
    if (parentWidget()) {
        // Centred on the owner.
        const QPoint centre = parentWidget()->geometry().center();
        move(centre - QPoint(width() / 2, height() / 2));
    }
    return exec();
}

void TfrmSettings::Prepare() {
    resize(475, 370);
    BuildFormatList();
    const TIniFile settings(settingsFile_);
    currentFormatName_ =
        Text(settings.ReadString(kSettingsSection, kFormatNameKey, kDefaultFormatName));
    currentFormatCode_ = settings.ReadInteger(kSettingsSection, kFormatCodeKey, 1);
    LoadBoxes(true);
}

void TfrmSettings::BuildFormatList() {
    lst1->hide();
    const TIniFile settings(settingsFile_);
    lst1->Build([&settings](int group) {
        return settings.ReadBool(kGroupSection, std::to_string(group), true);
    });
    edt1->setText(Text(settings.ReadString(kSettingsSection, kFormatNameKey, kListFormatName)));
    lst1->SelectText(edt1->text());
}

void TfrmSettings::LoadBoxes(bool textFallback) {
    const TIniFile settings(settingsFile_);
    const TIniFile profile(profileFile_);
    TSettingsChoices choices;
    LoadChoices(settings, profile, currentFormatCode_, textFallback, choices);
    choices.FormatName = currentFormatName_.toStdString();
    ShowChoices(choices);
}

void TfrmSettings::ShowChoices(const TSettingsChoices& choices) {
    loaded_ = choices;
    for (TChoiceControl control : kChoiceControls) {
        const TChoiceBox& choice = choices.Box(control);
        QComboBox* box = Box(control);
        const QSignalBlocker blocker(box);
        box->clear();
        for (const std::string& item : choice.Items)
            box->addItem(Text(item));
        box->setMaxVisibleItems(std::max(1, box->count()));
        box->setCurrentIndex(choice.Index);
        if (box->isEditable())
            box->setEditText(Text(choice.Text));
    }
    // "center" has no item: the box then shows none, and the stored mode stays.
    cmbZoom->setCurrentIndex(
        choices.ZoomIndex >= 0 && choices.ZoomIndex < cmbZoom->count() ? choices.ZoomIndex : -1);
    UpdateEnabling();
}

void TfrmSettings::UpdateEnabling() {
    const bool video = Box(TChoiceControl::ccVideoEncoder)->count() > 0;
    const bool audio = Box(TChoiceControl::ccAudioEncoder)->count() > 0;
    for (TChoiceControl control : kChoiceControls) {
        const bool isVideo =
            control == TChoiceControl::ccVideoEncoder || control == TChoiceControl::ccVideoSize ||
            control == TChoiceControl::ccFrameRate || control == TChoiceControl::ccVideoBitRate;
        QComboBox* box = Box(control);
        box->setEnabled(box->count() > 0 && (isVideo ? video : audio));
    }
    cmbZoom->setEnabled(video);
}

TSettingsChoices TfrmSettings::ReadChoices() const {
    TSettingsChoices choices = loaded_;
    choices.FormatCode = currentFormatCode_;
    choices.FormatName = currentFormatName_.toStdString();
    for (TChoiceControl control : kChoiceControls) {
        TChoiceBox& choice = choices.Box(control);
        const QComboBox* box = Box(control);
        choice.Index = box->currentIndex();
        choice.Text = box->currentText().toStdString();
    }
    if (cmbZoom->currentIndex() >= 0)
        choices.ZoomIndex = cmbZoom->currentIndex();
    return choices;
}

void TfrmSettings::DefaultClick() {
    TSettingsChoices choices = ReadChoices();
    ApplyDefaultChoices(TIniFile(profileFile_), choices);
    ShowChoices(choices);
}

void TfrmSettings::OkClick() {
    // A value refused on leaving is never stored: the dialog stays open with its message.
    for (TChoiceControl control : kChoiceControls)
        if (IsEditableChoice(control) && Box(control)->isEnabled() && !LeaveBox(control))
            return;
    TIniFile settings(settingsFile_);
    WriteChoices(settings, TIniFile(profileFile_), ReadChoices(), lst1->Rows().GroupStates());
    if (OnStored)
        OnStored();
    accept();
}

void TfrmSettings::CancelClick() {
    lst1->hide();
    reject();
}

void TfrmSettings::OpenFormatList() {
    if (lst1->isVisible()) {
        lst1->hide();
        return;
    }
    lst1->SelectText(edt1->text());
    PlaceFormatList();
    lst1->show();
    lst1->setFocus();
}

void TfrmSettings::PlaceFormatList() {
    const int height = std::min(lst1->count() * kListRowHeight + 20, kListMaxHeight);
    const QPoint boxTop = edt1->mapTo(this, QPoint(0, 0));
    const int width = imgbtn1->mapTo(this, QPoint(imgbtn1->width(), 0)).x() - boxTop.x();
    lst1->setGeometry(boxTop.x(), boxTop.y() + edt1->height() - 1, width, height);
    lst1->raise();
}

void TfrmSettings::ChooseFormat(const QString& text, int code) {
    currentFormatName_ = text;
    currentFormatCode_ = code;
    edt1->setText(text);
    lst1->hide();
    // Another format's lists; its stored indexes without the typed-text fallback.
    LoadBoxes(false);
}

bool TfrmSettings::LeaveBox(TChoiceControl control) {
    QComboBox* box = Box(control);
    if (!box->isEditable())
        return true;
    const std::string text = box->currentText().toStdString();
    const auto refuse = [&](const char* message) {
        Message(QString(), QString::fromLatin1(message));
        if (box->count() > 1)
            box->setCurrentIndex(1);
        box->setFocus();
        return false;
    };
    if (control == TChoiceControl::ccVideoSize) {
        const TFrameSizeResult result = CheckFrameSize(text);
        switch (result.Check) {
        case TFrameSizeCheck::fsAccepted:
            return true;
        case TFrameSizeCheck::fsInvalid:
            return refuse(kFrameSizeInvalidText);
        case TFrameSizeCheck::fsCorrected:
            Message(QString::fromLatin1(kInputErrorCaption),
                    Text(FrameSizeCorrectionText(result.Text)));
            box->setEditText(Text(result.Text));
            box->setFocus();
            return true;
        }
        return true;
    }
    const TRateBox rate = control == TChoiceControl::ccVideoBitRate ? TRateBox::rbVideoBitRate
                          : control == TChoiceControl::ccSampleRate ? TRateBox::rbSampleRate
                                                                    : TRateBox::rbAudioBitRate;
    if (IsValidRate(rate, text))
        return true;
    return refuse(RateInvalidText(rate));
}

bool TfrmSettings::TypeKey(TChoiceControl control, QChar key) {
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

TChoiceControl TfrmSettings::ControlOfEditor(const QObject* editor, bool& found) const {
    for (TChoiceControl control : kChoiceControls)
        if (Box(control)->isEditable() && Box(control)->lineEdit() == editor) {
            found = true;
            return control;
        }
    found = false;
    return TChoiceControl::ccVideoSize;
}

bool TfrmSettings::IsDropDownPart(const QObject* object) const {
    for (; object; object = object->parent())
        if (object == lst1 || object == imgbtn1 || object == edt1)
            return true;
    return false;
}

bool TfrmSettings::eventFilter(QObject* watched, QEvent* event) {
    if (!isVisible())
        return QDialog::eventFilter(watched, event);
    bool isEditor = false;
    const TChoiceControl control = ControlOfEditor(watched, isEditor);
    switch (event->type()) {
    case QEvent::KeyPress:
        if (isEditor) {
            const QString text = static_cast<QKeyEvent*>(event)->text();
            // Control characters other than backspace (Enter, Tab, Escape, shortcuts) pass.
            if (text.size() == 1 && (text[0] == QChar('\b') || text[0].unicode() >= 0x20) &&
                !TypeKey(control, text[0]))
                return true;
        }
        break;
    case QEvent::FocusOut:
        if (isEditor && !leaving_) {
            const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
            // The box's own drop-down and other windows taking the focus are no leaving.
            if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason) {
                leaving_ = true;
                LeaveBox(control);
                leaving_ = false;
            }
        }
        break;
    case QEvent::MouseButtonPress:
        if (watched == edt1 && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            OpenFormatList();
            return true;
        }
        if (lst1->isVisible() && watched->isWidgetType() && !IsDropDownPart(watched))
            lst1->hide();
        break;
    case QEvent::ApplicationDeactivate:
        lst1->hide();
        break;
    default:
        break;
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace tovik
