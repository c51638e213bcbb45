#pragma once
// The persisted tracking settings: 17 signed 32-bit values, plus the sampling
// interval beside them. The detection thread reads them on every frame while
// the UI thread edits them, so each value is an atomic written whole.

#include <atomic>
#include <cstdint>
#include <string>

namespace tovik {

// A 32-bit value that one thread writes whole and another reads; copyable so
// the record can be copied into and out of dialogs.
class SharedInt {
public:
    constexpr SharedInt(std::int32_t v = 0) noexcept : v_(v) {}  // NOLINT: implicit on purpose
    SharedInt(const SharedInt& o) noexcept : v_(o.get()) {}
    SharedInt& operator=(const SharedInt& o) noexcept {
        set(o.get());
        return *this;
    }
    SharedInt& operator=(std::int32_t v) noexcept {
        set(v);
        return *this;
    }
    operator std::int32_t() const noexcept { return get(); }  // NOLINT: implicit on purpose
    [[nodiscard]] std::int32_t get() const noexcept { return v_.load(std::memory_order_relaxed); }
    void set(std::int32_t v) noexcept { v_.store(v, std::memory_order_relaxed); }

private:
    std::atomic<std::int32_t> v_;
};

// Members carry the names of their keys. Initial values are those before the
// file is loaded; loading overwrites every persisted member.
struct TrackingSettings {
    // [Software]
    SharedInt Amp{0};
    SharedInt Area{0};
    SharedInt AreaUp{0};
    SharedInt Move{5};
    SharedInt DbClickThd{20};
    SharedInt RunExpoTime{-8};
    SharedInt AutoTh{1};
    // [Camera]
    SharedInt camBrightness{0};
    SharedInt camContrast{10};
    SharedInt camHue{0};
    SharedInt camSaturation{0};
    SharedInt camSharpness{4};
    SharedInt camGamma{130};
    SharedInt camBacklightCompensation{1};
    SharedInt camGain{0};
    // [Functions]
    SharedInt MouseLeft{1};
    SharedInt F13Trig{1};
    // Never persisted: 21 at every start, 1..60 from the slider.
    SharedInt SamplingInterval{21};

    // [Software] "Screen": the projected monitor, by name or index; empty for
    // the primary. Read by the UI thread only (calibration and Run resolve
    // it), never by the detection thread.
    std::string Screen;
};

}  // namespace tovik
