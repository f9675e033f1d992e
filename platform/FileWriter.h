#pragma once
// The one way the program writes a file: maps, exported pictures and the
// command-line tool's pictures all go through WriteWholeFile.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

/// Where the bytes of a file go while it is written. Put raises EInOutError
/// when it cannot write.
class TByteSink {
public:
    virtual ~TByteSink() = default;
    virtual void Put(const std::uint8_t* data, std::size_t size) = 0;
};

/// Writes the file at path (UTF-8) with the bytes that produce hands to its
/// sink, without ever destroying what was there when it fails:
/// - a link is never replaced: the write goes to the file at the end of its
///   chain (relative links read from the link's folder), which is created when
///   missing; a chain that loops is refused with the system's reason;
/// - a target that exists and that the user may not write, or a folder, is
///   refused before anything is written;
/// - a regular file goes to a temporary file beside the target (a short hidden
///   name, see TemporaryName), which gets the mode, owner and group of the file
///   it replaces and is synced and renamed over it; temporary files for the
///   same target that a killed write left are removed first;
/// - a file that cannot be replaced whole is written in place (without being
///   emptied first, cut to its new length, synced), keeping its inode, owner,
///   group, mode and links: where the folder takes no new file, where the
///   replacement could not be given the old owner and group (another user's
///   file), and where the rename is refused (another user's file in a sticky
///   folder); in the last case produce runs a second time, and must give the
///   same bytes;
/// - a device or a pipe is written in place with blocking writes, its open
///   waiting for a reader; a reader that leaves makes the write fail, it never
///   ends the program with a signal.
/// A file that cannot be written or created raises EFileError with the path
/// and the system's reason, leaving no trace. A failed write raises "Disk
/// full" or "I/O error <n>" (whatever produce raises passes through as well);
/// no temporary file is left, and the old file keeps its bytes unless it was
/// being written in place, where a failure after the first byte leaves the
/// part written so far over the old bytes.
void WriteWholeFile(const std::string& path, const std::function<void(TByteSink&)>& produce);

/// True when something that is not a folder exists at path, readable or not.
bool FileExistsAt(const std::string& path);

/// True when a and b name the same file: the same device and inode where both
/// exist, otherwise the same absolute path once links and "." and ".." are
/// resolved.
bool SameFile(const std::string& a, const std::string& b);

/// The input/output error of an errno value: ENOSPC and EDQUOT are "Disk
/// full", any other is "I/O error <errno>".
[[noreturn]] void RaiseWriteError(int error);

/// A failure to inject into the writes that reach the disk: once AfterBytes
/// bytes have been written, the next write fails with Error (an errno value).
/// A negative AfterBytes injects nothing.
struct TWriteFault {
    std::int64_t AfterBytes = -1;
    int Error = 0;
};
/// Arms (or, with the default value, disarms) the injected write failure; for tests.
void InjectWriteFault(const TWriteFault& fault);
