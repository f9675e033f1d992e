#pragma once
// The route check's index of first ends: for a rail, the rails that start
// where it ends and head within a right angle of it, found without visiting
// the others that start there.
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "model/TLine.h"

class TRouteIndex {
public:
    TRouteIndex() = default;
    /// A copy starts empty: the arrays only carry memory from one check to the next.
    TRouteIndex(const TRouteIndex&) noexcept {}
    TRouteIndex& operator=(const TRouteIndex&) noexcept { return *this; }

    /// Indexes the rails by their first end. Every end must lie inside the
    /// world and no rail may have length 0, as after Normalize. Reuses the
    /// arrays of the last build (about 20 bytes a rail): fresh memory, which
    /// the system hands out a page at a time, cost more than the check itself
    /// on a map of ten thousand rails.
    void Build(const std::vector<TRail>& rails);

    /// Fills out with every rail j other than rail that starts at rail's
    /// second end and passes the direction test DX(rail) DX(j) + DY(rail) DY(j)
    /// > 0, in ascending index. The rails starting at that point are held
    /// sorted by heading too, so the cost is a search there plus the rails
    /// put out (times their log), whatever the rails that fail the test.
    void Successors(const std::vector<TRail>& rails, std::int32_t rail, std::vector<std::int32_t>& out) const;

    /// Points with more rails than this are searched by heading; fewer are scanned.
    static constexpr std::size_t ScannedRun = 8;

private:
    struct TEntry {
        std::int32_t Y;
        std::int32_t Rail;
    };
    struct TByRow {
        std::int32_t X;
        std::int32_t Rail;
    };
    struct TDirection {
        std::int32_t X;
        std::int32_t Y;
    };

    /// [begin, end) of the entries whose first end is (x, y).
    std::pair<std::size_t, std::size_t> Run(std::int32_t x, std::int32_t y) const;
    /// (DX, DY) of a rail inside the world, where it cannot overflow.
    static TDirection DirectionOf(const TRail& r) { return {r.X2 - r.X1, r.Y2 - r.Y1}; }
    /// True when a comes before b going round from the x axis, exactly.
    static bool Before(TDirection a, TDirection b);
    /// Appends the rails of entries [begin, end) that pass the test against d, other than rail.
    void Scan(const std::vector<TRail>& rails, std::size_t begin, std::size_t end, TDirection d, std::int32_t rail,
              std::vector<std::int32_t>& out) const;

    /// Where each column x of entries_ starts; WorldSize + 2 entries.
    std::vector<std::int32_t> columnStart_;
    /// The rails by first end: column by column, each in ascending (y, rail).
    std::vector<TEntry> entries_;
    /// For the runs longer than ScannedRun: the run's rails sorted by heading,
    /// at the run's own positions.
    std::vector<std::int32_t> byHeading_;
    // Scratch of Build, kept with the rest.
    std::vector<std::int32_t> rowStart_;
    std::vector<TByRow> byRow_;
};
