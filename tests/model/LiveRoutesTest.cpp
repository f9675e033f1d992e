// The live route check against the route check itself: after every edit of
// long random sequences, what it followed equals a fresh examination, and
// (often) the faults and the reachable rails of TMap::CheckRoutes run on a
// copy, whose rails Normalize would remove reported by index.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "model/MapFile.h"
#include "model/TLiveRoutes.h"
#include "model/TMap.h"
#include "tests/support/MapBuilders.h"

namespace {

std::int32_t Pick(std::mt19937& rng, std::int32_t lo, std::int32_t hi)
{
    return std::uniform_int_distribution<std::int32_t>(lo, hi)(rng);
}

struct TFindings {
    std::vector<TLiveFault> Faults;
    std::vector<std::int32_t> Unreachable;
    bool FinishUnreachable = false;
    friend bool operator==(const TFindings&, const TFindings&) = default;
};

std::string Show(const TFindings& f)
{
    std::string s;
    for (const TLiveFault& x : f.Faults)
        s += std::to_string(x.Rail) + ":" + std::to_string(int(x.Kind)) + "x" + std::to_string(x.Count) + " ";
    s += "| unreachable";
    for (const std::int32_t r : f.Unreachable) s += " " + std::to_string(r);
    return s + (f.FinishUnreachable ? " | finish" : "");
}

TFindings Found(TLiveRoutes& live)
{
    TFindings f;
    live.ForEachFault([&](const TLiveFault& x) { return f.Faults.push_back(x), true; });
    live.ForEachWarning([&](const TLiveFault& x) {
        if (x.Kind == TLiveFaultKind::FinishUnreachable)
            f.FinishUnreachable = true;
        else
            f.Unreachable.push_back(x.Rail);
        return true;
    });
    return f;
}

/// What the route check says, done on a copy of the rails that Normalize
/// would keep, its rails numbered back; its links, followed from the start,
/// give the reachable rails.
TFindings Reference(const TMap& map)
{
    std::vector<std::int32_t> kept;
    std::vector<TRail> rails;
    std::vector<std::int32_t> position(map.Rails().size(), -1);
    for (std::size_t k = 0; k < map.Rails().size(); ++k)
        if (!DoomedRail(map.Rails()[k])) {
            position[k] = static_cast<std::int32_t>(kept.size());
            kept.push_back(static_cast<std::int32_t>(k));
            rails.push_back(map.Rails()[k]);
        }
    const auto moved = [&](std::int32_t mark) {
        return mark >= 0 && mark < map.RailCount() ? position[static_cast<std::size_t>(mark)] : -1;
    };
    TMap copy;
    copy.AppendRails(rails);
    copy.StartRail = moved(map.StartRail);
    copy.FinishRail = moved(map.FinishRail);
    std::vector<TRouteFault> faults;
    std::int32_t faultRail = -1;
    copy.CheckRoutes(faultRail, &faults);

    std::map<std::tuple<std::int64_t, int>, std::int32_t> counted;
    for (const TRouteFault& f : faults)
        ++counted[{f.Rail < 0 ? INT64_MAX : kept[static_cast<std::size_t>(f.Rail)], int(f.Kind)}];
    for (std::size_t k = 0; k < map.Rails().size(); ++k)
        if (position[k] < 0) ++counted[{static_cast<std::int64_t>(k), int(TLiveFaultKind::Doomed)}];
    TFindings out;
    for (const auto& [key, count] : counted) {
        const auto rail = std::get<0>(key) == INT64_MAX ? -1 : static_cast<std::int32_t>(std::get<0>(key));
        out.Faults.push_back({rail, static_cast<TLiveFaultKind>(std::get<1>(key)), count});
    }

    if (copy.StartRail < 0) return out;
    std::vector<bool> reached(rails.size());
    std::vector<std::int32_t> queue{copy.StartRail};
    reached[static_cast<std::size_t>(copy.StartRail)] = true;
    for (std::size_t head = 0; head < queue.size(); ++head) {
        const TRailLinks r = copy.RailLinks(queue[head]);
        for (const std::int32_t next : {r.Next1, r.Next2})
            if (next >= 0 && !reached[static_cast<std::size_t>(next)]) {
                reached[static_cast<std::size_t>(next)] = true;
                queue.push_back(next);
            }
    }
    for (std::size_t k = 0; k < rails.size(); ++k)
        if (!reached[k]) out.Unreachable.push_back(kept[k]);
    out.FinishUnreachable = copy.FinishRail >= 0 && !reached[static_cast<std::size_t>(copy.FinishRail)];
    return out;
}

/// A point where rails already end (forks and merges grow there), or nearby.
TPoint SomePoint(const TMap& map, std::mt19937& rng)
{
    if (map.RailCount() > 0 && Pick(rng, 0, 3) > 0) {
        const TRail& r = map.Rails()[static_cast<std::size_t>(Pick(rng, 0, map.RailCount() - 1))];
        TPoint p = Pick(rng, 0, 1) ? TPoint{r.X1, r.Y1} : TPoint{r.X2, r.Y2};
        if (Pick(rng, 0, 3) == 0) p = {p.x + 20 * Pick(rng, -2, 2), p.y + 20 * Pick(rng, -2, 2)};
        if (Pick(rng, 0, 40) == 0) p.x = -p.x - 1; // outside the world
        return p;
    }
    return {20 * Pick(rng, 0, 10), 20 * Pick(rng, 0, 10)};
}

/// One edit as the editor makes them (in undo steps), or a load; returns
/// true when the map's contents were replaced wholesale.
bool RandomEdit(TMap& map, std::mt19937& rng)
{
    const std::int32_t rails = map.RailCount();
    const auto someRail = [&] { return rails > 0 ? Pick(rng, 0, rails - 1) : -1; };
    switch (Pick(rng, 0, 15)) {
    case 0:
    case 1:
    case 2: { // a rail drawn between two points, sometimes zero long
        const TPoint a = SomePoint(map, rng), b = Pick(rng, 0, 12) ? SomePoint(map, rng) : a;
        const TEditStep step(map, TStepKind::DrawRail);
        MapBuilders::PutRail(map, a.x, a.y, b.x, b.y);
        return false;
    }
    case 3: map.DeleteRail(someRail()); return false;
    case 4: map.ReverseRail(someRail()); return false;
    case 5:
    case 6: { // the ends at a point dragged to another
        const TEditStep step(map, TStepKind::MoveEnd);
        const TPoint from = SomePoint(map, rng);
        std::vector<TElementEnd> ends = map.EndsAt(from);
        if (Pick(rng, 0, 2) == 0 && ends.size() > 1) ends.resize(1);
        map.MoveEnds(ends, SomePoint(map, rng));
        return false;
    }
    case 7: map.SetStartRail(someRail()); return false;
    case 8: map.SetFinishRail(someRail()); return false;
    case 9:
    case 10:
    case 11: map.Undo(); return false;
    case 12: map.Redo(); return false;
    case 13: map.SelectRail(someRail()); return false;
    case 14: { // the route check itself: Normalize and links
        std::int32_t fault = -1;
        if (Pick(rng, 0, 3) == 0) map.CheckRoutes(fault);
        return false;
    }
    default: { // a load: other contents, the history started afresh
        if (Pick(rng, 0, 5) > 0) return false;
        std::mt19937 other(rng());
        TMap loaded = MapBuilders::RandomRouteMap(other);
        MapBuilders::ReplaceRails(map, loaded.Rails());
        map.StartRail = loaded.StartRail;
        map.FinishRail = loaded.FinishRail;
        map.ClearHistory();
        return true;
    }
    }
}

struct TIndexFrom {
    explicit TIndexFrom(std::int32_t from) : kept_(TMap::IndexFrom) { TMap::IndexFrom = from; }
    ~TIndexFrom() { TMap::IndexFrom = kept_; }
    std::int32_t kept_;
};

/// Blocks of a few rail states, so that inserting and removing in the
/// middle splits blocks, empties them and crosses their bounds.
struct TBlockShift {
    explicit TBlockShift(std::size_t shift) : kept_(TLiveRoutes::BlockShift) { TLiveRoutes::BlockShift = shift; }
    ~TBlockShift() { TLiveRoutes::BlockShift = kept_; }
    std::size_t kept_;
};

} // namespace

