#include <gtest/gtest.h>

#include <sstream>

#include <opencv2/imgproc.hpp>

#include "sim/SimCamera.h"
#include "tovik/camera/CameraDS.h"
#include "tovik/camera/ListCameras.h"

namespace {

using tovik::CCameraDS;
using tovik::ImageControl;
using tovik::ImageControls;
using Strings = std::vector<std::string>;

class FakeDialogs final : public tovik::CameraDialogs {
public:
    std::optional<cv::Size> answer;
    std::vector<cv::Size> offered;
    cv::Size offeredCurrent;
    std::string caption;
    int propertiesShown = 0;

    std::optional<cv::Size> chooseFormat(const tovik::DeviceInfo& device,
                                         cv::Size current) override {
        offered = device.frameSizes;
        offeredCurrent = current;
        return answer;
    }
    void showProperties(const std::string& title, tovik::CaptureBackend&) override {
        caption = title;
        ++propertiesShown;
    }
};

// A camera over the simulator; frames are made on demand unless fps is given.
struct Rig {
    CCameraDS camera;
    tovik::RecordingMessageSink sink;
    FakeDialogs dialogs;
    sim::SimCamera* sim = nullptr;

    explicit Rig(const std::string& options) {
        std::string error;
        auto backend = sim::SimCamera::create(options, error);
        EXPECT_TRUE(backend) << error;
        sim = backend.get();
        camera.setBackend(std::move(backend));
        camera.setMessageSink(&sink);
    }
};

// The same with device 0 opened at 640 x 480.
struct OpenRig : Rig {
    explicit OpenRig(const std::string& options) : Rig(options) {
        EXPECT_TRUE(camera.OpenDevice(0, false, 640, 480)) << options;
    }
};

TEST(CameraDS, CountsAndOpensDevicesByPosition) {
    CCameraDS bare;
    EXPECT_EQ(bare.CountDevices(), 0);
    EXPECT_FALSE(bare.OpenDevice(0, false, 640, 480));
    EXPECT_EQ(bare.GrabFrame(), nullptr);

    Rig rig("fps=0,count=3");
    EXPECT_EQ(rig.camera.CountDevices(), 3);
    EXPECT_EQ(rig.camera.Devices()[2].name, "Simulated camera 2");

    EXPECT_FALSE(rig.camera.OpenDevice(3, false, 640, 480));
    EXPECT_FALSE(rig.camera.OpenDevice(-1, false, 640, 480));
    ASSERT_TRUE(rig.camera.OpenDevice(0, false, 640, 480));
    EXPECT_TRUE(rig.camera.connected());
    EXPECT_EQ(rig.camera.frameWidth(), 640);
    EXPECT_EQ(rig.camera.frameHeight(), 480);
    ASSERT_NE(rig.camera.GrabFrame(), nullptr);

    rig.camera.CloseDevice();
    EXPECT_FALSE(rig.camera.connected());
    EXPECT_EQ(rig.camera.frameWidth(), 0);
    EXPECT_EQ(rig.camera.frameHeight(), 0);
    EXPECT_EQ(rig.camera.GrabFrame(), nullptr);

    ASSERT_TRUE(rig.camera.OpenDevice(2, false, 320, 240));
    const cv::Mat* frame = rig.camera.GrabFrame();
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->size(), cv::Size(320, 240));
    EXPECT_EQ(frame->type(), CV_8UC3);
}

TEST(CameraDS, OpenFailsWhenTheDeviceDoesNotDeliverTheSize) {
    Rig rig("fps=0,sizes=320x240+160x120");

    EXPECT_FALSE(rig.camera.OpenDevice(0, false, 640, 480));

    EXPECT_FALSE(rig.camera.connected());
    EXPECT_EQ(rig.camera.GrabFrame(), nullptr);
}

