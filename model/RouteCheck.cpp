#include <algorithm>
#include <cstddef>
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

/// Key of a world point inside the world; after Normalize every rail end has one.
std::uint64_t PointKey(std::int32_t x, std::int32_t y)
{
    return static_cast<std::uint64_t>(x) * (WorldSize + 1) + static_cast<std::uint64_t>(y);
}

/// The rails ordered by their first end, then by index: the successors of a
/// rail are the run of entries whose first end is that rail's second end.
class TFirstEndIndex {
public:
    explicit TFirstEndIndex(const std::vector<TRail>& rails)
    {
        entries_.reserve(rails.size());
        for (std::size_t i = 0; i < rails.size(); ++i)
            entries_.push_back(PointKey(rails[i].X1, rails[i].Y1) << 32 | i);
        std::sort(entries_.begin(), entries_.end());
    }

    /// First position of the run for the point (x, y); read it while KeyAt matches.
    std::size_t Find(std::int32_t x, std::int32_t y) const
    {
        return static_cast<std::size_t>(
            std::lower_bound(entries_.begin(), entries_.end(), PointKey(x, y) << 32) - entries_.begin());
    }
    bool Matches(std::size_t pos, std::int32_t x, std::int32_t y) const
    {
        return pos < entries_.size() && entries_[pos] >> 32 == PointKey(x, y);
    }
    std::int32_t RailAt(std::size_t pos) const { return static_cast<std::int32_t>(entries_[pos] & 0xFFFFFFFFu); }

private:
    std::vector<std::uint64_t> entries_;
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

bool TMap::CheckRoutes(std::int32_t& faultRail, std::vector<TRouteFault>* faults)
{
    bool result = true;
    faultRail = -1;
    const auto fault = [&](std::int32_t rail, TRouteFaultKind kind, bool setsFaultRail = true) {
        result = false;
        if (setsFaultRail) faultRail = rail;
        if (faults) faults->push_back({rail, kind});
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
        for (std::size_t pos = firstEnds.Find(ri.X2, ri.Y2); firstEnds.Matches(pos, ri.X2, ri.Y2); ++pos) {
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
        const TRail& f = Rails[static_cast<std::size_t>(faultRail)];
        ViewX = Sub(Add(f.X1, f.X2), ViewWidth) / 2;
        ViewY = Sub(Add(f.Y1, f.Y2), ViewHeight) / 2;
    }
    Touch();
    return result;
}
