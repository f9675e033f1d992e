#include "model/TMap.h"

#include <algorithm>
#include <atomic>
#include <iterator>
#include <new>
#include <optional>
#include <stdexcept>
#include <type_traits>

#include "model/Checked.h"
#include "model/Errors.h"

using Checked::Add;
using Checked::Sub;

// Lists of maps may hold them by value; moving must not fall back to copying.
static_assert(std::is_nothrow_move_constructible_v<TMap>);

namespace {

std::atomic<std::uint64_t> NextMapId{1};

template <typename T>
bool IsValidIndex(const std::vector<T>& items, std::int32_t index)
{
    return index >= 0 && static_cast<std::size_t>(index) < items.size();
}

/// The rule by which an index into an array follows the deletion of slot `deleted`.
void FollowDeletion(std::int32_t& index, std::int32_t deleted)
{
    if (index == deleted)
        index = -1;
    else if (index > deleted)
        --index;
}

template <typename T>
void ResizeExactly(std::vector<T>& items, std::int32_t n)
{
    if (n < 0) throw ERangeError();
    try {
        items.resize(static_cast<std::size_t>(n));
    } catch (const std::bad_alloc&) {
        throw EOutOfMemory();
    } catch (const std::length_error&) {
        throw EOutOfMemory();
    }
}

/// Room for n elements and some to spare, so that the first elements drawn
/// on a large map that was just read need no copy of the whole array (a
/// second of page faults at ten million). Exactly n when the spare room
/// cannot be had.
template <typename T>
void ReserveWithRoom(std::vector<T>& items, std::size_t n)
{
    if (items.capacity() >= n) return;
    try {
        items.reserve(n + n / 16 + 64);
    } catch (const std::bad_alloc&) {
        items.reserve(n);
    } catch (const std::length_error&) {
        items.reserve(n);
    }
}

/// Ascending runs (first, count) of removed indices, built one index at a time.
using TRuns = std::vector<std::pair<std::int32_t, std::int32_t>>;

void AddToRuns(TRuns& runs, std::int32_t index)
{
    if (!runs.empty() && runs.back().first + runs.back().second == index)
        ++runs.back().second;
    else
        runs.emplace_back(index, 1);
}

/// Removes the elements for which doomed() holds, keeping the order of the
/// rest, and rewrites each index in `indices` exactly as deleting the doomed
/// elements one at a time would. Returns whether anything was removed; runs
/// receives the removed indices.
template <typename T, typename Pred, std::size_t N>
bool RemoveWhere(std::vector<T>& items, std::vector<TRailLinks>* links, Pred doomed,
                 std::int32_t* const (&indices)[N], std::vector<std::pair<std::int32_t, TRecordOf<T>>>* removedOut,
                 TRuns& runs, TEditArea& area)
{
    const std::size_t count = items.size();
    std::size_t first = 0;
    while (first < count && !doomed(items[first])) ++first;
    if (first == count) return false;

    // newIndex[k]: where element k ends up, or -1 when it goes.
    std::vector<std::int32_t> newIndex(count, -1);
    std::size_t kept = 0;
    for (std::size_t k = 0; k < count; ++k) {
        if (k >= first && doomed(items[k])) {
            if (removedOut) {
                if constexpr (std::is_same_v<T, TRail>)
                    removedOut->emplace_back(static_cast<std::int32_t>(k),
                                             TLinkedRail{items[k], links ? (*links)[k] : TRailLinks{}});
                else
                    removedOut->emplace_back(static_cast<std::int32_t>(k), items[k]);
            }
            AddToRuns(runs, static_cast<std::int32_t>(k));
            area.Take(items[k]);
            continue;
        }
        newIndex[k] = static_cast<std::int32_t>(kept);
        if (kept != k) {
            items[kept] = items[k];
            if (links) (*links)[kept] = (*links)[k];
        }
        ++kept;
    }
    const auto removed = static_cast<std::int32_t>(count - kept);
    items.resize(kept);
    if (links) links->resize(kept);
    for (std::int32_t* index : indices) {
        if (*index < 0) continue;
        // An index beyond the array is lowered by every deletion below it.
        *index = static_cast<std::size_t>(*index) < count ? newIndex[static_cast<std::size_t>(*index)]
                                                          : *index - removed;
    }
    return true;
}

bool OutsideWorld(const TLine& line)
{
    const auto out = [](std::int32_t v) { return v < 0 || v > WorldSize; };
    return out(line.X1) || out(line.Y1) || out(line.X2) || out(line.Y2);
}

} // namespace

TMap::TIdentity::TIdentity() noexcept : Value(NextMapId.fetch_add(1, std::memory_order_relaxed)) {}

