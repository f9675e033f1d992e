#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>

#include "model/TMap.h"
#include "tests/support/MapBuilders.h"

using MapBuilders::BorderOf;
using MapBuilders::PutBorder;
using MapBuilders::PutRail;
using MapBuilders::RailOf;

namespace {

/// Elements crowded onto a coarse lattice, so that band edges often pass
/// exactly through ends; a few reach past the world's edge.
TMap LatticeMap(std::mt19937& rng, std::int32_t count)
{
    TMap map;
    std::uniform_int_distribution<std::int32_t> cell(-1, 11);
    std::vector<TRail> rails;
    std::vector<TBorder> borders;
    for (std::int32_t k = 0; k < count; ++k) {
        const auto at = [&] { return cell(rng) * 1000; };
        if (k % 3 == 0)
            borders.push_back(BorderOf(at(), at(), at(), at(), static_cast<TColor>(k), static_cast<std::uint8_t>(k % 4)));
        else
            rails.push_back(RailOf(at(), at(), at(), at()));
    }
    map.AppendRails(rails);
    map.AppendBorders(borders);
    map.ViewWidth = 718;
    map.ViewHeight = 600;
    return map;
}

/// The selected indices of one kind as the flags say.
template <class T>
std::set<std::int32_t> Flagged(const std::vector<T>& items)
{
    std::set<std::int32_t> out;
    for (std::size_t k = 0; k < items.size(); ++k)
        if (items[k].Selected) out.insert(static_cast<std::int32_t>(k));
    return out;
}

template <class T>
std::set<std::int32_t> InBand(const std::vector<T>& items, std::int32_t x1, std::int32_t y1, std::int32_t x2,
                              std::int32_t y2)
{
    std::set<std::int32_t> out;
    for (std::size_t k = 0; k < items.size(); ++k) {
        const T& l = items[k];
        const auto in = [&](std::int32_t x, std::int32_t y) { return x >= x1 && x <= x2 && y >= y1 && y <= y2; };
        if (in(l.X1, l.Y1) && in(l.X2, l.Y2)) out.insert(static_cast<std::int32_t>(k));
    }
    return out;
}

std::int32_t Lowest(const std::set<std::int32_t>& s) { return s.empty() ? -1 : *s.begin(); }

/// The selection marks name the lowest selected element of each kind.
void ExpectMarksFollowFlags(const TMap& map)
{
    EXPECT_EQ(map.SelRail, Lowest(Flagged(map.Rails())));
    EXPECT_EQ(map.SelBorder, Lowest(Flagged(map.Borders())));
}

} // namespace

// Random bands, toggles and "add" bands against a set kept beside the map,
// once by visiting every element and once through the grids.
TEST(SelectMany, BandsAndTogglesSelectWhatASetKeptBesideSays)
{
    for (const std::int32_t indexFrom : {1 << 30, 1}) {
        const std::int32_t saved = TMap::IndexFrom;
        TMap::IndexFrom = indexFrom;
        std::mt19937 rng(7);
        TMap map = LatticeMap(rng, 300);
        std::set<std::int32_t> rails, borders;
        std::uniform_int_distribution<std::int32_t> at(-1500, 11500);
        for (int round = 0; round < 200; ++round) {
            const int action = static_cast<int>(rng() % 4);
            if (action < 2) {
                std::int32_t x1 = at(rng) / 500 * 500, y1 = at(rng) / 500 * 500, x2 = at(rng) / 500 * 500,
                             y2 = at(rng) / 500 * 500;
                const bool add = action == 1;
                map.SelectBand({x1, y1}, {x2, y2}, add);
                if (x1 > x2) std::swap(x1, x2);
                if (y1 > y2) std::swap(y1, y2);
                if (!add) rails.clear(), borders.clear();
                for (std::int32_t k : InBand(map.Rails(), x1, y1, x2, y2)) rails.insert(k);
                for (std::int32_t k : InBand(map.Borders(), x1, y1, x2, y2)) borders.insert(k);
            } else if (action == 2) {
                const bool isRail = rng() % 2 == 0;
                const auto k = static_cast<std::int32_t>(rng() % (isRail ? map.RailCount() : map.BorderCount()));
                map.ToggleSelected({isRail, k});
                std::set<std::int32_t>& s = isRail ? rails : borders;
                if (!s.erase(k)) s.insert(k);
            } else {
                map.SelectAll();
                for (std::int32_t k = 0; k < map.RailCount(); ++k) rails.insert(k);
                for (std::int32_t k = 0; k < map.BorderCount(); ++k) borders.insert(k);
            }
            ASSERT_EQ(Flagged(map.Rails()), rails) << "round " << round;
            ASSERT_EQ(Flagged(map.Borders()), borders) << "round " << round;
            ASSERT_EQ(map.SelRail, Lowest(rails));
            ASSERT_EQ(map.SelBorder, Lowest(borders));
            EXPECT_FALSE(map.CanUndo()); // selecting is no step
        }
        map.ClearSelection();
        EXPECT_TRUE(Flagged(map.Rails()).empty());
        EXPECT_TRUE(Flagged(map.Borders()).empty());
        ExpectMarksFollowFlags(map);
        TMap::IndexFrom = saved;
    }
}

