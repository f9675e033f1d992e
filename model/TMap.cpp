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

/// Moves a one-element mark (selection, start, finish) held in `mark` to
/// `index`: the flag leaves the element it was on and goes to the new one,
/// when that names an element.
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
bool RemoveWhere(std::vector<T>& items, Pred doomed, std::int32_t* const (&indices)[N])
{
    const std::size_t count = items.size();
    std::size_t first = 0;
    while (first < count && !doomed(items[first])) ++first;
    if (first == count) return false;

    // newIndex[k]: where element k ends up, or -1 when it goes.
    std::vector<std::int32_t> newIndex(count, -1);
    std::size_t kept = 0;
    for (std::size_t k = 0; k < count; ++k) {
        if (k >= first && doomed(items[k])) continue;
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

/// Snaps the first end of the element just appended to items. When the
/// snapping raises, the half-made element is taken back out before the error
/// goes on, so no zeroed element is left at the world origin.
template <typename T>
TPoint SnapWithoutLeftover(TMap& map, std::vector<T>& items, std::int32_t x, std::int32_t y, bool wasModified)
{
    try {
        return map.SnapPoint(Sub(x, map.ViewX), Sub(y, map.ViewY), 0);
    } catch (...) {
        items.pop_back();
        map.Modified = wasModified;
        throw;
    }
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

void TMap::SetRailCount(std::int32_t n)
{
    if (n < 0) throw ERangeError();
    if (n == RailCount()) return;
    ResizeExactly(Rails, n);
    Modified = true;
    Touch();
}

void TMap::SetBorderCount(std::int32_t n)
{
    if (n < 0) throw ERangeError();
    if (n == BorderCount()) return;
    ResizeExactly(Borders, n);
    Modified = true;
    Touch();
}

void TMap::AddRail(std::int32_t x, std::int32_t y, std::int32_t x2, std::int32_t y2)
{
    const bool wasModified = Modified;
    SetRailCount(Add(RailCount(), 1));
    TRail& rail = Rails.back();
    rail = TRail{};
    const TPoint p = SnapWithoutLeftover(*this, Rails, x, y, wasModified);
    rail.X1 = Add(p.x, ViewX);
    rail.Y1 = Add(p.y, ViewY);
    rail.X2 = x2;
    rail.Y2 = y2;
    SelectRail(RailCount() - 1);
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
    TBorder& border = Borders.back();
    border = TBorder{};
    const TPoint p = SnapWithoutLeftover(*this, Borders, x, y, wasModified);
    border.X1 = Add(p.x, ViewX);
    border.Y1 = Add(p.y, ViewY);
    border.X2 = x2;
    border.Y2 = y2;
    border.Color = color;
    border.Kind = kind;
    SelectBorder(BorderCount() - 1);
    Modified = true;
    Touch();
}

void TMap::DeleteRail(std::int32_t index)
{
    if (!IsValidIndex(Rails, index)) return;
    Rails.erase(Rails.begin() + index);
    Modified = true;
    FollowDeletion(StartRail, index);
    FollowDeletion(FinishRail, index);
    FollowDeletion(SelRail, index);
    Touch();
}

void TMap::DeleteBorder(std::int32_t index)
{
    if (!IsValidIndex(Borders, index)) return;
    Borders.erase(Borders.begin() + index);
    Modified = true;
    FollowDeletion(SelBorder, index);
    Touch();
}

void TMap::ReverseRail(std::int32_t index)
{
    if (!IsValidIndex(Rails, index)) return;
    TRail& rail = Rails[static_cast<std::size_t>(index)];
    std::swap(rail.X1, rail.X2);
    std::swap(rail.Y1, rail.Y2);
    Modified = true;
    Touch();
}

void TMap::CycleBorderKind(std::int32_t index)
{
    if (!IsValidIndex(Borders, index)) return;
    TBorder& border = Borders[static_cast<std::size_t>(index)];
    border.Kind = static_cast<std::uint8_t>((border.Kind + 1) % 4);
    Modified = true;
    Touch();
}

void TMap::SetBorderColor(std::int32_t index, TColor color)
{
    if (!IsValidIndex(Borders, index)) return;
    Borders[static_cast<std::size_t>(index)].Color = color;
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
    if (index != StartRail) Modified = true;
    MoveMark(Rails, StartRail, index, &TRail::IsStart);
    Touch();
}

void TMap::SetFinishRail(std::int32_t index)
{
    if (index >= 0 && index == StartRail) return;
    if (index != FinishRail) Modified = true;
    MoveMark(Rails, FinishRail, index, &TRail::IsFinish);
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
    const bool railsGone = RemoveWhere(
        Rails, [](const TRail& r) { return OutsideWorld(r) || r.Length() < 10; }, railIndices);
    std::int32_t* const borderIndices[] = {&SelBorder};
    const bool bordersGone = RemoveWhere(Borders, [](const TBorder& b) { return OutsideWorld(b); }, borderIndices);
    if (railsGone || bordersGone) {
        Modified = true;
        Touch();
    }
}
