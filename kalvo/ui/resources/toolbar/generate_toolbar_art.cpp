// Draws Kalvo's toolbar button strips and program icons.
//
// Regenerate (from the repository root, after configuring build/<dir>):
//   cmake --build build/<dir> --target kalvo_art_generator
//   QT_QPA_PLATFORM=offscreen build/<dir>/bin/kalvo_art_generator kalvo/ui/resources/toolbar
//
// With "--app-icon SIZE FILE" it draws only the program icon at that size (the
// build uses it for the desktop's icon theme).
//
// Each strip is a 288 x 24, 24-bit BMP of twelve 24 x 24 button images in
// button order. Magenta (255, 0, 255) is the mask colour: it fills everything
// outside the icons, including the bottom-left pixel that the loader takes
// the mask from, and never appears inside an icon. Icons are drawn
// antialiased on a transparent layer and then settled onto the toolbar's
// face colour, so their edges need no partial transparency.

#include <QColor>
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr int kTile = 24;
constexpr int kCount = 12;
const QColor kMask(255, 0, 255);
// Face colour of the toolbar the icons are shown on (CTrueColorToolBar).
const QColor kFace(0xEE, 0xF0, 0xF3);

const QColor kInk(0x26, 0x32, 0x38);
const QColor kFrameGrey(0x54, 0x6E, 0x7A);

struct ModeLook {
    const char* name;
    int normalId;
    int hotId;
    int activeIndex;  // button of the mode, highlighted; -1 for none
    QColor tileTint;  // behind every icon in normal state; invalid: none
    QColor hotTint;   // behind the icon under the pointer
    QColor hotBorder;
};

