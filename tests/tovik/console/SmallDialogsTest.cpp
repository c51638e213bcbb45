// The count-down, the camera selection dialog and the generated camera
// dialogs.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QListWidget>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <functional>

#include "ConsoleFixture.h"
#include "tovik/console/CameraDialogsQt.h"
#include "tovik/console/CountDownDlg.h"
#include "tovik/console/FrameView.h"
#include "tovik/console/SelectDlg.h"

namespace tovik::testing {
namespace {

TEST(CountDownDlgTest, CountsDownOneSecondPerTickAndAcceptsAtZero) {
    CCountDownDlg dlg(nullptr, false);
    dlg.SecondsLeft = 5;
    dlg.show();
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("标定完成"));
    EXPECT_EQ(dlg.text(), QStringLiteral("5 秒后自动运行..."));
    EXPECT_EQ(dlg.findChild<QPushButton*>(QStringLiteral("1"))->text(), QStringLiteral("立即运行"));
    EXPECT_EQ(dlg.findChild<QPushButton*>(QStringLiteral("2"))->text(), QStringLiteral("稍后运行"));

    dlg.tick();
    EXPECT_EQ(dlg.text(), QStringLiteral("4秒后自动运行..."));
    for (int i = 0; i < 3; ++i) {
        dlg.tick();
    }
    EXPECT_EQ(dlg.text(), QStringLiteral("1秒后自动运行..."));
    EXPECT_TRUE(dlg.isVisible());

    dlg.tick();
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(dlg.result(), int(QDialog::Accepted));
}

TEST(CountDownDlgTest, ButtonsEscapeAndCloseEndIt) {
    const auto click = [](CCountDownDlg& d, const char* button) {
        QTest::mouseClick(d.findChild<QPushButton*>(button), Qt::LeftButton);
    };
    const std::pair<std::function<void(CCountDownDlg&)>, int> endings[] = {
        {[&](CCountDownDlg& d) { click(d, "1"); }, QDialog::Accepted},
        {[&](CCountDownDlg& d) { click(d, "2"); }, QDialog::Rejected},
        {[](CCountDownDlg& d) { QTest::keyClick(&d, Qt::Key_Escape); }, QDialog::Rejected},
        {[](CCountDownDlg& d) { d.close(); }, QDialog::Rejected},
    };
    for (const auto& [end, result] : endings) {
        CCountDownDlg dlg;
        dlg.show();
        EXPECT_TRUE(dlg.timerActive());
        end(dlg);
        EXPECT_EQ(dlg.result(), result);
        EXPECT_FALSE(dlg.timerActive());
    }
}

class SelectDlgTest : public FakeCameraFixture {
protected:
    SelectDlgTest() { camera.setDialogs(&dialogs); }

    QtCameraDialogs dialogs;
};

// The eight values it pushes on opening: the console's settings round trip.
TEST_F(SelectDlgTest, OpeningListsTheDevices) {
    CSelectDlg dlg(camera, {}, nullptr, false);

    dlg.show();

    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("调整摄像头"));
    EXPECT_EQ(dlg.DeviceCount, 3);
    auto* list = dlg.findChild<QComboBox*>(QStringLiteral("1052"));
    ASSERT_EQ(list->count(), 3);
    EXPECT_EQ(list->itemText(2), QStringLiteral("2"));
    EXPECT_EQ(list->currentIndex(), 0);
    EXPECT_EQ(dlg.findChild<QPushButton*>(QStringLiteral("1051"))->text(),
              QStringLiteral("选择/设置"));
    EXPECT_EQ(dlg.findChild<QPushButton*>(QStringLiteral("1055"))->text(),
              QStringLiteral("视频属性"));
}

TEST_F(SelectDlgTest, PreviewDrawsUnlessSwitching) {
    CSelectDlg dlg(camera, {}, nullptr, false);
    dlg.show();
    dlg.previewTick();
    EXPECT_EQ(dlg.preview()->framesShown(), 1);
    EXPECT_FALSE(dlg.preview()->image().isNull());

    dlg.Switching = 1;
    dlg.previewTick();
    EXPECT_EQ(dlg.preview()->framesShown(), 1);
}

