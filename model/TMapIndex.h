#pragma once
// Which elements of a map may touch a rectangle of the world: uniform grids
// of cells over the world, each cell listing the elements whose bounding box
// reaches into it (for drawing and picking) or that have an end in it (for
// snapping), so that these need not visit every element of a large map.
#include <cstdint>
#include <algorithm>
#include <climits>
#include <stdexcept>
#include <vector>

#include "model/TLine.h"

/// A grid of one kind of element (borders or rails). Answers in index
/// order, so callers visit elements in the same order as a plain scan.
class TElementGrid {
public:
    /// Cells are 2^cellShift units square and cover the world; coordinates
    /// beyond it fall into the edge cells. A grid by ends lists each element
    /// in the cells of its two ends; otherwise in every cell its bounding box meets.
    TElementGrid(std::int32_t cellShift, bool byEnds)
        : shift_(cellShift), cells_((10240 + (1 << cellShift) - 1) >> cellShift), byEnds_(byEnds)
    {
    }
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
        Build(count, [&lines](std::size_t i) { return TBox{lines[i].X1, lines[i].Y1, lines[i].X2, lines[i].Y2}; });
    }

    /// Appends to out, in ascending order and once each, the indexes of the
    /// indexed elements whose bounding box (by ends: an end) may meet the
    /// world rectangle [x1, x2] x [y1, y2] (x1 <= x2, y1 <= y2). Every element
    /// whose box (end) does is among them; out is cleared first.
    void Query(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2,
               std::vector<std::int32_t>& out) const;

    /// Bytes held, for benchmarks.
    std::size_t MemoryBytes() const;

private:
    struct TBox {
        std::int32_t X1, Y1, X2, Y2;
    };
    /// Builds from the ends ends(i) for i below count, read twice: building
    /// from the elements themselves needs no buffer as large as the map.
    template <typename EndsAt>
    void Build(std::size_t count, EndsAt ends);
    std::int32_t CellOf(std::int32_t v) const;
    /// How many bytes a gap takes.
    static std::size_t GapBytes(std::uint32_t gap);

    /// Elements of cell c, ascending, in bytes_[offsets_[c] .. offsets_[c + 1]):
    /// each the gap from the one before (from -1 for the first) in 7-bit
    /// groups, low group first, the high bit set on all but the last. Gaps in a
    /// cell are about the number of cells over the elements each one covers,
    /// so most take two bytes, half of a plain index.
    std::vector<std::uint32_t> offsets_;
    std::vector<std::uint8_t> bytes_;
    /// Elements spanning many cells, or lying so far out that their view
    /// coordinates could overflow: part of every answer.
    std::vector<std::int32_t> wide_;
    std::int32_t shift_;
    std::int32_t cells_;
    bool byEnds_;
};

template <typename EndsAt>
void TElementGrid::Build(std::size_t count, EndsAt endsAt)
{
    const std::size_t cellCount = static_cast<std::size_t>(cells_) * static_cast<std::size_t>(cells_);
    offsets_.assign(cellCount + 1, 0);
    wide_.clear();
    const auto isWide = [this](const TBox& e) {
        const std::int32_t left = std::min(e.X1, e.X2), right = std::max(e.X1, e.X2);
        const std::int32_t top = std::min(e.Y1, e.Y2), bottom = std::max(e.Y1, e.Y2);
        if (left < LowCoordinate || top < LowCoordinate || right > HighCoordinate || bottom > HighCoordinate)
            return true;
        const std::int64_t columns = CellOf(right) - CellOf(left) + 1;
        const std::int64_t rows = CellOf(bottom) - CellOf(top) + 1;
        return !byEnds_ && columns * rows > MaxCellsPerElement;
    };
    const auto eachCell = [this](const TBox& e, auto visit) {
        const auto cell = [this](std::int32_t cx, std::int32_t cy) {
            return static_cast<std::size_t>(cy) * static_cast<std::size_t>(cells_) + static_cast<std::size_t>(cx);
        };
        if (byEnds_) {
            const std::size_t first = cell(CellOf(e.X1), CellOf(e.Y1));
            const std::size_t second = cell(CellOf(e.X2), CellOf(e.Y2));
            visit(first);
            if (second != first) visit(second);
            return;
        }
        for (std::int32_t cy = CellOf(std::min(e.Y1, e.Y2)); cy <= CellOf(std::max(e.Y1, e.Y2)); ++cy)
            for (std::int32_t cx = CellOf(std::min(e.X1, e.X2)); cx <= CellOf(std::max(e.X1, e.X2)); ++cx)
                visit(cell(cx, cy));
    };
    // Two passes in index order, sizing and then writing every cell's gaps:
    // each list comes out ascending without a sort.
    std::vector<std::int32_t> last(cellCount, -1);
    std::uint64_t total = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const TBox e = endsAt(i);
        if (isWide(e)) continue;
        const auto index = static_cast<std::int32_t>(i);
        eachCell(e, [&](std::size_t c) {
            const std::size_t bytes = GapBytes(static_cast<std::uint32_t>(index - last[c]));
            offsets_[c + 1] += static_cast<std::uint32_t>(bytes);
            total += bytes;
            last[c] = index;
        });
    }
    if (total > UINT32_MAX) throw std::length_error("grid too large");
    for (std::size_t c = 0; c < cellCount; ++c) offsets_[c + 1] += offsets_[c];
    // Kept at its size from one build to the next: a large map's grid is
    // rebuilt after every edit, and fresh pages cost more than the bytes.
    bytes_.resize(offsets_[cellCount]);
    std::fill(last.begin(), last.end(), -1);
    std::vector<std::uint32_t> next(offsets_.begin(), offsets_.end() - 1);
    for (std::size_t i = 0; i < count; ++i) {
        const TBox e = endsAt(i);
        const auto index = static_cast<std::int32_t>(i);
        if (isWide(e)) {
            wide_.push_back(index);
            continue;
        }
        eachCell(e, [&](std::size_t c) {
            std::uint32_t gap = static_cast<std::uint32_t>(index - last[c]);
            last[c] = index;
            std::uint8_t* out = bytes_.data() + next[c];
            while (gap >= 0x80) {
                *out++ = static_cast<std::uint8_t>(gap | 0x80);
                gap >>= 7;
            }
            *out++ = static_cast<std::uint8_t>(gap);
            next[c] = static_cast<std::uint32_t>(out - bytes_.data());
        });
    }
}

inline std::int32_t TElementGrid::CellOf(std::int32_t v) const
{
    if (v < 0) return 0;
    const std::int32_t c = v >> shift_;
    return c < cells_ ? c : cells_ - 1;
}

inline std::size_t TElementGrid::GapBytes(std::uint32_t gap)
{
    return gap < (1u << 7) ? 1 : gap < (1u << 14) ? 2 : gap < (1u << 21) ? 3 : gap < (1u << 28) ? 4 : 5;
}

/// The two grids of a map, each over all its elements but the last, which
/// callers visit after the answer: that one is the element being drawn out,
/// which moves at every redraw and would otherwise make the grid stale.
struct TMapIndex {
    /// By bounding box, 256-unit cells: drawing and picking.
    TElementGrid Borders{8, false};
    TElementGrid Rails{8, false};
    /// By ends, 32-unit cells: snapping, which looks for ends within a few units.
    TElementGrid BorderEnds{5, true};
    TElementGrid RailEnds{5, true};
    /// What the grids were built from: the map's id and layout.
    std::uint64_t Id = 0;
    std::uint64_t Layout = 0;
};
