#pragma once
// An injectable clock: procedures that wait or measure time take one, so tests
// can pin time and skip the waits.

#include <atomic>
#include <chrono>
#include <thread>

namespace common {

class Clock {
public:
    using time_point = std::chrono::steady_clock::time_point;
    virtual ~Clock() = default;
    [[nodiscard]] virtual time_point now() const = 0;
    virtual void sleepFor(std::chrono::milliseconds ms) = 0;
};

class SystemClock final : public Clock {
public:
    time_point now() const override { return std::chrono::steady_clock::now(); }
    void sleepFor(std::chrono::milliseconds ms) override { std::this_thread::sleep_for(ms); }
};

// Time moves only when told to, or by the amount a sleep asks for.
class FakeClock final : public Clock {
public:
    time_point now() const override { return time_point(std::chrono::nanoseconds(ns_.load())); }
    void sleepFor(std::chrono::milliseconds ms) override { advance(ms); }
    void advance(std::chrono::nanoseconds d) { ns_ += d.count(); }

private:
    std::atomic<long long> ns_{1'000'000'000};
};

}  // namespace common
