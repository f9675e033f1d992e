#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <random>

#include "model/ArcGeometry.h"
#include "model/TMap.h"
#include "tests/support/MapBuilders.h"

using MapBuilders::RailOf;
using R = TArcRefusal;

namespace {

using Z = std::complex<double>;
constexpr double Pi = std::numbers::pi;

Z At(TPoint p) { return {double(p.x), double(p.y)}; }
Z Start(const TRail& r) { return {double(r.X1), double(r.Y1)}; }
Z End(const TRail& r) { return {double(r.X2), double(r.Y2)}; }

/// The route check itself must link every rail to the next in travel order, and drop none.
void ExpectJoinedInOrder(const TRail& rail, const std::vector<TRail>& chain, bool railFirst)
{
    TMap map;
    std::vector<TRail> all{rail};
    all.insert(all.end(), chain.begin(), chain.end());
    map.AppendRails(all);
    std::int32_t fault = 0;
    map.CheckRoutes(fault);
    ASSERT_EQ(map.RailCount(), std::int32_t(all.size()));
    const std::int32_t n = map.RailCount();
    for (std::int32_t k = 0; k + 1 < n; ++k) {
        const std::int32_t from = railFirst ? k : k + 1, to = railFirst ? k + 1 : (k + 2) % n;
        const TRail& r = map.Rails()[std::size_t(from)];
        EXPECT_TRUE(r.Next1 == to || r.Next2 == to) << from << " -> " << to;
    }
}

/// Chord from a to b seen from the centre c: the signed angle it sweeps (clockwise on the screen positive).
double Swept(Z c, Z a, Z b) { return std::arg((b - c) / (a - c)); }

TRail RandomRail(std::mt19937& rng)
{
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    for (;;) {
        const int dx = pick(-60, 60), dy = pick(-60, 60), x = pick(0, WorldSize), y = pick(0, WorldSize);
        if (dx * dx + dy * dy >= 100 && x + dx >= 0 && x + dx <= WorldSize && y + dy >= 0 && y + dy <= WorldSize)
            return RailOf(x, y, x + dx, y + dy);
    }
}

} // namespace

TEST(ArcGeometry, KnownQuarterCirclesAndStraightRun)
{
    const TRail rail = RailOf(1000, 1000, 1100, 1000);
    const TArcChain ahead = ArcByAngle(rail, TArcEnd::Second, 200, 40, 90);
    ASSERT_EQ(ahead.Rails.size(), 8u);
    EXPECT_EQ(End(ahead.Rails.back()), Z(1300, 1200));
    const TArcChain back = ArcByAngle(rail, TArcEnd::First, 200, 40, 90);
    ASSERT_EQ(back.Rails.size(), 8u);
    EXPECT_EQ(Start(back.Rails.front()), Z(800, 1200));
    EXPECT_EQ(End(back.Rails.back()), Z(1000, 1000));
    const TArcChain left = ArcByAngle(rail, TArcEnd::Second, 200, 40, -90);
    EXPECT_EQ(End(left.Rails.back()), Z(1300, 800));

    const TArcChain toPoint = ArcToPoint(rail, {1300, 1200}, 40);
    EXPECT_EQ(toPoint.Radius, 200);
    EXPECT_EQ(toPoint.Rails.size(), 8u);
    const TArcChain straight = ArcToPoint(rail, {1500, 1001}, 40);
    ASSERT_EQ(straight.Rails.size(), 10u);
    EXPECT_TRUE(std::isinf(straight.Radius));
    for (const TRail& r : straight.Rails) EXPECT_NEAR(r.Length(), 40, 1);
}

