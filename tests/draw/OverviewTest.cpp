#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "draw/Overview.h"
#include "draw/OverviewScale.h"
#include "tests/draw/DrawTestMaps.h"
#include "tests/support/RecordingCanvas.h"

using drawtest::PutBorder;
using drawtest::PutRail;
using drawtest::SetView;
using Calls = std::vector<std::string>;

namespace {

struct Bounds {
    std::int32_t minX, minY, maxX, maxY;
    friend bool operator==(const Bounds&, const Bounds&) = default;
};

Bounds BoundsOf(const TMap& map) { return {MinX(map), MinY(map), MaxX(map), MaxY(map)}; }

std::ostream& operator<<(std::ostream& os, const Bounds& b)
{
    return os << "(" << b.minX << "," << b.minY << ")-(" << b.maxX << "," << b.maxY << ")";
}

TMap OneRail(bool selected)
{
    TMap map;
    SetView(map, 0, 0);
    PutRail(map, 100, 200, 300, 400);
    if (selected) map.SelectRail(0);
    return map;
}

} // namespace

TEST(OverviewBounds, FollowTheRailZeroAndMarginRules)
{
    {
        const TMap empty;
        EXPECT_EQ(BoundsOf(empty), (Bounds{-10, -10, 10, 10}));
    }
    EXPECT_EQ(BoundsOf(OneRail(false)), (Bounds{90, 190, 310, 410}));
    {
        TMap bordersOnly;
        PutBorder(bordersOnly, 100, 150, 200, 100, 0, bkFlat);
        PutBorder(bordersOnly, 120, 200, 180, 130, 0, bkWall);
        EXPECT_EQ(BoundsOf(bordersOnly), (Bounds{-10, -10, 210, 210}));
    }
    {
        // Rail 0's first end replaces the start values even when worse.
        TMap negative;
        PutRail(negative, -100, -100, -50, -60);
        EXPECT_EQ(BoundsOf(negative), (Bounds{-110, -110, -40, -50}));
        PutBorder(negative, -300, 20, -200, 30, 0, bkFlat);
        EXPECT_EQ(BoundsOf(negative), (Bounds{-310, -110, -40, 40}));
    }
    {
        // Only rail 0 replaces unconditionally; later rails must be better.
        TMap two;
        PutRail(two, 500, 500, 600, 600);
        PutRail(two, 550, 550, 560, 560);
        EXPECT_EQ(BoundsOf(two), (Bounds{490, 490, 610, 610}));
    }
}

TEST(Overview, EmptyMapIsBlackWithTheOutlineReachingFarOut)
{
    TMap map;
    SetView(map, 0, 0);
    TRecordingCanvas canvas;
    DrawOverviewWithViewport(map, canvas, 137, 137, 0, 0);
    EXPECT_EQ(canvas.Calls, (Calls{"SetPenColor(0x000000)", "SetPenWidth(1)", "SetBrushColor(0x000000)",
                                   "SetBrushStyle(Solid)", "Rectangle(0,0,137,137)", "SetPenColor(0x00FF00)",
                                   "SetBrushStyle(Clear)", "Rectangle(68,68,4986,4178)"}));
    EXPECT_EQ(canvas.BrushStyle, TBrushStyle::Clear);
}

TEST(Overview, OneRailRoundedPlainAndTruncatedWhenSelected)
{
    TRecordingCanvas canvas;
    DrawOverview(OneRail(false), canvas, 137, 137);
    EXPECT_EQ(canvas.CallsOf({"SetPenColor", "MoveTo", "LineTo"}),
              (Calls{"SetPenColor(0x000000)", "SetPenColor(0xFFFFFF)", "MoveTo(6,6)", "LineTo(131,131)"}));

    TRecordingCanvas selected;
    DrawOverviewWithViewport(OneRail(true), selected, 137, 137, 0, 0);
    EXPECT_EQ(selected.CallsOf({"SetPenColor", "MoveTo", "LineTo", "Rectangle"}),
              (Calls{"SetPenColor(0x000000)", "Rectangle(0,0,137,137)", "SetPenColor(0xFFFFFF)", "MoveTo(6,6)",
                     "LineTo(131,131)", "SetPenColor(0x0000FF)", "MoveTo(6,6)", "LineTo(130,130)",
                     "SetPenColor(0x00FF00)", "Rectangle(-56,-118,391,255)"}));
}

TEST(Overview, RoundedImagesTieToEven)
{
    TMap map;
    PutBorder(map, 0, 0, 0, 0, 0x112233, bkFlat); // bounds -10..10: the point sits at half the range
    struct Case {
        std::int32_t width, height;
        const char* move;
    } const cases[] = {{1, 1, "MoveTo(0,0)"}, {3, 1, "MoveTo(2,0)"}, {1, 3, "MoveTo(0,2)"}, {5, 7, "MoveTo(2,4)"}};
    for (const Case& c : cases) {
        TRecordingCanvas canvas;
        DrawOverview(map, canvas, c.width, c.height);
        EXPECT_EQ(canvas.CallsOf({"MoveTo"}), Calls{c.move}) << c.width << "x" << c.height;
    }
}

