#include "model/TMap.h"

#include <bit>
#include <cstdint>
#include <vector>

#include "model/Checked.h"
#include "model/Errors.h"

using Checked::Add;
using Checked::Sub;

namespace {

constexpr double PickRadius = 5.0;

struct TView {
    std::int32_t X, Y, Width, Height;
};

/// No end is left out of snapping.
struct TTakeEveryEnd {
    bool operator()(std::size_t, int) const { return false; }
};

/// Takes the ends of line that lie within the snap radius of (px, py); the
/// second end is tested after the first, both from the given point. skip(end)
/// leaves out end 1 or 2.
template <typename Skip>
void TakeNearEnds(const TLine& line, const TView view, const std::int32_t px, const std::int32_t py, TPoint& found,
                  bool& any, Skip skip)
{
    const TPoint first{Sub(line.X1, view.X), Sub(line.Y1, view.Y)};
    const TPoint second{Sub(line.X2, view.X), Sub(line.Y2, view.Y)};
    if (PointDistance(px, py, first.x, first.y) < PickRadius && !skip(1)) {
        found = first;
        any = true;
    }
    if (PointDistance(px, py, second.x, second.y) < PickRadius && !skip(2)) {
        found = second;
        any = true;
    }
}

/// Snaps to the ends of the first `count` elements in index order; the last
/// end within the radius wins. The quick rejection runs on batches of eight
/// with one overflow test per batch, which keeps the scan near memory speed.
template <typename T, typename Skip = TTakeEveryEnd>
void SnapToEnds(const std::vector<T>& items, std::size_t count, const TView view, const std::int32_t px,
                const std::int32_t py, TPoint& result, bool& snapped, Skip skip = {})
{
    constexpr std::size_t batch = 8;
    constexpr std::size_t prefetchAhead = 32;
    TPoint found = result;
    bool any = false;
    std::size_t i = 0;
    for (; i + batch <= count; i += batch) {
        // The hardware prefetcher alone leaves the scan waiting on memory.
        const std::uintptr_t ahead = reinterpret_cast<std::uintptr_t>(items.data() + i) + prefetchAhead * sizeof(T);
#if defined(__GNUC__) || defined(__clang__)
        for (std::size_t b = 0; b < batch * sizeof(T); b += 64)
            __builtin_prefetch(reinterpret_cast<const void*>(ahead + b));
#else
        (void)ahead;
#endif
        std::uint64_t overflow = 0;
        unsigned within = 0;
        for (std::size_t k = 0; k < batch; ++k)
            within |= unsigned{items[i + k].IsWithinView(view.X, view.Y, view.Width, view.Height, overflow)} << k;
        if (overflow >> 32) throw EIntOverflow();
        for (; within != 0; within &= within - 1) {
            const std::size_t k = i + static_cast<std::size_t>(std::countr_zero(within));
            TakeNearEnds(items[k], view, px, py, found, any, [&](int end) { return skip(k, end); });
        }
    }
    for (; i < count; ++i)
        if (!items[i].IsBeyondView(view.X, view.Y, view.Width, view.Height))
            TakeNearEnds(items[i], view, px, py, found, any, [&](int end) { return skip(i, end); });
    if (any) {
        result = found;
        snapped = true;
    }
}

/// SnapToEnds over the candidates (ascending) below count only: the others
/// have no end near the point, so the same end wins.
template <typename T>
void SnapToCandidates(const std::vector<T>& items, const std::vector<std::int32_t>& candidates, std::size_t count,
                      const TView view, const std::int32_t px, const std::int32_t py, TPoint& result, bool& snapped)
{
    TPoint found = result;
    bool any = false;
    for (const std::int32_t i : candidates) {
        const auto k = static_cast<std::size_t>(i);
        if (k >= count) break;
        if (!items[k].IsBeyondView(view.X, view.Y, view.Width, view.Height))
            TakeNearEnds(items[k], view, px, py, found, any, [](int) { return false; });
    }
    if (any) {
        result = found;
        snapped = true;
    }
}

/// The world rectangle around view point (px, py) that holds every point
/// closer than the pick radius. Only asked where the grid answers, whose
/// bounds on the view and the point keep these sums well inside 32 bits.
void AroundPoint(const TMap& map, std::int32_t px, std::int32_t py, std::int32_t& x1, std::int32_t& y1,
                 std::int32_t& x2, std::int32_t& y2)
{
    constexpr std::int32_t reach = 5;
    x1 = px + map.ViewX - reach;
    y1 = py + map.ViewY - reach;
    x2 = px + map.ViewX + reach;
    y2 = py + map.ViewY + reach;
}

/// Visits, in index order, the elements that may lie within the pick radius
/// of the point: those the grid names, or all count of them.
template <typename Near, typename Visit>
void VisitNear(bool grid, std::int32_t count, Near near, Visit visit)
{
    if (!grid) {
        for (std::int32_t i = 0; i < count; ++i) visit(i);
        return;
    }
    std::vector<std::int32_t> candidates;
    near(candidates);
    for (const std::int32_t i : candidates) visit(i);
}

} // namespace