TEST(ArcGeometry, RefusalsNameTheirReason)
{
    const TRail rail = RailOf(1000, 1000, 1100, 1000);
    const struct {
        TArcChain got;
        TArcRefusal want;
    } cases[] = {
        {ArcByAngle(RailOf(5, 5, 5, 5), TArcEnd::Second, 300, 50, 90), R::BadRail},
        {ArcByAngle(rail, TArcEnd::Second, 9, 5, 90), R::BadRadius},
        {ArcByAngle(rail, TArcEnd::Second, 20001, 50, 90), R::BadRadius},
        {ArcByAngle(rail, TArcEnd::Second, 300, 4, 90), R::BadPiece},
        {ArcByAngle(rail, TArcEnd::First, 300, 2001, 90), R::BadPiece},
        {ArcByAngle(rail, TArcEnd::Second, 300, 50, 0), R::BadAngle},
        {ArcByAngle(rail, TArcEnd::Second, 300, 50, 360), R::BadAngle},
        {ArcByAngle(rail, TArcEnd::Second, 300, 50, -360), R::BadAngle},
        {ArcByAngle(rail, TArcEnd::Second, 10, 15, 90), R::SharpStep}, // one step of 90 degrees
        {ArcByAngle(rail, TArcEnd::Second, 2000, 50, -90), R::OutsideWorld},
        {ArcByAngle(RailOf(9900, 10, 10000, 10), TArcEnd::Second, 300, 50, 90), R::OutsideWorld},
        {ArcByAngle(rail, TArcEnd::Second, 10, 5, 1), R::Coincident},
        {ArcByAngle(rail, TArcEnd::Second, 30, 50, 10), R::ShortRail},
        // Steps just under a right angle that rounding tips over it.
        {ArcByAngle(RailOf(5698, 4971, 5756, 4951), TArcEnd::Second, 33, 46, -358), R::Unjoined},
        {ArcToPoint(RailOf(3404, 7879, 3411, 7827), {3374, 7823}, 25), R::Unjoined},
        {ArcToPoint(rail, {1100, 1000}, 50), R::BadTarget},
        {ArcToPoint(rail, {900, 1000}, 50), R::BadTarget},
        {ArcToPoint(rail, {1100, 1020}, 50), R::SharpStep},
        {ArcToPoint(rail, {1105, 1000}, 50), R::ShortRail},
        {ArcToPoint(rail, {900, 1001}, 50), R::OutsideWorld}, // a huge circle, nearly round
        {ArcToPoint(rail, {10001, 1000}, 50), R::OutsideWorld},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.got.Refusal, c.want) << ArcRefusalText(c.want);
        EXPECT_TRUE(c.got.Rails.empty());
        EXPECT_STRNE(ArcRefusalText(c.want), "");
    }
}

TEST(ArcGeometry, RandomArcsByAngleLieOnTheirCircleAtEqualStepsAndJoin)
{
    std::mt19937 rng(21);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    int laid = 0;
    for (int trial = 0; trial < 3000; ++trial) {
        const TRail rail = RandomRail(rng);
        const int radius = pick(0, 2) ? pick(10, 600) : pick(10, 20000);
        const int piece = pick(0, 3) ? pick(5, 120) : pick(5, 2000);
        const int angle = pick(1, 359) * (pick(0, 1) ? 1 : -1);
        const bool forward = pick(0, 1);
        SCOPED_TRACE(::testing::Message() << trial << ": r " << radius << " l " << piece << " a " << angle);
        const TArcChain got = ArcByAngle(rail, forward ? TArcEnd::Second : TArcEnd::First, radius, piece, angle);

        // The reference: the centre on the rail's normal at the anchor, on the side of the turn.
        const double sweep = angle * Pi / 180;
        const long n = std::max(1L, std::lround(std::abs(sweep) * radius / piece));
        const Z u = (End(rail) - Start(rail)) / std::abs(End(rail) - Start(rail));
        const Z anchor = forward ? End(rail) : Start(rail);
        const Z centre = anchor + u * Z(0, angle > 0 ? radius : -radius);
        const Z first = forward ? anchor : centre + (anchor - centre) * std::polar(1.0, -sweep);
        std::vector<Z> ideal;
        for (long k = 0; k <= n; ++k) ideal.push_back(centre + (first - centre) * std::polar(1.0, sweep * k / n));
        if (!got) {
            bool outside = false;
            for (const Z& z : ideal) outside |= z.real() < -0.49 || z.imag() < -0.49 || z.real() > WorldSize + 0.49 || z.imag() > WorldSize + 0.49;
            const double chord = std::abs(ideal[1] - ideal[0]);
            switch (got.Refusal) {
            case R::SharpStep: EXPECT_GE(std::abs(sweep) / n, Pi / 2 - 1e-12); break;
            case R::OutsideWorld: EXPECT_TRUE(outside); break;
            case R::Coincident: EXPECT_LT(chord, 1.5); break;
            case R::ShortRail: EXPECT_LT(chord, ShortestRail + 1.5); break;
            case R::Unjoined: EXPECT_GT(std::abs(sweep) / n, Pi / 2 - 0.5); break;
            default: ADD_FAILURE() << ArcRefusalText(got.Refusal);
            }
            continue;
        }
        ++laid;
        ASSERT_EQ(long(got.Rails.size()), n);
        EXPECT_EQ(forward ? Start(got.Rails.front()) : End(got.Rails.back()), anchor);
        const double slack = 2 * std::asin(std::min(1.0, 0.75 / radius)) + 1e-9;
        for (long k = 0; k < n; ++k) {
            const TRail& r = got.Rails[std::size_t(k)];
            EXPECT_NEAR(std::abs(End(r) - centre), radius, 1);
            EXPECT_NEAR(std::abs(End(r) - ideal[std::size_t(k + 1)]), 0, 0.75);
            EXPECT_NEAR(Swept(centre, Start(r), End(r)), sweep / n, slack);
        }
        // Leaving (or arriving) tangentially: the first (last) chord turns by half a step.
        const TRail& edge = forward ? got.Rails.front() : got.Rails.back();
        const double chordTurn = std::arg((End(edge) - Start(edge)) / u);
        EXPECT_NEAR(chordTurn, forward ? sweep / n / 2 : -sweep / n / 2, std::asin(std::min(1.0, 1.5 / std::abs(End(edge) - Start(edge)))) + 1e-9);
        ExpectJoinedInOrder(rail, got.Rails, forward);
    }
    EXPECT_GT(laid, 1000);
}

