#include "platform/FileWriter.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/Errors.h"
#include "platform/SystemFiles.h"
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
        if (finish == TFinish::InPlace && CutFile(fd, sink.Written()) != 0) RaiseWriteError(errno);
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
    const int fd = OpenWriteOnly(target);
    if (fd < 0) Refuse(path, errno);
    FillAndClose(fd, produce, finish, [] {});
}

/// Creates a new temporary file beside target; -1 with errno when the folder takes none.
int CreateTemporary(const fs::path& target, fs::path& temporary)
{
    static std::atomic<unsigned> serial{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = target.parent_path() / TemporaryName(target.filename(), ProcessId(), serial++);
        const int fd = CreateNewFile(temporary);
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
    const auto removeTemporary = [&] { RemoveOwnFile(temporary); };
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
