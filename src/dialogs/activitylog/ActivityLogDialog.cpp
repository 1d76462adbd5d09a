#include "dialogs/activitylog/ActivityLogDialog.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QScrollBar>
#include <QVBoxLayout>
#include <algorithm>

namespace tovik {

TfrmActivityLog::TfrmActivityLog(QWidget* parent, const TActivityLog& log,
                                 std::function<QString()> chooseSaveFile,
                                 std::function<void(const QString&)> showError)
    : QDialog(parent), log_(log), chooseSaveFile_(std::move(chooseSaveFile)),
      showError_(std::move(showError)) {
    setObjectName(QStringLiteral("frmActivityLog"));
    setWindowTitle(QStringLiteral("Activity Log"));
    setModal(false);
    resize(760, 480);

    auto* layout = new QVBoxLayout(this);
    lblSummary = new QLabel(this);
    lblSummary->setObjectName(QStringLiteral("lblSummary"));
    lblSummary->setWordWrap(true);
    lblSummary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblSummary->setVisible(false);
    layout->addWidget(lblSummary);

    mmoLog = new QPlainTextEdit(this);
    mmoLog->setObjectName(QStringLiteral("mmoLog"));
    mmoLog->setReadOnly(true);
    mmoLog->setLineWrapMode(QPlainTextEdit::NoWrap);
    mmoLog->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    // The window keeps no more lines than the log does.
    mmoLog->setMaximumBlockCount(static_cast<int>(std::min<size_t>(log_.Capacity(), 1 << 30)));
    layout->addWidget(mmoLog, 1);

    auto* buttons = new QHBoxLayout;
    btnCopy = new QPushButton(QStringLiteral("Copy"), this);
    btnCopy->setObjectName(QStringLiteral("btnCopy"));
    btnSave = new QPushButton(QStringLiteral("Save..."), this);
    btnSave->setObjectName(QStringLiteral("btnSave"));
    btnClose = new QPushButton(QStringLiteral("Close"), this);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    for (QPushButton* button : {btnCopy, btnSave, btnClose})
        button->setAutoDefault(false);
    buttons->addWidget(btnCopy);
    buttons->addWidget(btnSave);
    buttons->addStretch();
    buttons->addWidget(btnClose);
    layout->addLayout(buttons);

    connect(btnCopy, &QPushButton::clicked, this, &TfrmActivityLog::CopyClick);
    connect(btnSave, &QPushButton::clicked, this, &TfrmActivityLog::SaveClick);
    connect(btnClose, &QPushButton::clicked, this, &QDialog::close);
    tmrPull.setInterval(kPullIntervalMs);
    connect(&tmrPull, &QTimer::timeout, this, &TfrmActivityLog::PullPage);
}

size_t TfrmActivityLog::PullPage() {
    const std::vector<TActivityLine> lines = log_.LinesAfter(shown_, kPageLines);
    if (lines.empty())
        return 0;
    QString text;
    for (const TActivityLine& line : lines) {
        if (!text.isEmpty())
            text += QLatin1Char('\n');
        text += QString::fromStdString(FormatActivityLine(line));
    }
    // Only a view at its end follows the new lines; one that was scrolled up stays put.
    QScrollBar* bar = mmoLog->verticalScrollBar();
    const bool atEnd = bar->value() == bar->maximum();
    const int kept = bar->value();
    mmoLog->appendPlainText(text);
    if (atEnd)
        bar->setValue(bar->maximum());
    else
        bar->setValue(kept);
    shown_ = lines.back().Sequence;
    return lines.size();
}

int TfrmActivityLog::ShownLineCount() const {
    return mmoLog->document()->isEmpty() ? 0 : mmoLog->blockCount();
}

void TfrmActivityLog::ShowSummary(const std::vector<std::string>& lines) {
    QStringList texts;
    for (const std::string& line : lines)
        texts.append(QString::fromStdString(line));
    lblSummary->setText(texts.join(QLatin1Char('\n')));
    lblSummary->setVisible(!texts.isEmpty());
}

void TfrmActivityLog::CopyClick() {
    QApplication::clipboard()->setText(QString::fromStdString(log_.Text()));
}

bool TfrmActivityLog::SaveClick() {
    if (!chooseSaveFile_)
        return false;
    const QString path = chooseSaveFile_();
    return !path.isEmpty() && SaveTo(path);
}

bool TfrmActivityLog::SaveTo(const QString& path) {
    QFile file(path);
    const QByteArray bytes = QByteArray::fromStdString(log_.Text());
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
        file.write(bytes) == bytes.size() && file.flush())
        return true;
    if (showError_)
        showError_(
            QStringLiteral("Cannot save the log to \"%1\". %2").arg(path, file.errorString()));
    return false;
}

void TfrmActivityLog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    PullPage();
    tmrPull.start();
}

void TfrmActivityLog::hideEvent(QHideEvent* event) {
    // A hidden window pulls nothing; it catches up page by page when shown again.
    tmrPull.stop();
    QDialog::hideEvent(event);
}

} // namespace tovik
