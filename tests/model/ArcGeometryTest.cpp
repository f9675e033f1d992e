#include <gtest/gtest.h>

#include <complex>
#include <numbers>
#include <random>

#include "model/ArcGeometry.h"
#include "model/TMap.h"
#include "tests/support/MapBuilders.h"

using MapBuilders::RailOf;
using R = TArcRefusal;

namespace {

// Complex numbers with y downward: multiplying by polar(1, a) turns clockwise on the screen.
using Z = std::complex<double>;
constexpr double Pi = std::numbers::pi;
Z Start(const TRail& r) { return {double(r.X1), double(r.Y1)}; }
Z End(const TRail& r) { return {double(r.X2), double(r.Y2)}; }
bool Outside(Z z) { return z.real() < -0.49 || z.imag() < -0.49 || z.real() > WorldSize + 0.49 || z.imag() > WorldSize + 0.49; }

/// The route check itself links each rail to the next in travel order, and tidying drops none.
void ExpectJoined(const std::vector<TRail>& travel)
{
    TMap map;
    map.AppendRails(travel);
    std::int32_t fault = 0;
    map.CheckRoutes(fault);
    ASSERT_EQ(map.RailCount(), std::int32_t(travel.size()));
    for (std::int32_t k = 0; k + 1 < map.RailCount(); ++k)
        EXPECT_TRUE(map.RailLinks(k).Next1 == k + 1 || map.RailLinks(k).Next2 == k + 1) << k;
}

/// A rail of length 10 to 85 anywhere in the world, heading anywhere.
TRail RandomRail(std::mt19937& rng)
{
    std::uniform_int_distribution<int> pos(0, WorldSize), delta(-60, 60);
    for (;;) {
        const int x = pos(rng), y = pos(rng), dx = delta(rng), dy = delta(rng);
        if (dx * dx + dy * dy >= 100 && !Outside(Z(x + dx, y + dy))) return RailOf(x, y, x + dx, y + dy);
    }
}

} // namespace

TEST(ArcGeometry, KnownQuarterCirclesAndStraightRun)
{
    const TRail rail = RailOf(1000, 1000, 1100, 1000);
    const TArcChain right = ArcByAngle(rail, TArcEnd::Second, 200, 40, 90), left = ArcByAngle(rail, TArcEnd::Second, 200, 40, -90);
    const TArcChain back = ArcByAngle(rail, TArcEnd::First, 200, 40, 90);
    ASSERT_EQ(right.Rails.size(), 8u);
    ASSERT_EQ(back.Rails.size(), 8u);
    ASSERT_EQ(left.Rails.size(), 8u);
    EXPECT_EQ(End(right.Rails.back()), Z(1300, 1200));
    EXPECT_EQ(End(left.Rails.back()), Z(1300, 800));
    EXPECT_EQ(Start(back.Rails.front()), Z(800, 1200)); // heading up, turning right into the rail
    EXPECT_EQ(End(back.Rails.back()), Z(1000, 1000));
    EXPECT_EQ(ArcToPoint(rail, {1300, 1200}, 40).Radius, 200);
    const TArcChain straight = ArcToPoint(rail, {1500, 1001}, 40);
    ASSERT_EQ(straight.Rails.size(), 10u);
    EXPECT_TRUE(std::isinf(straight.Radius));
}

TEST(ArcGeometry, RefusalsNameTheirReason)
{
    const TRail rail = RailOf(1000, 1000, 1100, 1000);
    const TArcEnd ahead = TArcEnd::Second;
    const std::pair<TArcChain, TArcRefusal> cases[] = {
        {ArcByAngle(RailOf(5, 5, 5, 5), ahead, 300, 50, 90), R::BadRail},
        {ArcByAngle(rail, ahead, 9, 5, 90), R::BadRadius},
        {ArcByAngle(rail, ahead, 20001, 50, 90), R::BadRadius},
        {ArcByAngle(rail, ahead, 300, 4, 90), R::BadPiece},
        {ArcByAngle(rail, TArcEnd::First, 300, 2001, 90), R::BadPiece},
        {ArcByAngle(rail, ahead, 300, 50, 0), R::BadAngle},
        {ArcByAngle(rail, ahead, 300, 50, 360), R::BadAngle},
        {ArcByAngle(rail, ahead, 300, 50, -360), R::BadAngle},
        {ArcByAngle(rail, ahead, 10, 15, 90), R::SharpStep}, // one step of 90 degrees
        {ArcByAngle(rail, ahead, 2000, 50, -90), R::OutsideWorld},
        {ArcByAngle(rail, ahead, 10, 5, 1), R::Coincident},
        {ArcByAngle(rail, ahead, 30, 50, 10), R::ShortRail},
        // Steps just under a right angle that rounding tips over it.
        {ArcByAngle(RailOf(5698, 4971, 5756, 4951), ahead, 33, 46, -358), R::Unjoined},
        {ArcToPoint(RailOf(3404, 7879, 3411, 7827), {3374, 7823}, 25), R::Unjoined},
        {ArcToPoint(rail, {1100, 1000}, 50), R::BadTarget},
        {ArcToPoint(rail, {900, 1000}, 50), R::BadTarget},
        {ArcToPoint(rail, {1100, 1020}, 50), R::SharpStep},
        {ArcToPoint(rail, {1105, 1000}, 50), R::ShortRail},
        {ArcToPoint(rail, {900, 1001}, 50), R::OutsideWorld}, // nearly round, far wider than the world
    };
    for (const auto& [got, want] : cases) {
        EXPECT_EQ(got.Refusal, want) << ArcRefusalText(want);
        EXPECT_TRUE(got.Rails.empty());
    }
}

