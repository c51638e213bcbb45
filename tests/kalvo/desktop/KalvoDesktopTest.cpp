// Kalvo on real desktops: run by tests/desktop/with_desktop.sh under a window
// manager (and with several monitors), on the display it prepared. Other
// programs' windows are made here through a connection of their own, so the
// window manager treats them as another program's.

#include <QApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <memory>
#include <vector>

#include <signal.h>
#include <sys/types.h>
#include <unistd.h>

#include "common/platform/X11WindowFinder.h"
#include "kalvo/core/CMyDoc.h"
#include "kalvo/core/ColorDialogPlacement.h"
#include "kalvo/core/DrawingState.h"
#include "kalvo/core/ToolbarCommands.h"
#include "kalvo/ui/CMainFrame.h"
#include "kalvo/ui/CMyApp.h"
#include "kalvo/ui/CMyColorDlg.h"
#include "kalvo/ui/CTrueColorToolBar.h"
#include "kalvo/ui/DrawingWindow.h"
#include "kalvo/ui/KalvoUiTest.h"
#include "kalvo/ui/SurfaceController.h"
#include "kalvo/ui/ToolbarButton.h"

// Xlib after Qt: its macros must not meet Qt's headers.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include "common/platform/X11Window.h"
#include "tests/support/Wait.h"
#include "tests/support/X11.h"

namespace kalvo {
namespace {

using namespace std::chrono_literals;
using tktest::DisplayPtr;

using tktest::waitUntil;

QRgb rootPixel(Display* d, QPoint at) {
    return tktest::rootPixel(d, at.x(), at.y());
}

// A client window on the root with the frame its window manager reports
// (_NET_FRAME_EXTENTS: the visible decoration, without invisible borders).
QRect withFrameExtents(Display* d, Window w) {
    XWindowAttributes attrs{};
    Window child = 0;
    int x = 0;
    int y = 0;
    if (!XGetWindowAttributes(d, w, &attrs) ||
        !XTranslateCoordinates(d, w, DefaultRootWindow(d), 0, 0, &x, &y, &child)) {
        return {};
    }
    std::vector<unsigned long> extents =  // left, right, top, bottom
        common::x11::longs(d, w, "_NET_FRAME_EXTENTS", XA_CARDINAL, 4);
    extents.resize(4);  // zeros without a frame
    const auto e = [&](int i) { return static_cast<int>(static_cast<long>(extents[i])); };
    return QRect(x - e(0), y - e(2), attrs.width + e(0) + e(1), attrs.height + e(2) + e(3));
}

void sendNetWmMessage(Display* d, Window w, const char* type, long l0, long l1 = 0, long l2 = 0) {
    XEvent ev{};
    ev.xclient.type = ClientMessage;
    ev.xclient.window = w;
    ev.xclient.message_type = XInternAtom(d, type, False);
    ev.xclient.format = 32;
    ev.xclient.data.l[0] = l0;
    ev.xclient.data.l[1] = l1;
    ev.xclient.data.l[2] = l2;
    XSendEvent(d, DefaultRootWindow(d), False, SubstructureRedirectMask | SubstructureNotifyMask,
               &ev);
    XFlush(d);
}

// Another program's window: a full-screen "slide show" or a bottom panel.
class ForeignWindow {
public:
    // Unmanaged: placed exactly where asked, beneath everything. Covering:
    // unmanaged too, on top of everything (a menu, a calibration screen).
    enum Kind { FullScreen, BottomPanel, Unmanaged, Covering };
    static constexpr int kPanelHeight = 40;

