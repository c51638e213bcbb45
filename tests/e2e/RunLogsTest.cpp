// The readers against the real writers, so a change of either side's format
// shows here rather than as an empty report.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "RunLogs.h"
#include "common/TempDir.h"
#include "kalvo/core/CMyDoc.h"
#include "kalvo/core/DocumentDump.h"
#include "sim/FrameLog.h"
#include "tovik/tracking/TrackingTrace.h"

namespace e2e {
namespace {

using std::chrono::microseconds;
using std::chrono::steady_clock;

TEST(RunLogs, SimulatorFrameLogReadsBackFrameByFrame) {
    tktest::TempDir dir;
    const std::string path = dir.path() + "/frames.log";
    {
        sim::FrameLog log(path);
        ASSERT_TRUE(log.isOpen());
        log.write(7, steady_clock::time_point(microseconds(1'500'000)), {{12.25, 40.5}, true});
        log.write(8, steady_clock::time_point(microseconds(1'533'333)), {{-3, 799}, false});
    }
    std::ifstream in(path);
    std::string error;

    const auto frames = readSimFrames(in, error);

    ASSERT_TRUE(frames) << error;
    EXPECT_EQ(*frames, (std::vector<SimFrame>{{7, 1'500'000, {12.25, 40.5}, true},
                                              {8, 1'533'333, {-3, 799}, false}}));
}

TEST(RunLogs, TovikTraceRecordsEachEventWithItsFrame) {
    tktest::TempDir dir;
    const std::string path = dir.path() + "/events.log";
    std::string error;
    {
        auto trace = tovik::TrackingTrace::open(path, error);
        ASSERT_TRUE(trace) << error;
        std::uint64_t next = 41;
        trace->setFrameQuery([&next] {
            return tovik::FrameStamp{next, steady_clock::time_point(microseconds(next * 1000))};
        });
        const cv::Matx33f h(1.5f, 0, -10, 0, 2, 3.25f, 0, 0.001f, 1);
        trace->calibrationCompleted("auto", h);
        trace->frameGrabbed();
        trace->pointerEvent(0x8001, 32768, 100);
        trace->frameProcessed();
        next = 42;
        trace->frameGrabbed();
        trace->pointerEvent(0x0004, 0, 0);
        trace->frameProcessed();
        trace->calibrationCompleted("manual", cv::Matx33f::eye());
    }
    std::ifstream in(path);

    const auto trace = readTovikTrace(in, error);

    ASSERT_TRUE(trace) << error;
    ASSERT_EQ(trace->frames.size(), 2u);
    EXPECT_EQ(trace->frames[0].number, 41u);
    EXPECT_EQ(trace->frames[0].captureUs, 41'000);
    EXPECT_GE(trace->frames[0].processUs, 0);
    ASSERT_EQ(trace->events.size(), 2u);
    const std::int64_t sent = trace->events[0].sendUs, sentNext = trace->events[1].sendUs;
    EXPECT_EQ(trace->events[0], (TraceEvent{sent, 0x8001, 32768, 100, 41, 41'000}));
    EXPECT_EQ(trace->events[1], (TraceEvent{sentNext, 0x0004, 0, 0, 42, 42'000}));
    EXPECT_GE(sentNext, sent);
    ASSERT_EQ(trace->calibrations.size(), 2u);
    EXPECT_EQ(trace->calibrations[0].kind, "auto");
    EXPECT_DOUBLE_EQ(trace->calibrations[0].homography(0, 0), 1.5);
    EXPECT_DOUBLE_EQ(trace->calibrations[0].homography(1, 2), 3.25);
    EXPECT_NEAR(trace->calibrations[0].homography(2, 1), 0.001, 1e-9);
    EXPECT_EQ(trace->calibrations[1].kind, "manual");
}

TEST(RunLogs, TraceWithoutFrameQueryNumbersGrabsAndMarksEventsBeforeAnyFrame) {
    tktest::TempDir dir;
    const std::string path = dir.path() + "/events.log";
    std::string error;
    {
        auto trace = tovik::TrackingTrace::open(path, error);
        ASSERT_TRUE(trace) << error;
        trace->pointerEvent(0x0002, 0, 0);  // before any frame
        trace->frameGrabbed();
        trace->pointerEvent(0x0004, 0, 0);
    }
    std::ifstream in(path);

    const auto trace = readTovikTrace(in, error);

    ASSERT_TRUE(trace) << error;
    ASSERT_EQ(trace->events.size(), 2u);
    EXPECT_EQ(trace->events[0].captureUs, 0);
    EXPECT_EQ(trace->events[1].frame, 1u);
    EXPECT_GT(trace->events[1].captureUs, 0);
    EXPECT_LE(trace->events[1].captureUs, trace->events[1].sendUs);
}

TEST(RunLogs, TraceToAFolderThatDoesNotExistIsRefusedWithTheReason) {
    std::string error;

    const auto trace = tovik::TrackingTrace::open("/nonexistent-folder/events.log", error);

    EXPECT_FALSE(trace);
    EXPECT_NE(error.find("/nonexistent-folder/events.log"), std::string::npos);
}

TEST(RunLogs, KalvoDumpReadsBackEverySegment) {
    kalvo::CMyDoc doc;
    doc.AddSegment(10, 20, 30, 40, 0x0000FF, 3);
    doc.AddSegment(-5, 700, 1279, 0, 0xFF8000, 6);

    std::string error;
    const QByteArray bytes = kalvo::serializeSegments(doc);
    const auto segments = readSegments(std::string_view(bytes.constData(), bytes.size()), error);

    ASSERT_TRUE(segments) << error;
    EXPECT_EQ(*segments, (std::vector<Segment>{{10, 20, 30, 40, 0x0000FF, 3},
                                               {-5, 700, 1279, 0, 0xFF8000, 6}}));
}

TEST(RunLogs, DumpOfPartialSegmentIsRefused) {
    std::string error;

    EXPECT_TRUE(readSegments("", error));
    EXPECT_FALSE(readSegments(std::string(30, '\0'), error));
    EXPECT_NE(error.find("30 bytes"), std::string::npos);
}

TEST(RunLogs, FigureKeepsColourAndPoints) {
    const std::vector<Stroke> strokes = {{0x0000FF, {{1.5, 2}, {300, 400.25}}},
                                         {0xFF8040, {{0, 0}, {10, 0}, {10, 10}}}};
    std::istringstream in(writeFigure(strokes));
    std::string error;

    const auto back = readFigure(in, error);

    ASSERT_TRUE(back) << error;
    EXPECT_EQ(*back, strokes);
    // RRGGBB in the file: red first.
    EXPECT_NE(writeFigure(strokes).find("stroke FF0000"), std::string::npos);
}

TEST(RunLogs, BadLinesAreNamedAndACutLastLineIsIgnored) {
    struct Case {
        const char* text;
        bool ok;
        size_t frames;
    };
    const Case cases[] = {
        {"# header\n1 100 5 6 1\n2 133 5 6 0\n", true, 2},
        {"1 100 5 6 1\n2 133 5", true, 1},  // writer killed mid-line
        {"1 100 5 6 1\n2 133 5 6\n", false, 0},
        {"1 100 5 6 2\n", false, 0},
        {"1 100 x 6 1\n", false, 0},
        {"\n\n1 100 5 6 1\n", true, 1},
    };
    for (const Case& c : cases) {
        std::istringstream in(c.text);
        std::string error;

        const auto frames = readSimFrames(in, error);

        EXPECT_EQ(frames.has_value(), c.ok) << c.text;
        if (frames) {
            EXPECT_EQ(frames->size(), c.frames) << c.text;
        } else {
            EXPECT_NE(error.find("line "), std::string::npos) << c.text;
        }
    }
    std::istringstream badTrace("frame 1 2 3\nevent 1 2 3\n");
    std::string error;
    EXPECT_FALSE(readTovikTrace(badTrace, error));
    EXPECT_NE(error.find("line 2"), std::string::npos);
    std::istringstream badKind("calibration guess 1 0 0 0 1 0 0 0 1\n");
    EXPECT_FALSE(readTovikTrace(badKind, error));
}

}  // namespace
}  // namespace e2e