// The reference circle of each test is found another way: its centre on the rail's normal at the end.
TEST(ArcGeometry, RandomArcsByAngleLieOnTheirCircleAtEqualStepsAndJoin)
{
    std::mt19937 rng(21);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    int laid = 0;
    for (int trial = 0; trial < 3000; ++trial) {
        const TRail rail = RandomRail(rng);
        const int radius = pick(0, 2) ? pick(10, 600) : pick(10, 20000), piece = pick(0, 3) ? pick(5, 120) : pick(5, 2000);
        const int angle = pick(1, 359) * (pick(0, 1) ? 1 : -1);
        const bool forward = pick(0, 1);
        SCOPED_TRACE(::testing::Message() << trial << ": r " << radius << " l " << piece << " a " << angle);
        const TArcChain got = ArcByAngle(rail, forward ? TArcEnd::Second : TArcEnd::First, radius, piece, angle);

        const double sweep = angle * Pi / 180, n = std::max(1.0, std::round(std::abs(sweep) * radius / piece));
        const Z u = (End(rail) - Start(rail)) / std::abs(End(rail) - Start(rail)), anchor = forward ? End(rail) : Start(rail);
        const Z centre = anchor + u * Z(0, angle > 0 ? radius : -radius);
        const Z from = forward ? anchor : centre + (anchor - centre) * std::polar(1.0, -sweep);
        const auto ideal = [&](double k) { return centre + (from - centre) * std::polar(1.0, sweep * k / n); };
        bool outside = false;
        for (int k = 0; k <= n; ++k) outside |= Outside(ideal(k));
        const bool sharp = std::abs(sweep) / n >= Pi / 2;
        EXPECT_EQ(got.Refusal == R::SharpStep, sharp);
        EXPECT_EQ(got.Refusal == R::OutsideWorld, outside && !sharp);
        if (!got) continue;
        ++laid;
        ASSERT_EQ(double(got.Rails.size()), n);
        EXPECT_EQ(forward ? Start(got.Rails.front()) : End(got.Rails.back()), anchor);
        for (std::size_t k = 0; k < got.Rails.size(); ++k) {
            EXPECT_NEAR(std::abs(End(got.Rails[k]) - ideal(double(k + 1))), 0, 0.71); // on the circle, at equal steps
            EXPECT_NEAR(std::abs(End(got.Rails[k]) - centre), radius, 1);
        }
        std::vector<TRail> travel = got.Rails;
        travel.insert(forward ? travel.begin() : travel.end(), rail);
        ExpectJoined(travel);
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

        // The centre lies as far from p as from the target.
        const Z d = Z(target.x, target.y) - p, normal = u * Z(0, 1);
        const double rho = std::norm(d) / (2 * (d.real() * normal.real() + d.imag() * normal.imag()));
        const Z centre = p + normal * rho;
        if (got.Refusal == R::OutsideWorld) {
            bool outside = false;
            for (int k = 0; k <= 4000; ++k) outside |= Outside(centre + (p - centre) * std::polar(1.0, 2 * std::arg(d / u) * k / 4000));
            EXPECT_TRUE(outside) << rho;
        }
        if (!got) continue;
        ++laid;
        const bool line = std::isinf(got.Radius);
        straight += line;
        EXPECT_EQ(Start(got.Rails.front()), p);
        EXPECT_EQ(End(got.Rails.back()), Z(target.x, target.y));
        double turned = 0;
        for (std::size_t k = 0; k < got.Rails.size(); ++k) {
            const TRail& r = got.Rails[k];
            // A straight run stands only for a circle that strays under half a unit from it.
            if (std::abs(rho) < 1e9) {
                EXPECT_NEAR(std::abs(End(r) - centre), std::abs(rho), line ? 1.25 : 1) << rho;
            } else { // the circle is the straight line within a tenth of a unit
                EXPECT_LT(std::abs(((End(r) - p) / d).imag()) * std::abs(d), 1);
            }
            if (k + 1 < got.Rails.size()) {
                EXPECT_NEAR(r.Length(), piece, 1.5); // equal chords, equal steps
            }
            turned += std::arg((End(r) - centre) / (Start(r) - centre));
        }
        if (!line) {
            EXPECT_NEAR(turned, 2 * std::arg(d / u), 1e-6); // one way round, never back
        }
        std::vector<TRail> travel = got.Rails;
        travel.insert(travel.begin(), rail);
        ExpectJoined(travel);
    }
    EXPECT_GT(laid, 1500);
    EXPECT_GT(straight, 100);
}
