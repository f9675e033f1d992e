#pragma once
// The route check's index of first ends: for a rail, the rails that start
// where it ends and head within a right angle of it, found without visiting
// the others that start there.
#include <algorithm>
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

    /// Calls visit(j) for every rail j other than rail that starts at rail's
    /// second end and passes the direction test DX(rail) DX(j) + DY(rail) DY(j)
    /// > 0, in ascending index. The rails starting at a point are also held
    /// sorted by heading, so the cost is a search there plus the rails visited
    /// (times their log), whatever the rails that fail the test. The rails'
    /// ends must be those of the build; visit may change their links.
    template <class Visit>
    void ForEachSuccessor(const std::vector<TRail>& rails, std::int32_t rail, Visit&& visit)
    {
        const TRail& r = rails[static_cast<std::size_t>(rail)];
        const TDirection d = DirectionOf(r);
        const auto [begin, end] = Run(r.X2, r.Y2);
        if (end - begin > ScannedRun && Search(rails, rail, begin, end)) {
            for (const std::int32_t j : passing_) visit(j);
            return;
        }
        for (std::size_t pos = begin; pos < end; ++pos) {
            const std::int32_t j = entries_[pos].Rail;
            if (j != rail && Passes(d, rails[static_cast<std::size_t>(j)])) visit(j);
        }
    }

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

    /// (DX, DY) of a rail inside the world, where it cannot overflow.
    static TDirection DirectionOf(const TRail& r) { return {r.X2 - r.X1, r.Y2 - r.Y1}; }
    static bool Passes(TDirection d, const TRail& r)
    {
        const TDirection e = DirectionOf(r);
        return std::int64_t{d.X} * e.X + std::int64_t{d.Y} * e.Y > 0;
    }
    /// True when a comes before b going round from the x axis, exactly.
    static bool Before(TDirection a, TDirection b);

    /// [begin, end) of the entries whose first end is (x, y).
    std::pair<std::size_t, std::size_t> Run(std::int32_t x, std::int32_t y) const
    {
        const auto first = entries_.begin() + columnStart_[static_cast<std::size_t>(x)];
        const auto last = entries_.begin() + columnStart_[static_cast<std::size_t>(x) + 1];
        const auto byY = [](const TEntry& a, const TEntry& b) { return a.Y < b.Y; };
        const auto from = std::lower_bound(first, last, TEntry{y, 0}, byY);
        // Most points start a rail or two: a few steps find the end of the
        // run, and a long run is searched.
        auto to = from;
        for (std::size_t step = 0; step < ScannedRun && to != last && to->Y == y; ++step) ++to;
        if (to != last && to->Y == y) to = std::upper_bound(to, last, TEntry{y, 0}, byY);
        return {static_cast<std::size_t>(from - entries_.begin()), static_cast<std::size_t>(to - entries_.begin())};
    }
    /// For the long run [begin, end) at rail's second end: false when so many
    /// of its rails pass that testing them all in index order costs no more;
    /// else true, with those that pass in passing_, ascending.
    bool Search(const std::vector<TRail>& rails, std::int32_t rail, std::size_t begin, std::size_t end);

    /// Where each column x of entries_ starts; WorldSize + 2 entries.
    std::vector<std::int32_t> columnStart_;
    /// The rails by first end: column by column, each in ascending (y, rail).
    std::vector<TEntry> entries_;
    /// For the runs longer than ScannedRun: the run's rails sorted by heading,
    /// at the run's own positions.
    std::vector<std::int32_t> byHeading_;
    /// What Search found.
    std::vector<std::int32_t> passing_;
    // Scratch of Build, kept with the rest.
    std::vector<std::int32_t> rowStart_;
    std::vector<TByRow> byRow_;
};