void pen(QPainter& p, const QColor& c, double width) {
    p.setPen(QPen(c, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
}

// Icon painters draw in a 24 x 24 box.

void drawScreenPen(QPainter& p) {
    p.setBrush(QColor(0x90, 0xCA, 0xF9));
    pen(p, kInk, 1.6);
    p.drawRoundedRect(QRectF(2.5, 4.5, 16, 12), 1.5, 1.5);
    p.setBrush(kInk);
    p.drawPolygon(QPolygonF({{8.5, 16.5}, {12.5, 16.5}, {13.5, 19.5}, {7.5, 19.5}}));
    p.drawLine(QPointF(5.5, 20.5), QPointF(15.5, 20.5));
    pen(p, QColor(0xE5, 0x39, 0x35), 1.4);
    p.setBrush(Qt::NoBrush);
    QPainterPath squiggle(QPointF(5, 13));
    squiggle.cubicTo(QPointF(7, 8), QPointF(9, 15), QPointF(12, 10));
    p.drawPath(squiggle);
    // Pen over the screen, tip at its middle.
    p.save();
    p.translate(13.5, 11.5);
    p.rotate(-45);
    pen(p, kInk, 1);
    p.setBrush(QColor(0xFB, 0x8C, 0x00));
    p.drawRect(QRectF(3, -2, 10, 4));
    p.setBrush(QColor(0xFF, 0xE0, 0xB2));
    p.drawPolygon(QPolygonF({{3, -2}, {3, 2}, {-1.5, 0}}));
    p.restore();
}

void drawWhiteboard(QPainter& p) {
    pen(p, kFrameGrey, 1.8);
    p.drawLine(QPointF(8, 15), QPointF(5, 22));
    p.drawLine(QPointF(16, 15), QPointF(19, 22));
    p.drawLine(QPointF(12, 15), QPointF(12, 20));
    p.setBrush(Qt::white);
    pen(p, kFrameGrey, 1.6);
    p.drawRect(QRectF(2.5, 3.5, 19, 12));
    p.setBrush(Qt::NoBrush);
    pen(p, QColor(0x1E, 0x88, 0xE5), 1.4);
    QPainterPath wave(QPointF(5.5, 11));
    wave.cubicTo(QPointF(8, 5.5), QPointF(10, 13), QPointF(13, 8));
    wave.cubicTo(QPointF(15, 5.5), QPointF(17, 9), QPointF(18.5, 7));
    p.drawPath(wave);
}

void drawPenTool(QPainter& p) {
    pen(p, QColor(0x1E, 0x88, 0xE5), 1.3);
    p.drawLine(QPointF(3, 21), QPointF(9, 21));
    p.save();
    p.translate(4.5, 19.5);
    p.rotate(-45);
    pen(p, kInk, 1.1);
    p.setBrush(QColor(0x1E, 0x88, 0xE5));
    p.drawRoundedRect(QRectF(5, -3, 16, 6), 1.2, 1.2);
    p.setBrush(QColor(0xB0, 0xBE, 0xC5));
    p.drawRect(QRectF(17, -3, 4, 6));
    p.setBrush(QColor(0xFF, 0xE0, 0xB2));
    p.drawPolygon(QPolygonF({{5, -3}, {5, 3}, {-1, 0}}));
    p.setBrush(kInk);
    p.drawPolygon(QPolygonF({{1.2, -1.1}, {1.2, 1.1}, {-1, 0}}));
    p.restore();
}

void drawEraser(QPainter& p) {
    pen(p, kFrameGrey, 1.2);
    p.drawLine(QPointF(3, 21.5), QPointF(21, 21.5));
    p.save();
    p.translate(12, 12.5);
    p.rotate(-35);
    pen(p, kInk, 1.2);
    p.setBrush(QColor(0xF4, 0x8F, 0xB1));
    p.drawRoundedRect(QRectF(-9, -4.5, 9, 9), 1.5, 1.5);
    p.setBrush(QColor(0x5C, 0x6B, 0xC0));
    p.drawRoundedRect(QRectF(0, -4.5, 9, 9), 1.5, 1.5);
    p.restore();
}

void drawLineWidth(QPainter& p) {
    for (auto [y, w] : {std::pair{5.5, 1.0}, {11.0, 2.5}, {18.0, 4.5}}) {
        p.setPen(QPen(kInk, w, Qt::SolidLine, Qt::FlatCap));
        p.drawLine(QPointF(3, y), QPointF(21, y));
    }
}

void drawColor(QPainter& p) {
    const QColor slices[] = {{0xE5, 0x39, 0x35}, {0xFD, 0xD8, 0x35}, {0x43, 0xA0, 0x47},
                             {0x00, 0xAC, 0xC1}, {0x1E, 0x88, 0xE5}, {0x8E, 0x24, 0xAA}};
    const QRectF disc(2.5, 2.5, 19, 19);
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 6; ++i) {
        p.setBrush(slices[i]);
        p.drawPie(disc, (90 + i * 60) * 16, 60 * 16);
    }
    pen(p, kInk, 1.1);
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(disc);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(12, 12), 3.2, 3.2);
}

void drawClearBoard(QPainter& p) {
    p.setBrush(Qt::white);
    pen(p, kFrameGrey, 1.6);
    p.drawRect(QRectF(2.5, 3.5, 19, 15));
    pen(p, QColor(0x90, 0xA4, 0xAE), 1.2);
    p.drawLine(QPointF(5, 7.5), QPointF(12, 7.5));
    p.drawLine(QPointF(5, 11), QPointF(16, 11));
    p.drawLine(QPointF(5, 14.5), QPointF(10, 14.5));
    pen(p, QColor(0xE5, 0x39, 0x35), 2.6);
    p.drawLine(QPointF(12, 12), QPointF(20.5, 20.5));
    p.drawLine(QPointF(20.5, 12), QPointF(12, 20.5));
}

