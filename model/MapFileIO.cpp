#include "model/MapFileIO.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <span>
#include <type_traits>

#include "model/Errors.h"
#include "model/TMap.h"
#include "platform/SystemFiles.h"

namespace {

constexpr std::size_t BlockSize = 64 * 1024;

[[noreturn]] void RaiseReadBeyondEnd() { throw EInOutError(EInOutError::ReadBeyondEnd); }

} // namespace

TMapReader::TMapReader(const std::string& path) : path_(path)
{
    fd_ = OpenReadOnly(PathOf(path));
    if (fd_ < 0) {
        const int error = errno;
        throw EFileError(path, std::strerror(error));
    }
    TOpenFileStatus status;
    const bool stated = StatusOf(fd_, status);
    const int error = stated ? 0 : errno;
    size_ = status.Size;
    if (!stated || !status.Regular) {
        Close();
        if (!stated) throw EFileError(path, std::strerror(error));
        if (status.Directory) throw EFileError(path, std::strerror(EISDIR));
        throw EFileError(path, "not a regular file");
    }
    buffer_.resize(BlockSize);
}

TMapReader::TMapReader(const std::uint8_t* data, std::size_t size)
    : memory_(data), avail_(size), size_(static_cast<std::int64_t>(size))
{
}

TMapReader::~TMapReader() { Close(); }

void TMapReader::Close()
{
    if (fd_ >= 0) CloseFile(fd_);
    fd_ = -1;
    memory_ = nullptr;
    pos_ = avail_ = 0;
    size_ = consumed_;
}

void TMapReader::Refill()
{
    if (fd_ < 0 || Remaining() <= 0) RaiseReadBeyondEnd();
    long got;
    do {
        errno = 0;
        got = ReadSome(fd_, buffer_.data(), buffer_.size());
    } while (got < 0 && errno == EINTR);
    if (got < 0) throw EInOutError(errno);
    // A file that shrank since it was opened ends here.
    if (got == 0) RaiseReadBeyondEnd();
    pos_ = 0;
    avail_ = static_cast<std::size_t>(got);
}

std::uint8_t TMapReader::ReadByte()
{
    if (pos_ == avail_) Refill();
    // A file that grew since it was opened is read only up to its old size,
    // which the count checks relied on.
    if (consumed_ >= size_) RaiseReadBeyondEnd();
    ++consumed_;
    return memory_ ? memory_[pos_++] : buffer_[pos_++];
}

std::int32_t TMapReader::ReadInt32()
{
    std::uint32_t value = ReadByte();
    value |= static_cast<std::uint32_t>(ReadByte()) << 8;
    value |= static_cast<std::uint32_t>(ReadByte()) << 16;
    value |= static_cast<std::uint32_t>(ReadByte()) << 24;
    return static_cast<std::int32_t>(value);
}

std::int32_t TMapReader::ReadInt24()
{
    std::int32_t value = ReadByte();
    value += 256 * ReadByte();
    value += 65536 * ReadByte();
    return value;
}

std::int32_t TMapReader::ReadInt16()
{
    std::int32_t value = ReadByte();
    value += 256 * ReadByte();
    return value;
}

std::size_t TMapReader::ReadBytes(std::uint8_t* out, std::size_t size)
{
    if (stop_ && stop_->load(std::memory_order_relaxed)) throw ELoadCancelled();
    if (static_cast<std::int64_t>(size) > Remaining()) size = static_cast<std::size_t>(Remaining() > 0 ? Remaining() : 0);
    std::size_t done = 0;
    while (done < size) {
        if (pos_ < avail_) {
            const std::size_t part = std::min(avail_ - pos_, size - done);
            std::memcpy(out + done, (memory_ ? memory_ : buffer_.data()) + pos_, part);
            pos_ += part;
            done += part;
            consumed_ += static_cast<std::int64_t>(part);
            continue;
        }
        if (fd_ < 0) break;
        // What does not fit the buffer skips it.
        const bool direct = size - done >= buffer_.size();
        std::uint8_t* const target = direct ? out + done : buffer_.data();
        const std::size_t want = direct ? size - done : buffer_.size();
        long got;
        do {
            errno = 0;
            got = ReadSome(fd_, target, want);
        } while (got < 0 && errno == EINTR);
        if (got < 0) throw EInOutError(errno);
        if (got == 0) break;
        if (direct) {
            done += static_cast<std::size_t>(got);
            consumed_ += got;
        } else {
            pos_ = 0;
            avail_ = static_cast<std::size_t>(got);
        }
    }
    return done;
}

