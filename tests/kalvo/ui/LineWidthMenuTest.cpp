#include "kalvo/ui/LineWidthMenu.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QTimer>

#include "KalvoUiTest.h"

namespace kalvo {
namespace {

using test::fixedMetrics;

TEST(LineWidthMenu, HasTheSideBarHeadingAndSixWidthButtons) {
    const auto menu = BuildLineWidthMenu(fixedMetrics());

    ASSERT_EQ(menu->GetMenuItemCount(), 8);
    EXPECT_EQ(menu->m_style, 2);
    EXPECT_EQ(menu->m_crBackground, 0xF2F2FFu);
    EXPECT_EQ(menu->m_crSelection, 0xFF9966u);
    EXPECT_EQ(menu->m_crGradientFrom, 0xC0E67Du);
    EXPECT_EQ(menu->m_crGradientTo, 0u);
    EXPECT_TRUE(menu->GetItem(0).m_isSideBar);
    EXPECT_EQ(menu->GetItem(0).m_size, 2);
    EXPECT_FALSE(menu->IsChoosable(0));
    EXPECT_EQ(menu->GetItem(1).m_id, 5);
    EXPECT_FALSE(menu->GetItem(1).m_hIcon.isNull());
    for (int i = 0; i < 6; ++i) {
        const CMenuXPItem& b = menu->GetItem(2 + i);
        EXPECT_TRUE(b.m_isButton);
        EXPECT_EQ(b.m_id, 51 + i);
        EXPECT_FALSE(b.m_hIcon.isNull());
        EXPECT_EQ(lineWidthForCommand(b.m_id), i + 1);
    }
    EXPECT_EQ(lineWidthForCommand(5), std::nullopt);
    EXPECT_EQ(lineWidthForCommand(57), std::nullopt);
    EXPECT_EQ(lineWidthForCommand(50), std::nullopt);
}

TEST(LineWidthMenu, EachButtonShowsALineOfItsWidth) {
    const auto menu = BuildLineWidthMenu(fixedMetrics());
    const auto rects = menu->ComputeLayout().itemRects;

    const QImage img = menu->Render(-1);

    EXPECT_EQ(rects[1].left(), rects[0].right() + 1);  // beside the side bar
    for (int i = 0; i < 6; ++i) {
        const QRect r = rects[std::size_t(2 + i)];
        int inkRows = 0;
        for (int y = r.top(); y <= r.bottom(); ++y) {
            inkRows += img.pixel(r.center().x(), y) == qRgb(0, 0, 0) ? 1 : 0;
        }
        EXPECT_EQ(inkRows, i + 1) << "button " << 51 + i;
    }
}

TEST(LineWidthMenu, ChoosingAButtonGivesItsWidthAndDismissingGivesNothing) {
    test::clickPopupItemSoon(4);
    EXPECT_EQ(ChooseLineWidth(QPoint(100, 100)), 3);
    test::clickPopupItemSoon(1);
    EXPECT_EQ(ChooseLineWidth(QPoint(100, 100)), std::nullopt);  // the heading

    QTimer::singleShot(0,
                       [] { QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Escape); });
    EXPECT_EQ(ChooseLineWidth(QPoint(100, 100)), std::nullopt);
}

}  // namespace
}  // namespace kalvo
