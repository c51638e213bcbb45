#include <gtest/gtest.h>

#include <pthread.h>
#include <sys/stat.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <future>
#include <thread>

#include <opencv2/imgproc.hpp>

#include "common/TempDir.h"
#include "sim/PenControl.h"
#include "sim/SimCamera.h"
#include "tests/e2e/RunLogs.h"
#include "tests/support/PenChannel.h"
#include "tests/support/Wait.h"

namespace {

using sim::SimCamera;
using namespace std::chrono_literals;

std::unique_ptr<SimCamera> makeSim(const std::string& options) {
    std::string error;
    auto camera = SimCamera::create(options, error);
    EXPECT_TRUE(camera) << error;
    return camera;
}

// A camera made and opened at 640 x 480.
std::unique_ptr<SimCamera> openSim(const std::string& options) {
    auto camera = makeSim(options);
    EXPECT_TRUE(camera && camera->open(0, {640, 480})) << options;
    return camera;
}

cv::Mat grab(SimCamera& camera) {
    cv::Mat frame;
    EXPECT_TRUE(camera.grab(frame, 1000ms));
    return frame;
}

// Where `h` puts screen point `p`.
cv::Point2d projected(const cv::Matx33d& h, cv::Point2d p) {
    cv::Point2d out;
    EXPECT_TRUE(sim::projectPoint(h, p, out)) << p;
    return out;
}

// A file in this program's own folder, removed with it at the end.
std::filesystem::path tempPath(const std::string& name) {
    static const tktest::TempDir dir;
    return dir.file(name);
}

// Grey level of the frame where the screen's centre lands.
int centreLevel(SimCamera& camera, const cv::Mat& frame) {
    const cv::Size s = camera.sceneSize();
    return frame.at<cv::Vec3b>(
        cv::Point(projected(camera.poseMatrix(), {s.width / 2.0, s.height / 2.0})))[1];
}

// Centroid and extent of the pixels brighter than 128.
struct Blob {
    cv::Point2d centre;
    double area = 0;
    double elongation = 0;  // major over minor axis
};
Blob brightBlob(const cv::Mat& frame) {
    cv::Mat grey, bright;
    cv::cvtColor(frame, grey, cv::COLOR_BGR2GRAY);
    cv::threshold(grey, bright, 128, 255, cv::THRESH_BINARY);
    const cv::Moments m = cv::moments(bright, true);
    Blob b;
    b.area = m.m00;
    if (m.m00 > 0) {
        b.centre = {m.m10 / m.m00, m.m01 / m.m00};
        const double a = m.mu20 / m.m00, c = m.mu02 / m.m00, bb = m.mu11 / m.m00;
        const double root = std::sqrt(4 * bb * bb + (a - c) * (a - c));
        b.elongation = std::sqrt((a + c + root) / (a + c - root));
    }
    return b;
}

TEST(SimCamera, ExposureModelDimsTheScreenButNotThePen) {
    auto camera = openSim("fps=0,noise=2");

    const int automatic = centreLevel(*camera, grab(*camera));
    EXPECT_NEAR(automatic, 200, 4);

    ASSERT_TRUE(camera->setExposure(-6, false));
    camera->setPen({200, 150}, true);
    const cv::Mat dim = grab(*camera);
    EXPECT_NEAR(centreLevel(*camera, dim), 40, 4);
    const cv::Point2d spot = projected(camera->poseMatrix(), {200, 150});
    EXPECT_EQ(dim.at<cv::Vec3b>(cv::Point(spot)), cv::Vec3b(255, 255, 255));

    ASSERT_TRUE(camera->setExposure(-4, false));
    EXPECT_NEAR(centreLevel(*camera, grab(*camera)), 160, 4);
    ASSERT_TRUE(camera->setExposure(-8, false));
    EXPECT_LT(centreLevel(*camera, grab(*camera)), 15);
}

TEST(SimCamera, ImageControlsActOnThePicture) {
    auto camera = openSim("fps=0");
    ASSERT_TRUE(camera->setExposure(-6, false));
    const int plain = camera->modelLevel(255);

    ASSERT_TRUE(camera->setImageControl(tovik::ImageControl::Brightness, 30));
    EXPECT_EQ(camera->modelLevel(255), plain + 30);
    ASSERT_TRUE(camera->setImageControl(tovik::ImageControl::Brightness, 0));
    ASSERT_TRUE(camera->setImageControl(tovik::ImageControl::Gain, 32));
    EXPECT_NEAR(camera->modelLevel(255), 2 * plain, 1);
    ASSERT_TRUE(camera->setImageControl(tovik::ImageControl::Gain, 0));
    ASSERT_TRUE(camera->setImageControl(tovik::ImageControl::Contrast, 20));
    EXPECT_LT(camera->modelLevel(255), plain);  // stretched away from mid-grey
    EXPECT_EQ(camera->modelLevel(0), 0);
}

TEST(SimCamera, NamedPosesPlaceTheScreenCorners) {
    const cv::Point2d tl(0, 0), tr(1280, 0), bl(0, 800);
    struct Case {
        const char* pose;
        cv::Point2d topLeft, topRight, bottomLeft;
    };
    const Case cases[] = {
        {"upright", {64, 48}, {576, 48}, {64, 432}},
        {"mirrored", {576, 48}, {64, 48}, {576, 432}},
        {"upside-down", {576, 432}, {64, 432}, {576, 48}},
        {"rotated", {576, 48}, {576, 432}, {64, 48}},
    };
    for (const Case& c : cases) {
        auto camera = makeSim(std::string("fps=0,pose=") + c.pose);
        const cv::Matx33d h = camera->poseMatrix();
        EXPECT_NEAR(cv::norm(projected(h, tl) - c.topLeft), 0, 0.01) << c.pose;
        EXPECT_NEAR(cv::norm(projected(h, tr) - c.topRight), 0, 0.01) << c.pose;
        EXPECT_NEAR(cv::norm(projected(h, bl) - c.bottomLeft), 0, 0.01) << c.pose;
    }

    // The default keystone is neither axis-aligned nor tiny.
    const cv::Matx33d keystone = makeSim("fps=0")->poseMatrix();
    const cv::Point2d a = projected(keystone, tl), b = projected(keystone, tr),
                      d = projected(keystone, bl);
    EXPECT_GT(std::abs(a.y - b.y), 5.0);
    EXPECT_GT(std::abs(a.x - d.x), 5.0);
    EXPECT_GT(b.x - a.x, 0.65 * 640);
    EXPECT_GT(d.y - a.y, 0.65 * 480);
}

TEST(SimCamera, FramesFollowThePose) {
    for (const char* pose : {"mirrored", "keystone", "rotated"}) {
        auto camera = makeSim(std::string("fps=0,noise=0,pose=") + pose);
        cv::Mat scene(800, 1280, CV_8UC3, cv::Scalar::all(255));
        cv::rectangle(scene, cv::Rect(100, 100, 200, 150), cv::Scalar(255, 0, 0), cv::FILLED);
        ASSERT_TRUE(camera->setScene(scene));
        ASSERT_TRUE(camera->open(0, {640, 480}));

        const cv::Mat frame = grab(*camera);

        const cv::Point inside(projected(camera->poseMatrix(), {200, 175}));
        const cv::Point outside(projected(camera->poseMatrix(), {1000, 600}));
        EXPECT_LT(frame.at<cv::Vec3b>(inside)[2], 20) << pose;  // blue mark
        EXPECT_GT(frame.at<cv::Vec3b>(inside)[0], 180) << pose;
        EXPECT_GT(frame.at<cv::Vec3b>(outside)[2], 180) << pose;  // white
    }
}

TEST(SimCamera, PenSpotSitsAtTheProjectedPosition) {
    auto camera = openSim("fps=0,penradius=4");
    ASSERT_TRUE(camera->setExposure(-6, false));
    camera->setPen({901.5, 333.25}, true);

    const Blob spot = brightBlob(grab(*camera));

    ASSERT_GT(spot.area, 30);
    EXPECT_LT(spot.area, 80);  // about pi * 4^2
    const cv::Point2d expected = projected(camera->poseMatrix(), {901.5, 333.25});
    EXPECT_NEAR(spot.centre.x, expected.x, 0.5);
    EXPECT_NEAR(spot.centre.y, expected.y, 0.5);

    camera->pen().setLit(false);
    cv::Mat dark;
    cv::cvtColor(grab(*camera), dark, cv::COLOR_BGR2GRAY);
    EXPECT_LT(cv::countNonZero(dark > 128), 1);
}

TEST(SimCamera, NoiseIsSmallAndSeeded) {
    auto quiet = openSim("fps=0,noise=0");
    auto a = openSim("fps=0,noise=2,seed=7");
    auto b = openSim("fps=0,noise=2,seed=7");
    auto c = openSim("fps=0,noise=2,seed=8");

    const cv::Mat clean = grab(*quiet), fa = grab(*a), fb = grab(*b), fc = grab(*c);

    cv::Mat diff;
    cv::absdiff(clean, fa, diff);
    double maxDiff = 0;
    cv::minMaxLoc(diff.reshape(1), nullptr, &maxDiff);
    EXPECT_EQ(maxDiff, 2.0);
    EXPECT_EQ(cv::norm(fa, fb, cv::NORM_INF), 0.0);
    EXPECT_GT(cv::norm(fa, fc, cv::NORM_L1), 0.0);
}

TEST(SimCamera, GlideMovesThePenAtTheFrameRate) {
    sim::LightPen pen;
    const auto t0 = sim::LightPen::Clock::now();
    pen.glide({0, 0}, {100, 50}, 200ms);

    EXPECT_NEAR(pen.stateAt(t0 - 1s).position.x, 0, 1e-9);
    const cv::Point2d half = pen.stateAt(t0 + 100ms).position;
    EXPECT_NEAR(half.x, 50, 1.0);
    EXPECT_NEAR(half.y, 25, 0.5);
    EXPECT_EQ(pen.stateAt(t0 + 1s).position, cv::Point2d(100, 50));

    pen.moveTo({7, 8});  // ends the glide
    EXPECT_EQ(pen.stateAt(t0 + 100ms).position, cv::Point2d(7, 8));

    // A camera at a third of its 30 frames a second sees the glide go on one
    // period a frame, not jump across each stall.
    sim::LightPen slow;
    const auto t1 = sim::LightPen::Clock::now();
    (void)slow.sample(t1, 33ms);
    slow.glide({0, 0}, {300, 0}, 300ms);
    int frames = 0;
    for (double x = 0; !slow.glideSeen(); ++frames) {
        ASSERT_LT(frames, 12) << "the glide never ended";
        const double next = slow.sample(t1 + (frames + 1) * 100ms, 33ms).position.x;
        EXPECT_LE(next - x, 36) << "frame " << frames;
        x = next;
    }
    EXPECT_GE(frames, 9);
}

TEST(SimCamera, FrameLogRecordsEveryDeliveredFrame) {
    const auto path = tempPath("frames.log");
    {
        auto camera = openSim("fps=0,log=" + path.string());
        camera->setPen({10, 20}, true);
        grab(*camera);
        camera->setPen({30, 40}, false);
        ASSERT_TRUE(camera->renderFrame());
        ASSERT_TRUE(camera->renderFrame());
        grab(*camera);  // delivers the newer of the two
    }
    std::ifstream in(path);
    EXPECT_EQ(in.peek(), '#');  // a header line first
    std::string error;
    const auto frames = e2e::readSimFrames(in, error);
    ASSERT_TRUE(frames) << error;
    ASSERT_EQ(frames->size(), 2u);
    EXPECT_EQ(frames->front(), (e2e::SimFrame{0, frames->front().captureUs, {10, 20}, true}));
    EXPECT_EQ(frames->back(), (e2e::SimFrame{2, frames->back().captureUs, {30, 40}, false}));
    EXPECT_GT(frames->back().captureUs, frames->front().captureUs);
}

TEST(SimCamera, ControlSocketSteersThePenAndAnswersEachLine) {
    const auto path = tempPath("control.sock");
    auto camera = makeSim("fps=0,control=" + path.string());
    tktest::PenChannel pen;
    ASSERT_TRUE(pen.connect(path, 0ms));

    ASSERT_TRUE(pen.send("move 100 200\nlit 1\nf13 1\nbogus 1\nunplug\n"));
    std::string replies, line;
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(pen.reply(line, 5s));
        replies += line + "\n";
    }