void TMap::SelectAt(std::int32_t px, std::int32_t py)
{
    // The last element within the radius wins, rails before borders; on a
    // large map only those the grid names near the point can be within it.
    const bool grid = UsesIndexAt(px, py);
    std::int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    if (grid) AroundPoint(*this, px, py, x1, y1, x2, y2);
    SelectRail(-1);
    VisitNear(
        grid, RailCount(), [&](std::vector<std::int32_t>& out) { RailsNear(x1, y1, x2, y2, out); },
        [&](std::int32_t i) {
            if (Rails[static_cast<std::size_t>(i)].DistanceTo(px, py, ViewX, ViewY, ViewWidth, ViewHeight) <
                PickRadius)
                SelectRail(i);
        });
    SelectBorder(-1);
    if (SelRail >= 0) return;
    VisitNear(
        grid, BorderCount(), [&](std::vector<std::int32_t>& out) { BordersNear(x1, y1, x2, y2, out); },
        [&](std::int32_t i) {
            if (Borders[static_cast<std::size_t>(i)].DistanceTo(px, py, ViewX, ViewY, ViewWidth, ViewHeight) <
                PickRadius)
                SelectBorder(i);
        });
}

TPoint TMap::SnapPoint(std::int32_t px, std::int32_t py, std::uint8_t placing)
{
    bool snapped = false;
    return SnapPointEx(px, py, placing, snapped);
}

TPoint TMap::SnapPointEx(std::int32_t px, std::int32_t py, std::uint8_t placing, bool& snapped)
{
    snapped = false;
    TPoint result{px, py};
    // The element being placed is left out, so its second end never snaps to its own first end.
    std::size_t borderCandidates = Borders.size();
    if (placing == 1 && borderCandidates > 0) --borderCandidates;
    std::size_t railCandidates = Rails.size();
    if (placing == 2 && railCandidates > 0) --railCandidates;

    const TView view{ViewX, ViewY, ViewWidth, ViewHeight};
    if (UsesIndexAt(px, py)) {
        std::int32_t x1, y1, x2, y2;
        AroundPoint(*this, px, py, x1, y1, x2, y2);
        std::vector<std::int32_t> near;
        BordersNear(x1, y1, x2, y2, near);
        SnapToCandidates(Borders, near, borderCandidates, view, px, py, result, snapped);
        RailsNear(x1, y1, x2, y2, near);
        SnapToCandidates(Rails, near, railCandidates, view, px, py, result, snapped);
    } else {
        SnapToEnds(Borders, borderCandidates, view, px, py, result, snapped);
        SnapToEnds(Rails, railCandidates, view, px, py, result, snapped);
    }

    // With nothing of the placed kind left (deleted, or another map made current
    // while the button is held) there is nothing to move.
    bool moved = false;
    const auto moveSecondEnd = [&](auto& items) {
        auto line = items.back();
        line.X2 = Add(result.x, ViewX);
        line.Y2 = Add(result.y, ViewY);
        moved = line.X2 != items.back().X2 || line.Y2 != items.back().Y2;
        if (moved) PutElement(items, static_cast<std::int32_t>(items.size() - 1), line);
    };
    if (placing == 2 && !Rails.empty()) moveSecondEnd(Rails);
    if (placing == 1 && !Borders.empty()) moveSecondEnd(Borders);
    // Only the last element moved, which the grids leave out.
    if (moved) TouchLast();
    return result;
}

TPoint TMap::SnapMovingPoint(std::int32_t px, std::int32_t py, const std::vector<TElementEnd>& moving, bool& snapped)
{
    snapped = false;
    TPoint result{px, py};
    const TView view{ViewX, ViewY, ViewWidth, ViewHeight};
    const auto skip = [&](bool isRail) {
        return [&moving, isRail](std::size_t index, int end) {
            for (const TElementEnd& e : moving)
                if (e.IsRail == isRail && static_cast<std::size_t>(e.Index) == index && e.End == end) return true;
            return false;
        };
    };
    SnapToEnds(Borders, Borders.size(), view, px, py, result, snapped, skip(false));
    SnapToEnds(Rails, Rails.size(), view, px, py, result, snapped, skip(true));
    return result;
}