TEST(Overview, RailColoursStartOverFinishAndSelectionOnTop)
{
    TMap map;
    for (int i = 0; i < 4; ++i) PutRail(map, 0, i * 10, 100, i * 10);
    map.SetStartRail(1);
    map.SetFinishRail(2);
    map.SelectRail(1);
    TRecordingCanvas canvas;
    DrawOverview(map, canvas, 137, 137);
    EXPECT_EQ(canvas.CallsOf({"SetPenColor"}),
              (Calls{"SetPenColor(0x000000)", "SetPenColor(0xFFFFFF)", "SetPenColor(0xFFFFFF)", "SetPenColor(0x8888FF)",
                     "SetPenColor(0xFFFFFF)", "SetPenColor(0x00FF00)", "SetPenColor(0xFFFFFF)",
                     "SetPenColor(0x0000FF)"}));
    // A rail that is both start and finish (as a map file can leave it) is light red.
    map.StartRail = 3;
    map.FinishRail = 3;
    map.SelectRail(-1);
    TRecordingCanvas both;
    DrawOverview(map, both, 137, 137);
    const Calls colours = both.CallsOf({"SetPenColor"});
    EXPECT_EQ(Calls(colours.end() - 3, colours.end()),
              (Calls{"SetPenColor(0xFFFFFF)", "SetPenColor(0x00FF00)", "SetPenColor(0x8888FF)"}));
    // A selection past the rails draws nothing extra.
    map.SelRail = 4;
    TRecordingCanvas past;
    DrawOverview(map, past, 137, 137);
    EXPECT_EQ(past.CallsOf({"LineTo"}).size(), 4u);
}

TEST(Overview, BordersInTheirOwnColourWithWidthOne)
{
    TMap map;
    PutBorder(map, 0, 0, 100, 0, 0x0080FF, bkHighWall);
    PutRail(map, 0, 50, 100, 50);
    TRecordingCanvas canvas;
    DrawOverview(map, canvas, 137, 137);
    EXPECT_EQ(canvas.CallsOf({"SetPen"}),
              (Calls{"SetPenColor(0x000000)", "SetPenWidth(1)", "SetPenColor(0x0080FF)", "SetPenColor(0xFFFFFF)"}));
}

TEST(OverviewToView, CentresTheViewOnThePointUnclamped)
{
    const TMap one = OneRail(false);
    EXPECT_EQ(OverviewToView(one, 68, 68, 137, 137), (TPoint{-160, -1}));
    TMap empty;
    SetView(empty, 0, 0);
    // 137 * 20 / 137 - 10 - 359 = -349; y: 20 - 10 - 300.
    EXPECT_EQ(OverviewToView(empty, 137, 137, 137, 137), (TPoint{-349, -290}));
    // The halves of the view size are not truncated: 717 / 2 = 358.5.
    SetView(empty, 0, 0, 717, 601);
    EXPECT_EQ(OverviewToView(empty, 0, 0, 137, 137), (TPoint{-368, -310}));
}

TEST(Overview, ProductsAndSizesOutOfRangeRaiseOverflow)
{
    TMap map;
    SetView(map, 0, 0);
    PutRail(map, 0, 0, 20000000, 0);
    TRecordingCanvas canvas;
    EXPECT_THROW(DrawOverview(map, canvas, 137, 137), EIntOverflow);
    EXPECT_THROW(OverviewToView(map, 137, 0, 137, 137), EIntOverflow);
    const TMap empty;
    EXPECT_THROW(OverviewToView(empty, 10, 10, 0, 137), EIntOverflow);
    EXPECT_THROW(OverviewToView(empty, 10, 10, 137, 0), EIntOverflow);
}

TEST(OverviewScaling, IntegerRoundingAgreesWithExtendedPrecision)
{
    const auto extended = [](std::int32_t p, std::int32_t r) {
        return static_cast<std::int32_t>(std::nearbyint(static_cast<long double>(p) / static_cast<long double>(r)));
    };
    const std::pair<std::int32_t, std::int32_t> ties[] = {{10, 20},  {30, 20},  {-10, 20}, {-30, 20},
                                                          {50, 20},  {0, 20},   {1, 2},    {INT32_MAX, 2},
                                                          {INT32_MIN, 2}, {INT32_MIN + 1, 2}};
    for (const auto& [p, r] : ties) EXPECT_EQ(RoundedQuotient(p, r), extended(p, r)) << p << "/" << r;
    std::mt19937 random(11);
    std::uniform_int_distribution<std::int32_t> product(INT32_MIN, INT32_MAX);
    std::uniform_int_distribution<std::int32_t> range(20, 100000);
    std::uniform_int_distribution<std::int32_t> smallProduct(-3000000, 3000000);
    for (int i = 0; i < 200000; ++i) {
        const std::int32_t r = range(random);
        const std::int32_t p = i % 2 ? product(random) : smallProduct(random);
        ASSERT_EQ(RoundedQuotient(p, r), extended(p, r)) << p << "/" << r;
        // Exact halves too, from the small products only (no overflow).
        const std::int32_t half = (i % 2 == 0 && r % 2 == 0) ? (p / r) * r + r / 2 : p;
        ASSERT_EQ(RoundedQuotient(half, r), extended(half, r)) << half << "/" << r;
    }
}
