#pragma once
// Error types of the editor. Each carries the exact text that the user sees
// in the error message box; the application's event dispatch is the one
// place that catches them.
#include <cstdint>
#include <stdexcept>
#include <string>

/// Base of every error the program raises on purpose.
class EKestError : public std::runtime_error {
public:
    explicit EKestError(const std::string& message) : std::runtime_error(message) {}
};

/// A load the user stopped: the map is as it was before it, and nothing is reported.
class ELoadCancelled : public EKestError {
public:
    ELoadCancelled() : EKestError("Load cancelled") {}
};

/// Checked 32-bit arithmetic left the range of a signed 32-bit integer.
class EIntOverflow : public EKestError {
public:
    EIntOverflow() : EKestError("Integer overflow") {}
};

/// An index or a count outside its allowed range.
class ERangeError : public EKestError {
public:
    ERangeError() : EKestError("Range check error") {}
};

/// Memory for a requested array size could not be had.
class EOutOfMemory : public EKestError {
public:
    EOutOfMemory() : EKestError("Out of memory") {}
};

/// An input/output error in the middle of a map file. Code 100 reads
/// "Read beyond end of file", 101 "Disk full", any other "I/O error <code>".
class EInOutError : public EKestError {
public:
    explicit EInOutError(int code) : EKestError(TextOf(code)), Code(code) {}
    const int Code;

    static constexpr int ReadBeyondEnd = 100;
    static constexpr int DiskFull = 101;

    static std::string TextOf(int code)
    {
        if (code == ReadBeyondEnd) return "Read beyond end of file";
        if (code == DiskFull) return "Disk full";
        return "I/O error " + std::to_string(code);
    }
};

/// A file that cannot be read or written: the file and the system's reason,
/// shown as "<path>: <reason>".
class EFileError : public EKestError {
public:
    EFileError(const std::string& path, const std::string& reason)
        : EKestError(path + ": " + reason), Path(path), Reason(reason)
    {
    }
    const std::string Path;
    const std::string Reason;
};
