#pragma once
// Which elements of a map may touch a rectangle of the world: uniform grids
// of cells over the world, each cell listing the elements whose bounding box
// reaches into it (for drawing and picking) or that have an end in it (for
// snapping), so that these need not visit every element of a large map.
#include <cstdint>
#include <algorithm>
#include <bit>
#include <climits>
#include <stdexcept>
#include <utility>
#include <vector>

#include "model/TEditLog.h"
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

    /// Indexes the first count elements of lines (their X1..Y2 only),
    /// forgetting every edit followed before.
    template <typename T>
    void Build(const std::vector<T>& lines, std::size_t count)
    {
        Build(count, [&lines](std::size_t i) { return BoxOf(lines[i]); });
    }

    /// Writes to out (cleared first), in ascending order and once each, the
    /// indexes below limit of the indexed elements whose bounding box (by
    /// ends: an end) may meet the world rectangle [x1, x2] x [y1, y2]
    /// (x1 <= x2, y1 <= y2). Every element whose box (end) does is among
    /// them, and the answer is the one a grid built afresh would give.
    void Query(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2, std::vector<std::int32_t>& out,
               std::int32_t limit = INT32_MAX) const;

    // Following edits instead of building again. Elements added or changed
    // since the build are kept aside with their boxes ("fresh", by their
    // index of now), built elements that went or changed are listed by their
    // index at the build ("gone"); a query maps the built indexes to those of
    // now in one merge pass. So an edit costs what it touched, and a query
    // O(pending) more, until MaxPending calls for a build.
    /// Follows one entry of the edit journal (indices of its moment). False
    /// when the grid must be built again instead (too much pending); the grid
    /// is then unusable until it is.
    bool Follow(const TElementChange& change);
    /// Takes the boxes of the fresh elements from lines, as they are now:
    /// after the journal entries since the last look were followed.
    template <typename T>
    void RefreshFresh(const std::vector<T>& lines)
    {
        for (TFresh& f : fresh_) SetBox(f, BoxOf(lines[static_cast<std::size_t>(f.Index)]));
    }
    /// Elements kept aside and built elements listed as gone.
    std::size_t Pending() const { return fresh_.size() + gone_.size(); }

    /// An element's ends, with its index.
    struct TIndexedBox {
        std::int32_t Index;
        std::int32_t X1, Y1, X2, Y2;
    };
    /// The boxes of the elements of lines in the index ranges (first, count)
    /// that lie within area now, ascending and once each: those of the
    /// ranges that changes moved, whose ends lay in area before and after.
    template <typename T>
    static std::vector<TIndexedBox> BoxesIn(const std::vector<T>& lines,
                                            std::vector<std::pair<std::int32_t, std::int32_t>> ranges,
                                            const TEditArea& area);
    // Many elements changed and none was added or removed (a drag of a large
    // selection): instead of keeping them aside, the cells of the area they
    // lay in before and after are written again; the rest of the grid is
    // copied as it is.
    /// Lists the elements of changed (ascending, as they are now) in the
    /// cells they reach now, and in no other cell. Each one that changed lay
    /// in area before and after (or at the origin: an element being added);
    /// the others lie where they were built. False, having changed nothing,
    /// when the grid has edits pending: it must be built then.
    bool Relist(const std::vector<TIndexedBox>& changed, const TEditArea& area);
    /// Pending beyond this many makes Follow ask for a build. Tests may change it.
    static inline std::size_t MaxPending = std::size_t{1} << 13;

    /// Bytes held, for benchmarks.
    std::size_t MemoryBytes() const;

