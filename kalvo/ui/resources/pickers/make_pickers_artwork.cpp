// Draws Kalvo's picker artwork (width icons, heading, eraser picture, tool
// cursors) into this folder, and optionally cuts the toolbar strips into one
// PNG per button for the help page.
//
// Regenerate (from the repository root, after building the tool):
//   build/<dir>/bin/make_pickers_artwork kalvo/ui/resources/pickers
//   build/<dir>/bin/make_pickers_artwork --help-images
//       kalvo/ui/resources/toolbar/<strip>.bmp kalvo/ui/help/images
// The tool is built by the target of the same name (kalvo/ui/pickers.cmake).

#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPolygon>
#include <QTransform>

#include <cstdio>

namespace {

// The sixteen colours of a 4-bit picture.
const QList<QRgb> kPalette16 = {
    qRgb(0, 0, 0),       qRgb(128, 0, 0),   qRgb(0, 128, 0),   qRgb(128, 128, 0),
    qRgb(0, 0, 128),     qRgb(128, 0, 128), qRgb(0, 128, 128), qRgb(192, 192, 192),
    qRgb(128, 128, 128), qRgb(255, 0, 0),   qRgb(0, 255, 0),   qRgb(255, 255, 0),
    qRgb(0, 0, 255),     qRgb(255, 0, 255), qRgb(0, 255, 255), qRgb(255, 255, 255),
};

bool save(const QImage& img, const QString& dir, const QString& name) {
    const QString path = dir + QLatin1Char('/') + name;
    if (!img.save(path, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

QImage transparentImage(int w, int h) {
    QImage img(w, h, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    return img;
}

// Width icons 222..227: a horizontal line 6 .. 1 pixels thick, sized for the
// 40 x 16 icon area of a width button.
QImage widthIcon(int thickness) {
    QImage img = transparentImage(40, 16);
    QPainter p(&img);
    const int top = (16 - thickness) / 2;
    p.fillRect(QRect(3, top, 34, thickness), QColor(0, 0, 0));
    return img;
}

// Heading 229: three lines of growing thickness beside a pen nib.
QImage headingIcon() {
    QImage img = transparentImage(16, 16);
    QPainter p(&img);
    p.fillRect(QRect(1, 3, 8, 1), Qt::black);
    p.fillRect(QRect(1, 7, 8, 2), Qt::black);
    p.fillRect(QRect(1, 12, 8, 3), Qt::black);
    const QPolygon nib(
        {QPoint(11, 1), QPoint(14, 1), QPoint(14, 10), QPoint(12, 14), QPoint(11, 10)});
    p.setPen(QColor(0, 0, 128));
    p.setBrush(QColor(0, 0, 255));
    p.drawPolygon(nib);
    return img;
}

// An eraser block tilted up to the right: a red rubber tip and a blue sleeve.
void drawEraser(QPainter& p, QPointF centre, double length, double thick, QColor tip, QColor sleeve,
                QColor outline) {
    p.save();
    p.translate(centre);
    p.rotate(-35);
    const QRectF body(-length / 2, -thick / 2, length, thick);
    const QRectF tipRect(body.left(), body.top(), length * 0.38, thick);
    p.setPen(Qt::NoPen);
    p.setBrush(sleeve);
    p.drawRect(body);
    p.setBrush(tip);
    p.drawRect(tipRect);
    p.setPen(outline);
    p.setBrush(Qt::NoBrush);
    p.drawRect(body);
    p.drawLine(QPointF(tipRect.right(), body.top()), QPointF(tipRect.right(), body.bottom()));
    p.restore();
}

// Bitmap 159: 52 x 51, sixteen colours, white background.
QImage eraserPicture() {
    QImage img(52, 51, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    drawEraser(p, QPointF(26, 25.5), 44, 20, QColor(255, 0, 0), QColor(0, 0, 128), QColor(0, 0, 0));
    p.end();
    return img.convertToFormat(QImage::Format_Indexed8, kPalette16, Qt::ThresholdDither);
}

// Cursor 165: a pencil whose tip is the hot spot at (1, 30).
QImage penCursor() {
    QImage img = transparentImage(32, 32);
    QPainter p(&img);
    p.translate(1, 30);
    p.rotate(-45);
    const QPolygonF tip({QPointF(0, 0), QPointF(7, -3.5), QPointF(7, 3.5)});
    p.setPen(Qt::black);
    p.setBrush(QColor(240, 200, 150));
    p.drawPolygon(tip);
    p.setBrush(Qt::black);
    p.drawPolygon(QPolygonF({QPointF(0, 0), QPointF(2.5, -1.2), QPointF(2.5, 1.2)}));
    p.setBrush(QColor(255, 210, 0));
    p.drawRect(QRectF(7, -3.5, 28, 7));
    return img;
}

// Cursors 233 (eraser, outline) and 168 (eraser pressed, filled); hot spot (15, 15).
QImage eraserCursor(bool pressed) {
    QImage img = transparentImage(32, 32);
    QPainter p(&img);
    if (pressed) {
        drawEraser(p, QPointF(15.5, 15.5), 24, 11, QColor(255, 0, 0), QColor(0, 0, 128), Qt::black);
    } else {
        drawEraser(p, QPointF(15.5, 15.5), 24, 11, Qt::white, Qt::white, Qt::black);
    }
    p.fillRect(QRect(15, 15, 2, 2), pressed ? Qt::white : Qt::black);
    return img;
}

// Cuts a strip of 24 x 24 button images; the bottom-left pixel is the mask colour.
int helpImages(const QString& strip, const QString& outDir) {
    const QImage img = QImage(strip).convertToFormat(QImage::Format_ARGB32);
    if (img.isNull() || img.height() < 1) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(strip));
        return 1;
    }
    QDir().mkpath(outDir);
    const QRgb mask = img.pixel(0, img.height() - 1);
    const int count = img.width() / img.height();
    for (int i = 0; i < count; ++i) {
        QImage button = img.copy(i * img.height(), 0, img.height(), img.height());
        for (int y = 0; y < button.height(); ++y) {
            for (int x = 0; x < button.width(); ++x) {
                if (button.pixel(x, y) == mask) {
                    button.setPixel(x, y, qRgba(0, 0, 0, 0));
                }
            }
        }
        if (!save(button, outDir, QStringLiteral("button%1.png").arg(i))) {
            return 1;
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() == 4 && args[1] == QLatin1String("--help-images")) {
        return helpImages(args[2], args[3]);
    }
    if (args.size() != 2) {
        std::fprintf(stderr,
                     "usage: make_pickers_artwork <out-dir>\n"
                     "       make_pickers_artwork --help-images <strip.bmp> <out-dir>\n");
        return 2;
    }
    const QString dir = args[1];
    QDir().mkpath(dir);
    bool ok = true;
    for (int id = 222; id <= 227; ++id) {
        ok = ok && save(widthIcon(228 - id), dir, QStringLiteral("icon%1.png").arg(id));
    }
    ok = ok && save(headingIcon(), dir, QStringLiteral("icon229.png"));
    ok = ok && save(eraserPicture(), dir, QStringLiteral("bitmap159.png"));
    ok = ok && save(penCursor(), dir, QStringLiteral("cursor165.png"));
    ok = ok && save(eraserCursor(false), dir, QStringLiteral("cursor233.png"));
    ok = ok && save(eraserCursor(true), dir, QStringLiteral("cursor168.png"));
    return ok ? 0 : 1;
}