TMap::TMap()
{
    SetBorderCount(0);
    SetRailCount(0);
}

template <class T>
void TMap::NoteRemovedRuns(const std::vector<std::pair<std::int32_t, std::int32_t>>& runs, const TEditArea& area)
{
    // More runs than the journal keeps: saying so once is cheaper than
    // noting them all for nothing.
    if (runs.size() >= TEditLog::Capacity) {
        edits_.Restart();
        return;
    }
    for (auto run = runs.rbegin(); run != runs.rend(); ++run)
        NoteEdit<T>(TEditKind::Removed, run->first, run->second, area);
}

template <class T, class R>
void TMap::NoteListed(TEditKind kind, const std::vector<std::pair<std::int32_t, R>>& listed)
{
    // Added ascending, each at its final index: every earlier one is in place
    // by then. Removed descending: every later one has gone without moving it.
    std::int32_t first = 0, count = 0;
    TEditArea area;
    const auto take = [&](std::int32_t index, const R& value) {
        const bool joins = kind == TEditKind::Added ? index == first + count : index == first - 1;
        if (count > 0 && joins) {
            if (kind != TEditKind::Added) --first;
            ++count;
            area.Take(value);
            return;
        }
        if (count > 0) NoteEdit<T>(kind, first, count, area);
        first = index;
        count = 1;
        area = TEditArea();
        area.Take(value);
    };
    if (kind == TEditKind::Added)
        for (const auto& entry : listed) take(entry.first, entry.second);
    else
        for (auto entry = listed.rbegin(); entry != listed.rend(); ++entry) take(entry->first, entry->second);
    if (count > 0) NoteEdit<T>(kind, first, count, area);
}

void TMap::AllocateLinks()
{
    if (links_.size() == rails_.size()) return;
    try {
        links_.resize(rails_.size());
    } catch (const std::bad_alloc&) {
        throw EOutOfMemory();
    } catch (const std::length_error&) {
        throw EOutOfMemory();
    }
}

template <class T>
TRecordOf<T> TMap::RecordAt(const std::vector<T>& items, std::size_t index) const
{
    if constexpr (std::is_same_v<T, TRail>)
        return TLinkedRail{items[index], links_.empty() ? TRailLinks{} : links_[index]};
    else
        return items[index];
}

// The primitives. Each records its change into the open step, or, with no
// step open, drops the history before changing anything.

template <class T>
TJournal<TRecordOf<T>>& TMap::JournalOf(std::vector<T>& items)
{
    if constexpr (std::is_same_v<T, TRail>) {
        (void)items;
        return history_.OpenStep().Rails;
    } else {
        return history_.OpenStep().Borders;
    }
}

void TMap::NoteUnrecorded()
{
    if (!applying_ && !history_.IsOpen() && (!history_.Steps().empty() || history_.CleanPosition() >= 0))
        history_.Clear();
}

namespace {

/// Runs record, dropping the history instead when memory runs out: the edit
/// itself must still happen.
template <class F>
void Record(TMapHistory& history, F record)
{
    try {
        record();
    } catch (const std::bad_alloc&) {
        history.Fail();
    } catch (const std::length_error&) {
        history.Fail();
    }
}

} // namespace

template <class T>
void TMap::PutElement(std::vector<T>& items, std::int32_t index, const T& value, TNoteBatch* batch)
{
    if (!IsValidIndex(items, index)) throw ERangeError();
    if constexpr (std::is_same_v<T, TRail>)
        PutRecord(items, index, TLinkedRail{value, RailLinks(index)}, batch);
    else
        PutRecord(items, index, value, batch);
}

template <class T>
void TMap::PutRecord(std::vector<T>& items, std::int32_t index, const TRecordOf<T>& value, TNoteBatch* batch)
{
    if (!IsValidIndex(items, index)) throw ERangeError();
    const auto at = static_cast<std::size_t>(index);
    const TRecordOf<T> before = RecordAt(items, at);
    if (SameElement(before, value)) return;
    if constexpr (std::is_same_v<T, TRail>)
        if (links_.empty() && !(value.Links == TRailLinks{})) AllocateLinks();
    if (!applying_) {
        if (history_.IsRecording())
            Record(history_, [&] { JournalOf(items).NotePut(index, before, value); });
        else
            NoteUnrecorded();
    }
    TEditArea area;
    area.Take(before);
    area.Take(value);
    items[at] = value;
    if constexpr (std::is_same_v<T, TRail>)
        if (!links_.empty()) links_[at] = value.Links;
    if (batch)
        batch->Take(index, area);
    else
        NoteEdit<T>(TEditKind::Changed, index, 1, area);
}

