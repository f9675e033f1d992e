#include "model/ArcGeometry.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <numbers>

namespace {

constexpr double Pi = std::numbers::pi;

struct TVec {
    double x = 0;
    double y = 0;
};

TVec Plus(TVec a, TVec b) { return {a.x + b.x, a.y + b.y}; }
TVec Minus(TVec a, TVec b) { return {a.x - b.x, a.y - b.y}; }
TVec Times(TVec a, double k) { return {a.x * k, a.y * k}; }
/// Rotated by beta, clockwise on the screen for a positive beta (y grows downward).
TVec Rotated(TVec a, double beta)
{
    const double c = std::cos(beta), s = std::sin(beta);
    return {a.x * c - a.y * s, a.x * s + a.y * c};
}
/// The normal on the right-hand side of travel along a.
TVec RightOf(TVec a) { return {-a.y, a.x}; }

/// A circle tangent at Anchor to the travel direction, turning to the right
/// (Sign 1) or to the left (-1): the point reached after turning by beta.
struct TCircle {
    TVec Anchor;
    TVec Centre;

    TCircle(TVec anchor, TVec unitTangent, double radius, double sign)
        : Anchor(anchor), Centre(Plus(anchor, Times(RightOf(unitTangent), sign * radius)))
    {
    }
    TVec At(double beta) const { return Plus(Centre, Rotated(Minus(Anchor, Centre), beta)); }
};

bool InsideWorld(TPoint p) { return p.x >= 0 && p.x <= WorldSize && p.y >= 0 && p.y <= WorldSize; }

/// Rounds to whole units; false when the point is so far out that it cannot be
/// inside the world (nor fit 32 bits).
bool Round(TVec v, TPoint& p)
{
    constexpr double far = 1e9;
    if (!(std::fabs(v.x) < far && std::fabs(v.y) < far)) return false;
    p = {static_cast<std::int32_t>(std::lround(v.x)), static_cast<std::int32_t>(std::lround(v.y))};
    return true;
}

bool Joins(const TLine& a, const TLine& b)
{
    const std::int64_t dot = std::int64_t{a.X2 - a.X1} * (b.X2 - b.X1) + std::int64_t{a.Y2 - a.Y1} * (b.Y2 - b.Y1);
    return a.X2 == b.X1 && a.Y2 == b.Y1 && dot > 0;
}

TArcChain Refused(TArcRefusal why)
{
    TArcChain chain;
    chain.Refusal = why;
    return chain;
}

/// Rails through the joints in order, checked the way the map and the route
/// check will see them; before and after are the continued rail when it comes
/// before or after the chain in travel.
TArcChain Chain(const std::vector<TPoint>& joints, const TLine* before, const TLine* after, double radius)
{
    for (const TPoint& p : joints)
        if (!InsideWorld(p)) return Refused(TArcRefusal::OutsideWorld);
    TArcChain chain;
    chain.Radius = radius;
    for (std::size_t k = 0; k + 1 < joints.size(); ++k) {
        TRail r;
        r.X1 = joints[k].x;
        r.Y1 = joints[k].y;
        r.X2 = joints[k + 1].x;
        r.Y2 = joints[k + 1].y;
        if (joints[k] == joints[k + 1]) return Refused(TArcRefusal::Coincident);
        if (r.Length() < ShortestRail) return Refused(TArcRefusal::ShortRail);
        chain.Rails.push_back(r);
    }
    for (std::size_t k = 0; k + 1 < chain.Rails.size(); ++k)
        if (!Joins(chain.Rails[k], chain.Rails[k + 1])) return Refused(TArcRefusal::Unjoined);
    if (before && !Joins(*before, chain.Rails.front())) return Refused(TArcRefusal::Unjoined);
    if (after && !Joins(chain.Rails.back(), *after)) return Refused(TArcRefusal::Unjoined);
    return chain;
}

TVec UnitDirection(const TLine& rail)
{
    const double length = rail.Length();
    return {(rail.X2 - rail.X1) / length, (rail.Y2 - rail.Y1) / length};
}

/// The rail's ends are inside the world or the chain is refused anyway: its
/// direction is formed without overflow when they are.
bool Usable(const TLine& rail)
{
    const auto in = [](std::int32_t v) { return v >= 0 && v <= WorldSize; };
    return in(rail.X1) && in(rail.Y1) && in(rail.X2) && in(rail.Y2);
}

} // namespace

TArcChain ArcByAngle(const TLine& rail, TArcEnd end, std::int32_t radius, std::int32_t piece, std::int32_t angle)
{
    if (!Usable(rail)) return Refused(TArcRefusal::OutsideWorld);
    if (rail.X1 == rail.X2 && rail.Y1 == rail.Y2) return Refused(TArcRefusal::BadRail);
    if (radius < ArcMinRadius || radius > ArcMaxRadius) return Refused(TArcRefusal::BadRadius);
    if (piece < ArcMinPiece || piece > ArcMaxPiece) return Refused(TArcRefusal::BadPiece);
    if (angle == 0 || angle < -ArcMaxAngle || angle > ArcMaxAngle) return Refused(TArcRefusal::BadAngle);

    const double sweep = angle * Pi / 180;
    const long pieces = std::max(1L, std::lround(std::fabs(sweep) * radius / piece));
    const double step = sweep / static_cast<double>(pieces);
    if (std::fabs(step) >= Pi / 2) return Refused(TArcRefusal::SharpStep);

    const bool forward = end == TArcEnd::Second;
    const TPoint anchor = forward ? TPoint{rail.X2, rail.Y2} : TPoint{rail.X1, rail.Y1};
    const TCircle circle({double(anchor.x), double(anchor.y)}, UnitDirection(rail), radius, angle > 0 ? 1 : -1);
    std::vector<TPoint> joints(static_cast<std::size_t>(pieces) + 1);
    for (long k = 0; k <= pieces; ++k) {
        // Forward the chain leaves the anchor; backward it arrives there.
        const long turns = forward ? k : k - pieces;
        if (turns == 0) {
            joints[static_cast<std::size_t>(k)] = anchor;
        } else if (!Round(circle.At(step * static_cast<double>(turns)), joints[static_cast<std::size_t>(k)]) ||
                   !InsideWorld(joints[static_cast<std::size_t>(k)])) {
            return Refused(TArcRefusal::OutsideWorld);
        }
    }
    return Chain(joints, forward ? &rail : nullptr, forward ? nullptr : &rail, radius);
}

