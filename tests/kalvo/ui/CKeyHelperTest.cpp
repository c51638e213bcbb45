#include "kalvo/ui/CKeyHelper.h"

#include <gtest/gtest.h>

namespace kalvo {
namespace {

TEST(CKeyHelper, FormatsModifiersThenTheKey) {
    struct Case {
        ACCEL accel;
        const char* expected;
    };
    const Case cases[] = {
        {{FVIRTKEY | FCONTROL, 'S', 0}, "Ctrl+S"},
        {{FVIRTKEY | FCONTROL | FSHIFT | FALT, 0x2E, 0}, "Ctrl+Shift+Alt+Delete"},
        {{FVIRTKEY | FALT, 0x73, 0}, "Alt+F4"},
        {{FVIRTKEY, 0x21, 0}, "Page Up"},
        {{FVIRTKEY, 0x0D, 0}, "Enter"},
        {{FVIRTKEY | FSHIFT, 0x67, 0}, "Shift+Num 7"},
        {{FVIRTKEY, 0x1B, 0}, "Esc"},    // a virtual Escape key has its name
        {{FCONTROL, 'k', 0}, "Ctrl+k"},  // a character entry keeps its case
        {{0, 27, 0}, ""},                // the Escape character is left out
        {{FSHIFT, 27, 0}, "Shift+"},
        {{FVIRTKEY, 0xFF, 0}, ""},  // no name known
    };
    for (const Case& c : cases) {
        QString text = QStringLiteral("old");
        CKeyHelper(&c.accel).Format(text);
        EXPECT_EQ(text.toStdString(), c.expected);
    }
}

TEST(CKeyHelper, NoEntryGivesEmptyText) {
    QString text = QStringLiteral("old");

    CKeyHelper(nullptr).Format(text);

    EXPECT_TRUE(text.isEmpty());
}

}  // namespace
}  // namespace kalvo