    ForeignWindow(Kind kind, QRect area, unsigned long colour) : d_(tktest::openDisplay()) {
        Display* d = d_.get();
        const QRect at = kind != BottomPanel ? area
                                             : QRect(area.x(), area.bottom() + 1 - kPanelHeight,
                                                     area.width(), kPanelHeight);
        w_ = XCreateSimpleWindow(d, DefaultRootWindow(d), at.x(), at.y(),
                                 static_cast<unsigned>(at.width()),
                                 static_cast<unsigned>(at.height()), 0, 0, colour);
        if (kind == Unmanaged || kind == Covering) {
            XSetWindowAttributes attrs{};
            attrs.override_redirect = True;
            XChangeWindowAttributes(d, w_, CWOverrideRedirect, &attrs);
        }
        char name[] = "tkForeign";
        XClassHint hint{name, name};
        XSetClassHint(d, w_, &hint);
        const auto atom = [&](const char* atomName) { return XInternAtom(d, atomName, False); };
        if (kind == FullScreen) {
            common::x11::setLongs(d, w_, "_NET_WM_STATE", XA_ATOM,
                                  {atom("_NET_WM_STATE_FULLSCREEN")});
        } else if (kind == BottomPanel) {
            common::x11::setLongs(d, w_, "_NET_WM_WINDOW_TYPE", XA_ATOM,
                                  {atom("_NET_WM_WINDOW_TYPE_DOCK")});
            const int bottom = DisplayHeight(d, DefaultScreen(d)) - (area.bottom() + 1);
            common::x11::setLongs(
                d, w_, "_NET_WM_STRUT_PARTIAL", XA_CARDINAL,
                {0, 0, 0, static_cast<unsigned long>(bottom + kPanelHeight), 0, 0, 0, 0, 0, 0,
                 static_cast<unsigned long>(area.x()), static_cast<unsigned long>(area.right())});
        }
        XMapWindow(d, w_);
        if (kind == Unmanaged) {
            XLowerWindow(d, w_);  // a desktop: beneath every other window
        }
        XSync(d, False);
    }
    ~ForeignWindow() {
        XDestroyWindow(d_.get(), w_);
        XSync(d_.get(), False);
    }

    // What a user's click on it does: raise and focus it, as the program's
    // own window finder asks the window manager to.
    void activate() { common::X11WindowFinder::open(nullptr)->activate(w_); }

private:
    DisplayPtr d_;
    Window w_ = 0;
};

class KalvoDesktop : public ::testing::Test {
protected:
    void SetUp() override {
        resetDrawingState();
        x_ = tktest::openDisplay();
        ASSERT_TRUE(x_) << "needs the desktop's display";
    }
    void TearDown() override {
        app_.reset();
        resetDrawingState();
    }

    Display* d() const { return x_.get(); }

    void startKalvo(common::WindowFinder* windows = nullptr) {
        app_ = std::make_unique<CMyApp>(test::pathsIn(dir_), nullptr, windows);
        ASSERT_TRUE(app_->InitInstance());
        ASSERT_TRUE(QTest::qWaitForWindowExposed(toolbar()));
        QTest::qWait(300);
    }

    CTrueColorToolBar* toolbar() const { return app_->GetMainFrame()->toolBar(); }

    // A real click on a toolbar button, wherever the window manager stacked things.
    void clickButton(int command) {
        const QPoint at = toolbar()->windowRect().topLeft() +
                          toolbar()->buttonForCommand(command)->geometry().center();
        tktest::click(d(), at.x(), at.y());
    }

    // The toolbar is what the screen shows where it stands: its caption and
    // a button's face.
    bool toolbarShown() const {
        const QPoint origin = toolbar()->windowRect().topLeft();
        const QPoint probes[] = {toolbar()->captionRect().center(),
                                 toolbar()->buttonRect(6).topLeft() + QPoint(2, 2),
                                 toolbar()->buttonRect(11).center()};
        return std::all_of(std::begin(probes), std::end(probes),
                           [&](QPoint p) { return shows(toolbar(), origin + p); });
    }

    // The screen shows the widget's own pixel at a point: nothing covers it there.
    bool shows(QWidget* w, QPoint at) const {
        const QRgb want = w->grab().toImage().pixel(w->mapFromGlobal(at));
        const QRgb seen = rootPixel(d(), at);
        return std::abs(qRed(want) - qRed(seen)) <= 8 &&
               std::abs(qGreen(want) - qGreen(seen)) <= 8 &&
               std::abs(qBlue(want) - qBlue(seen)) <= 8;
    }

    // Runs `act` on the next modal dialog, from inside its own event loop, as
    // soon as it is shown (looked for during 10 s).
    void onNextDialog(std::function<void(QWidget*)> act, int triesLeft = 200) {
        QTimer::singleShot(50, toolbar(), [this, act, triesLeft] {
            QWidget* dialog = QApplication::activeModalWidget();
            if (dialog != nullptr && dialog->isVisible()) {
                act(dialog);
            } else if (triesLeft > 0) {
                onNextDialog(act, triesLeft - 1);
            }
        });
    }

