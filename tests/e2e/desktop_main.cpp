// An ordinary window for the demo's desktop, so the ink has something to lie
// over: a coloured grid with labels, a title band and a few shapes.
//   e2e_desktop [--geometry WxH+X+Y]

#include <QApplication>
#include <QPainter>
#include <QRegularExpression>
#include <QWidget>

#include <cstdio>

namespace {

class TestPattern final : public QWidget {
protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const int w = width(), h = height();
        p.fillRect(rect(), QColor(236, 240, 244));
        const int band = std::max(28, h / 14);
        p.fillRect(0, 0, w, band, QColor(46, 74, 120));
        QFont title = font();
        title.setPixelSize(band * 55 / 100);
        title.setBold(true);
        p.setFont(title);
        p.setPen(Qt::white);
        p.drawText(QRect(12, 0, w - 24, band), Qt::AlignVCenter | Qt::AlignLeft,
                   QStringLiteral("Quarterly plan — projected desktop"));

        // A grid of soft coloured cells with their names.
        const QColor colours[] = {{255, 224, 178}, {200, 230, 201}, {187, 222, 251},
                                  {248, 187, 208}, {225, 190, 231}, {255, 249, 196}};
        const int columns = 6, rows = 4;
        const int gx = 16, gy = band + 16;
        const int cw = (w - 2 * gx) / columns, ch = (h - gy - 16) / rows;
        QFont label = font();
        label.setPixelSize(std::max(11, ch / 6));
        p.setFont(label);
        for (int r = 0; r < rows; ++r) {
            for (int c = 0; c < columns; ++c) {
                const QRect cell(gx + c * cw, gy + r * ch, cw - 6, ch - 6);
                p.fillRect(cell, colours[(r + c) % 6]);
                p.setPen(QColor(90, 96, 110));
                p.drawRect(cell);
                p.drawText(cell.adjusted(8, 6, -8, -6), Qt::AlignTop | Qt::AlignLeft,
                           QStringLiteral("%1%2").arg(QChar('A' + c)).arg(r + 1));
            }
        }
        p.setPen(QPen(QColor(60, 60, 60), 2));
        p.setBrush(QColor(255, 255, 255, 160));
        p.drawEllipse(QPoint(w * 3 / 4, gy + ch * 3), ch / 2, ch / 2);
        p.drawRoundedRect(QRect(w / 8, gy + ch * 3 - ch / 3, w / 5, ch * 2 / 3), 8, 8);
    }
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QRect geometry(80, 60, 900, 600);
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (arg == QLatin1String("--geometry") && i + 1 < argc) {
            const QRegularExpressionMatch m =
                QRegularExpression(QStringLiteral("^(\\d+)x(\\d+)\\+(\\d+)\\+(\\d+)$"))
                    .match(QString::fromLocal8Bit(argv[++i]));
            if (!m.hasMatch()) {
                std::fprintf(stderr, "e2e_desktop: --geometry WxH+X+Y\n");
                return 2;
            }
            geometry = QRect(m.captured(3).toInt(), m.captured(4).toInt(), m.captured(1).toInt(),
                             m.captured(2).toInt());
        } else {
            std::fprintf(stderr, "usage: e2e_desktop [--geometry WxH+X+Y]\n");
            return 2;
        }
    }
    TestPattern window;
    window.setWindowTitle(QStringLiteral("Test pattern"));
    window.setGeometry(geometry);
    window.show();
    return app.exec();
}
