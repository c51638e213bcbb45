#include "common/ini/ProgramPaths.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

#include "EnvOverride.h"
#include "TempDir.h"

namespace {

using common::iniPathBeside;
using common::resolveProgramPaths;
using tktest::EnvOverride;
using tktest::TempDir;

TEST(IniPathBeside, ReplacesTheFileNamesExtensionOrAppendsOne) {
    const std::pair<const char*, const char*> cases[] = {
        {"/opt/tk/Tovik.exe", "/opt/tk/Tovik.ini"},
        {"/opt/tk/tovik", "/opt/tk/tovik.ini"},
        {"/opt/t.k/tovik", "/opt/t.k/tovik.ini"},  // a dot in a folder is not an extension
        {"/opt/t.k/tovik.bin", "/opt/t.k/tovik.ini"},
        {"/a/b.c.d", "/a/b.c.ini"},
        {"/a/x.", "/a/x.ini"},
        {"/a/.hidden", "/a/.hidden.ini"},
        {"kalvo", "kalvo.ini"},
    };
    for (const auto& [program, ini] : cases) {
        EXPECT_EQ(iniPathBeside(program), ini) << program;
    }
}

TEST(CurrentProgramPath, IsThisTestProgram) {
    const std::string path = common::currentProgramPath();

    ASSERT_FALSE(path.empty());
    EXPECT_EQ(path.front(), '/');
    EXPECT_EQ(std::filesystem::path(path).filename(), "common_unit_tests");
    EXPECT_TRUE(std::filesystem::equivalent(path, "/proc/self/exe"));
}

TEST(ResolveProgramPaths, WritableProgramFolderKeepsEverythingBesideTheProgram) {
    TempDir dir;
    const std::string program = dir.file("tovik");

    const common::ProgramPaths p = resolveProgramPaths(program, "tovik");

    EXPECT_EQ(std::tuple(p.programPath, p.programDir, p.iniPath, p.dataDir, p.userFolders),
              std::tuple(program, dir.path() + "/", program + ".ini", dir.path() + "/", false));
}

class UserFolders : public ::testing::Test {
protected:
    TempDir home;
    EnvOverride config{"XDG_CONFIG_HOME", (home.path() + "/cfg").c_str()};
    EnvOverride data{"XDG_DATA_HOME", (home.path() + "/share").c_str()};
    EnvOverride homeVar{"HOME", home.path().c_str()};
};

TEST_F(UserFolders, ProgramFolderThatCannotBeWrittenMovesFilesToTheUserFolders) {
    // /proc/self/ takes no new files, whoever asks.
    const common::ProgramPaths p = resolveProgramPaths("/proc/self/Tovik.exe", "tovik");

    EXPECT_EQ(std::tuple(p.userFolders, p.programDir, p.iniPath, p.dataDir),
              std::tuple(true, "/proc/self/", home.path() + "/cfg/tovik/Tovik.ini",
                         home.path() + "/share/tovik/"));
    EXPECT_TRUE(std::filesystem::is_directory(home.path() + "/cfg/tovik"));
    EXPECT_TRUE(std::filesystem::is_directory(p.dataDir));
}

TEST_F(UserFolders, RelativeXdgVariablesFallBackToTheHomeFolder) {
    EnvOverride relConfig("XDG_CONFIG_HOME", "relative/cfg");
    EnvOverride relData("XDG_DATA_HOME", "");

    const common::ProgramPaths p = resolveProgramPaths("/nowhere/kalvo", "kalvo", false);

    EXPECT_EQ(std::tuple(p.iniPath, p.dataDir), std::tuple(home.path() + "/.config/kalvo/kalvo.ini",
                                                           home.path() + "/.local/share/kalvo/"));
}

TEST_F(UserFolders, SettingsShippedBesideTheProgramAreCopiedOnceAndNeverOverwritten) {
    TempDir install;
    const std::string program = install.file("tovik");
    tktest::writeBytes(install.file("tovik.ini"), "[CalibParams]\nSmoothWndLen=7\n");

    const common::ProgramPaths first = resolveProgramPaths(program, "tovik", false);
    const std::string copied = tktest::readBytes(first.iniPath);
    tktest::writeBytes(first.iniPath, "[Software]\nAmp=1\n");
    const common::ProgramPaths second = resolveProgramPaths(program, "tovik", false);

    EXPECT_EQ(copied, "[CalibParams]\nSmoothWndLen=7\n");
    EXPECT_EQ(second.iniPath, first.iniPath);
    EXPECT_EQ(tktest::readBytes(second.iniPath), "[Software]\nAmp=1\n");
}

TEST_F(UserFolders, InstalledProgramWritesOnlyToTheUserFoldersEvenWhenItCould) {
    // A writable prefix, as root has: the layout alone decides.
    TempDir prefix;
    std::filesystem::create_directories(prefix.path() + "/bin");
    std::filesystem::create_directories(prefix.path() + "/share");
    const std::string program = prefix.path() + "/bin/kalvo";

    const common::ProgramPaths p = resolveProgramPaths(program, "kalvo", true);

    EXPECT_EQ(std::tuple(p.installed, p.iniPath, p.dataDir, p.shareDir),
              std::tuple(true, home.path() + "/cfg/kalvo/kalvo.ini", home.path() + "/share/kalvo/",
                         prefix.path() + "/share/kalvo/"));
    EXPECT_EQ(p.libDir.rfind(prefix.path() + "/lib/", 0), 0u) << p.libDir;
    EXPECT_EQ(p.libDir.substr(p.libDir.size() - 7), "/kalvo/");
}

TEST_F(UserFolders, BuildTreeAndPlainFoldersAreNotInstallations) {
    TempDir build;
    std::filesystem::create_directories(build.path() + "/bin");  // build/dev/bin: no share beside
    std::filesystem::create_directories(build.path() + "/tools/share");

    const common::ProgramPaths inBuild = resolveProgramPaths(build.path() + "/bin/tovik", "tovik");
    const common::ProgramPaths inTools =
        resolveProgramPaths(build.path() + "/tools/tovik", "tovik");

    EXPECT_EQ(std::tuple(inBuild.installed, inBuild.iniPath, inBuild.libDir, inBuild.shareDir),
              std::tuple(false, build.path() + "/bin/tovik.ini", build.path() + "/bin/",
                         build.path() + "/bin/"));
    EXPECT_EQ(std::tuple(inTools.installed, inTools.iniPath),
              std::tuple(false, build.path() + "/tools/tovik.ini"));
}

TEST_F(UserFolders, PicturesFolderComesFromTheUserDirsFile) {
    EnvOverride pictures("XDG_PICTURES_DIR", nullptr);
    std::filesystem::create_directories(home.path() + "/cfg");
    const std::string dirs = home.path() + "/cfg/user-dirs.dirs";

    const std::string without = common::userPicturesDir();
    tktest::writeBytes(dirs,
                       "# written by xdg-user-dirs-update\nXDG_PICTURES_DIR=\"$HOME/Bilder\"\n");
    const std::string with = common::userPicturesDir();

    EXPECT_EQ(without, home.path() + "/Pictures");
    EXPECT_EQ(with, home.path() + "/Bilder");
}

}  // namespace