template <class T>
void TMap::InsertElement(std::vector<T>& items, std::int32_t index, const TRecordOf<T>& value)
{
    if (index < 0 || static_cast<std::size_t>(index) > items.size()) throw ERangeError();
    if (!applying_ && !history_.IsRecording()) NoteUnrecorded();
    if constexpr (std::is_same_v<T, TRail>) {
        // An empty map's links are empty either way: test the value, not links_.
        const bool withLinks = !links_.empty() || !(value.Links == TRailLinks{});
        if (withLinks) {
            AllocateLinks();
            links_.insert(links_.begin() + index, value.Links);
        }
        try {
            items.insert(items.begin() + index, value);
        } catch (...) {
            if (withLinks) links_.erase(links_.begin() + index);
            throw;
        }
    } else {
        items.insert(items.begin() + index, value);
    }
    TEditArea area;
    area.Take(value);
    NoteEdit<T>(TEditKind::Added, index, 1, area);
    if (!applying_ && history_.IsRecording()) Record(history_, [&] { JournalOf(items).NoteInsert(index, value); });
}

template <class T>
void TMap::EraseElement(std::vector<T>& items, std::int32_t index)
{
    if (!IsValidIndex(items, index)) throw ERangeError();
    const TRecordOf<T> gone = RecordAt(items, static_cast<std::size_t>(index));
    if (!applying_ && !history_.IsRecording()) NoteUnrecorded();
    items.erase(items.begin() + index);
    if constexpr (std::is_same_v<T, TRail>)
        if (!links_.empty()) links_.erase(links_.begin() + index);
    TEditArea area;
    area.Take(gone);
    NoteEdit<T>(TEditKind::Removed, index, 1, area);
    if (!applying_ && history_.IsRecording())
        Record(history_, [&] { JournalOf(items).NoteErase({{index, gone}}); });
}

template <class T>
void TMap::EraseListed(std::vector<T>& items, const std::vector<std::pair<std::int32_t, TRecordOf<T>>>& listed)
{
    if (listed.empty()) return;
    std::vector<TRailLinks>* links = nullptr;
    if constexpr (std::is_same_v<T, TRail>)
        if (!links_.empty()) links = &links_;
    std::size_t next = 0;
    std::size_t kept = static_cast<std::size_t>(listed.front().first);
    for (std::size_t k = kept; k < items.size(); ++k) {
        if (next < listed.size() && static_cast<std::size_t>(listed[next].first) == k) {
            ++next;
            continue;
        }
        if (links) (*links)[kept] = (*links)[k];
        items[kept++] = items[k];
    }
    if (next != listed.size()) throw ERangeError();
    items.resize(kept);
    if (links) links->resize(kept);
    NoteListed<T>(TEditKind::Removed, listed);
}

template <class T>
void TMap::ReinsertListed(std::vector<T>& items, const std::vector<std::pair<std::int32_t, TRecordOf<T>>>& listed)
{
    if (listed.empty()) return;
    const std::size_t oldSize = items.size();
    const std::size_t newSize = oldSize + listed.size();
    if (static_cast<std::size_t>(listed.back().first) >= newSize) throw ERangeError();
    std::vector<TRailLinks>* links = nullptr;
    // Both arrays grow before anything moves: memory running out on either
    // leaves them as they were, of one length.
    ResizeExactly(items, static_cast<std::int32_t>(newSize));
    if constexpr (std::is_same_v<T, TRail>) {
        bool withLinks = !links_.empty();
        for (std::size_t k = 0; k < listed.size() && !withLinks; ++k)
            withLinks = !(listed[k].second.Links == TRailLinks{});
        if (withLinks) {
            try {
                AllocateLinks();
            } catch (...) {
                items.resize(oldSize);
                throw;
            }
            links = &links_;
        }
    }
    // From the back, so every element moves once and nothing is overwritten early.
    std::size_t from = oldSize;
    std::size_t next = listed.size();
    for (std::size_t k = newSize; k-- > 0;) {
        if (next > 0 && static_cast<std::size_t>(listed[next - 1].first) == k) {
            const auto& value = listed[--next].second;
            items[k] = value;
            if constexpr (std::is_same_v<T, TRail>)
                if (links) (*links)[k] = value.Links;
            if (next == 0) break; // the rest stays where it is
        } else {
            items[k] = items[--from];
            if (links) (*links)[k] = (*links)[from];
        }
    }
    NoteListed<T>(TEditKind::Added, listed);
}

