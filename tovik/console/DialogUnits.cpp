#include "tovik/console/DialogUnits.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QWidget>

namespace tovik {

namespace {
constexpr const char* kDialogFace = "WenQuanYi Micro Hei";

int mulDiv(int value, int numerator, int denominator) {
    // Rounded to the nearest pixel, halves away from zero.
    const long long p = static_cast<long long>(value) * numerator;
    const long long half = denominator / 2;
    return static_cast<int>(p >= 0 ? (p + half) / denominator : (p - half) / denominator);
}
}  // namespace

DialogUnits::DialogUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    static const QString letters =
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const int width = metrics.horizontalAdvance(letters);
    baseX_ = std::max(1, (width + 26) / 52);
    baseY_ = std::max(1, metrics.height());
}

int DialogUnits::x(int du) const {
    return mulDiv(du, baseX_, 4);
}
int DialogUnits::y(int du) const {
    return mulDiv(du, baseY_, 8);
}

QRect DialogUnits::rect(int xDu, int yDu, int widthDu, int heightDu) const {
    const int left = x(xDu);
    const int top = y(yDu);
    return {left, top, x(xDu + widthDu) - left, y(yDu + heightDu) - top};
}

QSize DialogUnits::size(int widthDu, int heightDu) const {
    return {x(widthDu), y(heightDu)};
}

void DialogUnits::place(QWidget& widget, int xDu, int yDu, int widthDu, int heightDu) const {
    widget.setGeometry(rect(xDu, yDu, widthDu, heightDu));
}

QFont DialogFont(int pointSize) {
    QFont font(QString::fromLatin1(kDialogFace));
    font.setPointSize(pointSize);
    if (QFontInfo(font).family().compare(QString::fromLatin1(kDialogFace), Qt::CaseInsensitive) ==
        0) {
        return font;
    }
    QFont fallback = QGuiApplication::font();
    fallback.setPointSize(pointSize);
    return fallback;
}

}  // namespace tovik
