#include "model/TMap.h"

#include <atomic>
#include <new>
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

/// Moves a one-element mark held in `mark` to `index` (the selection): the
/// flag leaves the element it was on and goes to the new one, when that names
/// an element. Selection flags are not edits and go into no history.
template <typename T, typename Flag>
void MoveMark(std::vector<T>& items, std::int32_t& mark, std::int32_t index, Flag flag)
{
    if (IsValidIndex(items, mark)) items[static_cast<std::size_t>(mark)].*flag = false;
    mark = index;
    if (IsValidIndex(items, index)) items[static_cast<std::size_t>(index)].*flag = true;
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

/// Removes the elements for which doomed() holds, keeping the order of the
/// rest, and rewrites each index in `indices` exactly as deleting the doomed
/// elements one at a time would. Returns whether anything was removed.
template <typename T, typename Pred, std::size_t N>
bool RemoveWhere(std::vector<T>& items, Pred doomed, std::int32_t* const (&indices)[N],
                 std::vector<std::pair<std::int32_t, T>>* removedOut)
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
            if (removedOut) removedOut->emplace_back(static_cast<std::int32_t>(k), items[k]);
            continue;
        }
        newIndex[k] = static_cast<std::int32_t>(kept);
        if (kept != k) items[kept] = items[k];
        ++kept;
    }
    const auto removed = static_cast<std::int32_t>(count - kept);
    items.resize(kept);
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

// The primitives. Each records its change into the open step, or, with no
// step open, drops the history before changing anything.

template <class T>
TJournal<T>& TMap::JournalOf(std::vector<T>& items)
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
void TMap::PutElement(std::vector<T>& items, std::int32_t index, const T& value)
{
    if (!IsValidIndex(items, index)) throw ERangeError();
    T& item = items[static_cast<std::size_t>(index)];
    if (SameElement(item, value)) return;
    if (applying_) {
        item = value;
        return;
    }
    if (history_.IsRecording())
        Record(history_, [&] { JournalOf(items).NotePut(index, item, value); });
    else
        NoteUnrecorded();
    item = value;
}

template <class T>
void TMap::InsertElement(std::vector<T>& items, std::int32_t index, const T& value)
{
    if (index < 0 || static_cast<std::size_t>(index) > items.size()) throw ERangeError();
    if (!applying_ && !history_.IsRecording()) NoteUnrecorded();
    items.insert(items.begin() + index, value);
    if (!applying_ && history_.IsRecording()) Record(history_, [&] { JournalOf(items).NoteInsert(index, value); });
}

template <class T>
void TMap::EraseElement(std::vector<T>& items, std::int32_t index)
{
    if (!IsValidIndex(items, index)) throw ERangeError();
    const T gone = items[static_cast<std::size_t>(index)];
    if (!applying_ && !history_.IsRecording()) NoteUnrecorded();
    items.erase(items.begin() + index);
    if (!applying_ && history_.IsRecording())
        Record(history_, [&] { JournalOf(items).NoteErase({{index, gone}}); });
}

template <class T>
void TMap::EraseListed(std::vector<T>& items, const std::vector<std::pair<std::int32_t, T>>& listed)
{
    if (listed.empty()) return;
    std::size_t next = 0;
    std::size_t kept = static_cast<std::size_t>(listed.front().first);
    for (std::size_t k = kept; k < items.size(); ++k) {
        if (next < listed.size() && static_cast<std::size_t>(listed[next].first) == k) {
            ++next;
            continue;
        }
        items[kept++] = items[k];
    }
    if (next != listed.size()) throw ERangeError();
    items.resize(kept);
}

template <class T>
void TMap::ReinsertListed(std::vector<T>& items, const std::vector<std::pair<std::int32_t, T>>& listed)
{
    if (listed.empty()) return;
    const std::size_t oldSize = items.size();
    const std::size_t newSize = oldSize + listed.size();
    if (static_cast<std::size_t>(listed.back().first) >= newSize) throw ERangeError();
    items.resize(newSize);
    // From the back, so every element moves once and nothing is overwritten early.
    std::size_t from = oldSize;
    std::size_t next = listed.size();
    for (std::size_t k = newSize; k-- > 0;) {
        if (next > 0 && static_cast<std::size_t>(listed[next - 1].first) == k) {
            items[k] = listed[--next].second;
            if (next == 0) break; // the rest stays where it is
        } else {
            items[k] = items[--from];
        }
    }
}

