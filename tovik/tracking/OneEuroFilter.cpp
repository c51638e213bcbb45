#include "tovik/tracking/OneEuroFilter.h"

#include <chrono>
#include <cmath>

namespace tovik {

namespace {

// Smoothing factor of a first-order low pass with this cut-off, sampled
// every dt seconds.
double alpha(double cutoff, double dt) {
    const double tau = 1.0 / (2.0 * CV_PI * cutoff);
    return 1.0 / (1.0 + tau / dt);
}

}  // namespace

cv::Point2d OneEuroFilter::filter(cv::Point2d position, common::Clock::time_point t) {
    if (!last_) {
        last_ = State{position, {0, 0}, t};
        return position;
    }
    double dt = std::chrono::duration<double>(t - last_->t).count();
    if (!(dt > 1e-4)) {
        dt = 1.0 / 30.0;  // same time stamp: assume one camera frame
    }
    const cv::Point2d rawSpeed = (position - last_->position) / dt;
    const double a = alpha(p_.speedCutoff, dt);
    const cv::Point2d speed = last_->speed + a * (rawSpeed - last_->speed);
    const double cutoff = p_.minCutoff + p_.beta * std::hypot(speed.x, speed.y);
    const cv::Point2d smoothed = last_->position + alpha(cutoff, dt) * (position - last_->position);
    last_ = State{smoothed, speed, t};
    return smoothed;
}

}  // namespace tovik
