#include <gtest/gtest.h>

#include <memory>
#include <set>

#include "model/TMap.h"
#include "workspace/TRecoveryPolicy.h"

namespace {

/// Open maps and the policy in fake time, ticking once a second as the window does.
class RecoveryPolicyTest : public ::testing::Test {
protected:
    std::vector<TRecoveryMapState> States() const
    {
        std::vector<TRecoveryMapState> states;
        for (const auto& map : maps) states.push_back({map->Id(), map->Revision(), map->Modified});
        return states;
    }
    /// Ticks each second up to and including second s; the seconds at which a
    /// copy of map i was taken are appended to taken, removals to removed.
    void RunTo(std::int64_t s, std::size_t i = 0)
    {
        while (now < s * 1000) {
            now += 1000;
            Collect(policy.Tick(States()), i);
        }
    }
    void Collect(const TRecoveryActions& actions, std::size_t i)
    {
        for (const std::uint64_t key : actions.Take)
            if (i < maps.size() && key == maps[i]->Id()) taken.push_back(now / 1000);
        for (const std::uint64_t key : actions.Remove) removed.push_back(key);
    }
    /// One user action, undoable.
    void Draw(TMap& map)
    {
        map.BeginStep(TStepKind::DrawRail);
        map.AddRail(100, 100, 200 + map.RailCount(), 100);
        map.EndStep();
    }

    std::int64_t now = 0;
    TRecoveryPolicy policy{[this] { return now; }};
    std::vector<std::unique_ptr<TMap>> maps;
    std::vector<std::int64_t> taken;
    std::vector<std::uint64_t> removed;
};

TEST_F(RecoveryPolicyTest, CopiesAfterFiveQuietSecondsAndAtLeastEveryThirty)
{
    maps.push_back(std::make_unique<TMap>());
    TMap& map = *maps[0];
    RunTo(3);
    EXPECT_TRUE(taken.empty()) << "an unchanged map needs no copy";
    Draw(map);
    RunTo(20);
    // Seen at 4, quiet from then on: copied at 9, and not again while nothing changes.
    EXPECT_EQ(taken, (std::vector<std::int64_t>{9}));
    // Changes every second from 21 to 80: the copy may not wait for quiet.
    while (now < 80000) {
        Draw(map);
        RunTo(now / 1000 + 1);
    }
    RunTo(100);
    // Seen from 21: copied at 51; the next change is seen at 52, so copied at 82,
    // which already holds the last change (80): nothing is left for a quiet copy.
    EXPECT_EQ(taken, (std::vector<std::int64_t>{9, 51, 82}));
    EXPECT_TRUE(removed.empty());
    EXPECT_TRUE(policy.HasCopy(map.Id()));
}

TEST_F(RecoveryPolicyTest, CopyGoesOnSaveUndoToSavedCloseAndExit)
{
    for (int i = 0; i < 4; ++i) maps.push_back(std::make_unique<TMap>());
    for (auto& map : maps) {
        map->MarkClean();
        Draw(*map);
    }
    RunTo(10);
    for (auto& map : maps) EXPECT_TRUE(policy.HasCopy(map->Id()));
    const std::uint64_t saved = maps[0]->Id(), undone = maps[1]->Id(), closed = maps[2]->Id(), kept = maps[3]->Id();

    maps[0]->MarkClean(); // what a save leaves
    ASSERT_TRUE(maps[1]->Undo());
    ASSERT_FALSE(maps[1]->Modified);
    maps.erase(maps.begin() + 2);
    RunTo(11);
    EXPECT_EQ(removed, (std::vector<std::uint64_t>{saved, undone, closed}));
    EXPECT_TRUE(policy.HasCopy(kept));
    RunTo(20);
    EXPECT_EQ(removed.size(), 3u) << "a removal is asked for once";

    // Changed again after the save: a new copy after the quiet time.
    taken.clear();
    Draw(*maps[0]);
    RunTo(26);
    EXPECT_EQ(taken, (std::vector<std::int64_t>{26}));
    const std::vector<std::uint64_t> atExit = policy.Exit();
    EXPECT_EQ(std::set<std::uint64_t>(atExit.begin(), atExit.end()), (std::set<std::uint64_t>{saved, kept}));
    EXPECT_FALSE(policy.HasCopy(kept));
}

TEST_F(RecoveryPolicyTest, AGivenBackCopyIsNotTakenAgainUntilTheMapChanges)
{
    maps.push_back(std::make_unique<TMap>());
    maps[0]->Modified = true; // as a recovered map opens
    policy.Adopt(maps[0]->Id(), maps[0]->Revision());
    RunTo(60);
    EXPECT_TRUE(taken.empty());
    EXPECT_TRUE(policy.HasCopy(maps[0]->Id()));
    Draw(*maps[0]);
    RunTo(70);
    EXPECT_EQ(taken, (std::vector<std::int64_t>{66}));
    // Closed unsaved: the user chose, the copy goes.
    const std::uint64_t key = maps[0]->Id();
    maps.clear();
    RunTo(71);
    EXPECT_EQ(removed, (std::vector<std::uint64_t>{key}));
}

} // namespace
