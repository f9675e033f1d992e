#include <algorithm>
#include <cstddef>
#include <utility>
#include <vector>

#include "model/Checked.h"
#include "model/Errors.h"
#include "model/TMap.h"

using Checked::Add;
using Checked::Mul;
using Checked::Sub;

namespace {

/// Writes successor into slot 1 or 2 of rail and registers rail as one of the
/// successor's predecessors; false when the successor already has two others.
/// trustSelf skips the turn-angle comparison of a rail with itself, whose
/// outcome (x > x) is false whatever x is; only a caller whose rails cannot
/// overflow the heading arithmetic may pass it.
bool Link(std::vector<TRail>& rails, std::int32_t rail, std::int32_t successor, bool secondSlot, bool trustSelf)
{
    TRail& from = rails[static_cast<std::size_t>(rail)];
    TRail& to = rails[static_cast<std::size_t>(successor)];
    (secondSlot ? from.Next2 : from.Next1) = successor;
    if (to.Prev1 == -1) {
        to.Prev1 = rail;
        to.Prev2 = rail;
        return true;
    }
    if (to.Prev1 == to.Prev2) {
        const std::int32_t p = to.Prev1;
        const bool rejoin = trustSelf && p == rail;
        if (!rejoin && TurnAngle(to, rails[static_cast<std::size_t>(p)]) > TurnAngle(to, from))
            to.Prev1 = rail;
        else
            to.Prev2 = rail;
        return true;
    }
    return to.Prev1 == rail || to.Prev2 == rail;
}

void CheckLinkArguments(const TMap& map, std::int32_t rail, std::int32_t successor)
{
    const auto valid = [&](std::int32_t index) { return index >= 0 && index < map.RailCount(); };
    if (!valid(rail) || !valid(successor)) throw ERangeError();
}

/// The rails grouped by the first end, column by column (x), each column in
/// ascending (y, index): the successors of a rail are the run of entries at
/// its second end. Built by two stable counting passes, so it costs linear
/// time, and a lookup only searches one column. Every end must lie inside the
/// world, as it does after Normalize.
class TFirstEndIndex {
public:
    explicit TFirstEndIndex(const std::vector<TRail>& rails)
    {
        constexpr std::size_t lines = WorldSize + 2;
        std::vector<std::int32_t> rowStart(lines, 0);
        columnStart_.assign(lines, 0);
        for (const TRail& r : rails) {
            ++rowStart[static_cast<std::size_t>(r.Y1) + 1];
            ++columnStart_[static_cast<std::size_t>(r.X1) + 1];
        }
        for (std::size_t k = 1; k < lines; ++k) {
            rowStart[k] += rowStart[k - 1];
            columnStart_[k] += columnStart_[k - 1];
        }

        struct TByRow {
            std::int32_t X, Y, Rail;
        };
        std::vector<TByRow> byRow(rails.size());
        for (std::size_t i = 0; i < rails.size(); ++i) {
            const TRail& r = rails[i];
            byRow[static_cast<std::size_t>(rowStart[static_cast<std::size_t>(r.Y1)]++)] = {
                r.X1, r.Y1, static_cast<std::int32_t>(i)};
        }
        entries_.resize(rails.size());
        std::vector<std::int32_t> fill(columnStart_.begin(), columnStart_.end() - 1);
        for (const TByRow& e : byRow)
            entries_[static_cast<std::size_t>(fill[static_cast<std::size_t>(e.X)]++)] = {e.Y, e.Rail};
    }

    /// The entries whose first end is (x, y), in ascending rail index.
    std::pair<std::size_t, std::size_t> Run(std::int32_t x, std::int32_t y) const
    {
        const auto begin = entries_.begin() + columnStart_[static_cast<std::size_t>(x)];
        const auto end = entries_.begin() + columnStart_[static_cast<std::size_t>(x) + 1];
        const auto byY = [](const TEntry& e, std::int32_t v) { return e.Y < v; };
        const auto first = std::lower_bound(begin, end, y, byY);
        auto last = first;
        while (last != end && last->Y == y) ++last;
        return {static_cast<std::size_t>(first - entries_.begin()), static_cast<std::size_t>(last - entries_.begin())};
    }
    std::int32_t RailAt(std::size_t pos) const { return entries_[pos].Rail; }

private:
    struct TEntry {
        std::int32_t Y, Rail;
    };
    std::vector<std::int32_t> columnStart_;
    std::vector<TEntry> entries_;
};

} // namespace

