#pragma once
// The hand that calibrates: before each grab it touches the red dot the
// canvas shows with the simulated pen, lit and with F13 held, and lets go
// once the dot turns green. Shared by the calibration tests and benchmarks.

#include <set>

#include "sim/SimCamera.h"
#include "tovik/calibration/HeadlessCanvas.h"

namespace tktest {

class PenOnDots {
public:
    struct Options {
        bool pressF13 = true;
        // F13, and the light unless `darkWhileHeld`, stay on a green dot for
        // this many more grabs.
        int holdGrabs = 0;
        bool darkWhileHeld = false;
        // Where each dot touched is recorded (x * 10000 + y), if anywhere.
        std::set<int>* touched = nullptr;
    };

    PenOnDots(tovik::HeadlessCanvas& canvas, sim::SimCamera& camera, Options options)
        : canvas_(canvas), camera_(camera), options_(options) {}
    PenOnDots(tovik::HeadlessCanvas& canvas, sim::SimCamera& camera)
        : PenOnDots(canvas, camera, Options{}) {}

    // Call before each grab.
    void operator()() {
        const auto dot = canvas_.lastDot();
        if (!canvas_.shown() || !dot) {
            lift();
        } else if (dot->colour == tovik::DotColour::Red) {
            held_ = 0;
            camera_.setPen({double(dot->centre.x), double(dot->centre.y)}, true);
            camera_.pen().setButton(options_.pressF13);
            if (options_.touched != nullptr) {
                options_.touched->insert(dot->centre.x * 10000 + dot->centre.y);
            }
        } else if (held_++ >= options_.holdGrabs) {
            lift();
        } else if (options_.darkWhileHeld) {
            camera_.pen().setLit(false);
        }
    }

private:
    void lift() {
        camera_.pen().setLit(false);
        camera_.pen().setButton(false);
    }

    tovik::HeadlessCanvas& canvas_;
    sim::SimCamera& camera_;
    Options options_;
    int held_ = 0;
};

}  // namespace tktest