    EXPECT_EQ(replies.substr(0, 9), "ok\nok\nok\n");
    EXPECT_EQ(replies.substr(9, 7), "error: ");
    EXPECT_EQ(replies.substr(replies.size() - 3), "ok\n");
    const sim::LightPen::State s = camera->pen().state();
    EXPECT_EQ(s.position, cv::Point2d(100, 200));
    EXPECT_TRUE(s.lit);
    EXPECT_TRUE(s.button);
    EXPECT_FALSE(camera->plugged());
    camera.reset();
    EXPECT_FALSE(std::filesystem::exists(path));  // the socket is removed
}

// A client that sends commands but never reads its replies must neither
// stall the channel nor keep the camera (and so the program) from closing.
TEST(SimCamera, ControlSocketClientThatNeverReadsStallsNothing) {
    const auto path = tempPath("deaf.sock");
    auto camera = makeSim("fps=0,control=" + path.string());
    tktest::PenChannel pen;
    ASSERT_TRUE(pen.connect(path, 0ms));
    std::string script;
    for (int i = 0; i < 3000; ++i) {
        script += "lit 1\n";
    }
    ASSERT_TRUE(pen.send(script + "move 7 8\n"));

    const bool reachedLast =
        tktest::waitUntil([&] { return camera->pen().state().position == cv::Point2d(7, 8); }, 10s);
    auto destroyed = std::async(std::launch::async, [&camera] { camera.reset(); });
    const bool closedInTime = destroyed.wait_for(10s) == std::future_status::ready;
    pen.close();  // lets a stalled channel go, so the test itself ends
    destroyed.wait();

    EXPECT_TRUE(reachedLast) << "the channel stopped carrying out commands";
    EXPECT_TRUE(closedInTime) << "closing the camera waited for the client";
}