bool TMap::LinkFirst(std::int32_t rail, std::int32_t successor)
{
    CheckLinkArguments(*this, rail, successor);
    return Link(Rails, rail, successor, false, false);
}

bool TMap::LinkSecond(std::int32_t rail, std::int32_t successor)
{
    CheckLinkArguments(*this, rail, successor);
    return Link(Rails, rail, successor, true, false);
}

TPoint CentredOrigin(const TLine& line, std::int32_t extentX, std::int32_t extentY)
{
    return {Sub(Add(line.X1, line.X2), extentX) / 2, Sub(Add(line.Y1, line.Y2), extentY) / 2};
}

bool TMap::CheckRoutes(std::int32_t& faultRail, std::vector<TRouteFault>* faults)
{
    bool result = true;
    faultRail = -1;
    std::vector<TRouteFault> found;
    const auto fault = [&](std::int32_t rail, TRouteFaultKind kind, bool setsFaultRail = true) {
        result = false;
        if (setsFaultRail) faultRail = rail;
        found.push_back({rail, kind});
    };

    Normalize();
    const std::int32_t n = RailCount();
    for (TRail& rail : Rails) {
        rail.Prev1 = -1;
        rail.Prev2 = -1;
    }

    const TFirstEndIndex firstEnds(Rails);
    for (std::int32_t i = 0; i < n; ++i) {
        TRail& ri = Rails[static_cast<std::size_t>(i)];
        ri.Next1 = -1;
        ri.Next2 = -1;
        const std::int32_t dxi = ri.DX();
        const std::int32_t dyi = ri.DY();
        const auto [runBegin, runEnd] = firstEnds.Run(ri.X2, ri.Y2);
        for (std::size_t pos = runBegin; pos < runEnd; ++pos) {
            const std::int32_t j = firstEnds.RailAt(pos);
            if (j == i) continue;
            const TRail& rj = Rails[static_cast<std::size_t>(j)];
            if (Add(Mul(dxi, rj.DX()), Mul(dyi, rj.DY())) <= 0) continue;

            if (ri.Next1 == -1) {
                if (!Link(Rails, i, j, false, true)) fault(j, TRouteFaultKind::ThirdPredecessor);
                if (!Link(Rails, i, j, true, true)) fault(j, TRouteFaultKind::ThirdPredecessor);
            } else if (ri.Next1 != ri.Next2) {
                fault(i, TRouteFaultKind::ThirdSuccessor);
            } else {
                const TRail& rk = Rails[static_cast<std::size_t>(ri.Next1)];
                const bool first = TurnAngle(ri, rj) > TurnAngle(ri, rk);
                if (!Link(Rails, i, j, !first, true)) fault(j, TRouteFaultKind::ThirdPredecessor);
            }
        }
        if (ri.Next1 == -1) fault(i, TRouteFaultKind::NoSuccessor);
    }

    for (std::int32_t i = 0; i < n; ++i)
        if (Rails[static_cast<std::size_t>(i)].Prev1 == -1) fault(i, TRouteFaultKind::NoPredecessor);

    if (StartRail < 0 || StartRail >= n) fault(-1, TRouteFaultKind::NoStart, false);
    if (FinishRail < 0 || FinishRail >= n) fault(-1, TRouteFaultKind::NoFinish, false);

    if (faultRail >= 0) {
        const TPoint origin = CentredOrigin(Rails[static_cast<std::size_t>(faultRail)], ViewExtentX(), ViewExtentY());
        ViewX = origin.x;
        ViewY = origin.y;
    }
    Touch();
    if (faults) faults->insert(faults->end(), found.begin(), found.end());
    lastFaults_ = std::move(found);
    ++faultsRevision_;
    return result;
}