private:
    struct TBox {
        std::int32_t X1, Y1, X2, Y2;
    };
    /// The cells a box covers (by ends: the cells of its two ends).
    struct TCellBox {
        std::int32_t X1, Y1, X2, Y2;
    };
    struct TFresh {
        std::int32_t Index = 0;
        bool Wide = false;
        /// By ends: the cells of the first and of the second end; else the cells covered.
        TCellBox Cells{};
    };
    template <typename T>
    static TBox BoxOf(const T& line)
    {
        return TBox{line.X1, line.Y1, line.X2, line.Y2};
    }
    bool IsWide(const TBox& e) const;
    void SetBox(TFresh& fresh, const TBox& e) const;
    /// Whether a fresh element is part of the answer for the cells [cx1, cx2] x [cy1, cy2].
    bool FreshMeets(const TFresh& fresh, std::int32_t cx1, std::int32_t cy1, std::int32_t cx2, std::int32_t cy2) const;
    /// The build indexes of the elements of rank first .. first + count - 1
    /// among those built and not gone.
    std::vector<std::int32_t> BuiltOfRanks(std::int32_t first, std::int32_t count) const;
    /// Adds ascending build indexes to gone_.
    void AddGone(const std::vector<std::int32_t>& built);
    /// Builds from the ends ends(i) for i below count, read twice: building
    /// from the elements themselves needs no buffer as large as the map.
    template <typename EndsAt>
    void Build(std::size_t count, EndsAt ends);
    std::int32_t CellOf(std::int32_t v) const;
    /// Writes the cells the element with ends e is listed in to cells (at
    /// most MaxCellsPerElement) and returns how many; -1 for a wide element.
    [[gnu::always_inline]] std::int32_t CellsOf(const TBox& e, std::uint32_t* cells) const;
    /// The same for a box over cells [cx1, cx2] x [cy1, cy2], more than one.
    std::int32_t CellsOfLarger(std::int32_t cx1, std::int32_t cy1, std::int32_t cx2, std::int32_t cy2,
                               std::uint32_t* cells) const;
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
    /// Elements added or changed since the build, ascending by their index of now.
    std::vector<TFresh> fresh_;
    /// Built elements removed or changed since, ascending by their build index.
    std::vector<std::int32_t> gone_;
    /// The bytes Relist writes into, kept from one call to the next (a
    /// drag relists at every tick, and fresh pages cost more than the bytes).
    std::vector<std::uint8_t> spare_;
    std::int32_t shift_;
    std::int32_t cells_;
    bool byEnds_;
};

template <typename T>
std::vector<TElementGrid::TIndexedBox> TElementGrid::BoxesIn(const std::vector<T>& lines,
                                                             std::vector<std::pair<std::int32_t, std::int32_t>> ranges,
                                                             const TEditArea& area)
{
    const auto within = [&area](std::int32_t x, std::int32_t y) {
        return x >= area.X1 && x <= area.X2 && y >= area.Y1 && y <= area.Y2;
    };
    std::sort(ranges.begin(), ranges.end());
    std::vector<TIndexedBox> boxes;
    std::int64_t next = 0;
    for (const auto& [first, count] : ranges) {
        const std::int64_t end =
            std::min<std::int64_t>(std::int64_t{first} + count, static_cast<std::int64_t>(lines.size()));
        for (std::int64_t k = std::max<std::int64_t>(first, next); k < end; ++k) {
            const T& line = lines[static_cast<std::size_t>(k)];
            if (!within(line.X1, line.Y1) || !within(line.X2, line.Y2)) continue;
            boxes.push_back({static_cast<std::int32_t>(k), line.X1, line.Y1, line.X2, line.Y2});
        }
        next = std::max(next, end);
    }
    return boxes;
}

