// The edit journal against a reference computed another way: a reader keeps a
// snapshot of the elements and, after random edits, follows the journal from
// the snapshot's revision to tell which of today's elements are the same as
// which of the snapshot's; every element it calls unchanged must equal its
// snapshot exactly, and the counts must come out right.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <tuple>

#include "model/MapFile.h"
#include "model/TMap.h"
#include "tests/support/MapBuilders.h"
#include "tests/support/TempFolder.h"

using MapBuilders::EditRail;
using MapBuilders::PutBorder;
using MapBuilders::PutRail;

namespace {

std::int32_t Pick(std::mt19937& rng, std::int32_t lo, std::int32_t hi)
{
    return std::uniform_int_distribution<std::int32_t>(lo, hi)(rng);
}

/// What a reader kept at a revision.
struct TSnapshot {
    std::uint64_t Revision = 0;
    std::vector<TRail> Rails;
    std::vector<TBorder> Borders;
};

TSnapshot Snap(const TMap& map) { return {map.Revision(), map.Rails(), map.Borders()}; }

template <class T>
bool Same(const T& a, const T& b)
{
    return SameElement(a, b) && a.Selected == b.Selected;
}

/// What a picture shows of an element: its ends, flags, colour and kind.
bool SameDrawn(const TRail& a, const TRail& b)
{
    return a.X1 == b.X1 && a.Y1 == b.Y1 && a.X2 == b.X2 && a.Y2 == b.Y2 && a.Selected == b.Selected &&
           a.IsStart == b.IsStart && a.IsFinish == b.IsFinish;
}

bool SameDrawn(const TBorder& a, const TBorder& b)
{
    return a.X1 == b.X1 && a.Y1 == b.Y1 && a.X2 == b.X2 && a.Y2 == b.Y2 && a.Selected == b.Selected &&
           a.Color == b.Color && a.Kind == b.Kind;
}

template <class T>
bool Within(const TEditArea& area, const T& line)
{
    const auto in = [&](std::int32_t x, std::int32_t y) {
        return x >= area.X1 && x <= area.X2 && y >= area.Y1 && y <= area.Y2;
    };
    return in(line.X1, line.Y1) && in(line.X2, line.Y2);
}

/// For each element now, the snapshot index it came from (-1 when added
/// since), whether an entry said it changed, and whether one said its
/// selection flag may have.
struct TFollowed {
    std::vector<std::int32_t> From;
    std::vector<bool> Changed;
    std::vector<bool> Flagged;
    /// Snapshot elements that went.
    std::vector<std::int32_t> Gone;
};

/// Checks one kind of element against the snapshot: every element the
/// journal did not call changed is its snapshot exactly, and every element
/// added, removed or drawn otherwise lay inside the entries' areas (old
/// value and new).
template <class T>
std::string CheckFollowed(const TFollowed& f, const std::vector<T>& now, const std::vector<T>& snap,
                          const TEditArea& area, const char* what)
{
    if (f.From.size() != now.size()) return "counts differ";
    for (std::size_t k = 0; k < now.size(); ++k) {
        const std::int32_t from = f.From[k];
        const std::string at = std::string(what) + " " + std::to_string(k);
        if (from < 0) {
            if (!Within(area, now[k])) return at + " added outside the area";
            continue;
        }
        const T& was = snap[static_cast<std::size_t>(from)];
        T flagOnly = was;
        flagOnly.Selected = now[k].Selected;
        if (!f.Changed[k] && !Same(now[k], f.Flagged[k] ? flagOnly : was)) return at + " changed unnoted";
        if ((f.Changed[k] || f.Flagged[k]) && !SameDrawn(now[k], was) && !(Within(area, now[k]) && Within(area, was)))
            return at + " redrawn outside the area";
    }
    for (const std::int32_t gone : f.Gone)
        if (!Within(area, snap[static_cast<std::size_t>(gone)]))
            return std::string(what) + " " + std::to_string(gone) + " removed outside the area";
    return {};
}

/// Follows the journal from the snapshot: empty when it is consistent with the
/// map, "rebuild" when the journal does not reach back, else what is wrong.
std::string Follow(const TMap& map, const TSnapshot& snap)
{
    TFollowed rails, borders;
    for (std::size_t k = 0; k < snap.Rails.size(); ++k) rails.From.push_back(static_cast<std::int32_t>(k));
    for (std::size_t k = 0; k < snap.Borders.size(); ++k) borders.From.push_back(static_cast<std::int32_t>(k));
    rails.Changed.assign(rails.From.size(), false);
    borders.Changed.assign(borders.From.size(), false);
    rails.Flagged = rails.Changed;
    borders.Flagged = borders.Changed;
    TEditArea area;
    std::string wrong;
    std::uint64_t last = snap.Revision;
    const bool reached = map.EditsSince(snap.Revision, [&](const TElementChange& c) {
        TFollowed& f = c.IsRail ? rails : borders;
        std::vector<std::int32_t>& ids = f.From;
        const auto first = static_cast<std::size_t>(c.First);
        const auto count = static_cast<std::size_t>(c.Count);
        if (c.Revision <= last || c.Revision > map.Revision()) wrong = "revision out of order";
        last = c.Revision;
        if (c.First < 0 || c.Count <= 0) wrong = "empty or negative entry";
        if (!wrong.empty()) return;
        area.Take(c.Area);
        switch (c.Kind) {
        case TEditKind::Added:
            if (first > ids.size()) {
                wrong = "added past the end";
            } else {
                ids.insert(ids.begin() + c.First, count, -1);
                f.Changed.insert(f.Changed.begin() + c.First, count, true);
                f.Flagged.insert(f.Flagged.begin() + c.First, count, false);
            }
            break;
        case TEditKind::Removed:
            if (first + count > ids.size()) {
                wrong = "removed past the end";
            } else {
                for (std::size_t k = first; k < first + count; ++k)
                    if (ids[k] >= 0) f.Gone.push_back(ids[k]);
                ids.erase(ids.begin() + c.First, ids.begin() + c.First + c.Count);
                f.Changed.erase(f.Changed.begin() + c.First, f.Changed.begin() + c.First + c.Count);
                f.Flagged.erase(f.Flagged.begin() + c.First, f.Flagged.begin() + c.First + c.Count);
            }
            break;
        case TEditKind::Changed:
        case TEditKind::Flagged: {
            std::vector<bool>& which = c.Kind == TEditKind::Changed ? f.Changed : f.Flagged;
            if (first + count > ids.size()) wrong = "changed past the end";
            else std::fill(which.begin() + c.First, which.begin() + c.First + c.Count, true);
            break;
        }
        }
    });
    if (!reached) return "rebuild";
    if (!wrong.empty()) return wrong;
    const std::string r = CheckFollowed(rails, map.Rails(), snap.Rails, area, "rail");
    if (!r.empty()) return r;
    return CheckFollowed(borders, map.Borders(), snap.Borders, area, "border");
}

TPoint NearSomeEnd(const TMap& map, std::mt19937& rng)
{
    if (map.RailCount() > 0 && Pick(rng, 0, 2) > 0) {
        const TRail& r = map.Rails()[static_cast<std::size_t>(Pick(rng, 0, map.RailCount() - 1))];
        return {r.X2 + Pick(rng, -4, 4), r.Y2 + Pick(rng, -4, 4)};
    }
    return {Pick(rng, -20, 400), Pick(rng, -20, 400)};
}

/// One edit of any kind the map offers; true when it is wholesale (the
/// journal is then not expected to reach back).
bool RandomEdit(TMap& map, std::mt19937& rng, const TTempFolder& scratch)
{
    const std::int32_t rails = map.RailCount(), borders = map.BorderCount();
    const auto someRail = [&] { return rails > 0 ? Pick(rng, -1, rails - 1) : -1; };
    const auto someBorder = [&] { return borders > 0 ? Pick(rng, -1, borders - 1) : -1; };
    switch (Pick(rng, 0, 25)) {
    case 0:
    case 1: { // drawing out, with the frames of its moving end, perhaps cancelled
        const bool rail = Pick(rng, 0, 1) == 0;
        map.BeginStep(rail ? TStepKind::DrawRail : TStepKind::DrawBorder);
        const TPoint p = NearSomeEnd(map, rng);
        if (rail)
            map.AddRail(p.x, p.y, p.x, p.y);
        else
            map.AddBorder(p.x, p.y, p.x, p.y, static_cast<TColor>(Pick(rng, 0, 0xFFFFFF)), bkWall);
        for (std::int32_t frame = Pick(rng, 0, 3); frame > 0; --frame) {
            const TPoint q = NearSomeEnd(map, rng);
            bool snapped = false;
            map.SnapPointEx(q.x - map.ViewX, q.y - map.ViewY, rail ? 2 : 1, snapped);
        }
        if (Pick(rng, 0, 4) == 0) {
            map.CancelStep();
        } else {
            map.Normalize();
            map.EndStep();
        }
        return false;
    }
    case 2: map.DeleteRail(someRail()); return false;
    case 3: map.DeleteBorder(someBorder()); return false;
    case 4: map.ReverseRail(someRail()); return false;
    case 5: map.CycleBorderKind(someBorder()); return false;
    case 6: map.SetBorderColor(someBorder(), static_cast<TColor>(Pick(rng, 0, 0xFFFFFF))); return false;
    case 7: map.SetStartRail(someRail()); return false;
    case 8: map.SetFinishRail(someRail()); return false;
    case 9: map.SelectRail(someRail()); return false;
    case 10: map.SelectBorder(someBorder()); return false;
    case 11: {
        const TPoint p = NearSomeEnd(map, rng);
        map.SelectAt(p.x - map.ViewX, p.y - map.ViewY);
        return false;
    }
    case 12:
    case 13: {
        const bool undo = Pick(rng, 0, 1) == 0;
        undo ? map.Undo() : map.Redo();
        return false;
    }
    case 14: { // moving the ends at a point, in a step
        const TPoint p = NearSomeEnd(map, rng);
        const std::optional<TElementEnd> end = map.EndNear(p.x, p.y);
        if (!end) return false;
        const TEditStep step(map, TStepKind::MoveEnd);
        map.MoveEnds(map.EndsAt(map.EndPoint(*end)), NearSomeEnd(map, rng));
        map.Normalize();
        return false;
    }
    case 15: { // a value written as given, some outside the world
        if (rails == 0) return false;
        EditRail(map, Pick(rng, 0, rails - 1), [&](TRail& r) {
            r.X1 = Pick(rng, -30, 400);
            r.IsFinish = Pick(rng, 0, 1) == 1;
        });
        return false;
    }
    case 16: { // several appended at once, perhaps inside a step
        std::vector<TRail> more(static_cast<std::size_t>(Pick(rng, 1, 5)));
        for (TRail& r : more) r = MapBuilders::RailOf(Pick(rng, 0, 300), Pick(rng, 0, 300), Pick(rng, 0, 300), 5);
        const bool stepped = Pick(rng, 0, 1) == 0;
        if (stepped) map.BeginStep(TStepKind::DrawRail);
        map.AppendRails(more);
        if (stepped) map.EndStep();
        return false;
    }
    case 17: {
        std::int32_t fault = -1;
        map.CheckRoutes(fault);
        return false;
    }
    case 18: map.SetRailCount(Pick(rng, 0, rails + 2)); return false;
    case 19: map.Normalize(); return false;
    case 20: { // saved and loaded again, in place or read aside with its grids and taken: wholesale
        if (Pick(rng, 0, 3) > 0) return false;
        const std::string path = scratch.File("journal.KS");
        WriteMapFile(map, path);
        if (Pick(rng, 0, 1) == 0) {
            ReadMapFile(map, path);
            return true;
        }
        TMap aside;
        ReadMapFile(aside, path);
        aside.Index();
        // Taken into the emptied map, or added after what it holds (an
        // addition the journal tells).
        if (Pick(rng, 0, 2) == 0) {
            map.AdoptElementsOf(aside);
            return false;
        }
        TakeLoadedMap(map, aside);
        return true;
    }
    case 21: { // a band, perhaps added to what is selected
        const TPoint a = NearSomeEnd(map, rng), b = NearSomeEnd(map, rng);
        map.SelectBand(a, b, Pick(rng, 0, 1) == 0);
        return false;
    }
    case 22: {
        const bool rail = Pick(rng, 0, 1) == 0;
        map.ToggleSelected({rail, rail ? someRail() : someBorder()});
        return false;
    }
    case 23: Pick(rng, 0, 1) == 0 ? map.SelectAll() : map.ClearSelection(); return false;
    case 24: { // the selection dragged over several ticks, perhaps cancelled
        map.BeginStep(TStepKind::Move);
        for (std::int32_t tick = Pick(rng, 1, 3); tick > 0; --tick)
            map.MoveSelected(Pick(rng, -60, 60), Pick(rng, -60, 60));
        Pick(rng, 0, 3) == 0 ? map.CancelStep() : map.EndStep();
        return false;
    }
    default: { // another map's contents: wholesale
        if (Pick(rng, 0, 3) > 0) return false;
        TMap other = map;
        PutBorder(other, 1, 2, 3, 4);
        map = other;
        return true;
    }
    }
}

TEST(EditJournal, ReadersFollowingItSeeEveryChangeOfRandomEdits)
{
    const TTempFolder scratch;
    std::size_t followed = 0, rebuilt = 0, entries = 0;
    for (std::uint32_t seed = 1; seed <= 120; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 rng(seed);
        TMap map = MapBuilders::RandomRouteMap(rng);
        // Readers that look after every edit, now and then, and seldom.
        TSnapshot readers[3] = {Snap(map), Snap(map), Snap(map)};
        bool wholesale[3] = {};
        for (int edit = 0; edit < 80; ++edit) {
            const bool all = RandomEdit(map, rng, scratch);
            for (int r = 0; r < 3; ++r) {
                wholesale[r] = wholesale[r] || all;
                if (r > 0 && Pick(rng, 0, r * 4) != 0) continue;
                map.EditsSince(readers[r].Revision, [&](const TElementChange&) { ++entries; });
                const std::string outcome = Follow(map, readers[r]);
                if (outcome == "rebuild" || wholesale[r]) {
                    ASSERT_EQ(outcome == "rebuild", wholesale[r]) << "reader " << r << " at edit " << edit;
                    ++rebuilt;
                } else {
                    ASSERT_EQ(outcome, "") << "reader " << r << " at edit " << edit;
                    ++followed;
                }
                readers[r] = Snap(map);
                wholesale[r] = false;
            }
        }
    }
    EXPECT_GT(followed, 10000u);
    EXPECT_GT(rebuilt, 50u);
    EXPECT_GT(entries, 20000u);
}

TEST(EditJournal, EachOperationNotesWhatItChangedAndNoMore)
{
    TMap map;
    map.ViewWidth = 718;
    map.ViewHeight = 600;
    for (int k = 0; k < 4; ++k) PutRail(map, 100 * k, 0, 100 * k + 100, 0);
    PutBorder(map, 0, 50, 100, 50);
    const auto since = [&](std::uint64_t revision) {
        std::vector<TElementChange> seen;
        EXPECT_TRUE(map.EditsSince(revision, [&](const TElementChange& c) { seen.push_back(c); }));
        for (TElementChange& c : seen) c.Revision = 0;
        return seen;
    };
    using K = TEditKind;
    std::uint64_t at = map.Revision();
    EXPECT_TRUE(since(at).empty());

    map.SelectRail(2);
    EXPECT_EQ(since(at), (std::vector<TElementChange>{{K::Flagged, true, 2, 1, 0}}));
    at = map.Revision();
    map.SelectRail(1); // the flag leaves rail 2 for rail 1: one entry of both
    EXPECT_EQ(since(at), (std::vector<TElementChange>{{K::Flagged, true, 1, 2, 0}}));

    at = map.Revision();
    map.BeginStep(TStepKind::DrawRail);
    map.AddRail(400, 0, 400, 0);
    // The areas hold the rail that lost the selection and the new one, never
    // the zeroed element it was for a moment at the origin.
    TEditArea area;
    map.EditsSince(at, [&](const TElementChange& c) { area.Take(c.Area); });
    EXPECT_EQ(std::tuple(area.X1, area.Y1, area.X2, area.Y2), std::tuple(100, 0, 400, 0));
    const std::uint64_t drawn = map.Revision();
    bool snapped = false;
    map.SnapPointEx(450, 30, 2, snapped); // the drawn-out end follows the mouse
    EXPECT_EQ(since(drawn), (std::vector<TElementChange>{{K::Changed, true, 4, 1, 0}}));
    map.EndStep();

    at = map.Revision();
    {
        const TEditStep step(map, TStepKind::Delete);
        map.DeleteRail(0);
    }
    EXPECT_EQ(since(at), (std::vector<TElementChange>{{K::Removed, true, 0, 1, 0}}));

    at = map.Revision();
    map.Undo(); // the selection flag comes off the drawn rail, rail 0 comes back, the flag goes on again
    EXPECT_EQ(since(at), (std::vector<TElementChange>{
                             {K::Flagged, true, 3, 1, 0}, {K::Added, true, 0, 1, 0}, {K::Flagged, true, 4, 1, 0}}));

    // Normalize notes its removals from the last, so each index holds when met.
    for (int k = 0; k < 3; ++k) PutRail(map, 0, 0, 1, 1);
    at = map.Revision();
    map.Normalize();
    const std::int32_t n = map.RailCount();
    EXPECT_EQ(since(at), (std::vector<TElementChange>{{K::Removed, true, n, 3, 0}}));

    at = map.Revision();
    std::int32_t fault = -1;
    map.CheckRoutes(fault); // every rail's links and id
    EXPECT_EQ(since(at).front(), (TElementChange{K::Changed, true, 0, n, 0}));
}

TEST(EditJournal, AReaderTooFarBehindOrFromElsewhereIsToldToRebuild)
{
    const std::size_t capacity = TEditLog::Capacity;
    TEditLog::Capacity = 8;
    TMap map;
    PutRail(map, 0, 0, 100, 0);
    const std::uint64_t start = map.Revision();
    for (int k = 0; k < 20; ++k) {
        PutRail(map, 0, 0, 100, 0);
        map.DeleteRail(0);
    }
    const auto visitNothing = [](const TElementChange&) {};
    EXPECT_FALSE(map.EditsSince(start, visitNothing));
    std::size_t seen = 0;
    EXPECT_TRUE(map.EditsSince(map.Revision() - 3, [&](const TElementChange&) { ++seen; }));
    EXPECT_GT(seen, 0u);
    EXPECT_FALSE(map.EditsSince(map.Revision() + 1, visitNothing)); // not a revision it has had
    TEditLog::Capacity = capacity;

    const std::uint64_t beforeClear = map.Revision();
    map.ClearHistory(); // as a load or a close begins
    EXPECT_FALSE(map.EditsSince(beforeClear, visitNothing));
    EXPECT_TRUE(map.EditsSince(map.Revision(), visitNothing));
}

} // namespace

