// Finding and moving element ends: the select tool drags an end, and every
// end joined to it at the same point, to a new place.
#include <cstdint>
#include <cstdlib>

#include "model/Errors.h"
#include "model/TMap.h"

namespace {

/// Squared distance from (x, y) to (ex, ey) when it is below 25 (closer than 5
/// units), else -1; wide arithmetic, so far-off ends can never overflow.
std::int64_t NearDistance2(std::int32_t ex, std::int32_t ey, std::int32_t x, std::int32_t y)
{
    const std::int64_t dx = std::int64_t{ex} - x;
    const std::int64_t dy = std::int64_t{ey} - y;
    if (dx <= -5 || dx >= 5 || dy <= -5 || dy >= 5) return -1;
    const std::int64_t d2 = dx * dx + dy * dy;
    return d2 < 25 ? d2 : -1;
}

/// Visits the ends of items from the highest index down, the second end of
/// each before its first, keeping the first nearest one met.
template <class T>
void NearestEnd(const std::vector<T>& items, bool isRail, std::int32_t x, std::int32_t y, std::int64_t& best,
                std::optional<TElementEnd>& found)
{
    for (std::size_t k = items.size(); k-- > 0;) {
        const T& item = items[k];
        const std::int64_t second = NearDistance2(item.X2, item.Y2, x, y);
        if (second >= 0 && (best < 0 || second < best)) {
            best = second;
            found = TElementEnd{isRail, static_cast<std::int32_t>(k), 2};
        }
        const std::int64_t first = NearDistance2(item.X1, item.Y1, x, y);
        if (first >= 0 && (best < 0 || first < best)) {
            best = first;
            found = TElementEnd{isRail, static_cast<std::int32_t>(k), 1};
        }
    }
}

/// NearestEnd at the view's scale: distances in pixels from the view point
/// (px, py), closer than 5.
template <class T>
void NearestEndInView(const TMap& map, const std::vector<T>& items, bool isRail, std::int32_t px, std::int32_t py,
                      double& best, std::optional<TElementEnd>& found)
{
    const double scale = map.Zoom.Scale();
    const auto distance2 = [&](std::int32_t ex, std::int32_t ey) {
        const double dx = (double(ex) - map.ViewX) * scale - px;
        const double dy = (double(ey) - map.ViewY) * scale - py;
        const double d2 = dx * dx + dy * dy;
        return d2 < 25 ? d2 : -1.0;
    };
    for (std::size_t k = items.size(); k-- > 0;) {
        const T& item = items[k];
        const double second = distance2(item.X2, item.Y2);
        if (second >= 0 && (best < 0 || second < best)) {
            best = second;
            found = TElementEnd{isRail, static_cast<std::int32_t>(k), 2};
        }
        const double first = distance2(item.X1, item.Y1);
        if (first >= 0 && (best < 0 || first < best)) {
            best = first;
            found = TElementEnd{isRail, static_cast<std::int32_t>(k), 1};
        }
    }
}

template <class T>
void EndsAtPoint(const std::vector<T>& items, bool isRail, TPoint p, std::vector<TElementEnd>& ends)
{
    for (std::size_t k = 0; k < items.size(); ++k) {
        const auto index = static_cast<std::int32_t>(k);
        if (items[k].X1 == p.x && items[k].Y1 == p.y) ends.push_back({isRail, index, 1});
        if (items[k].X2 == p.x && items[k].Y2 == p.y) ends.push_back({isRail, index, 2});
    }
}

template <class T>
bool Names(const std::vector<T>& items, const TElementEnd& end)
{
    return end.Index >= 0 && static_cast<std::size_t>(end.Index) < items.size() && (end.End == 1 || end.End == 2);
}

} // namespace

std::optional<TElementEnd> TMap::EndNear(std::int32_t x, std::int32_t y) const
{
    std::int64_t best = -1;
    std::optional<TElementEnd> found;
    NearestEnd(rails_, true, x, y, best, found);
    NearestEnd(borders_, false, x, y, best, found);
    return found;
}

std::optional<TElementEnd> TMap::EndNearView(std::int32_t px, std::int32_t py) const
{
    double best = -1;
    std::optional<TElementEnd> found;
    NearestEndInView(*this, rails_, true, px, py, best, found);
    NearestEndInView(*this, borders_, false, px, py, best, found);
    return found;
}

std::vector<TElementEnd> TMap::EndsAt(TPoint p) const
{
    std::vector<TElementEnd> ends;
    EndsAtPoint(borders_, false, p, ends);
    EndsAtPoint(rails_, true, p, ends);
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
        if (line.X1 == old.X1 && line.Y1 == old.Y1 && line.X2 == old.X2 && line.Y2 == old.Y2) return;
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