template <class T>
void TMap::ResizeElements(std::vector<T>& items, std::int32_t n)
{
    if (n < 0) throw ERangeError();
    const auto old = static_cast<std::int32_t>(items.size());
    if (n == old) return;
    if (applying_ || !history_.IsRecording()) {
        NoteUnrecorded();
        TEditArea area;
        if (n > old)
            area.Take(T{});
        else
            for (std::int32_t k = n; k < old; ++k) area.Take(items[static_cast<std::size_t>(k)]);
        ResizeExactly(items, n);
        // No rails left, no links kept: a reload must not hold the last check's.
        if constexpr (std::is_same_v<T, TRail>) {
            if (n == 0)
                links_ = std::vector<TRailLinks>();
            else if (!links_.empty())
                ResizeExactly(links_, n);
        }
        if (n > old)
            NoteEdit<T>(TEditKind::Added, old, n - old, area);
        else
            NoteEdit<T>(TEditKind::Removed, n, old - n, area);
        return;
    }
    for (std::int32_t k = old; k < n; ++k) InsertElement(items, k, TRecordOf<T>{});
    for (std::int32_t k = old; k-- > n;) EraseElement(items, k);
}

template <class T, class Pred, std::size_t N>
bool TMap::EraseWhere(std::vector<T>& items, Pred doomed, std::int32_t* const (&indices)[N])
{
    const bool recording = !applying_ && history_.IsRecording();
    TRuns runs;
    TEditArea area;
    std::vector<TRailLinks>* links = nullptr;
    if constexpr (std::is_same_v<T, TRail>)
        if (!links_.empty()) links = &links_;
    if (!recording) {
        const bool removed =
            RemoveWhere(items, links, doomed, indices,
                        static_cast<std::vector<std::pair<std::int32_t, TRecordOf<T>>>*>(nullptr), runs, area);
        if (removed) NoteUnrecorded();
        NoteRemovedRuns<T>(runs, area);
        return removed;
    }
    std::vector<std::pair<std::int32_t, TRecordOf<T>>> removed;
    if (!RemoveWhere(items, links, doomed, indices, &removed, runs, area)) return false;
    NoteRemovedRuns<T>(runs, area);
    Record(history_, [&] { JournalOf(items).NoteErase(std::move(removed)); });
    return true;
}

template <class T>
void TMap::AppendElements(std::vector<T>& items, std::span<const T> values)
{
    if (values.empty()) return;
    const std::size_t old = items.size();
    if (values.size() > static_cast<std::size_t>(INT32_MAX) - old) throw ERangeError();
    const bool recording = !applying_ && history_.IsRecording();
    if (!recording) NoteUnrecorded();
    try {
        if constexpr (std::is_same_v<T, TRail>)
            if (!links_.empty()) {
                ReserveWithRoom(links_, old + values.size());
                links_.resize(old + values.size());
            }
        try {
            ReserveWithRoom(items, old + values.size());
            items.insert(items.end(), values.begin(), values.end());
        } catch (...) {
            if constexpr (std::is_same_v<T, TRail>)
                if (!links_.empty()) links_.resize(old);
            throw;
        }
    } catch (const std::bad_alloc&) {
        throw EOutOfMemory();
    } catch (const std::length_error&) {
        throw EOutOfMemory();
    }
    const auto first = static_cast<std::int32_t>(old);
    TEditArea area;
    for (const T& value : values) area.Take(value);
    NoteEdit<T>(TEditKind::Added, first, static_cast<std::int32_t>(values.size()), area);
    if (recording)
        Record(history_, [&] {
            for (std::size_t k = 0; k < values.size(); ++k) {
                if constexpr (std::is_same_v<T, TRail>)
                    JournalOf(items).NoteInsert(first + static_cast<std::int32_t>(k), TLinkedRail{values[k], {}});
                else
                    JournalOf(items).NoteInsert(first + static_cast<std::int32_t>(k), values[k]);
            }
        });
    Touch();
}

template <class T>
void TMap::AdoptElements(std::vector<T>& items, std::vector<T>&& values)
{
    if (values.empty()) return;
    if (!items.empty() || (!applying_ && history_.IsRecording())) {
        AppendElements(items, std::span<const T>(values));
        values.clear();
        return;
    }
    NoteUnrecorded();
    TEditArea area;
    for (const T& value : values) area.Take(value);
    const auto count = static_cast<std::int32_t>(values.size());
    items.swap(values);
    // What the map held before is empty; its storage goes with the caller's.
    values = std::vector<T>();
    NoteEdit<T>(TEditKind::Added, 0, count, area);
    Touch();
}

