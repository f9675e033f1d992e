#pragma once
// Curves laid as chains of straight rails. A chain continues a rail
// tangentially; its joints lie on a circle, rounded to whole units, and every
// rail of it starts exactly where the one before ends, so the route check
// joins the continued rail and the whole chain. Screen coordinates: x to the
// right, y downward, so a positive turn is clockwise on the screen, to the
// right when travelling along the rail.
#include <cstdint>
#include <vector>

#include "model/TLine.h"
#include "model/TViewTransform.h"

/// Which end of the rail a chain continues.
enum class TArcEnd : std::uint8_t {
    /// Forward: the chain starts at the rail's second end.
    Second,
    /// Backward: the chain ends at the rail's first end and runs into it.
    First,
};

/// Why no chain was laid; None when it was.
enum class TArcRefusal : std::uint8_t {
    None,
    /// The continued rail has length 0, so it gives no direction.
    BadRail,
    /// The radius lies outside ArcMinRadius..ArcMaxRadius.
    BadRadius,
    /// The piece length lies outside ArcMinPiece..ArcMaxPiece.
    BadPiece,
    /// The angle is 0 or beyond ArcMaxAngle either way.
    BadAngle,
    /// The target is the rail's end itself or lies straight behind it: no
    /// circle tangent to the rail passes through it.
    BadTarget,
    /// A step would turn by 90 degrees or more, which the route check never joins.
    SharpStep,
    /// A joint, or for a target the circle itself, would leave the world.
    OutsideWorld,
    /// Rounding would put a joint on the one before it.
    Coincident,
    /// A rail would be shorter than ShortestRail, which tidying the map removes.
    ShortRail,
    /// After rounding, two consecutive rails would fail the route check's direction test.
    Unjoined,
};

constexpr std::int32_t ArcMinRadius = 10;
constexpr std::int32_t ArcMaxRadius = 20000;
constexpr std::int32_t ArcMinPiece = 5;
constexpr std::int32_t ArcMaxPiece = 2000;
constexpr std::int32_t ArcMaxAngle = 359;

/// A chain of rails or the reason there is none.
struct TArcChain {
    TArcRefusal Refusal = TArcRefusal::None;
    /// In the direction of travel: each rail starts where the one before ends.
    /// Only the ends are set; empty when refused.
    std::vector<TRail> Rails;
    /// The circle's radius; infinity for a straight run.
    double Radius = 0;

    explicit operator bool() const { return Refusal == TArcRefusal::None; }
};

/// The chain that continues rail from end, on a circle of radius units
/// tangent to the rail there, turning by angle degrees in all (positive
/// clockwise on the screen, in the direction of travel, whichever end).
/// It has n = max(1, round(|angle| pi / 180 radius / piece)) rails whose
/// joints lie at equal angular steps. Forward the first rail starts exactly at
/// the rail's second end; backward the last rail ends exactly at its first end.
TArcChain ArcByAngle(const TLine& rail, TArcEnd end, std::int32_t radius, std::int32_t piece, std::int32_t angle);

/// The chain from rail's second end to target along the circle tangent to the
/// rail there that passes through target; a straight run when target lies
/// straight ahead or so nearly that the circle strays less than half a unit
/// from the straight line. Its rails are piece units long (as chords) but the
/// last, which ends exactly at target and may be shorter; a last rail that
/// would be shorter than ShortestRail is merged into the one before.
TArcChain ArcToPoint(const TLine& rail, TPoint target, std::int32_t piece);

/// The message shown for a refusal, in the interface's language; empty for None.
const char* ArcRefusalText(TArcRefusal refusal);
