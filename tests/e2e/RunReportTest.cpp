// The report on synthetic runs: a run that went right passes with the numbers
// it was built with; each kind of fault fails its own check.

#include <gtest/gtest.h>

#include <cmath>
#include <regex>

#include <opencv2/imgproc.hpp>

#include "RunReport.h"

namespace e2e {
namespace {

constexpr std::uint32_t kRed = 0x0000FF;  // COLORREF
constexpr std::uint32_t kBlue = 0xFF0000;

const cv::Size kScreen(1000, 800);

// A pose that scales the screen into a 640 x 480 frame and shifts it.
cv::Matx33d pose() {
    return {0.5, 0, 40, 0, 0.5, 30, 0, 0, 1};
}

// The absolute coordinate the X server turns into pixel `p` on a side of `size`.
std::int32_t absoluteFor(double p, int size) {
    return static_cast<std::int32_t>(std::ceil(std::round(p) * 65536.0 / size));
}

// A run where the pen glides from (100, 100) to (700, 100) over 20 frames,
// one press, moves `offset` px off the pen, 8 ms latency, and Kalvo holding
// the stroke as segments.
RunRecords goodRun(double offset = 1.0) {
    RunRecords run;
    run.screen = kScreen;
    run.pose = pose();
    run.trace.calibrations.push_back({"auto", pose().inv()});
    const std::int64_t t0 = 5'000'000;
    for (int i = 0; i < 20; ++i) {
        SimFrame f;
        f.number = 100 + static_cast<std::uint64_t>(i);
        f.captureUs = t0 + i * 33'333;
        f.pen = {100.0 + i * 30.0, 100.0};
        f.lit = true;
        run.simFrames.push_back(f);
        run.trace.frames.push_back({f.number, f.captureUs, 2'000});
        const std::int64_t send = f.captureUs + 8'000;
        run.trace.events.push_back({send, 0x8001, absoluteFor(f.pen.x + offset, kScreen.width),
                                    absoluteFor(f.pen.y, kScreen.height), f.number, f.captureUs});
        if (i == 0) {
            run.trace.events.push_back({send, 0x0003, 0, 0, f.number, f.captureUs});
        }
    }
    run.trace.events.push_back({t0 + 20 * 33'333 + 8'000, 0x0005, 0, 0, 120, t0 + 20 * 33'333});
    run.simFrames.push_back({120, t0 + 20 * 33'333, {670, 100}, false});
    run.figure = {{kRed, {{100, 100}, {670, 100}}}};
    run.segments = std::vector<Segment>{};
    for (int x = 100; x < 670; x += 30) {
        run.segments->push_back({x + 1, 101, x + 31, 101, kRed, 3});
    }
    return run;
}

// Adds a hold of 30 frames at (400, 300) after the run, the pointer moved
// on every frame alternately `swing` px left and right of the pen.
void addHold(RunRecords& run, double swing) {
    const std::int64_t t0 = 9'000'000;
    for (int i = 0; i < 30; ++i) {
        SimFrame f{200 + static_cast<std::uint64_t>(i), t0 + i * 33'333, {400, 300}, true};
        run.simFrames.push_back(f);
        const double x = 400 + (i % 2 == 0 ? swing : -swing);
        run.trace.events.push_back({f.captureUs + 8'000, 0x8001, absoluteFor(x, kScreen.width),
                                    absoluteFor(300, kScreen.height), f.number, f.captureUs});
    }
}

TEST(RunReport, HoldJitterIsThePointersSpreadWhileThePenStaysStill) {
    RunRecords still = goodRun();
    addHold(still, 0);
    RunRecords shaky = goodRun();
    addHold(shaky, 1);

    const Report calm = computeReport(still);
    const Report jittery = computeReport(shaky);
    const Report none = computeReport(goodRun());

    EXPECT_NEAR(calm.holdJitterPxRms, 0.0, 1e-9);
    EXPECT_TRUE(calm.ok) << reportText(calm);
    EXPECT_NEAR(jittery.holdJitterPxRms, 1.0, 1e-9);  // pixels 399 and 401 around 400
    EXPECT_FALSE(jittery.ok);
    EXPECT_TRUE(std::isnan(none.holdJitterPxRms));  // the glide never holds still
}

TEST(RunReport, GoodRunPassesWithTheNumbersItWasBuiltWith) {
    const Report r = computeReport(goodRun(1.0));

    EXPECT_TRUE(r.ok) << reportText(r);
    EXPECT_EQ(r.calibration, "auto");
    EXPECT_NEAR(r.calibrationErrorPx, 0.0, 1e-6);
    EXPECT_NEAR(r.pointerErrorMeanPx, 1.0, 1e-9);
    EXPECT_NEAR(r.pointerErrorMaxPx, 1.0, 1e-9);
    EXPECT_EQ(r.moveEvents, 20);
    EXPECT_EQ(r.pressCount, 1);
    EXPECT_EQ(r.releaseCount, 1);
    EXPECT_EQ(r.frames, 20u);
    EXPECT_NEAR(r.fps, 30.0, 0.01);
    EXPECT_NEAR(r.detectMsMean, 2.0, 1e-9);
    EXPECT_NEAR(r.latencyMsP95, 8.0, 1e-9);
    EXPECT_EQ(r.segments, 19);
    EXPECT_NEAR(r.figureCoverage, 1.0, 1e-9);
    EXPECT_NEAR(r.segmentsOnFigure, 1.0, 1e-9);
}

// The same run on the right-hand monitor of two: absolute coordinates span
// that monitor, the pen, the figure and Kalvo's ink are in X screen pixels.
TEST(RunReport, PointerIsMeasuredOnTheTargetMonitor) {
    RunRecords run = goodRun(1.0);
    run.screen = {2 * kScreen.width, kScreen.height};
    run.monitor = {kScreen.width, 0, kScreen.width, kScreen.height};
    const cv::Point2d right(kScreen.width, 0);
    for (SimFrame& f : run.simFrames) {
        f.pen += right;
    }
    for (cv::Point2d& p : run.figure[0].points) {
        p += right;
    }
    for (Segment& g : *run.segments) {
        g.x1 += kScreen.width;
        g.x2 += kScreen.width;
    }
    const Report r = computeReport(run);

    EXPECT_TRUE(r.ok) << reportText(r);
    EXPECT_NEAR(r.pointerErrorMaxPx, 1.0, 1e-9);
    EXPECT_NEAR(r.calibrationErrorPx, 0.0, 1e-6);
    EXPECT_NEAR(r.figureCoverage, 1.0, 1e-9);
}

TEST(RunReport, CalibrationErrorIsTheMeanRoundTripDistance) {
    // Tovik's homography lands every point 3 px right and 4 px down.
    const cv::Matx33d shifted = cv::Matx33d(1, 0, 3, 0, 1, 4, 0, 0, 1) * pose().inv();

    EXPECT_NEAR(calibrationError(pose(), pose().inv(), kScreen), 0.0, 1e-9);
    EXPECT_NEAR(calibrationError(pose(), shifted, kScreen), 5.0, 1e-9);
    EXPECT_TRUE(std::isinf(calibrationError(pose(), cv::Matx33d::zeros(), kScreen)));
}

TEST(RunReport, PointerErrorsBeyondTheLimitsFail) {
    const Report near = computeReport(goodRun(2.0));
    const Report far = computeReport(goodRun(4.0));
    RunRecords spike = goodRun(1.0);
    spike.trace.events[5].dx = absoluteFor(spike.simFrames[4].pen.x + 7, kScreen.width);
    const Report spiked = computeReport(spike);

    EXPECT_TRUE(near.ok) << reportText(near);
    EXPECT_FALSE(far.ok);
    EXPECT_NEAR(far.pointerErrorMeanPx, 4.0, 1e-9);
    EXPECT_FALSE(spiked.ok);
    EXPECT_NEAR(spiked.pointerErrorMaxPx, 7.0, 1e-9);
    EXPECT_LT(spiked.pointerErrorMeanPx, 3.0);
}

TEST(RunReport, EachEventIsComparedWithItsOwnFrame) {
    // The event names frame 104 but carries the capture time of another:
    // the frames do not match, so the event cannot be measured.
    RunRecords stale = goodRun();
    stale.trace.events[5].captureUs += 1;
    RunRecords unknown = goodRun();
    unknown.trace.events[3].frame = 9999;

    EXPECT_FALSE(computeReport(stale).ok);
    EXPECT_FALSE(computeReport(unknown).ok);
    EXPECT_EQ(computeReport(unknown).moveEvents, 20);
}

TEST(RunReport, SnappedTapMovesAreNotMeasuredAsPointerMoves) {
    RunRecords run = goodRun();
    // A double tap's press goes to the first press point on purpose.
    run.trace.events.push_back({run.trace.events.back().sendUs + 1000, 0x8003,
                                absoluteFor(900, kScreen.width), absoluteFor(700, kScreen.height),
                                120, run.simFrames.back().captureUs});
    run.trace.events.push_back({run.trace.events.back().sendUs + 40000, 0x0005, 0, 0, 120,
                                run.simFrames.back().captureUs});

    const Report r = computeReport(run);

    EXPECT_TRUE(r.ok) << reportText(r);
    EXPECT_EQ(r.moveEvents, 20);
    EXPECT_EQ(r.pressCount, 2);
}

TEST(RunReport, ButtonsMustPairUp) {
    RunRecords lostRelease = goodRun();
    lostRelease.trace.events.pop_back();
    RunRecords doublePress = goodRun();
    doublePress.trace.events.insert(doublePress.trace.events.begin() + 3,
                                    doublePress.trace.events[1]);
    doublePress.trace.events.push_back(doublePress.trace.events.back());  // counts equal again
    RunRecords noPress = goodRun();
    std::erase_if(noPress.trace.events, [](const TraceEvent& e) { return (e.flags & 6) != 0; });

    EXPECT_FALSE(computeReport(lostRelease).ok);
    const Report d = computeReport(doublePress);
    EXPECT_EQ(d.pressCount, d.releaseCount);
    EXPECT_FALSE(d.ok);
    EXPECT_FALSE(computeReport(noPress).ok);
}

TEST(RunReport, RightClicksAreCountedAndCheckedWhenExpected) {
    RunRecords run = goodRun();
    const TraceEvent last = run.trace.events.back();  // the left release
    run.trace.events.pop_back();
    for (const std::uint32_t flags : {0x0005u, 0x0009u, 0x0011u}) {
        run.trace.events.push_back({last.sendUs, flags, 0, 0, last.frame, last.captureUs});
    }
    const Limits one{.rightClicks = 1}, none{.rightClicks = 0};
    RunRecords lostUp = run;
    lostUp.trace.events.pop_back();

    const Report r = computeReport(run, one);

    EXPECT_TRUE(r.ok) << reportText(r);
    EXPECT_EQ(r.rightClickCount, 1);
    EXPECT_NE(reportJson(r).find("\"right_click_count\": 1,"), std::string::npos);
    EXPECT_FALSE(computeReport(run, none).ok);
    EXPECT_FALSE(computeReport(lostUp).ok);
    EXPECT_TRUE(computeReport(goodRun(), none).ok);
}

TEST(RunReport, LatencyIsThe95thPercentileOfCaptureToEvent) {
    RunRecords run = goodRun();
    for (size_t i = 0; i < 3; ++i) {
        run.trace.events[i].sendUs += 100'000;  // 3 of 22 events late: above the 95th rank
    }

    const Report r = computeReport(run);

    EXPECT_NEAR(r.latencyMsP95, 108.0, 1e-9);
    EXPECT_TRUE(r.ok) << "a busy machine's latency is reported, not failed";
    EXPECT_DOUBLE_EQ(percentile({5, 1, 4, 2, 3}, 50), 3);
    EXPECT_DOUBLE_EQ(
        percentile({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20}, 95),
        19);
    EXPECT_TRUE(std::isnan(percentile({}, 95)));
}

TEST(RunReport, InkMustFollowTheFigureInItsColour) {
    RunRecords wrongColour = goodRun();
    for (Segment& s : *wrongColour.segments) {
        s.color = kBlue;
    }
    RunRecords half = goodRun();
    half.segments->resize(9);
    RunRecords stray = goodRun();
    for (int i = 0; i < 5; ++i) {
        stray.segments->push_back({500, 500 + i, 520, 500 + i, kRed, 3});
    }
    RunRecords noDump = goodRun();
    noDump.segments.reset();
    RunRecords lostStroke = goodRun();  // a short stroke without ink: the total still passes
    lostStroke.figure.push_back({kRed, {{300, 300}, {310, 300}}});

    EXPECT_FALSE(computeReport(wrongColour).ok);
    EXPECT_FALSE(computeReport(half).ok);
    EXPECT_LT(computeReport(half).figureCoverage, 0.6);
    const Report s = computeReport(stray);
    EXPECT_FALSE(s.ok);
    EXPECT_NEAR(s.segmentsOnFigure, 19.0 / 24.0, 1e-9);
    EXPECT_FALSE(computeReport(noDump).ok);
    EXPECT_EQ(computeReport(noDump).segments, -1);
    const Report l = computeReport(lostStroke);
    EXPECT_GT(l.figureCoverage, 0.9);
    EXPECT_FALSE(l.ok);
}

TEST(RunReport, ScreenshotMustShowTheInk) {
    RunRecords inked = goodRun();
    inked.screenshot = cv::Mat(kScreen, CV_8UC3, cv::Scalar(200, 200, 200));
    cv::line(inked.screenshot, {102, 102}, {668, 102}, cv::Scalar(0, 0, 250), 3);
    RunRecords blank = goodRun();
    blank.screenshot = cv::Mat(kScreen, CV_8UC3, cv::Scalar(200, 200, 200));

    const Report withInk = computeReport(inked);
    const Report without = computeReport(blank);

    EXPECT_TRUE(withInk.ok) << reportText(withInk);
    EXPECT_NEAR(withInk.screenInk, 1.0, 1e-9);
    EXPECT_FALSE(without.ok);
    EXPECT_NEAR(without.screenInk, 0.0, 1e-9);
}

TEST(RunReport, WrongCalibrationNoFramesAndLeftoversFail) {
    RunRecords manual = goodRun();
    manual.trace.calibrations.back().kind = "manual";
    RunRecords none = goodRun();
    none.trace.calibrations.clear();
    RunRecords idle = goodRun();
    idle.trace.frames.clear();
    RunRecords left = goodRun();
    left.leftoverProcesses = 1;
    // An accepted calibration 5 px off fails the run, also when a good one
    // came after it.
    RunRecords off = goodRun();
    off.trace.calibrations.insert(off.trace.calibrations.begin(),
                                  {"auto", cv::Matx33d(1, 0, 3, 0, 1, 4, 0, 0, 1) * pose().inv()});
    const Limits manualWanted{.calibration = "manual"};

    EXPECT_FALSE(computeReport(manual).ok);
    EXPECT_TRUE(computeReport(manual, manualWanted).ok);
    EXPECT_FALSE(computeReport(none).ok);
    EXPECT_TRUE(computeReport(none).calibration.empty());
    EXPECT_FALSE(computeReport(idle).ok);
    EXPECT_FALSE(computeReport(left).ok);
    EXPECT_FALSE(computeReport(off).ok);
}

TEST(RunReport, JsonHasExactlyTheReportKeysWithNullForUnknown) {
    RunRecords run = goodRun();
    run.trace = {};
    run.segments.reset();

    const std::string json = reportJson(computeReport(run));

    std::string keys;
    const std::regex key("\"([a-z_0-9]+)\":");
    for (auto it = std::sregex_iterator(json.begin(), json.end(), key);
         it != std::sregex_iterator(); ++it) {
        keys += (*it)[1].str() + " ";
    }
    EXPECT_EQ(keys,
              "calibration calibration_error_px pointer_error_mean_px pointer_error_max_px "
              "press_count release_count right_click_count frames fps detect_ms_mean "
              "latency_ms_p95 hold_jitter_px_rms ink_latency_ms_p95 segments ok ");
    EXPECT_NE(json.find("\"calibration\": null"), std::string::npos);
    EXPECT_NE(json.find("\"fps\": null"), std::string::npos);
    EXPECT_NE(json.find("\"segments\": null"), std::string::npos);
    EXPECT_NE(json.find("\"ok\": false"), std::string::npos);
    EXPECT_NE(reportJson(computeReport(goodRun())).find("\"ok\": true"), std::string::npos);
}

}  // namespace
}  // namespace e2e