TEST_F(SelectDlgTest, SelectingReopensThroughTheFormatPageAndLocksTheButton) {
    CSelectDlg dlg(camera, {}, nullptr, false);
    dlg.show();
    auto* list = dlg.findChild<QComboBox*>(QStringLiteral("1052"));
    auto* select = dlg.findChild<QPushButton*>(QStringLiteral("1051"));
    int pageShown = 0;
    dialogs.runHook = [&](QDialog& page) {
        ++pageShown;
        auto* sizes = page.findChild<QListWidget*>(QStringLiteral("sizes"));
        EXPECT_EQ(sizes->count(), 2);
        EXPECT_EQ(sizes->item(1)->text(), QStringLiteral("320 x 240"));
        sizes->setCurrentRow(1);
        return int(QDialog::Accepted);
    };

    list->setCurrentIndex(1);
    emit list->activated(1);
    select->click();

    EXPECT_EQ(pageShown, 1);
    EXPECT_EQ(CameraIndex, 1);
    EXPECT_EQ(backend->openIndex, 1);
    EXPECT_EQ(backend->frameSize(), cv::Size(320, 240));
    EXPECT_FALSE(select->isEnabled());
    EXPECT_EQ(dlg.Switching, 0);

    emit list->activated(2);
    EXPECT_TRUE(select->isEnabled());
}

TEST_F(SelectDlgTest, VideoPropertiesActLiveAndAreReadBack) {
    CSelectDlg dlg(camera, {}, nullptr, false);
    dlg.show();
    dialogs.runHook = [&](QDialog& properties) {
        auto* brightness = properties.findChild<QSlider*>(QStringLiteral("control1"));
        auto* white = properties.findChild<QCheckBox*>(QStringLiteral("control2"));
        EXPECT_NE(brightness, nullptr);
        EXPECT_NE(white, nullptr);
        if (brightness != nullptr && white != nullptr) {
            brightness->setValue(42);
            white->setChecked(true);
        }
        EXPECT_EQ(properties.findChild<QComboBox*>(QStringLiteral("control3"))->count(), 3);
        return int(QDialog::Rejected);
    };

    dlg.findChild<QPushButton*>(QStringLiteral("1055"))->click();

    EXPECT_EQ((backend->controlSets.front()), (std::pair<int, int>{1, 42}));
    EXPECT_EQ((backend->controlSets.back()), (std::pair<int, int>{2, 1}));
    EXPECT_EQ(dlg.values().brightness, 42);  // read back from the device
}

TEST_F(SelectDlgTest, ADeviceWithoutControlsShowsNoPropertiesDialog) {
    backend->withControls = false;
    int shown = 0;
    dialogs.runHook = [&](QDialog&) {
        ++shown;
        return int(QDialog::Rejected);
    };

    camera.ShowDeviceProperties();
    dialogs.showProperties("none", *camera.backend());

    EXPECT_EQ(shown, 0);
}

TEST_F(SelectDlgTest, EnterEndsTheDialogWithTheListedDevice) {
    CSelectDlg dlg(camera, {}, nullptr, false);
    dlg.show();
    dlg.findChild<QComboBox*>(QStringLiteral("1052"))->setCurrentIndex(2);

    QTest::keyClick(&dlg, Qt::Key_Return);

    EXPECT_EQ(dlg.result(), int(QDialog::Accepted));
    EXPECT_EQ(dlg.SelectedDevice, 2);
    EXPECT_EQ(backend->openIndex, 0);  // only "选择/设置" reopens
}

TEST(FrameViewTest, ConvertsBgrFrames) {
    cv::Mat bgr(2, 3, CV_8UC3, cv::Scalar(10, 20, 30));
    const QImage image = ToQImage(bgr);
    ASSERT_EQ(image.size(), QSize(3, 2));
    EXPECT_EQ(image.pixelColor(1, 1), QColor(30, 20, 10));
    EXPECT_TRUE(ToQImage(cv::Mat(2, 2, CV_32FC1)).isNull());
}

}  // namespace
}  // namespace tovik::testing
