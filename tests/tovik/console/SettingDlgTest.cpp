// The advanced settings dialog: lists, validation, defaults, and the camera
// requests it makes at once.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "ConsoleFixture.h"
#include "tovik/console/SettingDlg.h"

namespace tovik::testing {
namespace {

using E = FakeCaptureBackend::ExposureRequest;

class SettingDlgTest : public FakeCameraFixture {
protected:
    // The dialog shown over `values`.
    CSettingDlg& open(int running = 0, int autoTh = 1) {
        values.AutoTh = autoTh;
        dlg = std::make_unique<CSettingDlg>(camera, messages, values);
        dlg->Running = running;
        dlg->Monitors = monitors;
        dlg->show();
        return *dlg;
    }
    QComboBox* combo(int id) { return dlg->findChild<QComboBox*>(QString::number(id)); }
    QCheckBox* check(int id) { return dlg->findChild<QCheckBox*>(QString::number(id)); }
    QStringList items(int id) {
        QStringList list;
        for (int i = 0; i < combo(id)->count(); ++i) {
            list << combo(id)->itemText(i);
        }
        return list;
    }
    void choose(int id, const QString& item) {
        QComboBox* box = combo(id);
        const int index = box->findText(item);
        ASSERT_GE(index, 0) << item.toStdString();
        box->setCurrentIndex(index);
        emit box->activated(index);
    }

    RecordingMessagePresenter messages;
    TrackingSettings values{
        .Amp = 180, .Area = 5, .AreaUp = 1000, .RunExpoTime = -6, .camera = {}, .Screen = {}};
    std::vector<common::Monitor> monitors;
    std::unique_ptr<CSettingDlg> dlg;
};

TEST_F(SettingDlgTest, ShowsItsControlsListsAndValues) {
    CSettingDlg& d = open();

    EXPECT_EQ(d.windowTitle(), QStringLiteral("高级设置(&S)"));
    EXPECT_EQ(items(1000).size(), 22);
    EXPECT_EQ(items(1000).front(), QStringLiteral("15"));
    EXPECT_EQ(items(1000).back(), QStringLiteral("255"));
    EXPECT_EQ(items(1001), (QStringList{"2", "5", "10", "20", "30", "40", "50"}));
    EXPECT_EQ(items(1054), (QStringList{"80", "100", "150", "200", "300"}));
    EXPECT_EQ(items(1004), (QStringList{"0", "2", "4", "8", "10", "12"}));
    EXPECT_EQ(items(1005).size(), 10);
    EXPECT_EQ(items(1005).back(), QStringLiteral("-10"));
    EXPECT_EQ(items(1074), (QStringList{"0", "1", "2"}));
    EXPECT_EQ(combo(1000)->currentText(), QStringLiteral("180"));
    EXPECT_EQ(combo(1054)->currentText(), QStringLiteral("1000"));
    EXPECT_EQ(combo(1005)->currentText(), QStringLiteral("-6"));
    EXPECT_FALSE(combo(1074)->isEditable());
    EXPECT_EQ(check(1035)->text(), QStringLiteral("激活鼠标左键"));
    EXPECT_EQ(check(1036)->text(), QStringLiteral("自动对码"));
    EXPECT_EQ(check(1078)->text(), QStringLiteral("自动(&A)"));
    EXPECT_EQ(d.findChild<QPushButton*>(QStringLiteral("1003"))->text(),
              QStringLiteral("载入默认设置"));
    EXPECT_EQ(d.findChild<QGroupBox*>(QStringLiteral("1094"))->title(),
              QStringLiteral("摄像头设置"));
    EXPECT_EQ(d.findChild<QLabel*>(QStringLiteral("1095"))->text(), QStringLiteral("选择摄像头"));
}

TEST_F(SettingDlgTest, OutOfRangeOrNonNumericFieldsKeepTheDialogOpen) {
    CSettingDlg& d = open(0, 0);
    combo(1000)->setEditText(QStringLiteral("0"));

    d.OnOK();

    EXPECT_NE(d.result(), int(QDialog::Accepted));
    EXPECT_TRUE(d.isVisible());
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].text, QStringLiteral("检测阈值: 请输入 1 到 255 之间的整数"));
    const QWidget* focus = d.focusWidget();
    EXPECT_TRUE(focus == combo(1000) || focus == combo(1000)->lineEdit());