TArcChain ArcToPoint(const TLine& rail, TPoint target, std::int32_t piece)
{
    if (!Usable(rail)) return Refused(TArcRefusal::OutsideWorld);
    if (rail.X1 == rail.X2 && rail.Y1 == rail.Y2) return Refused(TArcRefusal::BadRail);
    if (piece < ArcMinPiece || piece > ArcMaxPiece) return Refused(TArcRefusal::BadPiece);
    const TPoint anchor{rail.X2, rail.Y2};
    if (target == anchor) return Refused(TArcRefusal::BadTarget);
    if (!InsideWorld(target)) return Refused(TArcRefusal::OutsideWorld);

    const TVec t = UnitDirection(rail);
    const TVec p{double(anchor.x), double(anchor.y)};
    const TVec d = Minus({double(target.x), double(target.y)}, p);
    const double distance = std::hypot(d.x, d.y);
    const double cross = t.x * d.y - t.y * d.x;
    const double dot = t.x * d.x + t.y * d.y;
    // Exactly behind only when the integer vectors are opposite.
    const std::int64_t wholeCross = std::int64_t{rail.X2 - rail.X1} * (target.y - anchor.y) -
                                    std::int64_t{rail.Y2 - rail.Y1} * (target.x - anchor.x);
    if (wholeCross == 0 && dot < 0) return Refused(TArcRefusal::BadTarget);
    // The chord leaves at half the angle the arc turns through.
    const double half = std::atan2(cross, dot);
    const double stray = distance / 2 * std::tan(std::fabs(half) / 2);

    std::vector<TPoint> joints{anchor};
    const auto finish = [&](double radius) {
        joints.push_back(target);
        // A stub at the end would be removed by tidying: the last rail takes it.
        if (joints.size() > 2) {
            const TPoint& a = joints[joints.size() - 2];
            if (PointDistance(a.x, a.y, target.x, target.y) < ShortestRail) joints.erase(joints.end() - 2);
        }
        return Chain(joints, &rail, nullptr, radius);
    };

    if (dot > 0 && stray < 0.5) {
        const long pieces = static_cast<long>(std::ceil(distance / piece - 1e-9));
        for (long k = 1; k < pieces; ++k) {
            TPoint j;
            Round(Plus(p, Times(d, piece * static_cast<double>(k) / distance)), j);
            joints.push_back(j);
        }
        return finish(std::numeric_limits<double>::infinity());
    }

    const double radius = distance * distance / (2 * std::fabs(cross));
    const double sweep = 2 * std::fabs(half);
    // Past a half turn the arc holds two opposite points of its circle, which
    // cannot both lie in the world when the circle is wider than its diagonal.
    if (sweep > Pi && 2 * radius > WorldSize * std::numbers::sqrt2) return Refused(TArcRefusal::OutsideWorld);
    const bool fits = piece >= 2 * radius;
    const double step = fits ? sweep : 2 * std::asin(piece / (2 * radius));
    if (sweep <= step + 1e-12) {
        // One rail, the chord: it turns from the rail by half the sweep.
        if (std::fabs(half) >= Pi / 2) return Refused(TArcRefusal::SharpStep);
        return finish(radius);
    }
    if (step >= Pi / 2) return Refused(TArcRefusal::SharpStep);
    const long pieces = static_cast<long>(std::ceil(sweep / step - 1e-9));
    const double sign = cross > 0 ? 1 : -1;
    const TCircle circle(p, t, radius, sign);
    for (long k = 1; k < pieces; ++k) {
        TPoint j;
        // Stops at the first joint out: a circle much wider than the world
        // would otherwise take billions of pieces to get round.
        if (!Round(circle.At(sign * step * static_cast<double>(k)), j) || !InsideWorld(j))
            return Refused(TArcRefusal::OutsideWorld);
        joints.push_back(j);
    }
    return finish(radius);
}

const char* ArcRefusalText(TArcRefusal refusal)
{
    switch (refusal) {
    case TArcRefusal::None: return "";
    case TArcRefusal::BadRail: return "У рельса нулевая длина.";
    case TArcRefusal::BadRadius: return "Радиус должен быть от 10 до 20000.";
    case TArcRefusal::BadPiece: return "Длина звена должна быть от 5 до 2000.";
    case TArcRefusal::BadAngle: return "Угол должен быть от -359 до 359 и не равен 0.";
    case TArcRefusal::BadTarget: return "Дугу к этой точке провести нельзя.";
    case TArcRefusal::SharpStep: return "Звено поворачивает на 90° или больше: длина звена должна быть меньше радиуса, умноженного на √2.";
    case TArcRefusal::OutsideWorld: return "Дуга выходит за пределы карты.";
    case TArcRefusal::Coincident: return "Звено слишком короткое: его концы совпадают.";
    case TArcRefusal::ShortRail: return "Звено короче 10 единиц.";
    case TArcRefusal::Unjoined: return "После округления звенья не соединяются.";
    }
    return "";
}
