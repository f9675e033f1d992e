// Picking and snapping: which element or end lies within reach of a view
// point, by the rules of the map's view transform.
#include "model/TMap.h"

#include <cstdint>
#include <vector>

namespace {

/// Calls visit(k), in index order, for each of the first count items that
/// the view shows and that may lie within reach of the point: those among the
/// candidates (ascending; the others cannot) when given, else all.
template <typename T, typename Visit>
void VisitNear(const TViewTransform& view, const std::vector<T>& items, std::size_t count,
               const std::vector<std::int32_t>* candidates, Visit visit)
{
    if (candidates)
        view.VisitShown(items.data(), std::span<const std::int32_t>(*candidates), count, visit);
    else
        view.VisitShown(items.data(), count, visit);
}

/// What a snap search has found so far: the world point of the last end taken.
struct TFound {
    TPoint World;
    bool Any = false;
};

/// The snap search over one kind of element: the ends of the first count
/// items within reach of view point (px, py) in index order (only the
/// candidates, ascending, when given; the others have no end near the point),
/// an end that skip(index, end) names left out; the last one found wins, each
/// end measured from the point. found changes only once the kind has been
/// searched, so an overflow raised part-way leaves it as it was.
template <typename T, typename Skip>
void SnapToEnds(const TViewTransform& view, const std::vector<T>& items, std::size_t count,
                const std::vector<std::int32_t>* candidates, std::int32_t px, std::int32_t py, Skip skip, TFound& found)
{
    TFound last = found;
    VisitNear(view, items, count, candidates, [&](std::size_t k) {
        const T& line = items[k];
        if (view.WithinReach(line.X1, line.Y1, px, py) && !skip(k, 1)) last = {{line.X1, line.Y1}, true};
        if (view.WithinReach(line.X2, line.Y2, px, py) && !skip(k, 2)) last = {{line.X2, line.Y2}, true};
    });
    found = last;
}

} // namespace

void TMap::SetView(const TViewTransform& view)
{
    ViewX = view.X;
    ViewY = view.Y;
    ViewWidth = view.Width;
    ViewHeight = view.Height;
    Zoom = view.Zoom;
}

void TMap::SelectAt(std::int32_t px, std::int32_t py)
{
    // The last element within reach wins, rails before borders; on a large
    // map only those the grid names near the point can be within it.
    const TViewTransform view = View();
    const bool grid = UsesIndexNear(px, py);
    const TWorldRect around = grid ? view.AroundPoint(px, py) : TWorldRect{};
    std::vector<std::int32_t> near;
    const std::vector<std::int32_t>* candidates = grid ? &near : nullptr;
    SelectRail(-1);
    if (grid) RailsNear(around.x1, around.y1, around.x2, around.y2, near);
    VisitNear(view, rails_, rails_.size(), candidates, [&](std::size_t k) {
        if (view.Distance(rails_[k], px, py) < TViewTransform::Reach) SelectRail(static_cast<std::int32_t>(k));
    });
    SelectBorder(-1);
    if (SelRail >= 0) return;
    if (grid) BordersNear(around.x1, around.y1, around.x2, around.y2, near);
    VisitNear(view, borders_, borders_.size(), candidates, [&](std::size_t k) {
        if (view.Distance(borders_[k], px, py) < TViewTransform::Reach) SelectBorder(static_cast<std::int32_t>(k));
    });
}

TPoint TMap::SnapPoint(std::int32_t px, std::int32_t py, std::uint8_t placing)
{
    bool snapped = false;
    return SnapPointEx(px, py, placing, snapped);
}

TPoint TMap::SnapSearch(std::int32_t px, std::int32_t py, const TSnapOptions& options, bool& snapped)
{
    snapped = false;
    const TViewTransform view = View();
    const auto skip = [this, &options](bool isRail) {
        return [this, &options, isRail](std::size_t index, int end) {
            if (options.SkipSelected && (isRail ? rails_[index].Selected : borders_[index].Selected)) return true;
            if (!options.Moving) return false;
            for (const TElementEnd& e : *options.Moving)
                if (e.IsRail == isRail && static_cast<std::size_t>(e.Index) == index && e.End == end) return true;
            return false;
        };
    };
    std::vector<std::int32_t> near;
    const std::vector<std::int32_t>* candidates = options.Grid ? &near : nullptr;
    const TWorldRect around = options.Grid ? view.AroundPoint(px, py) : TWorldRect{};
    TFound found;
    if (options.Grid) BorderEndsNear(around.x1, around.y1, around.x2, around.y2, near);
    SnapToEnds(view, borders_, options.Borders, candidates, px, py, skip(false), found);
    snapped = found.Any;
    if (options.Grid) RailEndsNear(around.x1, around.y1, around.x2, around.y2, near);
    SnapToEnds(view, rails_, options.Rails, candidates, px, py, skip(true), found);
    snapped = found.Any;
    snappedWorld_ = found.Any ? TWidePoint{found.World.x, found.World.y} : view.WideWorld(px, py);
    return found.Any ? view.ToView(found.World.x, found.World.y) : TPoint{px, py};
}

TPoint TMap::SnapPointEx(std::int32_t px, std::int32_t py, std::uint8_t placing, bool& snapped)
{
    // The element being placed is left out, so its second end never snaps to its own first end.
    TSnapOptions options{borders_.size(), rails_.size(), UsesIndexNear(px, py), nullptr};
    if (placing == 1 && options.Borders > 0) --options.Borders;
    if (placing == 2 && options.Rails > 0) --options.Rails;
    const TPoint result = SnapSearch(px, py, options, snapped);

    // With nothing of the placed kind left (deleted, or another map made current
    // while the button is held) there is nothing to move.
    bool moved = false;
    const auto moveSecondEnd = [&](auto& items) {
        auto line = items.back();
        const TPoint end = SnappedWorldPoint();
        line.X2 = end.x;
        line.Y2 = end.y;
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
    return SnapSearch(px, py, {borders_.size(), rails_.size(), false, &moving}, snapped);
}

TPoint TMap::SnapWorldPoint(std::int32_t x, std::int32_t y)
{
    const TPoint p = View().ToView(x, y);
    bool snapped = false;
    SnapPointEx(p.x, p.y, 0, snapped);
    return snapped ? SnappedWorldPoint() : TPoint{x, y};
}
