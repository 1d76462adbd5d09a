#include "workspace/ui/FormatListBox.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace tovik {

namespace {
const QColor kRowFill(246, 247, 248);
const QColor kFocusFill(185, 204, 236);
const QColor kFocusFrame(122, 160, 218);
const QColor kNavy(0, 0, 128);

void DrawExpandMark(QPainter& painter, const QRect& box, bool collapsed) {
    painter.setPen(QColor(120, 132, 150));
    painter.setBrush(Qt::white);
    painter.drawRect(box.adjusted(0, 0, -1, -1));
    painter.setPen(QPen(QColor(40, 52, 80), 1));
    const QPoint centre = box.center();
    painter.drawLine(centre.x() - 2, centre.y(), centre.x() + 2, centre.y());
    if (collapsed)
        painter.drawLine(centre.x(), centre.y() - 2, centre.x(), centre.y() + 2);
}

// Group icons: QuickTime, general video, general audio.
void DrawGroupIcon(QPainter& painter, const QRect& box, int group) {
    static const QColor colours[] = {QColor(58, 96, 168), QColor(52, 134, 66),
                                     QColor(214, 122, 30)};
    const QColor colour = colours[(group % 3 + 3) % 3];
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    painter.drawRoundedRect(QRectF(box).adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
    painter.setBrush(Qt::white);
    const QPointF c = QRectF(box).center();
    if (group == 2) {
        // A note.
        painter.drawEllipse(QPointF(c.x() - 2, c.y() + 3), 2.6, 2.1);
        painter.setPen(QPen(Qt::white, 1.4));
        painter.drawLine(QPointF(c.x() + 0.4, c.y() + 3), QPointF(c.x() + 0.4, c.y() - 5));
        painter.drawLine(QPointF(c.x() + 0.4, c.y() - 5), QPointF(c.x() + 4, c.y() - 3));
    } else {
        // A play arrow.
        QPainterPath arrow;
        arrow.moveTo(c.x() - 3, c.y() - 4.5);
        arrow.lineTo(c.x() + 4.5, c.y());
        arrow.lineTo(c.x() - 3, c.y() + 4.5);
        arrow.closeSubpath();
        painter.drawPath(arrow);
    }
    painter.setRenderHint(QPainter::Antialiasing, false);
}
} // namespace

TFormatListBox::TFormatListBox(QWidget* parent) : QListWidget(parent) {
    setObjectName(QStringLiteral("lst1"));
    setMouseTracking(true);
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setItemDelegate(new TFormatListDelegate(this));
    setStyleSheet(QStringLiteral("QListWidget#lst1 { background: #f6f7f8; }"));
}

void TFormatListBox::Build(const TFormatListRows::TCollapsedOf& collapsedOf) {
    rows_.Build(collapsedOf);
    Refill(-1);
}

void TFormatListBox::Refill(int currentRow) {
    clear();
    for (int index = 0; index < rows_.Count(); ++index)
        addItem(QString::fromStdString(rows_.RowText(index)));
    if (currentRow >= 0 && currentRow < count())
        setCurrentRow(currentRow);
}

void TFormatListBox::SelectText(const QString& text) {
    const int row = rows_.FindRow(text.toStdString());
    if (row < 0) {
        setCurrentRow(-1);
        clearSelection();
    } else {
        setCurrentRow(row);
    }
}

void TFormatListBox::PressRow(int index, int x) {
    if (index < 0 || index >= rows_.Count())
        return;
    const TItemInfo row = rows_.Row(index);
    if (row.IsGroup) {
        if (x < kExpandMarkWidth && rows_.Toggle(index)) {
            Refill(index);
            emit RowsToggled();
        }
        return;
    }
    setCurrentRow(index);
    emit FormatChosen(QString::fromStdString(rows_.RowText(index)), row.Code);
}

void TFormatListBox::DoubleClickRow(int index) {
    if (rows_.Toggle(index)) {
        Refill(index);
        emit RowsToggled();
    }
}

void TFormatListBox::mousePressEvent(QMouseEvent* event) {
    const QPoint position = event->position().toPoint();
    const QModelIndex index = indexAt(position);
    if (event->button() == Qt::LeftButton && index.isValid()) {
        PressRow(index.row(), position.x());
        event->accept();
        return;
    }
    QListWidget::mousePressEvent(event);
}

void TFormatListBox::mouseDoubleClickEvent(QMouseEvent* event) {
    const QModelIndex index = indexAt(event->position().toPoint());
    if (index.isValid())
        DoubleClickRow(index.row());
    event->accept();
}

void TFormatListBox::mouseMoveEvent(QMouseEvent* event) {
    // Hot tracking: the row under the pointer is the selected one.
    const QModelIndex index = indexAt(event->position().toPoint());
    if (index.isValid() && index.row() != currentRow())
        setCurrentRow(index.row());
    QListWidget::mouseMoveEvent(event);
}

void TFormatListBox::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (currentRow() >= 0)
            PressRow(currentRow(), rows_.Row(currentRow()).IsGroup ? 0 : kExpandMarkWidth);
        event->accept();
        return;
    case Qt::Key_Escape:
        hide();
        event->accept();
        return;
    default:
        QListWidget::keyPressEvent(event);
    }
}

QSize TFormatListDelegate::sizeHint(const QStyleOptionViewItem& option,
                                    const QModelIndex& index) const {
    return {QStyledItemDelegate::sizeHint(option, index).width(), TFormatListBox::kRowHeight};
}

void TFormatListDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                const QModelIndex& index) const {
    const QRect rect = option.rect;
    const int row = index.row();
    if (row < 0 || row >= box_->Rows().Count())
        return;
    const TItemInfo& info = box_->Rows().Row(row);
    painter->save();
    painter->fillRect(rect, kRowFill);
    if (row == box_->currentRow()) {
        const QRect focus = rect.adjusted(2, 2, -2, -2);
        painter->fillRect(focus, kFocusFill);
        painter->setPen(kFocusFrame);
        painter->drawRect(focus.adjusted(0, 0, -1, -1));
    }
    QFont font = option.font;
    const QString text = index.data(Qt::DisplayRole).toString();
    if (info.IsGroup) {
        const int markSize = 11;
        DrawExpandMark(*painter,
                       QRect(rect.left() + 1 + 3, rect.top() + (rect.height() - markSize) / 2,
                             markSize, markSize),
                       info.Collapsed);
        DrawGroupIcon(*painter,
                      QRect(rect.left() + 20, rect.top() + (rect.height() - 16) / 2, 16, 16),
                      info.Code);
        font.setBold(true);
        painter->setFont(font);
        painter->setPen(QColor(20, 20, 20));
        painter->drawText(rect.adjusted(45, 2, -2, 0), Qt::AlignLeft | Qt::AlignVCenter, text);
    } else {
        painter->setFont(font);
        painter->setPen(kNavy);
        painter->drawText(rect.adjusted(25, 2, -2, 0), Qt::AlignLeft | Qt::AlignVCenter, text);
    }
    painter->restore();
}

} // namespace tovik
