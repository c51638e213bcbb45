#include "common/ini/SafeWrite.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <string>

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
        {0, EROFS, "read-only"},        {0, EACCES, "may not be written"},
        {1, ENOSPC, "disk is full"},    {4096, ENOSPC, "disk is full"},
        {9999, EDQUOT, "disk is full"},
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

        EXPECT_EQ(r.error, c.error);
        EXPECT_EQ(readBytes(path), "old content\n");
        EXPECT_EQ(entryCount(dir.path()), 1u);
        const std::string message = r.describe(path);
        EXPECT_NE(message.find(path), std::string::npos) << message;
        EXPECT_NE(message.find(c.reason), std::string::npos) << message;
        EXPECT_NE(message.find("left as it was"), std::string::npos) << message;
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

TEST(SafeWrite, MissingFolderIsReportedAsSuch) {
    TempDir dir;
    const std::string path = dir.file("gone/Tovik.ini");

    const common::FileWriteResult r = common::writeFileSafely(path, "x");

    EXPECT_EQ(r.error, ENOENT);
    EXPECT_NE(r.describe(path).find("does not exist"), std::string::npos);
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

    EXPECT_EQ(r.error, ENOSPC);
    EXPECT_EQ(readBytes(path), "[Software]\r\nAmp=180\r\n");
    EXPECT_EQ(entryCount(dir.path()), 1u);
}

}  // namespace
