#pragma once
// What Kalvo's widget tests share: program paths inside a temporary folder, so
// tests never touch real preferences; menu metrics with a fixed font, so that
// sizes do not follow the desktop's; a click on the popup menu about to open.

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include "common/ini/ProgramPaths.h"
#include "kalvo/ui/CMenuXP.h"

namespace kalvo::test {

inline common::ProgramPaths pathsIn(const QTemporaryDir& dir) {
    return common::resolveProgramPaths(dir.path().toStdString() + "/kalvo", "kalvo", true);
}

inline MenuXPMetrics fixedMetrics() {
    MenuXPMetrics m;
    m.menuFont = QFont(QStringLiteral("DejaVu Sans"));
    m.menuFont.setPixelSize(12);
    return m;
}

// Item `index` of the popup menu about to open is clicked.
inline void clickPopupItemSoon(int index) {
    QTimer::singleShot(0, [index] {
        auto* popup = qobject_cast<CMenuXPPopup*>(QApplication::activePopupWidget());
        ASSERT_NE(popup, nullptr);
        QTest::mouseClick(popup, Qt::LeftButton, {}, popup->layout().itemRects[index].center());
    });
}

}  // namespace kalvo::test
