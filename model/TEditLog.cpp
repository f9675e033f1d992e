#include "model/TEditLog.h"

#include <new>

TEditLog& TEditLog::operator=(const TEditLog& other)
{
    revision_ = (revision_ > other.revision_ ? revision_ : other.revision_) + 1;
    floor_ = revision_;
    entries_.clear();
    return *this;
}

TEditLog& TEditLog::operator=(TEditLog&& other) noexcept
{
    revision_ = (revision_ > other.revision_ ? revision_ : other.revision_) + 1;
    floor_ = revision_;
    entries_.clear();
    return *this;
}

void TEditLog::Keep(const TElementChange& change)
{
    // Writes to neighbouring elements with nothing between them fold into
    // one entry. A reader that had seen the older part meets it again, which
    // is harmless for a change (unlike an insertion or a removal).
    if ((change.Kind == TEditKind::Changed || change.Kind == TEditKind::Flagged) && !entries_.empty()) {
        TElementChange& last = entries_.back();
        const std::int64_t lastEnd = std::int64_t{last.First} + last.Count;
        const std::int64_t end = std::int64_t{change.First} + change.Count;
        if (last.Kind == change.Kind && last.IsRail == change.IsRail && change.First <= lastEnd && end >= last.First) {
            const std::int32_t from = change.First < last.First ? change.First : last.First;
            last.Count = static_cast<std::int32_t>((end > lastEnd ? end : lastEnd) - from);
            last.First = from;
            last.Revision = change.Revision;
            last.Area.Take(change.Area);
            return;
        }
    }
    try {
        if (!entries_.empty() && entries_.size() >= Capacity) {
            const std::size_t dropped = entries_.size() - entries_.size() / 2;
            floor_ = entries_[dropped - 1].Revision;
            entries_.erase(entries_.begin(), entries_.begin() + static_cast<std::ptrdiff_t>(dropped));
        }
        entries_.push_back(change);
    } catch (const std::bad_alloc&) {
        // Out of memory the journal gives up its past, never the edit.
        entries_.clear();
        floor_ = change.Revision;
    }
}

void TEditLog::Restart()
{
    ++revision_;
    floor_ = revision_;
    entries_.clear();
}
