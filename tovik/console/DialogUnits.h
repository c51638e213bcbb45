#pragma once
// Converts dialog units to pixels with the dialog font's metrics, so that the
// dialogs keep the proportions of their templates: x * baseX / 4 and
// y * baseY / 8, baseX the average width of the Latin letters and baseY the
// font's height.

#include <QFont>
#include <QRect>

class QWidget;

namespace tovik {

class DialogUnits {
public:
    explicit DialogUnits(const QFont& font);
    DialogUnits(int baseX, int baseY) : baseX_(baseX), baseY_(baseY) {}

    [[nodiscard]] int baseX() const { return baseX_; }
    [[nodiscard]] int baseY() const { return baseY_; }
    [[nodiscard]] int x(int du) const;
    [[nodiscard]] int y(int du) const;
    [[nodiscard]] QRect rect(int x, int y, int width, int height) const;
    [[nodiscard]] QSize size(int width, int height) const;

    // Gives the widget its rectangle in dialog units.
    void place(QWidget& widget, int x, int y, int width, int height) const;

private:
    int baseX_;
    int baseY_;
};

// The dialogs' font: a CJK face at the given size, or the application's
// default font at that size when the face is not installed.
[[nodiscard]] QFont DialogFont(int pointSize);

}  // namespace tovik
