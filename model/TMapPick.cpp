#include "model/TMap.h"

#include <bit>
#include <cmath>
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
    if (map.Zoom.IsOne()) {
        constexpr std::int32_t reach = 5;
        x1 = px + map.ViewX - reach;
        y1 = py + map.ViewY - reach;
        x2 = px + map.ViewX + reach;
        y2 = py + map.ViewY + reach;
        return;
    }
    // The mouse's world point lies within a unit above the pixel's; the reach
    // is 5 / scale units.
    const TPoint p = map.ViewToWorld(px, py);
    const std::int32_t reach = map.Zoom.Extent(5) + 2;
    x1 = p.x - reach;
    y1 = p.y - reach;
    x2 = p.x + reach;
    y2 = p.y + reach;
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


/// Scaled views: distances in pixels between the mouse and an element at the
/// view's scale, in floating point so no element can overflow them; the
/// element's pixels are not rounded, so the reach is exactly 5 / scale units.
struct TScaledView {
    const TMap& Map;
    double Scale;
    std::int64_t SpanX, SpanY;

    explicit TScaledView(const TMap& map)
        : Map(map), Scale(map.Zoom.Scale()), SpanX(map.Zoom.Span(map.ViewWidth)), SpanY(map.Zoom.Span(map.ViewHeight))
    {
    }
    double PixelX(std::int32_t x) const { return (double(x) - Map.ViewX) * Scale; }
    double PixelY(std::int32_t y) const { return (double(y) - Map.ViewY) * Scale; }
    /// Both ends of the line lie beyond one edge of the view, as its pixels would.
    bool Hides(const TLine& line) const
    {
        const std::int64_t x1 = std::int64_t{line.X1} - Map.ViewX, x2 = std::int64_t{line.X2} - Map.ViewX;
        const std::int64_t y1 = std::int64_t{line.Y1} - Map.ViewY, y2 = std::int64_t{line.Y2} - Map.ViewY;
        return (x1 < 0 && x2 < 0) || (x1 > SpanX && x2 > SpanX) || (y1 < 0 && y2 < 0) || (y1 > SpanY && y2 > SpanY);
    }
    double EndDistance(std::int32_t x, std::int32_t y, std::int32_t px, std::int32_t py) const
    {
        const double dx = PixelX(x) - px, dy = PixelY(y) - py;
        if (std::fabs(dx) >= PickRadius || std::fabs(dy) >= PickRadius) return FarDistance;
        return std::hypot(dx, dy);
    }
    /// The distance from (px, py) to the segment, as the unscaled picking measures it.
    double LineDistance(const TLine& line, std::int32_t px, std::int32_t py) const
    {
        if (Hides(line)) return FarDistance;
        const double x1 = PixelX(line.X1), y1 = PixelY(line.Y1), x2 = PixelX(line.X2), y2 = PixelY(line.Y2);
        const double a1 = x1 - px, b1 = y1 - py, a2 = x2 - px, b2 = y2 - py;
        if ((x1 - x2) * a1 + (y1 - y2) * b1 <= 0) return std::hypot(a1, b1);
        if ((x2 - x1) * a2 + (y2 - y1) * b2 <= 0) return std::hypot(a2, b2);
        return std::fabs(a1 * b2 - b1 * a2) / std::hypot(x2 - x1, y2 - y1);
    }
    /// The view point where a world point is drawn.
    TPoint ViewPoint(std::int32_t x, std::int32_t y) const
    {
        return {Checked::Saturated(Map.Zoom.ToPixels(std::int64_t{x} - Map.ViewX)),
                Checked::Saturated(Map.Zoom.ToPixels(std::int64_t{y} - Map.ViewY))};
    }
};

/// Snapping at a scale: the ends of the first count elements closer than the
/// reach, in index order, the last one found winning; the world end is kept.
template <typename T, typename Skip = TTakeEveryEnd>
void SnapScaled(const TScaledView& view, const std::vector<T>& items, std::size_t count, const std::vector<std::int32_t>* candidates,
                std::int32_t px, std::int32_t py, TPoint& world, bool& snapped, Skip skip = {})
{
    const auto visit = [&](std::size_t k) {
        const T& line = items[k];
        if (view.Hides(line)) return;
        if (view.EndDistance(line.X1, line.Y1, px, py) < PickRadius && !skip(k, 1)) {
            world = {line.X1, line.Y1};
            snapped = true;
        }
        if (view.EndDistance(line.X2, line.Y2, px, py) < PickRadius && !skip(k, 2)) {
            world = {line.X2, line.Y2};
            snapped = true;
        }
    };
    if (!candidates) {
        for (std::size_t k = 0; k < count; ++k) visit(k);
        return;
    }
    for (const std::int32_t i : *candidates) {
        if (static_cast<std::size_t>(i) >= count) break;
        visit(static_cast<std::size_t>(i));
    }
}

} // namespace

