#pragma once
// Draws the rows of the watermark dialog's layer list: the focused row filled light blue in
// a darker frame, the others near white, an icon for the kind (text or picture) and the
// row's text on one line, cut with an ellipsis.

#include <QStyledItemDelegate>

namespace tovik {

// The item data role that holds a row's kind (0 text, 1 picture).
inline constexpr int kLayerKindRole = Qt::UserRole + 1;

class TLayerListDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

} // namespace tovik