    DisplayPtr x_;
    QTemporaryDir dir_;
    std::unique_ptr<CMyApp> app_;
};

QRect primaryArea() {
    return QGuiApplication::primaryScreen()->geometry();
}

TEST_F(KalvoDesktop, ToolbarStaysAboveAFocusedFullScreenShowAndKalvosOwnSurfaces) {
    ForeignWindow show(ForeignWindow::FullScreen, primaryArea(), 0xFF0000);
    QTest::qWait(500);
    show.activate();
    startKalvo();

    const bool overShowAtStart = waitUntil([&] { return toolbarShown(); }, 2s);
    show.activate();  // the presenter clicks the show
    QTest::qWait(400);
    const bool overShowFocused = waitUntil([&] { return toolbarShown(); }, 2s);
    clickButton(ID_WHITEBOARD);
    const bool boardOn = waitUntil([&] { return drawingState().mode == kModeWhiteboard; });
    const bool overBoard = waitUntil([&] {
        return toolbarShown() &&
               rootPixel(d(), primaryArea().topLeft() + QPoint(50, 50)) == 0xFFFFFFFFu;
    });
    clickButton(ID_WHITEBOARD);
    const bool boardOff = waitUntil([&] { return drawingState().mode == kModeNone; });
    clickButton(ID_DRAW_ON_SCREEN);
    const bool screenOn = waitUntil([&] { return drawingState().mode == kModeScreen; });
    const bool overlayShown = QTest::qWaitForWindowExposed(&app_->GetSurfaces()->overlay());
    QTest::qWait(300);
    const bool overOverlay = waitUntil([&] { return toolbarShown(); }, 2s);
    // A stroke on the overlay, over the show. Once the press is in, its ten
    // steps come at once, as to a Kalvo busy drawing: each stays a segment,
    // not one chord for the lot.
    const QPoint from = primaryArea().topLeft() + QPoint(100, 200);
    tktest::stroke(d(), from.x(), from.y(), from.x() + 200, from.y(), 10, 0ms, 300ms);
    const bool inked = waitUntil([&] { return app_->GetDocument().GetSegmentCount() >= 10; });
    clickButton(ID_EXIT);
    const bool ended = waitUntil([&] { return !toolbar()->isVisible(); });

    EXPECT_TRUE(overShowAtStart);
    EXPECT_TRUE(overShowFocused);
    EXPECT_TRUE(boardOn);
    EXPECT_TRUE(overBoard);
    EXPECT_TRUE(boardOff);
    EXPECT_TRUE(screenOn);
    EXPECT_TRUE(overlayShown);
    EXPECT_TRUE(overOverlay);
    EXPECT_TRUE(inked) << "the overlay took " << app_->GetDocument().GetSegmentCount()
                       << " segments of a ten-step stroke over the show";
    EXPECT_TRUE(ended);
}

// Another program's override-redirect window shown over the toolbar (Tovik's
// calibration screen) stays on top: the toolbar does not climb over it.
TEST_F(KalvoDesktop, ToolbarStaysBelowAnotherProgramsUnmanagedWindowShownLater) {
    startKalvo();
    ASSERT_TRUE(waitUntil([&] { return toolbarShown(); }, 2s));
    const QPoint caption = toolbar()->windowRect().topLeft() + toolbar()->captionRect().center();

    ForeignWindow calibration(ForeignWindow::Covering, primaryArea(), 0x00FF00);
    const bool covered = waitUntil([&] { return rootPixel(d(), caption) == 0xFF00FF00u; }, 2s);
    QTest::qWait(1500);  // several of the toolbar's stacking checks

    EXPECT_TRUE(covered);
    EXPECT_EQ(rootPixel(d(), caption), 0xFF00FF00u) << "the toolbar climbed over the window";
}

// The colour dialog opens at the colour button near the bottom of the screen,
// where a panel stands: it must land above the panel with its frame, and
// above the toolbar. Then it goes where the user drags it, and stays there.
TEST_F(KalvoDesktop, ColourDialogLandsOnTheWorkAreaWithItsFrameAboveTheToolbar) {
    const QRect screen = primaryArea();
    ForeignWindow panel(ForeignWindow::BottomPanel, screen, 0x202020);
    QTest::qWait(500);
    startKalvo();
    // The colour button low on the screen: the dialog must be pushed up.
    toolbar()->move(screen.right() - 200, screen.bottom() - 260);
    QTest::qWait(300);
    const QRect workArea(screen.x(), screen.y(), screen.width(),
                         screen.height() - ForeignWindow::kPanelHeight);
    QRect frame;
    bool placed = false;
    bool dialogUncovered = false;
    QString why;
    QRect movedTo;
    QRect afterwards;
    bool done = false;
    onNextDialog([&](QWidget* dialog) {
        const auto frameNow = [&] { return withFrameExtents(d(), Window(dialog->winId())); };
        // Placed at the colour button with the frame the window manager gave
        // it, and staying there. Mutter, when busy, settles the frame a pixel
        // off what was asked for.
        const auto* colours = qobject_cast<CMYCOLORDLG*>(dialog);
        const auto atButton = [&] {
            const QRect qtFrame = dialog->frameGeometry();
            frame = frameNow();
            const QPoint off = qtFrame.topLeft() -
                               PlaceColorDialog(toolbar()->windowRect(), toolbar()->buttonRect(5),
                                                qtFrame.size(), colours->screenArea());
            return workArea.contains(frame) && std::abs(off.x()) <= 1 && std::abs(off.y()) <= 1;
        };
        placed = colours != nullptr && waitUntil(atButton) && (QTest::qWait(500), atButton());
        // Where the toolbar stood, the dialog is what the screen shows (the
        // dialog as it stands at each look).
        const QRect toolbarRect = toolbar()->windowRect();
        QRect shown;
        QRect overlap;
        dialogUncovered = waitUntil(
            [&] {
                // Taken through the same mapping as the pixel compared (the
                // widget's geometry can lag behind its window's under KWin).
                shown = QRect(dialog->mapToGlobal(QPoint(0, 0)), dialog->size());
                overlap = shown & toolbarRect;
                return overlap.isEmpty() || shows(dialog, overlap.center());
            },
            3s);
        if (!dialogUncovered) {
            const QPoint at = overlap.center();
            QDebug(&why) << "dialog at" << shown << "toolbar visible" << toolbar()->isVisible()
                         << "at" << at << "dialog" << Qt::hex
                         << dialog->grab().toImage().pixel(dialog->mapFromGlobal(at)) << "screen"
                         << rootPixel(d(), at);
        }
        // The user moves it at once (x and y given, as a pager or the user asks).
        sendNetWmMessage(d(), Window(dialog->winId()), "_NET_MOVERESIZE_WINDOW",
                         (1 << 8) | (1 << 9) | (2 << 12), frame.x() - 120, frame.y() - 90);
        waitUntil([&] { return (movedTo = frameNow()) != frame; }, 2s);
        QTest::qWait(2000);  // any placing after the show is over by now
        afterwards = frameNow();
        dialog->close();
        done = true;
    });

    clickButton(ID_COLOR_SETTING);
    const bool closed = waitUntil([&] { return done; }, 15s);
    const bool toolbarBack = waitUntil([&] { return toolbar()->isVisible(); }, 2s);

    ASSERT_TRUE(closed) << "no colour dialog";
    EXPECT_TRUE(placed) << "frame " << frame.x() << "," << frame.y() << " " << frame.width() << "x"
                        << frame.height();
    EXPECT_TRUE(dialogUncovered) << "the toolbar covers the dialog: " << why.toStdString();
    EXPECT_NE(movedTo, frame) << "the dialog did not move";
    EXPECT_EQ(afterwards, movedTo) << "the dialog went back after the user moved it";
    EXPECT_TRUE(toolbarBack);
}

// Under a compositing window manager: every modal dialog belongs to the
// surface on, so that it opens above that full-screen window.
TEST_F(KalvoDesktop, ModalDialogsBelongToTheSurfaceInUse) {
    startKalvo();
    CMainFrame* frame = app_->GetMainFrame();
    frame->OnCommand(ID_DRAW_ON_SCREEN);
    DrawingWindow& overlay = app_->GetSurfaces()->overlay();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&overlay));
    std::vector<std::string> owned;
    const auto check = [&](const char* name) {
        onNextDialog([&, name](QWidget* dialog) {
            Window owner = 0;
            XGetTransientForHint(d(), static_cast<Window>(dialog->winId()), &owner);
            const QPoint centre = dialog->geometry().center();
            if (owner == static_cast<Window>(overlay.winId()) &&
                waitUntil([&] { return shows(dialog, centre); })) {
                owned.push_back(name);
            }
            dialog->close();
        });
    };

