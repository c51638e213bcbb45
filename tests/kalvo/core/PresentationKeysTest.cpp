// The presentation class list and the page keys passed to a presentation.

#include <gtest/gtest.h>

#include "common/ini/IniFile.h"
#include "common/platform/KeyState.h"
#include "common/platform/NullWindowFinder.h"
#include "kalvo/core/DrawingState.h"
#include "kalvo/core/PresentationKeys.h"

namespace kalvo {
namespace {

using Classes = std::vector<PresentationClass>;

TEST(PresentationClasses, ParsesPairsSkipsBlanksAndKeepsOrder) {
    EXPECT_EQ(parsePresentationClasses("screenClass/paneClassDC;soffice/"),
              (Classes{{"screenClass", "paneClassDC"}, {"soffice", ""}}));
    EXPECT_EQ(
        parsePresentationClasses(" a / b ;; c ;/orphan; d/e/ fullscreen ; g*//fullscreen;h//x"),
        (Classes{{"a", "b"}, {"c", ""}, {"d", "e", true}, {"g*", "", true}, {"h", ""}}));
    EXPECT_TRUE(parsePresentationClasses("").empty());
    EXPECT_TRUE(parsePresentationClasses(" ; ;").empty());
}

TEST(PresentationClasses, ComesFromIniWithDefaultWhenMissingOrEmpty) {
    const auto fromIni = [](std::string_view text) {
        common::IniFile ini("kalvo.ini");
        ini.loadText(text);
        return presentationClassesFromIni(ini);
    };
    const Classes defaults = parsePresentationClasses(kDefaultPresentationClasses);
    ASSERT_EQ(defaults.front(), (PresentationClass{"screenClass", "paneClassDC"}));

    EXPECT_EQ(fromIni(""), defaults);
    EXPECT_EQ(fromIni("[presentation]\nclasses= ; \n"), defaults);
    EXPECT_EQ(fromIni("[PRESENTATION]\nCLASSES=myShow/pane\n"), (Classes{{"myShow", "pane"}}));
}

class PresentationKeysTest : public ::testing::Test {
protected:
    PresentationKeysTest() {
        windows.addWindow({1, "editor", "", 0});
        windows.addWindow({10, "screenClass", "show", 0});
        windows.addWindow({11, "paneClassDC", "", 10});
    }

    common::NullWindowFinder windows;
    std::vector<std::chrono::milliseconds> sleeps;
    PresentationKeys keys{windows, parsePresentationClasses(kDefaultPresentationClasses),
                          [this](std::chrono::milliseconds ms) { sleeps.push_back(ms); }};
    static constexpr common::WindowId kSelf = 99;
};

TEST_F(PresentationKeysTest, PageKeysGoToPaneThenOverlayIsActivatedAgain) {
    EXPECT_TRUE(keys.handleKeyDown(kModeScreen, common::VK_NEXT_KEY, kSelf));
    EXPECT_TRUE(keys.handleKeyDown(kModeNone, common::VK_PRIOR_KEY, kSelf));

    EXPECT_EQ(windows.activated(), (std::vector<common::WindowId>{11, kSelf, 11, kSelf}));
    EXPECT_EQ(windows.tappedKeys(), (std::vector<int>{common::VK_NEXT_KEY, common::VK_PRIOR_KEY}));
    EXPECT_EQ(sleeps, (std::vector<std::chrono::milliseconds>(2, std::chrono::milliseconds(1))));
}

TEST_F(PresentationKeysTest, WhiteboardOtherKeysAndNoPresentationPassNothing) {
    EXPECT_FALSE(keys.handleKeyDown(kModeWhiteboard, common::VK_NEXT_KEY, kSelf));
    EXPECT_FALSE(keys.handleKeyDown(kModeScreen, 0x20, kSelf));
    windows.removeWindow(10);
    windows.removeWindow(11);
    EXPECT_FALSE(keys.handleKeyDown(kModeScreen, common::VK_NEXT_KEY, kSelf));

    EXPECT_TRUE(windows.activated().empty());
    EXPECT_TRUE(windows.tappedKeys().empty());
}

TEST_F(PresentationKeysTest, DefaultsFindTheOfficeSlideShowNotItsEditorNorHiddenWindows) {
    windows.removeWindow(10);
    windows.removeWindow(11);
    // What the office suite keeps besides a running show.
    windows.addWindow(
        {20, "libreoffice-impress", "slides.odp - LibreOffice Impress", 0, true, true});
    windows.addWindow({21, "LibreOffice 7.4", "VCL ImplGetDefaultWindow", 0, false, true});
    windows.addWindow({22, "LibreOffice 7.4", "", 0, true, false});
    const bool foundWithoutShow = keys.findPresentation().has_value();
    windows.addWindow({23, "LibreOffice 7.4", "Presenting: slides", 0, true, true});

    EXPECT_FALSE(foundWithoutShow);
    EXPECT_EQ(keys.findPresentation(), common::WindowId{23});
    EXPECT_TRUE(keys.handleKeyDown(kModeScreen, common::VK_NEXT_KEY, kSelf));
    EXPECT_EQ(windows.activated().front(), common::WindowId{23});
}

TEST_F(PresentationKeysTest, NoKeyForAPresentationThatDoesNotTakeTheFocus) {
    windows.removeWindow(10);
    windows.removeWindow(11);
    windows.addWindow({30, "screenClass", "", 0, true, false, false});

    // The key would land on the overlay and be passed on again, and again.
    EXPECT_FALSE(keys.handleKeyDown(kModeScreen, common::VK_NEXT_KEY, kSelf));

    EXPECT_TRUE(windows.tappedKeys().empty());
    EXPECT_EQ(windows.activated(), (std::vector<common::WindowId>{30, kSelf}));
}

}  // namespace
}  // namespace kalvo
