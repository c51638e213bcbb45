#include "kalvo/ui/CMyColorDlg.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

#include "kalvo/core/ColorDialogPlacement.h"

namespace kalvo {
namespace {

TEST(CMYCOLORDLG, OpensAtTheColourButtonKeptOnTheScreen) {
    const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
    const QRect toolbar(screen.width() - 40, 100, 30, 320);
    const QRect button(3, 130, 24, 24);
    CMYCOLORDLG dlg(0x0000FF, toolbar, button);

    dlg.show();

    EXPECT_EQ(dlg.pos(),
              PlaceColorDialog(toolbar, button, dlg.frameGeometry().size(), dlg.screenArea()));
    EXPECT_LE(dlg.frameGeometry().right(), screen.width() - 1);
    EXPECT_EQ(dlg.currentColor(), QColor(255, 0, 0));
    dlg.reject();
}

TEST(CMYCOLORDLG, OkGivesTheChosenColourAndCancelKeepsIt) {
    // The dialog opened on red, 10, 20, 30 picked in it, then OK or Cancel.
    const auto choose = [](bool ok) {
        QTimer::singleShot(0, [ok] {
            auto* dlg = qobject_cast<CMYCOLORDLG*>(QApplication::activeModalWidget());
            ASSERT_NE(dlg, nullptr);
            dlg->setCurrentColor(QColor(10, 20, 30));
            ok ? dlg->accept() : dlg->reject();
        });
        return CMYCOLORDLG::ChooseColor(0x0000FF, QRect(0, 0, 30, 300), QRect(3, 3, 24, 24));
    };

    EXPECT_EQ(choose(true), std::optional<COLORREF>(0x1E140A));
    EXPECT_EQ(choose(false), std::nullopt);
}

}  // namespace
}  // namespace kalvo
