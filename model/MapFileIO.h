#pragma once
// The byte streams of the map file: a buffered reader that knows how many
// bytes remain, and a buffered writer over a replaceable byte sink.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/FileWriter.h"

class TMap;

/// Reads a map file through a buffer. What it answers follows the one byte at
/// a time rules: a read that passes the end raises "Read beyond end of file".
class TMapReader {
public:
    /// Opens path for reading only. A path that cannot be opened, or that is not
    /// a regular file, raises EFileError("<path>: <reason>").
    explicit TMapReader(const std::string& path);
    /// Reads from memory; the bytes must outlive the reader.
    TMapReader(const std::uint8_t* data, std::size_t size);
    ~TMapReader();
    TMapReader(const TMapReader&) = delete;
    TMapReader& operator=(const TMapReader&) = delete;

    std::uint8_t ReadByte();
    /// Four bytes, least significant first, as two's complement; refuses nothing.
    std::int32_t ReadInt32();
    /// b0 + 256 b1 + 65536 b2.
    std::int32_t ReadInt24();
    /// b0 + 256 b1.
    std::int32_t ReadInt16();
    /// One byte 0..3; a byte of 4 or more raises "Range check error".
    std::uint8_t ReadKind();
    /// Up to size bytes into out, fewer only where the file ends (at the size
    /// it had when opened, or earlier where it shrank since); a large read goes
    /// straight from the file to out. A read the system fails raises EInOutError.
    std::size_t ReadBytes(std::uint8_t* out, std::size_t size);

    /// Bytes not yet read (of the size the file had when it was opened).
    std::int64_t Remaining() const { return size_ - consumed_; }
    std::int64_t Size() const { return size_; }
    /// Raises "Read beyond end of file" unless count records of recordSize bytes
    /// remain; lets a load refuse a lying count before it allocates anything.
    void RequireRecords(std::int64_t count, std::int64_t recordSize) const;
    /// While *stop is set, ReadBytes raises ELoadCancelled instead of reading.
    void SetStop(const std::atomic<bool>* stop) { stop_ = stop; }
    /// Closes the file early; later reads pass the end.
    void Close();

private:
    void Refill();

    int fd_ = -1;
    const std::uint8_t* memory_ = nullptr;
    std::vector<std::uint8_t> buffer_;
    std::size_t pos_ = 0;   // next byte in the current block
    std::size_t avail_ = 0; // bytes in the current block
    std::int64_t size_ = 0;
    std::int64_t consumed_ = 0;
    std::string path_;
    const std::atomic<bool>* stop_ = nullptr;
};

/// Collects bytes in memory.
class TMemorySink : public TByteSink {
public:
    void Put(const std::uint8_t* data, std::size_t size) override;
    std::vector<std::uint8_t> Bytes;
};

/// Writes the low-order bytes of each value, least significant first, through
/// a buffer, without any range test.
class TMapWriter {
public:
    explicit TMapWriter(TByteSink& sink);
    ~TMapWriter() = default;
    TMapWriter(const TMapWriter&) = delete;
    TMapWriter& operator=(const TMapWriter&) = delete;

    void WriteInt32(std::int32_t value);
    void WriteInt24(std::int32_t value);
    void WriteInt16(std::int32_t value);
    void WriteByte(std::uint8_t value);
    /// Hands everything buffered to the sink; raises its write error.
    void Flush();
    std::int64_t BytesWritten() const { return written_ + static_cast<std::int64_t>(used_); }

private:
    void Put(std::uint8_t byte)
    {
        if (used_ == buffer_.size()) Flush();
        buffer_[used_++] = byte;
    }

    TByteSink& sink_;
    std::size_t used_ = 0;
    std::int64_t written_ = 0;
    std::vector<std::uint8_t> buffer_;
};

/// The body of a load: border count and records, rail count and records, start
/// and finish, through the map's operations. Raises the error of a damaged
/// file, leaving exactly the elements read completely. Each kind's elements
/// replace those the map held; it does not normalise, and sets Modified only
/// where an operation or a record read does.
void ReadMapBody(TMap& map, TMapReader& in);
/// Writes the map as a map file.
void WriteMapBody(const TMap& map, TMapWriter& out);
/// The bytes of the map as a map file.
std::vector<std::uint8_t> MapToBytes(const TMap& map);
