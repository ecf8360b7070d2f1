#include "resources/icons/rig_icon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace korvane::ui {

QPixmap rigPixmap(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    // Drawn on a 16 x 16 grid and scaled, so every size has the same shape.
    painter.scale(size / 16.0, size / 16.0);

    // Ground line and the drill floor.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x6b, 0x4f, 0x2a));
    painter.drawRect(QRectF(0, 14, 16, 2));
    painter.setBrush(QColor(0x40, 0x40, 0x40));
    painter.drawRect(QRectF(3, 12.5, 10, 1.5));

    // The derrick: two legs meeting under the crown block, with braces.
    QPen steel(QColor(0x1f, 0x4e, 0x8c), 1.2);
    steel.setCapStyle(Qt::RoundCap);
    painter.setPen(steel);
    painter.drawLine(QPointF(4, 12.5), QPointF(7.2, 1.5));
    painter.drawLine(QPointF(12, 12.5), QPointF(8.8, 1.5));
    QPen brace(QColor(0x1f, 0x4e, 0x8c), 0.8);
    painter.setPen(brace);
    painter.drawLine(QPointF(4.9, 9.5), QPointF(11.1, 9.5));
    painter.drawLine(QPointF(5.8, 6.5), QPointF(10.2, 6.5));
    painter.drawLine(QPointF(4.9, 9.5), QPointF(10.2, 6.5));
    painter.drawLine(QPointF(11.1, 9.5), QPointF(5.8, 6.5));

    // Crown block and the drill string going down the hole.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xd0, 0x30, 0x20));
    painter.drawRect(QRectF(6.5, 0.5, 3, 1.5));
    painter.setPen(QPen(QColor(0xd0, 0x30, 0x20), 0.8));
    painter.drawLine(QPointF(8, 2), QPointF(8, 16));
    return pixmap;
}

QIcon rigIcon() {
    QIcon icon;
    for (int size : {16, 32, 48}) icon.addPixmap(rigPixmap(size));
    return icon;
}

}  // namespace korvane::ui
