// The route links live beside the rails: each rail's links must follow it
// through every edit, undo and redo, and a map no check has seen holds none.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "tests/support/MapBuilders.h"
#include "tests/support/RouteOracle.h"

namespace {

using TRailState = std::tuple<std::int32_t, std::int32_t, std::int32_t, std::int32_t, bool, bool, TRailLinks>;

std::vector<TRailState> StateOf(const TMap& map)
{
    std::vector<TRailState> state;
    for (std::int32_t k = 0; k < map.RailCount(); ++k) {
        const TRail& r = map.Rails()[static_cast<std::size_t>(k)];
        state.emplace_back(r.X1, r.Y1, r.X2, r.Y2, r.IsStart, r.IsFinish, map.RailLinks(k));
    }
    return state;
}

/// Every rail carries the links the check gave the rail with its id; a
/// rail added since carries none.
void ExpectLinksFollowIds(const TMap& map, const std::map<std::uint32_t, TRailLinks>& atCheck, const char* when)
{
    for (std::int32_t k = 0; k < map.RailCount(); ++k) {
        const TRailLinks links = map.RailLinks(k);
        if (links.RouteId == 0) {
            ASSERT_EQ(links, TRailLinks{}) << when << ", rail " << k;
            continue;
        }
        const auto found = atCheck.find(links.RouteId);
        ASSERT_NE(found, atCheck.end()) << when << ", rail " << k;
        ASSERT_EQ(links, found->second) << when << ", rail " << k;
        ASSERT_EQ(map.RailWithRouteId(links.RouteId), k) << when;
    }
}

/// One random user action, as one step; answers which.
int RandomEdit(TMap& map, std::mt19937& rng)
{
    const auto pick = [&](std::int32_t lo, std::int32_t hi) { return std::uniform_int_distribution<std::int32_t>(lo, hi)(rng); };
    const std::int32_t n = map.RailCount();
    const std::int32_t some = n > 0 ? pick(0, n - 1) : 0;
    const std::int32_t x = pick(0, 9000), y = pick(0, 9000);
    map.SetView({0, 0, 1000, 1000, TViewZoom()});
    const int action = pick(0, 7);
    switch (action) {
    case 0:
        if (n > 0) {
            const TEditStep step(map, TStepKind::Delete);
            map.DeleteRail(some);
        }
        break;
    case 1:
        if (n > 0) {
            const TEditStep step(map, TStepKind::Reverse);
            map.ReverseRail(some);
        }
        break;
    case 2: {
        const TEditStep step(map, TStepKind::DrawRail);
        map.AddRail(x, y, x + 50, y + 20);
        break;
    }
    case 3: {
        const TEditStep step(map, TStepKind::Arc);
        const TRail laid[] = {MapBuilders::RailOf(x, y, x + 30, y), MapBuilders::RailOf(x + 30, y, x + 60, y + 5)};
        map.LayRails(laid);
        break;
    }
    case 4: {
        const TEditStep step(map, TStepKind::Delete);
        map.SelectBand({x, y}, {x + pick(0, 9000), y + pick(0, 9000)}, false);
        map.DeleteSelected();
        break;
    }
    case 5: {
        const TEditStep step(map, TStepKind::Move);
        map.SelectBand({x, y}, {x + pick(0, 5000), y + pick(0, 5000)}, false);
        map.MoveSelected(pick(-30, 30), pick(-30, 30));
        break;
    }
    case 6:
        if (n > 1) {
            // Some rails made too short, then tidied away in one pass.
            const TEditStep step(map, TStepKind::Cleanup);
            for (std::int32_t k = pick(0, 2); k < n; k += pick(2, 5))
                MapBuilders::EditRail(map, k, [](TRail& r) { r.X2 = r.X1 + 1, r.Y2 = r.Y1; });
            map.Normalize();
        }
        break;
    default: {
        const TEditStep step(map, TStepKind::Delete);
        map.SetRailCount(n > 2 ? n - pick(1, 2) : n + 2);
        break;
    }
    }
    map.ClearSelection();
    return action;
}

TEST(RailLinks, FollowTheirRailsThroughRandomEditsUndoAndRedo)
{
    std::mt19937 rng(7319);
    for (int round = 0; round < 150; ++round) {
        SCOPED_TRACE(round);
        TMap map = MapBuilders::RandomRouteMap(rng);
        // A step recorded before the check: undo and redo bring back values
        // recorded without links.
        RandomEdit(map, rng);
        std::int32_t fault = 0;
        map.CheckRoutes(fault);
        std::map<std::uint32_t, TRailLinks> atCheck;
        for (std::int32_t k = 0; k < map.RailCount(); ++k) atCheck[map.RailLinks(k).RouteId] = map.RailLinks(k);
        if (round % 3 == 0 && map.History().CanUndo()) {
            ASSERT_TRUE(map.Undo());
            ExpectLinksFollowIds(map, atCheck, "undo of the step before the check");
            ASSERT_TRUE(map.Redo());
        }

        std::vector<std::vector<TRailState>> states{StateOf(map)};
        std::size_t steps = 0;
        std::string actions;
        for (int e = 0; e < 10; ++e) {
            const std::size_t before = map.History().Position();
            const int action = RandomEdit(map, rng);
            ExpectLinksFollowIds(map, atCheck, "edit");
            if (map.History().Position() == before) continue;
            ++steps;
            actions += std::to_string(action);
            states.push_back(StateOf(map));
        }
        SCOPED_TRACE("actions " + actions);
        for (std::size_t k = steps; k-- > 0;) {
            ASSERT_TRUE(map.Undo());
            ASSERT_EQ(StateOf(map), states[k]) << "undo to " << k;
            ExpectLinksFollowIds(map, atCheck, "undo");
        }
        for (std::size_t k = 1; k <= steps; ++k) {
            ASSERT_TRUE(map.Redo());
            ASSERT_EQ(StateOf(map), states[k]) << "redo to " << k;
        }

        // A check over the edited map, whose old links it overwrites, still
        // agrees with the literal one.
        const RouteOracle::TOutcome expected = RouteOracle::Check(map);
        std::vector<TRouteFault> faults;
        ASSERT_EQ(map.CheckRoutes(fault, &faults), expected.Result);
        ASSERT_EQ(faults, expected.Faults);
        ASSERT_EQ(map.RailCount(), expected.Map.RailCount());
        for (std::int32_t k = 0; k < map.RailCount(); ++k) {
            TRailLinks want = expected.Map.RailLinks(k);
            want.RouteId = map.RailLinks(k).RouteId;
            ASSERT_EQ(map.RailLinks(k), want) << "rail " << k;
        }
    }
}

TEST(RailLinks, TakeNoMemoryUntilARouteCheckRuns)
{
    std::vector<TRail> rails;
    for (std::int32_t k = 0; k < 1000; ++k) rails.push_back(MapBuilders::RailOf(10 * k, 100, 10 * k + 10, 100));
    TMap map;
    map.AdoptRails(std::vector<TRail>(rails));
    map.AppendRails(rails);
    {
        const TEditStep step(map, TStepKind::DrawRail);
        map.AddRail(5, 5, 500, 5);
        map.DeleteRail(3);
    }
    ASSERT_TRUE(map.Undo());
    map.Normalize();
    EXPECT_EQ(map.RailLinksBytes(), 0u);
    EXPECT_EQ(map.RailLinks(0), TRailLinks{});

    std::int32_t fault = 0;
    map.CheckRoutes(fault);
    EXPECT_GE(map.RailLinksBytes(), 2000 * sizeof(TRailLinks));
    EXPECT_EQ(map.RailLinks(0).Next1, 1);
    // A load into this map starts from no links again, by either way it empties the map.
    TMap emptied = map;
    emptied.SetRailCount(0);
    EXPECT_EQ(emptied.RailLinksBytes(), 0u);
    (void)map.ReleaseRails();
    EXPECT_EQ(map.RailLinksBytes(), 0u);
}

} // namespace
