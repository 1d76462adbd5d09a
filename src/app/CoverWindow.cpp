#include "app/CoverWindow.h"

#include "app/Artwork.h"
#include "platform/Environment.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>

namespace tovik {

TfrmCover::TfrmCover(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      picture_(new QLabel(this)), timer_(new QTimer(this)) {
    setObjectName(QStringLiteral("frmCover"));
    picture_->setPixmap(BuiltInCoverPicture());
    picture_->setScaledContents(true);
    LoadPicture(CoverPictureFile());
    timer_->setInterval(1000);
    connect(timer_, &QTimer::timeout, this, &TfrmCover::TimerTick);
    timer_->start();
}

void TfrmCover::LoadPicture(const QString& pictureFile) {
    if (!QFileInfo::exists(pictureFile))
        return;
    QPixmap loaded(pictureFile);
    if (!loaded.isNull())
        picture_->setPixmap(loaded);
}

QSize TfrmCover::PictureSize() const {
    return picture_->pixmap().size();
}

void TfrmCover::TimerTick() {
    const QWidget* mainWindow = mainWindow_.data();
    if (mainWindow != nullptr && mainWindow->isVisible()) {
        close();
        timer_->stop();
    }
}

QString TfrmCover::CoverPictureFile() {
    return QString::fromStdString(platform::ExecutableDir()) +
           QStringLiteral("/skin/avimovcover.jpg");
}

void TfrmCover::showEvent(QShowEvent* event) {
    const QSize size = PictureSize();
    setFixedSize(size);
    picture_->setGeometry(0, 0, size.width(), size.height());
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(size.width() / 2, size.height() / 2));
    }
    QWidget::showEvent(event);
}

} // namespace tovik
