#include <gtest/gtest.h>

#include <climits>

#include "model/Errors.h"
#include "model/TMap.h"
#include "tests/support/MapBuilders.h"

using MapBuilders::PutBorder;
using MapBuilders::EditRail;
using MapBuilders::PutRail;

namespace {

/// A map whose view starts at (1000, 2000), 718 x 600, so view and world
/// coordinates differ.
TMap ViewedMap()
{
    TMap map;
    map.ViewX = 1000;
    map.ViewY = 2000;
    map.ViewWidth = 718;
    map.ViewHeight = 600;
    return map;
}

TEST(SelectAt, RailsComeBeforeBordersAndHigherIndicesWin)
{
    TMap map = ViewedMap();
    PutBorder(map, 1100, 2101, 1200, 2101); // 1 from the point
    PutRail(map, 1100, 2104, 1200, 2104);   // 4 from it
    map.SelectBorder(0);
    map.SelectAt(150, 100);
    EXPECT_EQ(map.SelRail, 0);
    EXPECT_EQ(map.SelBorder, -1);
    EXPECT_FALSE(map.Borders()[0].Selected);

    PutRail(map, 1100, 2097, 1200, 2097); // 3 from it, but a higher index
    map.SelectAt(150, 100);
    EXPECT_EQ(map.SelRail, 1);
    EXPECT_FALSE(map.Rails()[0].Selected);
    EXPECT_TRUE(map.Rails()[1].Selected);
}

TEST(SelectAt, ExactlyFiveDoesNotPickAndBordersPickWhenNoRailDoes)
{
    TMap map = ViewedMap();
    PutRail(map, 1100, 2105, 1200, 2105);   // exactly 5
    PutBorder(map, 1146, 2097, 1146, 2200); // 4
    PutBorder(map, 1153, 2100, 1153, 2200); // 3, higher index
    PutBorder(map, 1140, 2100, 1140, 2200); // 10
    map.SelectAt(150, 100);
    EXPECT_EQ(map.SelRail, -1);
    EXPECT_EQ(map.SelBorder, 1);
    map.SelectAt(400, 400); // nothing near: both selections cleared
    EXPECT_EQ(map.SelBorder, -1);
}

TEST(SelectAt, ElementBeyondTheViewCannotBePicked)
{
    TMap map = ViewedMap();
    PutRail(map, 990, 2100, 999, 2100); // both ends left of the view, 1 from (0, 100)
    map.SelectAt(0, 100);
    EXPECT_EQ(map.SelRail, -1);
}

TEST(SnapPoint, LastEndInVisitingOrderWins)
{
    TMap map = ViewedMap();
    PutBorder(map, 1100, 2100, 1300, 2300); // first end 0 away
    PutRail(map, 1000, 2000, 1103, 2104);   // second end 5 away: no snap
    PutRail(map, 1102, 2103, 1500, 2500);   // first end 3.6 away
    PutBorder(map, 1101, 2101, 1099, 2099); // both ends 1.4 away, but borders come first
    bool snapped = false;
    EXPECT_EQ(map.SnapPointEx(100, 100, 0, snapped), (TPoint{102, 103}));
    EXPECT_TRUE(snapped);

    PutRail(map, 1104, 2100, 1100, 2098); // a later rail: its second end wins over its first
    EXPECT_EQ(map.SnapPointEx(100, 100, 0, snapped), (TPoint{100, 98}));
    EXPECT_EQ(map.SnapPoint(650, 50, 0), (TPoint{650, 50}));
    map.SnapPointEx(650, 50, 0, snapped);
    EXPECT_FALSE(snapped);
}

TEST(SnapPoint, LastEndWinsAcrossManyElements)
{
    // Enough elements that the scan works in batches, with a remainder.
    for (const std::int32_t count : {7, 8, 9, 16, 23}) {
        TMap map = ViewedMap();
        for (std::int32_t k = 0; k < count; ++k) {
            const bool near = k % 5 == 2;
            PutRail(map, 1400 + k, 2400, near ? 1100 + k % 3 : 1700, near ? 2102 : 2500);
            PutBorder(map, near ? 1099 : 1650, 2100, 1650, 2450);
        }
        bool snapped = false;
        const std::int32_t last = (count - 1 - (count - 1 + 3) % 5); // highest k with k % 5 == 2
        EXPECT_EQ(map.SnapPointEx(100, 100, 0, snapped), (TPoint{100 + last % 3, 102})) << count;
        EditRail(map, count / 2, [](TRail& r) { r.X1 = INT32_MIN; }); // leaves 32 bits in view coordinates
        EXPECT_THROW(map.SnapPointEx(100, 100, 0, snapped), EIntOverflow) << count;
    }
}

TEST(SnapPoint, PlacedElementFollowsButNeverSnapsToItself)
{
    TMap map = ViewedMap();
    PutBorder(map, 1200, 2200, 1210, 2200);
    map.AddRail(1050, 2050, 1050, 2050);
    map.Modified = false;
    bool snapped = true;
    // Its own first end is 1 away; it must not count.
    EXPECT_EQ(map.SnapPointEx(51, 50, 2, snapped), (TPoint{51, 50}));
    EXPECT_FALSE(snapped);
    EXPECT_EQ(map.Rails()[0].X2, 1051);
    EXPECT_EQ(map.Rails()[0].Y2, 2050);
    // The border end is taken, and the rail's second end goes there.
    EXPECT_EQ(map.SnapPointEx(198, 201, 2, snapped), (TPoint{200, 200}));
    EXPECT_TRUE(snapped);
    EXPECT_EQ(map.Rails()[0].X2, 1200);
    EXPECT_EQ(map.Rails()[0].Y2, 2200);
    EXPECT_FALSE(map.Modified);
    // Placing 0 leaves the rail as a candidate and moves nothing.
    EXPECT_EQ(map.SnapPointEx(52, 49, 0, snapped), (TPoint{50, 50}));
    EXPECT_EQ(map.Rails()[0].X2, 1200);
}

TEST(SnapPoint, PlacingABorderMovesTheLastBorder)
{
    TMap map = ViewedMap();
    PutRail(map, 1300, 2300, 1400, 2300);
    map.AddBorder(1010, 2010, 1010, 2010, 0xFF, bkArch);
    bool snapped = false;
    EXPECT_EQ(map.SnapPointEx(299, 302, 1, snapped), (TPoint{300, 300}));
    EXPECT_EQ(map.Borders()[0].X2, 1300);
    EXPECT_EQ(map.Borders()[0].Y2, 2300);
    EXPECT_EQ(map.Rails()[0].X2, 1400);
}

TEST(SnapPoint, PlacingWithNothingOfThatKindMovesNothing)
{
    TMap map = ViewedMap();
    PutBorder(map, 1100, 2100, 1200, 2100);
    bool snapped = false;
    EXPECT_EQ(map.SnapPointEx(101, 100, 2, snapped), (TPoint{100, 100})); // no rail to drag
    EXPECT_TRUE(snapped);
    EXPECT_EQ(map.Borders()[0].X2, 1200);

    TMap railsOnly = ViewedMap();
    PutRail(railsOnly, 1100, 2100, 1200, 2100);
    EXPECT_EQ(railsOnly.SnapPointEx(5, 5, 1, snapped), (TPoint{5, 5}));
    EXPECT_EQ(railsOnly.Rails()[0].X2, 1200);
}

TEST(SnapPoint, ElementBeyondTheViewIsSkipped)
{
    TMap map = ViewedMap();
    PutRail(map, 990, 2100, 998, 2100); // x in view: -10 and -2
    bool snapped = true;
    EXPECT_EQ(map.SnapPointEx(1, 100, 0, snapped), (TPoint{1, 100}));
    EXPECT_FALSE(snapped);
}

TEST(AddElements, FirstEndSnapsSecondDoesNotAndSelectionsStack)
{
    TMap map = ViewedMap();
    PutRail(map, 1100, 2100, 1300, 2100);
    map.AddBorder(1302, 2101, 1302, 2101, 0x00FF00, bkWall);
    const TBorder& b = map.Borders()[0];
    EXPECT_EQ(b.X1, 1300);
    EXPECT_EQ(b.Y1, 2100);
    EXPECT_EQ(b.X2, 1302);
    EXPECT_EQ(b.Y2, 2101);
    EXPECT_EQ(b.Color, 0x00FF00u);
    EXPECT_EQ(b.Kind, bkWall);
    EXPECT_EQ(map.SelBorder, 0);
    EXPECT_TRUE(map.Modified);

    map.AddRail(1098, 2098, 1500, 2500);
    EXPECT_EQ(map.Rails()[1].X1, 1100);
    EXPECT_EQ(map.Rails()[1].Y1, 2100);
    EXPECT_EQ(map.Rails()[1].X2, 1500);
    EXPECT_EQ(map.SelRail, 1);
    EXPECT_EQ(map.SelBorder, 0); // both stay selected
    EXPECT_TRUE(map.Borders()[0].Selected);

    // The delete button removes both.
    map.DeleteRail(map.SelRail);
    map.DeleteBorder(map.SelBorder);
    EXPECT_EQ(map.RailCount(), 1);
    EXPECT_EQ(map.BorderCount(), 0);
}

TEST(AddElements, AtAnyScaleTheFirstEndSnapsWithinFivePixelsOfItsPixel)
{
    TMap map = ViewedMap();
    map.Zoom = TViewZoom{2}; // 4 pixels a unit
    PutRail(map, 1012, 2002, 1012, 2060); // first end drawn at (48, 8)
    PutRail(map, 1050, 2010, 1090, 2010); // first end drawn at (200, 40)
    map.AddRail(1050, 2011, 1070, 2030);  // drawn at (200, 44), 4 pixels from it
    EXPECT_EQ(map.Rails()[2].X1, 1050);
    EXPECT_EQ(map.Rails()[2].Y1, 2010);
    map.AddBorder(1050, 2012, 1070, 2030, 0, bkFlat); // 8 pixels: the point itself
    EXPECT_EQ(map.Borders()[0].X1, 1050);
    EXPECT_EQ(map.Borders()[0].Y1, 2012);

    map.Zoom = TViewZoom{-2}; // a pixel shows 4 units
    PutRail(map, 1100, 2100, 1300, 2100); // drawn at (25, 25)
    map.AddRail(1112, 2100, 1200, 2200);  // drawn at (28, 25), 3 pixels off
    EXPECT_EQ(map.Rails()[4].X1, 1100);
    EXPECT_EQ(map.Rails()[4].Y1, 2100);
}

TEST(AddElements, KindOutsideTheFourIsRefused)
{
    TMap map;
    EXPECT_THROW(map.AddBorder(0, 0, 5, 5, 0, 4), ERangeError);
    EXPECT_EQ(map.BorderCount(), 0);
    EXPECT_FALSE(map.Modified);
}

TEST(CheckedEditing, OverflowRaisesAndLeavesNoHalfMadeElement)
{
    TMap map;
    map.ViewX = -10;
    map.ViewWidth = 100;
    map.ViewHeight = 100;
    EXPECT_THROW(map.AddRail(INT32_MAX, 0, 0, 0), EIntOverflow);
    EXPECT_THROW(map.AddBorder(INT32_MAX - 5, 0, 0, 0, 0, bkFlat), EIntOverflow);
    EXPECT_EQ(map.RailCount(), 0);
    EXPECT_EQ(map.BorderCount(), 0);
    EXPECT_FALSE(map.Modified);

    // An element near the 32-bit limit breaks snapping as soon as it is taken into view coordinates.
    map.ViewX = -1;
    PutRail(map, INT32_MAX, 0, INT32_MAX, 10);
    bool snapped = false;
    EXPECT_THROW(map.SnapPointEx(0, 0, 0, snapped), EIntOverflow);
    EXPECT_THROW(map.SelectAt(0, 0), EIntOverflow);
    EXPECT_THROW(map.AddRail(0, 0, 0, 0), EIntOverflow);
    EXPECT_EQ(map.RailCount(), 1);

    TMap placing;
    placing.ViewX = INT32_MAX;
    PutRail(placing, 0, 0, 0, 0);
    EXPECT_THROW(placing.SnapPointEx(1, 0, 2, snapped), EIntOverflow); // the dragged end leaves 32 bits
}

} // namespace