std::uint8_t TMapReader::ReadKind()
{
    const std::uint8_t kind = ReadByte();
    if (kind > bkArch) throw ERangeError();
    return kind;
}

void TMapReader::RequireRecords(std::int64_t count, std::int64_t recordSize) const
{
    if (count > 0 && count > Remaining() / recordSize) RaiseReadBeyondEnd();
}

void TMemorySink::Put(const std::uint8_t* data, std::size_t size) { Bytes.insert(Bytes.end(), data, data + size); }

TMapWriter::TMapWriter(TByteSink& sink) : sink_(sink), buffer_(BlockSize) {}

void TMapWriter::Flush()
{
    if (used_ == 0) return;
    const std::size_t size = used_;
    // Whatever the sink does, these bytes leave the buffer: a failed write is
    // not retried by a later flush.
    used_ = 0;
    sink_.Put(buffer_.data(), size);
    written_ += static_cast<std::int64_t>(size);
}

void TMapWriter::WriteInt32(std::int32_t value)
{
    const auto bits = static_cast<std::uint32_t>(value);
    for (int shift = 0; shift < 32; shift += 8) Put(static_cast<std::uint8_t>(bits >> shift));
}

void TMapWriter::WriteInt24(std::int32_t value)
{
    const auto bits = static_cast<std::uint32_t>(value);
    for (int shift = 0; shift < 24; shift += 8) Put(static_cast<std::uint8_t>(bits >> shift));
}

void TMapWriter::WriteInt16(std::int32_t value)
{
    const auto bits = static_cast<std::uint32_t>(value);
    Put(static_cast<std::uint8_t>(bits));
    Put(static_cast<std::uint8_t>(bits >> 8));
}

void TMapWriter::WriteByte(std::uint8_t value) { Put(value); }

void TBorder::ReadRecord(TMapReader& in)
{
    X1 = in.ReadInt16();
    Y1 = in.ReadInt16();
    X2 = in.ReadInt16();
    Y2 = in.ReadInt16();
    Color = static_cast<TColor>(in.ReadInt24());
    Kind = in.ReadKind();
}

void TBorder::WriteRecord(TMapWriter& out) const
{
    out.WriteInt16(X1);
    out.WriteInt16(Y1);
    out.WriteInt16(X2);
    out.WriteInt16(Y2);
    out.WriteInt24(static_cast<std::int32_t>(Color));
    out.WriteByte(Kind);
}

void TRail::ReadRecord(TMapReader& in)
{
    X1 = in.ReadInt16();
    Y1 = in.ReadInt16();
    X2 = in.ReadInt16();
    Y2 = in.ReadInt16();
    Selected = false;
    IsStart = false;
}

void TRail::WriteRecord(TMapWriter& out) const
{
    out.WriteInt16(X1);
    out.WriteInt16(Y1);
    out.WriteInt16(X2);
    out.WriteInt16(Y2);
}