void drawSave(QPainter& p) {
    pen(p, kInk, 1.1);
    p.setBrush(QColor(0x15, 0x65, 0xC0));
    p.drawPolygon(QPolygonF({{3.5, 3.5}, {17.5, 3.5}, {20.5, 6.5}, {20.5, 20.5}, {3.5, 20.5}}));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xCF, 0xD8, 0xDC));
    p.drawRect(QRectF(7, 4, 9, 6));
    p.setBrush(QColor(0x15, 0x65, 0xC0));
    p.drawRect(QRectF(12.5, 5, 2, 4));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(6, 13, 12, 7));
    pen(p, QColor(0x90, 0xA4, 0xAE), 0.9);
    p.drawLine(QPointF(8, 15.5), QPointF(16, 15.5));
    p.drawLine(QPointF(8, 17.8), QPointF(16, 17.8));
}

void drawKeyboard(QPainter& p) {
    pen(p, kInk, 1.1);
    p.setBrush(QColor(0x45, 0x5A, 0x64));
    p.drawRoundedRect(QRectF(1.5, 6.5, 21, 12), 2, 2);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    for (int row = 0; row < 2; ++row) {
        for (int k = 0; k < 6; ++k) {
            p.drawRect(QRectF(3.5 + k * 3 + row * 1.0, 8.5 + row * 3, 2, 2));
        }
    }
    p.drawRect(QRectF(7, 14.5, 10, 2));
}

void drawHelp(QPainter& p) {
    pen(p, QColor(0x0D, 0x47, 0xA1), 1.1);
    p.setBrush(QColor(0x1E, 0x88, 0xE5));
    p.drawEllipse(QRectF(2.5, 2.5, 19, 19));
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(15);
    font.setBold(true);
    QPainterPath mark;
    mark.addText(0, 0, font, QStringLiteral("?"));
    const QRectF box = mark.boundingRect();
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawPath(mark.translated(12 - box.center().x(), 12 - box.center().y()));
}

void drawUnused(QPainter& p) {
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0xB0, 0xB6, 0xBC), 1, Qt::DashLine));
    p.drawRoundedRect(QRectF(5.5, 5.5, 13, 13), 2, 2);
}

void drawExit(QPainter& p) {
    pen(p, QColor(0xB7, 0x1C, 0x1C), 1.1);
    p.setBrush(QColor(0xE5, 0x39, 0x35));
    p.drawEllipse(QRectF(2.5, 2.5, 19, 19));
    pen(p, Qt::white, 2.2);
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(7, 7.5, 10, 10), 125 * 16, 290 * 16);
    p.drawLine(QPointF(12, 5.5), QPointF(12, 11.5));
}

const std::vector<std::function<void(QPainter&)>>& iconPainters() {
    static const std::vector<std::function<void(QPainter&)>> painters{
        drawScreenPen,  drawWhiteboard, drawPenTool,  drawEraser, drawLineWidth, drawColor,
        drawClearBoard, drawSave,       drawKeyboard, drawHelp,   drawUnused,    drawExit};
    return painters;
}

// The icon's own layer, antialiased, over a transparent background.
QImage iconLayer(int index, const QColor& tint, const QColor& border) {
    QImage layer(kTile, kTile, QImage::Format_ARGB32_Premultiplied);
    layer.fill(Qt::transparent);
    QPainter p(&layer);
    p.setRenderHint(QPainter::Antialiasing);
    if (tint.isValid()) {
        p.setPen(border.isValid() ? QPen(border, 1) : Qt::NoPen);
        p.setBrush(tint);
        p.drawRoundedRect(QRectF(0.5, 0.5, kTile - 1, kTile - 1), 3, 3);
    }
    iconPainters()[static_cast<std::size_t>(index)](p);
    return layer;
}

// Settles the layer onto the face colour: mostly transparent pixels become
// the mask colour, the others opaque.
void settleInto(QImage& strip, const QImage& layer, int index) {
    for (int y = 0; y < kTile; ++y) {
        for (int x = 0; x < kTile; ++x) {
            const QColor c = QColor::fromRgba(layer.pixel(x, y));
            QColor out = kMask;
            if (c.alpha() >= 110) {
                const double a = c.alphaF();
                out = QColor(qRound(c.red() * a + kFace.red() * (1 - a)),
                             qRound(c.green() * a + kFace.green() * (1 - a)),
                             qRound(c.blue() * a + kFace.blue() * (1 - a)));
                if (out == kMask) {
                    out.setRed(254);  // never the mask colour inside an icon
                }
            }
            strip.setPixelColor(index * kTile + x, y, out);
        }
    }
}

