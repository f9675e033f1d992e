// Where kestmap render's picture goes: the editor's one file writer takes
// pipes, the longest names, links that lead nowhere, other users' pictures,
// and cleans up after a render that was killed part-way.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <poll.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "ToolRunner.h"
#include "tests/support/AsNobody.h"

namespace fs = std::filesystem;

namespace {

std::string Bytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

/// Reads a FIFO on a thread of its own, opening it after a delay and leaving
/// after leaveAfter bytes, until the writer is done. It never blocks: a writer
/// that never comes cannot hang the test.
class TFifoReader {
public:
    TFifoReader(std::string path, std::chrono::milliseconds delay, std::size_t leaveAfter = SIZE_MAX)
        : path_(std::move(path)), thread_([this, delay, leaveAfter] { Run(delay, leaveAfter); })
    {
    }
    /// Waits until the reader is there.
    void WaitOpen() const
    {
        while (!open_) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    /// Everything read, once the writer has finished.
    std::string Finish()
    {
        writerDone_ = true;
        thread_.join();
        return got_;
    }

private:
    void Run(std::chrono::milliseconds delay, std::size_t leaveAfter)
    {
        std::this_thread::sleep_for(delay);
        const int fd = ::open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        open_ = true;
        if (fd < 0) return;
        char buffer[65536];
        while (got_.size() < leaveAfter) {
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n > 0) {
                got_.append(buffer, static_cast<std::size_t>(n));
            } else if (n == 0) {
                // No writer: not there yet, or gone for good.
                if (writerDone_) break;
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            } else if (errno == EAGAIN) {
                pollfd wait{fd, POLLIN, 0};
                ::poll(&wait, 1, 10);
            } else {
                break;
            }
        }
        ::close(fd);
    }

    std::string path_;
    std::string got_;
    std::atomic<bool> open_{false};
    std::atomic<bool> writerDone_{false};
    std::thread thread_;
};

class KestMapRenderTargets : public ::testing::Test {
protected:
    TTempFolder folder;
    std::string map = folder.Write("map.ks", RingMap().Bytes());
    /// The picture rendered to a plain new file, for comparison.
    std::string Reference(const std::string& name, const std::vector<std::string>& options = {})
    {
        const std::string path = folder.File("reference-" + name);
        std::vector<std::string> args = {"render", map, path};
        args.insert(args.begin() + 1, options.begin(), options.end());
        EXPECT_EQ(0, RunKestMap(args).Status);
        const std::string bytes = Bytes(path);
        fs::remove(path);
        return bytes;
    }
};

TEST_F(KestMapRenderTargets, APipeGetsTheWholePictureWhenItsReaderComesFirstOrLate)
{
    const std::string picture = Reference("ring.bmp");
    ASSERT_EQ(3000054u, picture.size());
    const std::string fifo = folder.File("out.bmp");
    ASSERT_EQ(0, ::mkfifo(fifo.c_str(), 0600));
    for (const int delay : {0, 300}) {
        SCOPED_TRACE(delay);
        TFifoReader reader(fifo, std::chrono::milliseconds(delay));
        if (delay == 0) reader.WaitOpen();
        const TToolRun run = RunKestMap({"render", map, fifo});
        const std::string got = reader.Finish();
        EXPECT_EQ(0, run.Status) << run.Err;
        EXPECT_EQ(picture.size(), got.size());
        EXPECT_TRUE(got == picture);
    }
    // A reader that leaves early is a failed write, not the end of the program.
    TFifoReader leaving(fifo, std::chrono::milliseconds(0), 100000);
    leaving.WaitOpen();
    const TToolRun run = RunKestMap({"render", map, fifo});
    leaving.Finish();
    EXPECT_EQ(2, run.Status);
    EXPECT_EQ("kestmap: " + fifo + ": I/O error 32\n", run.Err);
    EXPECT_TRUE(fs::is_fifo(fifo));
}

TEST_F(KestMapRenderTargets, TheLongestNamesAndLinksThatLeadNowhereAreWritten)
{
    const std::string picture = Reference("ring.png", {"--size", "64"});
    const std::string longest = folder.File(std::string(251, 'p') + ".png");
    const std::string shorter = folder.File(std::string(240, 'p') + ".png");
    fs::create_directories(folder.File("links"));
    fs::create_directories(folder.File("pictures"));
    fs::create_symlink("../pictures/made.png", folder.File("links/out.png"));
    for (const std::string& target : {longest, shorter, folder.File("links/out.png")}) {
        const TToolRun run = RunKestMap({"render", "--size", "64", map, target});
        EXPECT_EQ(0, run.Status) << run.Err;
        EXPECT_TRUE(Bytes(target) == picture) << target;
    }
    EXPECT_TRUE(fs::is_symlink(folder.File("links/out.png")));
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(folder.File("pictures/made.png"))));
    EXPECT_EQ(5u, folder.Names().size());

    fs::create_symlink("loop.png", folder.File("loop.png"));
    const TToolRun loop = RunKestMap({"render", map, folder.File("loop.png")});
    EXPECT_EQ(2, loop.Status);
    EXPECT_EQ("kestmap: " + folder.File("loop.png") + ": Too many levels of symbolic links\n", loop.Err);
    EXPECT_TRUE(fs::is_symlink(folder.File("loop.png")));
}

