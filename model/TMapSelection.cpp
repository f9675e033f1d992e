// Selecting many elements at once, and what the buttons, the keys and the
// mouse do to such a selection.
#include <algorithm>

#include "model/Checked.h"
#include "model/TMap.h"

namespace {

template <class T>
bool Names(const std::vector<T>& items, std::int32_t index)
{
    return index >= 0 && static_cast<std::size_t>(index) < items.size();
}

template <class T>
std::int32_t LowestSelected(const std::vector<T>& items, std::size_t from = 0)
{
    for (std::size_t k = from; k < items.size(); ++k)
        if (items[k].Selected) return static_cast<std::int32_t>(k);
    return -1;
}

bool Inside(const TLine& line, const TWorldRect& box)
{
    const auto in = [&](std::int32_t x, std::int32_t y) { return x >= box.x1 && x <= box.x2 && y >= box.y1 && y <= box.y2; };
    return in(line.X1, line.Y1) && in(line.X2, line.Y2);
}

template <class T>
void TakeBox(const std::vector<T>& items, std::optional<TWorldRect>& box)
{
    for (const T& line : items) {
        if (!line.Selected) continue;
        if (!box) box = TWorldRect{line.X1, line.Y1, line.X1, line.Y1};
        box->x1 = std::min({box->x1, line.X1, line.X2});
        box->y1 = std::min({box->y1, line.Y1, line.Y2});
        box->x2 = std::max({box->x2, line.X1, line.X2});
        box->y2 = std::max({box->y2, line.Y1, line.Y2});
    }
}

/// The part of a move of d along one axis that keeps [low, high] inside the
/// world, or at least no further out than it already is.
std::int32_t ClampMove(std::int32_t d, std::int32_t low, std::int32_t high)
{
    const std::int64_t least = std::min<std::int64_t>(0, -static_cast<std::int64_t>(low));
    const std::int64_t most = std::max<std::int64_t>(0, static_cast<std::int64_t>(WorldSize) - high);
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(d, least, most));
}

} // namespace

std::optional<TElementRef> TMap::PickAt(std::int32_t px, std::int32_t py) const
{
    // The rule of SelectAt: the last rail within reach, else the last border.
    const TViewTransform view = View();
    const bool grid = UsesIndexNear(px, py);
    const TWorldRect around = grid ? view.AroundPoint(px, py) : TWorldRect{};
    std::vector<std::int32_t> near;
    std::optional<TElementRef> found;
    const auto pick = [&](const auto& items, bool isRail) {
        if (grid) {
            if (isRail)
                RailsNear(around.x1, around.y1, around.x2, around.y2, near);
            else
                BordersNear(around.x1, around.y1, around.x2, around.y2, near);
            view.VisitShown(items.data(), std::span<const std::int32_t>(near), items.size(), [&](std::size_t k) {
                if (view.Distance(items[k], px, py) < TViewTransform::Reach) found = TElementRef{isRail, static_cast<std::int32_t>(k)};
            });
        } else {
            view.VisitShown(items.data(), items.size(), [&](std::size_t k) {
                if (view.Distance(items[k], px, py) < TViewTransform::Reach) found = TElementRef{isRail, static_cast<std::int32_t>(k)};
            });
        }
    };
    pick(rails_, true);
    if (!found) pick(borders_, false);
    return found;
}

bool TMap::IsSelected(const TElementRef& element) const
{
    if (element.IsRail) return Names(rails_, element.Index) && rails_[static_cast<std::size_t>(element.Index)].Selected;
    return Names(borders_, element.Index) && borders_[static_cast<std::size_t>(element.Index)].Selected;
}

void TMap::EndManySelected()
{
    many_ = false;
    TNoteBatch rails, borders;
    for (std::size_t k = 0; k < rails_.size(); ++k) FlagSelected(rails_, static_cast<std::int32_t>(k), false, &rails);
    for (std::size_t k = 0; k < borders_.size(); ++k)
        FlagSelected(borders_, static_cast<std::int32_t>(k), false, &borders);
    NoteBatch<TRail>(TEditKind::Flagged, rails);
    NoteBatch<TBorder>(TEditKind::Flagged, borders);
    SelRail = -1;
    SelBorder = -1;
    Touch();
}

