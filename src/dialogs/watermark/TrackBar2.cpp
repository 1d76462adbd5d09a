#include "dialogs/watermark/TrackBar2.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>
#include <algorithm>
#include <cmath>

namespace tovik {

namespace {

constexpr int kMargin = 8;     // track ends from the widget's edges
constexpr int kThumbWidth = 9; // pixels
constexpr int kThumbGrab = 6;  // a press this near a thumb takes it

} // namespace

TTrackBar2::TTrackBar2(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setMinimumHeight(24);
}

QSize TTrackBar2::sizeHint() const {
    return QSize(200, 26);
}

void TTrackBar2::SetRange(int minimum, int maximum) {
    thumbs_.SetRange(minimum, maximum);
    update();
}

void TTrackBar2::SetLower(int value) {
    if (thumbs_.SetLower(value)) {
        update();
        emit Changed();
    }
}

void TTrackBar2::SetUpper(int value) {
    if (thumbs_.SetUpper(value)) {
        update();
        emit Changed();
    }
}

int TTrackBar2::ThumbX(int value) const {
    const int span = std::max(thumbs_.Maximum() - thumbs_.Minimum(), 1);
    const double fraction =
        std::clamp(static_cast<double>(value - thumbs_.Minimum()) / span, 0.0, 1.0);
    return kMargin + static_cast<int>(std::lround(fraction * (width() - 2 * kMargin)));
}

int TTrackBar2::ValueAt(int x) const {
    const int track = std::max(width() - 2 * kMargin, 1);
    const double fraction = std::clamp(static_cast<double>(x - kMargin) / track, 0.0, 1.0);
    return thumbs_.Minimum() +
           static_cast<int>(std::lround(fraction * (thumbs_.Maximum() - thumbs_.Minimum())));
}

void TTrackBar2::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QPalette& colours = palette();
    const int middle = height() / 2;
    painter.setPen(colours.color(QPalette::Mid));
    painter.setBrush(colours.color(QPalette::Base));
    painter.drawRect(QRect(kMargin, middle - 2, width() - 2 * kMargin, 4));
    const int lower = ThumbX(Lower());
    const int upper = ThumbX(Upper());
    painter.fillRect(QRect(lower, middle - 1, std::max(upper - lower, 0), 3),
                     colours.color(QPalette::Highlight));
    for (int x : {lower, upper}) {
        painter.setBrush(colours.color(QPalette::Button));
        painter.setPen(hasFocus() ? colours.color(QPalette::Highlight)
                                  : colours.color(QPalette::Dark));
        painter.drawRect(QRect(x - kThumbWidth / 2, middle - 8, kThumbWidth, 16));
    }
}

void TTrackBar2::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    const int x = static_cast<int>(event->position().x());
    const int lowerX = ThumbX(Lower());
    const int upperX = ThumbX(Upper());
    // Thumbs on top of each other: take the one the press is on the side of.
    if (std::abs(x - upperX) <= kThumbGrab && (x >= upperX || std::abs(x - lowerX) > kThumbGrab)) {
        drag_ = TDrag::dgUpper;
        return;
    }
    if (std::abs(x - lowerX) <= kThumbGrab) {
        drag_ = TDrag::dgLower;
        return;
    }
    const int value = ValueAt(x);
    const bool upper = thumbs_.UpperHalf(value);
    const int current = upper ? Upper() : Lower();
    int target = value;
    if (event->modifiers() & Qt::ShiftModifier)
        target = current + (value > current ? 1 : -1);
    if (upper)
        SetUpper(target);
    else
        SetLower(target);
}

void TTrackBar2::mouseMoveEvent(QMouseEvent* event) {
    if (drag_ == TDrag::dgNone || !(event->buttons() & Qt::LeftButton))
        return;
    const int value = ValueAt(static_cast<int>(event->position().x()));
    if (drag_ == TDrag::dgUpper && value != Upper())
        SetUpper(value);
    else if (drag_ == TDrag::dgLower && value != Lower())
        SetLower(value);
}

void TTrackBar2::mouseReleaseEvent(QMouseEvent*) {
    drag_ = TDrag::dgNone;
}

void TTrackBar2::keyPressEvent(QKeyEvent* event) {
    int step = 0;
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Down:
        step = -1;
        break;
    case Qt::Key_Right:
    case Qt::Key_Up:
        step = 1;
        break;
    case Qt::Key_PageDown:
        step = -2;
        break;
    case Qt::Key_PageUp:
        step = 2;
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    if (event->modifiers() & Qt::ShiftModifier)
        SetUpper(Upper() + step);
    else
        SetLower(Lower() + step);
}

} // namespace tovik
