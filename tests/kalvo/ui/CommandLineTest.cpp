#include "kalvo/ui/CommandLine.h"

#include <gtest/gtest.h>

#include "common/BuildInfo.h"

namespace kalvo {
namespace {

TEST(KalvoCommandLine, HelpVersionAndTheErrorsTovikGives) {
    EXPECT_TRUE(ParseCommandLine({"--help"}).help);
    EXPECT_TRUE(ParseCommandLine({"-h"}).help);
    EXPECT_TRUE(ParseCommandLine({"--version"}).version);
    EXPECT_TRUE(ParseCommandLine({}).error.empty());
    EXPECT_EQ(ParseCommandLine({"--frobnicate"}).error,
              "unknown option: --frobnicate (see --help)");
    EXPECT_EQ(ParseCommandLine({"file.png"}).error, "unknown option: file.png (see --help)");
    EXPECT_EQ(ParseCommandLine({"--input=uinput"}).input, common::InputBackend::Uinput);
    EXPECT_EQ(ParseCommandLine({"--input", "mouse"}).error,
              "--input must be xtest or uinput, not mouse");
    EXPECT_EQ(VersionText(), std::string("kalvo ") + common::kVersion + "\n");
}

TEST(KalvoCommandLine, HelpNamesTheShippedFilesOfAnInstalledProgram) {
    common::ProgramPaths paths;
    paths.programDir = "/usr/bin/";
    paths.iniPath = "/home/u/.config/kalvo/kalvo.ini";
    paths.shareDir = "/usr/share/kalvo/";
    paths.libDir = "/usr/lib/kalvo/";

    const std::string help = HelpText(paths);

    EXPECT_NE(help.find("/home/u/.config/kalvo/kalvo.ini"), std::string::npos);
    EXPECT_NE(help.find("/usr/share/kalvo/help/help.html"), std::string::npos);
    EXPECT_NE(help.find("/usr/lib/kalvo/jpgdll.so"), std::string::npos);
}

}  // namespace
}  // namespace kalvo
