#include "tests/support/Wait.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <cstdlib>
#include <thread>

namespace tktest {

void pause(std::chrono::milliseconds time) {
    if (time.count() <= 0) {
        return;
    }
    if (QCoreApplication::instance() == nullptr) {
        std::this_thread::sleep_for(time);
        return;
    }
    const QDeadlineTimer deadline(time);
    do {
        QCoreApplication::processEvents(QEventLoop::AllEvents, deadline.remainingTime());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        const auto left = std::min<qint64>(deadline.remainingTime(), 2);
        if (left > 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(left));
        }
    } while (!deadline.hasExpired());
}

bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit,
               std::chrono::milliseconds every) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= end) {
            return false;
        }
        pause(every);
    }
    return true;
}

bool haveDisplay() {
    const char* display = std::getenv("DISPLAY");
    return display != nullptr && *display != '\0';
}

}  // namespace tktest
