#include "ui/TViewGestures.h"


#include "draw/Overview.h"
#include "ui/TGestures.h"

TPanGesture::TPanGesture(TGestures& gestures, const TPress& press)
    : TGesture(gestures), startX_(press.X), startY_(press.Y), startOrigin_{gestures.Host().View().X, gestures.Host().View().Y}
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
    // The map follows the mouse from where the press found it, at the scale shown now.
    TGestureHost& host = Gestures().Host();
    TViewTransform atPress = host.View();
    atPress.X = startOrigin_.x;
    atPress.Y = startOrigin_.y;
    const TPoint origin = atPress.PannedOrigin({startX_, startY_}, {x, y});
    host.ScrollTo(origin.x, origin.y);
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
