// Large maps answer drawing, picking and snapping from a grid of their
// elements: every answer must be the one that visiting every element gives.
#include <gtest/gtest.h>

#include <optional>

#include <algorithm>
#include <climits>
#include <random>
#include <utility>

#include "draw/MapDraw.h"
#include "model/Errors.h"
#include "tests/draw/DrawTestMaps.h"
#include "tests/support/RecordingCanvas.h"

namespace {

using drawtest::SetView;
using MapBuilders::PutBorder;
using MapBuilders::PutRail;

/// Gives one of the maps' size thresholds a value for one scope.
class TThreshold {
public:
    TThreshold(std::int32_t& threshold, std::int32_t count) : threshold_(threshold), old_(threshold)
    {
        threshold = count;
    }
    ~TThreshold() { threshold_ = old_; }
    TThreshold(const TThreshold&) = delete;
    TThreshold& operator=(const TThreshold&) = delete;

private:
    std::int32_t& threshold_;
    std::int32_t old_;
};

/// Makes every map use the grid, or none, for one scope.
class TIndexFrom : public TThreshold {
public:
    explicit TIndexFrom(std::int32_t count) : TThreshold(TMap::IndexFrom, count) {}
};

/// Short elements scattered over the world, many ending on shared points so
/// that snapping and picking have ties to break, long ones crossing many
/// cells, and a few that stray outside the world.
TMap Crowded(std::uint32_t seed, int count)
{
    TMap map;
    std::mt19937 random(seed);
    const auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    const auto point = [&](int& x, int& y) {
        if (pick(0, 2) == 0) {
            x = 64 * pick(0, 156) + pick(-1, 1); // near the cells' edges
            y = 64 * pick(0, 156) + pick(-1, 1);
        } else {
            x = pick(0, 10000);
            y = pick(0, 10000);
        }
    };
    for (int k = 0; k < count; ++k) {
        int x1, y1, x2, y2;
        point(x1, y1);
        if (pick(0, 49) == 0) {
            x2 = pick(0, 10000); // crosses many cells
            y2 = pick(0, 10000);
        } else if (pick(0, 199) == 0) {
            x2 = x1 + pick(-20000, 20000); // leaves the world
            y2 = y1 + pick(-3000, 3000);
        } else {
            x2 = x1 + pick(-60, 60);
            y2 = y1 + pick(-60, 60);
        }
        if (k % 2)
            PutRail(map, x1, y1, x2, y2);
        else
            PutBorder(map, x1, y1, x2, y2, static_cast<TColor>(k), static_cast<std::uint8_t>(k % 4));
    }
    map.SetStartRail(3);
    map.SetFinishRail(5);
    map.SelectRail(7);
    map.SelectBorder(8);
    return map;
}

struct TAnswer {
    std::int32_t SelRail, SelBorder;
    TPoint Snap;
    bool Snapped;
    std::int32_t MovedX2, MovedY2;
    std::vector<std::string> Calls;
    /// Which of drawing, snapping and picking raised the overflow error.
    bool DrawRaised, SnapRaised, PickRaised;
    /// The end a press of the select tool takes, and the ends joined to it
    /// (or, with none near, those at the snapped point).
    std::optional<TElementEnd> Near;
    std::vector<TElementEnd> Joined;
    friend bool operator==(const TAnswer&, const TAnswer&) = default;
};

/// What the view, a snap and a click give on a copy of map.
TAnswer Answer(const TMap& map, std::int32_t px, std::int32_t py, std::uint8_t placing)
{
    TMap copy = map;
    TAnswer answer{};
    TRecordingCanvas canvas;
    try {
        DrawView(copy, canvas);
    } catch (const EIntOverflow&) {
        answer.DrawRaised = true;
    }
    answer.Calls = canvas.Calls;
    try {
        answer.Snap = copy.SnapPointEx(px, py, placing, answer.Snapped);
    } catch (const EIntOverflow&) {
        answer.SnapRaised = true;
    }
    const TLine& last = placing == 1 ? static_cast<const TLine&>(copy.Borders().back()) : copy.Rails().back();
    answer.MovedX2 = last.X2;
    answer.MovedY2 = last.Y2;
    try {
        copy.SelectAt(px, py);
    } catch (const EIntOverflow&) {
        answer.PickRaised = true;
    }
    answer.SelRail = copy.SelRail;
    answer.SelBorder = copy.SelBorder;
    answer.Near = copy.EndNearView(px, py);
    answer.Joined = copy.EndsAt(answer.Near ? copy.EndPoint(*answer.Near) : copy.SnappedWorldPoint());
    return answer;
}

/// The answers with every element visited and with the grid.
std::pair<TAnswer, TAnswer> ScannedAndIndexed(const TMap& map, std::int32_t px, std::int32_t py, std::uint8_t placing)
{
    TAnswer scanned, indexed;
    {
        const TIndexFrom never(INT32_MAX);
        scanned = Answer(map, px, py, placing);
    }
    {
        const TIndexFrom always(0);
        indexed = Answer(map, px, py, placing);
    }
    return {scanned, indexed};
}

TEST(IndexedView, EveryAnswerIsTheOneOfAVisitToEveryElement)
{
    std::mt19937 random(11);
    const auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    int snaps = 0, picks = 0, raised = 0;
    for (std::uint32_t seed = 1; seed <= 4; ++seed) {
        TMap map = Crowded(seed, 6000);
        for (int round = 0; round < 60; ++round) {
            SetView(map, pick(0, 9282), pick(0, 9400));
            // Mostly near element ends, where snapping and picking decide.
            std::int32_t px = pick(-20, 740);
            std::int32_t py = pick(-20, 620);
            if (round % 2) {
                const TRail& r = map.Rails()[static_cast<std::size_t>(pick(0, map.RailCount() - 1))];
                SetView(map, std::clamp(r.X1 - 300, 0, 9282), std::clamp(r.Y1 - 300, 0, 9400));
                px = r.X1 - map.ViewX + pick(-5, 5);
                py = r.Y1 - map.ViewY + pick(-5, 5);
            }
            const auto placing = static_cast<std::uint8_t>(round % 3);
            const auto [scanned, indexed] = ScannedAndIndexed(map, px, py, placing);
            ASSERT_TRUE(scanned == indexed) << "seed " << seed << " round " << round << " view " << map.ViewX << ","
                                            << map.ViewY << " point " << px << "," << py;
            snaps += scanned.Snapped;
            picks += scanned.SelRail >= 0 || scanned.SelBorder >= 0;
            raised += scanned.DrawRaised || scanned.SnapRaised || scanned.PickRaised;
        }
    }
    // The rounds must have decided something, not only agreed on nothing.
    EXPECT_GT(snaps, 40);
    EXPECT_GT(picks, 40);
    EXPECT_LT(raised, 24);
}

TEST(IndexedView, AtEveryScaleTheGridGivesTheScansAnswers)
{
    // The grids built on two threads, as a large map's are.
    const TThreshold parallel(TMap::ParallelIndexFrom, 0);
    std::mt19937 random(12);
    const auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    int snaps = 0, picks = 0;
    for (std::uint32_t seed = 5; seed <= 6; ++seed) {
        TMap map = Crowded(seed, 6000);
        for (int round = 0; round < 80; ++round) {
            map.Zoom = TViewZoom{pick(TViewZoom::MinShift, TViewZoom::MaxShift)};
            const TRail& r = map.Rails()[static_cast<std::size_t>(pick(0, map.RailCount() - 1))];
            SetView(map, std::clamp(r.X1 - pick(0, 600), 0, 9282), std::clamp(r.Y1 - pick(0, 600), 0, 9400));
            const auto pixel = [&](std::int32_t w, std::int32_t origin) {
                return static_cast<std::int32_t>(map.Zoom.ToPixels(w - origin));
            };
            const std::int32_t px = round % 4 ? pixel(r.X1, map.ViewX) + pick(-6, 6) : pick(-20, 740);
            const std::int32_t py = round % 4 ? pixel(r.Y1, map.ViewY) + pick(-6, 6) : pick(-20, 620);
            const auto placing = static_cast<std::uint8_t>(round % 3);
            const auto [scanned, indexed] = ScannedAndIndexed(map, px, py, placing);
            ASSERT_TRUE(scanned == indexed) << "seed " << seed << " round " << round << " shift " << map.Zoom.Shift
                                            << " view " << map.ViewX << "," << map.ViewY << " point " << px << ","
                                            << py;
            EXPECT_FALSE(scanned.DrawRaised || scanned.SnapRaised || scanned.PickRaised);
            snaps += scanned.Snapped;
            picks += scanned.SelRail >= 0 || scanned.SelBorder >= 0;
        }
    }
    EXPECT_GT(snaps, 40);
    EXPECT_GT(picks, 40);
}

TEST(IndexedView, PickingAndSnappingAskTheGridWhateverTheViewsSize)
{
    // At scale 1 too: the grid is asked only about the point, and no element
    // it leaves out can raise, however wide the view.
    std::mt19937 random(13);
    const auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    TMap map = Crowded(7, 4000);
    int decided = 0;
    for (int round = 0; round < 40; ++round) {
        map.Zoom = TViewZoom{round % 4 ? 0 : pick(TViewZoom::MinShift, TViewZoom::MaxShift)};
        const TRail& r = map.Rails()[static_cast<std::size_t>(pick(0, map.RailCount() - 1))];
        SetView(map, std::clamp(r.X1 - pick(0, 600), 0, 9282), std::clamp(r.Y1 - pick(0, 600), 0, 9400), pick(5000, 30000),
                pick(5000, 30000));
        const TPoint end = map.View().ToView(r.X1, r.Y1);
        const auto [scanned, indexed] = ScannedAndIndexed(map, end.x + pick(-6, 6), end.y + pick(-6, 6), 0);
        ASSERT_TRUE(scanned == indexed) << "round " << round;
        decided += scanned.Snapped + (scanned.SelRail >= 0 || scanned.SelBorder >= 0);
    }
    EXPECT_GT(decided, 40);
}

TEST(IndexedView, TheGridFollowsEditsAndTheElementBeingDrawnOut)
{
    const TIndexFrom always(0);
    TMap map = Crowded(5, 3000);
    SetView(map, 4000, 4000);
    const auto agree = [&](const char* when) {
        TAnswer indexed = Answer(map, 300, 300, 0);
        const TIndexFrom never(INT32_MAX);
        EXPECT_TRUE(indexed == Answer(map, 300, 300, 0)) << when;
    };
    agree("at first");
    // Drawing out a rail: its second end follows the mouse across cells.
    map.AddRail(100, 100, 100, 100);
    for (const auto& [x, y] : {std::pair{150, 180}, {400, 20}, {700, 590}, {300, 300}}) {
        bool snapped = false;
        map.SnapPointEx(x, y, 2, snapped);
        agree("while drawing out");
    }
    map.Normalize();
    map.DeleteRail(10);
    agree("after a deletion");
    map.ReverseRail(20);
    MapBuilders::EditBorder(map, 3, [](TBorder& b) { b.X1 = 4300; }); // written as given
    agree("after a direct write");
}

TEST(IndexedView, AnElementFarOutRaisesTheSameOverflow)
{
    const TIndexFrom always(0);
    TMap map = Crowded(6, 2000);
    SetView(map, 100, 100);
    MapBuilders::EditRail(map, 40, [](TRail& r) { r.X1 = INT32_MIN + 5; }); // its view x leaves 32 bits
    bool snapped = false;
    EXPECT_THROW(map.SnapPointEx(10, 10, 0, snapped), EIntOverflow);
    TRecordingCanvas canvas;
    EXPECT_THROW(DrawView(map, canvas), EIntOverflow);
    const TIndexFrom never(INT32_MAX);
    TRecordingCanvas scanned;
    EXPECT_THROW(DrawView(map, scanned), EIntOverflow);
    EXPECT_EQ(canvas.Calls, scanned.Calls); // the same elements drawn before it
}

} // namespace