namespace {

/// Where a record's 16-bit and 24-bit fields are.
std::int32_t Int16At(const std::uint8_t* p) { return p[0] | p[1] << 8; }
std::int32_t Int24At(const std::uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16; }

/// Decodes one record, as ReadRecord would read it; false for a border whose
/// kind is out of range.
bool Decode(const std::uint8_t* p, TRail& rail)
{
    rail.X1 = Int16At(p);
    rail.Y1 = Int16At(p + 2);
    rail.X2 = Int16At(p + 4);
    rail.Y2 = Int16At(p + 6);
    return true;
}

bool Decode(const std::uint8_t* p, TBorder& border)
{
    border.X1 = Int16At(p);
    border.Y1 = Int16At(p + 2);
    border.X2 = Int16At(p + 4);
    border.Y2 = Int16At(p + 6);
    border.Color = static_cast<TColor>(Int24At(p + 8));
    border.Kind = p[11];
    return border.Kind <= bkArch;
}

/// One section of the file: a count, then that many records of recordSize
/// bytes, read in order, so that the first damage met is the one reported.
/// Room is made only for what the bytes left can hold: a count that promises
/// more fails where the records run out, as a byte-by-byte read does. The
/// records are read a large block at a time and decoded straight into the
/// array the map then takes whole; after a damaged one the map holds those
/// read completely.
template <typename T>
void ReadRecords(TMap& map, TMapReader& in, std::int32_t recordSize)
{
    constexpr bool rails = std::is_same_v<T, TRail>;
    const std::int32_t count = in.ReadInt32();
    if (count < 0) throw ERangeError();
    const std::int64_t fit = in.Remaining() / recordSize;
    const auto held = static_cast<std::int32_t>(count < fit ? count : fit);
    if (held > 0) {
        // The map is changed from here on, as it would be by resizing it.
        map.Modified = true;
        std::vector<T> items;
        if constexpr (rails)
            items = map.RailStorage(held);
        else
            items = map.BorderStorage(held);
        AdviseLargeArray(items.data(), items.capacity() * sizeof(T));
        const auto adopt = [&map, &items] {
            if constexpr (rails)
                map.AdoptRails(std::move(items));
            else
                map.AdoptBorders(std::move(items));
        };
        // A block of whole records: large enough that each read is one call
        // of the system, small beside a large map.
        constexpr std::size_t BlockRecords = 65536;
        std::vector<std::uint8_t> block(std::min<std::size_t>(static_cast<std::size_t>(held), BlockRecords) *
                                        static_cast<std::size_t>(recordSize));
        // Whatever stops the read, the map keeps the records read completely.
        try {
            for (std::int32_t done = 0; done < held;) {
                const auto want = std::min<std::size_t>(static_cast<std::size_t>(held - done), BlockRecords);
                const std::size_t got = in.ReadBytes(block.data(), want * static_cast<std::size_t>(recordSize));
                const std::size_t whole = got / static_cast<std::size_t>(recordSize);
                for (std::size_t k = 0; k < whole; ++k) {
                    T element;
                    if (!Decode(block.data() + k * static_cast<std::size_t>(recordSize), element))
                        throw ERangeError();
                    items.push_back(element);
                }
                // A file that shrank since it was opened ends part-way.
                if (whole < want) throw EInOutError(EInOutError::ReadBeyondEnd);
                done += static_cast<std::int32_t>(whole);
            }
        } catch (...) {
            adopt();
            throw;
        }
        adopt();
    }
    if (held < count) {
        // The record the bytes cannot hold: reading it meets the end.
        T rest;
        rest.ReadRecord(in);
        throw EInOutError(EInOutError::ReadBeyondEnd);
    }
}

} // namespace

void ReadMapBody(TMap& map, TMapReader& in)
{
    // A lying count costs nothing: the arrays grow only to what the bytes
    // left can hold; after a damaged record they hold the elements read
    // completely.
    map.SetBorderCount(0);
    ReadRecords<TBorder>(map, in, 12);
    map.SetRailCount(0);
    ReadRecords<TRail>(map, in, 8);
    map.SetStartRail(in.ReadInt32());
    map.SetFinishRail(in.ReadInt32());
}

void WriteMapBody(const TMap& map, TMapWriter& out)
{
    out.WriteInt32(map.BorderCount());
    for (const TBorder& border : map.Borders()) border.WriteRecord(out);
    out.WriteInt32(map.RailCount());
    for (const TRail& rail : map.Rails()) rail.WriteRecord(out);
    out.WriteInt32(map.StartRail);
    out.WriteInt32(map.FinishRail);
    out.Flush();
}

std::vector<std::uint8_t> MapToBytes(const TMap& map)
{
    TMemorySink sink;
    TMapWriter out(sink);
    WriteMapBody(map, out);
    return sink.Bytes;
}
