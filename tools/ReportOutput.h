#pragma once
// Where kestmap's reports go: standard output, or a stream in the tests.
// Text is handed on in blocks, and every block, the last flush and the close
// are checked, so that a full disk or a closed descriptor never passes in
// silence.
#include <cstddef>
#include <iosfwd>
#include <stdexcept>
#include <string>
#include <string_view>

/// A report could not be written; what() is "<what>: <reason>", for example
/// "standard output: No space left on device".
class EOutputError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TReportOutput {
public:
    /// what names the destination in an error ("standard output").
    explicit TReportOutput(std::string what);
    virtual ~TReportOutput() = default;
    TReportOutput(const TReportOutput&) = delete;
    TReportOutput& operator=(const TReportOutput&) = delete;

    /// Appends text; each full block is handed on at once. Raises EOutputError.
    void Write(std::string_view text);
    TReportOutput& operator<<(std::string_view text)
    {
        Write(text);
        return *this;
    }
    /// Hands on everything written so far. Raises EOutputError.
    void Flush();
    /// Flushes and closes the destination, raising EOutputError for what
    /// either meets. Nothing may be written after it.
    void Close();

    static constexpr std::size_t BlockSize = 64 * 1024;

protected:
    /// Writes all of the bytes or raises EOutputError (through Fail).
    virtual void Put(const char* data, std::size_t size) = 0;
    /// Whatever the destination needs at the end.
    virtual void Finish() {}
    [[noreturn]] void Fail(const std::string& reason) const;

private:
    std::string what_;
    std::string block_;
};

/// A file descriptor (standard output is 1), written with the system's own
/// calls so that a failure carries the system's reason; Close closes it.
class TFileReportOutput : public TReportOutput {
public:
    TFileReportOutput(int fd, std::string what) : TReportOutput(std::move(what)), fd_(fd) {}

protected:
    void Put(const char* data, std::size_t size) override;
    void Finish() override;

private:
    int fd_;
};

/// A C++ stream (the tests' in-process runs). It gives no reason of its own,
/// so a stream that goes bad fails with "write error".
class TStreamReportOutput : public TReportOutput {
public:
    TStreamReportOutput(std::ostream& out, std::string what) : TReportOutput(std::move(what)), out_(out) {}

protected:
    void Put(const char* data, std::size_t size) override;
    void Finish() override;

private:
    std::ostream& out_;
};
