#include "tools/ReportOutput.h"

#include <cerrno>
#include <cstring>
#include <ostream>
#include <utility>

#include "platform/SystemFiles.h"

TReportOutput::TReportOutput(std::string what) : what_(std::move(what)) {}

void TReportOutput::Fail(const std::string& reason) const { throw EOutputError(what_ + ": " + reason); }

void TReportOutput::Write(std::string_view text)
{
    block_.append(text);
    if (block_.size() >= BlockSize) Flush();
}

void TReportOutput::Flush()
{
    if (block_.empty()) return;
    // A block that failed is not tried again by a later flush.
    std::string block;
    block.swap(block_);
    Put(block.data(), block.size());
    block.clear();
    block_.swap(block);
}

void TReportOutput::Close()
{
    Flush();
    Finish();
}

void TFileReportOutput::Put(const char* data, std::size_t size)
{
    // A full disk may take part of a block before it refuses the rest.
    while (size > 0) {
        const long written = WriteSome(fd_, data, size);
        if (written < 0 && errno == EINTR) continue;
        if (written < 0) Fail(std::strerror(errno));
        if (written == 0) Fail(std::strerror(ENOSPC));
        data += written;
        size -= static_cast<std::size_t>(written);
    }
}

void TFileReportOutput::Finish()
{
    // Some file systems report a failed write only at the close.
    const int fd = fd_;
    fd_ = -1;
    if (fd >= 0 && CloseFile(fd) != 0) Fail(std::strerror(errno));
}

void TStreamReportOutput::Put(const char* data, std::size_t size)
{
    out_.write(data, static_cast<std::streamsize>(size));
    if (!out_) Fail("write error");
}

void TStreamReportOutput::Finish()
{
    out_.flush();
    if (!out_) Fail("write error");
}
