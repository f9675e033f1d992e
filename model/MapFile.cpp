#include "model/MapFile.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>

#ifdef _WIN32
#include <io.h>
#include <process.h>
#else
#include <unistd.h>
#endif

#include "model/Errors.h"
#include "model/MapFileIO.h"
#include "model/TMap.h"

namespace fs = std::filesystem;

namespace {

TWriteFault injectedFault;

#ifdef _WIN32
int OpenExisting(const fs::path& p, int flags) { return _wopen(p.c_str(), flags | _O_BINARY); }
int CreateNew(const fs::path& p, int mode)
{
    return _wopen(p.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, mode ? _S_IREAD | _S_IWRITE : 0);
}
constexpr int WriteOnlyTruncate = _O_WRONLY | _O_TRUNC;
constexpr int ReadOnly = _O_RDONLY;
long WriteSome(int fd, const void* data, std::size_t size)
{
    return _write(fd, data, static_cast<unsigned>(size));
}
int SyncFile(int fd) { return _commit(fd); }
int CloseFile(int fd) { return _close(fd); }
void CopyOwnerAndMode(int, const fs::path&) {}
void SyncFolder(const fs::path&) {}
long ProcessId() { return _getpid(); }
#else
int OpenExisting(const fs::path& p, int flags) { return ::open(p.c_str(), flags | O_CLOEXEC | O_NONBLOCK); }
int CreateNew(const fs::path& p, int mode)
{
    return ::open(p.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, static_cast<mode_t>(mode));
}
constexpr int WriteOnlyTruncate = O_WRONLY | O_TRUNC;
constexpr int ReadOnly = O_RDONLY;
long WriteSome(int fd, const void* data, std::size_t size) { return ::write(fd, data, size); }
int SyncFile(int fd) { return ::fsync(fd); }
int CloseFile(int fd) { return ::close(fd); }
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

    void Sync()
    {
        if (SyncFile(fd_) != 0) RaiseWriteError(errno);
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

/// Writes a device such as /dev/full in place: it cannot be replaced by renaming.
bool WriteInPlace(const TMap& map, const fs::path& target)
{
    const int fd = OpenExisting(target, WriteOnlyTruncate);
    if (fd < 0) return false;
    try {
        TFileSink sink(fd);
        TMapWriter out(sink);
        WriteMapBody(map, out);
    } catch (...) {
        CloseFile(fd);
        throw;
    }
    if (CloseFile(fd) != 0) RaiseWriteError(errno);
    return true;
}

/// Creates a new temporary file beside target; -1 when the folder takes none.
int CreateTemporary(const fs::path& target, fs::path& temporary)
{
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string suffix(".");
        suffix.append(std::to_string(ProcessId())).append("-").append(std::to_string(counter++)).append(".tmp");
        temporary = target;
        temporary += suffix;
        const int fd = CreateNew(temporary, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

} // namespace

void InjectWriteFault(const TWriteFault& fault) { injectedFault = fault; }

std::string ForceExtension(const std::string& path)
{
    const std::size_t separator = path.find_last_of("\\/");
    const std::size_t nameStart = separator == std::string::npos ? 0 : separator + 1;
    const std::size_t dot = path.find('.', nameStart);
    return path.substr(0, dot) + ".KS";
}

bool MapFileExists(const std::string& path)
{
    const int fd = OpenExisting(MapPath(path), ReadOnly);
    if (fd < 0) return false;
    CloseFile(fd);
    return true;
}

void DeleteAllElements(TMap& map)
{
    // Deleting from the end leaves every index exactly where deleting index 0
    // again and again would leave it (each valid one -1, each one beyond the
    // array lowered by the count), without moving the array at every step.
    map.ClearHistory();
    while (map.BorderCount() > 0) map.DeleteBorder(map.BorderCount() - 1);
    while (map.RailCount() > 0) map.DeleteRail(map.RailCount() - 1);
}

TMapFileStats ReadMapFile(TMap& map, const std::string& path)
{
    DeleteAllElements(map);
    TMapReader in(path);
    TMapFileStats stats;
    stats.SizeBytes = in.Size();
    try {
        ReadMapBody(map, in);
    } catch (...) {
        map.Touch();
        throw;
    }
    stats.BordersStored = map.BorderCount();
    stats.RailsStored = map.RailCount();
    map.Normalize();
    in.Close();
    map.Touch();
    map.MarkClean();
    return stats;
}

bool WriteMapFile(const TMap& map, const std::string& path)
{
    fs::path target = MapPath(path);
    std::error_code error;
    // A link stays a link: the file it points to is the one replaced.
    if (fs::is_symlink(fs::symlink_status(target, error))) {
        const fs::path resolved = fs::weakly_canonical(target, error);
        if (!error) target = resolved;
    }
    const fs::file_status status = fs::status(target, error);
    const bool exists = fs::exists(status);
    if (exists && fs::is_directory(status)) return false;
    if (exists && !fs::is_regular_file(status)) return WriteInPlace(map, target);

    fs::path temporary;
    const int fd = CreateTemporary(target, temporary);
    if (fd < 0) return false;
    if (exists) CopyOwnerAndMode(fd, target);
    try {
        TFileSink sink(fd);
        TMapWriter out(sink);
        WriteMapBody(map, out);
        sink.Sync();
    } catch (...) {
        CloseFile(fd);
        fs::remove(temporary, error);
        throw;
    }
    if (CloseFile(fd) != 0) {
        const int closeError = errno;
        fs::remove(temporary, error);
        RaiseWriteError(closeError);
    }
    fs::rename(temporary, target, error);
    if (error) {
        fs::remove(temporary, error);
        return false;
    }
    SyncFolder(target.parent_path());
    return true;
}