QImage buildStrip(const ModeLook& look, bool hot) {
    QImage strip(kTile * kCount, kTile, QImage::Format_RGB888);
    strip.fill(kMask);
    const QColor amber(0xFF, 0xCA, 0x58);
    const QColor amberHot(0xFF, 0xB3, 0x00);
    const QColor amberBorder(0xC7, 0x7C, 0x02);
    for (int i = 0; i < kCount; ++i) {
        QColor tint = hot ? look.hotTint : look.tileTint;
        QColor border = hot ? look.hotBorder : QColor();
        if (i == look.activeIndex) {
            tint = hot ? amberHot : amber;
            border = amberBorder;
        }
        settleInto(strip, iconLayer(i, tint, border), i);
    }
    return strip;
}

QImage buildAppIcon(int size, bool board) {
    QImage icon(size, size, QImage::Format_ARGB32);
    icon.fill(Qt::transparent);
    QPainter p(&icon);
    p.setRenderHint(QPainter::Antialiasing);
    const double s = size / 24.0;
    p.setPen(Qt::NoPen);
    p.setBrush(board ? QColor(0x43, 0xA0, 0x47) : QColor(0x15, 0x65, 0xC0));
    p.drawRoundedRect(QRectF(0, 0, size, size), 4 * s, 4 * s);
    p.scale(s, s);
    p.translate(1.5, 1.5);
    p.scale(21.0 / 24, 21.0 / 24);
    if (board) {
        drawWhiteboard(p);
    } else {
        drawScreenPen(p);
    }
    return icon;
}

bool save(const QImage& image, const QString& path) {
    if (!image.save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc == 4 && QString::fromLatin1(argv[1]) == QStringLiteral("--app-icon")) {
        const int size = QString::fromLatin1(argv[2]).toInt();
        if (size < 16 || size > 1024) {
            std::fprintf(stderr, "kalvo_art_generator: icon size %s is not 16..1024\n", argv[2]);
            return 2;
        }
        return save(buildAppIcon(size, false), QString::fromLocal8Bit(argv[3])) ? 0 : 1;
    }
    if (argc != 2) {
        std::fprintf(stderr,
                     "usage: kalvo_art_generator OUTPUT_FOLDER\n"
                     "       kalvo_art_generator --app-icon SIZE FILE\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!out.exists() && !QDir().mkpath(out.path())) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 1;
    }
    const ModeLook looks[] = {
        {"none", 209, 208, -1, QColor(), QColor(0xD6, 0xE6, 0xFA), QColor(0x5C, 0x8F, 0xD6)},
        {"screen", 207, 210, 0, QColor(0xD4, 0xE6, 0xFF), QColor(0xB3, 0xD1, 0xFF),
         QColor(0x3D, 0x7B, 0xD9)},
        {"whiteboard", 211, 212, 1, QColor(0xDC, 0xF2, 0xDA), QColor(0xBD, 0xE5, 0xB9),
         QColor(0x3F, 0x9C, 0x47)},
    };
    bool ok = true;
    for (const ModeLook& look : looks) {
        ok &= save(buildStrip(look, false),
                   out.filePath(QStringLiteral("%1.bmp").arg(look.normalId)));
        ok &= save(buildStrip(look, true), out.filePath(QStringLiteral("%1.bmp").arg(look.hotId)));
    }
    for (int size : {16, 32, 48}) {
        ok &= save(buildAppIcon(size, false), out.filePath(QStringLiteral("149-%1.png").arg(size)));
        ok &= save(buildAppIcon(size, true), out.filePath(QStringLiteral("151-%1.png").arg(size)));
    }
    return ok ? 0 : 1;
}