TEST(ArcGeometry, RandomArcsToAPointEndThereOnTheTangentCircleAndJoin)
{
    std::mt19937 rng(2121);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    int laid = 0, straight = 0;
    for (int trial = 0; trial < 3000; ++trial) {
        const TRail rail = RandomRail(rng);
        const Z p = End(rail), u = (End(rail) - Start(rail)) / std::abs(End(rail) - Start(rail));
        // Anywhere around, or nearly straight ahead.
        const Z aim = pick(0, 3) ? p + Z(pick(-2000, 2000), pick(-2000, 2000)) : p + u * Z(pick(20, 3000), pick(-2, 2));
        const TPoint target{std::clamp(int(std::lround(aim.real())), 0, WorldSize), std::clamp(int(std::lround(aim.imag())), 0, WorldSize)};
        const int piece = pick(0, 3) ? pick(5, 150) : pick(5, 2000);
        SCOPED_TRACE(::testing::Message() << trial << ": to " << target.x << "," << target.y << " l " << piece);
        const TArcChain got = ArcToPoint(rail, target, piece);

        // The reference: the centre on the normal at p, as far from p as from the target.
        const Z d = At(target) - p, normal = u * Z(0, 1);
        const double rho = std::norm(d) / (2 * (d.real() * normal.real() + d.imag() * normal.imag()));
        const Z centre = p + normal * rho;
        if (!got) {
            switch (got.Refusal) {
            case R::BadTarget: EXPECT_TRUE(d == Z(0) || std::abs(std::arg(d / u)) > Pi - 1e-9); break;
            case R::SharpStep: EXPECT_TRUE(piece >= std::abs(rho) * std::sqrt(2.0) - 1e-6 || std::abs(std::arg(d / u)) >= Pi / 2); break;
            case R::OutsideWorld: {
                bool outside = false;
                for (int k = 0; k <= 4000; ++k) {
                    const Z z = centre + (p - centre) * std::polar(1.0, 2 * std::arg(d / u) * k / 4000);
                    outside |= z.real() < -0.49 || z.imag() < -0.49 || z.real() > WorldSize + 0.49 || z.imag() > WorldSize + 0.49;
                }
                EXPECT_TRUE(outside) << rho;
                break;
            }
            case R::ShortRail: EXPECT_TRUE(piece < ShortestRail + 2 || std::abs(d) < ShortestRail + 2); break;
            case R::Unjoined: EXPECT_GT(piece, std::abs(rho) * std::sqrt(2.0) * 0.8); break;
            default: ADD_FAILURE() << ArcRefusalText(got.Refusal);
            }
            continue;
        }
        ++laid;
        EXPECT_EQ(Start(got.Rails.front()), p);
        EXPECT_EQ(End(got.Rails.back()), At(target));
        const bool line = std::isinf(got.Radius);
        straight += line;
        if (!line) {
            EXPECT_NEAR(got.Radius, std::abs(rho), 1e-6 * std::abs(rho));
        }
        double turned = 0;
        for (std::size_t k = 0; k < got.Rails.size(); ++k) {
            const TRail& r = got.Rails[k];
            // Straight runs are allowed only where the circle strays under half a unit.
            if (line) {
                EXPECT_LT(std::abs(((End(r) - p) / d).imag()) * std::abs(d), 1);
                if (std::isfinite(rho)) {
                    EXPECT_NEAR(std::abs(End(r) - centre), std::abs(rho), 1.25);
                }
            } else {
                EXPECT_NEAR(std::abs(End(r) - centre), std::abs(rho), 1);
            }
            const double length = std::abs(End(r) - Start(r));
            if (k + 1 < got.Rails.size()) {
                EXPECT_NEAR(length, piece, 1.5); // equal chords: equal steps
            } else {
                EXPECT_LT(length, piece + ShortestRail + 1.5);
            }
            if (!line) turned += Swept(centre, Start(r), End(r));
        }
        if (!line) {
            EXPECT_NEAR(turned, 2 * std::arg(d / u), 1e-6); // one way round, never back
        }
        ExpectJoinedInOrder(rail, got.Rails, true);
    }
    EXPECT_GT(laid, 1500);
    EXPECT_GT(straight, 100);
}