    combo(1000)->setEditText(QStringLiteral("200"));
    combo(1001)->setEditText(QStringLiteral("lots"));
    d.OnOK();
    ASSERT_EQ(messages.messages.size(), 2u);
    EXPECT_EQ(messages.messages[1].text, QStringLiteral("最小光斑: 请输入 1 到 4000 之间的整数"));
    EXPECT_EQ(d.values().Amp, 200);  // the fields before the bad one are stored

    const std::pair<int, const char*> bad[] = {
        {1054, "最大光斑: 请输入 2 到 4000 之间的整数"},
        {1004, "允差: 请输入 0 到 12 之间的整数"},
        {1005, "曝光时间: 请输入 -10 到 0 之间的整数"},
    };
    combo(1001)->setEditText(QStringLiteral("5"));
    for (const auto& [id, message] : bad) {
        const QString before = combo(id)->currentText();
        combo(id)->setEditText(QStringLiteral("4001"));
        d.OnOK();
        EXPECT_EQ(messages.messages.back().text, QString::fromUtf8(message));
        combo(id)->setEditText(before);
    }
    EXPECT_TRUE(d.isVisible());
}

// Every field stored on OK: the console's settings round trip.
TEST_F(SettingDlgTest, LargestSpotMayBeBelowTheSmallest) {
    CSettingDlg& d = open(0, 0);
    combo(1001)->setEditText(QStringLiteral("300"));
    combo(1054)->setEditText(QStringLiteral("80"));
    combo(1005)->setEditText(QStringLiteral("0"));

    d.OnOK();

    EXPECT_EQ(d.result(), int(QDialog::Accepted));
    EXPECT_TRUE(messages.messages.empty());
    EXPECT_EQ(d.values().Area, 300);
    EXPECT_EQ(d.values().AreaUp, 80);
    EXPECT_EQ(d.values().RunExpoTime, 0);  // the top of its range
}

TEST_F(SettingDlgTest, RightClickHoldIsOffOrWithinItsRangesAndStoredOnOk) {
    CSettingDlg& d = open(0, 0);
    EXPECT_EQ(combo(1101)->currentText(), QStringLiteral("0"));
    EXPECT_EQ(combo(1102)->currentText(), QStringLiteral("8"));

    const std::pair<const char*, const char*> bad[] = {
        {"299", "1101"}, {"3001", "1101"}, {"1", "1102"}, {"51", "1102"}};
    for (const auto& [text, id] : bad) {
        combo(1101)->setEditText(QStringLiteral("800"));
        combo(1102)->setEditText(QStringLiteral("12"));
        combo(QString::fromLatin1(id).toInt())->setEditText(QString::fromLatin1(text));
        d.OnOK();
        EXPECT_NE(d.result(), int(QDialog::Accepted)) << text;
    }
    EXPECT_EQ(messages.messages.front().text,
              QStringLiteral("长按右键(毫秒): 请输入 300 到 3000 之间的整数"));
    combo(1101)->setEditText(QStringLiteral("800"));
    combo(1102)->setEditText(QStringLiteral("12"));
    d.OnOK();

    EXPECT_EQ(d.result(), int(QDialog::Accepted));
    EXPECT_EQ(d.values().RightHold, 800);
    EXPECT_EQ(d.values().RightRadius, 12);
}