namespace {

/// Every answer of a grid that followed the edits, for random rectangles
/// (small ones, large ones, ones beyond the world), against a grid built
/// afresh from the elements as they are now.
template <class T>
void ExpectAnswersAsBuiltAfresh(const TElementGrid& followed, std::int32_t shift, bool byEnds,
                                const std::vector<T>& items, std::mt19937& rng, const char* what)
{
    TElementGrid built(shift, byEnds);
    built.Build(items, items.size());
    const auto limit = static_cast<std::int32_t>(items.size()) - 1;
    std::vector<std::int32_t> got, expected;
    for (int k = 0; k < 12; ++k) {
        const std::int32_t x = Pick(rng, -1500, 11500), y = Pick(rng, -1500, 11500);
        const std::int32_t reach = k % 4 == 0 ? Pick(rng, 0, 12000) : Pick(rng, 0, 300);
        followed.Query(x, y, x + reach, y + reach, got, limit);
        built.Query(x, y, x + reach, y + reach, expected, limit);
        ASSERT_EQ(got, expected) << what << " around " << x << ", " << y << " reaching " << reach;
    }
}

} // namespace

TEST(EditJournal, GridsFollowingItAnswerAsGridsBuiltAfresh)
{
    const TTempFolder scratch;
    const std::size_t maxPending = TElementGrid::MaxPending;
    std::uint64_t builds = 0, looks = 0;
    for (std::uint32_t seed = 1; seed <= 30; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 rng(seed);
        // Now and then a grid has so much pending that it builds afresh.
        TElementGrid::MaxPending = seed % 3 == 0 ? 24 : maxPending;
        TMap map = MapBuilders::RandomRouteMap(rng);
        for (int k = 0; k < 40; ++k) // spread over many cells, some beyond the world
            PutRail(map, Pick(rng, -1200, 11200), Pick(rng, -1200, 11200), Pick(rng, -1200, 11200),
                    Pick(rng, -1200, 11200));
        const std::uint64_t first = map.Index().Builds;
        for (int edit = 0; edit < 80; ++edit) {
            RandomEdit(map, rng, scratch);
            if (Pick(rng, 0, 2) != 0) continue; // several edits between looks
            const TMapIndex& index = map.Index();
            ++looks;
            ExpectAnswersAsBuiltAfresh(index.Rails, 8, false, map.Rails(), rng, "rails");
            ExpectAnswersAsBuiltAfresh(index.RailEnds, 5, true, map.Rails(), rng, "rail ends");
            ExpectAnswersAsBuiltAfresh(index.Borders, 8, false, map.Borders(), rng, "borders");
            ExpectAnswersAsBuiltAfresh(index.BorderEnds, 5, true, map.Borders(), rng, "border ends");
            if (testing::Test::HasFatalFailure()) {
                TElementGrid::MaxPending = maxPending;
                return;
            }
        }
        builds += map.Index().Builds - first;
    }
    TElementGrid::MaxPending = maxPending;
    // Most looks followed the journal; loads, assignments, route checks and
    // a small MaxPending built afresh.
    EXPECT_LT(builds * 3, looks) << builds << " of " << looks;
    EXPECT_GT(builds, 10u);
}

