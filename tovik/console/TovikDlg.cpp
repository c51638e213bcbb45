#include "tovik/console/TovikDlg.h"

#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QCursor>
#include <QDateTime>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>

#include "tovik/camera/CameraDS.h"
#include "tovik/console/AboutDlg.h"
#include "tovik/console/CameraFrames.h"
#include "tovik/console/ControlIds.h"
#include "tovik/console/CountDownDlg.h"
#include "tovik/console/DialogBuilder.h"
#include "tovik/console/FrameView.h"
#include "tovik/console/MessagePresenter.h"
#include "tovik/console/ProgramIcon.h"
#include "tovik/console/SelectDlg.h"
#include "tovik/console/SettingDlg.h"
#include "tovik/console/StringTable.h"
#include "tovik/console/TrayMenu.h"
#include "tovik/tracking/SettingsFile.h"

namespace tovik {

namespace {

QPushButton* AddButton(QWidget* parent, const DialogUnits& du, int id, const QString& text, int x,
                       int y, int w, int h) {
    auto* button = AddControl<QPushButton>(parent, du, id, x, y, w, h, text);
    // Enter never presses a button of the console.
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

QLineEdit* AddReadOnlyEdit(QWidget* parent, const DialogUnits& du, int id, int x, int y, int w,
                           int h) {
    auto* edit = AddControl<QLineEdit>(parent, du, id, x, y, w, h);
    edit->setReadOnly(true);
    edit->setFocusPolicy(Qt::NoFocus);
    return edit;
}

QLabel* AddStatic(QWidget* parent, const DialogUnits& du, int id, const QString& text, int x, int y,
                  int w, int h) {
    auto* label = AddControl<QLabel>(parent, du, id, x, y, w, h, text);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    return label;
}

constexpr int kStatusPanelIds[] = {1082, 1028, 1083, 1084, 1030, 1085, 1031,
                                   1086, 1026, 1087, 1029, 1088, 1036, 1066};

RateReading CurrentUtc() {
    const QTime t = QDateTime::currentDateTimeUtc().time();
    RateReading r;
    r.hour = t.hour();
    r.minute = t.minute();
    r.second = t.second();
    r.millisecond = t.msec();
    return r;
}

}  // namespace

CTovikDlg::CTovikDlg(ConsoleServices services, QWidget* parent)
    : QDialog(parent), services_(std::move(services)) {
    runModal = [](QDialog& dialog) { return dialog.exec(); };
    trayAvailable = [] { return QSystemTrayIcon::isSystemTrayAvailable(); };
    utcNow = CurrentUtc;

    setObjectName(QStringLiteral("201"));
    // A caption and a frame, no window-menu, minimise or close box. A normal
    // window, not a dialog: taskbars leave dialogs out (on X11 Qt makes a
    // parentless dialog transient for the program), and the console has its
    // own taskbar entry.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setWindowTitle(QStringLiteral("Vesko-控制台"));
    setWindowIcon(ProgramIcon());
    setFont(DialogFont(9));
    buildControls();

    previewTimer_.setInterval(10);
    connect(&previewTimer_, &QTimer::timeout, this, &CTovikDlg::previewTick);
    rateTimer_.setInterval(2000);
    connect(&rateTimer_, &QTimer::timeout, this, &CTovikDlg::rateTick);
    statusTimer_.setInterval(40);
    connect(&statusTimer_, &QTimer::timeout, this, &CTovikDlg::statusTick);

    // Created: the preview starts, then the dialog initialises.
    previewTimer_.start();
    OnInitDialog();
}

CTovikDlg::~CTovikDlg() {
    // A calibration's worker uses the camera, the settings and the calibration
    // state held here: it ends first, not later with the child objects.
    EndCalibration();
    // The thread ends before the camera and the calibration it reads go.
    if (loop_) {
        loop_->stop();
    }
}

void CTovikDlg::buildControls() {
    const DialogUnits du(font());
    const QString none;
    setFixedSize(du.x(423), kCollapsedHeight);
    setStyleSheet(kClassicGroupBoxStyle);

    AddControl<QGroupBox>(this, du, 1079, 15, 12, 169, 44, QStringLiteral("校准"));
    AddButton(this, du, ids::AutoCalibrate, QStringLiteral("自动(&A)"), 25, 26, 52, 22);
    AddButton(this, du, ids::ManualCalibrate, QStringLiteral("手动(&M)"), 93, 26, 49, 22);
    AddControl<QGroupBox>(this, du, 1080, 15, 59, 169, 39, QStringLiteral("命令"));
    AddButton(this, du, ids::Run, QStringLiteral("运行(&R)"), 26, 70, 50, 21);
    AddButton(this, du, ids::Pause, QStringLiteral("暂停(&P)"), 93, 70, 50, 21);
    AddControl<QGroupBox>(this, du, 1081, 15, 101, 169, 45, QStringLiteral("软件设置"));
    AddButton(this, du, ids::AdvancedSettings, QStringLiteral("高级设置(&S)"), 27, 115, 50, 23);
    AddButton(this, du, ids::TogglePicture, QStringLiteral("打开画面"), 93, 115, 50, 23);
    AddButton(this, du, ids::ToggleStatus, QStringLiteral("显示状态↓"), 17, 156, 53, 27);
    AddButton(this, du, ids::Minimize, QStringLiteral("最小化(&N)"), 74, 156, 52, 27);
    AddButton(this, du, ids::Exit, QStringLiteral("退出(&Q)"), 130, 156, 52, 27);
    picture_ = AddControl<FrameView>(this, du, ids::Picture, 192, 16, 216, 172);
    AddButton(this, du, ids::AdjustCamera, QStringLiteral("调整摄像头(&D)"), 353, 169, 50, 14)
        ->hide();
    AddButton(this, du, ids::About, QStringLiteral("关于(&B)"), 234, 21, 36, 12)->hide();
    AddButton(this, du, ids::ShowConsole, QStringLiteral("Show"), 197, 21, 34, 12)->hide();
    AddReadOnlyEdit(this, du, ids::FrameCountEdit, 381, 20, 22, 12)->hide();
    AddReadOnlyEdit(this, du, ids::AutoThresholdEdit, 151, 124, 22, 12)->hide();

    AddControl<QGroupBox>(this, du, 1082, 15, 209, 393, 42, QStringLiteral("运行状态"));
    AddReadOnlyEdit(this, du, ids::FpsEdit, 23, 228, 28, 12);
    AddStatic(this, du, 1083, QStringLiteral("帧/秒"), 54, 229, 18, 8);
    AddStatic(this, du, 1084, QStringLiteral("x:"), 77, 229, 8, 8);
    AddReadOnlyEdit(this, du, ids::PosXEdit, 89, 228, 28, 12);
    AddStatic(this, du, 1085, QStringLiteral("y:"), 119, 230, 8, 8);
    AddReadOnlyEdit(this, du, ids::PosYEdit, 132, 228, 28, 12);
    AddStatic(this, du, 1086, QStringLiteral("左键"), 165, 230, 15, 8);
    AddReadOnlyEdit(this, du, ids::ButtonStateEdit, 183, 228, 26, 12);
    AddStatic(this, du, 1087, QStringLiteral("面积"), 214, 230, 15, 8);
    AddReadOnlyEdit(this, du, ids::SpotCountEdit, 231, 228, 28, 12);
    AddStatic(this, du, 1088, QStringLiteral("采样间隔："), 264, 230, 36, 8);
    slider_ = AddControl<QSlider>(this, du, ids::IntervalSlider, 297, 227, 74, 15, Qt::Horizontal);
    AddReadOnlyEdit(this, du, ids::IntervalEdit, 374, 227, 23, 14);

    const std::pair<int, void (CTovikDlg::*)()> handlers[] = {
        {ids::AutoCalibrate, &CTovikDlg::OnAutoCalibrate},
        {ids::ManualCalibrate, &CTovikDlg::OnManualCalibrate},
        {ids::Run, &CTovikDlg::OnRun},
        {ids::Pause, &CTovikDlg::OnPause},
        {ids::AdvancedSettings, &CTovikDlg::OnAdvancedSettings},
        {ids::TogglePicture, &CTovikDlg::OnTogglePicture},
        {ids::ToggleStatus, &CTovikDlg::OnToggleStatus},
        {ids::Minimize, &CTovikDlg::HideToTray},
        {ids::Exit, &CTovikDlg::OnExit},
        {ids::AdjustCamera, &CTovikDlg::OnAdjustCamera},
        {ids::About, &CTovikDlg::OnAbout},
        {ids::ShowConsole, &CTovikDlg::OnShowConsole},
    };
    for (const auto& [id, handler] : handlers) {
        auto* button = findChild<QPushButton*>(QString::number(id));
        connect(button, &QPushButton::clicked, this, handler);
    }
    connect(slider_, &QSlider::valueChanged, this, &CTovikDlg::OnSamplingIntervalDraw);
}

void CTovikDlg::OnInitDialog() {
    setWindowTitle(LoadString(102));
    const std::pair<int, int> captions[] = {
        {103, 1079}, {104, 1005}, {105, 1009}, {106, 1080}, {107, 1006}, {108, 1007},
        {110, 1081}, {111, 1058}, {115, 1040}, {112, 1067}, {117, 1057}, {118, 2},
        {128, 1082}, {129, 1083}, {130, 1086}, {131, 1087}, {132, 1088},
    };
    for (const auto& [stringId, controlId] : captions) {
        setText(controlId, LoadString(stringId));
    }
    setFixedSize(width(), kCollapsedHeight);
    showStatusPanel(false);
    control(ids::AutoCalibrate)->setToolTip(LoadString(147));
    control(ids::ManualCalibrate)->setToolTip(LoadString(148));
    control(ids::AdvancedSettings)->setToolTip(LoadString(149));
    TrayIconAdded = 0;

    LoadSettings(settings_, services_.paths.iniPath);
    CCameraDS& camera = services_.camera;
    camera.SetImageControls(settings_.camera);
    camera.SetExposure(0, true);
    const int interval = settings_.SamplingInterval;
    {
        // Setting the range must not move the interval through the
        // slider's old position.
        const QSignalBlocker block(slider_);
        slider_->setRange(1, 60);
        slider_->setValue(interval);
    }
    OnSamplingIntervalDraw(slider_->value());

    // Initial states of the tracking controls.
    setEnabled(ids::Pause, false);
    setEnabled(ids::TogglePicture, false);
}

QWidget* CTovikDlg::control(int id) const {
    return findChild<QWidget*>(QString::number(id));
}

void CTovikDlg::setText(int id, const QString& text) {
    QWidget* w = control(id);
    if (auto* b = qobject_cast<QAbstractButton*>(w)) {
        b->setText(text);
    } else if (auto* g = qobject_cast<QGroupBox*>(w)) {
        g->setTitle(text);
    } else if (auto* l = qobject_cast<QLabel*>(w)) {
        l->setText(text);
    } else if (auto* e = qobject_cast<QLineEdit*>(w)) {
        if (e->text() != text) {
            e->setText(text);
        }
    }
}

void CTovikDlg::showStatusPanel(bool show) {
    // The panel lies below the collapsed height; hiding it as well keeps it
    // out of sight whatever the window frame takes.
    for (const int id : kStatusPanelIds) {
        control(id)->setVisible(show);
    }
}

void CTovikDlg::SetPenButtonProblem(const QString& problem) {
    auto* group = findChild<QGroupBox*>(QString::number(1082));
    if (group == nullptr || problem.isEmpty()) {
        return;
    }
    group->setTitle(QStringLiteral("运行状态 — 笔按钮不可用，F13Trig 无法使用"));
    group->setToolTip(problem);
}

void CTovikDlg::setEnabled(int id, bool enabled) {
    control(id)->setEnabled(enabled);
}

// ---- Run, pause, exit ----

TrackingCalibration CTovikDlg::snapshotCalibration() {
    TrackingCalibration c;
    // Resolved afresh at each start and resume: the monitor may have been
    // chosen anew (or gone) while the thread was parked.
    c.target = TargetScreen();
    c.homography = calibration_.Homography;
    c.background = calibration_.BackgroundFrame.clone();
    c.autoThreshold = calibration_.AutoThreshold;
    c.window = calibration_.Window;
    c.lens = calibration_.Lens;
    return c;
}

common::ScreenRect CTovikDlg::TargetScreen() {
    const std::string& choice =
        services_.screenChoice.empty() ? settings_.Screen : services_.screenChoice;
    const common::TargetScreen target = common::resolveTargetScreen(services_.screen, choice);
    // Told once in the status panel, not at every lookup; a later change of
    // the choice or the monitors is told again.
    if (target.warning != screenWarning_) {
        screenWarning_ = target.warning;
        showScreenWarning(target.warning.empty()
                              ? QString()
                              : LoadString(187).arg(QString::fromStdString(choice),
                                                    QString::fromStdString(target.monitor.name)));
    }
    return target.monitor.rect;
}

void CTovikDlg::showScreenWarning(const QString& text) {
    auto* panel = findChild<QGroupBox*>(QString::number(1082));
    auto* line = panel->findChild<QLabel*>(QStringLiteral("ScreenWarning"));
    if (line == nullptr) {
        // On the panel's title row, right of its title.
        line = new QLabel(panel);
        line->setObjectName(QStringLiteral("ScreenWarning"));
        line->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        line->setStyleSheet(QStringLiteral("color: #C00000;"));
        const int left = panel->width() / 4;
        line->setGeometry(left, 0, panel->width() - left - 8, line->fontMetrics().height());
    }
    line->setText(text);
}

void CTovikDlg::OnRun() {
    // The event loop runs during a calibration: its worker owns the camera
    // and is writing the calibration that a thread would snapshot.
    if (calibrationHoldsConsole()) {
        return;
    }
    if (calibration_.Calibrated == 0) {
        services_.messages.show(this, LoadString(151), LoadString(152), MessageIcon::Information,
                                MessageButtons::Ok);
        return;
    }
    if (threadGuard_) {
        services_.messages.show(this, QStringLiteral("光笔检测线程已经打开"),
                                QStringLiteral("Vesko·控制台"), MessageIcon::None,
                                MessageButtons::Ok);
        return;
    }
    threadGuard_ = true;
    previewTimer_.stop();
    services_.camera.SetExposure(settings_.RunExpoTime, false);

    CCameraDS& camera = services_.camera;
    DetectionLoop::Services s{
        [&camera](cv::Mat& frame, std::chrono::milliseconds timeout) {
            CaptureBackend* backend = camera.backend();
            return backend != nullptr && backend->isOpen() && backend->grab(frame, timeout);
        },
        settings_,
        [this] { return snapshotCalibration(); },
        services_.keys,
        services_.injector,
        services_.clock,
        status_,
        display_,
    };
    loop_ = std::make_unique<DetectionLoop>(std::move(s));
    loop_->setTrace(trace_);
    loop_->setShowPicture(ShowPicture != 0);
    loop_->start();
    tracking_.track();
    rateTimer_.start();
    statusTimer_.start();

    setEnabled(ids::Pause, true);
    setEnabled(ids::TogglePicture, true);
    setEnabled(ids::Run, false);
    setEnabled(ids::AdjustCamera, false);
    setEnabled(ids::AutoCalibrate, false);
    setEnabled(ids::ManualCalibrate, false);
    HideToTray();
}

void CTovikDlg::OnPause() {
    // Nothing to pause before the first Run; nothing to resume while a
    // calibration replaces what the thread reads.
    if (!loop_ || calibrationHoldsConsole()) {
        return;
    }
    if (!tracking_.paused()) {
        // Parked between frames: the preview and calibration may use the
        // camera and replace the calibration now.
        loop_->pause();
        setText(ids::Pause, LoadString(109));
        setEnabled(ids::AdjustCamera, true);
        setEnabled(ids::AutoCalibrate, true);
        setEnabled(ids::ManualCalibrate, true);
        tracking_.pause();
        services_.camera.SetExposure(0, true);
        previewTimer_.start();
    } else {
        previewTimer_.stop();
        loop_->resume();
        setText(ids::Pause, LoadString(108));
        setEnabled(ids::AdjustCamera, false);
        setEnabled(ids::AutoCalibrate, false);
        setEnabled(ids::ManualCalibrate, false);
        tracking_.track();
        services_.camera.SetExposure(settings_.RunExpoTime, settings_.RunExpoTime == 0);
        HideToTray();
    }
}

void CTovikDlg::OnExit() {
    // A running calibration owns the camera and the calibration state; it
    // ends by itself (or by Esc for the manual one) before the console may.
    if (exiting_ || CalibrationRunning()) {
        return;
    }
    if (services_.messages.show(this, LoadString(150), LoadString(102), MessageIcon::Information,
                                MessageButtons::OkCancel) != MessageResult::Ok) {
        return;
    }
    // The question runs its own event loop: a calibration may have started
    // from the tray menu meanwhile.
    if (CalibrationRunning()) {
        return;
    }
    exiting_ = true;
    if (const common::FileWriteResult r = SaveSettings(settings_, services_.paths.iniPath);
        !r.ok()) {
        // Before anything stops: the user may free space and note the values.
        ReportFileNotWritten(LoadString(185), r.describe(services_.paths.iniPath));
    }
    tracking_.requestStop();
    // A parked thread is woken by the stop itself; it ends at its safe point
    // and is joined before the camera goes.
    if (loop_) {
        loop_->stop();
    }
    previewTimer_.stop();
    rateTimer_.stop();
    statusTimer_.stop();
    services_.camera.CloseDevice();
    if (tray_) {
        tray_->hide();
    }
    QDialog::done(QDialog::Rejected);
}

void CTovikDlg::ReportFileNotWritten(const QString& what, const std::string& reason) {
    services_.messages.show(this, what + QLatin1Char('\n') + QString::fromStdString(reason),
                            LoadString(102), MessageIcon::Warning, MessageButtons::Ok);
}

void CTovikDlg::accept() {}

void CTovikDlg::reject() {
    OnExit();
}

void CTovikDlg::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CTovikDlg::closeEvent(QCloseEvent* event) {
    if (exiting_) {
        event->accept();
        return;
    }
    // The window manager's close acts like Esc: it asks first.
    event->ignore();
    OnExit();
}

// ---- Timers ----

void CTovikDlg::startPreviewTimer() {
    previewTimer_.start();
}

void CTovikDlg::stopPreviewTimer() {
    previewTimer_.stop();
}

void CTovikDlg::previewTick() {
    if (PreviewSuspended != 0) {
        return;
    }
    // The camera belongs to the detection thread unless it is parked.
    if (loop_ && !loop_->parked()) {
        return;
    }
    if (GrabForDisplay(services_.camera, previewFrame_)) {
        picture_->setFrame(previewFrame_);
    }
}

void CTovikDlg::rateTick() {
    RateReading now = utcNow();
    now.frames = static_cast<double>(status_.read().frames);
    const std::int32_t rate = FrameRate(lastRate_, now);
    lastRate_ = now;
    setText(ids::FpsEdit, QString::number(rate));
}

void CTovikDlg::statusTick() {
    const DetectionStatus::Values v = status_.read();
    setText(ids::FrameCountEdit, QString::number(v.frames));
    setText(ids::SpotCountEdit, QString::number(v.spotCount));
    if (v.hasPosition) {
        setText(ids::PosXEdit, QString::number(v.x));
        setText(ids::PosYEdit, QString::number(v.yFromBottom));
    }
    // An unplugged camera shows in the button field until it is back; the
    // back end reopens it by itself.
    const CaptureBackend* backend = services_.camera.backend();
    const bool lost = backend != nullptr && backend->deviceLost();
    if (lost) {
        setText(ids::ButtonStateEdit, QStringLiteral("摄像头已断开"));
    } else if (v.button != DetectionStatus::Button::Unknown) {
        setText(ids::ButtonStateEdit,
                LoadString(v.button == DetectionStatus::Button::Down ? 153 : 154));
    } else if (cameraLostShown_) {
        setText(ids::ButtonStateEdit, QString());
    }
    cameraLostShown_ = lost;
    shown_ = v;
    if (ShowPicture != 0 && display_.takeIfNewer(displayFrame_, displaySeen_)) {
        picture_->setFrame(displayFrame_);
    }
}

void CTovikDlg::OnSamplingIntervalDraw(int position) {
    settings_.SamplingInterval = std::clamp(position, 1, 60);
    setText(ids::IntervalEdit, QString::number(settings_.SamplingInterval.get()));
}

// ---- Console commands ----

void CTovikDlg::OnAbout() {
    CAboutDlg about(this);
    runModal(about);
}

void CTovikDlg::OnTogglePicture() {
    if (ShowPicture == 0) {
        setText(ids::TogglePicture, QStringLiteral("关闭画面"));
    } else {
        setText(ids::TogglePicture, QStringLiteral("打开画面"));
    }
    ShowPicture = ShowPicture == 0 ? 1 : 0;
    if (loop_) {
        loop_->setShowPicture(ShowPicture != 0);
    }
}

void CTovikDlg::OnToggleStatus() {
    if (StatusShown == 1) {
        setFixedSize(width(), kCollapsedHeight);
        showStatusPanel(false);
        StatusShown = 0;
        setText(ids::ToggleStatus, LoadString(112));
    } else {
        setFixedSize(width(), kExpandedHeight);
        showStatusPanel(true);
        StatusShown = 1;
        setText(ids::ToggleStatus, LoadString(113));
    }
}

void CTovikDlg::OnShowConsole() {
    if (isMinimized()) {
        showNormal();
    } else {
        show();
    }
    raise();
    activateWindow();
}

void CTovikDlg::HideToTray() {
    if (!trayAvailable()) {
        // Without a tray the console could not be brought back: minimise.
        showMinimized();
        return;
    }
    if (TrayIconAdded == 0) {
        tray_ = std::make_unique<QSystemTrayIcon>(ProgramIcon());
        tray_->setToolTip(LoadString(102).left(128));
        trayMenu_ = std::make_unique<QMenu>();
        // Built afresh from the state every time it opens.
        connect(trayMenu_.get(), &QMenu::aboutToShow, this, [this] { fillTrayMenu(*trayMenu_); });
        tray_->setContextMenu(trayMenu_.get());
        connect(tray_.get(), &QSystemTrayIcon::activated, this, &CTovikDlg::OnTrayActivated);
        tray_->show();
        tray_->showMessage(LoadString(102).left(64), LoadString(156).left(256),
                           QSystemTrayIcon::Information, 5000);
        ++BalloonsShown;
        TrayIconAdded = 1;
    }
    hide();
}

void CTovikDlg::OnTrayActivated(QSystemTrayIcon::ActivationReason reason) {
    if (reason == QSystemTrayIcon::DoubleClick) {
        show();
    }
}

void CTovikDlg::fillTrayMenu(QMenu& menu) {
    menu.clear();
    for (const TrayMenuItem& item : BuildTrayMenu(tracking_.threadStarted(), tracking_.running())) {
        QAction* action = menu.addAction(LoadString(item.stringId));
        action->setObjectName(QString::number(item.command));
        const int command = item.command;
        connect(action, &QAction::triggered, this, [this, command] {
            // After the menu has closed, like a posted command.
            QTimer::singleShot(0, this, [this, command] { runCommand(command); });
        });
    }
}

std::unique_ptr<QMenu> CTovikDlg::buildTrayMenu() {
    auto menu = std::make_unique<QMenu>();
    fillTrayMenu(*menu);
    return menu;
}

std::unique_ptr<QMenu> CTovikDlg::buildWindowMenu() {
    auto menu = std::make_unique<QMenu>();
    QAction* about = menu->addAction(LoadString(101));
    about->setObjectName(QString::number(ids::AboutCommand));
    connect(about, &QAction::triggered, this,
            [this] { QTimer::singleShot(0, this, &CTovikDlg::OnAbout); });
    return menu;
}

void CTovikDlg::contextMenuEvent(QContextMenuEvent* event) {
    // Dialogs have no window menu here; a right-click on the console's
    // background offers its entry.
    auto menu = buildWindowMenu();
    menu->exec(event->globalPos());
}

bool CTovikDlg::runCommand(int command) {
    switch (command) {
        case ids::ShowConsole:
            OnShowConsole();
            return true;
        case ids::AutoCalibrate:
            OnAutoCalibrate();
            return true;
        case ids::ManualCalibrate:
            OnManualCalibrate();
            return true;
        case ids::Run:
            OnRun();
            return true;
        case ids::Pause:
            OnPause();
            return true;
        case ids::Exit:
            OnExit();
            return true;
        case ids::Minimize:
            HideToTray();
            return true;
        case ids::TogglePicture:
            OnTogglePicture();
            return true;
        case ids::ToggleStatus:
            OnToggleStatus();
            return true;
        case ids::AdvancedSettings:
            OnAdvancedSettings();
            return true;
        case ids::AdjustCamera:
            OnAdjustCamera();
            return true;
        case ids::About:
        case ids::AboutCommand:
            OnAbout();
            return true;
        default:
            return false;
    }
}

void CTovikDlg::OnAdjustCamera() {
    if (calibrationHoldsConsole()) {
        return;  // switching devices would close the camera under the calibration
    }
    PreviewSuspended = 1;
    CSelectDlg dialog(services_.camera, settings_.camera, this);
    runModal(dialog);
    settings_.camera = dialog.values();
    PreviewSuspended = 0;
}

void CTovikDlg::OnAdvancedSettings() {
    if (calibrationHoldsConsole()) {
        return;  // switching devices would close the camera under the calibration
    }
    CSettingDlg dialog(services_.camera, services_.messages, settings_, this);
    dialog.Running = tracking_.running() ? 1 : 0;
    dialog.Monitors = services_.screen.monitors();
    if (runModal(dialog) != QDialog::Accepted) {
        return;
    }
    // The slider's interval is not the dialog's to change.
    const std::int32_t interval = settings_.SamplingInterval;
    settings_ = dialog.values();
    settings_.SamplingInterval = interval;
}

int CTovikDlg::RunCountDown() {
    CCountDownDlg dialog(this);
    dialog.SecondsLeft = 5;
    return runModal(dialog);
}

void CTovikDlg::ShowAutoThreshold(int value) {
    setText(ids::AutoThresholdEdit, QString::number(value));
}

}  // namespace tovik
