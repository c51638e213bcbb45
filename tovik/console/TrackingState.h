#pragma once
// Where the console's detection thread stands: not started until the first
// Run, then tracking or paused in turn until an exit asks it to stop.

namespace tovik {

class TrackingState {
public:
    [[nodiscard]] bool threadStarted() const { return phase_ != Phase::NotStarted; }
    [[nodiscard]] bool running() const { return phase_ == Phase::Tracking; }
    [[nodiscard]] bool paused() const { return phase_ == Phase::Paused; }
    [[nodiscard]] bool stopRequested() const { return stopRequested_; }

    // Run started the thread, or Continue resumed it.
    void track() { phase_ = Phase::Tracking; }
    // Pause parked a started thread.
    void pause() {
        if (threadStarted()) {
            phase_ = Phase::Paused;
        }
    }
    // Exit, from any state; the thread, if any, ends at its safe point.
    void requestStop() { stopRequested_ = true; }

private:
    enum class Phase { NotStarted, Tracking, Paused };
    Phase phase_ = Phase::NotStarted;
    bool stopRequested_ = false;
};

}  // namespace tovik
