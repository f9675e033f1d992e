// Odd targets of the one file writer behind the editor's saves, the picture
// export and kestmap: the longest names, links that lead nowhere or in a
// circle, other users' files in shared folders, and what a writer killed
// part-way leaves behind.
#include <algorithm>
#include <cstdio>
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>

#include "model/Errors.h"
#include "model/MapFile.h"
#include "model/MapFileIO.h"
#include "model/TMap.h"
#include "tests/file/FileTestSupport.h"
#include "tests/support/AsNobody.h"
#include "tests/support/FakeDialogs.h"

using filetest::Bytes;
namespace fs = std::filesystem;

namespace {

TMap Rails(int count)
{
    TMap map;
    for (int i = 0; i < count; ++i) map.AddRail(100 * i, 200, 100 * i + 80, 200);
    return map;
}

/// "uid:gid mode", and whether the file is still the same inode as before.
std::string Owner(const std::string& path)
{
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0) return "missing";
    char mode[8];
    std::snprintf(mode, sizeof mode, "%o", st.st_mode & 07777);
    return std::to_string(st.st_uid) + ":" + std::to_string(st.st_gid) + " " + mode;
}
ino_t Inode(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

std::vector<std::string> NamesIn(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

/// Saves map under its name and says what went wrong, for a child process.
std::string SaveReport(TMap& map, const TFakeMessageService& messages, const Bytes& expected)
{
    if (!map.Save()) return "the save failed: " + (messages.Errors.empty() ? "" : messages.Errors.back());
    if (filetest::ReadBytes(map.FileName) != expected) return map.FileName + " does not hold the map";
    return "";
}

/// Starts writing path in a child process and kills it once 100,000 bytes are
/// out; returns the dead child's process id.
pid_t KillWriterPartWay(const std::string& path)
{
    int fds[2];
    if (::pipe(fds) != 0) return -1;
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(fds[0]);
        try {
            WriteWholeFile(path, [&](TByteSink& sink) {
                const Bytes part(100000, 7);
                sink.Put(part.data(), part.size());
                [[maybe_unused]] const auto told = ::write(fds[1], "w", 1);
                for (;;) ::pause();
            });
        } catch (...) {
        }
        ::_exit(1);
    }
    ::close(fds[1]);
    char told = 0;
    [[maybe_unused]] const auto got = ::read(fds[0], &told, 1);
    ::close(fds[0]);
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    return child;
}

/// Root that may no longer act as the owner of other users' files: its
/// replacement can be given the old owner, yet a sticky folder refuses the rename.
std::string DropOwnerRights()
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
    if (::syscall(SYS_capget, &header, data) != 0) return "capget failed";
    data[0].effective &= ~(1u << CAP_FOWNER);
    data[0].permitted &= ~(1u << CAP_FOWNER);
    if (::syscall(SYS_capset, &header, data) != 0) return "capset failed";
    return "";
}

class SaveTargets : public ::testing::Test {
protected:
    TScopedMessages messages;
    TScopedMapDialogs dialogs;
    TTempFolder scratch;
    TFakeMessageService& Asked() { return messages.Service; }
};

TEST_F(SaveTargets, TheLongestNamesTheFolderTakesAreSavedAndReplaced)
{
    for (const std::size_t length : {244u, 250u, 255u}) {
        SCOPED_TRACE(length);
        const std::string path = scratch.File(std::string(length - 3, 'n') + ".KS");
        TMap map = Rails(2);
        dialogs.Save->Choose(path.substr(0, path.size() - 3));
        ASSERT_TRUE(map.Save()) << (Asked().Errors.empty() ? "" : Asked().Errors.back());
        EXPECT_EQ(path, map.FileName);
        map.AddRail(5000, 5000, 5100, 5000);
        ASSERT_TRUE(map.Save());
        EXPECT_EQ(MapToBytes(map), filetest::ReadBytes(path));
    }
    EXPECT_EQ(3u, scratch.Names().size());
    // One byte more is the file system's own refusal, with its reason.
    TMap map = Rails(1);
    map.FileName = scratch.File(std::string(253, 'n') + ".KS");
    EXPECT_FALSE(map.Save());
    EXPECT_EQ(std::vector<std::string>{map.FileName + ": File name too long"}, Asked().Errors);
}