template <class T>
std::vector<T> TMap::ReleaseElements(std::vector<T>& items)
{
    std::vector<T> released;
    if (items.empty()) return released;
    NoteUnrecorded();
    ClearHistory();
    const auto count = static_cast<std::int32_t>(items.size());
    released.swap(items);
    if constexpr (std::is_same_v<T, TRail>) {
        StartRail = FinishRail = SelRail = -1;
        links_ = std::vector<TRailLinks>();
    } else
        SelBorder = -1;
    NoteEdit<T>(TEditKind::Removed, 0, count, TEditArea::All());
    Modified = true;
    Touch();
    return released;
}

template <class T>
std::vector<T> TMap::StorageFor(std::vector<T>& items, std::int32_t n)
{
    std::vector<T> storage;
    if (items.empty()) storage.swap(items);
    if constexpr (std::is_same_v<T, TRail>)
        if (items.empty()) links_ = std::vector<TRailLinks>();
    try {
        ReserveWithRoom(storage, static_cast<std::size_t>(n > 0 ? n : 0));
    } catch (const std::bad_alloc&) {
        throw EOutOfMemory();
    } catch (const std::length_error&) {
        throw EOutOfMemory();
    }
    return storage;
}

template <class T>
void TMap::FlagSelected(std::vector<T>& items, std::int32_t index, bool selected, TNoteBatch* batch)
{
    if (!IsValidIndex(items, index)) return;
    T& item = items[static_cast<std::size_t>(index)];
    if (item.Selected == selected) return;
    item.Selected = selected;
    TEditArea area;
    area.Take(item);
    if (batch)
        batch->Take(index, area);
    else
        NoteEdit<T>(TEditKind::Flagged, index, 1, area);
}

template <class T>
void TMap::MoveSelection(std::vector<T>& items, std::int32_t& mark, std::int32_t index)
{
    FlagSelected(items, mark, false);
    mark = index;
    FlagSelected(items, index, true);
    Touch();
}

void TMap::MoveRailMark(std::int32_t& mark, std::int32_t index, bool TRail::*flag)
{
    if (IsValidIndex(rails_, mark)) {
        TRail rail = rails_[static_cast<std::size_t>(mark)];
        rail.*flag = false;
        PutElement(rails_, mark, rail);
    }
    mark = index;
    if (IsValidIndex(rails_, index)) {
        TRail rail = rails_[static_cast<std::size_t>(index)];
        rail.*flag = true;
        PutElement(rails_, index, rail);
    }
}

// The operations.

template <class T>
void TMap::SetCount(std::vector<T>& items, std::int32_t n)
{
    if (n < 0) throw ERangeError();
    if (static_cast<std::size_t>(n) == items.size()) return;
    ResizeElements(items, n);
    Modified = true;
    Touch();
}

void TMap::SetRailCount(std::int32_t n) { SetCount(rails_, n); }

void TMap::SetBorderCount(std::int32_t n) { SetCount(borders_, n); }

void TMap::AppendRails(std::span<const TRail> rails) { AppendElements(rails_, rails); }

void TMap::AppendBorders(std::span<const TBorder> borders) { AppendElements(borders_, borders); }

std::vector<TRail> TMap::ReleaseRails() { return ReleaseElements(rails_); }

std::vector<TBorder> TMap::ReleaseBorders() { return ReleaseElements(borders_); }

void TMap::AdoptRails(std::vector<TRail>&& rails) { AdoptElements(rails_, std::move(rails)); }

void TMap::AdoptBorders(std::vector<TBorder>&& borders) { AdoptElements(borders_, std::move(borders)); }

void TMap::AdoptElementsOf(TMap& from)
{
    const bool wasEmpty = borders_.empty() && rails_.empty();
    const bool gridsCurrent = from.index_.Id == from.Id() && from.index_.Revision == from.Revision();
    const bool tidy = from.tidyRevision_ && *from.tidyRevision_ == from.Revision();
    TMapIndex grids;
    if (gridsCurrent) std::swap(grids, from.index_);
    from.index_.Id = 0;
    AdoptBorders(from.ReleaseBorders());
    AdoptRails(from.ReleaseRails());
    // Into an empty map, whether taken whole or copied, the elements keep
    // from's indexes: what was worked out over them holds here too.
    if (!wasEmpty) return;
    if (gridsCurrent) {
        grids.Builds += index_.Builds;
        index_ = std::move(grids);
        index_.Id = Id();
        index_.Revision = Revision();
    }
    if (tidy) tidyRevision_ = Revision();
}

std::vector<TRail> TMap::RailStorage(std::int32_t n) { return StorageFor(rails_, n); }

std::vector<TBorder> TMap::BorderStorage(std::int32_t n) { return StorageFor(borders_, n); }

