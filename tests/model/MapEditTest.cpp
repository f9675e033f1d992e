#include <gtest/gtest.h>

#include <climits>
#include <fstream>
#include <functional>
#include <random>
#include <tuple>

#include "model/Errors.h"
#include "model/TMap.h"
#include "tests/support/MapBuilders.h"
#include "tests/support/RouteOracle.h"

using MapBuilders::PutBorder;
using MapBuilders::EditRail;
using MapBuilders::PutRail;

namespace {

/// Eight rails along a row, each 20 long, nothing flagged, not modified.
TMap EightRails()
{
    TMap map;
    for (std::int32_t k = 0; k < 8; ++k) PutRail(map, 100 + 30 * k, 100, 120 + 30 * k, 100);
    return map;
}

// A new map names no rail and no border: what acts on "the selected", "the
// start" or "the finish" finds nothing, even once rails exist.
TEST(MapState, ANewMapMarksNothingEvenOnceItHasRails)
{
    TMap map;
    EXPECT_EQ(map.DisplayName(), "Новый");
    std::int32_t fault = 7;
    std::vector<TRouteFault> faults;
    EXPECT_FALSE(map.CheckRoutes(fault, &faults));
    EXPECT_EQ(fault, -1);
    EXPECT_EQ(faults, (std::vector<TRouteFault>{{-1, TRouteFaultKind::NoStart}, {-1, TRouteFaultKind::NoFinish}}));
    EXPECT_FALSE(map.IsModified());

    PutRail(map, 100, 100, 200, 100);
    PutRail(map, 200, 100, 100, 100);
    PutBorder(map, 0, 0, 50, 50, 0x123456, bkWall);
    map.Modified = false;
    for (const TRail& rail : map.Rails()) EXPECT_FALSE(rail.Selected || rail.IsStart || rail.IsFinish);
    map.ReverseRail(map.SelRail);
    map.DeleteRail(map.SelRail);
    map.DeleteBorder(map.SelBorder);
    map.SetBorderColor(map.SelBorder, 0xFFFFFF);
    EXPECT_EQ(map.RailCount(), 2);
    EXPECT_EQ(map.Rails()[0].X1, 100);
    EXPECT_EQ(map.BorderCount(), 1);
    EXPECT_EQ(map.Borders()[0].Color, 0x123456u);
    EXPECT_FALSE(map.IsModified());
    faults.clear();
    EXPECT_FALSE(map.CheckRoutes(fault, &faults));
    ASSERT_GE(faults.size(), 2u);
    EXPECT_EQ(std::vector<TRouteFault>(faults.end() - 2, faults.end()),
              (std::vector<TRouteFault>{{-1, TRouteFaultKind::NoStart}, {-1, TRouteFaultKind::NoFinish}}));
}

TEST(MapState, CountsResizeExactlyAndRefuseNegatives)
{
    TMap map;
    map.SetRailCount(3);
    EXPECT_EQ(map.RailCount(), 3);
    EXPECT_TRUE(map.Modified);
    EXPECT_EQ(map.Rails()[2].X1, 0);
    map.Modified = false;
    map.SetRailCount(3);
    EXPECT_FALSE(map.Modified);
    map.SetBorderCount(2);
    map.SetBorderCount(1);
    EXPECT_EQ(map.BorderCount(), 1);
    EXPECT_THROW(map.SetRailCount(-1), ERangeError);
    EXPECT_THROW(map.SetBorderCount(INT32_MIN), ERangeError);
    EXPECT_EQ(map.RailCount(), 3);
}

// A map read or built in bulk keeps room to spare: the first elements drawn
// on it are added without moving its arrays (a copy of the whole array, a
// second of page faults on a map of ten million elements).
TEST(MapState, ElementsAddedAfterABulkReadMoveNoArray)
{
    for (const bool reserved : {false, true}) {
        TMap map;
        std::vector<TRail> rails(5000, MapBuilders::RailOf(10, 10, 40, 10));
        if (reserved) map.ReserveElements(10, 5000); // as the loader does
        map.AppendRails(rails);
        const TRail* const before = map.Rails().data();
        for (int k = 0; k < 200; ++k) {
            const TEditStep step(map, TStepKind::DrawRail);
            map.AddRail(100, 100 + k, 150, 100 + k);
        }
        EXPECT_EQ(map.Rails().data(), before) << (reserved ? "reserved first" : "appended");
        EXPECT_EQ(map.RailCount(), 5200);
    }
}

#if defined(__SANITIZE_ADDRESS__)
#define KEST_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KEST_ASAN 1
#endif
#endif

// A count is had exactly, or refused with EOutOfMemory leaving the map as it
// was. INT32_MAX borders (tens of gigabytes) cannot be had; the sanitizer's
// allocator ends the program where operator new would throw, so under it a
// count that can be had is grown to and back instead.
TEST(MapState, ImpossibleCountRaisesOutOfMemory)
{
    TMap map;
    PutBorder(map, 1, 2, 3, 4);
#ifdef KEST_ASAN
    const std::int32_t count = 1 << 22;
    map.SetBorderCount(count);
    EXPECT_EQ(map.BorderCount(), count);
    EXPECT_EQ(map.GetBorderColor(count - 1), 0u); // a new border, black
    map.SetBorderCount(1);
#else
    std::ifstream policy("/proc/sys/vm/overcommit_memory");
    int mode = 0;
    if (policy >> mode && mode == 1) GTEST_SKIP() << "the system promises any amount of memory";
    EXPECT_THROW(map.SetBorderCount(INT32_MAX), EOutOfMemory);
#endif
    EXPECT_EQ(map.BorderCount(), 1);
    EXPECT_EQ(map.Borders()[0].X2, 3);
}

TEST(MapState, EveryMapHasItsOwnIdAndCopiesDoNotShareOne)
{
    TMap a;
    const TMap b;
    EXPECT_NE(a.Id(), b.Id());
    const TMap copy(a);
    EXPECT_NE(copy.Id(), a.Id());
    const std::uint64_t idBefore = a.Id();
    const std::uint64_t revisionBefore = a.Revision();
    a = b;
    EXPECT_EQ(a.Id(), idBefore);
    EXPECT_GT(a.Revision(), revisionBefore); // new contents under the old id
}

TEST(Deleting, IndicesFollowTheirRails)
{
    TMap map = EightRails();
    map.SetStartRail(6);
    map.SetFinishRail(5);
    map.SelectRail(7);
    map.Modified = false;
    map.DeleteRail(2);
    EXPECT_EQ(map.RailCount(), 7);
    EXPECT_EQ(map.StartRail, 5);
    EXPECT_EQ(map.FinishRail, 4);
    EXPECT_EQ(map.SelRail, 6);
    EXPECT_TRUE(map.Rails()[5].IsStart);
    EXPECT_TRUE(map.Rails()[4].IsFinish);
    EXPECT_TRUE(map.Rails()[6].Selected);
    EXPECT_EQ(map.Rails()[2].X1, 190); // the old rail 3 moved down
    EXPECT_TRUE(map.Modified);

    map.DeleteRail(5);
    EXPECT_EQ(map.StartRail, -1);
    EXPECT_EQ(map.FinishRail, 4);
    EXPECT_EQ(map.SelRail, 5);
}

TEST(Deleting, InvalidIndicesChangeNothing)
{
    TMap map = EightRails();
    PutBorder(map, 0, 0, 10, 10);
    map.Modified = false;
    for (const std::int32_t bad : {-1, 8, INT32_MAX, INT32_MIN}) {
        map.DeleteRail(bad);
        map.ReverseRail(bad);
        map.DeleteBorder(bad == 8 ? 1 : bad);
        map.CycleBorderKind(bad == 8 ? 1 : bad);
        map.SetBorderColor(bad == 8 ? 1 : bad, 0x123456);
    }
    EXPECT_EQ(map.RailCount(), 8);
    EXPECT_EQ(map.BorderCount(), 1);
    EXPECT_EQ(map.Borders()[0].Color, 0u);
    EXPECT_FALSE(map.Modified);
    EXPECT_EQ(map.GetBorderColor(-1), clWhite);
    EXPECT_EQ(map.GetBorderColor(map.BorderCount()), clWhite);
}

TEST(Deleting, BorderFixesOnlyItsSelection)
{
    TMap map;
    for (int k = 0; k < 4; ++k) PutBorder(map, k, 0, k, 10);
    map.SelectBorder(3);
    map.SetStartRail(2); // out of range, kept as it is
    map.DeleteBorder(1);
    EXPECT_EQ(map.SelBorder, 2);
    EXPECT_TRUE(map.Borders()[2].Selected);
    EXPECT_EQ(map.StartRail, 2);
    map.DeleteBorder(2);
    EXPECT_EQ(map.SelBorder, -1);
}

TEST(Editing, ReverseCycleAndColour)
{
    TMap map;
    PutRail(map, 1, 2, 3, 4);
    map.SetStartRail(0);
    map.ReverseRail(0);
    EXPECT_EQ(map.Rails()[0].X1, 3);
    EXPECT_EQ(map.Rails()[0].Y1, 4);
    EXPECT_EQ(map.Rails()[0].X2, 1);
    EXPECT_EQ(map.Rails()[0].Y2, 2);
    EXPECT_TRUE(map.Rails()[0].IsStart);

    PutBorder(map, 0, 0, 5, 5, 0x0000FF, bkHighWall);
    map.Modified = false;
    map.CycleBorderKind(0);
    EXPECT_EQ(map.Borders()[0].Kind, bkArch);
    map.CycleBorderKind(0);
    EXPECT_EQ(map.Borders()[0].Kind, bkFlat);
    EXPECT_TRUE(map.Modified);
    map.SetBorderColor(0, 0xABCDEF);
    EXPECT_EQ(map.GetBorderColor(0), 0xABCDEFu);
}

TEST(StartAndFinish, SetterRules)
{
    TMap map = EightRails();
    map.SetStartRail(3);
    map.SetFinishRail(5);
    map.Modified = false;

    map.SetStartRail(5); // the finish rail cannot also be the start
    EXPECT_EQ(map.StartRail, 3);
    EXPECT_FALSE(map.Modified);
    map.SetFinishRail(3);
    EXPECT_EQ(map.FinishRail, 5);
    EXPECT_FALSE(map.Modified);

    map.SetStartRail(3); // the same index: no change to save
    EXPECT_FALSE(map.Modified);

    map.SetStartRail(-1);
    EXPECT_EQ(map.StartRail, -1);
    EXPECT_FALSE(map.Rails()[3].IsStart);
    EXPECT_TRUE(map.Modified);

    map.SetStartRail(1);
    map.SetStartRail(20); // stored, flags no rail
    EXPECT_EQ(map.StartRail, 20);
    for (const TRail& r : map.Rails()) EXPECT_FALSE(r.IsStart);
    map.SetFinishRail(-1);
    map.SetStartRail(-1);
    map.SetFinishRail(-1); // two "none" do not name the same rail
    EXPECT_EQ(map.FinishRail, -1);
}

TEST(Normalize, BoundariesOfWorldAndLength)
{
    const struct {
        const char* name;
        bool rail;
        std::int32_t x1, y1, x2, y2;
        bool stays;
    } cases[] = {
        {"rail of length exactly 10", true, 0, 0, 6, 8, true},
        {"rail of length 9.9", true, 0, 0, 7, 7, false},
        {"rail of length 0", true, 50, 50, 50, 50, false},
        {"rail ending at x = 10000", true, 9990, 5, 10000, 5, true},
        {"rail ending at x = 10001", true, 9990, 5, 10001, 5, false},
        {"rail starting at y = -1", true, 5, -1, 5, 50, false},
        {"border of length 0", false, 40, 40, 40, 40, true},
        {"border ending at y = -1", false, 40, 40, 40, -1, false},
        {"border ending at (10000, 10000)", false, 0, 0, 10000, 10000, true},
        {"border starting at x = 10001", false, 10001, 0, 0, 0, false},
    };
    for (const auto& c : cases) {
        TMap map;
        if (c.rail)
            PutRail(map, c.x1, c.y1, c.x2, c.y2);
        else
            PutBorder(map, c.x1, c.y1, c.x2, c.y2);
        map.Normalize();
        EXPECT_EQ(map.RailCount() + map.BorderCount(), c.stays ? 1 : 0) << c.name;
        EXPECT_EQ(map.Modified, !c.stays) << c.name;
    }
}

TEST(Normalize, OnePassMatchesDeletingOneByOne)
{
    std::mt19937 rng(11);
    for (int round = 0; round < 400; ++round) {
        TMap fast = MapBuilders::RandomRouteMap(rng);
        TMap slow = fast;
        fast.Normalize();
        RouteOracle::NormalizeByDeletion(slow);
        ASSERT_EQ(fast.RailCount(), slow.RailCount()) << round;
        ASSERT_EQ(fast.BorderCount(), slow.BorderCount()) << round;
        for (std::size_t k = 0; k < fast.Rails().size(); ++k) {
            const TRail &a = fast.Rails()[k], &b = slow.Rails()[k];
            ASSERT_TRUE(a.X1 == b.X1 && a.Y1 == b.Y1 && a.X2 == b.X2 && a.Y2 == b.Y2 && a.IsStart == b.IsStart &&
                        a.IsFinish == b.IsFinish && a.Selected == b.Selected)
                << round << " rail " << k;
        }
        for (std::size_t k = 0; k < fast.Borders().size(); ++k)
            ASSERT_TRUE(fast.Borders()[k].X1 == slow.Borders()[k].X1 && fast.Borders()[k].Y2 == slow.Borders()[k].Y2 &&
                        fast.Borders()[k].Selected == slow.Borders()[k].Selected)
                << round << " border " << k;
        ASSERT_EQ(fast.StartRail, slow.StartRail) << round;
        ASSERT_EQ(fast.FinishRail, slow.FinishRail) << round;
        ASSERT_EQ(fast.SelRail, slow.SelRail) << round;
        ASSERT_EQ(fast.SelBorder, slow.SelBorder) << round;
        ASSERT_EQ(fast.Modified, slow.Modified) << round;
    }
}

TEST(Revision, EveryVisibleChangeBumpsIt)
{
    const std::pair<const char*, std::function<void(TMap&)>> changes[] = {
        {"AddRail", [](TMap& m) { m.AddRail(10, 10, 50, 50); }},
        {"AddBorder", [](TMap& m) { m.AddBorder(10, 10, 50, 50, 0, bkWall); }},
        {"DeleteRail", [](TMap& m) { m.DeleteRail(0); }},
        {"DeleteBorder", [](TMap& m) { m.DeleteBorder(0); }},
        {"ReverseRail", [](TMap& m) { m.ReverseRail(0); }},
        {"CycleBorderKind", [](TMap& m) { m.CycleBorderKind(0); }},
        {"SetBorderColor", [](TMap& m) { m.SetBorderColor(0, 0xFF); }},
        {"SetStartRail", [](TMap& m) { m.SetStartRail(1); }},
        {"SetFinishRail", [](TMap& m) { m.SetFinishRail(1); }},
        {"SelectRail", [](TMap& m) { m.SelectRail(1); }},
        {"SelectBorder", [](TMap& m) { m.SelectBorder(0); }},
        {"SelectAt", [](TMap& m) { m.SelectAt(300, 300); }},
        {"SetRailCount", [](TMap& m) { m.SetRailCount(5); }},
        {"SetBorderCount", [](TMap& m) { m.SetBorderCount(0); }},
        {"Normalize", [](TMap& m) { EditRail(m, 1, [](TRail& r) { r.X2 = -3; }); m.Normalize(); }},
        {"SnapPointEx placing a rail", [](TMap& m) { bool s; m.SnapPointEx(400, 400, 2, s); }},
        {"SnapPointEx placing a border", [](TMap& m) { bool s; m.SnapPointEx(400, 400, 1, s); }},
        {"CheckRoutes", [](TMap& m) { std::int32_t f; m.CheckRoutes(f); }},
    };
    for (const auto& [name, change] : changes) {
        TMap map;
        map.ViewWidth = 718;
        map.ViewHeight = 600;
        PutRail(map, 100, 100, 200, 100);
        PutRail(map, 200, 100, 300, 100);
        PutBorder(map, 300, 300, 310, 300);
        const std::uint64_t before = map.Revision();
        change(map);
        EXPECT_GT(map.Revision(), before) << name;
    }
}

TEST(Revision, ReadingAndIdleSnappingLeaveItAlone)
{
    TMap map;
    map.ViewWidth = 718;
    map.ViewHeight = 600;
    PutRail(map, 100, 100, 200, 100);
    PutBorder(map, 300, 300, 310, 300);
    bool snapped = false;
    map.SnapPointEx(400, 400, 2, snapped); // drags the rail's end to (400, 400)
    const std::uint64_t before = map.Revision();
    map.GetBorderColor(0);
    map.SnapPointEx(101, 100, 0, snapped);
    map.SnapPointEx(400, 400, 2, snapped); // the end is already there
    EXPECT_EQ(map.Revision(), before);
}

} // namespace

