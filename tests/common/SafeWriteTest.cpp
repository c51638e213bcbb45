#include "common/ini/SafeWrite.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <string>
#include <tuple>

#include "TempDir.h"
#include "WriteFault.h"
#include "common/ini/IniFile.h"

namespace {

using tktest::entryCount;
using tktest::readBytes;
using tktest::ScopedWriteFault;
using tktest::TempDir;
using tktest::writeBytes;

struct FaultCase {
    std::size_t bytesBefore;
    int error;
    const char* reason;  // in the message for the user
};

TEST(SafeWrite, FailureAtAnyByteLeavesTheOldFileAndNothingElse) {
    const std::string data(10000, 'n');
    const FaultCase cases[] = {
        {0, EROFS, "只读"},         {0, EACCES, "不允许写入"},  {1, ENOSPC, "磁盘已满"},
        {4096, ENOSPC, "磁盘已满"}, {9999, EDQUOT, "磁盘已满"},
    };
    for (const FaultCase& c : cases) {
        SCOPED_TRACE(c.bytesBefore);
        TempDir dir;
        const std::string path = dir.file("settings.ini");
        writeBytes(path, "old content\n");
        ::chmod(path.c_str(), 0640);

        common::FileWriteResult r;
        {
            ScopedWriteFault fault(c.bytesBefore, c.error);
            r = common::writeFileSafely(path, data);
        }

        EXPECT_EQ(std::tuple(r.error, readBytes(path), entryCount(dir.path())),
                  std::tuple(c.error, "old content\n", 1u));
        const std::string message = r.describe(path);
        EXPECT_NE(message.find(path), std::string::npos) << message;
        EXPECT_NE(message.find(c.reason), std::string::npos) << message;
        EXPECT_NE(message.find(std::strerror(c.error)), std::string::npos) << message;
        EXPECT_NE(message.find("原文件保持不变"), std::string::npos) << message;
    }
}

TEST(SafeWrite, WritesTheWholeFileKeepingItsPermissions) {
    TempDir dir;
    const std::string path = dir.file("picture.bmp");
    writeBytes(path, "old");
    ASSERT_EQ(::chmod(path.c_str(), 0604), 0);
    const std::string data(100000, 'x');

    const common::FileWriteResult r = common::writeFileSafely(path, data);

    ASSERT_TRUE(r.ok()) << r.describe(path);
    EXPECT_EQ(readBytes(path), data);
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0604u);
    EXPECT_EQ(entryCount(dir.path()), 1u);
}

// Other threads create files meanwhile: a save must not touch the umask.
std::atomic<int> umaskCalls{0};
extern "C" mode_t umask(mode_t mask) noexcept {
    ++umaskCalls;
    return static_cast<mode_t>(::syscall(SYS_umask, mask));
}

TEST(SafeWrite, ANewFileGetsTheUmaskWithoutTheSaveTouchingIt) {
    TempDir dir;
    const mode_t before = ::umask(027);
    const int calls = umaskCalls.load();

    ASSERT_TRUE(common::writeFileSafely(dir.file("new.ini"), "x").ok());

    EXPECT_EQ(umaskCalls.load(), calls);
    ::umask(before);
    struct stat st {};
    EXPECT_TRUE(::stat(dir.file("new.ini").c_str(), &st) == 0 && (st.st_mode & 07777) == 0640);
}

TEST(SafeWrite, MissingFolderIsReportedAsSuch) {
    TempDir dir;
    const std::string path = dir.file("gone/Tovik.ini");

    const common::FileWriteResult r = common::writeFileSafely(path, "x");

    EXPECT_EQ(r.error, ENOENT);
    EXPECT_NE(r.describe(path).find("文件夹不存在"), std::string::npos);
}

TEST(SafeWrite, IniFileSaveOnAFullDiskKeepsTheOldSettings) {
    TempDir dir;
    const std::string path = dir.file("Tovik.ini");
    writeBytes(path, "[Software]\r\nAmp=180\r\n");
    common::IniFile ini(path);
    ASSERT_TRUE(ini.load());
    ini.setInt("Software", "Amp", 20);

    ScopedWriteFault fault(5, ENOSPC);
    const common::FileWriteResult r = ini.save();

    EXPECT_EQ(std::tuple(r.error, readBytes(path), entryCount(dir.path())),
              std::tuple(ENOSPC, "[Software]\r\nAmp=180\r\n", 1u));
}

}  // namespace
