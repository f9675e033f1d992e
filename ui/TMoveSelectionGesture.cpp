#include "ui/TMoveSelectionGesture.h"

#include "draw/MapDraw.h"
#include "ui/TGestures.h"

TMoveSelectionGesture::TMoveSelectionGesture(TGestures& gestures, const TPress& press, std::uint64_t map)
    : TSelectDrag(gestures, press, map, TStepKind::Move), grabbed_(press.World)
{
}

std::unique_ptr<TGesture> TMoveSelectionGesture::Start(TGestures& gestures, const TPress& press)
{
    return std::unique_ptr<TGesture>(new TMoveSelectionGesture(gestures, press, gestures.Host().CurrentMap().Id()));
}

void TMoveSelectionGesture::Release(std::int32_t x, std::int32_t y)
{
    if (!moving_) {
        TGestureHost& host = Gestures().Host();
        TMap& map = host.CurrentMap();
        if (map.Id() != map_) return;
        host.SyncMapView(map);
        map.SelectAt(pressX_, pressY_);
        return;
    }
    TMap* map = Gestures().EditedMap();
    if (!map || map->Id() != map_) return;
    TPoint at;
    bool snapped = false;
    MoveTo(*map, x, y, at, snapped);
}

bool TMoveSelectionGesture::DrawFrame(TMap& map, TCanvas& canvas, std::int32_t x, std::int32_t y)
{
    if (!moving_ || map.Id() != map_) return false;
    TPoint at;
    bool snapped = false;
    MoveTo(map, x, y, at, snapped);
    // A tick that moved nothing (the world's edge, the same end snapped to) copies the picture.
    Gestures().Host().DrawView(map, canvas);
    if (snapped) DrawSnapMarker(canvas, at.x, at.y);
    return true;
}

void TMoveSelectionGesture::MoveTo(TMap& map, std::int32_t x, std::int32_t y, TPoint& at, bool& snapped)
{
    const TPoint target = map.SnapUnselectedPoint(x, y, snapped);
    at = map.View().ToView(target.x, target.y);
    // What is left of the way from where the selection is now; the world's edge may cut it short.
    const auto rest = [](std::int32_t to, std::int32_t from, std::int32_t done) {
        return static_cast<std::int32_t>(std::int64_t{to} - from - done);
    };
    const TPoint step = map.MoveSelected(rest(target.x, grabbed_.x, moved_.x), rest(target.y, grabbed_.y, moved_.y));
    moved_.x += step.x;
    moved_.y += step.y;
}