template <typename EndsAt>
void TElementGrid::Build(std::size_t count, EndsAt endsAt)
{
    const std::size_t cellCount = static_cast<std::size_t>(cells_) * static_cast<std::size_t>(cells_);
    offsets_.assign(cellCount + 1, 0);
    wide_.clear();
    fresh_.clear();
    gone_.clear();
    // Two passes in index order, sizing and then writing every cell's gaps:
    // each list comes out ascending without a sort.
    std::vector<std::int32_t> last(cellCount, -1);
    std::uint64_t total = 0;
    std::uint32_t cells[MaxCellsPerElement];
    for (std::size_t i = 0; i < count; ++i) {
        const auto index = static_cast<std::int32_t>(i);
        const std::int32_t n = CellsOf(endsAt(i), cells);
        for (std::int32_t k = 0; k < n; ++k) {
            const std::uint32_t c = cells[k];
            const std::size_t bytes = GapBytes(static_cast<std::uint32_t>(index - last[c]));
            offsets_[c + 1] += static_cast<std::uint32_t>(bytes);
            total += bytes;
            last[c] = index;
        }
    }
    if (total > UINT32_MAX) throw std::length_error("grid too large");
    for (std::size_t c = 0; c < cellCount; ++c) offsets_[c + 1] += offsets_[c];
    // Kept at its size from one build to the next: a large map's grid is
    // built again after each many edits, and fresh pages cost more than the bytes.
    bytes_.resize(offsets_[cellCount]);
    std::fill(last.begin(), last.end(), -1);
    std::vector<std::uint32_t> next(offsets_.begin(), offsets_.end() - 1);
    for (std::size_t i = 0; i < count; ++i) {
        const auto index = static_cast<std::int32_t>(i);
        const std::int32_t n = CellsOf(endsAt(i), cells);
        if (n < 0) {
            wide_.push_back(index);
            continue;
        }
        for (std::int32_t k = 0; k < n; ++k) {
            const std::uint32_t c = cells[k];
            std::uint32_t gap = static_cast<std::uint32_t>(index - last[c]);
            last[c] = index;
            std::uint8_t* out = bytes_.data() + next[c];
            while (gap >= 0x80) {
                *out++ = static_cast<std::uint8_t>(gap | 0x80);
                gap >>= 7;
            }
            *out++ = static_cast<std::uint8_t>(gap);
            next[c] = static_cast<std::uint32_t>(out - bytes_.data());
        }
    }
}

inline std::int32_t TElementGrid::CellsOf(const TBox& e, std::uint32_t* cells) const
{
    const std::int32_t left = std::min(e.X1, e.X2), right = std::max(e.X1, e.X2);
    const std::int32_t top = std::min(e.Y1, e.Y2), bottom = std::max(e.Y1, e.Y2);
    if (left < LowCoordinate || top < LowCoordinate || right > HighCoordinate || bottom > HighCoordinate) return -1;
    const auto row = static_cast<std::uint32_t>(cells_);
    if (byEnds_) {
        cells[0] = static_cast<std::uint32_t>(CellOf(e.Y1)) * row + static_cast<std::uint32_t>(CellOf(e.X1));
        cells[1] = static_cast<std::uint32_t>(CellOf(e.Y2)) * row + static_cast<std::uint32_t>(CellOf(e.X2));
        return cells[1] == cells[0] ? 1 : 2;
    }
    const std::int32_t cx1 = CellOf(left), cx2 = CellOf(right), cy1 = CellOf(top), cy2 = CellOf(bottom);
    cells[0] = static_cast<std::uint32_t>(cy1) * row + static_cast<std::uint32_t>(cx1);
    if (cx1 == cx2 && cy1 == cy2) return 1; // most elements are short beside a cell
    return CellsOfLarger(cx1, cy1, cx2, cy2, cells);
}

inline std::int32_t TElementGrid::CellOf(std::int32_t v) const
{
    return std::min(std::max(v, 0) >> shift_, cells_ - 1);
}

inline bool TElementGrid::IsWide(const TBox& e) const
{
    std::uint32_t cells[MaxCellsPerElement];
    return CellsOf(e, cells) < 0;
}

inline std::size_t TElementGrid::GapBytes(std::uint32_t gap)
{
    // Seven bits a byte; a gap of 0 takes one byte too.
    return (static_cast<std::size_t>(std::bit_width(gap | 1u)) + 6) / 7;
}

/// The two grids of a map. Their answers leave out the last element, which
/// callers visit after the answer: that one is the element being drawn out,
/// which moves at every redraw.
struct TMapIndex {
    /// By bounding box, 256-unit cells: drawing and picking.
    TElementGrid Borders{8, false};
    TElementGrid Rails{8, false};
    /// By ends, 32-unit cells: snapping, which looks for ends within a few units.
    TElementGrid BorderEnds{5, true};
    TElementGrid RailEnds{5, true};
    /// What the grids stand for: the map's id and revision.
    std::uint64_t Id = 0;
    std::uint64_t Revision = 0;
    /// How many times they were built from every element (for tests and benchmarks).
    std::uint64_t Builds = 0;
};
