// Saving never destroys the old file: full disks, failing writes, folders
// that are files, and what a replaced file keeps.
#include <cerrno>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "model/Errors.h"
#include "model/MapFile.h"
#include "model/MapFileIO.h"
#include "model/TMap.h"
#include "tests/file/FileTestSupport.h"
#include "tests/support/FakeDialogs.h"

using filetest::Bytes;
namespace fs = std::filesystem;

namespace {

/// Arms a write fault for one scope.
class TFaultScope {
public:
    TFaultScope(std::int64_t afterBytes, int error) { InjectWriteFault({afterBytes, error}); }
    ~TFaultScope() { InjectWriteFault({}); }
};

/// A modified map whose file is a few blocks of the writer's buffer long.
TMap BigMap()
{
    TMap map;
    std::vector<TRail> rails(30000);
    for (std::size_t i = 0; i < rails.size(); ++i) {
        rails[i].X1 = static_cast<std::int32_t>(i % 9000);
        rails[i].X2 = rails[i].X1 + 50;
    }
    map.AppendRails(rails);
    map.Modified = true;
    return map;
}

class SaveSafety : public ::testing::Test {
protected:
    TScopedMessages messages;
    TScopedMapDialogs dialogs;
    TTempFolder scratch;
};

#ifndef _WIN32 // /dev/full is a device of POSIX systems
TEST_F(SaveSafety, FullDeviceRaisesDiskFullAndKeepsModified)
{
    ASSERT_TRUE(fs::exists("/dev/full"));
    TMap map;
    map.AddRail(0, 0, 100, 0);
    map.FileName = "/dev/full";
    try {
        map.Save();
        FAIL() << "no error";
    } catch (const EInOutError& e) {
        EXPECT_STREQ("Disk full", e.what());
    }
    EXPECT_TRUE(map.Modified);
    // A device is written in place, never replaced.
    EXPECT_TRUE(fs::is_character_file("/dev/full"));
}
#endif

TEST_F(SaveSafety, AFailingWriteLeavesTheOldFileAndNoTemporaryFile)
{
    struct TCase {
        std::int64_t AfterBytes;
        int Error;
        std::string Message;
    };
    const std::vector<TCase> cases = {
        {0, ENOSPC, "Disk full"},
        {100000, ENOSPC, "Disk full"},
        {65536, EIO, "I/O error 5"},
        {240015, EACCES, "I/O error 13"},
    };
    const std::string path = scratch.File("map.KS");
    const Bytes old = {1, 2, 3, 4, 5};
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Message + " after " + std::to_string(c.AfterBytes));
        filetest::WriteBytes(path, old);
        TMap map = BigMap();
        map.FileName = path;
        {
            TFaultScope fault(c.AfterBytes, c.Error);
            try {
                map.Save();
                ADD_FAILURE() << "no error";
            } catch (const EInOutError& e) {
                EXPECT_EQ(c.Message, e.what());
            }
        }
        EXPECT_TRUE(map.Modified);
        EXPECT_EQ(old, filetest::ReadBytes(path));
        EXPECT_EQ(std::vector<std::string>({"map.KS"}), scratch.Names());
    }
}

TEST_F(SaveSafety, AFailingWriteOfANewFileLeavesNothing)
{
    TMap map = BigMap();
    dialogs.Save->Choose(scratch.File("new.ks"));
    TFaultScope fault(70000, ENOSPC);
    EXPECT_THROW(map.Save(), EInOutError);
    EXPECT_EQ(scratch.File("new.KS"), map.FileName);
    EXPECT_TRUE(scratch.Names().empty());
}

TEST_F(SaveSafety, AFaultBeyondTheFileChangesNothing)
{
    TMap map = BigMap();
    map.FileName = scratch.File("whole.KS");
    TFaultScope fault(240016, ENOSPC);
    EXPECT_TRUE(map.Save());
    EXPECT_EQ(240016u, fs::file_size(map.FileName));
}

TEST_F(SaveSafety, PathsThatCannotBeCreatedMakeSaveReturnFalse)
{
    filetest::WriteBytes(scratch.File("plain"), {9});
    fs::create_directory(scratch.File("folder.KS"));
    for (const std::string& path : {scratch.File("plain/a.KS"), scratch.File("folder.KS"), scratch.File("none/a.KS")}) {
        TMap map = BigMap();
        map.FileName = path;
        EXPECT_FALSE(map.Save()) << path;
        EXPECT_TRUE(map.Modified);
        EXPECT_EQ(path, map.FileName);
    }
    EXPECT_EQ(std::vector<std::string>({"folder.KS", "plain"}), scratch.Names());
    EXPECT_TRUE(fs::is_empty(scratch.File("folder.KS")));
    EXPECT_EQ(Bytes({9}), filetest::ReadBytes(scratch.File("plain")));
}

#ifndef _WIN32 // Windows files have no POSIX modes and no umask
TEST_F(SaveSafety, AReplacedFileKeepsItsPermissions)
{
    const std::string path = scratch.File("shared.KS");
    filetest::WriteBytes(path, {1});
    const auto mode = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read;
    fs::permissions(path, mode);
    TMap map;
    map.FileName = path;
    ASSERT_TRUE(map.Save());
    EXPECT_EQ(mode, fs::status(path).permissions() & fs::perms::mask);
    EXPECT_EQ(16u, fs::file_size(path));

    // A new file gets what the umask allows, as any created file would.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    map.FileName = scratch.File("fresh.KS");
    ASSERT_TRUE(map.Save());
    EXPECT_EQ(static_cast<unsigned>(0666 & ~mask),
              static_cast<unsigned>(fs::status(map.FileName).permissions() & fs::perms::mask));
}
#endif

#ifndef _WIN32 // symbolic links need a privilege on Windows, and Wine has none
TEST_F(SaveSafety, SavingThroughALinkReplacesTheFileItNames)
{
    const std::string target = scratch.File("real.KS");
    const std::string link = scratch.File("link.KS");
    filetest::WriteBytes(target, {1, 2});
    fs::create_symlink(target, link);
    TMap map;
    map.FileName = link;
    ASSERT_TRUE(map.Save());
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(16u, fs::file_size(target));
}
#endif

} // namespace
