#pragma once
// Shared by the calibration tests on a real X screen.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QThread>

#include <cstdlib>

namespace tovik::testing {

inline bool haveDisplay() {
    const char* d = std::getenv("DISPLAY");
    return d != nullptr && *d != '\0' && QGuiApplication::platformName() == "xcb";
}

// Serves the event loop until `done` holds or `ms` pass.
template <class Pred>
bool waitFor(Pred done, int ms) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > ms) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
    return true;
}

}  // namespace tovik::testing
