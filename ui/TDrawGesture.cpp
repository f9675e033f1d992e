#include "ui/TDrawGesture.h"

#include "ui/TGestures.h"

TDrawGesture::TDrawGesture(TGestures& gestures, TWhat what, const TMap& map)
    : TGesture(gestures), what_(what), map_(map.Id()),
      count_(what == DrawsBorder ? map.BorderCount() : map.RailCount())
{
}

std::unique_ptr<TGesture> TDrawGesture::Border(TGestures& gestures, const TPress& press, std::uint8_t kind)
{
    TMap& map = gestures.Host().CurrentMap();
    gestures.OpenStep(map, TStepKind::DrawBorder);
    map.AddBorder(press.World.x, press.World.y, press.World.x, press.World.y, gestures.Host().DrawingColor(), kind);
    return std::unique_ptr<TGesture>(new TDrawGesture(gestures, DrawsBorder, map));
}

std::unique_ptr<TGesture> TDrawGesture::Rail(TGestures& gestures, const TPress& press)
{
    TMap& map = gestures.Host().CurrentMap();
    gestures.OpenStep(map, TStepKind::DrawRail);
    map.AddRail(press.World.x, press.World.y, press.World.x, press.World.y);
    return std::unique_ptr<TGesture>(new TDrawGesture(gestures, DrawsRail, map));
}

std::uint8_t TDrawGesture::Placing(const TMap& map) const
{
    if (map.Id() != map_) return 0;
    return (what_ == DrawsBorder ? map.BorderCount() : map.RailCount()) == count_ ? what_ : 0;
}

TPressAnswer TDrawGesture::Press(const TPress& press)
{
    return press.ForTool() ? TPressAnswer::End : TPressAnswer::Keep;
}

void TDrawGesture::Release(std::int32_t x, std::int32_t y)
{
    // The end goes where the button came up, snapped as the next tick would
    // snap it: the ticks may not have caught up with a quick drag.
    TMap* map = Gestures().EditedMap();
    if (!map) return;
    if (const std::uint8_t placing = Placing(*map)) {
        bool snapped = false;
        map->SnapPointEx(x, y, placing, snapped);
    }
}
