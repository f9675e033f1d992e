#include "ui/TSelectDrag.h"

#include "ui/TGestures.h"

TSelectDrag::TSelectDrag(TGestures& gestures, const TPress& press, std::uint64_t map, TStepKind kind)
    : TGesture(gestures), map_(map), pressX_(press.X), pressY_(press.Y), tool_(press.Tool), kind_(kind)
{
}

TPressAnswer TSelectDrag::Press(const TPress& press)
{
    if (!press.ForTool() || press.Tool != tool_) return TPressAnswer::Keep;
    Gestures().Host().CurrentMap().SelectAt(press.X, press.Y);
    return TPressAnswer::Take;
}

bool TSelectDrag::Move(std::int32_t x, std::int32_t y)
{
    if (moving_ || (x == pressX_ && y == pressY_)) return true;
    TMap& map = Gestures().Host().CurrentMap();
    if (map.Id() != map_) return false;
    Gestures().OpenStep(map, kind_);
    moving_ = true;
    return true;
}