// Deleting every element at once leaves the marks and flags as
// deleting them one by one from the last would: a valid mark -1, a mark beyond
// its array lowered by the count, with or without many selected.
TEST(Deleting, AllAtOnceLeavesWhatDeletingEachFromTheLastLeaves)
{
    for (std::uint32_t seed = 1; seed <= 60; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 rng(seed);
        const auto pick = [&](std::int32_t lo, std::int32_t hi) {
            return std::uniform_int_distribution<std::int32_t>(lo, hi)(rng);
        };
        TMap map = MapBuilders::RandomRouteMap(rng);
        for (std::int32_t k = pick(0, 4); k > 0; --k) PutBorder(map, pick(0, 500), 0, pick(0, 500), 40);
        if (pick(0, 1) == 0) map.ToggleSelected({true, pick(0, map.RailCount())});
        if (pick(0, 1) == 0) map.SelectBand({0, 0}, {WorldSize, WorldSize}, true);
        const auto mark = [&](std::int32_t count) { return pick(-3, count + 5); };
        map.StartRail = mark(map.RailCount());
        map.FinishRail = mark(map.RailCount());
        if (pick(0, 2) == 0) map.SelRail = mark(map.RailCount());
        if (pick(0, 2) == 0) map.SelBorder = mark(map.BorderCount());
        map.Modified = pick(0, 1) == 0;
        TMap each = map;
        each.ClearHistory();
        while (each.BorderCount() > 0) each.DeleteBorder(each.BorderCount() - 1);
        while (each.RailCount() > 0) each.DeleteRail(each.RailCount() - 1);
        map.DeleteAll();
        EXPECT_EQ(map.RailCount() + map.BorderCount(), 0);
        EXPECT_EQ(std::tuple(map.StartRail, map.FinishRail, map.SelRail, map.SelBorder, map.Modified),
                  std::tuple(each.StartRail, each.FinishRail, each.SelRail, each.SelBorder, each.Modified));
        EXPECT_FALSE(map.CanUndo());
    }
}
