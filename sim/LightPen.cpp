#include "sim/LightPen.h"

namespace sim {

void LightPen::moveTo(cv::Point2d position) {
    std::lock_guard lock(mutex_);
    glide_.reset();
    position_ = position;
}

void LightPen::setLit(bool lit) {
    std::lock_guard lock(mutex_);
    lit_ = lit;
}

void LightPen::set(cv::Point2d position, bool lit) {
    std::lock_guard lock(mutex_);
    glide_.reset();
    position_ = position;
    lit_ = lit;
}

void LightPen::setButton(bool down) {
    std::lock_guard lock(mutex_);
    if (down && !button_) {
        ++presses_;
    }
    button_ = down;
}

void LightPen::glide(cv::Point2d from, cv::Point2d to, std::chrono::milliseconds duration) {
    std::lock_guard lock(mutex_);
    if (duration.count() <= 0) {
        glide_.reset();
        position_ = to;
        return;
    }
    glide_ = Glide{from, to, Clock::now() - lag_, duration};
    position_ = to;  // where the pen rests once the glide is over
}

LightPen::State LightPen::stateAt(Clock::time_point t) const {
    std::lock_guard lock(mutex_);
    return stateLocked(t);
}

LightPen::State LightPen::state() const {
    std::lock_guard lock(mutex_);
    return stateLocked(Clock::now() - lag_);
}

LightPen::State LightPen::sample(Clock::time_point captured, Clock::duration period) {
    std::lock_guard lock(mutex_);
    if (!lastSample_ || captured > *lastSample_) {
        // A period of zero (a camera paced by its grabs) is never late.
        if (lastSample_ && period > Clock::duration::zero() &&
            captured - *lastSample_ > period * 3 / 2) {
            lag_ += captured - *lastSample_ - period;
        }
        lastSample_ = captured;
    }
    return stateLocked(captured - lag_);
}

bool LightPen::glideSeen() const {
    std::lock_guard lock(mutex_);
    return !glide_ || (lastSample_ && *lastSample_ - lag_ >= glide_->start + glide_->duration);
}

LightPen::State LightPen::stateLocked(Clock::time_point t) const {
    State s{position_, lit_, button_};
    if (glide_) {
        const double f = std::chrono::duration<double>(t - glide_->start).count() /
                         std::chrono::duration<double>(glide_->duration).count();
        if (f <= 0) {
            s.position = glide_->from;
        } else if (f < 1) {
            s.position = glide_->from + (glide_->to - glide_->from) * f;
        }
    }
    return s;
}

LightPen::Button LightPen::button() const {
    std::lock_guard lock(mutex_);
    return {button_, presses_};
}

}  // namespace sim
