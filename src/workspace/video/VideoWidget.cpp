#include "workspace/video/VideoWidget.h"

#include <QImage>
#include <QMetaObject>
#include <QPainter>
#include <QResizeEvent>

namespace tovik {

namespace {
QColor ColourOf(uint32_t rgb) {
    return QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}
} // namespace

TVideoWidget::TVideoWidget(QWidget* parent) : QWidget(parent) {
    // Every pixel is painted here; no background fill by Qt first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAutoFillBackground(false);
    setMinimumSize(32, 24);
}

uint32_t TVideoWidget::Handle() const {
    // Only a window that already is native has a number; asking winId() would make one.
    return static_cast<uint32_t>(internalWinId());
}

void TVideoWidget::ShowPicture(const TScreenPicture& picture) {
    {
        std::lock_guard lock(pictureMutex_);
        picture_ = picture;
        pictureArea_ = QSize(width_.load(), height_.load());
    }
    pictureCount_.fetch_add(1);
    RequestRepaint();
}

void TVideoWidget::Fill(const TScreenRect& area, uint32_t colour) {
    {
        std::lock_guard lock(pictureMutex_);
        fillColour_ = colour;
        // A fill of the whole area replaces the picture; a part leaves it to the next one.
        if (area.Left <= 0 && area.Top <= 0 && area.Width >= width_.load() &&
            area.Height >= height_.load())
            picture_ = {};
    }
    RequestRepaint();
}

void TVideoWidget::RequestRepaint() {
    if (repaintPending_.exchange(true))
        return;
    // From the player's thread: the widget paints on the main thread. A widget gone by then
    // drops the call.
    QMetaObject::invokeMethod(
        this,
        [this] {
            repaintPending_.store(false);
            update();
        },
        Qt::QueuedConnection);
}

void TVideoWidget::ClearPicture() {
    {
        std::lock_guard lock(pictureMutex_);
        picture_ = {};
        fillColour_ = 0x000000;
    }
    update();
}

void TVideoWidget::SetMessage(const QString& message) {
    if (message == message_)
        return;
    message_ = message;
    update();
}

TScreenPicture TVideoWidget::Picture() const {
    std::lock_guard lock(pictureMutex_);
    return picture_;
}

QImage TVideoWidget::Grab() {
    return grab().toImage();
}

void TVideoWidget::paintEvent(QPaintEvent* /*event*/) {
    TScreenPicture picture;
    QSize area;
    uint32_t fill;
    {
        std::lock_guard lock(pictureMutex_);
        picture = picture_;
        area = pictureArea_;
        fill = fillColour_;
    }
    QPainter painter(this);
    painter.fillRect(rect(), ColourOf(fill));
    if (picture.Picture && !picture.Picture->Empty()) {
        const TBitmap& bitmap = *picture.Picture;
        // The player's pixels as they are: no conversion, no copy. The player does not
        // write into a bitmap it handed out, and picture keeps it alive while we paint.
        const QImage image(bitmap.Bits(), bitmap.Width(), bitmap.Height(), bitmap.BytesPerLine(),
                           QImage::Format_BGR888);
        if (area == size()) {
            painter.drawImage(QPoint(picture.Target.Left, picture.Target.Top), image);
        } else {
            // Made for another size (the widget was resized since): shown fitted and
            // centred until the player sends one of the new size.
            QSize fitted = image.size().scaled(size(), Qt::KeepAspectRatio);
            const QRect target(
                QPoint((width() - fitted.width()) / 2, (height() - fitted.height()) / 2), fitted);
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
            painter.drawImage(target, image);
        }
    }
    if (!message_.isEmpty()) {
        painter.setPen(QColor(230, 230, 230));
        const QRect line = rect().adjusted(8, 0, -8, 0);
        painter.drawText(line, Qt::AlignCenter | Qt::TextWordWrap, message_);
    }
}

void TVideoWidget::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    width_.store(event->size().width());
    height_.store(event->size().height());
    ReportResize(event->size().width(), event->size().height());
}

void TVideoWidget::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    width_.store(width());
    height_.store(height());
    ReportExpose();
}

} // namespace tovik
