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
bool Link(const std::vector<TRail>& rails, std::vector<TRailLinks>& links, std::int32_t rail, std::int32_t successor,
          bool secondSlot, bool trustSelf)
{
    TRailLinks& from = links[static_cast<std::size_t>(rail)];
    TRailLinks& to = links[static_cast<std::size_t>(successor)];
    const TRail& toRail = rails[static_cast<std::size_t>(successor)];
    (secondSlot ? from.Next2 : from.Next1) = successor;
    if (to.Prev1 == -1) {
        to.Prev1 = rail;
        to.Prev2 = rail;
        return true;
    }
    if (to.Prev1 == to.Prev2) {
        const std::int32_t p = to.Prev1;
        const bool rejoin = trustSelf && p == rail;
        if (!rejoin && TurnAngle(toRail, rails[static_cast<std::size_t>(p)]) >
                           TurnAngle(toRail, rails[static_cast<std::size_t>(rail)]))
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

} // namespace

bool TMap::LinkFirst(std::int32_t rail, std::int32_t successor)
{
    CheckLinkArguments(*this, rail, successor);
    // Links are drawn nowhere: no picture changes.
    NoteEdit<TRail>(TEditKind::Changed, rail, 1, TEditArea());
    NoteEdit<TRail>(TEditKind::Changed, successor, 1, TEditArea());
    AllocateLinks();
    return Link(rails_, links_, rail, successor, false, false);
}

bool TMap::LinkSecond(std::int32_t rail, std::int32_t successor)
{
    CheckLinkArguments(*this, rail, successor);
    // Links are drawn nowhere: no picture changes.
    NoteEdit<TRail>(TEditKind::Changed, rail, 1, TEditArea());
    NoteEdit<TRail>(TEditKind::Changed, successor, 1, TEditArea());
    AllocateLinks();
    return Link(rails_, links_, rail, successor, true, false);
}

TPoint CentredOrigin(const TLine& line, std::int32_t extentX, std::int32_t extentY)
{
    return {Sub(Add(line.X1, line.X2), extentX) / 2, Sub(Add(line.Y1, line.Y2), extentY) / 2};
}

bool TMap::CheckRoutes(std::int32_t& faultRail, std::vector<TRouteFault>* faults)
{
    if (!faults) return CheckRoutes(faultRail, TRouteFaultSink());
    return CheckRoutes(faultRail, [faults](const TRouteFault& fault) { faults->push_back(fault); });
}

bool TMap::CheckRoutes(std::int32_t& faultRail, const TRouteFaultSink& sink)
{
    faultRail = -1;
    TRouteFaultList found;
    const auto fault = [&](std::int32_t rail, TRouteFaultKind kind, bool setsFaultRail = true) {
        const TRouteFault f{rail, kind};
        if (setsFaultRail) {
            faultRail = rail;
            found.Reported = f;
        } else {
            found.WholeMap.push_back(f);
        }
        if (found.Listed.size() < KeptRouteFaults) found.Listed.push_back(f);
        ++found.Total;
        if (sink) sink(f);
    };

    Normalize();
    const std::int32_t n = RailCount();
    if (std::uint64_t{nextRailId_} + static_cast<std::uint64_t>(n) - 1 > RouteIdLimit) {
        history_.ForgetRouteIds();
        nextRailId_ = 1;
    }
    found.FirstRailId = nextRailId_;
    // Every rail gets new links and a new id; noted first, as a fault sink
    // may stop the check part-way.
    if (n > 0) NoteEdit<TRail>(TEditKind::Changed, 0, n, TEditArea());
    AllocateLinks();
    for (std::int32_t i = 0; i < n; ++i) {
        TRailLinks& links = links_[static_cast<std::size_t>(i)];
        links.Prev1 = -1;
        links.Prev2 = -1;
        links.RouteId = found.RailId(i);
    }
    nextRailId_ += static_cast<std::uint32_t>(n);

    routeIndex_.Build(rails_);
    for (std::int32_t i = 0; i < n; ++i) {
        const TRail& ri = rails_[static_cast<std::size_t>(i)];
        TRailLinks& li = links_[static_cast<std::size_t>(i)];
        li.Next1 = -1;
        li.Next2 = -1;
        // Every rail that starts where ri ends and passes the direction test,
        // in ascending index, as a visit of every rail would meet them.
        routeIndex_.ForEachSuccessor(rails_, i, [&](std::int32_t j) {
            const TRail& rj = rails_[static_cast<std::size_t>(j)];
            if (li.Next1 == -1) {
                if (!Link(rails_, links_, i, j, false, true)) fault(j, TRouteFaultKind::ThirdPredecessor);
                if (!Link(rails_, links_, i, j, true, true)) fault(j, TRouteFaultKind::ThirdPredecessor);
            } else if (li.Next1 != li.Next2) {
                fault(i, TRouteFaultKind::ThirdSuccessor);
            } else {
                const TRail& rk = rails_[static_cast<std::size_t>(li.Next1)];
                const bool first = TurnAngle(ri, rj) > TurnAngle(ri, rk);
                if (!Link(rails_, links_, i, j, !first, true)) fault(j, TRouteFaultKind::ThirdPredecessor);
            }
        });
        if (li.Next1 == -1) fault(i, TRouteFaultKind::NoSuccessor);
    }

    for (std::int32_t i = 0; i < n; ++i)
        if (links_[static_cast<std::size_t>(i)].Prev1 == -1) fault(i, TRouteFaultKind::NoPredecessor);

    if (StartRail < 0 || StartRail >= n) fault(-1, TRouteFaultKind::NoStart, false);
    if (FinishRail < 0 || FinishRail >= n) fault(-1, TRouteFaultKind::NoFinish, false);

    if (faultRail >= 0) {
        const TPoint origin = CentredOrigin(rails_[static_cast<std::size_t>(faultRail)], ViewExtentX(), ViewExtentY());
        ViewX = origin.x;
        ViewY = origin.y;
    }
    Touch();
    ++faultsRevision_;
    const bool valid = found.Total == 0;
    lastFaults_ = std::move(found);
    return valid;
}

std::int32_t TMap::RailWithRouteId(std::uint32_t id) const
{
    if (id == 0) return -1;
    // The rail is usually still where the last check saw it.
    if (lastFaults_) {
        const std::uint32_t seen = id - lastFaults_->FirstRailId;
        if (seen < links_.size() && links_[seen].RouteId == id) return static_cast<std::int32_t>(seen);
    }
    for (std::size_t i = 0; i < links_.size(); ++i)
        if (links_[i].RouteId == id) return static_cast<std::int32_t>(i);
    return -1;
}