    check("about");
    frame->OnCommand(ID_APP_ABOUT);
    check("folder");
    frame->OnCommand(ID_SAVE_IMAGE);
    // The preferences cannot be written at exit: a folder stands in their place.
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(test::pathsIn(dir_).iniPath)));
    check("exit warning");
    frame->OnCommand(ID_EXIT);

    EXPECT_EQ(owned, (std::vector<std::string>{"about", "folder", "exit warning"}));
}

// Two monitors: the surfaces cover the one the toolbar stands on, and the
// overlay without a compositor shows that monitor's picture.
TEST_F(KalvoDesktop, SurfacesCoverTheToolbarsMonitor) {
    const QList<QScreen*> screens = QGuiApplication::screens();
    ASSERT_GE(screens.size(), 2) << "run with two monitors";
    const unsigned long colours[] = {0x00C800, 0xC800C8, 0x0000C8};
    std::vector<std::unique_ptr<ForeignWindow>> desktops;
    for (int i = 0; i < screens.size() && i < 3; ++i) {
        desktops.push_back(std::make_unique<ForeignWindow>(ForeignWindow::Unmanaged,
                                                           screens[i]->geometry(), colours[i]));
    }
    QTest::qWait(800);
    startKalvo();

    for (int i = 0; i < screens.size() && i < 3; ++i) {
        SCOPED_TRACE(screens[i]->name().toStdString());
        const QRect monitor = screens[i]->geometry();
        toolbar()->move(monitor.center());
        QTest::qWait(200);
        SurfaceController& surfaces = *app_->GetSurfaces();

        // Shown over the monitor, and a moment more for the pointer to reach it.
        const auto covers = [&](DrawingWindow& w) {
            const bool shown =
                waitUntil([&] { return w.isVisible() && w.frameGeometry() == monitor; });
            QTest::qWait(300);
            return shown;
        };
        clickButton(ID_DRAW_ON_SCREEN);
        const bool overlayCovers = covers(surfaces.overlay());
        const QImage& picture = surfaces.overlay().background();
        const bool composited = picture.isNull();
        const QRgb under = composited ? 0 : picture.pixel(5, 5);
        // A stroke there: stored and shown where it was drawn on the desktop.
        const QPoint from = monitor.topLeft() + QPoint(100, 200);
        // Ten 20-pixel steps to the right, as a hand draws.
        tktest::stroke(d(), from.x(), from.y(), from.x() + 200, from.y(), 10, 20ms, 0ms);
        CMyDoc& doc = app_->GetDocument();
        ASSERT_TRUE(
            waitUntil([&] { return doc.GetSegmentCount() > 0 && drawingState().drawing == 0; }));
        const QPoint inkAt = from + QPoint(100, 0);
        const bool inked = waitUntil([&] { return rootPixel(d(), inkAt) == 0xFFFF0000u; });
        const QPoint firstPoint(doc.GetSegment(0)->m_x1, doc.GetSegment(0)->m_y1);
        // Saved: the picture of this monitor, the ink at its place.
        onNextDialog([&](QWidget* dialog) {
            qobject_cast<QFileDialog*>(dialog)->setDirectory(dir_.path());
            qobject_cast<QDialog*>(dialog)->accept();  // the folder shown
        });
        app_->GetMainFrame()->OnCommand(ID_SAVE_IMAGE);
        const QImage saved(QString::fromStdString(surfaces.saver()->lastSavedPath()));
        // Clicks on the toolbar are the other cases' subject; here the
        // overlay is simply switched off again.
        app_->GetMainFrame()->OnCommand(ID_DRAW_ON_SCREEN);
        ASSERT_TRUE(waitUntil([&] { return !surfaces.overlay().isVisible(); }));
        clickButton(ID_WHITEBOARD);
        const bool boardCovers = covers(surfaces.board());
        clickButton(ID_WHITEBOARD);
        ASSERT_TRUE(waitUntil([&] { return !surfaces.board().isVisible(); }));

        EXPECT_TRUE(overlayCovers);
        EXPECT_TRUE(boardCovers);
        EXPECT_EQ(firstPoint, from);
        EXPECT_TRUE(inked);  // the default pen, red
        EXPECT_EQ(saved.size(), monitor.size());
        EXPECT_EQ(saved.pixel(inkAt - monitor.topLeft()), 0xFFFF0000u);
        if (!composited) {
            EXPECT_EQ(under, 0xFF000000u | colours[i]);
        }
    }
}