TEST(SimCamera, ControlFifoAndScriptFile) {
    const auto fifo = tempPath("control.fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const auto scriptPath = tempPath("pen.txt");
    const auto go = tempPath("go");
    std::ofstream(scriptPath) << "# pen script\nmove 5 6\n\nawait " << go.string() << "\nlit 1\n";
    auto camera = makeSim("fps=0,control=" + fifo.string() + ",script=" + scriptPath.string());
    {
        std::ofstream writer(fifo);
        writer << "wait 50\nf13 1\n" << std::flush;
    }

    tktest::waitUntil([&] { return camera->pen().state().button; }, 5s, 5ms);

    EXPECT_FALSE(camera->pen().state().lit) << "the script went on before its file came";
    std::ofstream(go) << "";
    tktest::waitUntil([&] { return camera->pen().state().lit; }, 5s);
    const sim::LightPen::State s = camera->pen().state();
    EXPECT_TRUE(s.button);
    EXPECT_TRUE(s.lit);
    EXPECT_EQ(s.position, cv::Point2d(5, 6));
    camera.reset();

    std::ofstream(scriptPath) << "move 1 2\nlit maybe\n";
    std::string error;
    auto options = sim::parseSimOptions("script=" + scriptPath.string(), error);
    ASSERT_TRUE(options);
    EXPECT_FALSE(SimCamera::create(*options, error));
    EXPECT_NE(error.find("line 2"), std::string::npos) << error;
}

// A white scene that notes the thread filming it, filmed `delay` late.
struct WhiteScene final : sim::SceneSource {
    explicit WhiteScene(std::chrono::milliseconds late = {}) : delay(late) {}
    bool capture(cv::Mat& out) override {
        pthread_getname_np(pthread_self(), thread.data(), thread.size());
        std::this_thread::sleep_for(delay);
        out = cv::Mat(size(), CV_8UC3, cv::Scalar::all(255));
        return true;
    }
    cv::Size size() const override { return {640, 480}; }
    std::chrono::milliseconds delay;
    std::array<char, 16> thread{};
};

// A paced camera films on its own thread, named for top -H.
TEST(SimCamera, APacedCameraFilmsOnTheFrameThread) {
    auto scene = std::make_unique<WhiteScene>();
    const WhiteScene* filmed = scene.get();
    SimCamera camera(sim::SimOptions{}, std::move(scene));
    ASSERT_TRUE(camera.open(0, {640, 480}));

    grab(camera);
    camera.close();

    EXPECT_STREQ(filmed->thread.data(), "sim-frames");
}

// A pen's wait lasts its frames too: a stalled camera does not cut a tap short.
TEST(SimCamera, APenWaitSpansItsFramesWhenTheCameraStalls) {
    // 10 frames a second of the 30 asked for.
    SimCamera camera(sim::SimOptions{}, std::make_unique<WhiteScene>(100ms));
    ASSERT_TRUE(camera.open(0, {640, 480}));
    ASSERT_EQ(camera.frameRate(), 30);
    const std::uint64_t before = camera.framesMade();
    sim::PenControl::execute(camera, {.kind = sim::PenCommand::Kind::Wait, .ms = 150});
    EXPECT_GE(camera.framesMade() - before, 4u);
}

TEST(SimCamera, ClosingWakesAWaitingGrab) {
    auto camera = openSim("fps=30");
    camera->unplug();
    bool got = true;
    std::thread grabber([&] {
        cv::Mat frame;
        got = camera->grab(frame, 10s);
    });
    std::this_thread::sleep_for(50ms);

    camera->close();
    grabber.join();

    EXPECT_FALSE(got);
}

TEST(SimCameraOptics, TheLensBendsTowardsTheCentreAndThePenLeansItsSpot) {
    auto ideal = openSim("fps=0,noise=0,pose=upright,penradius=4");
    auto bent = openSim("fps=0,noise=0,pose=upright,penradius=4,k1=-0.2,tilt=45");
    for (auto* c : {ideal.get(), bent.get()}) {
        ASSERT_TRUE(c->setExposure(-6, false));
        c->setPen({60, 50}, true);  // near a corner of the screen
    }

    const Blob straight = brightBlob(grab(*ideal));
    const Blob barrel = brightBlob(grab(*bent));

    const cv::Point2d centre(320, 240);
    EXPECT_LT(cv::norm(barrel.centre - centre), cv::norm(straight.centre - centre) - 10);
    EXPECT_NEAR(straight.elongation, 1.0, 0.1);
    EXPECT_NEAR(barrel.elongation, 1.0 / std::cos(CV_PI / 4), 0.2);
}

TEST(SimCameraOptics, ShortExposuresAreNoisierAndChangesArriveAFrameLate) {
    auto camera = openSim("fps=0,noise=2,noisegrowth=0.5,aelag=1,ambient=25");
    EXPECT_NEAR(centreLevel(*camera, grab(*camera)), 200, 4);

    ASSERT_TRUE(camera->setExposure(-6, false));
    const int lagging = centreLevel(*camera, grab(*camera));
    std::this_thread::sleep_for(40ms);
    const cv::Mat at6 = grab(*camera);
    ASSERT_TRUE(camera->setExposure(-10, false));
    std::this_thread::sleep_for(40ms);
    const cv::Mat at10 = grab(*camera);

    EXPECT_NEAR(lagging, 200, 4);  // still the automatic exposure
    EXPECT_LT(centreLevel(*camera, at6), 60);
    cv::Scalar mean6, sd6, mean10, sd10;
    const cv::Rect middle(280, 200, 80, 80);
    cv::meanStdDev(at6(middle), mean6, sd6);
    cv::meanStdDev(at10(middle), mean10, sd10);
    EXPECT_GT(sd10[1], 2.5 * sd6[1]);  // 2^(0.5 * 4) = 4 times the amplitude
}

TEST(SimCameraOptics, WebcamProfileKeepsTheSpotFindable) {
    auto camera = openSim("fps=0,optics=webcam,penradius=5");
    ASSERT_TRUE(camera->setExposure(-8, false));
    std::this_thread::sleep_for(40ms);
    camera->setPen({640, 400}, true);

    const Blob spot = brightBlob(grab(*camera));

    const cv::Point2d expected = projected(camera->poseMatrix(), {640, 400});
    EXPECT_GT(spot.area, 40);
    EXPECT_NEAR(spot.centre.x, expected.x, 3);  // near the middle the lens barely bends
    EXPECT_NEAR(spot.centre.y, expected.y, 3);
}

}  // namespace