template <class T>
void TMap::ResizeElements(std::vector<T>& items, std::int32_t n)
{
    if (n < 0) throw ERangeError();
    const auto old = static_cast<std::int32_t>(items.size());
    if (n == old) return;
    if (applying_ || !history_.IsRecording()) {
        NoteUnrecorded();
        ResizeExactly(items, n);
        return;
    }
    for (std::int32_t k = old; k < n; ++k) InsertElement(items, k, T{});
    for (std::int32_t k = old; k-- > n;) EraseElement(items, k);
}

template <class T, class Pred, std::size_t N>
bool TMap::EraseWhere(std::vector<T>& items, Pred doomed, std::int32_t* const (&indices)[N])
{
    const bool recording = !applying_ && history_.IsRecording();
    if (!recording) {
        const bool removed =
            RemoveWhere(items, doomed, indices, static_cast<std::vector<std::pair<std::int32_t, T>>*>(nullptr));
        if (removed) NoteUnrecorded();
        return removed;
    }
    std::vector<std::pair<std::int32_t, T>> removed;
    if (!RemoveWhere(items, doomed, indices, &removed)) return false;
    Record(history_, [&] { JournalOf(items).NoteErase(std::move(removed)); });
    return true;
}

void TMap::MoveRailMark(std::int32_t& mark, std::int32_t index, bool TRail::*flag)
{
    if (IsValidIndex(Rails, mark)) {
        TRail rail = Rails[static_cast<std::size_t>(mark)];
        rail.*flag = false;
        PutElement(Rails, mark, rail);
    }
    mark = index;
    if (IsValidIndex(Rails, index)) {
        TRail rail = Rails[static_cast<std::size_t>(index)];
        rail.*flag = true;
        PutElement(Rails, index, rail);
    }
}

// The operations.

void TMap::SetRailCount(std::int32_t n)
{
    if (n < 0) throw ERangeError();
    if (n == RailCount()) return;
    ResizeElements(Rails, n);
    Modified = true;
    Touch();
}

void TMap::SetBorderCount(std::int32_t n)
{
    if (n < 0) throw ERangeError();
    if (n == BorderCount()) return;
    ResizeElements(Borders, n);
    Modified = true;
    Touch();
}

void TMap::AddRail(std::int32_t x, std::int32_t y, std::int32_t x2, std::int32_t y2)
{
    const bool wasModified = Modified;
    SetRailCount(Add(RailCount(), 1));
    const std::int32_t last = RailCount() - 1;
    TPoint p;
    try {
        p = SnapWorldPoint(x, y);
    } catch (...) {
        // No zeroed rail is left behind at the world origin.
        EraseElement(Rails, last);
        Modified = wasModified;
        throw;
    }
    TRail rail{};
    rail.X1 = p.x;
    PutElement(Rails, last, rail);
    rail.Y1 = p.y;
    rail.X2 = x2;
    rail.Y2 = y2;
    PutElement(Rails, last, rail);
    SelectRail(last);
    Modified = true;
    Touch();
}

void TMap::AddBorder(std::int32_t x, std::int32_t y, std::int32_t x2, std::int32_t y2, TColor color,
                     std::uint8_t kind)
{
    // A kind outside 0..3 would break the invariant every reader of Kind relies on.
    if (kind > bkArch) throw ERangeError();
    const bool wasModified = Modified;
    SetBorderCount(Add(BorderCount(), 1));
    const std::int32_t last = BorderCount() - 1;
    TPoint p;
    try {
        p = SnapWorldPoint(x, y);
    } catch (...) {
        EraseElement(Borders, last);
        Modified = wasModified;
        throw;
    }
    TBorder border{};
    border.X1 = p.x;
    PutElement(Borders, last, border);
    border.Y1 = p.y;
    border.X2 = x2;
    border.Y2 = y2;
    border.Color = color;
    border.Kind = kind;
    PutElement(Borders, last, border);
    SelectBorder(last);
    Modified = true;
    Touch();
}