void TMap::ReserveElements(std::int32_t borders, std::int32_t rails)
{
    try {
        if (borders > 0) ReserveWithRoom(borders_, static_cast<std::size_t>(borders));
        if (rails > 0) ReserveWithRoom(rails_, static_cast<std::size_t>(rails));
    } catch (const std::bad_alloc&) {
        throw EOutOfMemory();
    } catch (const std::length_error&) {
        throw EOutOfMemory();
    }
}

void TMap::SetRail(std::int32_t index, const TRail& rail)
{
    PutElement(rails_, index, rail);
    Touch();
}

void TMap::SetRailLinks(std::int32_t index, const TRailLinks& links)
{
    if (!IsValidIndex(rails_, index)) throw ERangeError();
    PutRecord(rails_, index, TLinkedRail{rails_[static_cast<std::size_t>(index)], links});
    Touch();
}

void TMap::SetBorder(std::int32_t index, const TBorder& border)
{
    PutElement(borders_, index, border);
    Touch();
}

template <class T>
void TMap::AddElement(std::vector<T>& items, std::int32_t x, std::int32_t y, T element)
{
    const bool wasModified = Modified;
    // The zeroed element and its half-written values are never shown: the
    // journal's areas give only where the element ends up, not the world
    // origin, so that pictures redraw only around it.
    struct TUnseen {
        bool& Flag;
        explicit TUnseen(bool& flag) : Flag(flag) { Flag = true; }
        ~TUnseen() { Flag = false; }
    };
    std::optional<TUnseen> unseen(std::in_place, unseenAreas_);
    SetCount(items, Add(static_cast<std::int32_t>(items.size()), 1));
    const auto last = static_cast<std::int32_t>(items.size() - 1);
    TPoint p;
    try {
        p = SnapWorldPoint(x, y);
    } catch (...) {
        unseen.reset();
        // No zeroed element is left behind at the world origin.
        EraseElement(items, last);
        Modified = wasModified;
        Touch();
        throw;
    }
    // The first end is written a coordinate at a time: an overflow in the
    // second leaves the first in place.
    T placed{};
    placed.X1 = p.x;
    PutElement(items, last, placed);
    element.X1 = placed.X1;
    element.Y1 = p.y;
    PutElement(items, last, element);
    unseen.reset();
    TEditArea area;
    area.Take(element);
    edits_.WidenLast(area);
    if constexpr (std::is_same_v<T, TRail>)
        SelectRail(last);
    else
        SelectBorder(last);
    Modified = true;
    Touch();
}

void TMap::AddRail(std::int32_t x, std::int32_t y, std::int32_t x2, std::int32_t y2)
{
    TRail rail{};
    rail.X2 = x2;
    rail.Y2 = y2;
    AddElement(rails_, x, y, rail);
}

void TMap::LayRails(std::span<const TRail> rails)
{
    if (rails.empty()) return;
    std::vector<TRail> plain(rails.size());
    for (std::size_t k = 0; k < rails.size(); ++k) {
        plain[k].X1 = rails[k].X1;
        plain[k].Y1 = rails[k].Y1;
        plain[k].X2 = rails[k].X2;
        plain[k].Y2 = rails[k].Y2;
    }
    AppendElements(rails_, std::span<const TRail>(plain));
    Modified = true;
}

void TMap::AddBorder(std::int32_t x, std::int32_t y, std::int32_t x2, std::int32_t y2, TColor color,
                     std::uint8_t kind)
{
    // A kind outside 0..3 would break the invariant every reader of Kind relies on.
    if (kind > bkArch) throw ERangeError();
    TBorder border{};
    border.X2 = x2;
    border.Y2 = y2;
    border.Color = color;
    border.Kind = kind;
    AddElement(borders_, x, y, border);
}

void TMap::DeleteRail(std::int32_t index)
{
    if (!IsValidIndex(rails_, index)) return;
    EraseElement(rails_, index);
    Modified = true;
    FollowDeletion(StartRail, index);
    FollowDeletion(FinishRail, index);
    const bool lost = SelRail == index;
    FollowDeletion(SelRail, index);
    FollowSelectionMarks(lost, false);
    Touch();
}

void TMap::DeleteBorder(std::int32_t index)
{
    if (!IsValidIndex(borders_, index)) return;
    EraseElement(borders_, index);
    Modified = true;
    const bool lost = SelBorder == index;
    FollowDeletion(SelBorder, index);
    FollowSelectionMarks(false, lost);
    Touch();
}

void TMap::DeleteAll()
{
    ClearHistory();
    if (history_.IsRecording()) {
        while (BorderCount() > 0) DeleteBorder(BorderCount() - 1);
        while (RailCount() > 0) DeleteRail(RailCount() - 1);
        return;
    }
    ClearElements(borders_);
    ClearElements(rails_);
}

