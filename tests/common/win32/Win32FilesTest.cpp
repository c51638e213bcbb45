// The programs' files on Windows: where they go (beside the program, or
// %APPDATA% under Program Files), settings written and read back through
// UTF-8 paths, and jpgdll.dll's BmpToJpg as Kalvo loads it.
// windows.h first: the other system headers build on it.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <tuple>

#include "common/TempDir.h"
#include "common/ini/IniFile.h"
#include "common/ini/ProgramPaths.h"
#include "common/ini/SafeWrite.h"
#include "common/ini/win32/WidePath.h"

namespace {

namespace fs = std::filesystem;

// A fresh folder under the temporary folder, with a Chinese name.
class Win32Files : public ::testing::Test {
protected:
    [[nodiscard]] std::string path(const char* relative) const { return dir_.file(relative); }
    tktest::TempDir dir_{"tk-文件-"};
};

TEST_F(Win32Files, SettingsBesideTheProgramOrInAppDataUnderProgramFiles) {
    const std::string plain = path("portable/Tovik.exe");
    fs::create_directories(common::widePath(path("portable")));
    common::ProgramPaths p = common::resolveProgramPaths(plain, "tovik");
    EXPECT_EQ(std::tuple(p.installed, p.userFolders, p.iniPath),
              std::tuple(false, false, path("portable/Tovik.ini")));

    // Program Files and %APPDATA% pointed into the test folder.
    fs::create_directories(common::widePath(path("Program Files/TovikKalvo")));
    _wputenv_s(L"ProgramFiles", common::widePath(path("Program Files")).c_str());
    _wputenv_s(L"APPDATA", common::widePath(path("AppData/Roaming")).c_str());
    p = common::resolveProgramPaths(path("Program Files/TovikKalvo/Kalvo.exe"), "kalvo");
    EXPECT_EQ(std::tuple(p.installed, p.userFolders, p.iniPath, p.dataDir, p.shareDir),
              std::tuple(true, true, path("AppData/Roaming/Kalvo/Kalvo.ini"),
                         path("AppData/Roaming/Kalvo/"), path("Program Files/TovikKalvo/")));
    EXPECT_TRUE(fs::is_directory(common::widePath(p.dataDir)));
    // A folder that only starts like Program Files is not inside it.
    EXPECT_FALSE(common::isInstalledLayout(path("Program Files2/TovikKalvo/")));

    EXPECT_EQ(common::currentProgramPath().find('\\'), std::string::npos);
    EXPECT_TRUE(common::currentProgramPath().ends_with("common_win32_tests.exe"));
}

TEST_F(Win32Files, SettingsReplaceTheOldFileThroughUtf8Paths) {
    const std::string ini = path("设置.ini");
    common::IniFile first(ini);
    first.setValue("PEN", "COLOR", "255");
    ASSERT_TRUE(common::writeFileSafely(ini, first.text()));
    first.setValue("PEN", "COLOR", "65280");
    ASSERT_TRUE(common::writeFileSafely(ini, first.text()));  // over the existing file
    common::IniFile second(ini);
    ASSERT_TRUE(second.load());
    EXPECT_EQ(second.getString("PEN", "COLOR", ""), "65280");
    EXPECT_EQ(tktest::readBytes(ini), first.text());  // no text-mode line-end changes
    EXPECT_EQ(std::distance(fs::directory_iterator(tktest::fsPath(dir_.path())), {}),
              1);  // no temporary file left

    common::FileWriteResult r = common::writeFileSafely(path("no/such/folder/x.ini"), "x");
    EXPECT_FALSE(r.ok());
    EXPECT_NE(r.describe("x.ini").find("文件夹不存在"), std::string::npos);
}

#ifdef TK_HAVE_JPGDLL
// A 2x2 24-bit bitmap, bottom-up.
std::string tinyBmp() {
    const auto le = [](std::uint32_t v, int bytes) {  // little-endian
        std::string s;
        for (int i = 0; i < bytes; ++i) {
            s += static_cast<char>((v >> (8 * i)) & 0xFF);
        }
        return s;
    };
    // The file header (size, pixels at 54), the information header (40 bytes:
    // 2x2, one plane, 24 bits, the rest zero), then the pixels.
    std::string b = "BM" + le(70, 4) + le(0, 4) + le(54, 4) + le(40, 4) + le(2, 4) + le(2, 4) +
                    le(1, 2) + le(24, 2) + std::string(24, '\0');
    for (std::size_t i = 54; i < 70; ++i) {
        b += static_cast<char>(i * 37);
    }
    return b;
}

TEST_F(Win32Files, JpgdllConvertsABitmapByItsExportedName) {
    // Found beside the program, as Kalvo finds it.
    HMODULE lib = LoadLibraryW(L"jpgdll.dll");
    ASSERT_NE(lib, nullptr);
    using Entry = int (*)(const char*, const char*);
    const auto convert =
        reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(lib, "BmpToJpg")));
    ASSERT_NE(convert, nullptr);
    const std::string bmp = path("画.bmp");
    const std::string jpg = path("画.jpg");
    ASSERT_TRUE(common::writeFileSafely(bmp, tinyBmp()));
    EXPECT_EQ(convert(bmp.c_str(), jpg.c_str()), 0);
    const std::string out = tktest::readBytes(jpg);
    ASSERT_GE(out.size(), 4u);
    EXPECT_EQ(out.substr(0, 2), "\xFF\xD8");
    EXPECT_EQ(out.substr(out.size() - 2), "\xFF\xD9");
    EXPECT_NE(convert(path("missing.bmp").c_str(), jpg.c_str()), 0);
    FreeLibrary(lib);
}
#endif

}  // namespace
