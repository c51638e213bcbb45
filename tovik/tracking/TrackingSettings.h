#pragma once
// The persisted tracking settings and the table of their keys in the settings
// file. The detection thread reads the tracking values on every frame while
// the UI thread edits them, so each of those is an atomic written whole.

#include <atomic>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "tovik/camera/ImageControls.h"

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
    // [Camera], keys "cam" followed by the control's name. Read and written
    // by the UI thread only.
    ImageControls camera;
    // [Functions]
    SharedInt MouseLeft{1};
    SharedInt F13Trig{1};
    // [Functions], beyond the 17: a right click by holding the pen still.
    // RightHold 0 = off, else 300..3000 ms; RightRadius 2..50 px.
    SharedInt RightHold{0};
    SharedInt RightRadius{8};
    // [Software] "ReuseCalibration": 1 keeps a completed calibration and
    // uses it at the next start when camera and screen match; 0 = off.
    SharedInt ReuseCalibration{0};
    // [Accuracy]: improvements beyond the plain homography, all off by
    // default. LensCorrection acts from the next automatic calibration.
    SharedInt LensCorrection{0};
    SharedInt SubPixelSpot{0};
    SharedInt PointerSmoothing{0};
    // Never persisted: 21 at every start, 1..60 from the slider.
    SharedInt SamplingInterval{21};

    // [Software] "Screen": the projected monitor, by name or index; empty for
    // the primary. Read by the UI thread only (calibration and Run resolve
    // it), never by the detection thread.
    std::string Screen;
};

// One key of the settings file. SettingKeys() lists them in file order, the
// order they are read, written and printed; the file code, the dialogs'
// tests, the fault tests and the benchmarks all take them from there.
struct SettingKey {
    enum class Written {
        Always,    // every save writes it: the 17 keys of the first file form
        OnceUsed,  // once it differs from its default or the file has it
    };
    const char* section;
    const char* name;
    std::int32_t fileDefault;
    // What the settings dialog accepts; a key it does not edit takes any value.
    std::int32_t minimum;
    std::int32_t maximum;
    Written written;
    // Brings a value read from the file into range; null: used as read.
    std::int32_t (*clampOnLoad)(std::int32_t);
    // Exactly one of these names the value: a tracking integer, a camera
    // control, or the one text key ("Screen", default empty).
    SharedInt TrackingSettings::*integer;
    int ImageControls::*control;
    std::string TrackingSettings::*text;

    [[nodiscard]] bool isText() const { return text != nullptr; }
    // An integer key's value (not for the text key).
    [[nodiscard]] std::int32_t get(const TrackingSettings& s) const {
        return integer != nullptr ? (s.*integer).get() : s.camera.*control;
    }
    void set(TrackingSettings& s, std::int32_t v) const {
        if (integer != nullptr) {
            (s.*integer) = v;
        } else {
            s.camera.*control = v;
        }
    }
};

[[nodiscard]] std::span<const SettingKey> SettingKeys();
// The key of that name; the program ends when there is none (a misspelt name
// in the program's own code).
[[nodiscard]] const SettingKey& FindSettingKey(std::string_view name);

}  // namespace tovik
