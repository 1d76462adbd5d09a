#include "app/MainWindow.h"

#include "media/FFmpegLoader.h"
#include "player/PlayerLibraries.h"

#include <QLabel>
#include <QVBoxLayout>

namespace tovik {

TfrmMain::TfrmMain(QWidget* parent) : QMainWindow(parent), mmoLog(new QPlainTextEdit(this)) {
    setWindowTitle(QStringLiteral("Tovik Video Converter"));
    resize(800, 560);
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->addWidget(new QLabel(QStringLiteral("Tovik Video Converter"), central));
    mmoLog->setReadOnly(true);
    mmoLog->setVisible(false);
    layout->addWidget(mmoLog);
    setCentralWidget(central);

    std::string error;
    if (!PlayerLibrariesLoaded() && !LoadPlayerLibraries(DefaultLibraryFolder(), error))
        AppendLog(QString::fromStdString(error));
}

void TfrmMain::AppendLog(const QString& line) {
    mmoLog->appendPlainText(line);
}

QString TfrmMain::LogText() const {
    return mmoLog->toPlainText();
}

} // namespace tovik
