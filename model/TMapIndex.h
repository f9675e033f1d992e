#pragma once
// Which elements of a map may touch a rectangle of the world: a uniform grid
// of cells over the world, each listing the elements whose bounding box
// reaches into it, so that drawing, picking and snapping need not visit every
// element of a large map.
#include <cstdint>
#include <algorithm>
#include <vector>

#include "model/TLine.h"

/// The grid of one kind of element (borders or rails). Answers in index
/// order, so callers visit elements in the same order as a plain scan.
class TElementGrid {
public:
    /// Cells are CellSize units square and cover the world; coordinates beyond
    /// it fall into the edge cells.
    static constexpr std::int32_t CellSize = 64;
    static constexpr std::int32_t Cells = (10240 + CellSize - 1) / CellSize;
    /// Elements with a coordinate outside [LowCoordinate, HighCoordinate] (none
    /// in a map that Normalize has cleaned, but one being drawn out may stray)
    /// are always visited: the arithmetic on them may raise the overflow
    /// error, and it must be raised exactly where a visit of every element raises it.
    static constexpr std::int32_t LowCoordinate = -1024;
    static constexpr std::int32_t HighCoordinate = 11264;
    /// An element whose box covers more cells than this is kept in the wide list.
    static constexpr std::int64_t MaxCellsPerElement = 16;

    /// Indexes the first count elements of lines (their X1..Y2 only).
    template <typename T>
    void Build(const std::vector<T>& lines, std::size_t count)
    {
        Build(count, [&lines](std::size_t i) { return BoxOf(lines[i]); });
    }

    /// Appends to out, in ascending order and once each, the indexes of the
    /// indexed elements whose bounding box may meet the world rectangle
    /// [x1, x2] x [y1, y2] (x1 <= x2, y1 <= y2). Every element that does meet
    /// it is among them; out is cleared first.
    void Query(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2,
               std::vector<std::int32_t>& out) const;

    /// Bytes held, for benchmarks.
    std::size_t MemoryBytes() const;

private:
    struct TBox {
        std::int32_t X1, Y1, X2, Y2;
    };
    template <typename T>
    static TBox BoxOf(const T& line)
    {
        return {line.X1 < line.X2 ? line.X1 : line.X2, line.Y1 < line.Y2 ? line.Y1 : line.Y2,
                line.X1 < line.X2 ? line.X2 : line.X1, line.Y1 < line.Y2 ? line.Y2 : line.Y1};
    }
    /// Builds from box(i) for i below count, read twice: building from the
    /// elements themselves needs no buffer of boxes as large as the map.
    template <typename BoxAt>
    void Build(std::size_t count, BoxAt box);
    static std::int32_t CellOf(std::int32_t v);
    /// How many bytes a gap takes.
    static std::size_t GapBytes(std::uint32_t gap);

    /// Elements of cell c, ascending, in bytes_[offsets_[c] .. offsets_[c + 1]):
    /// each the gap from the one before (from -1 for the first) in 7-bit
    /// groups, low group first, the high bit set on all but the last. Gaps in a
    /// cell are about the number of cells over the elements each one covers,
    /// so most take two bytes, half of a plain index.
    std::vector<std::size_t> offsets_;
    std::vector<std::uint8_t> bytes_;
    /// Elements spanning many cells, or lying so far out that their view
    /// coordinates could overflow: part of every answer.
    std::vector<std::int32_t> wide_;
};

template <typename BoxAt>
void TElementGrid::Build(std::size_t count, BoxAt boxAt)
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
    const auto eachCell = [](const TBox& b, auto visit) {
        for (std::int32_t cy = CellOf(b.Y1); cy <= CellOf(b.Y2); ++cy)
            for (std::int32_t cx = CellOf(b.X1); cx <= CellOf(b.X2); ++cx)
                visit(static_cast<std::size_t>(cy) * Cells + static_cast<std::size_t>(cx));
    };
    // Two passes in index order, sizing and then writing every cell's gaps:
    // each list comes out ascending without a sort.
    std::vector<std::int32_t> last(cellCount, -1);
    for (std::size_t i = 0; i < count; ++i) {
        const TBox b = boxAt(i);
        if (isWide(b)) continue;
        const auto index = static_cast<std::int32_t>(i);
        eachCell(b, [&](std::size_t cell) {
            offsets_[cell + 1] += GapBytes(static_cast<std::uint32_t>(index - last[cell]));
            last[cell] = index;
        });
    }
    for (std::size_t c = 0; c < cellCount; ++c) offsets_[c + 1] += offsets_[c];
    // Kept at its size from one build to the next: a large map's grid is
    // rebuilt after every edit, and fresh pages cost more than the bytes.
    bytes_.resize(offsets_[cellCount]);
    std::fill(last.begin(), last.end(), -1);
    std::vector<std::size_t> next(offsets_.begin(), offsets_.end() - 1);
    for (std::size_t i = 0; i < count; ++i) {
        const TBox b = boxAt(i);
        const auto index = static_cast<std::int32_t>(i);
        if (isWide(b)) {
            wide_.push_back(index);
            continue;
        }
        eachCell(b, [&](std::size_t cell) {
            std::uint32_t gap = static_cast<std::uint32_t>(index - last[cell]);
            last[cell] = index;
            std::uint8_t* out = bytes_.data() + next[cell];
            while (gap >= 0x80) {
                *out++ = static_cast<std::uint8_t>(gap | 0x80);
                gap >>= 7;
            }
            *out++ = static_cast<std::uint8_t>(gap);
            next[cell] = static_cast<std::size_t>(out - bytes_.data());
        });
    }
}

inline std::int32_t TElementGrid::CellOf(std::int32_t v)
{
    if (v < 0) return 0;
    const std::int32_t c = v / CellSize;
    return c < Cells ? c : Cells - 1;
}

inline std::size_t TElementGrid::GapBytes(std::uint32_t gap)
{
    return gap < (1u << 7) ? 1 : gap < (1u << 14) ? 2 : gap < (1u << 21) ? 3 : gap < (1u << 28) ? 4 : 5;
}

/// The two grids of a map, each over all its elements but the last, which
/// callers visit after the answer: that one is the element being drawn out,
/// which moves at every redraw and would otherwise make the grid stale.
struct TMapIndex {
    TElementGrid Borders;
    TElementGrid Rails;
    /// What the grids were built from: the map's id, layout and counts.
    std::uint64_t Id = 0;
    std::uint64_t Layout = 0;
    std::int32_t BorderCount = -1;
    std::int32_t RailCount = -1;
};
