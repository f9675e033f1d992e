#include <gtest/gtest.h>

#include "model/Errors.h"
#include "model/TMap.h"
#include "tests/support/MapBuilders.h"
#include "tests/support/RouteOracle.h"

using MapBuilders::EditRail;
using MapBuilders::PutRail;

namespace {

using Kind = TRouteFaultKind;

struct TCheck {
    bool Result;
    std::int32_t FaultRail;
    std::vector<TRouteFault> Faults;
};

TCheck CheckMap(TMap& map)
{
    TCheck c{false, 12345, {}};
    c.Result = map.CheckRoutes(c.FaultRail, &c.Faults);
    return c;
}

void ExpectLinks(const TRailLinks& r, std::int32_t next1, std::int32_t next2, std::int32_t prev1, std::int32_t prev2)
{
    EXPECT_EQ(r.Next1, next1);
    EXPECT_EQ(r.Next2, next2);
    EXPECT_EQ(r.Prev1, prev1);
    EXPECT_EQ(r.Prev2, prev2);
}

TMap SixRing()
{
    TMap map = MapBuilders::Ring({{100, 0}, {200, 0}, {250, 87}, {200, 174}, {100, 174}, {50, 87}});
    map.ViewX = 7;
    map.ViewY = 9;
    map.ViewWidth = 718;
    map.ViewHeight = 600;
    return map;
}

TEST(RouteCheck, EmptyMapFailsWithoutAFaultyRail)
{
    TMap map;
    map.ViewX = 33;
    const TCheck c = CheckMap(map);
    EXPECT_FALSE(c.Result);
    EXPECT_EQ(c.FaultRail, -1);
    EXPECT_EQ(map.ViewX, 33);
    EXPECT_EQ(c.Faults, (std::vector<TRouteFault>{{-1, Kind::NoStart}, {-1, Kind::NoFinish}}));
}

TEST(RouteCheck, ClosedRingOfSixIsValid)
{
    TMap map = SixRing();
    map.SetStartRail(0);
    map.SetFinishRail(3);
    const TCheck c = CheckMap(map);
    EXPECT_TRUE(c.Result);
    EXPECT_EQ(c.FaultRail, -1);
    EXPECT_TRUE(c.Faults.empty());
    for (std::int32_t i = 0; i < 6; ++i) {
        SCOPED_TRACE(i);
        ExpectLinks(map.RailLinks(i), (i + 1) % 6, (i + 1) % 6, (i + 5) % 6, (i + 5) % 6);
    }
    EXPECT_EQ(map.ViewX, 7);
    EXPECT_EQ(map.ViewY, 9);
}

TEST(RouteCheck, MissingOrOutOfRangeStartAndFinishFailQuietly)
{
    const struct {
        std::int32_t start, finish;
        std::vector<TRouteFault> faults;
    } cases[] = {
        {0, -1, {{-1, Kind::NoFinish}}},
        {-1, 2, {{-1, Kind::NoStart}}},
        {6, 2, {{-1, Kind::NoStart}}},
        {1, 6, {{-1, Kind::NoFinish}}},
        {-1, 60, {{-1, Kind::NoStart}, {-1, Kind::NoFinish}}},
    };
    for (const auto& k : cases) {
        TMap map = SixRing();
        map.StartRail = k.start;
        map.FinishRail = k.finish;
        const TCheck c = CheckMap(map);
        EXPECT_FALSE(c.Result);
        EXPECT_EQ(c.FaultRail, -1);
        EXPECT_EQ(c.Faults, k.faults) << k.start << " " << k.finish;
        EXPECT_EQ(map.ViewX, 7);
    }
}

TEST(RouteCheck, RightAnglesAndReversalsAreNotJoined)
{
    const struct {
        const char* name;
        std::int32_t x3, y3;
    } cases[] = {{"square corner", 200, 200}, {"running back", 150, 100}};
    for (const auto& k : cases) {
        TMap map;
        PutRail(map, 100, 100, 200, 100);
        PutRail(map, 200, 100, k.x3, k.y3);
        map.SetStartRail(0);
        map.SetFinishRail(1);
        const TCheck c = CheckMap(map);
        EXPECT_FALSE(c.Result) << k.name;
        EXPECT_EQ(c.FaultRail, 1) << k.name;
        ExpectLinks(map.RailLinks(0), -1, -1, -1, -1);
        ExpectLinks(map.RailLinks(1), -1, -1, -1, -1);
    }
}

TEST(RouteCheck, SquareJoinsNothingAndReportsItsLastRail)
{
    TMap map = MapBuilders::Ring({{100, 100}, {200, 100}, {200, 200}, {100, 200}});
    map.SetStartRail(0);
    map.SetFinishRail(2);
    const TCheck c = CheckMap(map);
    EXPECT_FALSE(c.Result);
    EXPECT_EQ(c.FaultRail, 3);
    ASSERT_EQ(c.Faults.size(), 8u);
    for (std::int32_t i = 0; i < 4; ++i) {
        EXPECT_EQ(c.Faults[static_cast<std::size_t>(i)], (TRouteFault{i, Kind::NoSuccessor}));
        EXPECT_EQ(c.Faults[static_cast<std::size_t>(4 + i)], (TRouteFault{i, Kind::NoPredecessor}));
    }
}

TEST(RouteCheck, ForkOfThreeLinksTwoByTurnAngle)
{
    TMap map;
    PutRail(map, 0, 100, 100, 100);
    PutRail(map, 100, 100, 200, 110);
    PutRail(map, 100, 100, 200, 90);
    PutRail(map, 100, 100, 200, 100);
    map.SetStartRail(0);
    map.SetFinishRail(1);
    const TCheck c = CheckMap(map);
    EXPECT_FALSE(c.Result);
    EXPECT_EQ(c.FaultRail, 3);
    ExpectLinks(map.RailLinks(0), 1, 2, -1, -1);
    ExpectLinks(map.RailLinks(1), -1, -1, 0, 0);
    ExpectLinks(map.RailLinks(2), -1, -1, 0, 0);
    ExpectLinks(map.RailLinks(3), -1, -1, -1, -1);
    EXPECT_EQ(c.Faults, (std::vector<TRouteFault>{{0, Kind::ThirdSuccessor},
                                                  {1, Kind::NoSuccessor},
                                                  {2, Kind::NoSuccessor},
                                                  {3, Kind::NoSuccessor},
                                                  {0, Kind::NoPredecessor},
                                                  {3, Kind::NoPredecessor}}));
}

TEST(RouteCheck, MergeOfThreeFailsTheThirdPredecessor)
{
    TMap map;
    PutRail(map, 0, 110, 100, 100);
    PutRail(map, 0, 90, 100, 100);
    PutRail(map, 0, 100, 100, 100);
    PutRail(map, 100, 100, 200, 100);
    map.SetStartRail(0);
    map.SetFinishRail(3);
    const TCheck c = CheckMap(map);
    EXPECT_FALSE(c.Result);
    EXPECT_EQ(c.FaultRail, 2);
    ExpectLinks(map.RailLinks(3), -1, -1, 0, 1);
    ExpectLinks(map.RailLinks(2), 3, 3, -1, -1); // the failed links are still written
    EXPECT_EQ(c.Faults, (std::vector<TRouteFault>{{3, Kind::ThirdPredecessor},
                                                  {3, Kind::ThirdPredecessor},
                                                  {3, Kind::NoSuccessor},
                                                  {0, Kind::NoPredecessor},
                                                  {1, Kind::NoPredecessor},
                                                  {2, Kind::NoPredecessor}}));
}

TEST(RouteCheck, EqualHeadingsKeepTheLowerIndexInSlotOne)
{
    TMap forks;
    PutRail(forks, 0, 100, 100, 100);
    PutRail(forks, 100, 100, 200, 100);
    PutRail(forks, 100, 100, 300, 100);
    std::int32_t fault = 0;
    forks.CheckRoutes(fault);
    EXPECT_EQ(forks.RailLinks(0).Next1, 1);
    EXPECT_EQ(forks.RailLinks(0).Next2, 2);

    TMap merges;
    PutRail(merges, 0, 100, 100, 100);
    PutRail(merges, 50, 100, 100, 100);
    PutRail(merges, 100, 100, 200, 100);
    merges.CheckRoutes(fault);
    EXPECT_EQ(merges.RailLinks(2).Prev1, 0);
    EXPECT_EQ(merges.RailLinks(2).Prev2, 1);
}

TEST(RouteCheck, CentresTheReportedRailWithTruncatingDivision)
{
    const struct {
        std::int32_t width, height, viewX, viewY;
    } cases[] = {{718, 600, -259, -200}, {519, 601, -159, -200}, {100, 99, 50, 50}};
    for (const auto& k : cases) {
        TMap map;
        PutRail(map, 100, 50, 100, 150);
        map.ViewWidth = k.width;
        map.ViewHeight = k.height;
        std::int32_t fault = -7;
        EXPECT_FALSE(map.CheckRoutes(fault));
        EXPECT_EQ(fault, 0);
        EXPECT_EQ(map.ViewX, k.viewX) << k.width;
        EXPECT_EQ(map.ViewY, k.viewY) << k.height;
    }
}

TEST(RouteCheck, CleansUpFirstAndFollowsTheRenumbering)
{
    TMap map = SixRing();
    std::vector<TRail> rails{TRail{}}; // zero length: removed
    rails.insert(rails.end(), map.Rails().begin(), map.Rails().end());
    map.SetRailCount(0);
    map.AppendRails(rails);
    map.SetStartRail(1);
    map.SetFinishRail(4);
    map.Modified = false;
    const TCheck c = CheckMap(map);
    EXPECT_TRUE(c.Result);
    EXPECT_EQ(map.RailCount(), 6);
    EXPECT_EQ(map.StartRail, 0);
    EXPECT_EQ(map.FinishRail, 3);
    EXPECT_TRUE(map.Modified);
}

TEST(RouteCheck, LinkCallsRefuseAThirdPredecessorButKeepTheWrite)
{
    TMap map;
    for (int k = 0; k < 4; ++k) PutRail(map, 0, 100 + 10 * k, 100, 200);
    for (std::int32_t k = 0; k < 4; ++k) map.SetRailLinks(k, {-1, -1, -1, -1, 0});
    EXPECT_TRUE(map.LinkFirst(0, 3));
    EXPECT_TRUE(map.LinkSecond(1, 3));
    EXPECT_TRUE(map.LinkFirst(1, 3)); // already one of the two
    EXPECT_FALSE(map.LinkSecond(2, 3));
    EXPECT_EQ(map.RailLinks(2).Next2, 3);
    EXPECT_THROW(map.LinkFirst(0, 4), ERangeError);
    EXPECT_THROW(map.LinkSecond(-1, 0), ERangeError);
}

TEST(RouteCheck, TheMapKeepsItsLastChecksFaultsUntilTheNextCheck)
{
    TMap map;
    EXPECT_FALSE(map.LastRouteFaults().has_value());
    PutRail(map, 1000, 1000, 2000, 1000);
    PutRail(map, 2000, 1000, 3000, 1000);
    const std::uint64_t before = map.RouteFaultsRevision();
    const TCheck first = CheckMap(map);
    ASSERT_TRUE(map.LastRouteFaults().has_value());
    EXPECT_EQ(map.LastRouteFaults()->Listed, first.Faults);
    EXPECT_NE(map.RouteFaultsRevision(), before);

    // Editing keeps them, like the links; deleting may leave a fault naming no rail.
    const std::uint64_t checked = map.RouteFaultsRevision();
    map.DeleteRail(1);
    map.AddRail(5000, 5000, 6000, 5000);
    EXPECT_EQ(map.LastRouteFaults()->Listed, first.Faults);
    EXPECT_EQ(map.RouteFaultsRevision(), checked);

    // A passed check leaves an empty list, not none, and the out list gets the same faults appended.
    TMap ring = SixRing();
    ring.SetStartRail(0);
    ring.SetFinishRail(3);
    std::int32_t faultRail = 0;
    std::vector<TRouteFault> faults = {{7, Kind::NoSuccessor}};
    EXPECT_TRUE(ring.CheckRoutes(faultRail, &faults));
    ASSERT_TRUE(ring.LastRouteFaults().has_value());
    EXPECT_TRUE(ring.LastRouteFaults()->Listed.empty());
    EXPECT_EQ(faults, (std::vector<TRouteFault>{{7, Kind::NoSuccessor}}));
    // Without an out list the map still records them.
    ring.SetStartRail(-1);
    EXPECT_FALSE(ring.CheckRoutes(faultRail));
    EXPECT_EQ(ring.LastRouteFaults()->Listed, (std::vector<TRouteFault>{{-1, Kind::NoStart}}));
}

TEST(RouteCheck, TheRailAFaultNamedIsFoundThroughEditsUndoAndRedo)
{
    TMap map;
    const auto step = [&map](TStepKind kind, auto change) {
        const TEditStep open(map, kind);
        change();
    };
    for (int k = 0; k < 3; ++k) step(TStepKind::DrawRail, [&] { map.AddRail(100, 100 + 100 * k, 300, 100 + 100 * k); });
    // A step recorded before the check, undone and then redone after it.
    step(TStepKind::Reverse, [&] { map.ReverseRail(1); });
    ASSERT_TRUE(map.Undo());
    std::int32_t faultRail = -1;
    map.CheckRoutes(faultRail);
    const TRouteFaultList checked = *map.LastRouteFaults();
    const auto found = [&](std::int32_t atCheck) { return map.RailWithRouteId(checked.RailId(atCheck)); };
    EXPECT_EQ(found(0), 0);
    EXPECT_EQ(found(2), 2);
    ASSERT_TRUE(map.Redo());
    EXPECT_EQ(found(1), 1);
    EXPECT_EQ(map.Rails()[1].X1, 300);

    // Deleting shifts the rails after it; a rail added since is never taken.
    step(TStepKind::Delete, [&] { map.DeleteRail(0); });
    step(TStepKind::DrawRail, [&] { map.AddRail(100, 400, 300, 400); });
    EXPECT_EQ(found(0), -1);
    EXPECT_EQ(found(1), 0);
    EXPECT_EQ(found(2), 1);
    EXPECT_EQ(found(3), -1);
    EXPECT_EQ(map.RailWithRouteId(0), -1);
    ASSERT_TRUE(map.Undo());
    ASSERT_TRUE(map.Undo());
    EXPECT_EQ(found(0), 0);
    EXPECT_EQ(found(2), 2);
    // The next check gives every rail a new id: the old ones find nothing.
    map.CheckRoutes(faultRail);
    EXPECT_EQ(found(0), -1);
    EXPECT_EQ(map.RailWithRouteId(map.LastRouteFaults()->RailId(2)), 2);
}

TEST(RouteCheck, TheMapListsTheFirstHundredThousandFaultsAndCountsThemAll)
{
    // 400 rails into a point and 400 out of it: 160,000 faults and more.
    TMap map = MapBuilders::ForkStorm(400);
    map.SetStartRail(0);
    const RouteOracle::TOutcome expected = RouteOracle::Check(map);
    ASSERT_GT(expected.Faults.size(), 160000u);
    std::int32_t faultRail = -1;
    std::int64_t sunk = 0;
    EXPECT_FALSE(map.CheckRoutes(faultRail, [&](const TRouteFault& fault) {
        EXPECT_EQ(fault, expected.Faults[static_cast<std::size_t>(sunk)]);
        ++sunk;
    }));
    EXPECT_EQ(sunk, static_cast<std::int64_t>(expected.Faults.size()));
    EXPECT_EQ(faultRail, expected.FaultRail);
    const TRouteFaultList& list = *map.LastRouteFaults();
    EXPECT_EQ(list.Total, sunk);
    EXPECT_EQ(list.Listed, std::vector<TRouteFault>(expected.Faults.begin(), expected.Faults.begin() + 100000));
    EXPECT_EQ(list.Reported, (TRouteFault{expected.FaultRail, Kind::NoPredecessor}));
    EXPECT_EQ(list.WholeMap, (std::vector<TRouteFault>{{-1, Kind::NoFinish}}));
}

TEST(RouteCheck, AnIdHandedOutAgainNeverNamesARailThatUndoBringsBack)
{
    struct TScopedLimit {
        std::uint32_t Saved = TMap::RouteIdLimit;
        TScopedLimit() { TMap::RouteIdLimit = 8; }
        ~TScopedLimit() { TMap::RouteIdLimit = Saved; }
    } limit;
    TMap map;
    for (int k = 0; k < 3; ++k) {
        const TEditStep step(map, TStepKind::DrawRail);
        map.AddRail(100, 100 + 100 * k, 300, 100 + 100 * k);
    }
    std::int32_t faultRail = -1;
    map.CheckRoutes(faultRail); // ids 1, 2, 3
    {
        const TEditStep step(map, TStepKind::Delete);
        map.DeleteRail(0); // the history keeps it with id 1
    }
    map.CheckRoutes(faultRail); // 4, 5
    map.CheckRoutes(faultRail); // 6, 7
    map.CheckRoutes(faultRail); // past 8: 1, 2 again
    const TRouteFaultList checked = *map.LastRouteFaults();
    ASSERT_EQ(checked.FirstRailId, 1u);
    ASSERT_TRUE(map.Undo());
    ASSERT_EQ(map.RailCount(), 3);
    // Rail 0 of the last check is the rail now at index 1, not the one undo put back before it.
    EXPECT_EQ(map.RailWithRouteId(checked.RailId(0)), 1);
    EXPECT_EQ(map.Rails()[1].Y1, 200);
    EXPECT_EQ(map.RailWithRouteId(checked.RailId(1)), 2);
}

} // namespace