TEST(LiveRoutes, FollowingEditsFindsWhatTheRouteCheckFinds)
{
    std::size_t edits = 0, compared = 0, examinedAll = 0, withFaults = 0, withWarnings = 0, doomed = 0;
    for (std::uint32_t seed = 1; seed <= 350; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 rng(seed);
        // Every sixteenth seed asks the grid of ends, as a large map does;
        // every other keeps the rails' states in blocks of four.
        const TIndexFrom indexFrom(seed % 16 == 0 ? 0 : TMap::IndexFrom);
        const TBlockShift blockShift(seed % 2 ? 2 : TLiveRoutes::BlockShift);
        TMap map = MapBuilders::RandomRouteMap(rng);
        TMap elsewhere = MapBuilders::RandomRouteMap(rng);
        TLiveRoutes live;
        live.Follow(map);
        for (int edit = 0; edit < 600; ++edit) {
            const std::uint64_t before = live.FullExaminations();
            const bool wholesale = RandomEdit(map, rng);
            const bool switched = Pick(rng, 0, 200) == 0;
            if (switched) live.Follow(elsewhere); // the window showed another map
            live.Follow(map);
            ++edits;
            // Only a load or another map examines everything.
            examinedAll += live.FullExaminations() - before;
            if (!wholesale && !switched) {
                ASSERT_EQ(live.FullExaminations(), before) << "edit " << edit;
            }

            TLiveRoutes fresh;
            fresh.ExamineAll(map);
            const TFindings followed = Found(live);
            ASSERT_EQ(followed, Found(fresh)) << "edit " << edit << "\n" << Show(followed) << "\n" << Show(Found(fresh));
            ASSERT_EQ(live.FaultCount(), fresh.FaultCount()) << "edit " << edit;
            ASSERT_EQ(live.WarningCount(), fresh.WarningCount()) << "edit " << edit;
            if (edit % 32 == 31 || edit == 599) {
                ++compared;
                const TFindings reference = Reference(map);
                ASSERT_EQ(followed, reference) << "edit " << edit << "\n" << Show(followed) << "\n" << Show(reference);
                std::int64_t total = 0;
                for (const TLiveFault& f : reference.Faults) total += f.Count;
                ASSERT_EQ(live.FaultCount(), total);
            }
            withFaults += followed.Faults.size() > 2;
            withWarnings += !followed.Unreachable.empty();
            doomed += live.CountOf(TLiveFaultKind::Doomed) > 0;
        }
    }
    // The sequences reached what they are meant to test.
    EXPECT_GT(edits, 200000u);
    EXPECT_GT(compared, 6000u);
    EXPECT_GT(withFaults, edits / 3);
    EXPECT_GT(withWarnings, edits / 10);
    EXPECT_GT(doomed, edits / 20);
    EXPECT_LT(examinedAll, edits / 20);
}