template <class T>
void TMap::ClearElements(std::vector<T>& items)
{
    if (items.empty()) return;
    const auto count = static_cast<std::int32_t>(items.size());
    NoteUnrecorded();
    items.clear();
    // Each deletion from the end makes a mark on it -1 and lowers one beyond it.
    const auto follow = [count](std::int32_t& mark) {
        if (mark >= count)
            mark -= count;
        else if (mark >= 0)
            mark = -1;
    };
    if constexpr (std::is_same_v<T, TRail>) {
        // No rails left, no links kept: a reload must not hold the last check's.
        links_ = std::vector<TRailLinks>();
        follow(StartRail);
        follow(FinishRail);
        follow(SelRail);
    } else {
        follow(SelBorder);
    }
    NoteEdit<T>(TEditKind::Removed, 0, count, TEditArea::All());
    Modified = true;
    Touch();
}

void TMap::ReverseRail(std::int32_t index)
{
    if (!IsValidIndex(rails_, index)) return;
    TRail rail = rails_[static_cast<std::size_t>(index)];
    std::swap(rail.X1, rail.X2);
    std::swap(rail.Y1, rail.Y2);
    PutElement(rails_, index, rail);
    Modified = true;
    Touch();
}

void TMap::CycleBorderKind(std::int32_t index)
{
    if (!IsValidIndex(borders_, index)) return;
    TBorder border = borders_[static_cast<std::size_t>(index)];
    border.Kind = static_cast<std::uint8_t>((border.Kind + 1) % 4);
    PutElement(borders_, index, border);
    Modified = true;
    Touch();
}

void TMap::SetBorderColor(std::int32_t index, TColor color)
{
    if (!IsValidIndex(borders_, index)) return;
    TBorder border = borders_[static_cast<std::size_t>(index)];
    border.Color = color;
    PutElement(borders_, index, border);
    Modified = true;
    Touch();
}

TColor TMap::GetBorderColor(std::int32_t index) const
{
    return IsValidIndex(borders_, index) ? borders_[static_cast<std::size_t>(index)].Color : clWhite;
}

void TMap::SetStartRail(std::int32_t index)
{
    if (index >= 0 && index == FinishRail) return;
    if (index != StartRail) {
        Modified = true;
        // A mark that names no rail changes no element.
        if (!history_.IsRecording()) NoteUnrecorded();
    }
    MoveRailMark(StartRail, index, &TRail::IsStart);
    Touch();
}

void TMap::SetFinishRail(std::int32_t index)
{
    if (index >= 0 && index == StartRail) return;
    if (index != FinishRail) {
        Modified = true;
        if (!history_.IsRecording()) NoteUnrecorded();
    }
    MoveRailMark(FinishRail, index, &TRail::IsFinish);
    Touch();
}

void TMap::SelectRail(std::int32_t index)
{
    if (many_) EndManySelected();
    MoveSelection(rails_, SelRail, index);
}

void TMap::SelectBorder(std::int32_t index)
{
    if (many_) EndManySelected();
    MoveSelection(borders_, SelBorder, index);
}

void TMap::DeleteSelected()
{
    if (!many_) {
        DeleteRail(SelRail);
        DeleteBorder(SelBorder);
        return;
    }
    // One pass each; the start and finish follow as deleting one at a time would.
    std::int32_t* const railIndices[] = {&StartRail, &FinishRail};
    const bool railsGone = EraseWhere(rails_, [](const TRail& r) { return r.Selected; }, railIndices);
    std::int32_t* const borderIndices[] = {&SelBorder};
    const bool bordersGone = EraseWhere(borders_, [](const TBorder& b) { return b.Selected; }, borderIndices);
    SelRail = -1;
    SelBorder = -1;
    many_ = false;
    if (railsGone || bordersGone) Modified = true;
    Touch();
}

bool DoomedRail(const TRail& r) { return OutsideWorld(r) || r.Length() < ShortestRail; }

