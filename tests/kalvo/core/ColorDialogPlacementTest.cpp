#include "kalvo/core/ColorDialogPlacement.h"

#include <gtest/gtest.h>

namespace kalvo {
namespace {

struct PlacementCase {
    const char* name;
    QRect toolbar;
    QRect button;
    QSize dialog;
    QPoint expected;
};

TEST(ColorDialogPlacement, OpensAtTheButtonAndStaysOnTheScreen) {
    const QSize screen(1280, 800);
    const PlacementCase cases[] = {
        {"fits", QRect(100, 50, 30, 300), QRect(3, 130, 24, 24), QSize(400, 300), {103, 180}},
        {"right edge",
         QRect(1240, 50, 30, 300),
         QRect(3, 130, 24, 24),
         QSize(400, 300),
         {880, 180}},
        {"bottom edge",
         QRect(100, 600, 30, 300),
         QRect(3, 130, 24, 24),
         QSize(400, 300),
         {103, 500}},
        {"wider than the screen",
         QRect(100, 50, 30, 300),
         QRect(3, 130, 24, 24),
         QSize(1500, 300),
         {0, 180}},
        {"taller than the screen",
         QRect(100, 50, 30, 300),
         QRect(3, 130, 24, 24),
         QSize(400, 900),
         {103, -100}},
        {"left of the screen",
         QRect(-60, 50, 30, 300),
         QRect(3, 130, 24, 24),
         QSize(400, 300),
         {0, 180}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PlaceColorDialog(c.toolbar, c.button, c.dialog, screen), c.expected) << c.name;
    }
}

}  // namespace
}  // namespace kalvo
