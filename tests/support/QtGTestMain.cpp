// GoogleTest main for tests that need a Qt application object (widgets,
// painting). Tests that link only Qt Gui get a QGuiApplication. On Linux
// without an X display it still starts (offscreen), so that tests needing one
// can report themselves skipped.
#if __has_include(<QApplication>)
#include <QApplication>
using TestApplication = QApplication;
#else
#include <QGuiApplication>
using TestApplication = QGuiApplication;
#endif

#include <cstdlib>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
#ifdef __linux__
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0') {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    } else {
        setenv("QT_QPA_PLATFORM", "xcb", 0);
    }
#endif
    TestApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
