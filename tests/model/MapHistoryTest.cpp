// The undo history against a reference: random steps on random maps, with the
// states recorded around every step and the steps replayed from the start.
#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>

#include "model/MapFile.h"
#include "model/MapFileIO.h"
#include "model/TMap.h"
#include "tests/support/MapBuilders.h"
#include "tests/support/MapBytes.h"
#include "tests/support/TempFolder.h"

using MapBuilders::PutBorder;
using MapBuilders::PutRail;

namespace {

/// Everything a step may change, every field of every element included.
struct TState {
    std::vector<TRail> Rails;
    std::vector<TBorder> Borders;
    TMapMarks Marks;
    bool Modified = false;
};

TState StateOf(const TMap& map)
{
    return {map.Rails(), map.Borders(), {map.StartRail, map.FinishRail, map.SelRail, map.SelBorder}, map.Modified};
}

template <class T>
std::string FirstDifference(const char* what, const std::vector<T>& a, const std::vector<T>& b, bool withSelection)
{
    if (a.size() != b.size()) return std::string(what) + " count " + std::to_string(a.size()) + " vs " + std::to_string(b.size());
    for (std::size_t k = 0; k < a.size(); ++k) {
        T x = a[k], y = b[k];
        if (!withSelection) x.Selected = y.Selected = false;
        if (!SameElement(x, y))
            return std::string(what) + " " + std::to_string(k) + " differs: selected " + std::to_string(x.Selected) +
                   "/" + std::to_string(y.Selected) + ", x1 " + std::to_string(x.X1) + "/" + std::to_string(y.X1);
    }
    return {};
}

/// Empty when equal; otherwise what differs first. Without the selection,
/// Selected flags, SelRail and SelBorder and Modified are left out.
std::string Difference(const TState& a, const TState& b, bool withSelection = true)
{
    std::string d = FirstDifference("rail", a.Rails, b.Rails, withSelection);
    if (d.empty()) d = FirstDifference("border", a.Borders, b.Borders, withSelection);
    if (!d.empty()) return d;
    std::ostringstream marks;
    const auto put = [&](const TMapMarks& m) {
        marks << m.StartRail << '/' << m.FinishRail << '/' << m.SelRail << '/' << m.SelBorder << ' ';
    };
    const bool same = withSelection ? a.Marks == b.Marks
                                    : a.Marks.StartRail == b.Marks.StartRail && a.Marks.FinishRail == b.Marks.FinishRail;
    if (!same) {
        put(a.Marks);
        put(b.Marks);
        return "marks " + marks.str();
    }
    if (withSelection && a.Modified != b.Modified) return "Modified";
    return {};
}

std::int32_t Pick(std::mt19937& rng, std::int32_t lo, std::int32_t hi)
{
    return std::uniform_int_distribution<std::int32_t>(lo, hi)(rng);
}

/// A world point: near an existing end most of the time, sometimes anywhere,
/// sometimes just outside the world.
TPoint SomePoint(const TMap& map, std::mt19937& rng)
{
    const std::int32_t elements = map.RailCount() + map.BorderCount();
    if (elements > 0 && Pick(rng, 0, 3) > 0) {
        const std::int32_t k = Pick(rng, 0, elements - 1);
        const TLine& line = k < map.RailCount() ? static_cast<const TLine&>(map.Rails()[static_cast<std::size_t>(k)])
                                                : map.Borders()[static_cast<std::size_t>(k - map.RailCount())];
        const bool first = Pick(rng, 0, 1) == 0;
        return {(first ? line.X1 : line.X2) + Pick(rng, -6, 6), (first ? line.Y1 : line.Y2) + Pick(rng, -6, 6)};
    }
    return {Pick(rng, -30, WorldSize + 30), Pick(rng, -30, WorldSize + 30)};
}

/// Draws out the last element as the window does: the snapped second end
/// follows the mouse for a few frames, then the release normalises.
void DrawOut(TMap& map, std::uint8_t placing, std::mt19937& rng)
{
    for (std::int32_t frame = Pick(rng, 0, 3); frame > 0; --frame) {
        const TPoint p = SomePoint(map, rng);
        bool snapped = false;
        map.SnapPointEx(p.x - map.ViewX, p.y - map.ViewY, placing, snapped);
    }
    map.Normalize();
}

/// One user action, as the window makes it, with its own random choices.
void RandomStep(TMap& map, std::uint32_t seed)
{
    std::mt19937 rng(seed);
    switch (Pick(rng, 0, 8)) {
    case 0: {
        const TEditStep step(map, TStepKind::DrawRail);
        const TPoint p = SomePoint(map, rng);
        map.AddRail(p.x, p.y, p.x, p.y);
        DrawOut(map, 2, rng);
        break;
    }
    case 1: {
        const TEditStep step(map, TStepKind::DrawBorder);
        const TPoint p = SomePoint(map, rng);
        map.AddBorder(p.x, p.y, p.x, p.y, static_cast<TColor>(Pick(rng, 0, 0xFFFFFF)),
                      static_cast<std::uint8_t>(Pick(rng, 0, 3)));
        DrawOut(map, 1, rng);
        break;
    }
    case 2: {
        const TEditStep step(map, TStepKind::Reverse);
        map.ReverseRail(map.SelRail);
        map.CycleBorderKind(map.SelBorder);
        break;
    }
    case 3: {
        const TEditStep step(map, TStepKind::MakeStart);
        map.SetStartRail(map.SelRail);
        break;
    }
    case 4: {
        const TEditStep step(map, TStepKind::MakeFinish);
        map.SetFinishRail(map.SelRail);
        break;
    }
    case 5: {
        const TEditStep step(map, TStepKind::Delete);
        map.DeleteRail(map.SelRail);
        map.DeleteBorder(map.SelBorder);
        break;
    }
    case 6: {
        const TEditStep step(map, TStepKind::Recolor);
        map.SetBorderColor(map.SelBorder, static_cast<TColor>(Pick(rng, 0, 0xFFFFFF)));
        break;
    }
    default: {
        const TPoint press = SomePoint(map, rng);
        const std::optional<TElementEnd> end = map.EndNear(press.x, press.y);
        if (!end) break;
        const std::vector<TElementEnd> ends =
            Pick(rng, 0, 2) == 0 ? std::vector<TElementEnd>{*end} : map.EndsAt(map.EndPoint(*end));
        const TEditStep step(map, TStepKind::MoveEnd);
        for (std::int32_t frame = Pick(rng, 1, 3); frame > 0; --frame) map.MoveEnds(ends, SomePoint(map, rng));
        map.Normalize();
        break;
    }
    }
}

/// A selection between steps, which is no step itself.
void RandomSelection(TMap& map, std::mt19937& rng)
{
    switch (Pick(rng, 0, 3)) {
    case 0: map.SelectRail(map.RailCount() > 0 ? Pick(rng, -1, map.RailCount() - 1) : -1); break;
    case 1: map.SelectBorder(map.BorderCount() > 0 ? Pick(rng, -1, map.BorderCount() - 1) : -1); break;
    case 2: {
        const TPoint p = SomePoint(map, rng);
        map.SelectAt(p.x - map.ViewX, p.y - map.ViewY);
        break;
    }
    default: break;
    }
}

TEST(MapHistory, UndoAndRedoAgreeWithTheStatesAroundEveryStepAndWithAReplay)
{
    std::size_t steps = 0, undos = 0, redos = 0;
    for (std::uint32_t seed = 1; seed <= 250; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 rng(seed);
        TMap map = MapBuilders::RandomRouteMap(rng);
        map.MarkClean(); // as a load leaves it
        const TMap initial = map;
        const TState first = StateOf(map);

        // The reference: the state before and after each applied step, the
        // seed that made it, the position and the clean position.
        std::vector<TState> before, after;
        std::vector<std::uint32_t> seeds;
        std::size_t position = 0;
        std::ptrdiff_t clean = 0;
        const auto expect = [&](TState state) {
            state.Modified = clean != static_cast<std::ptrdiff_t>(position);
            return state;
        };

        for (int action = 0; action < 60; ++action) {
            const std::int32_t r = Pick(rng, 0, 99);
            if (r < 18) {
                const bool done = map.Undo();
                ASSERT_EQ(done, position > 0);
                if (!done) continue;
                --position;
                ++undos;
                ASSERT_EQ(Difference(StateOf(map), expect(before[position])), "") << "undo to " << position;
            } else if (r < 34) {
                const bool done = map.Redo();
                ASSERT_EQ(done, position < after.size());
                if (!done) continue;
                ++redos;
                ++position;
                ASSERT_EQ(Difference(StateOf(map), expect(after[position - 1])), "") << "redo to " << position;
            } else if (r < 38) {
                map.MarkClean();
                clean = static_cast<std::ptrdiff_t>(position);
            } else {
                RandomSelection(map, rng);
                const TState pre = StateOf(map);
                const std::uint32_t stepSeed = static_cast<std::uint32_t>(rng());
                RandomStep(map, stepSeed);
                if (map.History().Position() == position) {
                    // No step: nothing but the selection (and Modified) may have changed.
                    ASSERT_EQ(Difference(pre, StateOf(map), false), "") << "a change without a step";
                    continue;
                }
                ASSERT_EQ(map.History().Position(), position + 1);
                ASSERT_TRUE(map.Modified);
                before.resize(position);
                after.resize(position);
                seeds.resize(position);
                if (clean > static_cast<std::ptrdiff_t>(position)) clean = -1;
                before.push_back(pre);
                after.push_back(StateOf(map));
                seeds.push_back(stepSeed);
                ++position;
                ++steps;
            }
            ASSERT_EQ(map.History().Position(), position);
            ASSERT_EQ(map.History().CleanPosition(), clean);
        }

        const bool undone = position > 0;
        while (map.Undo()) --position;
        ASSERT_EQ(position, 0u);
        // The first state, with the selection that the first step began with.
        EXPECT_EQ(Difference(StateOf(map), first, false), "") << "undo all";
        EXPECT_EQ(map.Modified, clean != 0);
        if (undone) {
            EXPECT_EQ(Difference(StateOf(map), expect(before.front())), "") << "undo all";
        }
        while (map.Redo()) ++position;
        ASSERT_EQ(position, after.size());
        if (!after.empty()) {
            EXPECT_EQ(Difference(StateOf(map), expect(after.back())), "") << "redo all";
        }

        // Replaying the kept steps from the start, each after the selection
        // it began with, gives what redo gave.
        TMap replay = initial;
        for (std::size_t k = 0; k < seeds.size(); ++k) {
            replay.SelectRail(before[k].Marks.SelRail);
            replay.SelectBorder(before[k].Marks.SelBorder);
            RandomStep(replay, seeds[k]);
            ASSERT_EQ(Difference(StateOf(replay), after[k], false), "") << "replay of step " << k;
        }
    }
    // The walk must really have exercised the history.
    EXPECT_GT(steps, 3000u);
    EXPECT_GT(undos, 1500u);
    EXPECT_GT(redos, 400u);
}

// A save in the middle of a step (Ctrl+S during a drag): whatever follows,
// the map counts as unmodified only when it is exactly what was saved, and
// at a step's end or cancel exactly then.
TEST(MapHistory, ASaveInsideAStepKeepsTheSavedStateAsTheCleanPoint)
{
    std::size_t equalAtEnd = 0, differentAtEnd = 0, cleanUndos = 0;
    for (std::uint32_t seed = 1; seed <= 300; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 rng(seed);
        TMap map = MapBuilders::RandomRouteMap(rng);
        map.MarkClean();
        std::vector<std::uint8_t> saved = MapToBytes(map);
        const auto save = [&] {
            map.MarkClean();
            saved = MapToBytes(map);
        };
        for (int action = 0; action < 30; ++action) {
            const std::int32_t r = Pick(rng, 0, 9);
            if (r < 2) {
                Pick(rng, 0, 1) == 0 ? map.Undo() : map.Redo();
            } else if (r < 3) {
                save();
            } else if (r < 5) {
                RandomStep(map, static_cast<std::uint32_t>(rng()));
            } else {
                // A drag with saves in it; its end may come back to where a save left it.
                const bool drawing = r < 8;
                const TPoint press = SomePoint(map, rng);
                const std::optional<TElementEnd> end = map.EndNear(press.x, press.y);
                if (!drawing && !end) continue;
                map.BeginStep(drawing ? TStepKind::DrawRail : TStepKind::MoveEnd);
                if (drawing) map.AddRail(press.x, press.y, press.x, press.y);
                TPoint atSave = drawing ? press : map.EndPoint(*end);
                bool savedInDrag = false;
                for (std::int32_t frame = Pick(rng, 1, 6); frame > 0; --frame) {
                    const std::int32_t what = Pick(rng, 0, 5);
                    const TPoint p = what == 0 ? atSave : SomePoint(map, rng);
                    if (what == 1) {
                        save();
                        savedInDrag = true;
                        atSave = drawing ? TPoint{map.Rails().back().X2, map.Rails().back().Y2} : map.EndPoint(*end);
                    } else if (drawing) {
                        bool snapped = false;
                        map.SnapPointEx(p.x - map.ViewX, p.y - map.ViewY, 2, snapped);
                    } else {
                        map.MoveEnds(map.EndsAt(map.EndPoint(*end)), p);
                    }
                    ASSERT_TRUE(map.Modified || MapToBytes(map) == saved) << "during the drag";
                }
                if (Pick(rng, 0, 3) == 0) {
                    map.CancelStep();
                } else {
                    map.Normalize();
                    map.EndStep();
                }
                const bool same = MapToBytes(map) == saved;
                ASSERT_TRUE(map.Modified || same) << "at the drag's end";
                if (!savedInDrag) continue;
                ASSERT_EQ(map.Modified, !same) << "at the end of a drag saved in between";
                ++(same ? equalAtEnd : differentAtEnd);
                continue;
            }
            ASSERT_TRUE(map.Modified || MapToBytes(map) == saved) << "action " << r;
            cleanUndos += r < 2 && !map.Modified;
        }
    }
    EXPECT_GT(equalAtEnd, 200u);
    EXPECT_GT(differentAtEnd, 1000u);
    EXPECT_GT(cleanUndos, 100u);
}

TEST(MapHistory, ANewMapIsCleanWhenEmptyAndAClickThatLeavesNothingIsNoStep)
{
    TMap map;
    {
        const TEditStep step(map, TStepKind::DrawRail);
        map.AddRail(100, 100, 100, 100);
        map.Normalize();
    }
    EXPECT_FALSE(map.CanUndo());
    EXPECT_TRUE(map.Modified); // as the click has always left it

    {
        const TEditStep step(map, TStepKind::DrawRail);
        map.AddRail(100, 100, 100, 100);
        bool snapped = false;
        map.SnapPointEx(300, 100, 2, snapped);
        map.SnapPointEx(400, 100, 2, snapped);
        map.Normalize();
    }
    ASSERT_TRUE(map.CanUndo());
    EXPECT_EQ(map.UndoKind(), TStepKind::DrawRail);
    // The frames of the drag fold into the one inserted rail.
    ASSERT_EQ(map.History().StepToUndo().Rails.Edits.size(), 1u);
    EXPECT_EQ(map.History().StepToUndo().Rails.Edits[0].After.X2, 400);

    EXPECT_TRUE(map.Undo());
    EXPECT_EQ(map.RailCount(), 0);
    EXPECT_FALSE(map.Modified);
    EXPECT_EQ(map.SelRail, -1);
    EXPECT_TRUE(map.Redo());
    EXPECT_TRUE(map.Modified);
    EXPECT_EQ(map.SelRail, 0);
    EXPECT_TRUE(map.Rails()[0].Selected);
}

TEST(MapHistory, NormalizeInsideAStepIsUndoneWithEveryIndex)
{
    TMap map;
    for (std::int32_t k = 0; k < 6; ++k) PutRail(map, 100 * k, 100, 100 * k + 50, 100);
    PutBorder(map, 10, 10, 20, 20);
    PutBorder(map, 10, 10, 30, 30);
    map.SetStartRail(4);
    map.SetFinishRail(1);
    map.SelectRail(5);
    map.SelectBorder(1);
    map.MarkClean();
    const TState start = StateOf(map);
    {
        // Rails 0, 2 and 3 and border 0 leave the world or become too short.
        const TEditStep step(map, TStepKind::MoveEnd);
        map.MoveEnds({{true, 0, 1}, {true, 2, 2}, {false, 0, 1}}, {-1, 100});
        map.MoveEnds({{true, 3, 2}}, {305, 100});
        map.Normalize();
    }
    ASSERT_EQ(map.RailCount(), 3);
    EXPECT_EQ(map.StartRail, 1);
    EXPECT_EQ(map.FinishRail, 0);
    EXPECT_EQ(map.SelRail, 2);
    EXPECT_EQ(map.SelBorder, 0);
    const TState moved = StateOf(map);

    map.SelectRail(0);
    ASSERT_TRUE(map.Undo());
    EXPECT_EQ(Difference(StateOf(map), start), "");
    ASSERT_TRUE(map.Redo());
    EXPECT_EQ(Difference(StateOf(map), moved), "");
}

TEST(MapHistory, CancellingTheOpenStepPutsEverythingBack)
{
    TMap map;
    PutRail(map, 100, 100, 200, 100);
    PutRail(map, 200, 100, 300, 100);
    map.SelectRail(1);
    map.MarkClean();
    const TState start = StateOf(map);
    map.BeginStep(TStepKind::DrawRail);
    map.AddRail(500, 500, 600, 600);
    map.DeleteRail(0);
    map.CancelStep();
    EXPECT_EQ(Difference(StateOf(map), start), "");
    EXPECT_FALSE(map.CanUndo());
    map.EndStep(); // a stray close changes nothing
    EXPECT_FALSE(map.CanUndo());
}

TEST(MapHistory, StepsAreDroppedByANewStepAfterUndoAndByChangesOutsideAStep)
{
    TMap map;
    const auto draw = [&](std::int32_t y) {
        const TEditStep step(map, TStepKind::DrawRail);
        map.AddRail(100, y, 300, y);
        map.Normalize();
    };
    draw(100);
    draw(200);
    map.MarkClean();
    draw(300);
    ASSERT_TRUE(map.Undo());
    ASSERT_TRUE(map.Undo());
    EXPECT_TRUE(map.Modified);
    draw(400); // the clean state could only be redone: it is lost
    EXPECT_FALSE(map.CanRedo());
    ASSERT_TRUE(map.Undo());
    EXPECT_TRUE(map.Modified);
    EXPECT_EQ(map.History().CleanPosition(), -1);

    map.ReverseRail(0); // no step open: the history could no longer be replayed
    EXPECT_FALSE(map.CanUndo());
    EXPECT_FALSE(map.CanRedo());

    // An element removed with no step open drops the history: it is not undone wrongly.
    draw(500);
    map.DeleteRail(map.RailCount() - 1);
    EXPECT_FALSE(map.Undo());
    EXPECT_FALSE(map.CanUndo());
}

TEST(MapHistory, NothingButTheSelectionIsNoStep)
{
    TMap map;
    PutRail(map, 100, 100, 300, 100);
    map.SetStartRail(0);
    map.MarkClean();
    for (const TStepKind kind : {TStepKind::MakeStart, TStepKind::Reverse, TStepKind::Delete}) {
        const TEditStep step(map, kind);
        map.SelectRail(0);
        if (kind == TStepKind::MakeStart) map.SetStartRail(0);
        map.SelectRail(-1);
        map.DeleteRail(map.SelRail);
    }
    EXPECT_FALSE(map.CanUndo());
    EXPECT_FALSE(map.Modified);
}

TEST(MapHistory, AStepHoldsWhatItChangedNotTheMap)
{
    TMap map = MapBuilders::ScatteredElements(200000);
    map.MarkClean();
    const std::size_t empty = map.History().Bytes();
    map.SelectRail(77777);
    map.SelectBorder(4242);
    for (const TStepKind kind : {TStepKind::Reverse, TStepKind::Delete}) {
        const TEditStep step(map, kind);
        if (kind == TStepKind::Reverse) {
            map.ReverseRail(map.SelRail);
            map.CycleBorderKind(map.SelBorder);
        } else {
            map.DeleteRail(map.SelRail);
            map.DeleteBorder(map.SelBorder);
        }
    }
    ASSERT_EQ(map.History().Position(), 2u);
    EXPECT_LT(map.History().Bytes() - empty, 2000u);
}

TEST(MapHistory, LoadingStartsAfreshAndTheLoadedStateIsClean)
{
    TTempFolder folder;
    const std::string path = folder.File("two.ks");
    WriteBytes(path, TMapBytes().Rail(100, 100, 300, 100).Rail(300, 100, 300, 400).Bytes());
    TMap map;
    {
        const TEditStep step(map, TStepKind::DrawRail);
        map.AddRail(1000, 1000, 1200, 1000);
    }
    ASSERT_TRUE(map.CanUndo());
    ReadMapFile(map, path);
    EXPECT_FALSE(map.CanUndo());
    EXPECT_FALSE(map.Modified);
    map.SelectRail(1);
    {
        const TEditStep step(map, TStepKind::Delete);
        map.DeleteRail(map.SelRail);
    }
    EXPECT_TRUE(map.Modified);
    ASSERT_TRUE(map.Undo());
    EXPECT_FALSE(map.Modified);
    EXPECT_EQ(map.RailCount(), 2);
}

} // namespace