// Delete, reverse and recolour of a random selection are one step each: the
// result is what a filter of the elements gives, undo gives the map back.
TEST(SelectMany, DeleteReverseRecolourAreOneStepAgainstAFilter)
{
    std::mt19937 rng(11);
    for (int trial = 0; trial < 20; ++trial) {
        TMap map = LatticeMap(rng, 60);
        map.SetStartRail(static_cast<std::int32_t>(rng() % map.RailCount()));
        map.SetFinishRail(static_cast<std::int32_t>(rng() % map.RailCount()));
        for (int k = 0; k < 15; ++k) {
            const bool isRail = rng() % 2 == 0;
            map.ToggleSelected({isRail, static_cast<std::int32_t>(rng() % (isRail ? map.RailCount() : map.BorderCount()))});
        }
        const std::vector<TRail> rails0 = map.Rails();
        const std::vector<TBorder> borders0 = map.Borders();
        const std::int32_t start0 = map.StartRail, finish0 = map.FinishRail;

        const int action = trial % 3;
        {
            const TEditStep step(map, action == 0 ? TStepKind::Delete : action == 1 ? TStepKind::Reverse : TStepKind::Recolor);
            if (action == 0) map.DeleteSelected();
            if (action == 1) map.ReverseSelected();
            if (action == 2) map.RecolorSelected(0xABCDEF);
        }
        // The reference: each element as it should be, or gone.
        std::vector<TRail> rails;
        std::int32_t start = -1, finish = -1;
        for (std::size_t k = 0; k < rails0.size(); ++k) {
            TRail r = rails0[k];
            if (r.Selected && action == 0) continue;
            if (r.Selected && action == 1) std::swap(r.X1, r.X2), std::swap(r.Y1, r.Y2);
            if (static_cast<std::int32_t>(k) == start0) start = static_cast<std::int32_t>(rails.size());
            if (static_cast<std::int32_t>(k) == finish0) finish = static_cast<std::int32_t>(rails.size());
            rails.push_back(r);
        }
        std::vector<TBorder> borders;
        for (TBorder b : borders0) {
            if (b.Selected && action == 0) continue;
            if (b.Selected && action == 1) b.Kind = static_cast<std::uint8_t>((b.Kind + 1) % 4);
            if (b.Selected && action == 2) b.Color = 0xABCDEF;
            borders.push_back(b);
        }
        ASSERT_EQ(map.RailCount(), static_cast<std::int32_t>(rails.size()));
        ASSERT_EQ(map.BorderCount(), static_cast<std::int32_t>(borders.size()));
        for (std::size_t k = 0; k < rails.size(); ++k) {
            EXPECT_EQ(map.Rails()[k].X1, rails[k].X1);
            EXPECT_EQ(map.Rails()[k].Y2, rails[k].Y2);
        }
        for (std::size_t k = 0; k < borders.size(); ++k) {
            EXPECT_EQ(map.Borders()[k].X1, borders[k].X1);
            EXPECT_EQ(map.Borders()[k].Kind, borders[k].Kind);
            EXPECT_EQ(map.Borders()[k].Color, borders[k].Color);
        }
        EXPECT_EQ(map.StartRail, start);
        EXPECT_EQ(map.FinishRail, finish);
        ExpectMarksFollowFlags(map);

        ASSERT_TRUE(map.Undo());
        EXPECT_FALSE(map.CanUndo());
        ASSERT_EQ(map.RailCount(), static_cast<std::int32_t>(rails0.size()));
        ASSERT_EQ(map.BorderCount(), static_cast<std::int32_t>(borders0.size()));
        for (std::size_t k = 0; k < rails0.size(); ++k) {
            EXPECT_EQ(map.Rails()[k].X1, rails0[k].X1);
            EXPECT_EQ(map.Rails()[k].Y1, rails0[k].Y1);
        }
        for (std::size_t k = 0; k < borders0.size(); ++k) {
            EXPECT_EQ(map.Borders()[k].Kind, borders0[k].Kind);
            EXPECT_EQ(map.Borders()[k].Color, borders0[k].Color);
        }
        EXPECT_EQ(map.StartRail, start0);
        EXPECT_EQ(map.FinishRail, finish0);
        // Undo of a deletion selects what the marks named before it; the
        // elements that stayed keep their selection.
        ExpectMarksFollowFlags(map);
        if (action == 0) {
            EXPECT_LE(Flagged(map.Rails()).size(), 1u);
        } else {
            EXPECT_EQ(Flagged(map.Rails()), Flagged(rails0));
            EXPECT_EQ(Flagged(map.Borders()), Flagged(borders0));
        }
    }
}

