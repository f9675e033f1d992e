#include <gtest/gtest.h>

#include <random>
#include <sstream>

#include "model/TMap.h"
#include "tests/support/MapBuilders.h"
#include "tests/support/RouteOracle.h"

namespace {

std::string Describe(const TMap& map, std::size_t k)
{
    const TRail& r = map.Rails()[k];
    const TRailLinks l = map.RailLinks(static_cast<std::int32_t>(k));
    std::ostringstream s;
    s << "(" << r.X1 << "," << r.Y1 << ")->(" << r.X2 << "," << r.Y2 << ") next " << l.Next1 << "/" << l.Next2
      << " prev " << l.Prev1 << "/" << l.Prev2 << (r.IsStart ? " start" : "") << (r.IsFinish ? " finish" : "")
      << (r.Selected ? " selected" : "");
    return s.str();
}

/// Runs both checks on copies of map and reports the first difference, or "".
std::string Compare(const TMap& map)
{
    const RouteOracle::TOutcome expected = RouteOracle::Check(map);
    TMap actual = map;
    std::int32_t faultRail = -99;
    std::vector<TRouteFault> faults;
    const bool result = actual.CheckRoutes(faultRail, &faults);

    std::ostringstream diff;
    if (result != expected.Result) diff << "result " << result << " vs " << expected.Result << "; ";
    if (faultRail != expected.FaultRail) diff << "fault rail " << faultRail << " vs " << expected.FaultRail << "; ";
    if (faults != expected.Faults) diff << "fault list differs (" << faults.size() << " vs " << expected.Faults.size() << "); ";
    const TMap& e = expected.Map;
    if (actual.ViewX != e.ViewX || actual.ViewY != e.ViewY)
        diff << "view " << actual.ViewX << "," << actual.ViewY << " vs " << e.ViewX << "," << e.ViewY << "; ";
    if (actual.StartRail != e.StartRail || actual.FinishRail != e.FinishRail || actual.SelRail != e.SelRail ||
        actual.SelBorder != e.SelBorder || actual.Modified != e.Modified)
        diff << "indices or Modified differ; ";
    if (actual.RailCount() != e.RailCount() || actual.BorderCount() != e.BorderCount()) {
        diff << "counts " << actual.RailCount() << "/" << actual.BorderCount() << " vs " << e.RailCount() << "/"
             << e.BorderCount();
        return diff.str();
    }
    for (std::size_t k = 0; k < actual.Rails().size(); ++k) {
        const std::string a = Describe(actual, k), b = Describe(e, k);
        if (a != b) diff << "rail " << k << ": " << a << " vs " << b << "; ";
    }
    for (std::size_t k = 0; k < actual.Borders().size(); ++k) {
        const TBorder &a = actual.Borders()[k], &b = e.Borders()[k];
        if (a.X1 != b.X1 || a.Y1 != b.Y1 || a.X2 != b.X2 || a.Y2 != b.Y2 || a.Selected != b.Selected)
            diff << "border " << k << " differs; ";
    }
    return diff.str();
}

TEST(RouteOracle, GeneratedMapsGiveTheSameLinksFaultsAndView)
{
    std::mt19937 rng(20240611);
    int faulty = 0, valid = 0, withLinkFaults = 0, withBranches = 0;
    for (int round = 0; round < 4000; ++round) {
        const TMap map = MapBuilders::RandomRouteMap(rng);
        const std::string diff = Compare(map);
        ASSERT_EQ(diff, "") << "map " << round;
        const RouteOracle::TOutcome o = RouteOracle::Check(map);
        (o.Result ? valid : faulty) += 1;
        for (std::int32_t k = 0; k < o.Map.RailCount(); ++k)
            if (const TRailLinks r = o.Map.RailLinks(k); r.Next1 != r.Next2 || r.Prev1 != r.Prev2) {
                ++withBranches;
                break;
            }
        for (const TRouteFault& f : o.Faults)
            if (f.Kind == TRouteFaultKind::ThirdPredecessor || f.Kind == TRouteFaultKind::ThirdSuccessor) {
                ++withLinkFaults;
                break;
            }
    }
    // The generator must actually reach the interesting cases.
    EXPECT_GT(withLinkFaults, 120);
    EXPECT_GT(withBranches, 400);
    EXPECT_GT(faulty, 1000);
    EXPECT_GT(valid, 40);
}

TEST(RouteOracle, StructuredNetworksAgree)
{
    for (const std::int32_t rails : {1, 2, 50, 700, 1500}) {
        TMap map = MapBuilders::TrackNetwork(rails);
        EXPECT_EQ(Compare(map), "") << rails;
    }
    TMap ring = MapBuilders::Ring({{100, 0}, {200, 0}, {250, 87}, {200, 174}, {100, 174}, {50, 87}});
    ring.SetStartRail(2);
    ring.SetFinishRail(5);
    EXPECT_EQ(Compare(ring), "");
}

TEST(RouteOracle, ManyRailsThroughAFewPointsInEveryDirectionAgree)
{
    // What the check meets at the shared points: the cases the heading search
    // must tell apart exactly, counted over the rails that end at a point
    // where more rails start than are scanned one by one.
    int fewPass = 0, manyPass = 0, nonePass = 0, rightAngles = 0, opposites = 0;
    std::mt19937 rng(26);
    for (int round = 0; round < 1500; ++round) {
        const TMap map = MapBuilders::HubRouteMap(rng);
        ASSERT_EQ(Compare(map), "") << "map " << round;
        TMap clean = map;
        clean.Normalize();
        for (const TRail& ri : clean.Rails()) {
            std::size_t starting = 0, passing = 0;
            for (const TRail& rj : clean.Rails()) {
                if (rj.X1 != ri.X2 || rj.Y1 != ri.Y2) continue;
                ++starting;
                const std::int32_t dot = ri.DX() * rj.DX() + ri.DY() * rj.DY();
                const std::int32_t cross = ri.DX() * rj.DY() - ri.DY() * rj.DX();
                passing += dot > 0;
                rightAngles += dot == 0;
                opposites += cross == 0 && dot < 0;
            }
            if (starting <= TRouteIndex::ScannedRun) continue;
            if (passing == 0)
                ++nonePass;
            else if (4 * passing < starting)
                ++fewPass;
            else
                ++manyPass;
        }
    }
    EXPECT_GT(fewPass, 1000);
    EXPECT_GT(manyPass, 1000);
    EXPECT_GT(nonePass, 1000);
    EXPECT_GT(rightAngles, 1000);
    EXPECT_GT(opposites, 1000);
}

TEST(RouteOracle, RepeatedChecksAgreeWithTheFirst)
{
    // Links left over from an earlier check must not leak into the next one.
    std::mt19937 rng(5);
    for (int round = 0; round < 200; ++round) {
        TMap map = MapBuilders::RandomRouteMap(rng);
        std::int32_t fault1 = 0, fault2 = 0;
        const bool first = map.CheckRoutes(fault1);
        const TMap afterFirst = map;
        map.ViewX = afterFirst.ViewX;
        const bool second = map.CheckRoutes(fault2);
        ASSERT_EQ(first, second);
        ASSERT_EQ(fault1, fault2);
        for (std::size_t k = 0; k < map.Rails().size(); ++k)
            ASSERT_EQ(Describe(map, k), Describe(afterFirst, k)) << round;
    }
}

} // namespace
