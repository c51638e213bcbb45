#include "kalvo/ui/CMenuXP.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <QPainter>
#include <QTest>
#include <QTimer>

#include "KalvoUiTest.h"

namespace kalvo {
namespace {

using test::fixedMetrics;

QPixmap solidIcon(QColor c, int w = 16, int h = 16) {
    QPixmap p(w, h);
    p.fill(c);
    return p;
}

QRgb rgbOf(COLORREF c) {
    return toQColor(c).rgb();
}

void addText(CMenuXP& menu, int id, const QString& text, unsigned flags = 0, QPixmap icon = {}) {
    menu.AppendOwnerItem(flags, std::make_unique<CMenuXPText>(id, text, std::move(icon)));
}

// The square at the left of an item's row where its icon stands.
QRect iconArea(const QRect& row) {
    return QRect(row.topLeft(), QSize(row.height(), row.height()));
}

TEST(CMenuXP, ItemsStartWithTheirDefaults) {
    const CMenuXPText text(7, QStringLiteral("Open"));
    const CMenuXPSideBar bar(30, QStringLiteral("Bar"));
    const CMenuXPButton button(9, solidIcon(Qt::red));
    const CMenuXP menu(fixedMetrics());

    EXPECT_EQ(text.m_id, 7);
    EXPECT_EQ(text.m_size, 16);
    EXPECT_FALSE(text.m_isSeparator || text.m_isSideBar || text.m_isButton);
    EXPECT_TRUE(bar.m_isSideBar);
    EXPECT_EQ(bar.m_size, 30);
    EXPECT_EQ(bar.m_id, 0);
    EXPECT_TRUE(button.m_isButton);
    EXPECT_EQ(menu.m_crGradientFrom, 0xFFAA82u);
    EXPECT_EQ(menu.m_crGradientTo, 0x3C0806u);
    EXPECT_EQ(menu.m_style, 0);
    EXPECT_EQ(menu.m_crBackground, fixedMetrics().menu);
    EXPECT_EQ(menu.m_crSelection, fixedMetrics().highlight);
}

TEST(CMenuXP, MeasureItemSizesEachKind) {
    const MenuXPMetrics metrics = fixedMetrics();
    const CMenuXP menu(metrics);
    const QFontMetrics fm(metrics.menuFont);
    const int textHeight = fm.height();
    const CMenuXPText text(1, QStringLiteral("Save as image"));
    CMenuXPText big(2, QStringLiteral("x"));
    big.m_size = 32;
    const CMenuXPButton button(3, solidIcon(Qt::red));
    const CMenuXPSideBar bar(24, QString());
    const CMenuXPSeparator separator;

    const QSize t = menu.MeasureItem(text);
    const QSize b = menu.MeasureItem(big);
    const QSize k = menu.MeasureItem(button);

    // The check-mark width (15) the system adds is taken off in advance.
    EXPECT_EQ(t.height(), std::max(20, textHeight));
    EXPECT_EQ(t.width(), 32 + fm.horizontalAdvance(QStringLiteral("Save as image")) + 12 - 14);
    EXPECT_EQ(b.height(), std::max(36, textHeight));
    EXPECT_EQ(k.width(), k.height() - 14);
    EXPECT_EQ(menu.MeasureItem(bar), QSize(24 - 14, 0));
    EXPECT_EQ(menu.MeasureItem(separator), QSize(-14, 7));
}

TEST(CMenuXP, ItemAfterASideBarStartsANewColumnAndTheBarCannotBeChosen) {
    CMenuXP menu(fixedMetrics());
    menu.AppendSideBar(std::make_unique<CMenuXPSideBar>(20, QStringLiteral("Kalvo")));
    EXPECT_TRUE(menu.m_breakPending);
    addText(menu, 10, "First item");
    menu.AppendOwnerItem(0, std::make_unique<CMenuXPButton>(11, solidIcon(Qt::blue)));
    menu.AppendSeparator();
    addText(menu, 12, "Off", MF_GRAYED);

    const CMenuXP::Layout layout = menu.ComputeLayout();

    const auto& r = layout.itemRects;
    EXPECT_FALSE(menu.m_breakPending);
    EXPECT_EQ(menu.GetItemFlags(1) & MF_MENUBREAK, MF_MENUBREAK);
    EXPECT_EQ(r[0].left(), CMenuXP::kBorder);
    EXPECT_EQ(r[0].width(), 20);
    EXPECT_EQ(r[1].left(), r[0].right() + 1);  // new column
    EXPECT_EQ(r[1].top(), CMenuXP::kBorder);
    EXPECT_EQ(r[2].top(), r[1].bottom() + 1);
    EXPECT_EQ(r[2].width(), r[1].width());  // a button spans its column
    EXPECT_EQ(r[3].height(), 7);
    EXPECT_EQ(r[0].height(), r[1].height() + r[2].height() + r[3].height() + r[4].height());
    EXPECT_EQ(layout.size,
              QSize(r[1].right() + 1 + CMenuXP::kBorder, r[4].bottom() + 1 + CMenuXP::kBorder));
    EXPECT_FALSE(menu.IsChoosable(0));  // side bar
    EXPECT_TRUE(menu.IsChoosable(1));
    EXPECT_TRUE(menu.IsChoosable(2));
    EXPECT_FALSE(menu.IsChoosable(3));  // separator
    EXPECT_FALSE(menu.IsChoosable(4));  // disabled
}

TEST(CMenuXP, AcceleratorTextIsAppendedAfterATab) {
    CMenuXP menu(fixedMetrics());
    const ACCEL accel{FVIRTKEY | FCONTROL, 'S', 1};
    const ACCEL none{};

    menu.AppendOwnerItem(0, std::make_unique<CMenuXPText>(1, QStringLiteral("Save")), &accel);
    menu.AppendOwnerItem(0, std::make_unique<CMenuXPText>(2, QStringLiteral("Plain")), &none);

    EXPECT_EQ(menu.GetItem(0).m_text, QStringLiteral("Save\tCtrl+S"));
    EXPECT_EQ(menu.GetItem(1).m_text, QStringLiteral("Plain"));
}

TEST(CMenuXP, Style2SelectionHasABlackOnePixelFrame) {
    CMenuXP menu(fixedMetrics());
    menu.m_style = 2;
    menu.m_crSelection = 0xFF9966;
    menu.m_crBackground = 0xF2F2FF;
    addText(menu, 1, "One");
    addText(menu, 2, "Two");
    const QRect r = menu.ComputeLayout().itemRects[1];

    const QImage selected = menu.Render(1);
    const QImage plain = menu.Render(-1);

    for (const QPoint p : {r.topLeft(), r.topRight(), r.bottomLeft(), r.bottomRight(),
                           QPoint(r.center().x(), r.top()), QPoint(r.left(), r.center().y())}) {
        EXPECT_EQ(selected.pixel(p), qRgb(0, 0, 0)) << p.x() << "," << p.y();
        EXPECT_NE(plain.pixel(p), qRgb(0, 0, 0)) << p.x() << "," << p.y();
    }
    // Unselected: the icon column and the item background.
    EXPECT_EQ(plain.pixel(r.left(), r.center().y()), rgbOf(menu.m_crIconArea));
    EXPECT_EQ(plain.pixel(r.right(), r.center().y()), rgbOf(0xF2F2FF));
    EXPECT_EQ(selected.pixel(r.right() - 2, r.top() + 1), rgbOf(0xFF9966));
}

TEST(CMenuXP, Style0SelectedIconGetsARaisedEdgeAndCheckedASunkenOne) {
    const MenuXPMetrics metrics = fixedMetrics();
    CMenuXP menu(metrics);
    addText(menu, 1, "Pen", 0, solidIcon(Qt::red));
    addText(menu, 2, "Ink", MF_CHECKED, solidIcon(Qt::red));
    const auto rects = menu.ComputeLayout().itemRects;
    const QRect icon0 = iconArea(rects[0]);
    const QRect icon1 = iconArea(rects[1]);

    const QImage selected = menu.Render(0);
    const QImage plain = menu.Render(-1);

    EXPECT_EQ(selected.pixel(icon0.left(), icon0.center().y()), rgbOf(metrics.buttonHighlight));
    EXPECT_EQ(selected.pixel(icon0.center().x(), icon0.top()), rgbOf(metrics.buttonHighlight));
    EXPECT_EQ(selected.pixel(icon0.right(), icon0.center().y()), rgbOf(metrics.buttonShadow));
    EXPECT_EQ(selected.pixel(icon0.center().x(), icon0.bottom()), rgbOf(metrics.buttonShadow));
    EXPECT_EQ(selected.pixel(icon0.center()), qRgb(255, 0, 0));  // the icon itself
    EXPECT_EQ(plain.pixel(icon0.left(), icon0.center().y()), rgbOf(metrics.menu));
    EXPECT_EQ(plain.pixel(icon1.left(), icon1.center().y()), rgbOf(metrics.buttonShadow));
    EXPECT_EQ(plain.pixel(icon1.right(), icon1.center().y()), rgbOf(metrics.buttonHighlight));
    // The selected row is painted in the selection colour beside the icon.
    EXPECT_EQ(selected.pixel(rects[0].right() - 2, rects[0].top() + 1), rgbOf(metrics.highlight));
}

TEST(CMenuXP, DisabledIconIsEmbossedAndStyle2SelectionShiftsTheIcon) {
    const MenuXPMetrics metrics = fixedMetrics();
    CMenuXP menu(metrics);
    addText(menu, 1, "A", MF_GRAYED, solidIcon(Qt::red));
    addText(menu, 2, "B", 0, solidIcon(Qt::red));
    const auto rects = menu.ComputeLayout().itemRects;
    const QRect inner0 = iconArea(rects[0]).adjusted(2, 2, -2, -2);
    const QRect inner1 = iconArea(rects[1]).adjusted(2, 2, -2, -2);

    const QImage plain = menu.Render(-1);
    menu.m_style = 2;
    const QImage hover = menu.Render(1);

    EXPECT_EQ(plain.pixel(inner0.center()), rgbOf(metrics.buttonShadow));
    EXPECT_EQ(plain.pixel(inner0.bottomRight() + QPoint(1, 1)), rgbOf(metrics.buttonHighlight));
    EXPECT_EQ(hover.pixel(inner1.topLeft() - QPoint(1, 1)), qRgb(255, 0, 0));
    EXPECT_EQ(hover.pixel(inner1.bottomRight() + QPoint(1, 1)), rgbOf(metrics.buttonShadow));
}

TEST(CMenuXP, SideBarGradientRunsFromTheFirstColourAtTheBottom) {
    CMenuXP menu(fixedMetrics());
    menu.m_crGradientFrom = 0x0000FF;  // red
    menu.m_crGradientTo = 0xFF0000;    // blue
    menu.AppendSideBar(std::make_unique<CMenuXPSideBar>(8, QString()));
    for (int i = 0; i < 6; ++i) {
        addText(menu, i + 1, "Item");
    }
    const QRect bar = menu.ComputeLayout().itemRects[0];

    const QImage img = menu.Render(-1);

    EXPECT_EQ(img.pixel(bar.left() + 1, bar.bottom()), qRgb(255, 0, 0));
    const QColor top = img.pixelColor(bar.left() + 1, bar.top());
    EXPECT_LE(top.red(), 8);
    EXPECT_GE(top.blue(), 247);
}

TEST(CMenuXP, SideBarIsWidenedByThreePixels) {
    CMenuXP menu(fixedMetrics());
    menu.m_crGradientFrom = 0x0000FF;
    QImage img(12, 10, QImage::Format_RGB32);
    img.fill(Qt::white);

    {
        QPainter dc(&img);
        menu.PaintSideBar(dc, QRect(1, 0, 4, 10), QPixmap(), QString());
    }

    EXPECT_EQ(img.pixel(0, 9), qRgb(255, 255, 255));
    EXPECT_EQ(img.pixel(7, 9), qRgb(255, 0, 0));
    EXPECT_EQ(img.pixel(8, 9), qRgb(255, 255, 255));
}

TEST(CMenuXP, SideBarCaptionIsBoldAndSixteenPixelsHighFromAscentToDescent) {
    const QFont font = CMenuXP::SideBarFont();
    const QFontMetrics metrics(font);

    EXPECT_TRUE(font.bold());
    EXPECT_LE(metrics.height(), 16);
    EXPECT_GE(metrics.height(), 14);
}

TEST(CMenuXP, GradientStepsFollowTheIntegerFormula) {
    // Height 3: rows from the bottom take steps 0, 85, 170.
    const QImage v =
        CMenuXP::GradientBitmap(QSize(2, 3), 0x000000, 0xFFFFFF, GradientDirection::Vertical);
    const QImage h =
        CMenuXP::GradientBitmap(QSize(4, 1), 0x0000C8, 0x000000, GradientDirection::Horizontal);

    EXPECT_EQ(v.pixel(0, 2), qRgb(0, 0, 0));
    EXPECT_EQ(v.pixel(1, 1), qRgb(85, 85, 85));
    EXPECT_EQ(v.pixel(0, 0), qRgb(170, 170, 170));
    // Red 200 falling to 0 over steps 0, 64, 128, 192: 200 - 200 * k / 255.
    EXPECT_EQ(qRed(h.pixel(0, 0)), 200);
    EXPECT_EQ(qRed(h.pixel(1, 0)), 200 - 200 * 64 / 255);
    EXPECT_EQ(qRed(h.pixel(3, 0)), 200 - 200 * 192 / 255);
}

// Columns of the item's rows that hold text-coloured pixels.
std::pair<int, int> inkExtent(const QImage& img, const QRect& r, QRgb ink) {
    int first = -1;
    int last = -1;
    for (int x = r.left(); x <= r.right(); ++x) {
        for (int y = r.top(); y <= r.bottom(); ++y) {
            if (qGray(img.pixel(x, y)) < qGray(ink) + 100) {
                first = first < 0 ? x : first;
                last = x;
                break;
            }
        }
    }
    return {first, last};
}

TEST(CMenuXP, TextAfterATabIsRightAligned) {
    const MenuXPMetrics metrics = fixedMetrics();
    CMenuXP menu(metrics);
    menu.m_crText = 0x000000;
    addText(menu, 1, "A long long item name");
    addText(menu, 2, "X\tY");
    const auto rects = menu.ComputeLayout().itemRects;

    const QImage img = menu.Render(-1);

    const QRect row = rects[1];
    const int textLeft = row.left() + row.height() + 2;
    const int textRight = row.right() - 16;
    const auto [first, last] = inkExtent(img, row, qRgb(0, 0, 0));
    ASSERT_GE(first, 0);
    EXPECT_LE(first - textLeft, 3);
    EXPECT_LE(textRight - last, 3);
    EXPECT_GT(last - first, 60);
    // Without the tab nothing is drawn near the right end.
    const auto [first0, last0] = inkExtent(img, rects[0], qRgb(0, 0, 0));
    EXPECT_LE(first0 - textLeft, 3);
}

TEST(CMenuXP, DefaultItemIsBoldAndDisabledTextIsGrey) {
    const MenuXPMetrics metrics = fixedMetrics();
    CMenuXP menu(metrics);
    addText(menu, 1, "Wwwww");
    addText(menu, 2, "Wwwww");
    addText(menu, 3, "Wwwww", MF_GRAYED);
    menu.SetDefaultItem(2);
    const auto rects = menu.ComputeLayout().itemRects;

    const QImage img = menu.Render(-1);

    const auto count = [&](const QRect& r, QRgb c) {
        int n = 0;
        for (int y = r.top(); y <= r.bottom(); ++y) {
            for (int x = r.left(); x <= r.right(); ++x) {
                n += img.pixel(x, y) == c ? 1 : 0;
            }
        }
        return n;
    };
    EXPECT_GT(count(rects[1], rgbOf(metrics.menuText)), count(rects[0], rgbOf(metrics.menuText)));
    EXPECT_EQ(count(rects[2], rgbOf(metrics.menuText)), 0);
    EXPECT_GT(count(rects[2], rgbOf(metrics.grayText)), 0);
    EXPECT_GT(count(rects[2], rgbOf(metrics.highlightText)), 0);  // the light copy
}

TEST(CMenuXP, SeparatorIsAnEtchedLine) {
    const MenuXPMetrics metrics = fixedMetrics();
    CMenuXP menu(metrics);
    addText(menu, 1, "A");
    menu.AppendSeparator();
    const QRect r = menu.ComputeLayout().itemRects[1];

    const QImage img = menu.Render(-1);

    const int mid = r.top() + r.height() / 2;
    EXPECT_EQ(img.pixel(r.center().x(), mid), rgbOf(metrics.buttonShadow));
    EXPECT_EQ(img.pixel(r.center().x(), mid + 1), rgbOf(metrics.buttonHighlight));
    EXPECT_EQ(img.pixel(r.center().x(), r.top()), rgbOf(metrics.menu));
}

class CMenuXPPopupTest : public ::testing::Test {
protected:
    void SetUp() override {
        menu_.AppendSideBar(std::make_unique<CMenuXPSideBar>(10, QString()));
        addText(menu_, 21, "One");
        addText(menu_, 22, "Two", MF_GRAYED);
        addText(menu_, 23, "Three");
    }
    CMenuXP menu_{fixedMetrics()};
};

TEST_F(CMenuXPPopupTest, HoverSelectsAndAClickReportsTheCommand) {
    CMenuXPPopup popup(menu_);
    std::vector<int> chosen;
    QObject::connect(&popup, &CMenuXPPopup::commandChosen, [&](int id) { chosen.push_back(id); });
    popup.popupAt(QPoint(20, 20));
    const auto& r = popup.layout().itemRects;

    QTest::mouseMove(&popup, r[3].center());
    EXPECT_EQ(popup.selectedIndex(), 3);
    QTest::mouseClick(&popup, Qt::LeftButton, {}, r[0].center());  // side bar
    QTest::mouseClick(&popup, Qt::LeftButton, {}, r[2].center());  // disabled
    EXPECT_TRUE(chosen.empty());
    EXPECT_TRUE(popup.isVisible());
    QTest::mouseClick(&popup, Qt::LeftButton, {}, r[3].center());

    EXPECT_EQ(chosen, std::vector<int>{23});
    EXPECT_FALSE(popup.isVisible());
}

TEST_F(CMenuXPPopupTest, KeyboardSkipsTheSideBarAndEscapeDismisses) {
    CMenuXPPopup popup(menu_);
    int dismissed = 0;
    QObject::connect(&popup, &CMenuXPPopup::dismissed, [&] { ++dismissed; });
    popup.popupAt(QPoint(20, 20));

    QTest::keyClick(&popup, Qt::Key_Down);
    EXPECT_EQ(popup.selectedIndex(), 1);
    QTest::keyClick(&popup, Qt::Key_Up);
    EXPECT_EQ(popup.selectedIndex(), 3);
    QTest::keyClick(&popup, Qt::Key_Escape);

    EXPECT_EQ(dismissed, 1);
    EXPECT_FALSE(popup.chosenCommand().has_value());
}

TEST_F(CMenuXPPopupTest, TrackPopupMenuWaitsForTheChoice) {
    int viaCallback = 0;
    test::clickPopupItemSoon(1);

    const int id = menu_.TrackPopupMenu(QPoint(50, 50), [&](int c) { viaCallback = c; });

    EXPECT_EQ(id, 21);
    EXPECT_EQ(viaCallback, 21);
    QTimer::singleShot(0, [] {
        if (QWidget* popup = QApplication::activePopupWidget()) {
            popup->close();
        }
    });
    EXPECT_EQ(menu_.TrackPopupMenu(QPoint(50, 50), [&](int) { viaCallback = -1; }), 0);
    EXPECT_EQ(viaCallback, 21);
}

}  // namespace
}  // namespace kalvo