TEST(CameraDS, FormatPageChoosesTheSizeOrKeepsTheCurrentOne) {
    Rig rig("fps=0,size=320x240");

    // No dialogs: the current size, whatever was asked.
    ASSERT_TRUE(rig.camera.OpenDevice(0, true, 640, 480));
    EXPECT_EQ(rig.camera.frameWidth(), 320);

    rig.camera.setDialogs(&rig.dialogs);
    rig.dialogs.answer.reset();  // page closed without a choice
    ASSERT_TRUE(rig.camera.OpenDevice(0, true, 640, 480));
    EXPECT_EQ(rig.dialogs.offeredCurrent, cv::Size(320, 240));
    EXPECT_EQ(rig.dialogs.offered.size(), 3u);
    const cv::Mat* frame = rig.camera.GrabFrame();
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->size(), cv::Size(320, 240));

    rig.dialogs.answer = cv::Size(1280, 720);
    ASSERT_TRUE(rig.camera.OpenDevice(0, true, 640, 480));
    frame = rig.camera.GrabFrame();
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->size(), cv::Size(1280, 720));

    rig.dialogs.answer = cv::Size(100, 100);  // not a size of the device
    EXPECT_FALSE(rig.camera.OpenDevice(0, true, 640, 480));
}

TEST(CameraDS, GrabsReuseOneImageWithNewPixels) {
    OpenRig rig("fps=0,noise=2");

    cv::Mat* first = rig.camera.GrabFrame();
    ASSERT_NE(first, nullptr);
    const cv::Mat firstPixels = first->clone();
    const uchar* buffer = first->data;
    cv::Mat* second = rig.camera.GrabFrame();

    ASSERT_EQ(second, first);
    EXPECT_EQ(second->data, buffer);
    EXPECT_GT(cv::norm(firstPixels, *second, cv::NORM_L1), 0.0);
}

TEST(CameraDS, TopOfTheSceneIsTheTopOfTheFrame) {
    Rig rig("fps=0,noise=0,pose=h:1,0,0,0,1,0,0,0,1");
    cv::Mat scene(800, 1280, CV_8UC3, cv::Scalar::all(0));
    cv::rectangle(scene, cv::Rect(0, 0, 1280, 20), cv::Scalar::all(255), cv::FILLED);
    ASSERT_TRUE(rig.sim->setScene(scene));
    ASSERT_TRUE(rig.camera.OpenDevice(0, false, 640, 480));

    const cv::Mat* frame = rig.camera.GrabFrame();

    ASSERT_NE(frame, nullptr);
    EXPECT_GT(frame->at<cv::Vec3b>(0, 320)[1], 150);
    EXPECT_GT(frame->at<cv::Vec3b>(5, 320)[1], 150);
    EXPECT_LT(frame->at<cv::Vec3b>(479, 320)[1], 20);
    EXPECT_LT(frame->at<cv::Vec3b>(240, 320)[1], 20);
    // No left-right mirroring either: a mark at the left stays at the left.
    cv::rectangle(scene, cv::Rect(0, 400, 40, 40), cv::Scalar(0, 0, 255), cv::FILLED);
    ASSERT_TRUE(rig.sim->setScene(scene));
    frame = rig.camera.GrabFrame();
    ASSERT_NE(frame, nullptr);
    EXPECT_GT(frame->at<cv::Vec3b>(250, 5)[2], 150);
    EXPECT_LT(frame->at<cv::Vec3b>(250, 5)[0], 20);
}

TEST(CameraDS, UnpluggedDeviceGivesNoFrameAndRecovers) {
    OpenRig rig("fps=200");
    ASSERT_NE(rig.camera.GrabFrame(), nullptr);

    rig.sim->unplug();
    EXPECT_EQ(rig.camera.GrabFrame(), nullptr);

    rig.sim->plug();
    EXPECT_NE(rig.camera.GrabFrame(), nullptr);
}

TEST(CameraDS, GrabReturnsTheNewestQueuedFrame) {
    OpenRig rig("fps=0,queue=4");
    for (int i = 0; i < 6; ++i) {
        ASSERT_TRUE(rig.sim->renderFrame());
    }

    ASSERT_NE(rig.camera.GrabFrame(), nullptr);

    ASSERT_TRUE(rig.sim->lastGrabbed());
    EXPECT_EQ(rig.sim->lastGrabbed()->number, 5u);
    // The queue was emptied: the next grab gets a frame made after it.
    ASSERT_NE(rig.camera.GrabFrame(), nullptr);
    EXPECT_EQ(rig.sim->lastGrabbed()->number, 6u);
}

