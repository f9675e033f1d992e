#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/Errors.h"
#include "platform/qt/QtRecoveryFolder.h"
#include "tests/support/TempFolder.h"

namespace {

/// The user's data folder moved into a scratch folder for the test's length.
class ScratchDataHome {
public:
    ScratchDataHome()
    {
        if (const char* old = std::getenv("XDG_DATA_HOME")) old_ = old;
        ::setenv("XDG_DATA_HOME", folder.Path().c_str(), 1);
    }
    ~ScratchDataHome()
    {
        if (old_)
            ::setenv("XDG_DATA_HOME", old_->c_str(), 1);
        else
            ::unsetenv("XDG_DATA_HOME");
    }
    TTempFolder folder;

private:
    std::optional<std::string> old_;
};

/// Runs an editor's start in a child that then dies by SIGKILL, leaving its
/// folder with one file in it; returns the folder.
std::string FolderOfKilledEditor(const std::string& root)
{
    int pipe[2];
    if (::pipe(pipe) != 0) return "";
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipe[0]);
        TRecoveryFolder folder(root);
        WriteBytes(folder.Path() + "/map-1.KS", {1, 2, 3});
        const std::string path = folder.Path();
        if (::write(pipe[1], path.data(), path.size()) != static_cast<ssize_t>(path.size())) ::_exit(1);
        ::close(pipe[1]);
        ::raise(SIGKILL);
        ::_exit(2);
    }
    ::close(pipe[1]);
    std::string path;
    char buffer[512];
    for (ssize_t n; (n = ::read(pipe[0], buffer, sizeof buffer)) > 0;) path.append(buffer, static_cast<std::size_t>(n));
    ::close(pipe[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    return path;
}

std::vector<std::string> PathsOf(const std::vector<std::unique_ptr<TRecoveryFolder>>& folders)
{
    std::vector<std::string> paths;
    for (const auto& folder : folders) paths.push_back(folder->Path());
    return paths;
}

TEST(RecoveryFolder, LivesUnderTheUsersDataFolder)
{
    ScratchDataHome home;
    EXPECT_EQ(std::filesystem::path(TRecoveryFolder::Root()), home.folder.Path() / "kestedit" / "recovery");
    TRecoveryFolder folder;
    EXPECT_EQ(std::filesystem::path(folder.Path()).parent_path(), home.folder.Path() / "kestedit" / "recovery");
    EXPECT_TRUE(std::filesystem::is_directory(folder.Path()));
}

TEST(RecoveryFolder, OnlyADeadEditorsFolderIsTakenAndByOneEditorAtATime)
{
    ScratchDataHome home;
    const std::string root = TRecoveryFolder::Root();
    TRecoveryFolder first(root);
    TRecoveryFolder second(root);
    ASSERT_NE(first.Path(), second.Path());
    WriteBytes(first.Path() + "/map-7.KS", {9});
    EXPECT_TRUE(TRecoveryFolder::TakeOrphans(root).empty()) << "running editors keep their folders";
    // However long an editor has been running.
    const auto lock = std::filesystem::path(first.Path()) / ".lock";
    std::filesystem::last_write_time(lock, std::filesystem::last_write_time(lock) - std::chrono::hours(30));
    EXPECT_TRUE(TRecoveryFolder::TakeOrphans(root).empty()) << "an old lock of a running editor is not stale";

    const std::string killed = FolderOfKilledEditor(root);
    ASSERT_FALSE(killed.empty());
    ASSERT_TRUE(std::filesystem::exists(killed + "/map-1.KS")) << "a kill leaves the copies";
    {
        const auto taken = TRecoveryFolder::TakeOrphans(root);
        EXPECT_EQ(PathsOf(taken), std::vector<std::string>{killed});
        // Held by this editor now: another starting meanwhile finds nothing.
        EXPECT_TRUE(TRecoveryFolder::TakeOrphans(root).empty());
    }
    // Let go without removing (the question cancelled): offered again, copies intact.
    auto again = TRecoveryFolder::TakeOrphans(root);
    ASSERT_EQ(PathsOf(again), std::vector<std::string>{killed});
    EXPECT_EQ(ReadBytes(killed + "/map-1.KS"), (std::vector<std::uint8_t>{1, 2, 3}));
    EXPECT_TRUE(again[0]->RemoveAll());
    EXPECT_FALSE(std::filesystem::exists(killed));

    // A folder left before its lock was made counts as a dead editor's too.
    std::filesystem::create_directories(std::filesystem::path(root) / "editor-1-1-0");
    EXPECT_EQ(TRecoveryFolder::TakeOrphans(root).size(), 1u);

    // A normal exit takes the folder and its copies away.
    const std::string path = first.Path();
    EXPECT_TRUE(first.RemoveAll());
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_TRUE(std::filesystem::exists(second.Path()));
}

TEST(RecoveryFolder, AFolderThatCannotBeMadeIsAClearError)
{
    TTempFolder scratch;
    const std::string file = scratch.Write("plain", {1});
    try {
        TRecoveryFolder folder(file);
        FAIL() << "made a folder inside a file";
    } catch (const EFileError& error) {
        EXPECT_NE(std::string(error.what()).find(file), std::string::npos) << error.what();
    }
}

} // namespace