TEST(LiveRoutes, OnATidyMapTheFaultsAreTheRouteChecksOwnList)
{
    for (std::uint32_t seed = 1; seed <= 300; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 rng(seed);
        TMap map = MapBuilders::RandomRouteMap(rng);
        map.Normalize();
        TLiveRoutes live;
        live.Follow(map);
        const std::uint64_t revision = map.Revision();
        const bool modified = map.Modified;
        const std::int32_t selected = map.SelRail;

        TMap checked = map;
        std::vector<TRouteFault> faults;
        std::int32_t faultRail = -1;
        checked.CheckRoutes(faultRail, &faults);
        std::vector<TRouteFault> listed;
        live.ForEachFault([&](const TLiveFault& f) {
            for (std::int32_t k = 0; k < f.Count; ++k) listed.push_back({f.Rail, static_cast<TRouteFaultKind>(f.Kind)});
            return true;
        });
        const auto order = [](const TRouteFault& a, const TRouteFault& b) {
            return std::tuple(std::uint32_t(a.Rail), a.Kind) < std::tuple(std::uint32_t(b.Rail), b.Kind);
        };
        std::sort(faults.begin(), faults.end(), order);
        EXPECT_EQ(listed, faults);
        // Looking changed nothing of the map.
        EXPECT_EQ(map.Revision(), revision);
        EXPECT_EQ(map.Modified, modified);
        EXPECT_EQ(map.SelRail, selected);
    }
}

