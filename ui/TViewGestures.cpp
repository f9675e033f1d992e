#include "ui/TViewGestures.h"

#include <cmath>

#include "draw/Overview.h"
#include "model/Checked.h"
#include "ui/TGestures.h"

TPanGesture::TPanGesture(TGestures& gestures, const TPress& press)
    : TGesture(gestures), startX_(press.X), startY_(press.Y), startOrigin_(gestures.Host().ViewOrigin())
{
}

std::unique_ptr<TGesture> TPanGesture::Start(TGestures& gestures, const TPress& press)
{
    return std::unique_ptr<TGesture>(new TPanGesture(gestures, press));
}

TPressAnswer TPanGesture::Press(const TPress& press)
{
    return press.Button == TMouseButton::Right ? TPressAnswer::End : TPressAnswer::Keep;
}

bool TPanGesture::Move(std::int32_t x, std::int32_t y)
{
    TGestureHost& host = Gestures().Host();
    const TViewZoom zoom = host.ViewZoom();
    if (zoom.IsOne()) {
        host.ScrollTo(Checked::Add(Checked::Sub(startOrigin_.x, x), startX_),
                      Checked::Add(Checked::Sub(startOrigin_.y, y), startY_));
        return true;
    }
    // The map follows the mouse to the nearest world unit.
    const double scale = zoom.Scale();
    const auto origin = [scale](std::int32_t start, std::int32_t from, std::int32_t to) {
        return Checked::Saturated(start - static_cast<std::int64_t>(std::nearbyint((double(to) - from) / scale)));
    };
    host.ScrollTo(origin(startOrigin_.x, startX_, x), origin(startOrigin_.y, startY_, y));
    return true;
}

std::unique_ptr<TGesture> TOverviewGesture::Start(TGestures& gestures, const TPress&)
{
    return std::unique_ptr<TGesture>(new TOverviewGesture(gestures));
}

TPressAnswer TOverviewGesture::Press(const TPress&) { return TPressAnswer::End; }

bool TOverviewGesture::Move(std::int32_t x, std::int32_t y)
{
    TGestureHost& host = Gestures().Host();
    const TPoint size = host.OverviewSize();
    const TPoint origin = OverviewToView(host.CurrentMap(), x, y, size.x, size.y);
    host.ScrollTo(origin.x, origin.y);
    return true;
}
