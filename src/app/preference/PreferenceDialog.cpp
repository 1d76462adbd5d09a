#include "app/preference/PreferenceDialog.h"

#include "app/Desktop.h"
#include "app/DirectoryDialog.h"
#include "settings/GlobalObject.h"
#include "settings/IniFile.h"
#include "settings/SettingsKeys.h"
#include "workspace/run/RunningFiles.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QUrl>
#include <QVBoxLayout>

namespace tovik {

namespace {
QString Text(const std::string& text) {
    return QString::fromStdString(text);
}
} // namespace

TfrmPreference::TfrmPreference(QWidget* parent, std::string settingsFile, TDesktop& desktop,
                               TFileSystemTypeOf fileSystemTypeOf)
    : QDialog(parent), settingsFile_(std::move(settingsFile)), desktop_(desktop),
      fileSystemTypeOf_(std::move(fileSystemTypeOf)) {
    setObjectName(QStringLiteral("frmPreference"));
    setWindowTitle(QStringLiteral("Preference"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->setSpacing(8);

    auto* snapshot = new QGroupBox(QStringLiteral("Snapshot"), this);
    auto* grid = new QGridLayout(snapshot);
    grid->setHorizontalSpacing(8);
    grid->addWidget(new QLabel(QStringLiteral("Snapshot folder:"), snapshot), 0, 0, 1, 4);
    edtSnapDir = new QLineEdit(snapshot);
    edtSnapDir->setObjectName(QStringLiteral("edtSnapDir"));
    // The folder box stands out in the system's light 3-D colour.
    QPalette folderPalette = edtSnapDir->palette();
    folderPalette.setColor(QPalette::Base, folderPalette.color(QPalette::Light));
    edtSnapDir->setPalette(folderPalette);
    btnOpen = new QPushButton(QStringLiteral("&Open"), snapshot);
    btnOpen->setObjectName(QStringLiteral("btnOpen"));
    btnBrows = new QPushButton(QStringLiteral("&Brows"), snapshot);
    btnBrows->setObjectName(QStringLiteral("btnBrows"));
    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(edtSnapDir, 1);
    folderRow->addWidget(btnOpen);
    folderRow->addWidget(btnBrows);
    grid->addLayout(folderRow, 1, 0, 1, 4);

    chkFullSize = new QCheckBox(QStringLiteral("Full Size"), snapshot);
    chkFullSize->setObjectName(QStringLiteral("chkFullSize"));
    chkSmallSize = new QCheckBox(QStringLiteral("Small Size"), snapshot);
    chkSmallSize->setObjectName(QStringLiteral("chkSmallSize"));
    chkBmp = new QCheckBox(QStringLiteral("BMP"), snapshot);
    chkBmp->setObjectName(QStringLiteral("chkBmp"));
    chkJpg = new QCheckBox(QStringLiteral("JPG"), snapshot);
    chkJpg->setObjectName(QStringLiteral("chkJpg"));
    grid->addWidget(new QLabel(QStringLiteral("Snapshot size:"), snapshot), 2, 0);
    grid->addWidget(chkFullSize, 2, 1);
    grid->addWidget(chkSmallSize, 2, 2);
    grid->addWidget(new QLabel(QStringLiteral("Snapshot format:"), snapshot), 3, 0);
    grid->addWidget(chkBmp, 3, 1);
    grid->addWidget(chkJpg, 3, 2);

    grid->addWidget(new QLabel(QStringLiteral("Jpg Compression Quality:"), snapshot), 4, 0, 1, 4);
    spnQuality = new QSpinBox(snapshot);
    spnQuality->setObjectName(QStringLiteral("spnQuality"));
    spnQuality->setRange(kJpgQualityMin, kJpgQualityMax);
    spnQuality->setToolTip(QStringLiteral("The higher the value, the better the picture and the "
                                          "larger the file (1 to 100)."));
    trbQuality = new QSlider(Qt::Horizontal, snapshot);
    trbQuality->setObjectName(QStringLiteral("trbQuality"));
    trbQuality->setRange(kJpgQualityMin, kJpgQualityMax);
    auto* qualityRow = new QHBoxLayout;
    qualityRow->addWidget(spnQuality);
    qualityRow->addWidget(trbQuality, 1);
    grid->addLayout(qualityRow, 5, 0, 1, 4);
    grid->addWidget(
        new QLabel(QStringLiteral("(The higher the value, the better the image quality.)"),
                   snapshot),
        6, 0, 1, 4);
    grid->setColumnStretch(3, 1);
    layout->addWidget(snapshot);

    auto* priority = new QGroupBox(QStringLiteral("Work priority"), this);
    auto* priorityRows = new QVBoxLayout(priority);
    auto* priorityRow = new QHBoxLayout;
    rgPriority = new QButtonGroup(this);
    const char* const priorityCaptions[kPriorityCount] = {"Idle", "Normal", "Lower", "Lowest"};
    for (int index = 0; index < kPriorityCount; ++index) {
        auto* item = new QRadioButton(QString::fromLatin1(priorityCaptions[index]), priority);
        rgPriority->addButton(item, index);
        priorityRow->addWidget(item, 1);
        priorityItems_[static_cast<size_t>(index)] = item;
    }
    priorityRows->addLayout(priorityRow);
    // How much of the machine a run takes: the same group as the priority.
    auto* simultaneousRow = new QHBoxLayout;
    auto* simultaneousCaption = new QLabel(QStringLiteral("Simultaneous conversions"), priority);
    spnSimultaneous = new QSpinBox(priority);
    spnSimultaneous->setObjectName(QStringLiteral("spnSimultaneous"));
    spnSimultaneous->setRange(1, SimultaneousLimit());
    spnSimultaneous->setToolTip(
        QStringLiteral("How many files of a run convert at the same time (1: one after another)."));
    simultaneousCaption->setBuddy(spnSimultaneous);
    simultaneousRow->addWidget(simultaneousCaption);
    simultaneousRow->addWidget(spnSimultaneous);
    simultaneousRow->addStretch();
    priorityRows->addLayout(simultaneousRow);
    layout->addWidget(priority);

    chkKeepFileDates = new QCheckBox(QStringLiteral("Keep the original file dates"), this);
    chkKeepFileDates->setObjectName(QStringLiteral("chkKeepFileDates"));
    chkKeepFileDates->setToolTip(
        QStringLiteral("Converted files take the modification date of their source file."));
    layout->addWidget(chkKeepFileDates);
    layout->addStretch();

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
    layout->addLayout(buttons);

    connect(chkFullSize, &QCheckBox::clicked, this,
            [this] { KeepOneChecked(chkFullSize, chkSmallSize); });
    connect(chkSmallSize, &QCheckBox::clicked, this,
            [this] { KeepOneChecked(chkSmallSize, chkFullSize); });
    connect(chkBmp, &QCheckBox::clicked, this, [this] { KeepOneChecked(chkBmp, chkJpg); });
    connect(chkJpg, &QCheckBox::clicked, this, [this] {
        KeepOneChecked(chkJpg, chkBmp);
        UpdateQualityEnabling();
    });
    connect(trbQuality, &QSlider::valueChanged, spnQuality, &QSpinBox::setValue);
    connect(spnQuality, &QSpinBox::valueChanged, trbQuality, &QSlider::setValue);
    connect(btnOpen, &QPushButton::clicked, this, &TfrmPreference::OpenClick);
    connect(btnBrows, &QPushButton::clicked, this, &TfrmPreference::BrowsClick);
    connect(btnDefault, &QPushButton::clicked, this, &TfrmPreference::DefaultClick);
    connect(btnOk, &QPushButton::clicked, this, &TfrmPreference::OkClick);
    connect(btnCancel, &QPushButton::clicked, this, &TfrmPreference::CancelClick);
    btnOk->setDefault(true);
}

QRadioButton* TfrmPreference::PriorityItem(int index) const {
    return index >= 0 && index < kPriorityCount ? priorityItems_[static_cast<size_t>(index)]
                                                : nullptr;
}

int TfrmPreference::Execute() {
    Prepare();
    return exec();
}

void TfrmPreference::Prepare() {
    resize(480, 390);
    TIniFile settings(settingsFile_);
    ShowValues(ReadPreferences(settings, TGlobalObject::CanWriteDir));
}

void TfrmPreference::ShowValues(const TPreferenceValues& values) {
    edtSnapDir->setText(Text(values.SnapshotDir));
    chkFullSize->setChecked(values.FullSize);
    chkSmallSize->setChecked(values.SmallSize);
    chkBmp->setChecked(values.Bmp);
    chkJpg->setChecked(values.Jpg);
    spnQuality->setValue(values.JpgQuality);
    trbQuality->setValue(spnQuality->value());
    if (QRadioButton* item = PriorityItem(values.Priority))
        item->setChecked(true);
    spnSimultaneous->setValue(values.Simultaneous);
    chkKeepFileDates->setChecked(values.KeepFileDates);
    UpdateQualityEnabling();
}

TPreferenceValues TfrmPreference::Values() const {
    TPreferenceValues values;
    values.SnapshotDir = edtSnapDir->text().toStdString();
    values.FullSize = chkFullSize->isChecked();
    values.SmallSize = chkSmallSize->isChecked();
    values.Bmp = chkBmp->isChecked();
    values.Jpg = chkJpg->isChecked();
    values.JpgQuality = spnQuality->value();
    values.Priority = rgPriority->checkedId() >= 0 ? rgPriority->checkedId() : kDefaultPriority;
    values.Simultaneous = spnSimultaneous->value();
    values.KeepFileDates = chkKeepFileDates->isChecked();
    return values;
}

void TfrmPreference::KeepOneChecked(QCheckBox* clicked, const QCheckBox* other) {
    if (!clicked->isChecked() && !other->isChecked())
        clicked->setChecked(true);
}

void TfrmPreference::UpdateQualityEnabling() {
    spnQuality->setEnabled(chkJpg->isChecked());
    trbQuality->setEnabled(chkJpg->isChecked());
}

void TfrmPreference::Warn(const QString& text) {
    desktop_.ShowMessage(this, QStringLiteral("Warning"), text, TMessageIcon::miWarning,
                         TMessageButtons::mbOk);
}

void TfrmPreference::OpenClick() {
    if (edtSnapDir->text().size() <= 2)
        return;
    const std::string directory =
        TIniFile(settingsFile_)
            .ReadString(kSettingsSection, kSnapshotDirKey, DefaultVideoDirectory());
    desktop_.OpenUrl(QUrl::fromLocalFile(Text(directory)));
}

void TfrmPreference::BrowsClick() {
    QString chosenText;
    if (ChooseFolder) {
        chosenText = ChooseFolder();
    } else {
        if (!fmDirectory)
            fmDirectory = new TfmDirectory(this, desktop_, fileSystemTypeOf_);
        chosenText = fmDirectory->Execute();
    }
    const std::string chosen = chosenText.toStdString();
    std::string used;
    switch (BrowseAction(chosen, edtSnapDir->text().toStdString(), TGlobalObject::CanWriteDir)) {
    case TBrowseAction::baKeep:
        return;
    case TBrowseAction::baInvalidPath:
        Warn(QStringLiteral("The path %1 is not a valid directory.").arg(chosenText));
        return;
    case TBrowseAction::baUsePath:
        used = chosen;
        break;
    case TBrowseAction::baNoPermission:
        Warn(QStringLiteral("You login as %1 .You don't have permission to write to directory:%2")
                 .arg(Text(TGlobalObject::UserName()).trimmed(), chosenText));
        used = UserProfileVideoDirectory();
        break;
    }
    TIniFile(settingsFile_).WriteString(kSettingsSection, kSnapshotDirKey, used);
    edtSnapDir->setText(Text(used));
}

void TfrmPreference::DefaultClick() {
    ShowValues(DefaultPreferences());
}

void TfrmPreference::OkClick() {
    TIniFile settings(settingsFile_);
    WritePreferences(settings, Values());
    accept();
}

void TfrmPreference::CancelClick() {
    reject();
}

} // namespace tovik
