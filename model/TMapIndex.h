#pragma once
// Which elements of a map may touch a rectangle of the world: a uniform grid
// of cells over the world, each listing the elements whose bounding box
// reaches into it, so that drawing, picking and snapping need not visit every
// element of a large map.
#include <cstdint>
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

    /// Indexes the first count elements of lines (their X1..Y2 only).
    template <typename T>
    void Build(const std::vector<T>& lines, std::size_t count)
    {
        std::vector<TBox> boxes(count);
        for (std::size_t i = 0; i < count; ++i) boxes[i] = BoxOf(lines[i]);
        Build(boxes);
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
    void Build(const std::vector<TBox>& boxes);
    static std::int32_t CellOf(std::int32_t v);

    /// Elements of cell c: Entries[Offsets[c] .. Offsets[c + 1]), ascending.
    std::vector<std::uint32_t> offsets_;
    std::vector<std::int32_t> entries_;
    /// Elements spanning many cells, or lying so far out that their view
    /// coordinates could overflow: part of every answer.
    std::vector<std::int32_t> wide_;
};

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