TEST(EditJournal, NormalizeLookingOnlyAtEditsRemovesWhatAFullLookRemoves)
{
    // Normalize looks only at the elements edited since the map was last
    // tidy; a map given the same contents by assignment has no journal to
    // follow and looks at every element.
    const TTempFolder scratch;
    int removing = 0;
    for (std::uint32_t seed = 1; seed <= 40; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 rng(seed);
        TMap map = MapBuilders::RandomRouteMap(rng);
        map.Normalize();
        for (int edit = 0; edit < 60; ++edit) {
            // Now and then an element to remove, anywhere in the arrays, then
            // edits that move it to another index before the map is tidied.
            if (Pick(rng, 0, 1) == 0 && map.RailCount() > 0)
                EditRail(map, Pick(rng, 0, map.RailCount() - 1), [&](TRail& r) {
                    r.X2 = r.X1 + Pick(rng, 0, 12);
                    r.Y2 = r.Y1;
                });
            for (int more = Pick(rng, 1, 3); more > 0; --more) {
                const int kind = Pick(rng, 0, 2);
                if (kind < 2 && map.RailCount() > 1) {
                    {
                        const TEditStep step(map, TStepKind::Delete);
                        map.DeleteRail(Pick(rng, 0, map.RailCount() - 1));
                    }
                    if (kind == 1) map.Undo(); // back in the middle of the array
                } else {
                    RandomEdit(map, rng, scratch);
                }
            }
            TMap scanned;
            scanned = map;
            const auto tidy = [](TMap& m) {
                try {
                    m.Normalize();
                    return false;
                } catch (const EIntOverflow&) {
                    return true;
                }
            };
            const std::int32_t before = map.RailCount() + map.BorderCount();
            ASSERT_EQ(tidy(map), tidy(scanned)) << "edit " << edit;
            removing += map.RailCount() + map.BorderCount() < before;
            ASSERT_EQ(map.RailCount(), scanned.RailCount()) << "edit " << edit;
            ASSERT_EQ(map.BorderCount(), scanned.BorderCount()) << "edit " << edit;
            for (std::int32_t k = 0; k < map.RailCount(); ++k)
                ASSERT_TRUE(Same(map.Rails()[static_cast<std::size_t>(k)], scanned.Rails()[static_cast<std::size_t>(k)]))
                    << "edit " << edit << " rail " << k;
            for (std::int32_t k = 0; k < map.BorderCount(); ++k)
                ASSERT_TRUE(
                    Same(map.Borders()[static_cast<std::size_t>(k)], scanned.Borders()[static_cast<std::size_t>(k)]))
                    << "edit " << edit << " border " << k;
            ASSERT_EQ(std::tuple(map.StartRail, map.FinishRail, map.SelRail, map.SelBorder, map.Modified),
                      std::tuple(scanned.StartRail, scanned.FinishRail, scanned.SelRail, scanned.SelBorder,
                                 scanned.Modified))
                << "edit " << edit;
        }
    }
    EXPECT_GT(removing, 300);
}

