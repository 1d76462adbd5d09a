#include "app/fileinfo/FileInfoDialog.h"

#include "engine/MediaConverter.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace tovik {

namespace {
constexpr int kWideNameWidth = 270; // the name label's width for a shortened name
constexpr int kCaptionWidth = 84;

size_t Slot(TFileInfoField field) {
    return static_cast<size_t>(field);
}

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}
} // namespace

TfrmFileInfo::TfrmFileInfo(QWidget* parent, TShowError showError)
    : QDialog(parent), showError_(std::move(showError)),
      MediaConverter1(std::make_unique<TMediaConverter>()) {
    setObjectName(QStringLiteral("frmFileInfo"));
    setWindowTitle(QStringLiteral("File infomation"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 14, 14, 12);
    layout->setSpacing(10);

    const auto addValue = [this](QFormLayout* form, const char* caption, TFileInfoField field) {
        auto* value = new QLabel(form->parentWidget());
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        value->setMinimumWidth(120);
        // One caption width in every group, so that the values line up.
        auto* label = new QLabel(QString::fromLatin1(caption), form->parentWidget());
        label->setMinimumWidth(kCaptionWidth);
        form->addRow(label, value);
        values_[Slot(field)] = value;
    };
    auto* file = new QFormLayout;
    file->setHorizontalSpacing(12);
    file->setContentsMargins(10, 0, 0, 0); // in line with the groups' captions
    layout->addLayout(file);
    addValue(file, "File Name:", TFileInfoField::fiFileName);
    addValue(file, "Duration:", TFileInfoField::fiDuration);

    auto* video = new QGroupBox(QStringLiteral("Video "), this);
    auto* videoForm = new QFormLayout(video);
    videoForm->setHorizontalSpacing(12);
    addValue(videoForm, "Format:", TFileInfoField::fiVideoFormat);
    addValue(videoForm, "Resloution:", TFileInfoField::fiResolution);
    addValue(videoForm, "Bit Rate:", TFileInfoField::fiVideoBitRate);
    addValue(videoForm, "Frame Rate:", TFileInfoField::fiFrameRate);
    addValue(videoForm, "Total Frame:", TFileInfoField::fiTotalFrames);
    layout->addWidget(video);

    auto* audio = new QGroupBox(QStringLiteral("Audio"), this);
    auto* audioForm = new QFormLayout(audio);
    audioForm->setHorizontalSpacing(12);
    addValue(audioForm, "Format:", TFileInfoField::fiAudioFormat);
    addValue(audioForm, "Sample Rate:", TFileInfoField::fiSampleRate);
    addValue(audioForm, "Channel:", TFileInfoField::fiChannels);
    addValue(audioForm, "Bit Rate:", TFileInfoField::fiAudioBitRate);
    layout->addWidget(audio);
    layout->addStretch();

    auto* buttons = new QHBoxLayout;
    btnOk = new QPushButton(QStringLiteral("&Ok"), this);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setDefault(true);
    buttons->addStretch();
    buttons->addWidget(btnOk);
    layout->addLayout(buttons);
    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
}

TfrmFileInfo::~TfrmFileInfo() = default;

int TfrmFileInfo::Execute(const std::string& sourceFile) {
    Prepare(sourceFile);
    return exec();
}

void TfrmFileInfo::Prepare(const std::string& sourceFile) {
    resize(420, 460);
    ShowValues(TFileInfoValues());
    if (sourceFile.empty())
        return;
    TFileInfoValues values;
    std::string error;
    const bool read = ReadFileInfo(*MediaConverter1, sourceFile, values, error);
    ShowValues(values);
    values_[Slot(TFileInfoField::fiFileName)]->setToolTip(Text(sourceFile));
    if (!read && showError_)
        showError_(QStringLiteral("Cannot read %1: %2").arg(Text(sourceFile), Text(error)));
}

void TfrmFileInfo::ShowValues(const TFileInfoValues& values) {
    const std::pair<TFileInfoField, const std::string*> shown[] = {
        {TFileInfoField::fiFileName, &values.FileName},
        {TFileInfoField::fiDuration, &values.Duration},
        {TFileInfoField::fiVideoFormat, &values.VideoFormat},
        {TFileInfoField::fiResolution, &values.Resolution},
        {TFileInfoField::fiVideoBitRate, &values.VideoBitRate},
        {TFileInfoField::fiFrameRate, &values.FrameRate},
        {TFileInfoField::fiTotalFrames, &values.TotalFrames},
        {TFileInfoField::fiAudioFormat, &values.AudioFormat},
        {TFileInfoField::fiSampleRate, &values.SampleRate},
        {TFileInfoField::fiChannels, &values.Channels},
        {TFileInfoField::fiAudioBitRate, &values.AudioBitRate},
    };
    for (const auto& [field, text] : shown)
        values_[Slot(field)]->setText(Text(*text));
    QLabel* name = values_[Slot(TFileInfoField::fiFileName)];
    name->setToolTip(QString());
    name->setMinimumWidth(values.NameShortened ? kWideNameWidth : 120);
}

QString TfrmFileInfo::Value(TFileInfoField field) const {
    return values_[Slot(field)]->text();
}

QLabel* TfrmFileInfo::ValueLabel(TFileInfoField field) const {
    return values_[Slot(field)];
}

int TfrmFileInfo::TaskCount() const {
    return MediaConverter1->TaskCount();
}

void TfrmFileInfo::done(int result) {
    MediaConverter1->ClearTasks();
    MediaConverter1->Probe().CloseFile();
    QDialog::done(result);
}

} // namespace tovik