namespace {

bool DoomedBorder(const TBorder& b) { return OutsideWorld(b); }

/// The indices of now of the elements of one kind added or changed by the
/// journal entries replayed into it, ascending.
class TTouched {
public:
    void Follow(const TElementChange& change)
    {
        const auto from = std::lower_bound(indices_.begin(), indices_.end(), change.First);
        switch (change.Kind) {
        case TEditKind::Added:
            for (auto k = from; k != indices_.end(); ++k) *k += change.Count;
            Insert(change.First, change.Count);
            break;
        case TEditKind::Removed: {
            const auto to = std::lower_bound(from, indices_.end(), change.First + change.Count);
            for (auto k = to; k != indices_.end(); ++k) *k -= change.Count;
            indices_.erase(from, to);
            break;
        }
        case TEditKind::Changed: Insert(change.First, change.Count); break;
        case TEditKind::Flagged: break;
        }
    }
    const std::vector<std::int32_t>& Indices() const { return indices_; }

private:
    void Insert(std::int32_t first, std::int32_t count)
    {
        std::vector<std::int32_t> range(static_cast<std::size_t>(count));
        for (std::int32_t k = 0; k < count; ++k) range[static_cast<std::size_t>(k)] = first + k;
        std::vector<std::int32_t> merged;
        merged.reserve(indices_.size() + range.size());
        std::set_union(indices_.begin(), indices_.end(), range.begin(), range.end(), std::back_inserter(merged));
        indices_ = std::move(merged);
    }
    std::vector<std::int32_t> indices_;
};

} // namespace

bool TMap::NothingToTidySince(std::uint64_t revision) const
{
    // Beyond a few thousand touched elements a scan of them all is no dearer.
    constexpr std::size_t MaxTouched = 4096;
    TTouched rails, borders;
    bool few = true;
    const bool reached = EditsSince(revision, [&](const TElementChange& change) {
        // A selection flag makes nothing removable.
        if (!few || change.Kind == TEditKind::Flagged) return;
        TTouched& touched = change.IsRail ? rails : borders;
        few = static_cast<std::size_t>(change.Count) <= MaxTouched;
        if (few) touched.Follow(change);
        few = few && touched.Indices().size() <= MaxTouched;
    });
    if (!reached || !few) return false;
    // A check that raises is left to the scan, which raises it in its own order.
    try {
        for (const std::int32_t k : rails.Indices())
            if (DoomedRail(rails_[static_cast<std::size_t>(k)])) return false;
        for (const std::int32_t k : borders.Indices())
            if (DoomedBorder(borders_[static_cast<std::size_t>(k)])) return false;
    } catch (...) {
        return false;
    }
    return true;
}

void TMap::Normalize()
{
    // Every element was looked at when the map was last tidy: only those
    // edited since can need removing, and when none does nothing changes.
    if (tidyRevision_ && NothingToTidySince(*tidyRevision_)) {
        tidyRevision_ = Revision();
        return;
    }
    tidyRevision_.reset();
    // One pass instead of a deletion per element, with the same index fix-ups
    // and flags; a map with many stray elements would otherwise take quadratic time.
    const bool hadRail = SelRail >= 0, hadBorder = SelBorder >= 0;
    std::int32_t* const railIndices[] = {&StartRail, &FinishRail, &SelRail};
    const bool railsGone = EraseWhere(rails_, DoomedRail, railIndices);
    std::int32_t* const borderIndices[] = {&SelBorder};
    const bool bordersGone = EraseWhere(borders_, DoomedBorder, borderIndices);
    if (railsGone || bordersGone) {
        FollowSelectionMarks(hadRail && SelRail < 0, hadBorder && SelBorder < 0);
        Modified = true;
        Touch();
    }
    tidyRevision_ = Revision();
}

template void TMap::PutElement(std::vector<TRail>&, std::int32_t, const TRail&, TNoteBatch*);
template void TMap::PutElement(std::vector<TBorder>&, std::int32_t, const TBorder&, TNoteBatch*);
template void TMap::PutRecord(std::vector<TRail>&, std::int32_t, const TLinkedRail&, TNoteBatch*);
template void TMap::PutRecord(std::vector<TBorder>&, std::int32_t, const TBorder&, TNoteBatch*);
template void TMap::EraseListed(std::vector<TRail>&, const std::vector<std::pair<std::int32_t, TLinkedRail>>&);
template void TMap::EraseListed(std::vector<TBorder>&, const std::vector<std::pair<std::int32_t, TBorder>>&);
template void TMap::ReinsertListed(std::vector<TRail>&, const std::vector<std::pair<std::int32_t, TLinkedRail>>&);
template void TMap::ReinsertListed(std::vector<TBorder>&, const std::vector<std::pair<std::int32_t, TBorder>>&);
template void TMap::InsertElement(std::vector<TRail>&, std::int32_t, const TLinkedRail&);
template void TMap::InsertElement(std::vector<TBorder>&, std::int32_t, const TBorder&);
template void TMap::EraseElement(std::vector<TRail>&, std::int32_t);
template void TMap::EraseElement(std::vector<TBorder>&, std::int32_t);
template void TMap::FlagSelected(std::vector<TRail>&, std::int32_t, bool, TNoteBatch*);
template void TMap::FlagSelected(std::vector<TBorder>&, std::int32_t, bool, TNoteBatch*);
