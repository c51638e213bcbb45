#include "kalvo/ui/PickerResources.h"

#include <QFile>

// The resources live in a static library; register them before first use.
static void initPickerResources() {
    static const bool done = [] {
        Q_INIT_RESOURCE(pickers);
        return true;
    }();
    (void)done;
}

namespace kalvo {

QString pickerResourcePath(int id) {
    initPickerResources();
    if ((id >= 222 && id <= 227) || id == 229) {
        return QStringLiteral(":/pickers/icon%1.png").arg(id);
    }
    if (id == 159) {
        return QStringLiteral(":/pickers/bitmap159.png");
    }
    if (id == 165 || id == 168 || id == 233) {
        return QStringLiteral(":/pickers/cursor%1.png").arg(id);
    }
    return {};
}

QImage pickerImage(int id) {
    const QString path = pickerResourcePath(id);
    return path.isEmpty() ? QImage() : QImage(path);
}

QPixmap pickerPixmap(int id) {
    const QString path = pickerResourcePath(id);
    return path.isEmpty() ? QPixmap() : QPixmap(path);
}

QPoint pickerCursorHotSpot(int id) {
    switch (id) {
        case 165:
            return {1, 30};  // the pencil's tip
        case 168:
        case 233:
            return {15, 15};  // the eraser's centre
        default:
            return {0, 0};
    }
}

QCursor pickerCursor(int id) {
    if (id != 165 && id != 168 && id != 233) {
        return QCursor(Qt::ArrowCursor);
    }
    const QPixmap pixmap = pickerPixmap(id);
    if (pixmap.isNull()) {
        return QCursor(Qt::ArrowCursor);
    }
    const QPoint hot = pickerCursorHotSpot(id);
    return QCursor(pixmap, hot.x(), hot.y());
}

}  // namespace kalvo
