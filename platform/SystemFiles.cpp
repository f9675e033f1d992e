#include "platform/SystemFiles.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <io.h>
#include <process.h>
#include <windows.h>
#else
#include <csignal>
#include <ctime>
#include <pthread.h>
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

fs::path PathOf(const std::string& utf8) { return fs::path(std::u8string(utf8.begin(), utf8.end())); }

#ifdef _WIN32

namespace {

/// The most one call of _read or _write takes: its count is an unsigned int.
unsigned Portion(std::size_t size) { return static_cast<unsigned>(size < (1u << 30) ? size : (1u << 30)); }

} // namespace

int OpenReadOnly(const fs::path& path)
{
    const int fd = _wopen(path.c_str(), _O_RDONLY | _O_BINARY);
    // Windows refuses to open a folder with EACCES; name it as Linux does.
    std::error_code ignored;
    if (fd < 0 && errno == EACCES && fs::is_directory(path, ignored)) errno = EISDIR;
    return fd;
}

int OpenWriteOnly(const fs::path& path) { return _wopen(path.c_str(), _O_WRONLY | _O_BINARY); }

int CreateNewFile(const fs::path& path)
{
    return _wopen(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
}

bool StatusOf(int fd, TOpenFileStatus& status)
{
    struct _stat64 st;
    if (_fstat64(fd, &st) != 0) return false;
    status.Size = st.st_size;
    status.Regular = (st.st_mode & _S_IFMT) == _S_IFREG;
    status.Directory = (st.st_mode & _S_IFMT) == _S_IFDIR;
    return true;
}

long ReadSome(int fd, void* buffer, std::size_t size) { return _read(fd, buffer, Portion(size)); }
void AdviseLargeArray(void*, std::size_t) {}
long WriteSome(int fd, const void* data, std::size_t size) { return _write(fd, data, Portion(size)); }
int CutFile(int fd, std::int64_t size) { return _chsize_s(fd, size) == 0 ? 0 : -1; }
int SyncFile(int fd) { return _commit(fd); }
int CloseFile(int fd) { return _close(fd); }
bool DescriptorOpen(int) { return true; }

bool MayWrite(const fs::path& path) { return _waccess(path.c_str(), 2) == 0; }
bool TakeOwnerAndMode(int, const fs::path&) { return true; }
void SyncFolder(const fs::path&) {}
bool RenameRefused(const std::error_code&) { return false; }

void RemoveOwnFile(const fs::path& path)
{
    std::error_code ignored;
    fs::remove(path, ignored);
}

long ProcessId() { return _getpid(); }

bool ProcessGone(long long pid)
{
    if (pid <= 0 || pid > 0xFFFFFFFFLL) return false;
    const HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(pid));
    // No such process id at all; a process that is there but not ours to
    // open is taken to be running.
    if (!process) return ::GetLastError() == ERROR_INVALID_PARAMETER;
    const bool ended = ::WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
    ::CloseHandle(process);
    return ended;
}

struct TNoBrokenPipeSignal::TMask {};
TNoBrokenPipeSignal::TNoBrokenPipeSignal() = default;
TNoBrokenPipeSignal::~TNoBrokenPipeSignal() = default;

#else

int OpenReadOnly(const fs::path& path) { return ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC); }
/// Without O_NONBLOCK: a pipe is written at the pace of its reader.
int OpenWriteOnly(const fs::path& path) { return ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY); }
int CreateNewFile(const fs::path& path) { return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666); }

bool StatusOf(int fd, TOpenFileStatus& status)
{
    struct stat st;
    if (::fstat(fd, &st) != 0) return false;
    status.Size = st.st_size;
    status.Regular = S_ISREG(st.st_mode);
    status.Directory = S_ISDIR(st.st_mode);
    return true;
}

long ReadSome(int fd, void* buffer, std::size_t size) { return ::read(fd, buffer, size); }

void AdviseLargeArray(void* data, std::size_t bytes)
{
#ifdef MADV_HUGEPAGE
    // Only the whole pages inside the array: the advice covers pages, and
    // those the array shares with other memory are not its to give.
    const long page = ::sysconf(_SC_PAGESIZE);
    if (page <= 0) return;
    const auto size = static_cast<std::uintptr_t>(page);
    const auto start = (reinterpret_cast<std::uintptr_t>(data) + size - 1) & ~(size - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(data) + bytes) & ~(size - 1);
    if (end > start) ::madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
#else
    (void)data;
    (void)bytes;
#endif
}
long WriteSome(int fd, const void* data, std::size_t size) { return ::write(fd, data, size); }
int CutFile(int fd, std::int64_t size) { return ::ftruncate(fd, static_cast<off_t>(size)); }
int SyncFile(int fd) { return ::fsync(fd); }
int CloseFile(int fd) { return ::close(fd); }
bool DescriptorOpen(int fd) { return ::fcntl(fd, F_GETFD) != -1; }

/// Asked with the effective user, the one that would write.
bool MayWrite(const fs::path& path) { return ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0; }

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

void SyncFolder(const fs::path& folder)
{
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

/// A sticky folder (/tmp) lets only the file's or the folder's owner replace a
/// file that its owner lets others write.
bool RenameRefused(const std::error_code& error)
{
    return error == std::errc::operation_not_permitted || error == std::errc::permission_denied;
}

/// A file given to another user cannot be removed from a sticky folder by a
/// process that could give it away but may not act as its owner.
void RemoveOwnFile(const fs::path& path)
{
    if (::unlink(path.c_str()) == 0 || errno != EPERM) return;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) return;
    [[maybe_unused]] const int taken = ::fchown(fd, ::geteuid(), ::getegid());
    ::close(fd);
    ::unlink(path.c_str());
}

long ProcessId() { return static_cast<long>(::getpid()); }

/// Another user's running process answers EPERM, which counts as running.
bool ProcessGone(long long pid)
{
    if (pid <= 0 || pid > 0x7FFFFFFFLL) return false;
    return ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

struct TNoBrokenPipeSignal::TMask {
    sigset_t Pipe;
    sigset_t Previous;
    bool PendingBefore = false;
};

TNoBrokenPipeSignal::TNoBrokenPipeSignal() : mask_(std::make_unique<TMask>())
{
    sigemptyset(&mask_->Pipe);
    sigaddset(&mask_->Pipe, SIGPIPE);
    sigset_t pending;
    sigpending(&pending);
    mask_->PendingBefore = sigismember(&pending, SIGPIPE) == 1;
    pthread_sigmask(SIG_BLOCK, &mask_->Pipe, &mask_->Previous);
}

TNoBrokenPipeSignal::~TNoBrokenPipeSignal()
{
    sigset_t pending;
    sigpending(&pending);
    if (!mask_->PendingBefore && sigismember(&pending, SIGPIPE) == 1) {
        const timespec now{};
        while (sigtimedwait(&mask_->Pipe, nullptr, &now) < 0 && errno == EINTR) {}
    }
    pthread_sigmask(SIG_SETMASK, &mask_->Previous, nullptr);
}

#endif