TEST(EditJournal, ManyFlagsAndAMovedSelectionKeepTheJournalAndTheGrids)
{
    // A journal and a pending limit far below the elements selected and
    // moved: a flag or a move of each noted one by one would overflow both.
    const std::size_t capacity = TEditLog::Capacity, maxPending = TElementGrid::MaxPending;
    const std::int32_t indexFrom = TMap::IndexFrom;
    TEditLog::Capacity = 64;
    TElementGrid::MaxPending = 32;
    TMap::IndexFrom = 100;
    std::mt19937 rng(7);
    TMap map;
    map.ViewWidth = 718;
    map.ViewHeight = 600;
    std::vector<TRail> rails;
    std::vector<TBorder> borders;
    for (std::int32_t y = 0; y < 40; ++y)
        for (std::int32_t x = 0; x < 40; ++x) {
            const std::int32_t x1 = x * 60 + Pick(rng, 0, 20), y1 = y * 60 + Pick(rng, 0, 20);
            const std::int32_t x2 = x1 + Pick(rng, 10, 50), y2 = y1 + Pick(rng, -20, 300);
            if ((x + y) % 2 == 0)
                rails.push_back(MapBuilders::RailOf(x1, y1, x2, y2));
            else
                borders.push_back(MapBuilders::BorderOf(x1, y1, x2, y2));
        }
    // Across many cells, and beyond the world: kept apart by the grids.
    rails.push_back(MapBuilders::RailOf(100, 500, 2300, 520));
    borders.push_back(MapBuilders::BorderOf(-1500, 40, 200, 60));
    map.AppendRails(rails);
    map.AppendBorders(borders);
    const std::uint64_t builds = map.Index().Builds;
    const auto expectFollowed = [&](std::uint64_t from, const char* what) {
        SCOPED_TRACE(what);
        std::size_t entries = 0;
        EXPECT_TRUE(map.EditsSince(from, [&](const TElementChange&) { ++entries; }));
        EXPECT_LE(entries, 8u);
        const TMapIndex& index = map.Index();
        EXPECT_EQ(index.Builds, builds);
        ExpectAnswersAsBuiltAfresh(index.Rails, 8, false, map.Rails(), rng, "rails");
        ExpectAnswersAsBuiltAfresh(index.RailEnds, 5, true, map.Rails(), rng, "rail ends");
        ExpectAnswersAsBuiltAfresh(index.Borders, 8, false, map.Borders(), rng, "borders");
        ExpectAnswersAsBuiltAfresh(index.BorderEnds, 5, true, map.Borders(), rng, "border ends");
    };

    std::uint64_t at = map.Revision();
    map.SelectBand({0, 0}, {1500, 1800}, false);
    EXPECT_GT(map.SelectedCount(), 500);
    expectFollowed(at, "band");
    at = map.Revision();
    map.SelectAll();
    map.ClearSelection();
    expectFollowed(at, "all and none");

    map.SelectBand({-2000, 0}, {2400, 1200}, false);
    const TMap before = map;
    at = map.Revision();
    map.BeginStep(TStepKind::Move);
    TPoint total{0, 0};
    for (int tick = 0; tick < 6; ++tick) {
        const TPoint step = map.MoveSelected(Pick(rng, -400, 400), Pick(rng, -400, 400));
        total = {total.x + step.x, total.y + step.y};
        expectFollowed(at, "a tick of a drag");
        at = map.Revision();
    }
    map.EndStep();
    // Every selected element moved by the sum of the ticks' moves, and no other.
    const auto movedBy = [&](const auto& now, const auto& was) {
        for (std::size_t k = 0; k < now.size(); ++k) {
            const TPoint d = was[k].Selected ? total : TPoint{0, 0};
            ASSERT_EQ(std::tuple(now[k].X1, now[k].Y1, now[k].X2, now[k].Y2),
                      std::tuple(was[k].X1 + d.x, was[k].Y1 + d.y, was[k].X2 + d.x, was[k].Y2 + d.y))
                << k;
        }
    };
    movedBy(map.Rails(), before.Rails());
    movedBy(map.Borders(), before.Borders());
    ASSERT_TRUE(map.Undo());
    expectFollowed(at, "undo");
    at = map.Revision();
    ASSERT_TRUE(map.Redo());
    expectFollowed(at, "redo");
    // Links and ids move no end.
    at = map.Revision();
    std::int32_t fault = -1;
    map.CheckRoutes(fault);
    expectFollowed(at, "route check");

    TEditLog::Capacity = capacity;
    TElementGrid::MaxPending = maxPending;
    TMap::IndexFrom = indexFrom;
}