void TMap::FollowSelectionMarks(bool railMarkLost, bool borderMarkLost)
{
    if (!many_) return;
    if (railMarkLost) SelRail = LowestSelected(rails_);
    if (borderMarkLost) SelBorder = LowestSelected(borders_);
}

template <class T>
void TMap::SelectWhere(std::vector<T>& items, std::int32_t& mark, const std::function<bool(const T&)>& selected)
{
    TNoteBatch batch;
    for (std::size_t k = 0; k < items.size(); ++k)
        if (selected(items[k])) FlagSelected(items, static_cast<std::int32_t>(k), true, &batch);
    NoteBatch<T>(TEditKind::Flagged, batch);
    mark = LowestSelected(items);
}

void TMap::SelectBand(TPoint a, TPoint b, bool add)
{
    const TWorldRect box{std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)};
    if (!add) ClearSelection();
    // Switched on first: selecting one element on the way must not end it.
    many_ = true;
    if (BorderCount() + RailCount() >= IndexFrom) {
        // Only the elements the grid names with an end in the box can have both there.
        std::vector<std::int32_t> near;
        TNoteBatch rails, borders;
        RailEndsNear(box.x1, box.y1, box.x2, box.y2, near);
        for (const std::int32_t k : near)
            if (Inside(rails_[static_cast<std::size_t>(k)], box)) FlagSelected(rails_, k, true, &rails);
        BorderEndsNear(box.x1, box.y1, box.x2, box.y2, near);
        for (const std::int32_t k : near)
            if (Inside(borders_[static_cast<std::size_t>(k)], box)) FlagSelected(borders_, k, true, &borders);
        NoteBatch<TRail>(TEditKind::Flagged, rails);
        NoteBatch<TBorder>(TEditKind::Flagged, borders);
        SelRail = LowestSelected(rails_);
        SelBorder = LowestSelected(borders_);
    } else {
        SelectWhere<TRail>(rails_, SelRail, [&](const TRail& r) { return Inside(r, box); });
        SelectWhere<TBorder>(borders_, SelBorder, [&](const TBorder& b) { return Inside(b, box); });
    }
    Touch();
}

void TMap::ToggleSelected(const TElementRef& element)
{
    if (element.IsRail ? !Names(rails_, element.Index) : !Names(borders_, element.Index)) return;
    many_ = true;
    const bool selected = !IsSelected(element);
    if (element.IsRail) {
        FlagSelected(rails_, element.Index, selected);
        SelRail = LowestSelected(rails_);
    } else {
        FlagSelected(borders_, element.Index, selected);
        SelBorder = LowestSelected(borders_);
    }
    Touch();
}

void TMap::SelectAll()
{
    many_ = true;
    SelectWhere<TRail>(rails_, SelRail, [](const TRail&) { return true; });
    SelectWhere<TBorder>(borders_, SelBorder, [](const TBorder&) { return true; });
    Touch();
}

void TMap::ClearSelection()
{
    if (many_) {
        EndManySelected();
        return;
    }
    SelectRail(-1);
    SelectBorder(-1);
}

std::int32_t TMap::SelectedCount() const
{
    const auto count = [](const auto& items) {
        return static_cast<std::int32_t>(std::count_if(items.begin(), items.end(), [](const TLine& l) { return l.Selected; }));
    };
    return count(rails_) + count(borders_);
}

std::vector<TRail> TMap::SelectedRails() const
{
    std::vector<TRail> out;
    std::copy_if(rails_.begin(), rails_.end(), std::back_inserter(out), [](const TRail& r) { return r.Selected; });
    return out;
}

std::vector<TBorder> TMap::SelectedBorders() const
{
    std::vector<TBorder> out;
    std::copy_if(borders_.begin(), borders_.end(), std::back_inserter(out), [](const TBorder& b) { return b.Selected; });
    return out;
}

std::optional<TWorldRect> TMap::SelectionBox() const
{
    std::optional<TWorldRect> box;
    TakeBox(rails_, box);
    TakeBox(borders_, box);
    return box;
}

void TMap::ReverseSelected()
{
    if (!many_) {
        ReverseRail(SelRail);
        CycleBorderKind(SelBorder);
        return;
    }
    for (std::size_t k = 0; k < rails_.size(); ++k)
        if (rails_[k].Selected) ReverseRail(static_cast<std::int32_t>(k));
    for (std::size_t k = 0; k < borders_.size(); ++k)
        if (borders_[k].Selected) CycleBorderKind(static_cast<std::int32_t>(k));
}