TEST_F(SaveTargets, ALinkIsWrittenThroughAndNeverReplaced)
{
    fs::create_directories(scratch.File("maps"));
    fs::create_directories(scratch.File("links"));
    // A chain whose last link is relative to its own folder and leads nowhere yet.
    fs::create_symlink("hop.KS", scratch.File("links/plan.KS"));
    fs::create_symlink("../maps/plan.KS", scratch.File("links/hop.KS"));
    TMap map = Rails(2);
    map.FileName = scratch.File("links/plan.KS");
    ASSERT_TRUE(map.Save()) << (Asked().Errors.empty() ? "" : Asked().Errors.back());
    EXPECT_EQ(MapToBytes(map), filetest::ReadBytes(scratch.File("maps/plan.KS")));
    // Written again, now that the chain ends in a file.
    map.AddRail(5000, 5000, 5100, 5000);
    ASSERT_TRUE(map.Save());
    EXPECT_EQ(MapToBytes(map), filetest::ReadBytes(scratch.File("maps/plan.KS")));
    EXPECT_TRUE(fs::is_symlink(scratch.File("links/plan.KS")));
    EXPECT_TRUE(fs::is_symlink(scratch.File("links/hop.KS")));
    EXPECT_EQ((std::vector<std::string>{"hop.KS", "plan.KS"}), NamesIn(scratch.File("links")));
    EXPECT_EQ(std::vector<std::string>{"plan.KS"}, NamesIn(scratch.File("maps")));

    // A loop, and a link into a folder that does not exist, are refused with
    // the system's reason; the links stay as they were.
    fs::create_symlink("b.KS", scratch.File("a.KS"));
    fs::create_symlink("a.KS", scratch.File("b.KS"));
    fs::create_symlink("none/c.KS", scratch.File("c.KS"));
    for (const char* name : {"a.KS", "c.KS"}) {
        TMap other = Rails(1);
        other.FileName = scratch.File(name);
        EXPECT_FALSE(other.Save());
        EXPECT_TRUE(other.Modified);
        EXPECT_TRUE(fs::is_symlink(other.FileName));
    }
    EXPECT_EQ((std::vector<std::string>{scratch.File("a.KS") + ": Too many levels of symbolic links",
                                        scratch.File("c.KS") + ": No such file or directory"}),
              Asked().Errors);
    EXPECT_EQ((std::vector<std::string>{"a.KS", "b.KS", "c.KS", "links", "maps"}), scratch.Names());
}

TEST_F(SaveTargets, AnotherUsersFileInAStickyFolderIsWrittenInPlace)
{
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to own a file that another user may write";
    // Longer than the map: what is left of the old bytes must go.
    const std::string path = scratch.Write("shared.KS", Bytes(100000, 0xEE));
    ::chmod(path.c_str(), 0666);
    ::chmod(scratch.Path().c_str(), 01777);
    const ino_t inode = Inode(path);
    const Bytes expected = MapToBytes(Rails(3));
    const std::string failures = RunUnprivileged([&] {
        // A write that fails before its first byte leaves the file as it was.
        try {
            WriteWholeFile(path, [](TByteSink&) { throw EInOutError(5); });
        } catch (const EInOutError&) {
        }
        if (filetest::ReadBytes(path) != Bytes(100000, 0xEE)) return std::string("a failed write changed the file");
        TMap map = Rails(3);
        map.FileName = path;
        return SaveReport(map, Asked(), expected);
    });
    EXPECT_EQ("", failures);
    EXPECT_EQ("0:0 666", Owner(path));
    EXPECT_EQ(inode, Inode(path));
    EXPECT_EQ(std::vector<std::string>{"shared.KS"}, scratch.Names());
}