TEST_F(KestMapRenderTargets, AnotherUsersPictureInASharedFolderKeepsItsOwnerAndMode)
{
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to own a picture that another user may write";
    const std::string picture = Reference("ring.png", {"--size", "32"});
    // A sticky folder (/tmp) refuses the rename, a plain shared one would let
    // the picture change hands.
    for (const mode_t folderMode : {01777, 0777}) {
        SCOPED_TRACE(folderMode);
        const std::string target = folder.Write("shared.png", std::vector<std::uint8_t>(20000, 1));
        ::chmod(target.c_str(), 0666);
        ::chmod(folder.Path().c_str(), folderMode);
        struct stat before;
        ASSERT_EQ(0, ::stat(target.c_str(), &before));
        const std::string failures = RunUnprivileged([&] {
            const TToolRun run = RunKestMap({"render", "--size", "32", map, target});
            return run.Status == 0 ? std::string() : run.Err;
        });
        EXPECT_EQ("", failures);
        struct stat after;
        ASSERT_EQ(0, ::stat(target.c_str(), &after));
        EXPECT_EQ(0u, after.st_uid);
        EXPECT_EQ(0u, after.st_gid);
        EXPECT_EQ(0666u, after.st_mode & 07777);
        EXPECT_EQ(before.st_ino, after.st_ino);
        EXPECT_TRUE(Bytes(target) == picture);
        EXPECT_EQ((std::vector<std::string>{"map.ks", "shared.png"}), folder.Names());
    }
}

TEST_F(KestMapRenderTargets, ARenderKilledPartWayLeavesNothingAfterTheNextOne)
{
    // ulimit -f: the kernel ends the program with SIGXFSZ at the limit.
    const std::string picture = folder.File("pic.bmp");
    const std::string tool = KEST_BINARY_DIR "/tools/kestmap";
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const rlimit limit{1000000, 1000000};
        const int null = ::open("/dev/null", O_WRONLY);
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0 || ::dup2(null, 1) < 0 || ::dup2(null, 2) < 0) ::_exit(127);
        ::execl(tool.c_str(), tool.c_str(), "render", map.c_str(), picture.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ) << status;
    ASSERT_EQ(2u, folder.Names().size()) << "no temporary file was left to clean up";

    const TToolRun run = RunKestMap({"render", map, picture});
    EXPECT_EQ(0, run.Status) << run.Err;
    EXPECT_EQ(3000054u, fs::file_size(picture));
    EXPECT_EQ((std::vector<std::string>{"map.ks", "pic.bmp"}), folder.Names());
}

} // namespace