TEST(CameraDS, PacedGrabAfterAPauseSkipsTheBacklog) {
    OpenRig rig("fps=250,queue=6");
    ASSERT_NE(rig.camera.GrabFrame(), nullptr);
    while (rig.sim->framesMade() < rig.sim->lastGrabbed()->number + 12) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }

    const std::uint64_t madeBefore = rig.sim->framesMade();
    ASSERT_NE(rig.camera.GrabFrame(), nullptr);

    // The oldest queued frame would be about madeBefore - 6.
    EXPECT_GE(rig.sim->lastGrabbed()->number + 1, madeBefore);
}

TEST(CameraDS, ExposureRequestsAndTheirMessages) {
    Rig rig("fps=0");
    EXPECT_FALSE(rig.camera.SetExposure(-6, false));  // nothing open yet
    EXPECT_EQ(rig.sink.messages(), Strings{"QueryInterface Failed"});
    rig.sink.clear();
    ASSERT_TRUE(rig.camera.OpenDevice(0, false, 640, 480));

    EXPECT_TRUE(rig.camera.SetExposure(-6, false));
    EXPECT_FALSE(rig.sim->exposureAutomatic());
    EXPECT_EQ(rig.sim->exposureValue(), -6);
    EXPECT_TRUE(rig.camera.SetExposure(0, false));  // a fixed 0 is not automatic
    EXPECT_FALSE(rig.sim->exposureAutomatic());
    EXPECT_TRUE(rig.camera.SetExposure(-3, true));
    EXPECT_TRUE(rig.sim->exposureAutomatic());
    EXPECT_TRUE(rig.sink.messages().empty());

    EXPECT_FALSE(rig.camera.SetExposure(-40, false));
    EXPECT_EQ(rig.sink.messages(), Strings{"Set Exposure Param Failed"});

    OpenRig refusing("fps=0,refuse=exposure");
    EXPECT_FALSE(refusing.camera.SetExposure(0, true));
    EXPECT_EQ(refusing.sink.messages(), Strings{"Set Exposure Param Failed"});

    OpenRig lacking("fps=0,missing=exposure");
    EXPECT_FALSE(lacking.camera.SetExposure(-6, false));
    EXPECT_EQ(lacking.sink.messages(), Strings{"QueryInterface Failed"});
}

TEST(CameraDS, RefusedGammaStopsThePushBeforeBacklightAndGain) {
    OpenRig rig("fps=0,refuse=gamma");

    EXPECT_FALSE(rig.camera.SetImageControls({5, 20, 7, 30, 8, 130, 2, 50}));

    EXPECT_EQ(rig.sink.messages(), Strings{"Set Gamma Param Failed"});
    EXPECT_EQ(rig.sim->getImageControl(ImageControl::Brightness), 5);
    EXPECT_EQ(rig.sim->getImageControl(ImageControl::Contrast), 20);
    EXPECT_EQ(rig.sim->getImageControl(ImageControl::Hue), 7);
    EXPECT_EQ(rig.sim->getImageControl(ImageControl::Saturation), 30);
    EXPECT_EQ(rig.sim->getImageControl(ImageControl::Sharpness), 8);
    EXPECT_EQ(rig.sim->getImageControl(ImageControl::BacklightCompensation), 1);
    EXPECT_EQ(rig.sim->getImageControl(ImageControl::Gain), 0);
}

