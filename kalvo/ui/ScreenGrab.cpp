#include "kalvo/ui/ScreenGrab.h"

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

ScreenCapture grabScreenThrough(common::ScreenPictureSource& source, QString& problem) {
    const common::ScreenPictureSource::Picture picture = source.takePicture();
    if (picture.path.empty()) {
        problem = QString::fromStdString(picture.problem);
        return {};
    }
    const QString path = QString::fromStdString(picture.path);
    const QImage image(path);
    if (image.isNull()) {
        problem = QStringLiteral("the picture %1 cannot be read").arg(path);
        return {};
    }
    return captureFromImage(image);
}

ScreenCapture grabScreen() {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return {};
    }
    // Window 0 is the root window: the whole screen as it is shown.
    return captureFromImage(screen->grabWindow(0).toImage());
}

}  // namespace kalvo
