#include "platform/FileWriter.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>

#ifdef _WIN32
#include <io.h>
#include <process.h>
#else
#include <unistd.h>
#endif

#include "platform/Errors.h"

namespace fs = std::filesystem;

namespace {

TWriteFault injectedFault;

#ifdef _WIN32
int OpenForWriting(const fs::path& p) { return _wopen(p.c_str(), _O_WRONLY | _O_TRUNC | _O_BINARY); }
int CreateNew(const fs::path& p)
{
    return _wopen(p.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
}
long WriteSome(int fd, const void* data, std::size_t size)
{
    return _write(fd, data, static_cast<unsigned>(size));
}
int SyncFile(int fd) { return _commit(fd); }
int CloseFile(int fd) { return _close(fd); }
bool MayWrite(const fs::path& p) { return _waccess(p.c_str(), 2) == 0; }
void CopyOwnerAndMode(int, const fs::path&) {}
void SyncFolder(const fs::path&) {}
long ProcessId() { return _getpid(); }
#else
int OpenForWriting(const fs::path& p) { return ::open(p.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NONBLOCK); }
int CreateNew(const fs::path& p) { return ::open(p.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666); }
long WriteSome(int fd, const void* data, std::size_t size) { return ::write(fd, data, size); }
int SyncFile(int fd) { return ::fsync(fd); }
int CloseFile(int fd) { return ::close(fd); }
/// Asked with the effective user, the one that would write.
bool MayWrite(const fs::path& p) { return ::faccessat(AT_FDCWD, p.c_str(), W_OK, AT_EACCESS) == 0; }
/// The replacement gets the mode and owner of the file it replaces; the umask
/// of the creating process must not narrow the mode.
void CopyOwnerAndMode(int fd, const fs::path& original)
{
    struct stat st;
    if (::stat(original.c_str(), &st) != 0) return;
    [[maybe_unused]] const int owned = ::fchown(fd, st.st_uid, st.st_gid);
    ::fchmod(fd, st.st_mode & 07777);
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
#endif

fs::path PathOf(const std::string& path) { return fs::path(std::u8string(path.begin(), path.end())); }

[[noreturn]] void Refuse(const std::string& path, int error) { throw EFileError(path, std::strerror(error)); }

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

/// Runs produce into the open file, syncs it when asked and closes it; the
/// file is closed on every path, and cleanup runs when anything fails.
void FillAndClose(int fd, const std::function<void(TByteSink&)>& produce, bool sync,
                  const std::function<void()>& cleanup)
{
    try {
        TFileSink sink(fd);
        produce(sink);
        if (sync && SyncFile(fd) != 0) RaiseWriteError(errno);
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

/// Truncates and writes an existing file where it is: for devices, and for
/// files in a folder that takes no temporary file. What a failure leaves is
/// the part written so far.
void WriteInPlace(const std::string& path, const fs::path& target, const std::function<void(TByteSink&)>& produce,
                  bool sync)
{
    const int fd = OpenForWriting(target);
    if (fd < 0) Refuse(path, errno);
    FillAndClose(fd, produce, sync, [] {});
}

/// Creates a new temporary file beside target; -1 with errno when the folder takes none.
int CreateTemporary(const fs::path& target, fs::path& temporary)
{
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string suffix(".");
        suffix.append(std::to_string(ProcessId())).append("-").append(std::to_string(counter++)).append(".tmp");
        temporary = target;
        temporary += suffix;
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
    fs::path target = PathOf(path);
    std::error_code error;
    // A link stays a link: the file it points to is the one replaced.
    if (fs::is_symlink(fs::symlink_status(target, error))) {
        const fs::path resolved = fs::weakly_canonical(target, error);
        if (!error) target = resolved;
    }
    const fs::file_status status = fs::status(target, error);
    const bool exists = fs::exists(status);
    if (exists && fs::is_directory(status)) Refuse(path, EISDIR);
    // Renaming over a file needs only the folder's permission: the file's own
    // must be asked for, or a write-protected file would silently be replaced.
    if (exists && !MayWrite(target)) Refuse(path, errno);
    if (exists && !fs::is_regular_file(status)) return WriteInPlace(path, target, produce, false);

    fs::path temporary;
    const int fd = CreateTemporary(target, temporary);
    if (fd < 0) {
        const int createError = errno;
        // Only a folder that forbids new files sends the write in place; a
        // full disk must not cost the old file its bytes.
        const bool forbidden = createError == EACCES || createError == EPERM;
        if (exists && forbidden) return WriteInPlace(path, target, produce, true);
        Refuse(path, createError);
    }
    if (exists) CopyOwnerAndMode(fd, target);
    const auto removeTemporary = [&] {
        std::error_code ignored;
        fs::remove(temporary, ignored);
    };
    FillAndClose(fd, produce, true, removeTemporary);
    fs::rename(temporary, target, error);
    if (error) {
        removeTemporary();
        throw EFileError(path, error.message());
    }
    SyncFolder(target.parent_path());
}
