#include "ui/TBandGesture.h"

#include "draw/BandDraw.h"
#include "draw/MapDraw.h"
#include "ui/TGestures.h"

TBandGesture::TBandGesture(TGestures& gestures, const TPress& press, std::uint64_t map, bool add)
    : TGesture(gestures), map_(map), pressX_(press.X), pressY_(press.Y), corner_(press.World), add_(add)
{
}

std::unique_ptr<TGesture> TBandGesture::Start(TGestures& gestures, const TPress& press, bool add)
{
    return std::unique_ptr<TGesture>(new TBandGesture(gestures, press, gestures.Host().CurrentMap().Id(), add));
}

TPressAnswer TBandGesture::Press(const TPress& press)
{
    return press.ForTool() ? TPressAnswer::End : TPressAnswer::Keep;
}

bool TBandGesture::Move(std::int32_t x, std::int32_t y)
{
    if (Gestures().Host().CurrentMap().Id() != map_) return false;
    dragging_ = dragging_ || x != pressX_ || y != pressY_;
    return true;
}

void TBandGesture::Release(std::int32_t x, std::int32_t y)
{
    TGestureHost& host = Gestures().Host();
    TMap& map = host.CurrentMap();
    if (map.Id() != map_) return;
    host.SyncMapView(map);
    if (dragging_)
        map.SelectBand(corner_, host.View().ToWorld(x, y), add_);
    else if (add_)
        map.SelectAt(pressX_, pressY_);
}

bool TBandGesture::DrawFrame(TMap& map, TCanvas& canvas, std::int32_t x, std::int32_t y)
{
    if (!dragging_ || map.Id() != map_) return false;
    // The map does not change while the band is drawn: the view's picture is copied.
    Gestures().Host().DrawView(map, canvas);
    DrawSnap(map, canvas, x, y, 0);
    const TPoint corner = map.View().ToView(corner_.x, corner_.y);
    DrawBand(canvas, corner.x, corner.y, x, y);
    return true;
}