void TMap::DeleteRail(std::int32_t index)
{
    if (!IsValidIndex(Rails, index)) return;
    EraseElement(Rails, index);
    Modified = true;
    FollowDeletion(StartRail, index);
    FollowDeletion(FinishRail, index);
    FollowDeletion(SelRail, index);
    Touch();
}

void TMap::DeleteBorder(std::int32_t index)
{
    if (!IsValidIndex(Borders, index)) return;
    EraseElement(Borders, index);
    Modified = true;
    FollowDeletion(SelBorder, index);
    Touch();
}

void TMap::ReverseRail(std::int32_t index)
{
    if (!IsValidIndex(Rails, index)) return;
    TRail rail = Rails[static_cast<std::size_t>(index)];
    std::swap(rail.X1, rail.X2);
    std::swap(rail.Y1, rail.Y2);
    PutElement(Rails, index, rail);
    Modified = true;
    Touch();
}

void TMap::CycleBorderKind(std::int32_t index)
{
    if (!IsValidIndex(Borders, index)) return;
    TBorder border = Borders[static_cast<std::size_t>(index)];
    border.Kind = static_cast<std::uint8_t>((border.Kind + 1) % 4);
    PutElement(Borders, index, border);
    Modified = true;
    Touch();
}

void TMap::SetBorderColor(std::int32_t index, TColor color)
{
    if (!IsValidIndex(Borders, index)) return;
    TBorder border = Borders[static_cast<std::size_t>(index)];
    border.Color = color;
    PutElement(Borders, index, border);
    Modified = true;
    Touch();
}

TColor TMap::GetBorderColor(std::int32_t index) const
{
    return IsValidIndex(Borders, index) ? Borders[static_cast<std::size_t>(index)].Color : clWhite;
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
    MoveMark(Rails, SelRail, index, &TRail::Selected);
    Touch();
}

void TMap::SelectBorder(std::int32_t index)
{
    MoveMark(Borders, SelBorder, index, &TBorder::Selected);
    Touch();
}

void TMap::Normalize()
{
    // One pass instead of a deletion per element, with the same index fix-ups
    // and flags; a map with many stray elements would otherwise take quadratic time.
    std::int32_t* const railIndices[] = {&StartRail, &FinishRail, &SelRail};
    const bool railsGone =
        EraseWhere(Rails, [](const TRail& r) { return OutsideWorld(r) || r.Length() < 10; }, railIndices);
    std::int32_t* const borderIndices[] = {&SelBorder};
    const bool bordersGone = EraseWhere(Borders, [](const TBorder& b) { return OutsideWorld(b); }, borderIndices);
    if (railsGone || bordersGone) {
        Modified = true;
        Touch();
    }
}

template void TMap::PutElement(std::vector<TRail>&, std::int32_t, const TRail&);
template void TMap::PutElement(std::vector<TBorder>&, std::int32_t, const TBorder&);
template void TMap::EraseListed(std::vector<TRail>&, const std::vector<std::pair<std::int32_t, TRail>>&);
template void TMap::EraseListed(std::vector<TBorder>&, const std::vector<std::pair<std::int32_t, TBorder>>&);
template void TMap::ReinsertListed(std::vector<TRail>&, const std::vector<std::pair<std::int32_t, TRail>>&);
template void TMap::ReinsertListed(std::vector<TBorder>&, const std::vector<std::pair<std::int32_t, TBorder>>&);
template void TMap::InsertElement(std::vector<TRail>&, std::int32_t, const TRail&);
template void TMap::InsertElement(std::vector<TBorder>&, std::int32_t, const TBorder&);
template void TMap::EraseElement(std::vector<TRail>&, std::int32_t);
template void TMap::EraseElement(std::vector<TBorder>&, std::int32_t);
