#include "tovik/console/ProgramIcon.h"

#include <QPainter>
#include <QPixmap>
#include <QRadialGradient>

namespace tovik {

QImage ProgramIconImage(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        const double s = size;
        // A dark screen with a bright spot and the pen reaching it.
        p.setBrush(QColor(30, 60, 110));
        p.setPen(Qt::NoPen);
        p.drawRoundedRect(QRectF(0.05 * s, 0.1 * s, 0.9 * s, 0.7 * s), 0.1 * s, 0.1 * s);
        QRadialGradient glow(QPointF(0.45 * s, 0.45 * s), 0.2 * s);
        glow.setColorAt(0, QColor(255, 255, 255));
        glow.setColorAt(0.4, QColor(255, 240, 160));
        glow.setColorAt(1, QColor(255, 200, 60, 0));
        p.setBrush(glow);
        p.drawEllipse(QPointF(0.45 * s, 0.45 * s), 0.2 * s, 0.2 * s);
        QPen pen(QColor(220, 220, 220), std::max(1.5, 0.09 * s), Qt::SolidLine, Qt::RoundCap);
        p.setPen(pen);
        p.drawLine(QPointF(0.5 * s, 0.5 * s), QPointF(0.92 * s, 0.95 * s));
    }
    return image;
}

QIcon ProgramIcon() {
    QIcon icon;
    for (const int size : {16, 32, 48, 64}) {
        icon.addPixmap(QPixmap::fromImage(ProgramIconImage(size)));
    }
    return icon;
}

}  // namespace tovik