// Moving stops at the world's edge, snaps to an unselected end only, and a
// click (SelectRail) ends the selection of many.
TEST(SelectMany, MovingStopsAtTheEdgeAndSnapsOnlyToUnselectedEnds)
{
    TMap map;
    map.ViewWidth = 718;
    map.ViewHeight = 600;
    PutRail(map, 100, 100, 200, 100);
    PutRail(map, 200, 100, 300, 150);
    PutBorder(map, 400, 400, 500, 500);
    map.SelectBand({50, 50}, {320, 200}, false);
    EXPECT_EQ(map.SelectedCount(), 2);
    {
        const TEditStep step(map, TStepKind::MoveEnd);
        EXPECT_EQ(map.MoveSelected(-500, 20), (TPoint{-100, 20}));
        EXPECT_EQ(map.MoveSelected(0, 10000), (TPoint{0, 10000 - 170}));
    }
    EXPECT_EQ(map.Rails()[0].X1, 0);
    EXPECT_EQ(map.Rails()[1].Y2, WorldSize);
    EXPECT_EQ(map.Borders()[0].X1, 400);
    ASSERT_TRUE(map.Undo());
    EXPECT_EQ(map.Rails()[1].X2, 300);
    EXPECT_EQ(map.Rails()[1].Y2, 150);

    // (201, 101) lies within reach of the selected rails' joint and of nothing else.
    map.SelectBand({50, 50}, {320, 200}, false);
    bool snapped = true;
    EXPECT_EQ(map.SnapUnselectedPoint(201, 101, snapped), (TPoint{201, 101}));
    EXPECT_FALSE(snapped);
    map.ToggleSelected({true, 1});
    EXPECT_EQ(map.SnapUnselectedPoint(201, 101, snapped), (TPoint{200, 100}));
    EXPECT_TRUE(snapped);

    map.SelectAll();
    map.SelectRail(1);
    EXPECT_FALSE(map.ManySelected());
    EXPECT_EQ(Flagged(map.Rails()), std::set<std::int32_t>{1});
    EXPECT_TRUE(Flagged(map.Borders()).empty());
}

// A paste appends after the existing elements (their indices stay), becomes
// the selection without start, finish or links, and is one step.
TEST(SelectMany, AppendedElementsBecomeTheSelectionInOneStep)
{
    TMap map;
    PutRail(map, 0, 0, 100, 0);
    PutBorder(map, 0, 0, 0, 100);
    map.SetStartRail(0);
    map.SelectRail(0);
    TRail pasted = RailOf(10, 10, 90, 10);
    pasted.IsStart = true;
    const TBorder border = BorderOf(5, 5, 5, 50, 0x112233, bkWall);
    {
        const TEditStep step(map, TStepKind::DrawRail);
        map.AppendSelected({&border, 1}, {&pasted, 1});
    }
    ASSERT_EQ(map.RailCount(), 2);
    EXPECT_EQ(map.StartRail, 0);
    EXPECT_TRUE(map.Rails()[0].IsStart);
    EXPECT_FALSE(map.Rails()[1].IsStart);
    EXPECT_EQ(map.RailLinks(1), TRailLinks{});
    EXPECT_EQ(Flagged(map.Rails()), std::set<std::int32_t>{1});
    EXPECT_EQ(Flagged(map.Borders()), std::set<std::int32_t>{1});
    EXPECT_EQ(map.Borders()[1].Color, 0x112233u);
    ExpectMarksFollowFlags(map);
    ASSERT_TRUE(map.Undo());
    EXPECT_EQ(map.RailCount(), 1);
    EXPECT_EQ(map.BorderCount(), 1);
    ExpectMarksFollowFlags(map);
}
