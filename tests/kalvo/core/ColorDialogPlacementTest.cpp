#include "kalvo/core/ColorDialogPlacement.h"

#include <gtest/gtest.h>

namespace kalvo {
namespace {

// Every toolbar here has its colour button at the same place.
QPoint place(QRect toolbar, QSize dialog, QRect screen) {
    return PlaceColorDialog(toolbar, QRect(3, 130, 24, 24), dialog, screen);
}

struct PlacementCase {
    const char* name;
    QRect toolbar;
    QSize dialog;
    QPoint expected;
};

TEST(ColorDialogPlacement, OpensAtTheButtonAndStaysOnTheScreen) {
    const QRect screen(0, 0, 1280, 800);
    const PlacementCase cases[] = {
        {"fits", QRect(100, 50, 30, 300), QSize(400, 300), {103, 180}},
        {"right edge", QRect(1240, 50, 30, 300), QSize(400, 300), {880, 180}},
        {"bottom edge", QRect(100, 600, 30, 300), QSize(400, 300), {103, 500}},
        {"wider than the screen", QRect(100, 50, 30, 300), QSize(1500, 300), {0, 180}},
        {"taller than the screen", QRect(100, 50, 30, 300), QSize(400, 900), {103, -100}},
        {"left of the screen", QRect(-60, 50, 30, 300), QSize(400, 300), {0, 180}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(place(c.toolbar, c.dialog, screen), c.expected) << c.name;
    }
}

TEST(ColorDialogPlacement, StaysOnTheToolbarsMonitorAboveItsPanel) {
    // A second monitor right of the first; a 40-pixel panel at its bottom.
    const QRect monitor(1280, 0, 1024, 728);

    const QPoint bottomRight = place(QRect(2260, 400, 30, 300), QSize(400, 450), monitor);
    const QPoint leftOfIt = place(QRect(1200, 50, 30, 300), QSize(400, 300), monitor);

    EXPECT_EQ(bottomRight, QPoint(1904, 278));
    EXPECT_EQ(leftOfIt, QPoint(1280, 180));
}

}  // namespace
}  // namespace kalvo