void TMap::SelectAt(std::int32_t px, std::int32_t py)
{
    // The last element within the radius wins, rails before borders; on a
    // large map only those the grid names near the point can be within it.
    const bool grid = Zoom.IsOne() ? UsesIndexAt(px, py) : UsesIndexNear(px, py);
    std::int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    if (grid) AroundPoint(*this, px, py, x1, y1, x2, y2);
    const TScaledView scaled(*this);
    const auto distance = [&](const TLine& line) {
        return Zoom.IsOne() ? line.DistanceTo(px, py, ViewX, ViewY, ViewWidth, ViewHeight)
                            : scaled.LineDistance(line, px, py);
    };
    SelectRail(-1);
    VisitNear(
        grid, RailCount(), [&](std::vector<std::int32_t>& out) { RailsNear(x1, y1, x2, y2, out); },
        [&](std::int32_t i) {
            if (distance(rails_[static_cast<std::size_t>(i)]) < PickRadius) SelectRail(i);
        });
    SelectBorder(-1);
    if (SelRail >= 0) return;
    VisitNear(
        grid, BorderCount(), [&](std::vector<std::int32_t>& out) { BordersNear(x1, y1, x2, y2, out); },
        [&](std::int32_t i) {
            if (distance(borders_[static_cast<std::size_t>(i)]) < PickRadius) SelectBorder(i);
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
    std::size_t borderCandidates = borders_.size();
    if (placing == 1 && borderCandidates > 0) --borderCandidates;
    std::size_t railCandidates = rails_.size();
    if (placing == 2 && railCandidates > 0) --railCandidates;

    const TView view{ViewX, ViewY, ViewWidth, ViewHeight};
    if (!Zoom.IsOne()) {
        result = SnapScaledPoint(px, py, borderCandidates, railCandidates, snapped);
    } else if (UsesIndexAt(px, py)) {
        std::int32_t x1, y1, x2, y2;
        AroundPoint(*this, px, py, x1, y1, x2, y2);
        std::vector<std::int32_t> near;
        BorderEndsNear(x1, y1, x2, y2, near);
        SnapToCandidates(borders_, near, borderCandidates, view, px, py, result, snapped);
        RailEndsNear(x1, y1, x2, y2, near);
        SnapToCandidates(rails_, near, railCandidates, view, px, py, result, snapped);
    } else {
        SnapToEnds(borders_, borderCandidates, view, px, py, result, snapped);
        SnapToEnds(rails_, railCandidates, view, px, py, result, snapped);
    }
    if (Zoom.IsOne())
        snappedWorld_ = {Checked::Saturated(std::int64_t{result.x} + ViewX),
                         Checked::Saturated(std::int64_t{result.y} + ViewY)};

    // With nothing of the placed kind left (deleted, or another map made current
    // while the button is held) there is nothing to move.
    bool moved = false;
    const auto moveSecondEnd = [&](auto& items) {
        auto line = items.back();
        if (Zoom.IsOne()) {
            line.X2 = Add(result.x, ViewX);
            line.Y2 = Add(result.y, ViewY);
        } else {
            line.X2 = snappedWorld_.x;
            line.Y2 = snappedWorld_.y;
        }
        moved = line.X2 != items.back().X2 || line.Y2 != items.back().Y2;
        if (moved) PutElement(items, static_cast<std::int32_t>(items.size() - 1), line);
    };
    if (placing == 2 && !rails_.empty()) moveSecondEnd(rails_);
    if (placing == 1 && !borders_.empty()) moveSecondEnd(borders_);
    // Only the last element moved, which the grids leave out. Placing an
    // element made the map modified at the press, unless it was saved since:
    // then this move is what the file lacks.
    if (moved) {
        if (history_.SavedInStep()) Modified = true;
        TouchLast();
    }
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
    if (!Zoom.IsOne()) {
        const TScaledView scaled(*this);
        snappedWorld_ = ViewToWorld(px, py);
        SnapScaled(scaled, borders_, borders_.size(), nullptr, px, py, snappedWorld_, snapped, skip(false));
        SnapScaled(scaled, rails_, rails_.size(), nullptr, px, py, snappedWorld_, snapped, skip(true));
        return snapped ? scaled.ViewPoint(snappedWorld_.x, snappedWorld_.y) : result;
    }
    SnapToEnds(borders_, borders_.size(), view, px, py, result, snapped, skip(false));
    SnapToEnds(rails_, rails_.size(), view, px, py, result, snapped, skip(true));
    snappedWorld_ = {Checked::Saturated(std::int64_t{result.x} + ViewX), Checked::Saturated(std::int64_t{result.y} + ViewY)};
    return result;
}

TPoint TMap::SnapScaledPoint(std::int32_t px, std::int32_t py, std::size_t borders, std::size_t rails, bool& snapped)
{
    const TScaledView scaled(*this);
    snappedWorld_ = ViewToWorld(px, py);
    if (UsesIndexNear(px, py)) {
        std::int32_t x1, y1, x2, y2;
        AroundPoint(*this, px, py, x1, y1, x2, y2);
        std::vector<std::int32_t> near;
        BorderEndsNear(x1, y1, x2, y2, near);
        SnapScaled(scaled, borders_, borders, &near, px, py, snappedWorld_, snapped);
        RailEndsNear(x1, y1, x2, y2, near);
        SnapScaled(scaled, rails_, rails, &near, px, py, snappedWorld_, snapped);
    } else {
        SnapScaled(scaled, borders_, borders, nullptr, px, py, snappedWorld_, snapped);
        SnapScaled(scaled, rails_, rails, nullptr, px, py, snappedWorld_, snapped);
    }
    return snapped ? scaled.ViewPoint(snappedWorld_.x, snappedWorld_.y) : TPoint{px, py};
}

TPoint TMap::ViewToWorld(std::int32_t px, std::int32_t py) const
{
    return {Checked::Saturated(ViewX + Zoom.ToWorld(px)), Checked::Saturated(ViewY + Zoom.ToWorld(py))};
}
