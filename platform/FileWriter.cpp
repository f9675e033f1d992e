#include "platform/FileWriter.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#include <process.h>
#else
#include <csignal>
#include <ctime>
#include <pthread.h>
#include <unistd.h>
#endif

#include "platform/Errors.h"
#include "platform/TemporaryFile.h"

namespace fs = std::filesystem;

namespace {

TWriteFault injectedFault;

/// How a file being written is finished once its bytes are out.
enum class TFinish {
    /// A device or a pipe: nothing to cut or sync.
    Stream,
    /// An existing file written where it is: cut to the new length and synced.
    InPlace,
    /// A new temporary file: synced before it is renamed.
    Temporary,
};

#ifdef _WIN32
int OpenInPlace(const fs::path& p) { return _wopen(p.c_str(), _O_WRONLY | _O_BINARY); }
int CreateNew(const fs::path& p)
{
    return _wopen(p.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
}
long WriteSome(int fd, const void* data, std::size_t size)
{
    return _write(fd, data, static_cast<unsigned>(size));
}
int CutTo(int fd, std::int64_t size) { return _chsize_s(fd, size) == 0 ? 0 : -1; }
int SyncFile(int fd) { return _commit(fd); }
int CloseFile(int fd) { return _close(fd); }
bool MayWrite(const fs::path& p) { return _waccess(p.c_str(), 2) == 0; }
bool TakeOwnerAndMode(int, const fs::path&) { return true; }
void SyncFolder(const fs::path&) {}
long ProcessId() { return _getpid(); }
/// A rename refused on Windows is a file held open by another program, which
/// writing in place would not get past either.
bool RenameRefused(const std::error_code&) { return false; }
void RemoveTemporary(const fs::path& temporary)
{
    std::error_code ignored;
    fs::remove(temporary, ignored);
}
class TNoBrokenPipeSignal {};
#else
/// Without O_NONBLOCK: a pipe is written at the pace of its reader, and its
/// open waits for one, as cp does.
int OpenInPlace(const fs::path& p) { return ::open(p.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY); }
int CreateNew(const fs::path& p) { return ::open(p.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666); }
long WriteSome(int fd, const void* data, std::size_t size) { return ::write(fd, data, size); }
int CutTo(int fd, std::int64_t size) { return ::ftruncate(fd, static_cast<off_t>(size)); }
int SyncFile(int fd) { return ::fsync(fd); }
int CloseFile(int fd) { return ::close(fd); }
/// Asked with the effective user, the one that would write.
bool MayWrite(const fs::path& p) { return ::faccessat(AT_FDCWD, p.c_str(), W_OK, AT_EACCESS) == 0; }
/// Gives the new file the owner, group and mode of the file it will replace;
/// false when it cannot have them. The umask of the creating process must not
/// narrow the mode.
bool TakeOwnerAndMode(int fd, const fs::path& original)
{
    struct stat old;
    struct stat now;
    if (::stat(original.c_str(), &old) != 0) return true;
    if (::fstat(fd, &now) != 0) return false;
    // Only a privileged process may give a file away, or to a group it is not in.
    if ((now.st_uid != old.st_uid || now.st_gid != old.st_gid) && ::fchown(fd, old.st_uid, old.st_gid) != 0)
        return false;
    return ::fchmod(fd, old.st_mode & 07777) == 0;
}
/// Makes the rename itself durable; a failure here loses nothing already written.
void SyncFolder(const fs::path& folder)
{
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}
long ProcessId() { return static_cast<long>(::getpid()); }
/// A sticky folder (/tmp) lets only the file's or the folder's owner replace a
/// file that its owner lets others write.
bool RenameRefused(const std::error_code& error)
{
    return error == std::errc::operation_not_permitted || error == std::errc::permission_denied;
}
/// Removes the temporary file. One that was given to another user cannot be
/// removed from a sticky folder by a process that could give it away but may
/// not act as its owner: it is taken back first.
void RemoveTemporary(const fs::path& temporary)
{
    if (::unlink(temporary.c_str()) == 0 || errno != EPERM) return;
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) return;
    [[maybe_unused]] const int taken = ::fchown(fd, ::geteuid(), ::getegid());
    ::close(fd);
    ::unlink(temporary.c_str());
}
/// While it lives, a reader that goes away makes a write fail with EPIPE
/// instead of ending the program with SIGPIPE (the editor with its unsaved
/// maps); a SIGPIPE that the write raised is taken back before the mask is.
class TNoBrokenPipeSignal {
public:
    TNoBrokenPipeSignal()
    {
        sigemptyset(&pipe_);
        sigaddset(&pipe_, SIGPIPE);
        sigset_t pending;
        sigpending(&pending);
        pendingBefore_ = sigismember(&pending, SIGPIPE) == 1;
        pthread_sigmask(SIG_BLOCK, &pipe_, &previous_);
    }
    ~TNoBrokenPipeSignal()
    {
        sigset_t pending;
        sigpending(&pending);
        if (!pendingBefore_ && sigismember(&pending, SIGPIPE) == 1) {
            const timespec now{};
            while (sigtimedwait(&pipe_, nullptr, &now) < 0 && errno == EINTR) {}
        }
        pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
    }
    TNoBrokenPipeSignal(const TNoBrokenPipeSignal&) = delete;
    TNoBrokenPipeSignal& operator=(const TNoBrokenPipeSignal&) = delete;

private:
    sigset_t pipe_;
    sigset_t previous_;
    bool pendingBefore_ = false;
};
#endif

fs::path PathOf(const std::string& path) { return fs::path(std::u8string(path.begin(), path.end())); }

[[noreturn]] void Refuse(const std::string& path, int error) { throw EFileError(path, std::strerror(error)); }

/// The file that writing path changes: path itself, or where path is a
/// symbolic link, the file at the end of its chain, which need not exist yet.
/// A link is never replaced, so a chain that never ends is refused.
fs::path FinalTarget(const std::string& path)
{
    constexpr int maxLinks = 40; // the limit the system itself applies
    fs::path target = PathOf(path);
    for (int links = 0;; ++links) {
        std::error_code error;
        if (!fs::is_symlink(fs::symlink_status(target, error))) return target;
        if (links == maxLinks)
            throw EFileError(path, std::make_error_code(std::errc::too_many_symbolic_link_levels).message());
        const fs::path next = fs::read_symlink(target, error);
        if (error) throw EFileError(path, error.message());
        // A relative link is relative to the folder that holds it.
        target = next.is_absolute() ? next : target.parent_path() / next;
    }
}

/// Writes to an open file descriptor, honouring an injected fault.
class TFileSink : public TByteSink {
public:
    explicit TFileSink(int fd) : fd_(fd) {}

