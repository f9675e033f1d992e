#pragma once
// The system's file and process calls that POSIX and Windows spell
// differently, each under one name: the map reader, the file writer, its
// temporary files and kestmap's reports all call these, and this is the one
// place where the file code tells the two systems apart. Each returns what
// the system call returns (-1 or false with errno set on failure) and decides
// nothing of its own.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

/// The UTF-8 path of the program as a path of the file system (Cyrillic names
/// on every platform).
std::filesystem::path PathOf(const std::string& utf8);

/// Opens an existing file for reading only, without waiting: a FIFO cannot
/// hang the open. A folder is refused with EISDIR on Windows too.
int OpenReadOnly(const std::filesystem::path& path);
/// Opens an existing file for writing where it is, without emptying it. The
/// open of a pipe waits for a reader, as cp's does; a terminal does not
/// become the process's own.
int OpenWriteOnly(const std::filesystem::path& path);
/// Creates a new file for writing; EEXIST where the name is taken. The mode
/// is read and write for everyone, less the umask.
int CreateNewFile(const std::filesystem::path& path);

/// What the system says of an open file.
struct TOpenFileStatus {
    std::int64_t Size = 0;
    bool Regular = false;
    bool Directory = false;
};
/// Fills status for the open file fd; false with errno when it cannot.
bool StatusOf(int fd, TOpenFileStatus& status);

/// One read of at most size bytes: the count read, 0 at the end, -1 on failure.
long ReadSome(int fd, void* buffer, std::size_t size);
/// Asks the system to back the memory of a large array that is about to be
/// filled with large pages: filling it then takes a page fault every 2 MB
/// instead of every 4 KB. Only advice: does nothing where the system cannot.
void AdviseLargeArray(void* data, std::size_t bytes);
/// One write of at most size bytes (Windows takes at most 1 GiB a call):
/// the count written, -1 on failure.
long WriteSome(int fd, const void* data, std::size_t size);
/// Cuts (or extends) the open file to size bytes; 0 when done.
int CutFile(int fd, std::int64_t size);
/// Makes the open file's bytes durable; 0 when done.
int SyncFile(int fd);
/// Closes fd; 0 when done (a write error may show only here).
int CloseFile(int fd);
/// Whether fd is an open descriptor of this process (taken to be so on Windows).
bool DescriptorOpen(int fd);

/// Whether the effective user may write the file at path.
bool MayWrite(const std::filesystem::path& path);
/// Gives the open file fd the owner, group and mode of the file at original
/// (when that exists), whatever the umask; false when it cannot have them.
/// On Windows, where files carry no owner or mode here, always true.
bool TakeOwnerAndMode(int fd, const std::filesystem::path& original);
/// Makes a rename inside folder durable, silently doing what it can.
void SyncFolder(const std::filesystem::path& folder);
/// Whether a failed rename over another user's file was refused by the
/// folder's rules (a sticky folder), which writing in place gets past. A
/// rename refused on Windows is a file held open by another program, which
/// writing in place would not get past either: never.
bool RenameRefused(const std::error_code& error);
/// Removes a file this process created, also one it gave to another user in
/// a sticky folder (taken back first), silently.
void RemoveOwnFile(const std::filesystem::path& path);

/// This process's id.
long ProcessId();
/// Whether no process with id pid runs any more. Another user's running
/// process counts as running; an id no process can have is never gone.
bool ProcessGone(long long pid);

/// While it lives, a reader that goes away makes a write fail with EPIPE
/// instead of ending the program with SIGPIPE (the editor with its unsaved
/// maps); a SIGPIPE that a write raised is taken back before the signal mask
/// is. Nothing on Windows, which has no such signal.
class TNoBrokenPipeSignal {
public:
    TNoBrokenPipeSignal();
    ~TNoBrokenPipeSignal();
    TNoBrokenPipeSignal(const TNoBrokenPipeSignal&) = delete;
    TNoBrokenPipeSignal& operator=(const TNoBrokenPipeSignal&) = delete;

private:
    struct TMask;
    std::unique_ptr<TMask> mask_;
};