void TMap::RecolorSelected(TColor color)
{
    if (!many_) {
        SetBorderColor(SelBorder, color);
        return;
    }
    for (std::size_t k = 0; k < borders_.size(); ++k)
        if (borders_[k].Selected) SetBorderColor(static_cast<std::int32_t>(k), color);
}

template <class T>
void TMap::ShiftSelected(std::vector<T>& items, const std::vector<std::int32_t>& selected, std::int32_t dx,
                         std::int32_t dy)
{
    TNoteBatch batch;
    for (const std::int32_t k : selected) {
        T moved = items[static_cast<std::size_t>(k)];
        moved.X1 += dx;
        moved.Y1 += dy;
        moved.X2 += dx;
        moved.Y2 += dy;
        PutElement(items, k, moved, &batch);
    }
    NoteBatch<T>(TEditKind::Changed, batch);
}

TPoint TMap::MoveSelected(std::int32_t dx, std::int32_t dy)
{
    const bool known = moved_ && moved_->Revision == Revision() && moved_->RailCount == rails_.size() &&
                       moved_->BorderCount == borders_.size();
    if (!known) {
        const std::optional<TWorldRect> box = SelectionBox();
        if (!box) return {};
        // A move that stays where it is (a paste in place) needs no list.
        if (ClampMove(dx, box->x1, box->x2) == 0 && ClampMove(dy, box->y1, box->y2) == 0) return {};
        const auto listed = [](const auto& items) {
            std::vector<std::int32_t> selected;
            for (std::size_t k = 0; k < items.size(); ++k)
                if (items[k].Selected) selected.push_back(static_cast<std::int32_t>(k));
            return selected;
        };
        moved_ = TMovedSelection{0, rails_.size(), borders_.size(), listed(rails_), listed(borders_), *box};
    }
    TWorldRect& box = moved_->Box;
    const TPoint move{ClampMove(dx, box.x1, box.x2), ClampMove(dy, box.y1, box.y2)};
    if (move.x == 0 && move.y == 0) return move;
    // The clamp keeps every end within the world or where it was, so no sum overflows.
    ShiftSelected(rails_, moved_->Rails, move.x, move.y);
    ShiftSelected(borders_, moved_->Borders, move.x, move.y);
    box = {box.x1 + move.x, box.y1 + move.y, box.x2 + move.x, box.y2 + move.y};
    Modified = true;
    Touch();
    moved_->Revision = Revision();
    return move;
}

TPoint TMap::SnapUnselectedPoint(std::int32_t px, std::int32_t py, bool& snapped)
{
    TSnapOptions options{borders_.size(), rails_.size(), UsesIndexNear(px, py), nullptr};
    options.SkipSelected = true;
    SnapSearch(px, py, options, snapped);
    return SnappedWorldPoint();
}

void TMap::AppendSelected(std::span<const TBorder> borders, std::span<const TRail> rails)
{
    ClearSelection();
    std::vector<TBorder> newBorders;
    std::vector<TRail> newRails;
    newBorders.reserve(borders.size());
    newRails.reserve(rails.size());
    for (const TBorder& b : borders) {
        TBorder copy{};
        copy.X1 = b.X1, copy.Y1 = b.Y1, copy.X2 = b.X2, copy.Y2 = b.Y2;
        copy.Color = b.Color;
        copy.Kind = b.Kind;
        copy.Selected = true;
        newBorders.push_back(copy);
    }
    for (const TRail& r : rails) {
        TRail copy{};
        copy.X1 = r.X1, copy.Y1 = r.Y1, copy.X2 = r.X2, copy.Y2 = r.Y2;
        copy.Selected = true;
        newRails.push_back(copy);
    }
    const std::int32_t firstBorder = BorderCount(), firstRail = RailCount();
    AppendBorders(newBorders);
    AppendRails(newRails);
    many_ = true;
    SelBorder = newBorders.empty() ? -1 : firstBorder;
    SelRail = newRails.empty() ? -1 : firstRail;
    if (!newBorders.empty() || !newRails.empty()) Modified = true;
    Touch();
}
