#include "kalvo/ui/ScreenGrab.h"

#include <QFile>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

namespace kalvo {

ScreenCapture captureFromImage(const QImage& image) {
    if (image.isNull()) {
        return {};
    }
    if (image.depth() == 24) {
        return {image, 24};
    }
    return {image.convertToFormat(QImage::Format_RGB32), 32};
}

ScreenCapture grabScreenThrough(common::ScreenPictureSource& source, const QRect& area,
                                const QRect& desktop, QString& problem) {
    const common::ScreenPictureSource::Picture picture = source.takePicture();
    if (picture.path.empty()) {
        problem = QString::fromStdString(picture.problem);
        return {};
    }
    const QString path = QString::fromStdString(picture.path);
    QImage image(path);
    if (image.isNull()) {
        problem = QStringLiteral("the picture %1 cannot be read").arg(path);
        return {};
    }
    // The portal leaves its picture in the user's pictures folder: ours now.
    QFile::remove(path);
    if (!area.isEmpty() && !desktop.isEmpty()) {
        const double sx = static_cast<double>(image.width()) / desktop.width();
        const double sy = static_cast<double>(image.height()) / desktop.height();
        const QRect part = QRectF((area.x() - desktop.x()) * sx, (area.y() - desktop.y()) * sy,
                                  area.width() * sx, area.height() * sy)
                               .toAlignedRect();
        image = image.copy(part & image.rect());
    }
    return captureFromImage(image);
}

ScreenCapture grabScreen(const QRect& area) {
    QScreen* screen = area.isEmpty() ? QGuiApplication::primaryScreen()
                                     : QGuiApplication::screenAt(area.center());
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    if (screen == nullptr) {
        return {};
    }
    // Window 0 is the root window: the screen as it is shown, the area given
    // from the screen's corner.
    const QRect part = area.isEmpty() ? QRect(QPoint(0, 0), screen->geometry().size())
                                      : area.translated(-screen->geometry().topLeft());
    return captureFromImage(
        screen->grabWindow(0, part.x(), part.y(), part.width(), part.height()).toImage());
}

}  // namespace kalvo
