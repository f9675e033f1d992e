// Finding and moving element ends: the select tool drags an end, and every
// end joined to it at the same point, to a new place.
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <vector>

#include "model/Errors.h"
#include "model/TMap.h"

namespace {

/// Visits the ends of items from the highest index down, the second end of
/// each before its first, keeping the first nearest one met within reach of
/// view point (px, py).
/// With candidates (ascending, every element with an end near the point
/// among them, from the grid of ends) only those are visited, in the same order.
template <class T>
void NearestEnd(const TViewTransform& view, const std::vector<T>& items, bool isRail, std::int32_t px,
                std::int32_t py, double& best, std::optional<TElementEnd>& found,
                const std::vector<std::int32_t>* candidates)
{
    const auto visit = [&](std::size_t k) {
        const auto take = [&](std::int32_t x, std::int32_t y, std::uint8_t end) {
            const double d2 = view.ReachDistance2(x, y, px, py);
            if (d2 < 0 || (best >= 0 && d2 >= best)) return;
            best = d2;
            found = TElementEnd{isRail, static_cast<std::int32_t>(k), end};
        };
        take(items[k].X2, items[k].Y2, 2);
        take(items[k].X1, items[k].Y1, 1);
    };
    if (candidates) {
        for (auto k = candidates->rbegin(); k != candidates->rend(); ++k) visit(static_cast<std::size_t>(*k));
        return;
    }
    for (std::size_t k = items.size(); k-- > 0;) visit(k);
}

/// The nearest end of the map's elements within reach of view point (px,
/// py): rails before borders on equal distances. grid: ask the map's grid of
/// ends (the view must be the map's own).
std::optional<TElementEnd> NearestEnd(const TMap& map, const TViewTransform& view, std::int32_t px, std::int32_t py,
                                      bool grid)
{
    double best = -1;
    std::optional<TElementEnd> found;
    std::vector<std::int32_t> near;
    const TWorldRect around = grid ? view.AroundPoint(px, py) : TWorldRect{};
    if (grid) map.RailEndsNear(around.x1, around.y1, around.x2, around.y2, near);
    NearestEnd(view, map.Rails(), true, px, py, best, found, grid ? &near : nullptr);
    if (grid) map.BorderEndsNear(around.x1, around.y1, around.x2, around.y2, near);
    NearestEnd(view, map.Borders(), false, px, py, best, found, grid ? &near : nullptr);
    return found;
}

template <class T>
void EndsAtPoint(const std::vector<T>& items, bool isRail, TPoint p, std::vector<TElementEnd>& ends,
                 const std::vector<std::int32_t>* candidates)
{
    const auto visit = [&](std::size_t k) {
        const auto index = static_cast<std::int32_t>(k);
        if (items[k].X1 == p.x && items[k].Y1 == p.y) ends.push_back({isRail, index, 1});
        if (items[k].X2 == p.x && items[k].Y2 == p.y) ends.push_back({isRail, index, 2});
    };
    if (candidates) {
        for (const std::int32_t k : *candidates) visit(static_cast<std::size_t>(k));
        return;
    }
    for (std::size_t k = 0; k < items.size(); ++k) visit(k);
}

template <class T>
bool Names(const std::vector<T>& items, const TElementEnd& end)
{
    return end.Index >= 0 && static_cast<std::size_t>(end.Index) < items.size() && (end.End == 1 || end.End == 2);
}

} // namespace

std::optional<TElementEnd> TMap::EndNear(std::int32_t x, std::int32_t y) const
{
    // World units are the pixels of a view at scale 1 from the world's origin.
    return NearestEnd(*this, TViewTransform{}, x, y, false);
}

std::optional<TElementEnd> TMap::EndNearView(std::int32_t px, std::int32_t py) const
{
    return NearestEnd(*this, View(), px, py, UsesIndexNear(px, py));
}

std::vector<TElementEnd> TMap::EndsAt(TPoint p) const
{
    std::vector<TElementEnd> ends;
    // On a large map the grid of ends names every element with an end at p.
    const bool grid = BorderCount() + RailCount() >= IndexFrom;
    std::vector<std::int32_t> near;
    if (grid) BorderEndsNear(p.x, p.y, p.x, p.y, near);
    EndsAtPoint(borders_, false, p, ends, grid ? &near : nullptr);
    if (grid) RailEndsNear(p.x, p.y, p.x, p.y, near);
    EndsAtPoint(rails_, true, p, ends, grid ? &near : nullptr);
    return ends;
}

TPoint TMap::EndPoint(const TElementEnd& end) const
{
    const auto point = [&](const TLine& line) { return end.End == 1 ? TPoint{line.X1, line.Y1} : TPoint{line.X2, line.Y2}; };
    if (end.IsRail) return Names(rails_, end) ? point(rails_[static_cast<std::size_t>(end.Index)]) : TPoint{};
    return Names(borders_, end) ? point(borders_[static_cast<std::size_t>(end.Index)]) : TPoint{};
}

void TMap::MoveEnds(const std::vector<TElementEnd>& ends, TPoint p)
{
    bool moved = false;
    const auto move = [&](auto& items, const TElementEnd& end) {
        if (!Names(items, end)) return;
        auto line = items[static_cast<std::size_t>(end.Index)];
        (end.End == 1 ? line.X1 : line.X2) = p.x;
        (end.End == 1 ? line.Y1 : line.Y2) = p.y;
        const auto& old = items[static_cast<std::size_t>(end.Index)];
        if (SameEnds(line, old)) return;
        PutElement(items, end.Index, line);
        moved = true;
    };
    for (const TElementEnd& end : ends) {
        if (end.IsRail)
            move(rails_, end);
        else
            move(borders_, end);
    }
    if (!moved) return;
    Modified = true;
    Touch();
}
