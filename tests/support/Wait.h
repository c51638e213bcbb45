#pragma once
// Waiting in tests: with a Qt application its events are served meanwhile.

#include <chrono>
#include <functional>

namespace tktest {

// Lets `time` pass; none is none: no events are served.
void pause(std::chrono::milliseconds time);

// Polls `done` every `every` until it holds; false once `limit` has passed.
bool waitUntil(const std::function<bool()>& done,
               std::chrono::milliseconds limit = std::chrono::seconds(5),
               std::chrono::milliseconds every = std::chrono::milliseconds(10));

// An X display is there to test on (DISPLAY is set).
bool haveDisplay();

}  // namespace tktest