// A real office suite's slide show: Page Down typed on the overlay turns the
// slide, and the overlay (no compositor here) shows the new one.
constexpr const char* kSlides = R"(<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
 xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0"
 xmlns:draw="urn:oasis:names:tc:opendocument:xmlns:drawing:1.0"
 xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0"
 xmlns:svg="urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0"
 office:version="1.2" office:mimetype="application/vnd.oasis.opendocument.presentation">
 <office:automatic-styles>
  <style:page-layout style:name="L"><style:page-layout-properties fo:page-width="28cm" fo:page-height="21cm"/></style:page-layout>
  <style:style style:name="r" style:family="graphic"><style:graphic-properties draw:fill="solid" draw:fill-color="#ff0000" draw:stroke="none"/></style:style>
  <style:style style:name="g" style:family="graphic"><style:graphic-properties draw:fill="solid" draw:fill-color="#00ff00" draw:stroke="none"/></style:style>
 </office:automatic-styles>
 <office:master-styles><style:master-page style:name="M" style:page-layout-name="L"/></office:master-styles>
 <office:body><office:presentation>
  <draw:page draw:name="1" draw:master-page-name="M"><draw:rect draw:style-name="r" svg:x="0cm" svg:y="0cm" svg:width="28cm" svg:height="21cm"/></draw:page>
  <draw:page draw:name="2" draw:master-page-name="M"><draw:rect draw:style-name="g" svg:x="0cm" svg:y="0cm" svg:width="28cm" svg:height="21cm"/></draw:page>
 </office:presentation></office:body>