TEST_F(SaveTargets, ASaveByAnotherUserKeepsTheOwnerAndTheGroup)
{
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to own a file that another user may write";
    const TUnprivileged nobody = UnprivilegedUser();
    const std::string nobodys = std::to_string(nobody.Uid) + ":";
    // A shared folder without the sticky bit: a rename would go through.
    ::chmod(scratch.Path().c_str(), 0777);
    const std::string roots = scratch.Write("roots.KS", Bytes(50000, 1));
    ::chmod(roots.c_str(), 0666);
    const std::string grouped = scratch.Write("grouped.KS", Bytes(50000, 2));
    [[maybe_unused]] const int given = ::chown(grouped.c_str(), nobody.Uid, 0);
    ::chmod(grouped.c_str(), 0664);
    // A file of the saving user's own is replaced whole, as ever.
    const std::string own = scratch.Write("own.KS", Bytes(50000, 3));
    GiveToUnprivileged(own);
    ::chmod(own.c_str(), 0640);
    const ino_t rootsInode = Inode(roots);
    const ino_t groupedInode = Inode(grouped);
    const ino_t ownInode = Inode(own);
    const Bytes expected = MapToBytes(Rails(4));
    const std::string failures = RunUnprivileged([&] {
        std::string report;
        for (const std::string& path : {roots, grouped, own}) {
            TMap map = Rails(4);
            map.FileName = path;
            report += SaveReport(map, Asked(), expected);
        }
        return report;
    });
    EXPECT_EQ("", failures);
    EXPECT_EQ("0:0 666", Owner(roots));
    EXPECT_EQ(nobodys + "0 664", Owner(grouped));
    EXPECT_EQ(nobodys + std::to_string(nobody.Gid) + " 640", Owner(own));
    EXPECT_EQ(rootsInode, Inode(roots));
    EXPECT_EQ(groupedInode, Inode(grouped));
    EXPECT_NE(ownInode, Inode(own));
    EXPECT_EQ((std::vector<std::string>{"grouped.KS", "own.KS", "roots.KS"}), scratch.Names());
}

TEST_F(SaveTargets, ARefusedRenameFallsBackToWritingInPlace)
{
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to give a file away";
    // Everything here is nobody's, in nobody's sticky folder.
    const std::string path = scratch.Write("theirs.KS", Bytes(70000, 9));
    GiveToUnprivileged(path);
    GiveToUnprivileged(scratch.Path().string());
    ::chmod(path.c_str(), 0644);
    ::chmod(scratch.Path().c_str(), 01777);
    const std::string owner = Owner(path);
    const ino_t inode = Inode(path);
    const Bytes expected = MapToBytes(Rails(5));
    const std::string failures = RunInChild(DropOwnerRights, [&] {
        TMap map = Rails(5);
        map.FileName = path;
        return SaveReport(map, Asked(), expected);
    });
    EXPECT_EQ("", failures);
    EXPECT_EQ(owner, Owner(path));
    EXPECT_EQ(inode, Inode(path));
    EXPECT_EQ(std::vector<std::string>{"theirs.KS"}, scratch.Names());
}

TEST_F(SaveTargets, TheNextWriteOfAFileRemovesWhatItsKilledWritersLeft)
{
    const std::string map = scratch.Write("map.KS", {1});
    const std::string other = scratch.File("other.KS");
    const pid_t dead = KillWriterPartWay(map);
    const pid_t otherDead = KillWriterPartWay(other);
    std::vector<std::string> left = scratch.Names();
    ASSERT_EQ(3u, left.size());
    std::string leftover;
    for (const std::string& name : left) {
        const std::size_t at = name.rfind(std::to_string(dead));
        if (at != std::string::npos && name != "map.KS") leftover = name;
    }
    ASSERT_NE("", leftover);
    EXPECT_EQ(100000u, fs::file_size(scratch.File(leftover)));
    EXPECT_EQ(".tmp", leftover.substr(leftover.size() - 4));
    // The same name for a running process, and names that are not the
    // writer's, are not its to remove.
    std::string running = leftover;
    running.replace(running.rfind(std::to_string(dead)), std::to_string(dead).size(), std::to_string(::getpid()));
    for (const std::string& name : {running, "x" + leftover, leftover + ".tmp", "map.KS." + std::to_string(dead) + "-0.tmp"})
        scratch.Write(name, {4});

    WriteMapFile(Rails(2), map);
    EXPECT_EQ(MapToBytes(Rails(2)), filetest::ReadBytes(map));
    std::vector<std::string> now = scratch.Names();
    EXPECT_EQ(0, std::count(now.begin(), now.end(), leftover));
    EXPECT_EQ(left.size() + 3, now.size());
    // The other file's leftover goes with the other file's next write.
    WriteMapFile(Rails(2), other);
    now = scratch.Names();
    EXPECT_EQ(left.size() + 3, now.size());
    EXPECT_EQ(1, std::count(now.begin(), now.end(), "other.KS"));
    for (const std::string& name : now) EXPECT_EQ(std::string::npos, name.find(std::to_string(otherDead))) << name;
}

} // namespace
