#include "dialogs/crop/RectTracker.h"

#include <QMouseEvent>
#include <QPainter>

namespace tovik {

TCustomRectTracker::TCustomRectTracker(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("RectTracker"));
    // Only the frame and the handles are painted; the picture shows through.
    setAttribute(Qt::WA_NoSystemBackground);
    setAutoFillBackground(false);
    setMouseTracking(true);
    setMinimumSize(kTrackerMinimum, kTrackerMinimum);
    resize(kInitialSize, kInitialSize);
}

TCropBox TCustomRectTracker::Bounds() const {
    return {x(), y(), width(), height()};
}

void TCustomRectTracker::SetBounds(const TCropBox& bounds) {
    setGeometry(bounds.Left, bounds.Top, bounds.Width, bounds.Height);
}

void TCustomRectTracker::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    // The dotted line inverts what lies under it, so it shows on any picture.
    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    QPen pen(Qt::white, 1, Qt::DotLine);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(kDottedInset, kDottedInset, width() - 2 * kDottedInset - 1,
                     height() - 2 * kDottedInset - 1);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    for (TTrackerZone zone :
         {TTrackerZone::tzTopLeft, TTrackerZone::tzBottomRight, TTrackerZone::tzBottomLeft,
          TTrackerZone::tzTopRight, TTrackerZone::tzLeft, TTrackerZone::tzRight,
          TTrackerZone::tzTop, TTrackerZone::tzBottom}) {
        const TCropBox box = HandleBox(zone, width(), height());
        painter.fillRect(box.Left, box.Top, box.Width, box.Height, Qt::black);
    }
}

void TCustomRectTracker::ShowCursor(TTrackerZone zone) {
    switch (zone) {
    case TTrackerZone::tzLeft:
    case TTrackerZone::tzRight:
        setCursor(Qt::SizeHorCursor);
        break;
    case TTrackerZone::tzTop:
    case TTrackerZone::tzBottom:
        setCursor(Qt::SizeVerCursor);
        break;
    case TTrackerZone::tzTopLeft:
    case TTrackerZone::tzBottomRight:
        setCursor(Qt::SizeFDiagCursor);
        break;
    case TTrackerZone::tzTopRight:
    case TTrackerZone::tzBottomLeft:
        setCursor(Qt::SizeBDiagCursor);
        break;
    case TTrackerZone::tzMove:
        setCursor(Qt::SizeAllCursor);
        break;
    case TTrackerZone::tzNone:
        unsetCursor();
        break;
    }
}

void TCustomRectTracker::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !isEnabled()) {
        QWidget::mousePressEvent(event);
        return;
    }
    const QPoint point = event->position().toPoint();
    dragZone_ = HitZone(width(), height(), point.x(), point.y());
    drag_ = {Bounds(), point.x(), point.y()};
    pressBounds_ = Bounds();
    emit MousePressed();
    event->accept();
}

void TCustomRectTracker::mouseMoveEvent(QMouseEvent* event) {
    const QPoint point = event->position().toPoint();
    if (dragZone_ == TTrackerZone::tzNone || !(event->buttons() & Qt::LeftButton)) {
        ShowCursor(HitZone(width(), height(), point.x(), point.y()));
        return;
    }
    drag_.Bounds = Bounds();
    drag_ = DragTracker(dragZone_, drag_, point.x(), point.y());
    SetBounds(drag_.Bounds);
    // The pointer in the coordinates of the rectangle where it now stands.
    const QPoint now = mapFromGlobal(event->globalPosition().toPoint());
    emit MouseMoved(now.x(), now.y());
    event->accept();
}

void TCustomRectTracker::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || dragZone_ == TTrackerZone::tzNone) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    dragZone_ = TTrackerZone::tzNone;
    if (!(Bounds() == pressBounds_))
        emit Changed(QRect(kDottedInset, kDottedInset, width() - 2 * kDottedInset,
                           height() - 2 * kDottedInset));
    event->accept();
}

} // namespace tovik
