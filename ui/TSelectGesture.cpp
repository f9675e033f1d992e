#include "ui/TSelectGesture.h"

#include <optional>
#include <utility>

#include "draw/MapDraw.h"
#include "ui/TBandGesture.h"
#include "ui/TMoveSelectionGesture.h"
#include "ui/TGestures.h"

TSelectGesture::TSelectGesture(TGestures& gestures, const TPress& press, const TMap& map,
                               std::vector<TElementEnd> ends)
    : TSelectDrag(gestures, press, map.Id(), TStepKind::MoveEnd), ends_(std::move(ends)), rails_(map.RailCount()), borders_(map.BorderCount())
{
}

std::unique_ptr<TGesture> TSelectGesture::Start(TGestures& gestures, const TPress& press)
{
    TMap& map = gestures.Host().CurrentMap();
    const std::optional<TElementRef> picked = map.PickAt(press.X, press.Y);
    if (press.Ctrl) {
        // Ctrl+click adds an element or takes it out; on empty space a band adds.
        if (!picked) return TBandGesture::Start(gestures, press, true);
        map.ToggleSelected(*picked);
        return nullptr;
    }
    std::optional<TElementEnd> end = map.EndNearView(press.X, press.Y);
    if (!end && !picked) {
        // Shift keeps the selection for the band; a plain press clears it as a click does.
        if (!press.Shift) map.SelectAt(press.X, press.Y);
        return TBandGesture::Start(gestures, press, press.Shift);
    }
    if (!end && map.IsSelected(*picked)) return TMoveSelectionGesture::Start(gestures, press);
    map.SelectAt(press.X, press.Y);
    if (!end) return nullptr;
    std::vector<TElementEnd> ends = press.Shift ? std::vector<TElementEnd>{*end} : map.EndsAt(map.EndPoint(*end));
    return std::unique_ptr<TGesture>(new TSelectGesture(gestures, press, map, std::move(ends)));
}

void TSelectGesture::Release(std::int32_t x, std::int32_t y)
{
    TMap* map = Gestures().EditedMap();
    if (!map || !moving_ || map->Id() != map_) return;
    bool snapped = false;
    TPoint at;
    MoveEndsTo(*map, x, y, at, snapped);
}

bool TSelectGesture::DrawFrame(TMap& map, TCanvas& canvas, std::int32_t x, std::int32_t y)
{
    if (!moving_ || map.Id() != map_) return false;
    bool snapped = false;
    TPoint at;
    if (MoveEndsTo(map, x, y, at, snapped)) {
        Gestures().Host().DrawView(map, canvas);
        if (snapped) DrawSnapMarker(canvas, at.x, at.y);
    } else {
        Gestures().Host().DrawView(map, canvas);
        DrawSnap(map, canvas, x, y, 0);
    }
    return true;
}

bool TSelectGesture::MoveEndsTo(TMap& map, std::int32_t x, std::int32_t y, TPoint& at, bool& snapped) const
{
    // A command that added or deleted elements meanwhile has made the
    // pressed indices meaningless: the ends stay where they are.
    snapped = false;
    if (map.RailCount() != rails_ || map.BorderCount() != borders_) return false;
    at = map.SnapMovingPoint(x, y, ends_, snapped);
    map.MoveEnds(ends_, map.SnappedWorldPoint());
    return true;
}
