#include <gtest/gtest.h>

#include <chrono>
#include <limits>
#include <optional>
#include <tuple>
#include <vector>

#include "tovik/tracking/PointerMapper.h"

namespace tovik {
namespace {

using namespace std::chrono_literals;
using Flags = std::uint32_t;

constexpr Flags kMoveAbs = 0x8001;
constexpr Flags kPressHere = 0x0003;
constexpr Flags kPressAt = 0x8003;
constexpr Flags kPress = 0x0002;
constexpr Flags kReleaseHere = 0x0005;
constexpr Flags kReleaseAt = 0x8005;

struct RecordingStatus final : TrackingStatusSink {
    void showPosition(std::int32_t x, std::int32_t y) override { positions.push_back({x, y}); }
    void showButton(bool pressed) override { buttons.push_back(pressed); }
    using Positions = std::vector<std::pair<std::int32_t, std::int32_t>>;
    Positions positions;
    std::vector<bool> buttons;
};

struct Ev {
    Flags flags;
    std::int32_t dx;
    std::int32_t dy;
    friend bool operator==(const Ev&, const Ev&) = default;
    friend std::ostream& operator<<(std::ostream& os, const Ev& e) {
        return os << std::hex << "0x" << e.flags << std::dec << '(' << e.dx << ',' << e.dy << ')';
    }
};

using Evs = std::vector<Ev>;

// Screen 1000 x 800, identity homography: camera pixels are screen pixels.
class PointerMapperTest : public testing::Test {
protected:
    static constexpr common::ScreenSize kScreen{1000, 800};

    PointerMapperTest() { restart(); }
    // A fresh mapper, as after a restart of tracking.
    void restart() { mapper.emplace(injector, status, clock, kScreen, 20); }

    void spot(float x, float y) { mapper->onFrame(true, x, y, homography, settings); }
    void none() { mapper->onFrame(false, 0, 0, homography, settings); }
    void after(std::chrono::nanoseconds d) { clock.advance(d); }

    // Events since the last call.
    Evs take() {
        Evs out;
        for (const auto& e : injector.events()) {
            out.push_back({e.flags, e.dx, e.dy});
        }
        injector.clear();
        return out;
    }
    static Ev at(Flags f, double x, double y) {
        return {f, PointerMapper::scaleToAbsolute(x, kScreen.width),
                PointerMapper::scaleToAbsolute(y, kScreen.height)};
    }
    static Ev here(Flags f) { return {f, 0, 0}; }

    // A completed snapped tap at (x, y), leaving ClickPending 1.
    void tap(float x, float y, std::chrono::nanoseconds held = 50ms) {
        spot(x, y);
        after(held);
        none();
    }

