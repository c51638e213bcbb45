#include "kalvo/core/ExternalTools.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "common/TempDir.h"
#include "common/platform/NullShellLauncher.h"

namespace kalvo {
namespace {

TEST(SplitCommandLine, SplitsWordsAndHonoursQuotes) {
    using V = std::vector<std::string>;
    EXPECT_EQ(splitCommandLine("onboard"), V{"onboard"});
    EXPECT_EQ(splitCommandLine("  onboard   --size 400x200\t"),
              (V{"onboard", "--size", "400x200"}));
    EXPECT_EQ(splitCommandLine("kb 'a b' \"c \\\"d\\\"\" e\\ f"),
              (V{"kb", "a b", "c \"d\"", "e f"}));
    EXPECT_EQ(splitCommandLine("x ''"), (V{"x", ""}));
    EXPECT_EQ(splitCommandLine("a;rm -rf $HOME"), (V{"a;rm", "-rf", "$HOME"}));
    EXPECT_TRUE(splitCommandLine("   ").empty());
}

TEST(ExternalTools, KeyboardCommandComesFromTheIniWithOnboardAsDefault) {
    common::IniFile ini("kalvo.ini");
    ini.loadText("[PEN]\nL=3\n[TOOLS]\nKEYBOARD=florence --no-gnome\n");
    const common::IniFile empty("missing.ini");

    EXPECT_EQ(ExternalTools::keyboardCommandFromIni(ini),
              (std::vector<std::string>{"florence", "--no-gnome"}));
    EXPECT_EQ(ExternalTools::keyboardCommandFromIni(empty), std::vector<std::string>{"onboard"});
}

TEST(ExternalTools, KeyboardsStartedAreStoppedAtTheEnd) {
    common::NullShellLauncher shell;
    {
        ExternalTools tools(shell, "/opt/kalvo", {"onboard", "-l", "Small"});

        EXPECT_TRUE(tools.startKeyboard());
        EXPECT_TRUE(tools.startKeyboard());
        EXPECT_TRUE(shell.stopped().empty());
    }

    ASSERT_EQ(shell.started().size(), 2u);
    EXPECT_EQ(shell.started()[0], (std::vector<std::string>{"onboard", "-l", "Small"}));
    EXPECT_EQ(shell.stopped(), (std::vector<long>{10000, 10001}));
}

TEST(ExternalTools, FailuresAreReportedByResultOnly) {
    common::NullShellLauncher shell;
    shell.setFailStarts(true);
    {
        ExternalTools tools(shell, "/opt/kalvo/");

        EXPECT_FALSE(tools.startKeyboard());
        EXPECT_FALSE(tools.openHelp());
    }

    EXPECT_EQ(shell.opened(), std::vector<std::string>{"/opt/kalvo/help/help.html"});
    EXPECT_TRUE(shell.stopped().empty());  // nothing was started, nothing to stop
}

// The build ships the help page beside the program, with the button pictures
// it refers to.
TEST(ExternalTools, HelpPageIsShippedWithItsPictures) {
    const std::string folder = TK_BINARY_DIR "/bin/";
    common::NullShellLauncher shell;
    ExternalTools tools(shell, folder);
    const std::string page = tktest::readBytes(tools.helpPath());
    ASSERT_FALSE(page.empty()) << tools.helpPath() << " (build the kalvo_help target)";

    EXPECT_NE(page.find("charset=\"utf-8\""), std::string::npos);
    EXPECT_NE(page.find("橡皮擦"), std::string::npos);
    for (int i = 0; i < 12; ++i) {
        const std::string image = "images/button" + std::to_string(i) + ".png";
        EXPECT_NE(page.find(image), std::string::npos) << image;
        EXPECT_TRUE(std::filesystem::is_regular_file(folder + "help/" + image)) << image;
    }
}

}  // namespace
}  // namespace kalvo
