#pragma once
// The route check done the slow, literal way: every pair of rails is tried,
// the links are made by this file's own copies of LinkFirst/LinkSecond, and
// the clean-up deletes one element at a time. Tests and benchmarks compare
// TMap::CheckRoutes against it.
#include <cstdint>
#include <vector>

#include "model/Checked.h"
#include "model/TMap.h"

namespace RouteOracle {

struct TOutcome {
    TMap Map;
    bool Result = true;
    std::int32_t FaultRail = -1;
    std::vector<TRouteFault> Faults;
};

/// Normalize as a loop of single deletions.
inline void NormalizeByDeletion(TMap& map)
{
    const auto outside = [](const TLine& l) {
        return l.X1 < 0 || l.X1 > WorldSize || l.Y1 < 0 || l.Y1 > WorldSize || l.X2 < 0 || l.X2 > WorldSize ||
               l.Y2 < 0 || l.Y2 > WorldSize;
    };
    std::int32_t i = 0;
    while (i < map.RailCount()) {
        const TRail& r = map.Rails()[static_cast<std::size_t>(i)];
        if (outside(r) || r.Length() < 10)
            map.DeleteRail(i);
        else
            ++i;
    }
    std::int32_t j = 0;
    while (j < map.BorderCount()) {
        if (outside(map.Borders()[static_cast<std::size_t>(j)]))
            map.DeleteBorder(j);
        else
            ++j;
    }
}

inline bool Link(std::vector<TLinkedRail>& rails, std::int32_t i, std::int32_t j, bool secondSlot)
{
    TLinkedRail& ri = rails[static_cast<std::size_t>(i)];
    TLinkedRail& rj = rails[static_cast<std::size_t>(j)];
    if (secondSlot)
        ri.Links.Next2 = j;
    else
        ri.Links.Next1 = j;
    if (rj.Links.Prev1 == -1) {
        rj.Links.Prev1 = i;
        rj.Links.Prev2 = i;
        return true;
    }
    if (rj.Links.Prev1 == rj.Links.Prev2) {
        const TLinkedRail& p = rails[static_cast<std::size_t>(rj.Links.Prev1)];
        if (TurnAngle(rj, p) > TurnAngle(rj, ri))
            rj.Links.Prev1 = i;
        else
            rj.Links.Prev2 = i;
        return true;
    }
    return rj.Links.Prev1 == i || rj.Links.Prev2 == i;
}

/// Runs the all-pairs check on a copy of map.
inline TOutcome Check(const TMap& map)
{
    TOutcome out{map, true, -1, {}};
    TMap& m = out.Map;
    const auto fault = [&](std::int32_t rail, TRouteFaultKind kind) {
        out.Result = false;
        out.FaultRail = rail;
        out.Faults.push_back({rail, kind});
    };

    NormalizeByDeletion(m);
    // The links are made on a copy of the rails and written back at the end.
    const std::int32_t n = m.RailCount();
    std::vector<TLinkedRail> rails;
    for (std::int32_t k = 0; k < n; ++k) rails.push_back({m.Rails()[static_cast<std::size_t>(k)], m.RailLinks(k)});
    for (TLinkedRail& r : rails) r.Links.Prev1 = r.Links.Prev2 = -1;
    for (std::int32_t i = 0; i < n; ++i) {
        TLinkedRail& ri = rails[static_cast<std::size_t>(i)];
        ri.Links.Next1 = ri.Links.Next2 = -1;
        for (std::int32_t j = 0; j < n; ++j) {
            if (j == i) continue;
            const TLinkedRail& rj = rails[static_cast<std::size_t>(j)];
            if (ri.X2 != rj.X1 || ri.Y2 != rj.Y1) continue;
            const std::int32_t dot =
                Checked::Add(Checked::Mul(ri.DX(), rj.DX()), Checked::Mul(ri.DY(), rj.DY()));
            if (dot <= 0) continue;
            if (ri.Links.Next1 == -1) {
                if (!Link(rails, i, j, false)) fault(j, TRouteFaultKind::ThirdPredecessor);
                if (!Link(rails, i, j, true)) fault(j, TRouteFaultKind::ThirdPredecessor);
            } else if (ri.Links.Next1 != ri.Links.Next2) {
                fault(i, TRouteFaultKind::ThirdSuccessor);
            } else {
                const TLinkedRail& rk = rails[static_cast<std::size_t>(ri.Links.Next1)];
                const bool ok = TurnAngle(ri, rj) > TurnAngle(ri, rk) ? Link(rails, i, j, false) : Link(rails, i, j, true);
                if (!ok) fault(j, TRouteFaultKind::ThirdPredecessor);
            }
        }
        if (ri.Links.Next1 == -1) fault(i, TRouteFaultKind::NoSuccessor);
    }
    for (std::int32_t i = 0; i < n; ++i)
        if (rails[static_cast<std::size_t>(i)].Links.Prev1 == -1) fault(i, TRouteFaultKind::NoPredecessor);

    for (std::int32_t i = 0; i < n; ++i) m.SetRailLinks(i, rails[static_cast<std::size_t>(i)].Links);

    if (m.StartRail < 0 || m.StartRail >= n) {
        out.Result = false;
        out.Faults.push_back({-1, TRouteFaultKind::NoStart});
    }
    if (m.FinishRail < 0 || m.FinishRail >= n) {
        out.Result = false;
        out.Faults.push_back({-1, TRouteFaultKind::NoFinish});
    }
    if (out.FaultRail >= 0) {
        const TRail& f = rails[static_cast<std::size_t>(out.FaultRail)];
        m.ViewX = (f.X1 + f.X2 - m.ViewWidth) / 2;
        m.ViewY = (f.Y1 + f.Y2 - m.ViewHeight) / 2;
    }
    return out;
}

} // namespace RouteOracle
