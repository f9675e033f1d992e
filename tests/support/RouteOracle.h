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

inline bool Link(std::vector<TRail>& rails, std::int32_t i, std::int32_t j, bool secondSlot)
{
    TRail& ri = rails[static_cast<std::size_t>(i)];
    TRail& rj = rails[static_cast<std::size_t>(j)];
    if (secondSlot)
        ri.Next2 = j;
    else
        ri.Next1 = j;
    if (rj.Prev1 == -1) {
        rj.Prev1 = i;
        rj.Prev2 = i;
        return true;
    }
    if (rj.Prev1 == rj.Prev2) {
        const TRail& p = rails[static_cast<std::size_t>(rj.Prev1)];
        if (TurnAngle(rj, p) > TurnAngle(rj, ri))
            rj.Prev1 = i;
        else
            rj.Prev2 = i;
        return true;
    }
    return rj.Prev1 == i || rj.Prev2 == i;
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
    std::vector<TRail> rails = m.Rails();
    const std::int32_t n = m.RailCount();
    for (TRail& r : rails) r.Prev1 = r.Prev2 = -1;
    for (std::int32_t i = 0; i < n; ++i) {
        TRail& ri = rails[static_cast<std::size_t>(i)];
        ri.Next1 = ri.Next2 = -1;
        for (std::int32_t j = 0; j < n; ++j) {
            if (j == i) continue;
            const TRail& rj = rails[static_cast<std::size_t>(j)];
            if (ri.X2 != rj.X1 || ri.Y2 != rj.Y1) continue;
            const std::int32_t dot =
                Checked::Add(Checked::Mul(ri.DX(), rj.DX()), Checked::Mul(ri.DY(), rj.DY()));
            if (dot <= 0) continue;
            if (ri.Next1 == -1) {
                if (!Link(rails, i, j, false)) fault(j, TRouteFaultKind::ThirdPredecessor);
                if (!Link(rails, i, j, true)) fault(j, TRouteFaultKind::ThirdPredecessor);
            } else if (ri.Next1 != ri.Next2) {
                fault(i, TRouteFaultKind::ThirdSuccessor);
            } else {
                const TRail& rk = rails[static_cast<std::size_t>(ri.Next1)];
                const bool ok = TurnAngle(ri, rj) > TurnAngle(ri, rk) ? Link(rails, i, j, false) : Link(rails, i, j, true);
                if (!ok) fault(j, TRouteFaultKind::ThirdPredecessor);
            }
        }
        if (ri.Next1 == -1) fault(i, TRouteFaultKind::NoSuccessor);
    }
    for (std::int32_t i = 0; i < n; ++i)
        if (rails[static_cast<std::size_t>(i)].Prev1 == -1) fault(i, TRouteFaultKind::NoPredecessor);

    for (std::int32_t i = 0; i < n; ++i) m.SetRail(i, rails[static_cast<std::size_t>(i)]);

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
