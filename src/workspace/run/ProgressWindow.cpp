#include "workspace/run/ProgressWindow.h"

#include "workspace/picture/FittedRect.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QPainter>
#include <QScrollArea>
#include <QShowEvent>
#include <QStackedWidget>
#include <QStyle>
#include <QVBoxLayout>
#include <cstring>

namespace tovik {

namespace {
QLabel* ValueLabel(QWidget* parent, const char* name) {
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setMinimumWidth(200);
    return label;
}
} // namespace

TBitmap BitmapOfImage(const QImage& image) {
    const QImage bgr = image.convertToFormat(QImage::Format_BGR888);
    TBitmap bitmap(bgr.width(), bgr.height());
    for (int y = 0; y < bgr.height(); ++y)
        std::memcpy(bitmap.ScanLine(y), bgr.constScanLine(y), static_cast<size_t>(bgr.width()) * 3);
    return bitmap;
}

TfrmProgress::TfrmProgress(QWidget* parent, TProgressCommands commands, const TBitmap* preview)
    : QDialog(parent), commands_(std::move(commands)), preview_(preview),
      previewImage_(kPreviewWidth, kPreviewHeight, QImage::Format_RGB888) {
    setObjectName(QStringLiteral("frmProgress"));
    setWindowTitle(QStringLiteral("Progress"));
    setModal(true);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 12, 24, 12);
    layout->setSpacing(6);
    imgPreview = new QLabel(this);
    imgPreview->setObjectName(QStringLiteral("imgPreview"));
    imgPreview->setFixedSize(kPreviewWidth, kPreviewHeight);
    layout->addWidget(imgPreview, 0, Qt::AlignHCenter);

    // The one file's values and the list of running files take turns in one place.
    stkValues = new QStackedWidget(this);
    stkValues->setObjectName(QStringLiteral("stkValues"));
    auto* values = new QWidget(stkValues);
    auto* grid = new QGridLayout(values);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(2);
    lblTimeValue = ValueLabel(values, "lblTimeValue");
    lblLengthValue = ValueLabel(values, "lblLengthValue");
    lblSizeValue = ValueLabel(values, "lblSizeValue");
    lblProgressValue = ValueLabel(values, "lblProgressValue");
    lblFileValue = ValueLabel(values, "lblFileValue");
    const std::pair<const char*, QLabel*> rows[] = {{"Current Time:", lblTimeValue},
                                                    {"Length:", lblLengthValue},
                                                    {"File Size:", lblSizeValue},
                                                    {"Progress:", lblProgressValue},
                                                    {"File:", lblFileValue}};
    int row = 0;
    for (const auto& [caption, value] : rows) {
        grid->addWidget(new QLabel(QString::fromLatin1(caption), values), row, 0);
        grid->addWidget(value, row, 1);
        ++row;
    }
    grid->setColumnStretch(1, 1);
    stkValues->addWidget(values);
    stkValues->addWidget(CreateRunningFiles());
    // As tall as the five values: more running files than fit scroll.
    stkValues->setFixedHeight(values->sizeHint().height());
    layout->addWidget(stkValues);

    pbProgress = new QProgressBar(this);
    pbProgress->setObjectName(QStringLiteral("pbProgress"));
    pbProgress->setRange(0, 100);
    layout->addWidget(pbProgress);
    // The estimates sit below the bar, apart from the five labels above: the current file's
    // on the left, the whole run's on the right.
    auto* estimates = new QHBoxLayout;
    lblTimeLeft = new QLabel(this);
    lblTimeLeft->setObjectName(QStringLiteral("lblTimeLeft"));
    lblTotalLeft = new QLabel(this);
    lblTotalLeft->setObjectName(QStringLiteral("lblTotalLeft"));
    lblTotalLeft->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    estimates->addWidget(lblTimeLeft, 1);
    estimates->addWidget(lblTotalLeft, 1);
    layout->addLayout(estimates);

    chkShutDown = new QCheckBox(QStringLiteral("Shut down computer after conversion"), this);
    chkShutDown->setObjectName(QStringLiteral("chkShutDown"));
    chkOpenFolder = new QCheckBox(QStringLiteral("Open the output folder after conversion"), this);
    chkOpenFolder->setObjectName(QStringLiteral("chkOpenFolder"));
    layout->addWidget(chkShutDown);
    layout->addWidget(chkOpenFolder);

    auto* buttons = new QHBoxLayout;
    btnSnapshot = new QToolButton(this);
    btnSnapshot->setObjectName(QStringLiteral("btnSnapshot"));
    btnSnapshot->setIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));
    btnSnapshot->setToolTip(QStringLiteral("Save snapshot picture"));
    btnPause = new QPushButton(QStringLiteral("Pause"), this);
    btnPause->setObjectName(QStringLiteral("btnPause"));
    btnResume = new QPushButton(QStringLiteral("Resume"), this);
    btnResume->setObjectName(QStringLiteral("btnResume"));
    btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    // Enter must not cancel a run by accident.
    for (QPushButton* button : {btnPause, btnResume, btnCancel})
        button->setAutoDefault(false);
    buttons->addWidget(btnSnapshot);
    buttons->addStretch();
    buttons->addWidget(btnPause);
    buttons->addWidget(btnResume);
    buttons->addWidget(btnCancel);
    layout->addLayout(buttons);

    connect(btnPause, &QPushButton::clicked, this, &TfrmProgress::PauseClick);
    connect(btnResume, &QPushButton::clicked, this, &TfrmProgress::ResumeClick);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::close);
    connect(btnSnapshot, &QToolButton::clicked, this, &TfrmProgress::SnapshotClick);
    tmrPreview.setInterval(100);
    connect(&tmrPreview, &QTimer::timeout, this, &TfrmProgress::TimerTick);

    setFixedSize(420, 460);
    ClearPreview();
}