</office:document>
)";

TEST_F(KalvoDesktop, PageDownOnTheOverlayTurnsTheSlideOfARealSlideShow) {
    const QString launcher = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    ASSERT_FALSE(launcher.isEmpty()) << "needs the office suite (libreoffice-impress)";
    // Its starter, which starts the program again after the first run made
    // the profile; the program is its child.
    const QString office =
        QFileInfo(QFileInfo(launcher).canonicalFilePath()).absolutePath() + "/oosplash";
    const QString slides = dir_.filePath(QStringLiteral("slides.fodp"));
    QFile file(slides);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(kSlides);
    file.close();
    QProcess show;
    // In a process group of its own, which ends whole however the test ends:
    // the program the starter starts goes with it.
    show.setChildProcessModifier([] { ::setsid(); });
    // The starter's pid names the group even after the starter has ended.
    qint64 group = 0;
    const auto ender = qScopeGuard([&] {
        if (group > 0) {
            ::kill(-static_cast<pid_t>(group), SIGKILL);
        }
        show.waitForFinished(5000);
    });
    show.start(office, {QStringLiteral("--norestore"), QStringLiteral("--nologo"),
                        QStringLiteral("--nolockcheck"), QStringLiteral("--show"), slides});
    ASSERT_TRUE(show.waitForStarted());
    group = show.processId();
    auto finder = common::X11WindowFinder::open(nullptr);
    ASSERT_TRUE(finder);
    const QPoint centre = primaryArea().center();
    const auto shows = [&](QRgb colour) { return rootPixel(d(), centre) == colour; };
    // The show may wait for an input event before it paints: a harmless key.
    const auto nudge = [&] { tktest::tapKeys(d(), {XK_Shift_L}); };
    const bool started = waitUntil(
        [&] {
            if (finder->findByClass("LibreOffice *", "", true) && shows(0xFFFF0000u)) {
                return true;
            }
            nudge();
            return false;
        },
        90s, 1s);
    ASSERT_TRUE(started) << "the slide show did not come up";
    startKalvo(finder.get());
    app_->GetMainFrame()->OnCommand(ID_DRAW_ON_SCREEN);
    DrawingWindow& overlay = app_->GetSurfaces()->overlay();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&overlay));
    QTest::qWait(500);

    tktest::tapKeys(d(), {XK_Next});
    const bool turned =
        waitUntil([&] { return shows(0xFF00FF00u) && overlay.isVisible(); }, 15s, 500ms);
    const QRgb underOverlay = overlay.background().isNull()
                                  ? 0
                                  : overlay.background().pixel(overlay.mapFromGlobal(centre));

    EXPECT_TRUE(turned) << "the slide did not turn, or the overlay shows the old one";
    EXPECT_EQ(underOverlay, 0xFF00FF00u);
}

}  // namespace
}  // namespace kalvo
