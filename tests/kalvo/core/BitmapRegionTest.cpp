#include "kalvo/core/BitmapRegion.h"

#include <gtest/gtest.h>

#include <cstring>

namespace kalvo {
namespace {

// '#' opaque (black), '.' transparent (white), 'r' opaque red.
QImage fromRows(const std::vector<const char*>& rows) {
    const int w = static_cast<int>(std::strlen(rows[0]));
    QImage img(w, static_cast<int>(rows.size()), QImage::Format_RGB32);
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < w; ++x) {
            const char c = rows[std::size_t(y)][x];
            img.setPixel(x, y,
                         c == '.'   ? qRgb(255, 255, 255)
                         : c == 'r' ? qRgb(255, 0, 0)
                                    : qRgb(0, 0, 0));
        }
    }
    return img;
}

TEST(BitmapRegion, RunsMatchHandComputedRectangles) {
    const QImage img = fromRows({
        "..##..",  // run in the middle
        "......",  // all transparent: no rectangle
        "#r.###",  // run from the left edge, run touching the right edge
        "######",  // whole row
        ".#.#.#",  // single pixels, last one at the right edge
    });

    const auto runs = bitmapRegionRuns(img, 0xFFFFFF, QSize(6, 5));

    const std::vector<RegionRect> expected = {
        {2, 0, 4, 1}, {0, 2, 2, 3}, {3, 2, 6, 3}, {0, 3, 6, 4},
        {1, 4, 2, 5}, {3, 4, 4, 5}, {5, 4, 6, 5},
    };
    EXPECT_EQ(runs, expected);
}

TEST(BitmapRegion, ScanIsLimitedToTheClientSize) {
    const QImage img = fromRows({"####", "####", "####"});

    const auto runs = bitmapRegionRuns(img, 0xFFFFFF, QSize(2, 1));
    const auto wide = bitmapRegionRuns(img, 0xFFFFFF, QSize(100, 100));

    EXPECT_EQ(runs, (std::vector<RegionRect>{{0, 0, 2, 1}}));
    ASSERT_EQ(wide.size(), 3u);
    EXPECT_EQ(wide.back(), (RegionRect{0, 2, 4, 3}));
}

TEST(BitmapRegion, TransparentColourIsTheGivenColourRef) {
    const QImage img = fromRows({"#r#."});

    // 0x0000FF is red in the 0x00BBGGRR form.
    const auto runs = bitmapRegionRuns(img, 0x0000FF, QSize(4, 1));

    EXPECT_EQ(runs, (std::vector<RegionRect>{{0, 0, 1, 1}, {2, 0, 4, 1}}));
    EXPECT_TRUE(bitmapRegionRuns(QImage(), 0xFFFFFF, QSize(4, 4)).empty());
}

}  // namespace
}  // namespace kalvo