TEST(CameraDS, ImageControlFailuresByPosition) {
    // Hue and gain failures are not examined.
    OpenRig hueGain("fps=0,refuse=hue+gain");
    EXPECT_TRUE(hueGain.camera.SetImageControls({0, 10, 0, 0, 4, 130, 2, 0}));
    EXPECT_TRUE(hueGain.sink.messages().empty());
    EXPECT_EQ(hueGain.sim->getImageControl(ImageControl::BacklightCompensation), 2);

    // The first failure stops everything after it.
    OpenRig range("fps=0");
    EXPECT_FALSE(range.camera.SetImageControls({1000, 20, 0, 0, 4, 130, 1, 0}));
    EXPECT_EQ(range.sink.messages(), Strings{"Set Brightness Param Failed"});
    EXPECT_EQ(range.sim->getImageControl(ImageControl::Contrast), 10);

    OpenRig backlight("fps=0,refuse=backlight");
    EXPECT_FALSE(backlight.camera.SetImageControls({0, 10, 0, 0, 4, 130, 1, 9}));
    EXPECT_EQ(backlight.sink.messages(), Strings{"Set BacklightCompensation Param Failed"});
    EXPECT_EQ(backlight.sim->getImageControl(ImageControl::Gain), 0);

    OpenRig lacking("fps=0,missing=controls");
    EXPECT_FALSE(lacking.camera.SetImageControls({0, 10, 0, 0, 4, 130, 1, 0}));
    ImageControls v;
    EXPECT_FALSE(lacking.camera.GetImageControls(v));
    EXPECT_EQ(lacking.sink.messages(), (Strings{"QueryInterface Failed", "QueryInterface Failed"}));
}

TEST(CameraDS, GetImageControlsReadsInOrderAndIgnoresHue) {
    OpenRig rig("fps=0,refuse=hue");
    ASSERT_TRUE(rig.camera.SetImageControls({3, 12, 0, 40, 6, 150, 2, 20}));
    ImageControls v{-1, -1, -99, -1, -1, -1, -1, -1};

    EXPECT_TRUE(rig.camera.GetImageControls(v));

    EXPECT_EQ(v, (ImageControls{3, 12, -99, 40, 6, 150, 2, 20}));
    EXPECT_TRUE(rig.sink.messages().empty());

    OpenRig gamma("fps=0,refuse=gamma");
    ImageControls w{-1, -1, -1, -1, -1, -1, -1, -1};
    EXPECT_FALSE(gamma.camera.GetImageControls(w));
    EXPECT_EQ(gamma.sink.messages(), Strings{"Get Gamma Param Failed"});
    EXPECT_EQ(w.sharpness, 4);               // sharpness was read
    EXPECT_EQ(w.backlightCompensation, -1);  // backlight was not
}

TEST(CameraDS, DevicePropertiesOnlyWhenTheDeviceHasControls) {
    Rig rig("fps=0,count=2");
    rig.camera.setDialogs(&rig.dialogs);
    rig.camera.ShowDeviceProperties();  // nothing open
    EXPECT_EQ(rig.dialogs.propertiesShown, 0);
    ASSERT_TRUE(rig.camera.OpenDevice(1, false, 640, 480));

    rig.camera.ShowDeviceProperties();

    EXPECT_EQ(rig.dialogs.propertiesShown, 1);
    EXPECT_EQ(rig.dialogs.caption, "Simulated camera 1");

    Rig bare("fps=0,missing=controls+exposure");
    bare.camera.setDialogs(&bare.dialogs);
    ASSERT_TRUE(bare.camera.OpenDevice(0, false, 640, 480));
    bare.camera.ShowDeviceProperties();
    EXPECT_EQ(bare.dialogs.propertiesShown, 0);
    EXPECT_TRUE(bare.sink.messages().empty());
}

TEST(ListCameras, OneLinePerDevice) {
    Rig rig("fps=0,count=2,sizes=640x480+320x240");
    std::ostringstream out;

    tovik::ListCameras(out, rig.camera);

    EXPECT_EQ(out.str(),
              "0\tSimulated camera 0\t640x480,320x240\n"
              "1\tSimulated camera 1\t640x480,320x240\n");

    Rig none("fps=0,count=0");
    std::ostringstream empty;
    tovik::ListCameras(empty, none.camera);
    EXPECT_EQ(empty.str(), "");
}

}  // namespace