QWidget* TfrmProgress::CreateRunningFiles() {
    auto* scroll = new QScrollArea(stkValues);
    scroll->setObjectName(QStringLiteral("scrRunningFiles"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    pnlRunningFiles = new QWidget(scroll);
    pnlRunningFiles->setObjectName(QStringLiteral("pnlRunningFiles"));
    auto* lines = new QVBoxLayout(pnlRunningFiles);
    lines->setContentsMargins(0, 0, 0, 0);
    lines->setSpacing(2);
    lines->addStretch();
    scroll->setWidget(pnlRunningFiles);
    // The lines sit on the window's own background, like the values they replace.
    scroll->viewport()->setAutoFillBackground(false);
    pnlRunningFiles->setAutoFillBackground(false);
    return scroll;
}

void TfrmProgress::ShowSeveralFiles(bool several) {
    stkValues->setCurrentIndex(several ? 1 : 0);
}

bool TfrmProgress::ShowsSeveralFiles() const {
    return stkValues->currentIndex() == 1;
}

void TfrmProgress::SetRunningFiles(const std::vector<TRunningLine>& lines) {
    auto* layout = static_cast<QVBoxLayout*>(pnlRunningFiles->layout());
    while (fileLines_.size() < lines.size()) {
        TFileLine line;
        line.Name = new QLabel(pnlRunningFiles);
        line.Name->setObjectName(QStringLiteral("lblRunningFile"));
        // A long name is cut at the window's edge instead of widening it.
        line.Name->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        line.Bar = new QProgressBar(pnlRunningFiles);
        line.Bar->setObjectName(QStringLiteral("pbRunningFile"));
        line.Bar->setRange(0, 100);
        line.Bar->setFixedWidth(120);
        auto* row = new QHBoxLayout;
        row->addWidget(line.Name, 1);
        row->addWidget(line.Bar);
        layout->insertLayout(layout->count() - 1, row); // above the stretch
        fileLines_.push_back(line);
    }
    for (size_t index = 0; index < fileLines_.size(); ++index) {
        const TFileLine& line = fileLines_[index];
        const bool used = index < lines.size();
        line.Name->setVisible(used);
        line.Bar->setVisible(used);
        if (!used)
            continue;
        line.Name->setText(QString::fromStdString(lines[index].File));
        QFont font = line.Name->font();
        font.setBold(lines[index].Previewed);
        line.Name->setFont(font);
        if (lines[index].Percent)
            line.Bar->setValue(*lines[index].Percent);
        else
            line.Bar->reset();
    }
}

std::vector<std::pair<QString, int>> TfrmProgress::RunningFileTexts() const {
    std::vector<std::pair<QString, int>> texts;
    for (const TFileLine& line : fileLines_)
        if (!line.Name->isHidden())
            texts.emplace_back(line.Name->text(), line.Bar->value());
    return texts;
}

int TfrmProgress::Execute() {
    return exec();
}

void TfrmProgress::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous())
        PrepareShow();
}

void TfrmProgress::PrepareShow() {
    closing_ = false;
    for (QLabel* value : {lblTimeValue, lblLengthValue, lblSizeValue, lblProgressValue,
                          lblFileValue, lblTimeLeft, lblTotalLeft})
        value->clear();
    // Opening the folder is offered again at every run; shutting down keeps its last state.
    chkOpenFolder->setChecked(true);
    ShowSeveralFiles(false);
    SetRunningFiles({});
    ShowPaused(false);
    ClearPreview();
    tmrPreview.start();
    pbProgress->setRange(0, 100);
    pbProgress->setValue(0);
    started_ = true;
    if (commands_.StartRun)
        commands_.StartRun();
}

void TfrmProgress::ShowPaused(bool paused) {
    btnPause->setEnabled(!paused);
    btnResume->setEnabled(paused);
}

void TfrmProgress::PauseClick() {
    if (commands_.Pause)
        commands_.Pause();
    ShowPaused(true);
    emit Paused();
}

void TfrmProgress::ResumeClick() {
    if (commands_.Resume)
        commands_.Resume();
    ShowPaused(false);
    emit Resumed();
}

void TfrmProgress::done(int result) {
    // Stopping serves the engine's main-thread calls, and the end-of-run report may close
    // the window again meanwhile; one close does the work.
    if (closing_) {
        QDialog::done(result);
        return;
    }
    closing_ = true;
    if (started_ && commands_.StopRun)
        commands_.StopRun();
    started_ = false;
    tmrPreview.stop();
    QDialog::done(result);
}

void TfrmProgress::ClearPreview() {
    previewImage_.fill(kPreviewBackground);
    ShowPreviewPicture();
}

void TfrmProgress::TimerTick() {
    if (!preview_ || preview_->Empty())
        return;
    previewImage_.fill(kPreviewBackground);
    const TRect fitted =
        FittedRect(preview_->Width(), preview_->Height(), kPreviewWidth, kPreviewHeight);
    const QImage frame(preview_->Bits(), preview_->Width(), preview_->Height(),
                       preview_->BytesPerLine(), QImage::Format_BGR888);
    QPainter painter(&previewImage_);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRect(fitted.Left, fitted.Top, fitted.Width(), fitted.Height()), frame);
    painter.end();
    ShowPreviewPicture();
}

void TfrmProgress::ShowPreviewPicture() {
    imgPreview->setPixmap(QPixmap::fromImage(previewImage_));
}

void TfrmProgress::SnapshotClick() {
    if (!preview_ || preview_->Empty() || !commands_.SaveSnapshot)
        return;
    commands_.SaveSnapshot(*preview_, BitmapOfImage(previewImage_));
}

} // namespace tovik
