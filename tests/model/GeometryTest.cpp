#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <numbers>
#include <optional>
#include <random>

#include "model/Errors.h"
#include "model/TLine.h"
#include "model/TMap.h"
#include "tests/support/MapBuilders.h"

namespace {

constexpr double Pi = std::numbers::pi;

TLine Line(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2)
{
    TLine l;
    l.X1 = x1;
    l.Y1 = y1;
    l.X2 = x2;
    l.Y2 = y2;
    return l;
}

TLine Vector(std::int32_t dx, std::int32_t dy) { return Line(500, 500, 500 + dx, 500 + dy); }

TEST(Heading, EightDirectionsAndZeroLength)
{
    const struct {
        std::int32_t dx, dy;
        double expected;
    } cases[] = {
        {1, 0, 0},          {1, 1, Pi / 4},      {0, 1, Pi / 2},      {-1, 1, 3 * Pi / 4}, {-1, 0, Pi},
        {-1, -1, 5 * Pi / 4}, {0, -1, 3 * Pi / 2}, {1, -1, 7 * Pi / 4}, {0, 0, 0},           {70, 70, Pi / 4},
    };
    for (const auto& c : cases)
        EXPECT_DOUBLE_EQ(Vector(c.dx, c.dy).Heading(), c.expected) << c.dx << "," << c.dy;
}

TEST(Heading, AgreesWithAtan2AndStaysInRange)
{
    std::mt19937 rng(7);
    std::uniform_int_distribution<std::int32_t> d(-300, 300);
    for (int k = 0; k < 5000; ++k) {
        const std::int32_t dx = d(rng), dy = d(rng);
        if (dx == 0 && dy == 0) continue;
        const double h = Vector(dx, dy).Heading();
        ASSERT_GE(h, 0.0);
        ASSERT_LT(h, 2 * Pi);
        double expected = std::atan2(static_cast<double>(dy), static_cast<double>(dx));
        if (expected < 0) expected += 2 * Pi;
        ASSERT_NEAR(h, expected, 1e-12) << dx << "," << dy;
    }
}

TEST(TurnAngle, WrapsIntoHalfOpenRange)
{
    const TLine southEast = Vector(1, 1);  // pi/4
    const TLine northEast = Vector(1, -1); // 7pi/4
    EXPECT_DOUBLE_EQ(TurnAngle(northEast, southEast), Pi / 2);
    EXPECT_DOUBLE_EQ(TurnAngle(southEast, northEast), -Pi / 2);
    EXPECT_EQ(TurnAngle(southEast, southEast), 0.0);
    // Exactly opposite: pi is outside [-pi, pi), so it comes out as -pi.
    EXPECT_DOUBLE_EQ(TurnAngle(Vector(1, 0), Vector(-1, 0)), -Pi);
    EXPECT_DOUBLE_EQ(TurnAngle(Vector(-1, 0), Vector(1, 0)), -Pi);
}

TEST(Length, AndPointDistance)
{
    EXPECT_DOUBLE_EQ(Vector(3, 4).Length(), 5.0);
    EXPECT_DOUBLE_EQ(Vector(0, 0).Length(), 0.0);
    EXPECT_DOUBLE_EQ(PointDistance(1, 1, 4, 5), 5.0);
    EXPECT_DOUBLE_EQ(PointDistance(-3, 0, 0, 4), 5.0);
}

struct DistanceCase {
    const char* name;
    TLine line;
    std::int32_t px, py;
    double expected;
};

TEST(DistanceTo, RejectionAndTheThreeRegions)
{
    // View at (100, 200), 300 x 200; points and ends below are world coordinates of the line.
    const DistanceCase cases[] = {
        {"both ends left of the view, point 1 away", Line(90, 300, 99, 300), 0, 101, FarDistance},
        {"both ends right of the view", Line(401, 210, 450, 250), 299, 10, FarDistance},
        {"both ends above", Line(150, 150, 250, 199), 50, 0, FarDistance},
        {"both ends below", Line(150, 401, 250, 420), 50, 199, FarDistance},
        {"end exactly on the right edge is inside", Line(400, 300, 410, 300), 300, 103, 3.0},
        {"end exactly on the bottom edge is inside", Line(200, 400, 200, 410), 104, 200, 4.0},
        {"crossing the view from outside to outside", Line(50, 300, 450, 300), 150, 97, 3.0},
        {"perpendicular foot inside", Line(100, 300, 200, 300), 50, 104, 4.0},
        {"beyond the second end", Line(100, 300, 200, 300), 103, 104, 5.0},
        {"projects exactly onto the first end", Line(150, 300, 250, 300), 50, 107, 7.0},
        {"projects exactly onto the second end", Line(150, 300, 250, 300), 150, 93, 7.0},
        {"zero length", Line(150, 300, 150, 300), 53, 104, 5.0},
        {"diagonal perpendicular", Line(100, 200, 200, 300), 0, 10, 10 / std::sqrt(2.0)},
    };
    for (const auto& c : cases)
        EXPECT_DOUBLE_EQ(c.line.DistanceTo(c.px, c.py, 100, 200, 300, 200), c.expected) << c.name;
}

TEST(CheckedGeometry, OverflowRaisesIntegerOverflow)
{
    EXPECT_THROW(Line(INT32_MIN, 0, INT32_MAX, 0).DX(), EIntOverflow);
    EXPECT_THROW(Line(0, INT32_MAX, 0, -2).DY(), EIntOverflow);
    EXPECT_THROW(Vector(50000, 0).Length(), EIntOverflow);     // square beyond 32 bits
    EXPECT_THROW(Vector(40000, 40000).Length(), EIntOverflow); // the sum beyond 32 bits
    EXPECT_THROW(PointDistance(0, 0, 46341, 0), EIntOverflow);
    EXPECT_DOUBLE_EQ(PointDistance(0, 0, 46340, 0), 46340.0);
    EXPECT_THROW(Line(INT32_MAX, 0, INT32_MAX, 0).DistanceTo(0, 0, -1, 0, 10, 10), EIntOverflow);
    EXPECT_THROW(Line(0, 0, 60000, 0).DistanceTo(30000, 1, 0, 0, 70000, 70000), EIntOverflow);
    EXPECT_THROW(TurnAngle(Vector(1, 0), Line(INT32_MIN, 0, 1, 0)), EIntOverflow);
    // Far from the view, an element near the 32-bit limit is still just rejected.
    EXPECT_EQ(Line(INT32_MAX - 5, 0, INT32_MAX, 0).DistanceTo(0, 0, 0, 0, 100, 100), FarDistance);
}

// The elements a count adds are zero in every field (no ends, no links, no
// marks, black and flat), whether an open step records them for undo or not,
// also in the slots of elements that a smaller count dropped.
TEST(Elements, ThoseACountAddsAreZeroInEveryField)
{
    for (const bool recorded : {false, true}) {
        TMap map;
        MapBuilders::PutRail(map, 100, 100, 200, 100);
        MapBuilders::PutBorder(map, 5, 6, 7, 8, 0xABCDEF, bkArch);
        map.SelectRail(0);
        map.SelectBorder(0);
        std::int32_t fault = 0;
        map.CheckRoutes(fault); // links the rail (to nothing: -1)
        ASSERT_NE(map.RailLinks(0).Next1, 0);
        std::optional<TEditStep> step;
        if (recorded) step.emplace(map, TStepKind::Delete);
        map.SetRailCount(0);
        map.SetBorderCount(0);
        map.SetRailCount(2);
        map.SetBorderCount(2);
        for (std::int32_t k = 0; k < map.RailCount(); ++k) {
            const TRail& r = map.Rails()[static_cast<std::size_t>(k)];
            const TRailLinks l = map.RailLinks(k);
            EXPECT_FALSE(r.Selected || r.IsStart || r.IsFinish) << recorded;
            EXPECT_EQ(r.X1 | r.Y1 | r.X2 | r.Y2 | l.Next1 | l.Next2 | l.Prev1 | l.Prev2, 0) << recorded;
        }
        for (const TBorder& b : map.Borders()) {
            EXPECT_FALSE(b.Selected) << recorded;
            EXPECT_EQ(b.X1 | b.Y1 | b.X2 | b.Y2, 0) << recorded;
            EXPECT_EQ(b.Color, 0u) << recorded;
            EXPECT_EQ(b.Kind, bkFlat) << recorded;
        }
    }
}

} // namespace
