#include "dialogs/watermark/LayerListDelegate.h"

#include <QPainter>

namespace tovik {

namespace {

constexpr int kRowHeight = 24;

// The kind's icon: a "T" for text, a small landscape for a picture.
void DrawKindIcon(QPainter& painter, const QRect& box, int kind) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    if (kind == 1) {
        painter.setPen(QColor(0x40, 0x60, 0x90));
        painter.setBrush(QColor(0xB0, 0xD0, 0xF0));
        painter.drawRect(box.adjusted(0, 1, -1, -2));
        painter.setBrush(QColor(0x40, 0x90, 0x40));
        painter.drawPolygon(
            QPolygon({box.bottomLeft() + QPoint(1, -3), box.center() + QPoint(-2, 0),
                      box.bottomRight() + QPoint(-2, -3)}));
    } else {
        QFont font = painter.font();
        font.setBold(true);
        painter.setFont(font);
        painter.setPen(QColor(0x20, 0x20, 0x20));
        painter.drawText(box, Qt::AlignCenter, QStringLiteral("T"));
    }
    painter.restore();
}

} // namespace

void TLayerListDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                               const QModelIndex& index) const {
    painter->save();
    const QRect row = option.rect;
    const bool focused = option.state & QStyle::State_Selected;
    // Colours as 0x00BBGGRR in the original drawing: 0xECCCB9, 0xDAA07A, 0xF8F7F6.
    if (focused) {
        painter->fillRect(row, QColor(0xB9, 0xCC, 0xEC));
        painter->setPen(QColor(0x7A, 0xA0, 0xDA));
        painter->drawRect(row.adjusted(0, 0, -1, -1));
    } else {
        painter->fillRect(row, QColor(0xF6, 0xF7, 0xF8));
    }
    DrawKindIcon(*painter, QRect(row.left() + 2, row.top() + (row.height() - 14) / 2, 14, 14),
                 index.data(kLayerKindRole).toInt());
    const QRect textRect = row.adjusted(19, 0, -2, 0);
    const QString text = option.fontMetrics.elidedText(index.data(Qt::DisplayRole).toString(),
                                                       Qt::ElideRight, textRect.width());
    painter->setPen(Qt::black);
    painter->drawText(textRect, Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine, text);
    painter->restore();
}

QSize TLayerListDelegate::sizeHint(const QStyleOptionViewItem& option,
                                   const QModelIndex& index) const {
    return QSize(QStyledItemDelegate::sizeHint(option, index).width(), kRowHeight);
}

} // namespace tovik
