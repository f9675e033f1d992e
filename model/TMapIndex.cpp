#include "model/TMapIndex.h"

#include <algorithm>

#include "model/TMap.h"

namespace {

/// Elements with a coordinate outside [LowCoordinate, HighCoordinate] (none
/// in a map that Normalize has cleaned, but one being drawn out may stray) are
/// always visited: the arithmetic on them may raise the overflow error, and
/// it must be raised exactly where a visit of every element raises it.
constexpr std::int32_t LowCoordinate = -1024;
constexpr std::int32_t HighCoordinate = 11264;
/// An element whose box covers more cells than this is kept in the wide list.
constexpr std::int64_t MaxCellsPerElement = 16;

} // namespace

std::int32_t TElementGrid::CellOf(std::int32_t v)
{
    if (v < 0) return 0;
    const std::int32_t c = v / CellSize;
    return c < Cells ? c : Cells - 1;
}

void TElementGrid::Build(const std::vector<TBox>& boxes)
{
    const std::size_t cellCount = static_cast<std::size_t>(Cells) * Cells;
    offsets_.assign(cellCount + 1, 0);
    wide_.clear();
    const auto isWide = [](const TBox& b) {
        if (b.X1 < LowCoordinate || b.Y1 < LowCoordinate || b.X2 > HighCoordinate || b.Y2 > HighCoordinate)
            return true;
        const std::int64_t columns = CellOf(b.X2) - CellOf(b.X1) + 1;
        const std::int64_t rows = CellOf(b.Y2) - CellOf(b.Y1) + 1;
        return columns * rows > MaxCellsPerElement;
    };
    // Two passes, counting and then filling, in index order: every cell's list
    // comes out ascending without a sort.
    for (const TBox& b : boxes) {
        if (isWide(b)) continue;
        for (std::int32_t cy = CellOf(b.Y1); cy <= CellOf(b.Y2); ++cy)
            for (std::int32_t cx = CellOf(b.X1); cx <= CellOf(b.X2); ++cx)
                ++offsets_[static_cast<std::size_t>(cy) * Cells + static_cast<std::size_t>(cx) + 1];
    }
    for (std::size_t c = 0; c < cellCount; ++c) offsets_[c + 1] += offsets_[c];
    entries_.resize(offsets_[cellCount]);
    std::vector<std::uint32_t> next(offsets_.begin(), offsets_.end() - 1);
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        const TBox& b = boxes[i];
        if (isWide(b)) {
            wide_.push_back(static_cast<std::int32_t>(i));
            continue;
        }
        for (std::int32_t cy = CellOf(b.Y1); cy <= CellOf(b.Y2); ++cy)
            for (std::int32_t cx = CellOf(b.X1); cx <= CellOf(b.X2); ++cx)
                entries_[next[static_cast<std::size_t>(cy) * Cells + static_cast<std::size_t>(cx)]++] =
                    static_cast<std::int32_t>(i);
    }
}

void TElementGrid::Query(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2,
                         std::vector<std::int32_t>& out) const
{
    out.clear();
    if (offsets_.empty()) return;
    const std::int32_t cx1 = CellOf(x1);
    const std::int32_t cx2 = CellOf(x2);
    const std::int32_t cy1 = CellOf(y1);
    const std::int32_t cy2 = CellOf(y2);
    for (std::int32_t cy = cy1; cy <= cy2; ++cy) {
        const std::size_t row = static_cast<std::size_t>(cy) * Cells;
        out.insert(out.end(), entries_.begin() + offsets_[row + static_cast<std::size_t>(cx1)],
                   entries_.begin() + offsets_[row + static_cast<std::size_t>(cx2) + 1]);
    }
    out.insert(out.end(), wide_.begin(), wide_.end());
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
}

std::size_t TElementGrid::MemoryBytes() const
{
    return offsets_.capacity() * sizeof(std::uint32_t) + (entries_.capacity() + wide_.capacity()) * sizeof(std::int32_t);
}

// The map's side: keeping the grids and answering with them.

namespace {

/// The grid's answer over all but the last element, then the last.
template <typename T>
void ElementsNear(const TElementGrid& grid, const std::vector<T>& items, std::int32_t x1, std::int32_t y1,
                  std::int32_t x2, std::int32_t y2, std::vector<std::int32_t>& out)
{
    const auto count = static_cast<std::int32_t>(items.size());
    grid.Query(x1, y1, x2, y2, out);
    if (count > 0) out.push_back(count - 1);
}

} // namespace

const TMapIndex& TMap::Index() const
{
    TMapIndex& index = index_;
    if (index.Id != Id() || index.Layout != Layout() || index.BorderCount != BorderCount() ||
        index.RailCount != RailCount()) {
        index.Borders.Build(Borders, Borders.empty() ? 0 : Borders.size() - 1);
        index.Rails.Build(Rails, Rails.empty() ? 0 : Rails.size() - 1);
        index.Id = Id();
        index.Layout = Layout();
        index.BorderCount = BorderCount();
        index.RailCount = RailCount();
    }
    return index;
}

void TMap::BordersNear(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2,
                       std::vector<std::int32_t>& out) const
{
    ElementsNear(Index().Borders, Borders, x1, y1, x2, y2, out);
}

void TMap::RailsNear(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2,
                     std::vector<std::int32_t>& out) const
{
    ElementsNear(Index().Rails, Rails, x1, y1, x2, y2, out);
}

bool TMap::UsesIndexNear(std::int32_t px, std::int32_t py) const
{
    const auto within = [](std::int32_t v, std::int32_t low, std::int32_t high) { return v >= low && v <= high; };
    return BorderCount() + RailCount() >= IndexFrom && within(ViewX, 0, WorldSize) && within(ViewY, 0, WorldSize) &&
           within(px, -4096, 4096) && within(py, -4096, 4096);
}

bool TMap::UsesIndexAt(std::int32_t px, std::int32_t py) const
{
    // Within these bounds no element inside the grid's coordinate range can
    // make the view arithmetic leave 32 bits, so skipping it changes nothing.
    const auto within = [](std::int32_t v, std::int32_t low, std::int32_t high) { return v >= low && v <= high; };
    return BorderCount() + RailCount() >= IndexFrom && within(ViewX, 0, WorldSize) && within(ViewY, 0, WorldSize) &&
           within(Zoom.Span(ViewWidth), 0, 4096) &&
           within(Zoom.Span(ViewHeight), 0, 4096) && within(px, -4096, 4096) &&
           within(py, -4096, 4096);
}
