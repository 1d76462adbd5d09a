#include "dialogs/common/SeekBar.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionSlider>
#include <algorithm>

namespace tovik {

TSeekBar::TSeekBar(QWidget* parent) : QSlider(Qt::Horizontal, parent) {
    setTickPosition(QSlider::NoTicks);
    setRange(0, 1);
    // The dialogs' arrow keys step pictures; the bar never takes the focus from them.
    setFocusPolicy(Qt::NoFocus);
}

void TSeekBar::SetSelection(int first, int last) {
    if (first == selectionStart_ && last == selectionEnd_)
        return;
    selectionStart_ = first;
    selectionEnd_ = last;
    update();
}

void TSeekBar::ShowPosition(int value) {
    const bool blocked = blockSignals(true);
    setValue(value);
    blockSignals(blocked);
}

int TSeekBar::ValueAt(int x) const {
    QStyleOptionSlider option;
    initStyleOption(&option);
    const QRect handle =
        style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
    return QStyle::sliderValueFromPosition(minimum(), maximum(), x - handle.width() / 2,
                                           std::max(1, width() - handle.width()));
}

void TSeekBar::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && isEnabled()) {
        seeking_ = true;
        QStyleOptionSlider option;
        initStyleOption(&option);
        const QRect handle =
            style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
        if (!handle.contains(event->position().toPoint())) {
            ShowPosition(ValueAt(event->position().toPoint().x()));
            event->accept();
            return;
        }
    }
    QSlider::mousePressEvent(event);
}

void TSeekBar::mouseReleaseEvent(QMouseEvent* event) {
    QSlider::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && seeking_) {
        seeking_ = false;
        emit SeekRequested(value());
    }
}

void TSeekBar::paintEvent(QPaintEvent* event) {
    if (selectionEnd_ > selectionStart_ && maximum() > minimum()) {
        QStyleOptionSlider option;
        initStyleOption(&option);
        const QRect groove =
            style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
        const QRect handle =
            style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
        const int span = std::max(1, width() - handle.width());
        const int left = handle.width() / 2 + QStyle::sliderPositionFromValue(
                                                  minimum(), maximum(), selectionStart_, span);
        const int right = handle.width() / 2 + QStyle::sliderPositionFromValue(minimum(), maximum(),
                                                                               selectionEnd_, span);
        QPainter painter(this);
        const QRect band(left, groove.center().y() - 5, std::max(1, right - left), 10);
        painter.fillRect(band, QColor(90, 150, 230, 170));
    }
    QSlider::paintEvent(event);
}

} // namespace tovik
