#include "model/TLine.h"

#include <cmath>
#include <numbers>

#include "model/Checked.h"
#include "model/TViewTransform.h"

// Elements live by value in contiguous arrays that are scanned every frame;
// keep them small enough that a scan stays cache-friendly. (With g++ and
// clang a rail's flags share the padding after Selected: 40 bytes.)
static_assert(sizeof(TRail) <= 48, "TRail grew beyond 48 bytes");
static_assert(sizeof(TBorder) <= 48, "TBorder grew beyond 48 bytes");

using Checked::Add;
using Checked::Mul;
using Checked::Sub;

namespace {

constexpr double Pi = std::numbers::pi;

/// Ratio of two 32-bit integers as the arctangent argument.
double Ratio(std::int32_t num, std::int32_t den)
{
    return static_cast<double>(num) / static_cast<double>(den);
}

} // namespace

std::int32_t TLine::DX() const { return Sub(X2, X1); }

std::int32_t TLine::DY() const { return Sub(Y2, Y1); }

double TLine::Length() const { return VectorLength(DX(), DY()); }

double TLine::Heading() const
{
    const std::int32_t dx = DX();
    const std::int32_t dy = DY();
    // The octant decides which ratio goes to the arctangent, so its magnitude
    // stays at most 1; ties between turn angles depend on these exact bits.
    if (dx == 0 && dy == 0) return 0.0;
    if (dx > 0 && dy >= 0 && dx > dy) return std::atan(Ratio(dy, dx));
    if (dx > 0 && dy > 0 && dx <= dy) return Pi / 2 - std::atan(Ratio(dx, dy));
    // Formed ahead of the sign tests, so in 64 bits; wherever a case below
    // reads it the signs differ and the 32-bit sum could not overflow.
    const std::int64_t sum = static_cast<std::int64_t>(dx) + dy;
    if (dx <= 0 && dy > 0 && sum > 0) return Pi / 2 - std::atan(Ratio(dx, dy));
    if (dx < 0 && dy > 0 && sum <= 0) return Pi + std::atan(Ratio(dy, dx));
    if (dx < 0 && dy <= 0 && dx < dy) return Pi + std::atan(Ratio(dy, dx));
    if (dx < 0 && dy < 0 && dx >= dy) return 3 * Pi / 2 - std::atan(Ratio(dx, dy));
    if (dx >= 0 && dy < 0 && sum < 0) return 3 * Pi / 2 - std::atan(Ratio(dx, dy));
    return 2 * Pi + std::atan(Ratio(dy, dx));
}

double TLine::DistanceTo(std::int32_t px, std::int32_t py, std::int32_t viewX, std::int32_t viewY,
                         std::int32_t viewWidth, std::int32_t viewHeight) const
{
    return TViewTransform{viewX, viewY, viewWidth, viewHeight, {}}.Distance(*this, px, py);
}

double VectorLength(std::int32_t dx, std::int32_t dy)
{
    return std::sqrt(static_cast<double>(Add(Mul(dx, dx), Mul(dy, dy))));
}

double PointDistance(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2)
{
    return VectorLength(Sub(x1, x2), Sub(y1, y2));
}

double TurnAngle(const TLine& a, const TLine& b)
{
    double d = b.Heading() - a.Heading();
    while (d < -Pi) d += 2 * Pi;
    while (d >= Pi) d -= 2 * Pi;
    return d;
}
