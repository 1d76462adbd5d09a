#include "app/Artwork.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <numbers>

namespace tovik {

namespace {
// A film frame with a play arrow: the program's mark.
void DrawMark(QPainter& painter, const QRectF& box) {
    const qreal unit = box.width() / 32.0;
    QLinearGradient body(box.topLeft(), box.bottomLeft());
    body.setColorAt(0, QColor(88, 132, 214));
    body.setColorAt(1, QColor(36, 70, 146));
    painter.setPen(QPen(QColor(24, 44, 96), unit));
    painter.setBrush(body);
    painter.drawRoundedRect(box.adjusted(unit, unit * 4, -unit, -unit * 4), unit * 3, unit * 3);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 255, 255, 200));
    for (int hole = 0; hole < 5; ++hole) {
        const qreal x = box.left() + unit * (4 + hole * 5.5);
        painter.drawRect(QRectF(x, box.top() + unit * 6, unit * 2.5, unit * 2));
        painter.drawRect(QRectF(x, box.bottom() - unit * 8, unit * 2.5, unit * 2));
    }
    QPainterPath arrow;
    arrow.moveTo(box.left() + unit * 12, box.top() + unit * 10.5);
    arrow.lineTo(box.left() + unit * 22, box.top() + unit * 16);
    arrow.lineTo(box.left() + unit * 12, box.top() + unit * 21.5);
    arrow.closeSubpath();
    painter.setBrush(QColor(255, 196, 64));
    painter.drawPath(arrow);
}
} // namespace

QPixmap ProgramPixmap(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    DrawMark(painter, QRectF(0, 0, size, size));
    return pixmap;
}

QIcon ProgramIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64})
        icon.addPixmap(ProgramPixmap(size));
    return icon;
}

QPixmap BuiltInCoverPicture() {
    QPixmap picture(399, 239);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    QLinearGradient sky(0, 0, 0, picture.height());
    sky.setColorAt(0, QColor(40, 72, 140));
    sky.setColorAt(1, QColor(12, 24, 56));
    painter.fillRect(picture.rect(), sky);
    // Soft light streaks behind the title.
    painter.setPen(Qt::NoPen);
    for (int streak = 0; streak < 6; ++streak) {
        painter.setBrush(QColor(255, 255, 255, 10 + streak * 3));
        painter.drawEllipse(QPointF(320 - streak * 30, 40 + streak * 12), 150 - streak * 15,
                            30 + streak * 4);
    }
    DrawMark(painter, QRectF(24, 48, 96, 96));
    QFont title = painter.font();
    title.setPixelSize(26);
    title.setBold(true);
    painter.setFont(title);
    painter.setPen(Qt::white);
    painter.drawText(QRectF(134, 62, 250, 34), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("Tovik"));
    QFont subtitle = title;
    subtitle.setPixelSize(17);
    subtitle.setBold(false);
    painter.setFont(subtitle);
    painter.setPen(QColor(214, 226, 250));
    painter.drawText(QRectF(134, 96, 250, 26), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("Video Converter"));
    QFont small = subtitle;
    small.setPixelSize(11);
    painter.setFont(small);
    painter.setPen(QColor(160, 180, 220));
    painter.drawText(QRectF(24, 200, 351, 20), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("Loading..."));
    painter.setPen(QPen(QColor(255, 196, 64), 2));
    painter.drawLine(QPointF(134, 128), QPointF(370, 128));
    return picture;
}

namespace {
QPixmap ToolGlyph(TToolGlyph glyph, const QColor& colour) {
    constexpr int kSize = 24;
    QPixmap pixmap(kSize, kSize);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    QPen pen(colour, 2.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    switch (glyph) {
    case TToolGlyph::tgAdd:
        painter.drawLine(QPointF(12, 4), QPointF(12, 20));
        painter.drawLine(QPointF(4, 12), QPointF(20, 12));
        break;
    case TToolGlyph::tgRemove:
        painter.drawLine(QPointF(4, 12), QPointF(20, 12));
        break;
    case TToolGlyph::tgClear:
        painter.drawLine(QPointF(6, 6), QPointF(18, 18));
        painter.drawLine(QPointF(18, 6), QPointF(6, 18));
        break;
    case TToolGlyph::tgEdit: {
        QPainterPath pencil;
        pencil.moveTo(5, 19);
        pencil.lineTo(6.5, 14);
        pencil.lineTo(16, 4.5);
        pencil.lineTo(19.5, 8);
        pencil.lineTo(10, 17.5);
        pencil.closeSubpath();
        painter.drawPath(pencil);
        break;
    }
    case TToolGlyph::tgStart: {
        QPainterPath arrow;
        arrow.moveTo(7, 4);
        arrow.lineTo(19, 12);
        arrow.lineTo(7, 20);
        arrow.closeSubpath();
        painter.setBrush(colour);
        painter.drawPath(arrow);
        break;
    }
    case TToolGlyph::tgExit:
        painter.drawArc(QRectF(4, 5, 16, 16), 120 * 16, 300 * 16);
        painter.drawLine(QPointF(12, 3), QPointF(12, 12));
        break;
    case TToolGlyph::tgSettings: {
        painter.setPen(Qt::NoPen);
        painter.setBrush(colour);
        QPainterPath gear;
        gear.addEllipse(QPointF(12, 12), 7, 7);
        for (int tooth = 0; tooth < 8; ++tooth) {
            const double angle = tooth * std::numbers::pi / 4;
            const QPointF centre(12 + 8.5 * std::cos(angle), 12 + 8.5 * std::sin(angle));
            gear.addEllipse(centre, 2.2, 2.2);
        }
        QPainterPath hole;
        hole.addEllipse(QPointF(12, 12), 3, 3);
        painter.drawPath(gear.simplified().subtracted(hole));
        break;
    }
    }
    return pixmap;
}
} // namespace

QIcon ToolIcon(TToolGlyph glyph, const QColor& colour) {
    QIcon icon(ToolGlyph(glyph, colour));
    // Disabled buttons show a faded glyph, like their faded caption.
    QColor faded = colour;
    faded.setAlpha(110);
    icon.addPixmap(ToolGlyph(glyph, faded), QIcon::Disabled);
    return icon;
}

} // namespace tovik
