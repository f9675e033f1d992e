#include "model/TMap.h"

#include "model/Checked.h"

using Checked::Add;
using Checked::Sub;

namespace {

constexpr double PickRadius = 5.0;

/// Takes each end of line that lies within the snap radius of (px, py); the
/// later end wins, and distances are always measured from the given point.
void SnapToEnds(const TLine& line, const TMap& map, std::int32_t px, std::int32_t py, TPoint& result,
                bool& snapped)
{
    if (line.IsBeyondView(map.ViewX, map.ViewY, map.ViewWidth, map.ViewHeight)) return;
    const TPoint first{Sub(line.X1, map.ViewX), Sub(line.Y1, map.ViewY)};
    const TPoint second{Sub(line.X2, map.ViewX), Sub(line.Y2, map.ViewY)};
    if (PointDistance(px, py, first.x, first.y) < PickRadius) {
        result = first;
        snapped = true;
    }
    if (PointDistance(px, py, second.x, second.y) < PickRadius) {
        result = second;
        snapped = true;
    }
}

/// Moves the second end of the element being placed to the world point of result.
void MoveSecondEnd(TLine& line, const TMap& map, TPoint result, bool& moved)
{
    const std::int32_t x = Add(result.x, map.ViewX);
    const std::int32_t y = Add(result.y, map.ViewY);
    moved = line.X2 != x || line.Y2 != y;
    line.X2 = x;
    line.Y2 = y;
}

} // namespace

void TMap::SelectAt(std::int32_t px, std::int32_t py)
{
    SelectRail(-1);
    for (std::int32_t i = 0; i < RailCount(); ++i) {
        if (Rails[static_cast<std::size_t>(i)].DistanceTo(px, py, ViewX, ViewY, ViewWidth, ViewHeight) < PickRadius)
            SelectRail(i);
    }
    SelectBorder(-1);
    if (SelRail >= 0) return;
    for (std::int32_t i = 0; i < BorderCount(); ++i) {
        if (Borders[static_cast<std::size_t>(i)].DistanceTo(px, py, ViewX, ViewY, ViewWidth, ViewHeight) <
            PickRadius)
            SelectBorder(i);
    }
}

TPoint TMap::SnapPoint(std::int32_t px, std::int32_t py, std::uint8_t placing)
{
    bool snapped = false;
    return SnapPointEx(px, py, placing, snapped);
}

TPoint TMap::SnapPointEx(std::int32_t px, std::int32_t py, std::uint8_t placing, bool& snapped)
{
    snapped = false;
    TPoint result{px, py};
    // The element being placed is left out, so its second end never snaps to its own first end.
    std::size_t borderCandidates = Borders.size();
    if (placing == 1 && borderCandidates > 0) --borderCandidates;
    std::size_t railCandidates = Rails.size();
    if (placing == 2 && railCandidates > 0) --railCandidates;

    for (std::size_t i = 0; i < borderCandidates; ++i) SnapToEnds(Borders[i], *this, px, py, result, snapped);
    for (std::size_t i = 0; i < railCandidates; ++i) SnapToEnds(Rails[i], *this, px, py, result, snapped);

    // With nothing of the placed kind left (deleted, or another map made current
    // while the button is held) there is nothing to move.
    bool moved = false;
    if (placing == 2 && !Rails.empty()) MoveSecondEnd(Rails.back(), *this, result, moved);
    if (placing == 1 && !Borders.empty()) MoveSecondEnd(Borders.back(), *this, result, moved);
    if (moved) Touch();
    return result;
}
