// Finding, snapping and moving element ends for the select tool's drag.
#include <gtest/gtest.h>

#include "model/TMap.h"
#include "tests/support/MapBuilders.h"

using MapBuilders::PutBorder;
using MapBuilders::PutRail;

namespace {

TEST(MapEnds, TheNearestEndWithinFiveUnitsAndOnTiesThePickingOrder)
{
    TMap map;
    PutBorder(map, 100, 100, 200, 100); // border 0
    PutRail(map, 100, 100, 100, 300);   // rail 0, first end on the border's
    PutRail(map, 300, 100, 100, 100);   // rail 1, second end there too
    PutRail(map, 103, 104, 400, 400);   // rail 2, exactly 5 away from (100, 100)

    // Equally near: a rail before a border, the higher index first.
    EXPECT_EQ(map.EndNear(100, 100), (TElementEnd{true, 1, 2}));
    // Nearer wins whatever the order; exactly 5 units is too far.
    EXPECT_EQ(map.EndNear(102, 103), (TElementEnd{true, 2, 1}));
    EXPECT_EQ(map.EndNear(98, 97), (TElementEnd{true, 1, 2}));
    EXPECT_FALSE(map.EndNear(100, 95).has_value());
    EXPECT_FALSE(map.EndNear(150, 150).has_value());
    // A border whose ends meet: the second end is named first.
    PutBorder(map, 700, 700, 700, 700);
    EXPECT_EQ(map.EndNear(701, 701), (TElementEnd{false, 1, 2}));
    // Ends far outside 32-bit differences are simply not near.
    PutRail(map, INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX);
    EXPECT_FALSE(map.EndNear(INT32_MAX - 20, 0).has_value());

    EXPECT_EQ(map.EndsAt({100, 100}),
              (std::vector<TElementEnd>{{false, 0, 1}, {true, 0, 1}, {true, 1, 2}}));
    EXPECT_EQ(map.EndPoint({true, 2, 2}), (TPoint{400, 400}));
    EXPECT_EQ(map.EndPoint({true, 99, 1}), (TPoint{0, 0}));
}

TEST(MapEnds, MovedEndsTakeThePointAndSetModified)
{
    TMap map;
    PutRail(map, 100, 100, 200, 100);
    PutBorder(map, 200, 100, 200, 300);
    map.SelectRail(0);
    map.Modified = false;
    map.MoveEnds({{true, 0, 2}, {false, 0, 1}, {true, 7, 1}}, {250, 150});
    EXPECT_EQ(map.Rails()[0].X2, 250);
    EXPECT_EQ(map.Rails()[0].Y2, 150);
    EXPECT_EQ(map.Borders()[0].X1, 250);
    EXPECT_EQ(map.Borders()[0].Y1, 150);
    EXPECT_TRUE(map.Rails()[0].Selected);
    EXPECT_TRUE(map.Modified);
    map.Modified = false;
    map.MoveEnds({{true, 0, 2}}, {250, 150});
    EXPECT_FALSE(map.Modified);
}

TEST(MapEnds, AMovingPointNeverSnapsToAMovingEnd)
{
    TMap map;
    PutRail(map, 100, 100, 200, 100); // rail 0
    PutRail(map, 200, 100, 300, 100); // rail 1, joined at (200, 100)
    PutRail(map, 202, 103, 250, 250); // rail 2, an end near the joint
    map.ViewWidth = 718;
    map.ViewHeight = 600;
    bool snapped = false;
    // The joint's two ends move: only rail 2's end is there to take.
    EXPECT_EQ(map.SnapMovingPoint(200, 100, {{true, 0, 2}, {true, 1, 1}}, snapped), (TPoint{202, 103}));
    EXPECT_TRUE(snapped);
    // Rail 2's end moves alone: it may go back onto the joint (the last end visited).
    EXPECT_EQ(map.SnapMovingPoint(201, 101, {{true, 2, 1}}, snapped), (TPoint{200, 100}));
    EXPECT_TRUE(snapped);
    // Everything near is moving: no snap.
    EXPECT_EQ(map.SnapMovingPoint(201, 102, {{true, 0, 2}, {true, 1, 1}, {true, 2, 1}}, snapped), (TPoint{201, 102}));
    EXPECT_FALSE(snapped);
    // In view coordinates, like every snap.
    map.ViewX = 100;
    EXPECT_EQ(map.SnapMovingPoint(101, 101, {{true, 2, 1}}, snapped), (TPoint{100, 100}));
}

} // namespace