TEST_F(SettingDlgTest, ScreenListOffersTheMonitorsAndStoresANameOrWhatWasTyped) {
    monitors = {{"eDP-1", {0, 0, 1280, 800}, true}, {"HDMI-1", {1280, 0, 1024, 768}, false}};
    values.Screen = "HDMI-1";
    open(0, 1);
    QComboBox* screen = combo(1100);

    EXPECT_EQ(items(1100),
              (QStringList{"主显示器", "eDP-1 (1280x800+0+0) *", "HDMI-1 (1024x768+1280+0)"}));
    EXPECT_EQ(screen->currentIndex(), 2);
    // The dialog grew to hold the rows below the original controls.
    EXPECT_LE(screen->geometry().bottom(), dlg->height());
    EXPECT_LE(check(1203)->geometry().bottom(), dlg->height());

    screen->setCurrentIndex(0);
    dlg->OnOK();
    EXPECT_EQ(dlg->values().Screen, "");

    screen->setEditText(QStringLiteral(" 1 "));
    dlg->OnOK();
    EXPECT_EQ(dlg->values().Screen, "1");
}

TEST_F(SettingDlgTest, DefaultsFillTheFieldsAndSetExposureMinusSixAtOnce) {
    CSettingDlg& d = open(0, 0);
    check(1036)->setChecked(false);  // F13 off, not stored yet
    combo(1000)->setEditText(QStringLiteral("30"));
    combo(1004)->setEditText(QStringLiteral("12"));
    check(1035)->setChecked(false);
    backend->exposures.clear();

    d.findChild<QPushButton*>(QStringLiteral("1003"))->click();

    EXPECT_EQ(combo(1000)->currentText(), QStringLiteral("180"));
    EXPECT_EQ(combo(1001)->currentText(), QStringLiteral("5"));
    EXPECT_EQ(combo(1054)->currentText(), QStringLiteral("1000"));
    EXPECT_EQ(combo(1004)->currentText(), QStringLiteral("5"));
    EXPECT_EQ(combo(1005)->currentText(), QStringLiteral("-6"));
    EXPECT_TRUE(check(1035)->isChecked());
    EXPECT_FALSE(check(1036)->isChecked());  // untouched
    EXPECT_FALSE(check(1078)->isChecked());
    EXPECT_TRUE(combo(1000)->isEnabled());
    EXPECT_EQ(backend->exposureLog(), (std::vector<E>{{-6, false}}));
}

TEST_F(SettingDlgTest, ChoosingAnExposureActsOnTheCameraAtOnce) {
    CSettingDlg& d = open();
    combo(1000)->setEditText(QStringLiteral("99"));  // typed, not confirmed
    backend->exposures.clear();

    choose(1005, QStringLiteral("-3"));

    EXPECT_EQ(backend->exposureLog(), (std::vector<E>{{-3, false}}));
    EXPECT_EQ(d.values().RunExpoTime, -3);
    EXPECT_EQ(combo(1005)->currentText(), QStringLiteral("-3"));
    EXPECT_EQ(combo(1000)->currentText(), QStringLiteral("180"));  // back to the stored value
}

TEST_F(SettingDlgTest, AutomaticThresholdBoxEnablesTheThresholdField) {
    open(0, 1);
    EXPECT_FALSE(combo(1000)->isEnabled());

    check(1078)->click();
    EXPECT_TRUE(combo(1000)->isEnabled());
    EXPECT_EQ(dlg->values().AutoTh, 0);

    check(1078)->click();
    EXPECT_FALSE(combo(1000)->isEnabled());
}

TEST_F(SettingDlgTest, DeviceListIsLockedWhileTrackingRuns) {
    open(1);
    EXPECT_FALSE(combo(1074)->isEnabled());
    open(0);
    EXPECT_TRUE(combo(1074)->isEnabled());
}

// The image values it pushes: the console's settings round trip.
TEST_F(SettingDlgTest, SwitchingDevicesReopensAtVgaWithAutomaticExposure) {
    CSettingDlg& d = open();
    backend->exposures.clear();
    backend->opens.clear();

    choose(1074, QStringLiteral("2"));

    EXPECT_EQ(backend->opens, (std::vector<std::pair<int, cv::Size>>{{2, {640, 480}}}));
    EXPECT_EQ(backend->exposureLog(), (std::vector<E>{{0, true}}));
    EXPECT_EQ(CameraIndex, 2);
    EXPECT_EQ(d.SelectedDevice, 2);

    d.reject();  // the switch stays
    EXPECT_EQ(CameraIndex, 2);
}

}  // namespace
}  // namespace tovik::testing