    void Put(const std::uint8_t* data, std::size_t size) override
    {
        if (injectedFault.AfterBytes >= 0 && written_ + static_cast<std::int64_t>(size) > injectedFault.AfterBytes) {
            const auto part = static_cast<std::size_t>(injectedFault.AfterBytes - written_);
            WriteAll(data, part);
            RaiseWriteError(injectedFault.Error);
        }
        WriteAll(data, size);
    }

    std::int64_t Written() const { return written_; }

private:
    void WriteAll(const std::uint8_t* data, std::size_t size)
    {
        while (size > 0) {
            const long done = WriteSome(fd_, data, size);
            if (done < 0 && errno == EINTR) continue;
            if (done < 0) RaiseWriteError(errno);
            if (done == 0) RaiseWriteError(ENOSPC);
            data += done;
            size -= static_cast<std::size_t>(done);
            written_ += done;
        }
    }

    int fd_;
    std::int64_t written_ = 0;
};

/// Runs produce into the open file, finishes it and closes it; the file is
/// closed on every path, and cleanup runs when anything fails.
void FillAndClose(int fd, const std::function<void(TByteSink&)>& produce, TFinish finish,
                  const std::function<void()>& cleanup)
{
    try {
        TFileSink sink(fd);
        produce(sink);
        if (finish == TFinish::InPlace && CutTo(fd, sink.Written()) != 0) RaiseWriteError(errno);
        if (finish != TFinish::Stream && SyncFile(fd) != 0) RaiseWriteError(errno);
    } catch (...) {
        CloseFile(fd);
        cleanup();
        throw;
    }
    if (CloseFile(fd) != 0) {
        const int error = errno;
        cleanup();
        RaiseWriteError(error);
    }
}

/// Writes an existing file where it is: a device or a pipe, or a file that
/// cannot be replaced whole. The file keeps its inode, owner, group, mode and
/// links. It is not emptied first, so a failure before the first byte leaves it
/// as it was; a later one leaves the part written so far over its old bytes.
void WriteInPlace(const std::string& path, const fs::path& target, const std::function<void(TByteSink&)>& produce,
                  TFinish finish)
{
    const int fd = OpenInPlace(target);
    if (fd < 0) Refuse(path, errno);
    FillAndClose(fd, produce, finish, [] {});
}

/// Creates a new temporary file beside target; -1 with errno when the folder takes none.
int CreateTemporary(const fs::path& target, fs::path& temporary)
{
    static std::atomic<unsigned> serial{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = target.parent_path() / TemporaryName(target.filename(), ProcessId(), serial++);
        const int fd = CreateNew(temporary);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

} // namespace

void InjectWriteFault(const TWriteFault& fault) { injectedFault = fault; }

void RaiseWriteError(int error)
{
#ifdef EDQUOT
    if (error == EDQUOT) throw EInOutError(EInOutError::DiskFull);
#endif
    if (error == ENOSPC) throw EInOutError(EInOutError::DiskFull);
    throw EInOutError(error);
}

bool FileExistsAt(const std::string& path)
{
    std::error_code error;
    const fs::file_status status = fs::status(PathOf(path), error);
    return fs::exists(status) && !fs::is_directory(status);
}

bool SameFile(const std::string& a, const std::string& b)
{
    std::error_code error;
    const fs::path pa = PathOf(a);
    const fs::path pb = PathOf(b);
    if (fs::exists(pa, error) && fs::exists(pb, error)) {
        const bool same = fs::equivalent(pa, pb, error);
        if (!error) return same;
    }
    const fs::path ca = fs::weakly_canonical(fs::absolute(pa, error), error);
    const fs::path cb = fs::weakly_canonical(fs::absolute(pb, error), error);
    return ca == cb;
}

void WriteWholeFile(const std::string& path, const std::function<void(TByteSink&)>& produce)
{
    const fs::path target = FinalTarget(path);
    std::error_code error;
    const fs::file_status status = fs::status(target, error);
    const bool exists = fs::exists(status);
    if (exists && fs::is_directory(status)) Refuse(path, EISDIR);
    // Renaming over a file needs only the folder's permission: the file's own
    // must be asked for, or a write-protected file would silently be replaced.
    if (exists && !MayWrite(target)) Refuse(path, errno);
    if (exists && !fs::is_regular_file(status)) {
        [[maybe_unused]] TNoBrokenPipeSignal noSignal;
        return WriteInPlace(path, target, produce, TFinish::Stream);
    }

    RemoveStaleTemporaryFiles(target);
    fs::path temporary;
    const int fd = CreateTemporary(target, temporary);
    if (fd < 0) {
        const int createError = errno;
        // Only a folder that forbids new files sends the write in place; a
        // full disk must not cost the old file its bytes.
        const bool forbidden = createError == EACCES || createError == EPERM;
        if (exists && forbidden) return WriteInPlace(path, target, produce, TFinish::InPlace);
        Refuse(path, createError);
    }
    const auto removeTemporary = [&] { RemoveTemporary(temporary); };
    if (exists && !TakeOwnerAndMode(fd, target)) {
        // A replacement would belong to the user who saves: the file is
        // written where it is instead, decided before a byte is written.
        CloseFile(fd);
        removeTemporary();
        return WriteInPlace(path, target, produce, TFinish::InPlace);
    }
    FillAndClose(fd, produce, TFinish::Temporary, removeTemporary);
    fs::rename(temporary, target, error);
    if (error) {
        removeTemporary();
        // The old file is still whole: writing in place is the one way left.
        if (exists && RenameRefused(error)) return WriteInPlace(path, target, produce, TFinish::InPlace);
        throw EFileError(path, error.message());
    }
    SyncFolder(target.parent_path());
}