    common::RecordingInjector injector;
    RecordingStatus status;
    common::FakeClock clock;
    cv::Matx33f homography = cv::Matx33f::eye();
    PointerMapper::FrameSettings settings;
    std::optional<PointerMapper> mapper;
};

TEST_F(PointerMapperTest, ScalesToAbsoluteByTruncation) {
    EXPECT_EQ(PointerMapper::scaleToAbsolute(100, 1000), 6553);  // 6553.5
    EXPECT_EQ(PointerMapper::scaleToAbsolute(200, 800), 16383);  // 16383.75
    EXPECT_EQ(PointerMapper::scaleToAbsolute(1000, 1000), 65535);
    EXPECT_EQ(PointerMapper::scaleToAbsolute(-0.01, 1000), 0);  // toward zero
    EXPECT_EQ(PointerMapper::scaleToAbsolute(-100, 1000), -6553);
    EXPECT_EQ(PointerMapper::scaleToAbsolute(2000, 1000), 131070);  // no clamping
    EXPECT_EQ(PointerMapper::scaleToAbsolute(1e12, 1000), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(PointerMapper::scaleToAbsolute(-1e12, 1000),
              std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(PointerMapper::scaleToAbsolute(5, 0), std::numeric_limits<std::int32_t>::max());
}

TEST_F(PointerMapperTest, FirstSpotMovesThenPressesInPlaceAndReportsStatus) {
    spot(100, 200);

    EXPECT_EQ(take(), (Evs{{kMoveAbs, 6553, 16383}, here(kPressHere)}));
    EXPECT_EQ(status.positions, (RecordingStatus::Positions{{100, 600}}));  // y from the bottom
    EXPECT_EQ(status.buttons, std::vector<bool>{true});
    EXPECT_TRUE(mapper->penDown());
    EXPECT_EQ(mapper->clickPending(), 1);
    EXPECT_EQ(mapper->lastMovePos(), cv::Point2d(100, 200));
}

TEST_F(PointerMapperTest, HeldTouchMovesAndReleasesInPlaceAfter100ms) {
    spot(100, 200);
    after(60ms);
    spot(150, 200);
    after(40ms);  // exactly 100 ms since the press
    take();

    none();

    EXPECT_EQ(take(), Evs{here(kReleaseHere)});
    EXPECT_FALSE(mapper->penDown());
    EXPECT_EQ(mapper->clickPending(), 0);
    EXPECT_FALSE(mapper->tapSnapped());
    EXPECT_EQ(status.buttons, (std::vector<bool>{true, false}));
    EXPECT_EQ(status.positions.size(), 2u);
}

TEST_F(PointerMapperTest, QuickTapReleasesAtTheFirstPressPoint) {
    spot(100, 200);
    spot(110, 205);       // drifted, still within 20 px
    after(99'999'999ns);  // 99.999999 ms truncates to 99
    take();

    none();

    EXPECT_EQ(take(), Evs{at(kReleaseAt, 100, 200)});
    EXPECT_EQ(mapper->clickPending(), 1);
    EXPECT_TRUE(mapper->tapSnapped());
}

TEST_F(PointerMapperTest, TapThatDriftedDbClickThdReleasesInPlace) {
    spot(100, 200);
    spot(120, 200);  // exactly 20 px from the first press
    take();

    none();

    EXPECT_EQ(take(), Evs{here(kReleaseHere)});
    EXPECT_EQ(mapper->clickPending(), 0);
}

TEST_F(PointerMapperTest, DoubleTapPressesSecondTimeAtTheFirstPoint) {
    for (const int f13 : {1, 0}) {
        SCOPED_TRACE(f13);
        restart();
        settings.f13Trig = f13;
        tap(100, 200, 40ms);
        after(100ms);
        take();

        spot(108, 190);  // 140 ms, 12.8 px

        const Evs press = f13 != 0
                              ? Evs{at(kMoveAbs, 108, 190), at(kPressAt, 100, 200)}
                              : Evs{at(kMoveAbs, 108, 190), at(kMoveAbs, 100, 200), here(kPress)};
        EXPECT_EQ(take(), press);
        EXPECT_EQ(mapper->clickPending(), 0);
        EXPECT_TRUE(mapper->tapSnapped());

        after(50ms);
        none();  // ordinary release ends it

        EXPECT_EQ(take(), Evs{here(kReleaseHere)});
        EXPECT_FALSE(mapper->tapSnapped());
        EXPECT_EQ(mapper->clickPending(), 0);
    }
}

TEST_F(PointerMapperTest, SecondPressAt200msOrDbClickThdAwayIsInPlace) {
    for (const auto& [sinceFirst, x, snapped] :
         {std::tuple{199ms, 119.9f, true}, {200ms, 100.0f, false}, {150ms, 120.0f, false}}) {
        restart();
        tap(100, 200, 30ms);
        after(sinceFirst - 30ms);
        take();

        spot(x, 200);

        const Evs events = take();
        ASSERT_FALSE(events.empty());
        EXPECT_EQ(events.back(), snapped ? at(kPressAt, 100, 200) : here(kPressHere))
            << sinceFirst.count() << "ms x=" << x;
        EXPECT_EQ(mapper->clickPending(), 0);
    }
}

TEST_F(PointerMapperTest, SnappedReleaseUses300msLimitOnceTapSnapped) {
    // A snapped tap, then a touch while MouseLeft is off (which leaves
    // ClickPending at 1), then a release with MouseLeft on again: the limit is
    // now 300 ms, and a second snapped release inverts TapSnapped back.
    for (const auto releaseAt : {299ms, 300ms}) {
        restart();
        settings.mouseLeft = 1;
        tap(100, 200);
        ASSERT_TRUE(mapper->tapSnapped());
        settings.mouseLeft = 0;
        after(100ms);
        spot(101, 201);
        EXPECT_EQ(mapper->clickPending(), 1);
        settings.mouseLeft = 1;
        after(releaseAt - 150ms);
        take();

        none();

        const bool snapped = releaseAt < 300ms;
        EXPECT_EQ(take(), Evs{snapped ? at(kReleaseAt, 100, 200) : here(kReleaseHere)});
        EXPECT_FALSE(mapper->tapSnapped());
        EXPECT_EQ(mapper->clickPending(), snapped ? 1 : 0);
    }
}

TEST_F(PointerMapperTest, LaterOrFartherSecondTouchIsOrdinaryAndEndsTheSequence) {
    tap(100, 200);
    after(300ms);
    take();

    spot(300, 300);
    after(20ms);
    none();

    EXPECT_EQ(take(), (Evs{at(kMoveAbs, 300, 300), here(kPressHere), here(kReleaseHere)}));
    EXPECT_EQ(mapper->clickPending(), 0);
    EXPECT_FALSE(mapper->tapSnapped());

    // The sequence starts afresh: the next touch is a first press again.
    spot(300, 300);
    EXPECT_EQ(mapper->clickPending(), 1);
}

TEST_F(PointerMapperTest, DeadBandIsStrict) {
    spot(5, 0);  // exactly Move from the starting (0, 0)

    EXPECT_EQ(take(), Evs{here(kPressHere)});
    EXPECT_EQ(mapper->lastMovePos(), cv::Point2d(0, 0));

    spot(5.5f, 0);  // Move + 0.5

    EXPECT_EQ(take(), Evs{at(kMoveAbs, 5.5, 0)});
    spot(8.5f, 4);  // 3, 4, 5 triangle: exactly 5 again
    EXPECT_TRUE(take().empty());
    EXPECT_EQ(mapper->lastMovePos(), cv::Point2d(5.5, 0));
}

TEST_F(PointerMapperTest, MoveZeroMovesOnEveryChangeOnly) {
    settings.move = 0;
    spot(0, 0);
    EXPECT_EQ(take(), Evs{here(kPressHere)});

    spot(0.25f, 0);
    EXPECT_EQ(take(), Evs{at(kMoveAbs, 0.25, 0)});
    spot(0.25f, 0);
    EXPECT_TRUE(take().empty());
}

TEST_F(PointerMapperTest, MouseLeftOffMovesAndReportsButNeverClicks) {
    settings.mouseLeft = 0;

    tap(100, 200, 10ms);
    tap(100, 200, 10ms);

    EXPECT_EQ(take(), Evs{at(kMoveAbs, 100, 200)});
    EXPECT_EQ(status.buttons, (std::vector<bool>{true, false, true, false}));
    EXPECT_EQ(mapper->clickPending(), 0);
    EXPECT_FALSE(mapper->tapSnapped());
    EXPECT_FALSE(mapper->penDown());
}

TEST_F(PointerMapperTest, MouseLeftOffKeepsAPendingSnappedTap) {
    tap(100, 200);
    settings.mouseLeft = 0;

    spot(100, 200);
    none();

    EXPECT_EQ(mapper->clickPending(), 1);
    EXPECT_TRUE(mapper->tapSnapped());
}

TEST_F(PointerMapperTest, FrameWithoutSpotWhilePenUpDoesNothing) {
    none();
    none();

    EXPECT_TRUE(take().empty());
    EXPECT_TRUE(status.buttons.empty());
    EXPECT_TRUE(status.positions.empty());
}

TEST_F(PointerMapperTest, StatusYCountsFromTheBottomAndTruncatesTowardZero) {
    // Shift by (-2.5, -0.75): a spot at (0, 0.5) maps to (-2.5, -0.25).
    homography = cv::Matx33f(1, 0, -2.5f, 0, 1, -0.75f, 0, 0, 1);

    spot(0, 0.5f);
    spot(10, 0.75f);  // y = 0: the top row shows the screen height

    // 800.25 -> 800
    EXPECT_EQ(status.positions, (RecordingStatus::Positions{{-2, 800}, {7, 800}}));
}

TEST_F(PointerMapperTest, HomographyScalesCameraToScreen) {
    homography = cv::Matx33f(2, 0, 10, 0, 2, 20, 0, 0, 2);  // w = 2: (x + 5, y + 10)

    spot(95, 190);

    EXPECT_EQ(take().front(), at(kMoveAbs, 100, 200));
    EXPECT_EQ(mapper->mappedPoint(), cv::Point2d(100, 200));
}

TEST_F(PointerMapperTest, PointAtInfinitySendsNothingAndChangesNothing) {
    const cv::Matx33f flat(1, 0, 0, 0, 1, 0, 0, 0, 0);  // w = 0 everywhere
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const cv::Matx33f broken(nan, 0, 0, 0, 1, 0, 0, 0, 1);

    mapper->onFrame(true, 10, 10, flat, settings);
    mapper->onFrame(true, 10, 10, broken, settings);

    EXPECT_TRUE(take().empty());
    EXPECT_FALSE(mapper->penDown());
    EXPECT_TRUE(status.positions.empty());
    EXPECT_TRUE(status.buttons.empty());

    spot(100, 200);
    after(150ms);
    mapper->onFrame(true, 10, 10, flat, settings);  // pen stays down, nothing sent
    EXPECT_TRUE(mapper->penDown());
    EXPECT_EQ(mapper->mappedPoint(), cv::Point2d(100, 200));
    take();

    none();  // the release edge still works

    EXPECT_EQ(take(), Evs{here(kReleaseHere)});
    EXPECT_FALSE(mapper->penDown());
}

TEST_F(PointerMapperTest, HugeCoordinatesSaturate) {
    homography = cv::Matx33f(1e12f, 0, 0, 0, -1e12f, 0, 0, 0, 1);

    spot(1, 1);

    constexpr auto hi = std::numeric_limits<std::int32_t>::max();
    constexpr auto lo = std::numeric_limits<std::int32_t>::min();
    EXPECT_EQ(status.positions, (RecordingStatus::Positions{{hi, hi}}));  // 800 - (-1e12)
    EXPECT_EQ(take().front(), (Ev{kMoveAbs, hi, lo}));
}

class RightHoldTest : public PointerMapperTest {
protected:
    RightHoldTest() { settings = {.rightHold = 500, .rightRadius = 8}; }
    // Left up, right down, right up, where the pointer is.
    static Evs rightClick() { return {here(0x0005), here(0x0009), here(0x0011)}; }
};

TEST_F(RightHoldTest, HoldingStillReleasesLeftClicksRightAndWaitsForTheLift) {
    for (const int f13 : {1, 0}) {
        SCOPED_TRACE(f13);
        settings.f13Trig = f13;
        restart();
        spot(100, 200);
        after(300ms);
        spot(105, 204);  // 6.4 px: within the radius
        after(199ms);
        spot(106, 200);
        ASSERT_EQ(take().size(), 3u);  // moves and the press only

        after(1ms);
        spot(106, 200);  // 500 ms held

        EXPECT_EQ(take(), rightClick());
        EXPECT_TRUE(mapper->rightClicked());
        spot(300, 300);  // nothing until the lift
        none();
        EXPECT_TRUE(take().empty());
        EXPECT_FALSE(mapper->rightClicked());
        EXPECT_EQ(mapper->clickPending(), 0);
        EXPECT_FALSE(mapper->penDown());
        EXPECT_EQ(status.buttons.back(), false);
    }
}

TEST_F(RightHoldTest, SnappedSecondPressHeldStillIsARightClickInBothPressForms) {
    for (const int f13 : {1, 0}) {
        SCOPED_TRACE(f13);
        settings.f13Trig = f13;
        restart();
        tap(100, 200, 40ms);
        after(60ms);
        spot(104, 200);  // snapped double-click press
        take();

        after(500ms);
        spot(104, 200);

        EXPECT_EQ(take(), rightClick());
        none();
        EXPECT_TRUE(take().empty());
        EXPECT_FALSE(mapper->tapSnapped());
    }
}

TEST_F(RightHoldTest, MovingOutOfTheRadiusOrLiftingEarlyKeepsTheLeftButton) {
    spot(100, 200);
    after(100ms);
    spot(100, 208.5f);  // 8.5 px: out of the radius, for the rest of the touch
    after(100ms);
    spot(100, 200);
    after(2s);
    spot(100, 200);
    none();
    Evs drag = take();
    EXPECT_EQ(drag.back(), here(kReleaseHere));
    for (const Ev& e : drag) {
        EXPECT_EQ(e.flags & 0x18u, 0u) << e;
    }

    spot(500, 500);
    after(499ms);
    spot(500, 500);
    none();  // lifted 1 ms early

    EXPECT_EQ(take(), (Evs{at(kMoveAbs, 500, 500), here(kPressHere), here(kReleaseHere)}));
}

TEST_F(RightHoldTest, OffOrWithoutTheLeftButtonNothingHappens) {
    for (const auto& [hold, left] : {std::pair{0, 1}, std::pair{500, 0}}) {
        settings.rightHold = hold;
        settings.mouseLeft = left;
        restart();
        spot(100, 200);
        after(3s);
        spot(100, 200);

        for (const Ev& e : take()) {
            EXPECT_EQ(e.flags & 0x18u, 0u) << e;
        }
        EXPECT_FALSE(mapper->rightClicked());
    }
}

}  // namespace
}  // namespace tovik
