#include "ui/TArcGesture.h"

#include "platform/Errors.h"
#include "ui/TGestures.h"

TArcGesture::TArcGesture(TGestures& gestures, std::uint64_t map, std::int32_t rail, const TLine& line,
                         std::int32_t piece)
    : TGesture(gestures), map_(map), rail_(rail), line_(line), piece_(piece)
{
    chain_.Refusal = TArcRefusal::BadTarget;
}

std::unique_ptr<TGesture> TArcGesture::Start(TGestures& gestures, const TPress& press, std::int32_t piece)
{
    TMap& map = gestures.Host().CurrentMap();
    const TViewTransform view = gestures.Host().View();
    const TWorldRect around = view.AroundPoint(press.X, press.Y);
    std::vector<std::int32_t> near;
    map.RailEndsNear(around.x1, around.y1, around.x2, around.y2, near);
    // The nearest second end; on equal distances the higher index, as picking names it.
    std::int32_t found = -1;
    double best = 0;
    for (const std::int32_t k : near) {
        const TRail& rail = map.Rails()[static_cast<std::size_t>(k)];
        const double d2 = view.ReachDistance2(rail.X2, rail.Y2, press.X, press.Y);
        if (d2 >= 0 && (found < 0 || d2 <= best)) {
            found = k;
            best = d2;
        }
    }
    if (found < 0) return nullptr;
    // The step is open from the press, so that the release lays the arc into it.
    gestures.OpenStep(map, TStepKind::Arc);
    return std::unique_ptr<TGesture>(
        new TArcGesture(gestures, map.Id(), found, map.Rails()[static_cast<std::size_t>(found)], piece));
}

TArcChain TArcGesture::ChainTo(std::int32_t x, std::int32_t y) const
{
    TPoint target;
    try {
        target = Gestures().Host().View().ToWorld(x, y);
    } catch (const EIntOverflow&) {
        TArcChain refused;
        refused.Refusal = TArcRefusal::OutsideWorld;
        return refused;
    }
    return ArcToPoint(line_, target, piece_);
}

TPressAnswer TArcGesture::Press(const TPress& press)
{
    return press.ForTool() ? TPressAnswer::End : TPressAnswer::Keep;
}

bool TArcGesture::Move(std::int32_t x, std::int32_t y)
{
    chain_ = ChainTo(x, y);
    return true;
}

void TArcGesture::Release(std::int32_t x, std::int32_t y)
{
    TMap* map = Gestures().EditedMap();
    if (!map || map->Id() != map_) return;
    // The rail continued must still be the one the press found.
    if (rail_ >= map->RailCount()) return;
    if (!SameEnds(map->Rails()[static_cast<std::size_t>(rail_)], line_)) return;
    chain_ = ChainTo(x, y);
    if (!chain_) return;
    map->LayRails(chain_.Rails);
    map->SelectRail(map->RailCount() - 1);
}