TEST(LiveRoutes, MarksInARectangleAreThoseOfEveryFaultThere)
{
    for (std::uint32_t seed = 1; seed <= 200; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 rng(seed);
        const TIndexFrom indexFrom(seed % 2 ? 0 : TMap::IndexFrom);
        const TBlockShift blockShift(seed % 4 < 2 ? 1 : TLiveRoutes::BlockShift);
        TMap map = MapBuilders::RandomRouteMap(rng);
        for (int edit = 0; edit < 20; ++edit) RandomEdit(map, rng);
        TLiveRoutes live;
        live.Follow(map);
        // Every mark, placed by hand from the list.
        std::vector<TLiveMark> all;
        const auto place = [&](const TLiveFault& f) {
            if (f.Rail < 0) return true;
            const TRail& r = map.Rails()[static_cast<std::size_t>(f.Rail)];
            const TPoint first{r.X1, r.Y1}, second{r.X2, r.Y2};
            const TPoint middle{(r.X1 + r.X2) / 2, (r.Y1 + r.Y2) / 2};
            switch (f.Kind) {
            case TLiveFaultKind::ThirdSuccessor:
            case TLiveFaultKind::NoSuccessor: all.push_back({f.Rail, f.Kind, second}); break;
            case TLiveFaultKind::ThirdPredecessor:
            case TLiveFaultKind::NoPredecessor: all.push_back({f.Rail, f.Kind, first}); break;
            default: all.push_back({f.Rail, f.Kind, middle}); break;
            }
            return true;
        };
        live.ForEachFault(place);
        live.ForEachWarning(place);
        const auto order = [](const TLiveMark& a, const TLiveMark& b) {
            return std::tuple(a.Rail, a.Kind) < std::tuple(b.Rail, b.Kind);
        };
        std::sort(all.begin(), all.end(), order);
        for (int query = 0; query < 20; ++query) {
            const bool warnings = query % 2 == 0;
            const std::int32_t x1 = Pick(rng, -50, 300), y1 = Pick(rng, -50, 300);
            const std::int32_t x2 = query == 0 ? INT32_MAX : x1 + Pick(rng, 0, 200);
            const std::int32_t y2 = query == 0 ? INT32_MAX : y1 + Pick(rng, 0, 200);
            std::vector<TLiveMark> expected;
            for (const TLiveMark& m : all)
                if (m.At.x >= x1 && m.At.x <= x2 && m.At.y >= y1 && m.At.y <= y2 && (warnings || !IsWarning(m.Kind)))
                    expected.push_back(m);
            std::vector<TLiveMark> found;
            live.MarksIn(map, x1, y1, x2, y2, warnings, found);
            std::sort(found.begin(), found.end(), order);
            ASSERT_EQ(found, expected) << "query " << query;
        }
    }
}

TEST(LiveRoutes, TheWrongWayExampleAsAUserMeetsIt)
{
    TMap map;
    ReadMapFile(map, KEST_TEST_DATA "/../../examples/wrong-way.KS");
    TLiveRoutes live;
    live.Follow(map);
    const auto marks = [&] {
        std::vector<TLiveMark> found;
        live.MarksIn(map, 0, 0, WorldSize, WorldSize, true, found);
        return found;
    };
    // The last rail runs against the loop: the rails on either side of it
    // lose their joins, and it finds none.
    ASSERT_GT(live.FaultCount(), 0);
    for (const TLiveMark& m : marks()) EXPECT_TRUE(m.Rail == 0 || m.Rail == 10 || m.Rail == 11) << m.Rail;

    map.BeginStep(TStepKind::Reverse);
    map.ReverseRail(11);
    map.EndStep();
    live.Follow(map);
    EXPECT_EQ(live.FaultCount(), 0);
    EXPECT_TRUE(marks().empty());

    // A rail that joins nothing: a ring at each end, and it cannot be reached.
    map.BeginStep(TStepKind::DrawRail);
    MapBuilders::PutRail(map, 800, 420, 900, 420);
    map.EndStep();
    live.Follow(map);
    const std::vector<TLiveMark> expected = {{12, TLiveFaultKind::NoSuccessor, {900, 420}},
                                             {12, TLiveFaultKind::NoPredecessor, {800, 420}},
                                             {12, TLiveFaultKind::Unreachable, {850, 420}}};
    EXPECT_EQ(marks(), expected);
    map.Undo();
    live.Follow(map);
    EXPECT_TRUE(marks().empty());
    EXPECT_EQ(live.FullExaminations(), 1u);
}
