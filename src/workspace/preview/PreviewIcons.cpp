#include "workspace/preview/PreviewIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QToolButton>

namespace tovik {

namespace {

QPixmap Glyph(TPreviewGlyph glyph, const QColor& colour) {
    constexpr int kSize = 32; // drawn large, shown at 16: smooth edges
    QPixmap pixmap(kSize, kSize);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    switch (glyph) {
    case TPreviewGlyph::pgPlay: {
        QPainterPath path;
        path.moveTo(8, 5);
        path.lineTo(27, 16);
        path.lineTo(8, 27);
        path.closeSubpath();
        painter.drawPath(path);
        break;
    }
    case TPreviewGlyph::pgPause:
        painter.drawRect(8, 6, 6, 20);
        painter.drawRect(18, 6, 6, 20);
        break;
    case TPreviewGlyph::pgStop:
        painter.drawRect(7, 7, 18, 18);
        break;
    case TPreviewGlyph::pgCapture:
        // A camera: body, viewfinder hump and lens.
        painter.drawRoundedRect(3, 10, 26, 17, 3, 3);
        painter.drawRect(11, 6, 10, 5);
        painter.setBrush(Qt::white);
        painter.drawEllipse(QPointF(16, 18.5), 5.5, 5.5);
        painter.setBrush(colour);
        painter.drawEllipse(QPointF(16, 18.5), 3, 3);
        break;
    }
    return pixmap;
}

} // namespace

QIcon PreviewIcon(TPreviewGlyph glyph) {
    QIcon icon;
    icon.addPixmap(Glyph(glyph, QColor(40, 48, 64)), QIcon::Normal);
    icon.addPixmap(Glyph(glyph, QColor(160, 164, 172)), QIcon::Disabled);
    return icon;
}

QToolButton* SpeedButton(QWidget* parent, const QString& name, const QString& hint,
                         const QIcon& icon) {
    auto* button = new QToolButton(parent);
    button->setObjectName(name);
    button->setToolTip(hint);
    button->setIcon(icon);
    button->setIconSize(QSize(16, 16));
    button->setAutoRaise(true);
    return button;
}

} // namespace tovik
