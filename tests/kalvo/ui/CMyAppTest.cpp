#include <QApplication>
#include <QContextMenuEvent>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include "KalvoUiTest.h"
#include "common/WriteFault.h"
#include "common/ini/IniFile.h"
#include "kalvo/core/CMyDoc.h"
#include "kalvo/core/DocumentDump.h"
#include "kalvo/core/DrawingState.h"
#include "kalvo/core/ToolbarCommands.h"
#include "kalvo/ui/CMainFrame.h"
#include "kalvo/ui/CMyApp.h"
#include "kalvo/ui/CMyView.h"
#include "kalvo/ui/CTrueColorToolBar.h"
#include "kalvo/ui/ToolbarButton.h"

namespace kalvo {
namespace {

class CMyAppTest : public ::testing::Test {
protected:
    void SetUp() override { resetDrawingState(); }
    void TearDown() override {
        app_.reset();
        qunsetenv(kDumpDocumentVariable);
        resetDrawingState();
    }
    // A Kalvo started on the test's folder.
    bool launch() {
        app_ = std::make_unique<CMyApp>(test::pathsIn(dir_));
        return app_->InitInstance();
    }
    QByteArray iniText() const {
        QFile file(QString::fromStdString(test::pathsIn(dir_).iniPath));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir dir_;
    std::unique_ptr<CMyApp> app_;
};

TEST_F(CMyAppTest, FirstRunUsesDefaultsAndExitWritesPositionThenPen) {
    ASSERT_TRUE(launch());
    const DrawingState start = drawingState();
    EXPECT_EQ(CMyApp::instance(), app_.get());

    QTest::mouseClick(app_->GetMainFrame()->toolBar()->buttonForCommand(ID_EXIT), Qt::LeftButton);

    EXPECT_EQ(start.penColor, 255u);
    EXPECT_EQ(start.penStyle, 0);
    EXPECT_EQ(start.penWidth, 3);
    EXPECT_EQ(app_->GetActiveView(), nullptr);
    EXPECT_FALSE(app_->GetMainFrame()->toolBar()->isVisible());
    EXPECT_EQ(iniText().toStdString(),
              "[POSITION]\nCX=-20\nCY=-50\n[PEN]\nCOLOR=255\nTYPE=0\nL=3\n");
}

TEST_F(CMyAppTest, ExitOnAReadOnlyFolderKeepsThePreferencesAndSaysWhy) {
    const QByteArray before = "[PEN]\nCOLOR=65280\nTYPE=0\nL=5\n";
    {
        QFile file(QString::fromStdString(test::pathsIn(dir_).iniPath));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(before);
    }
    ASSERT_TRUE(launch());
    QStringList reported;
    app_->GetMainFrame()->m_reportError = [&](const QString& text) { reported << text; };

    {
        tktest::ScopedWriteFault readOnly(0, EROFS);
        app_->GetMainFrame()->OnCommand(ID_EXIT);
    }

    ASSERT_EQ(reported.size(), 1);
    EXPECT_TRUE(reported[0].contains(QStringLiteral("只读"))) << reported[0].toStdString();
    EXPECT_EQ(iniText(), before);
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files), QStringList{"kalvo.ini"});
}

// The exit button in the program's own event loop: quitting must not stop at
// a visible drawing surface (its close box would refuse the quit).
TEST_F(CMyAppTest, ExitButtonEndsTheProgramFromEveryMode) {
    for (const int command : {0, ID_DRAW_ON_SCREEN, ID_WHITEBOARD}) {
        SCOPED_TRACE(command);
        resetDrawingState();
        QTemporaryDir dir;
        CMyApp app(test::pathsIn(dir));
        ASSERT_TRUE(app.InitInstance());
        if (command != 0) {
            app.GetMainFrame()->OnCommand(command);
        }
        QTimer::singleShot(0, [&] {
            QTest::mouseClick(app.GetMainFrame()->toolBar()->buttonForCommand(ID_EXIT),
                              Qt::LeftButton);
        });
        // Without a quit, a box waits for OK: give up after a while.
        const QObject watchdog;  // its timer goes with it
        QTimer::singleShot(5000, &watchdog, [] { QCoreApplication::exit(7); });

        const int result = QApplication::exec();

        EXPECT_EQ(result, 0);
        common::IniFile ini(test::pathsIn(dir).iniPath);
        ASSERT_TRUE(ini.load());
        EXPECT_NE(ini.getString("POSITION", "CX", ""), "");
        EXPECT_EQ(ini.getString("PEN", "L", ""), "3");
    }
}

TEST_F(CMyAppTest, PenChangesOfARunAreReadByTheNext) {
    ASSERT_TRUE(launch());
    drawingState().penColor = makeColorRef(0, 128, 255);
    app_->GetActiveView()->OnCommand(55);
    app_->GetMainFrame()->OnCommand(ID_EXIT);
    app_.reset();
    resetDrawingState();

    ASSERT_TRUE(launch());

    EXPECT_EQ(drawingState().penColor, makeColorRef(0, 128, 255));
    EXPECT_EQ(drawingState().penWidth, 5);
}

TEST_F(CMyAppTest, ClearBoardEmptiesTheDocumentAndAsksTheActiveSurfaceToRepaint) {
    ASSERT_TRUE(launch());
    CMyView& view = *app_->GetActiveView();
    QSignalSpy refresh(&view, &CMyView::surfaceRefreshRequested);
    app_->GetDocument().AddSegment(0, 0, 5, 5, 255, 3);
    app_->GetDocument().AddText(std::make_unique<CText>());

    app_->GetMainFrame()->OnCommand(ID_CLEAR_BOARD);
    const int refreshesWithoutSurface = refresh.count();
    drawingState().mode = kModeWhiteboard;
    app_->GetMainFrame()->OnCommand(ID_CLEAR_BOARD);

    EXPECT_EQ(app_->GetDocument().GetSegmentCount(), 0);
    EXPECT_EQ(app_->GetDocument().GetTextCount(), 1);
    EXPECT_EQ(refreshesWithoutSurface, 0);
    ASSERT_EQ(refresh.count(), 1);
    EXPECT_EQ(refresh.at(0).at(0).toInt(), kModeWhiteboard);
}

TEST_F(CMyAppTest, CommandHandlersAreReplaceableAndUnhandledCommandsReportSo) {
    ASSERT_TRUE(launch());
    CMainFrame& frame = *app_->GetMainFrame();
    int calls = 0;

    const bool before = frame.OnCommand(ID_ERASER);
    app_->GetActiveView()->SetCommandHandler(ID_ERASER, [&] { ++calls; });
    QTest::mouseClick(frame.toolBar()->buttonForCommand(ID_ERASER), Qt::LeftButton);

    EXPECT_TRUE(before);  // the drawing surfaces handle it from the start
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(frame.OnCommand(ID_UNUSED_BUTTON));
}

TEST_F(CMyAppTest, ToolbarContextMenuOpensTheAboutBox) {
    ASSERT_TRUE(launch());
    CTrueColorToolBar& bar = *app_->GetMainFrame()->toolBar();
    const QPoint at = bar.buttonRect(3).center();
    QContextMenuEvent rightClick(QContextMenuEvent::Mouse, at, bar.mapToGlobal(at));
    QString dialog;
    QString title;
    QTimer::singleShot(0, [&] {
        if (auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            dialog = box->objectName();
            title = box->windowTitle();
            box->reject();
        }
    });

    QCoreApplication::sendEvent(&bar, &rightClick);
    ASSERT_NE(bar.contextMenu(), nullptr);
    auto* about = bar.contextMenu()->findChild<QAction*>(QString::number(ID_APP_ABOUT));
    ASSERT_NE(about, nullptr);
    about->trigger();

    EXPECT_EQ(dialog, QStringLiteral("100"));
    EXPECT_EQ(title, QStringLiteral("关于 Kalvo"));
}

TEST_F(CMyAppTest, DumpFileFollowsTheDocument) {
    const QString dump = dir_.filePath("segments.bin");
    qputenv(kDumpDocumentVariable, dump.toLocal8Bit());
    ASSERT_TRUE(launch());
    const bool writtenAtStart = QFile::exists(dump);

    app_->GetDocument().AddSegment(1, 2, 3, 4, 255, 3);
    app_->GetDocument().AddSegment(3, 4, 5, 6, 255, 3);
    QTest::qWait(20);

    EXPECT_TRUE(writtenAtStart);
    QFile file(dump);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), serializeSegments(app_->GetDocument()));
    EXPECT_EQ(file.size(), 48);
}

}  // namespace
}  // namespace kalvo
