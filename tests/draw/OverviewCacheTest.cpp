#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <tuple>

#include "draw/MapDraw.h"
#include "draw/Overview.h"
#include "draw/OverviewCache.h"
#include "draw/OverviewScale.h"
#include "platform/qt/QtCanvas.h"
#include "tests/draw/DrawTestMaps.h"
#include "tests/support/RecordingCanvas.h"

using drawtest::PutBorder;
using drawtest::PutRail;
using drawtest::SetView;

namespace {

constexpr int OverviewSize = 137;

/// The window's back buffer twice over: one gets the overview from scratch,
/// the other through the cache, after the same view drawing.
class CacheAgreement {
public:
    CacheAgreement() : cache_(factory_)
    {
        for (TQtBitmap* b : {&scratch_, &cached_}) {
            b->SetWidth(894);
            b->SetHeight(618);
        }
    }

    /// One tick: the view with the mouse at (mx, my), then both overviews.
    void Tick(TMap& map, std::int32_t scrollX, std::int32_t scrollY, std::int32_t mx, std::int32_t my,
              std::uint8_t placing, const std::string& step)
    {
        SetView(map, scrollX, scrollY);
        DrawFrame(map, scratch_.Canvas(), mx, my, placing);
        cached_.Canvas().Draw(0, 0, scratch_);
        DrawOverviewWithViewport(map, scratch_.Canvas(), OverviewSize, OverviewSize, scrollX, scrollY);
        // Redraws foretells whether the picture is drawn afresh; every other
        // tick, as a worker would, Refresh brings it up first and Draw finds it ready.
        const bool redraws = cache_.Redraws(map, OverviewSize, OverviewSize);
        const std::uint64_t rebuilds = cache_.Rebuilds();
        if (++ticks_ % 2 == 0) {
            cache_.Refresh(map, OverviewSize, OverviewSize);
            EXPECT_FALSE(cache_.Redraws(map, OverviewSize, OverviewSize)) << step;
        }
        cache_.Draw(map, cached_.Canvas(), OverviewSize, OverviewSize, scrollX, scrollY);
        EXPECT_EQ(cache_.Rebuilds() - rebuilds, redraws ? 1u : 0u) << step;
        ASSERT_TRUE(scratch_.Image() == cached_.Image()) << step << ": " << FirstDifference();
        const TQtCanvas& a = scratch_.QtCanvas();
        const TQtCanvas& b = cached_.QtCanvas();
        EXPECT_EQ(a.PenColor(), b.PenColor()) << step;
        EXPECT_EQ(a.PenWidth(), b.PenWidth()) << step;
        EXPECT_EQ(a.BrushColor(), b.BrushColor()) << step;
        EXPECT_EQ(a.BrushStyle(), b.BrushStyle()) << step;
        EXPECT_EQ(a.PenX(), b.PenX()) << step;
        EXPECT_EQ(a.PenY(), b.PenY()) << step;
    }

    std::uint64_t Rebuilds() const { return cache_.Rebuilds(); }
    std::uint64_t Patches() const { return cache_.Patches(); }
    void Invalidate() { cache_.Invalidate(); }
    /// A pixel of the last frame drawn through the cache, as 0x00BBGGRR.
    TColor CachedPixel(int x, int y)
    {
        const QRgb p = cached_.Image().pixel(x, y);
        return static_cast<TColor>(qRed(p) | qGreen(p) << 8 | qBlue(p) << 16);
    }

private:
    std::string FirstDifference()
    {
        const QImage& a = scratch_.Image();
        const QImage& b = cached_.Image();
        for (int y = 0; y < a.height(); ++y)
            for (int x = 0; x < a.width(); ++x)
                if (a.pixel(x, y) != b.pixel(x, y))
                    return "first difference at " + std::to_string(x) + "," + std::to_string(y);
        return "none";
    }

    TQtBitmapFactory factory_;
    TOverviewCache cache_;
    std::uint64_t ticks_ = 0;
    TQtBitmap scratch_;
    TQtBitmap cached_;
};

} // namespace

TEST(OverviewCache, PixelIdenticalToDrawingFromScratchAcrossEdits)
{
    CacheAgreement check;
    TMap map = drawtest::SampleMap();
    // Elements at the world's far edges land on the overview's last column and
    // row, one past the cached rectangle.
    PutRail(map, 9990, 100, 10000, 9990);
    PutBorder(map, 0, 10000, 9000, 10000, 0x00FFFF, bkWall);
    PutRail(map, 10000, 10000, 5000, 10000);
    check.Tick(map, 100, 100, 10, 10, 0, "start");
    check.Tick(map, 100, 100, 10, 10, 0, "unchanged");

    map.AddRail(400, 400, 400, 400);
    check.Tick(map, 100, 100, 300, 300, 2, "rail added");
    const std::pair<int, int> mouse[] = {{350, 320}, {500, 100}, {452, 50}, {600, 590}, {700, 400}};
    for (const auto& [mx, my] : mouse) check.Tick(map, 100, 100, mx, my, 2, "drawn out to " + std::to_string(mx));
    map.Normalize();
    check.Tick(map, 100, 100, 700, 400, 0, "released");

    map.AddBorder(9500, 9500, 9500, 9500, 0x4080C0, bkArch);
    check.Tick(map, 9282, 9400, 600, 500, 1, "border drawn out at the far corner");
    check.Tick(map, 9282, 9400, 717, 599, 1, "to the world's corner");

    map.DeleteRail(1);
    check.Tick(map, 0, 0, 0, 0, 0, "rail deleted, scrolled home");
    map.SelectRail(3);
    check.Tick(map, 0, 0, 0, 0, 0, "selected");
    map.SetStartRail(3);
    map.SetFinishRail(0);
    check.Tick(map, 0, 0, 0, 0, 0, "start and finish");
    map.SetBorderColor(0, 0xABCDEF);
    check.Tick(map, 0, 0, 0, 0, 0, "recoloured");
    map.ReverseRail(0);
    check.Tick(map, 4000, 1000, 0, 0, 0, "reversed, scrolled");
    map.DeleteBorder(1);
    map.SelectRail(-1);
    check.Tick(map, 4000, 1000, 0, 0, 0, "border deleted, selection cleared");

    TMap other;
    PutRail(other, 9000, 50, 10000, 60);
    check.Tick(other, 0, 0, 0, 0, 0, "another map");
    check.Tick(map, 0, 0, 0, 0, 0, "back to the first map");
    while (map.RailCount() > 0) map.DeleteRail(0);
    while (map.BorderCount() > 0) map.DeleteBorder(0);
    check.Tick(map, 0, 0, 0, 0, 0, "emptied");
}

TEST(OverviewCache, RedrawsThePictureOnlyWhenTheMapOrSizeChanged)
{
    TRecordingBitmapFactory bitmaps;
    TOverviewCache cache(bitmaps);
    TMap map;
    SetView(map, 0, 0);
    PutRail(map, 100, 100, 200, 200);
    TRecordingCanvas canvas;
    cache.Draw(map, canvas, 137, 137, 0, 0);
    cache.Draw(map, canvas, 137, 137, 500, 700); // scrolling moves only the outline
    map.ViewWidth = 300;
    cache.Draw(map, canvas, 137, 137, 500, 700);
    EXPECT_EQ(cache.Rebuilds(), 1u);
    EXPECT_EQ(canvas.CallsOf({"Rectangle"}).back(), "Rectangle(468,696,810,1381)");

    const std::function<void()> changes[] = {
        [&] { map.AddRail(300, 300, 400, 300); },
        [&] { map.SelectRail(0); },
        [&] { map.SetStartRail(1); },
        [&] { MapBuilders::EditRail(map, 0, [](TRail& r) { r.X2 = 250; }); }, // a value written as given
        [&] { map.ReverseRail(1); },
        [&] { map.SelRail = 1; }, // a mark written directly
    };
    std::uint64_t expected = 1;
    for (const auto& change : changes) {
        change();
        cache.Draw(map, canvas, 137, 137, 0, 0);
        EXPECT_EQ(cache.Rebuilds(), ++expected);
    }
    cache.Draw(map, canvas, 100, 137, 0, 0);
    EXPECT_EQ(cache.Rebuilds(), ++expected);
    cache.Invalidate();
    cache.Draw(map, canvas, 100, 137, 0, 0);
    EXPECT_EQ(cache.Rebuilds(), ++expected);
    // One picture bitmap, reused.
    EXPECT_EQ(bitmaps.Bitmaps.size(), 1u);
}

TEST(OverviewCache, LeavesTheCanvasAsDrawingFromScratchDoes)
{
    TMap map = drawtest::SampleMap();
    PutRail(map, 9990, 100, 10000, 200); // reaches the last column
    TRecordingBitmapFactory bitmaps;
    TOverviewCache cache(bitmaps);
    TRecordingCanvas scratch, cached;
    DrawOverviewWithViewport(map, scratch, 137, 137, 30, 40);
    cache.Draw(map, cached, 137, 137, 30, 40);
    EXPECT_EQ(cached.PenColor, scratch.PenColor);
    EXPECT_EQ(cached.PenWidth, scratch.PenWidth);
    EXPECT_EQ(cached.BrushColor, scratch.BrushColor);
    EXPECT_EQ(cached.BrushStyle, TBrushStyle::Clear);
    EXPECT_EQ(cached.PenX, scratch.PenX);
    EXPECT_EQ(cached.PenY, scratch.PenY);
    // The outline with the same calls; the picture copied twice around the
    // line that leaves it.
    const std::vector<std::string> tail(cached.Calls.end() - 3, cached.Calls.end());
    EXPECT_EQ(tail, std::vector<std::string>(scratch.Calls.end() - 3, scratch.Calls.end()));
    EXPECT_EQ(cached.CallsOf({"Draw"}).size(), 2u);
    EXPECT_EQ(cached.CallsOf({"LineTo"}), std::vector<std::string>{"LineTo(137,29)"});
}

// Drawing out: the last border or rail follows the mouse at every tick while
// the rest of the overview stays cached.

namespace {

using TBounds = std::tuple<std::int32_t, std::int32_t, std::int32_t, std::int32_t>;

TBounds BoundsOf(const TMap& map) { return {MinX(map), MinY(map), MaxX(map), MaxY(map)}; }

/// Borders and rails of every length and direction crossing each other over
/// the middle of the world, with a start, a finish and a selected rail.
TMap CrossingMap(unsigned seed, int borders, int rails)
{
    TMap map;
    std::mt19937 random(seed);
    std::uniform_int_distribution<std::int32_t> coord(2000, 8000);
    std::uniform_int_distribution<std::int32_t> step(-1500, 1500);
    std::uniform_int_distribution<std::uint32_t> colour(0, 0xFFFFFF);
    const auto put = [&](bool rail) {
        const std::int32_t x = coord(random), y = coord(random);
        if (rail)
            PutRail(map, x, y, x + step(random), y + step(random));
        else
            PutBorder(map, x, y, x + step(random), y + step(random), colour(random), bkWall);
    };
    // Interleaved, so the order of drawing and the order of adding differ.
    for (int i = 0; i < std::max(borders, rails); ++i) {
        if (i < rails) put(true);
        if (i < borders) put(false);
    }
    if (rails > 2) {
        map.SetStartRail(0);
        map.SetFinishRail(1);
        map.SelectRail(2);
    }
    return map;
}

/// Moves the second end of the last element (placing 1: border, 2: rail)
/// through `moves` mouse points, every tick checked against drawing from
/// scratch. After the first move the picture is drawn afresh exactly when the
/// move changed the overview's bounds. Every `far`-th point lies far outside
/// the view, where it moves the bounds out (and the next one back in).
void DragLastEnd(CacheAgreement& check, TMap& map, std::uint8_t placing, std::mt19937& random, int moves,
                 int far, const std::string& name)
{
    const std::int32_t sx = 3000, sy = 3500;
    std::uniform_int_distribution<std::int32_t> nearX(0, 717), nearY(0, 599), farPoint(-4000, 9000);
    check.Tick(map, sx, sy, 351, 333, placing, name + " first move");
    if (testing::Test::HasFatalFailure()) return;
    for (int k = 0; k < moves; ++k) {
        const bool isFar = far > 0 && k % far == far - 1;
        const std::int32_t mx = isFar ? farPoint(random) : nearX(random);
        const std::int32_t my = isFar ? farPoint(random) : nearY(random);
        const TBounds before = BoundsOf(map);
        const std::uint64_t rebuilds = check.Rebuilds();
        const std::string step = name + " move " + std::to_string(k) + " to " + std::to_string(mx) + "," +
                                 std::to_string(my);
        check.Tick(map, sx, sy, mx, my, placing, step);
        if (testing::Test::HasFatalFailure()) return;
        EXPECT_EQ(check.Rebuilds() - rebuilds, BoundsOf(map) == before ? 0u : 1u) << step;
    }
}

} // namespace

TEST(OverviewCacheDrawingOut, RailMatchesDrawingFromScratchAndRedrawsOnlyWhenTheBoundsMove)
{
    for (const unsigned seed : {1u, 2u, 3u}) {
        CacheAgreement check;
        TMap map = CrossingMap(seed, 60, 60);
        std::mt19937 random(seed);
        SetView(map, 3000, 3500);
        map.AddRail(3300, 3800, 3300, 3800); // selected, as the window leaves it
        check.Tick(map, 3000, 3500, 300, 300, 0, "added");
        const std::uint64_t before = check.Rebuilds();
        DragLastEnd(check, map, 2, random, 60, 9, "seed " + std::to_string(seed));
        // Dozens of moves, a handful of pictures: the ones the far points forced.
        EXPECT_LT(check.Rebuilds() - before, 20u);
    }
}

TEST(OverviewCacheDrawingOut, RailThatIsTheStartTheFinishOrNotTheSelectedOne)
{
    const std::function<void(TMap&)> marks[] = {
        [](TMap& map) { map.SetStartRail(map.RailCount() - 1); },
        [](TMap& map) { map.SetFinishRail(map.RailCount() - 1); },
        [](TMap& map) {
            map.SetStartRail(map.RailCount() - 1);
            map.SetFinishRail(map.RailCount() - 1);
        },
        [](TMap& map) { map.SelectRail(3); }, // the red line stays over the moving rail
        [](TMap& map) { map.SelectRail(-1); },
    };
    unsigned seed = 10;
    for (const auto& mark : marks) {
        CacheAgreement check;
        TMap map = CrossingMap(++seed, 30, 40);
        std::mt19937 random(seed);
        SetView(map, 3000, 3500);
        map.AddRail(3400, 3700, 3400, 3700);
        mark(map);
        check.Tick(map, 3000, 3500, 0, 0, 0, "marked");
        DragLastEnd(check, map, 2, random, 25, 6, "seed " + std::to_string(seed));
    }
}

TEST(OverviewCacheDrawingOut, BorderMatchesDrawingFromScratchAndRedrawsOnlyWhenTheBoundsMove)
{
    for (const unsigned seed : {21u, 22u, 23u}) {
        CacheAgreement check;
        TMap map = CrossingMap(seed, 60, 80);
        std::mt19937 random(seed);
        SetView(map, 3000, 3500);
        map.AddBorder(3500, 3600, 3500, 3600, 0x30A0F0, bkFlat);
        check.Tick(map, 3000, 3500, 300, 300, 0, "added");
        const std::uint64_t before = check.Rebuilds();
        DragLastEnd(check, map, 1, random, 60, 9, "seed " + std::to_string(seed));
        EXPECT_LT(check.Rebuilds() - before, 20u);
    }
}

TEST(OverviewCacheDrawingOut, BorderDrawnOutStaysUnderTheRailsItCrosses)
{
    CacheAgreement check;
    TMap map;
    SetView(map, 0, 0);
    // The world 0..10000 maps onto the overview at about 73 units a pixel.
    PutBorder(map, 0, 0, 10000, 10000, 0x202020);
    for (std::int32_t x = 1000; x <= 9000; x += 2000) PutRail(map, x, 1000, x, 9000);
    map.SelectRail(2); // a red line in the middle
    map.SetStartRail(0);
    PutBorder(map, 500, 5000, 500, 5000, 0x00FFFF);
    check.Tick(map, 0, 0, 0, 0, 0, "added");
    for (const std::int32_t x : {2000, 6000, 9500, 9000, 600, 9999}) {
        check.Tick(map, 0, 0, x, 5000, 1, "across to " + std::to_string(x));
        if (HasFatalFailure()) return;
    }
    // The rails, the start rail and the red line, not the border, where they cross.
    const std::int32_t row = RoundedQuotient(5010 * 137, 10020);
    EXPECT_EQ(check.CachedPixel(RoundedQuotient(1010 * 137, 10020), row), 0x8888FFu);
    EXPECT_EQ(check.CachedPixel(RoundedQuotient(3010 * 137, 10020), row), clWhite);
    EXPECT_EQ(check.CachedPixel(5010 * 137 / 10020, row), 0x0000FFu);
    EXPECT_EQ(check.CachedPixel(RoundedQuotient(4010 * 137, 10020), row), 0x00FFFFu);
}

TEST(OverviewCacheDrawingOut, LoneAndZeroLengthElements)
{
    for (const std::uint8_t placing : {std::uint8_t{1}, std::uint8_t{2}}) {
        CacheAgreement check;
        TMap map;
        SetView(map, 3000, 3500);
        if (placing == 1)
            map.AddBorder(3200, 3800, 3200, 3800, 0xFF00FF, bkArch);
        else
            map.AddRail(3200, 3800, 3200, 3800);
        const std::string name = placing == 1 ? "lone border" : "lone rail";
        check.Tick(map, 3000, 3500, 200, 300, 0, name + " of no length");
        // A lone element makes the bounds: every move changes them.
        for (const auto& [mx, my] : std::vector<std::pair<int, int>>{{200, 300}, {500, 100}, {200, 300}, {201, 300}}) {
            check.Tick(map, 3000, 3500, mx, my, placing, name + " to " + std::to_string(mx));
            if (HasFatalFailure()) return;
        }
    }
    // Among others, an element of no length drawn out and back to its start.
    for (const std::uint8_t placing : {std::uint8_t{1}, std::uint8_t{2}}) {
        CacheAgreement check;
        TMap map = CrossingMap(40 + placing, 20, 20);
        SetView(map, 3000, 3500);
        if (placing == 1)
            map.AddBorder(3200, 3800, 3200, 3800, 0xFF00FF, bkArch);
        else
            map.AddRail(3200, 3800, 3200, 3800);
        for (const auto& [mx, my] : std::vector<std::pair<int, int>>{{200, 300}, {260, 330}, {200, 300}, {260, 330}}) {
            check.Tick(map, 3000, 3500, mx, my, placing, "among others to " + std::to_string(mx));
            if (HasFatalFailure()) return;
        }
    }
}

TEST(OverviewCacheDrawingOut, BordersWithoutRails)
{
    // No rail: the bounds take in the world's corner, and the moving border
    // is the last line drawn.
    CacheAgreement check;
    TMap map = CrossingMap(45, 30, 0);
    std::mt19937 random(45);
    SetView(map, 3000, 3500);
    map.AddBorder(3500, 3600, 3500, 3600, 0x30A0F0, bkFlat);
    check.Tick(map, 3000, 3500, 300, 300, 0, "added");
    DragLastEnd(check, map, 1, random, 30, 7, "borders only");
}

TEST(OverviewCacheDrawingOut, MovingEndOnTheLastColumnAndRow)
{
    CacheAgreement check;
    TMap map = CrossingMap(50, 20, 20);
    // Elements holding the bounds land one past the cached rectangle.
    PutRail(map, 10000, 100, 10000, 9900);
    PutRail(map, 0, 10000, 9000, 10000);
    // Dragged along the right edge, it runs over the rail there, outside the
    // cached rectangle too.
    PutBorder(map, 10000, 9200, 10000, 9200, 0xFFFF00);
    const std::int32_t sx = 10000 - 700, sy = 10000 - 590;
    check.Tick(map, sx, sy, 0, 0, 0, "added");
    // Along the right edge, then the bottom edge, then inside: the bounds stay.
    const std::pair<int, int> path[] = {{700, 100}, {700, 300}, {700, 590}, {400, 590}, {100, 590}, {300, 300}, {700, 590}};
    for (const std::uint8_t placing : {std::uint8_t{1}, std::uint8_t{2}}) {
        if (placing == 2) {
            PutRail(map, 9000, 9000, 9000, 9000);
            check.Tick(map, sx, sy, 0, 0, 0, "rail added");
        }
        check.Tick(map, sx, sy, 350, 350, placing, "first move");
        const std::uint64_t rebuilds = check.Rebuilds();
        for (const auto& [mx, my] : path) {
            check.Tick(map, sx, sy, mx, my, placing, "edge " + std::to_string(mx) + "," + std::to_string(my));
            if (HasFatalFailure()) return;
        }
        EXPECT_EQ(check.Rebuilds(), rebuilds);
    }
}

TEST(OverviewCacheDrawingOut, OtherChangesWhileDrawingOutRedrawThePicture)
{
    CacheAgreement check;
    TMap map = CrossingMap(60, 30, 30);
    SetView(map, 3000, 3500);
    map.AddBorder(3200, 3800, 3200, 3800, 0xFF00FF, bkArch);
    check.Tick(map, 3000, 3500, 250, 250, 1, "border drawn out");
    check.Tick(map, 3000, 3500, 300, 260, 1, "border moved");
    std::uint64_t rebuilds = check.Rebuilds();

    map.SetBorderColor(map.BorderCount() - 1, 0x123456);
    check.Tick(map, 3000, 3500, 310, 270, 1, "recoloured while drawn out");
    EXPECT_GT(check.Rebuilds(), rebuilds);
    check.Tick(map, 3000, 3500, 320, 280, 1, "moved again");

    // A rail drawn out after the border: the rail moves now.
    map.AddRail(3500, 3600, 3500, 3600);
    check.Tick(map, 3000, 3500, 400, 300, 2, "rail drawn out");
    check.Tick(map, 3000, 3500, 420, 320, 2, "rail moved");

    // Both last elements moved between two ticks.
    bool snapped = false;
    map.SnapPointEx(100, 100, 1, snapped);
    map.SnapPointEx(600, 500, 2, snapped);
    check.Tick(map, 3000, 3500, 600, 500, 0, "both moved");
    map.SnapPointEx(110, 90, 1, snapped);
    check.Tick(map, 3000, 3500, 0, 0, 0, "border again");
    map.SnapPointEx(130, 70, 1, snapped);
    check.Tick(map, 3000, 3500, 0, 0, 0, "and again");

    rebuilds = check.Rebuilds();
    check.Invalidate();
    check.Tick(map, 3000, 3500, 0, 0, 0, "forgotten");
    EXPECT_EQ(check.Rebuilds(), rebuilds + 1);
    map.Normalize();
    map.DeleteRail(map.RailCount() - 1);
    check.Tick(map, 3000, 3500, 0, 0, 0, "rail deleted");
}

TEST(OverviewCacheDrawingOut, KeepsItsFewBitmapsWhileABorderMoves)
{
    TRecordingBitmapFactory bitmaps;
    TOverviewCache cache(bitmaps);
    TMap map = CrossingMap(70, 10, 10);
    SetView(map, 3000, 3500);
    map.AddBorder(3200, 3800, 3200, 3800, 0xFF00FF, bkArch);
    TRecordingCanvas canvas;
    bool snapped = false;
    cache.Draw(map, canvas, 137, 137, 3000, 3500);
    for (int k = 0; k < 20; ++k) {
        map.SnapPointEx(200 + 10 * k, 300 - 5 * k, 1, snapped);
        cache.Draw(map, canvas, 137, 137, 3000, 3500);
    }
    // The first picture, and the one without the border after its first move.
    EXPECT_EQ(cache.Rebuilds(), 2u);
    // The picture, the layer the border is laid under the rails in, and the patch.
    EXPECT_EQ(bitmaps.Bitmaps.size(), 3u);
}

namespace {

/// Makes every map large enough for grids (and so for redrawing only where
/// it was edited) for one scope.
class TEveryMapIndexed {
public:
    TEveryMapIndexed() { TMap::IndexFrom = 0; }
    ~TEveryMapIndexed() { TMap::IndexFrom = old_; }
    TEveryMapIndexed(const TEveryMapIndexed&) = delete;
    TEveryMapIndexed& operator=(const TEveryMapIndexed&) = delete;

private:
    std::int32_t old_ = TMap::IndexFrom;
};

} // namespace

TEST(OverviewCache, RedrawingWhereEditsWereMatchesDrawingFromScratch)
{
    // Crossing lines, so that what an edit uncovers is partly other lines;
    // edits in the middle of the arrays, undo and redo, marks written as
    // fields, elements drawn out and released: every tick against a drawing
    // from scratch.
    const TEveryMapIndexed indexed;
    std::uint64_t patches = 0, rebuilds = 0, ticks = 0;
    for (const unsigned seed : {1u, 2u, 3u, 4u, 5u, 6u}) {
        CacheAgreement check;
        TMap map = CrossingMap(seed, 120, 120);
        // A small map, where the frame's extremes lie well inside the
        // picture; or a frame kept by elements at the far corners.
        const bool small = seed > 4;
        const auto shrink = [](TLine& l) {
            for (std::int32_t* v : {&l.X1, &l.Y1, &l.X2, &l.Y2}) *v = 3000 + (*v - 500) / 30;
        };
        for (std::int32_t i = 0; small && i < map.RailCount(); ++i) MapBuilders::EditRail(map, i, shrink);
        for (std::int32_t i = 0; small && i < map.BorderCount(); ++i) MapBuilders::EditBorder(map, i, shrink);
        if (!small) {
            PutRail(map, 100, 100, 110, 100);
            PutBorder(map, 9900, 9900, 9890, 9900, 0x00FF00, bkFlat);
        }
        const std::int32_t origin = small ? 2950 : 3000;
        std::mt19937 random(seed);
        const auto pick = [&](std::int32_t lo, std::int32_t hi) {
            return std::uniform_int_distribution<std::int32_t>(lo, hi)(random);
        };
        const auto someRail = [&] { return pick(0, map.RailCount() - 3); };
        const auto someBorder = [&] { return pick(0, map.BorderCount() - 3); };
        check.Tick(map, origin, origin, 10, 10, 0, "start");
        const std::uint64_t firstRebuilds = check.Rebuilds();
        for (int edit = 0; edit < 150; ++edit) {
            const std::string step = "seed " + std::to_string(seed) + " edit " + std::to_string(edit);
            std::uint8_t placing = 0;
            switch (pick(0, 14)) {
            case 0: { // drawn out, over several ticks, and released or taken back
                const bool rail = pick(0, 1) == 0;
                // World points, as a press gives them.
                const std::int32_t px = origin + pick(0, 700), py = origin + pick(0, 590);
                map.BeginStep(rail ? TStepKind::DrawRail : TStepKind::DrawBorder);
                if (rail && pick(0, 2) == 0) // appended as given, another rail staying selected
                    map.AppendRails(std::vector{MapBuilders::RailOf(3100, 3150, 3200, 3200)});
                else if (rail)
                    map.AddRail(px, py, px, py);
                else
                    map.AddBorder(px, py, px, py, 0x123456, bkHighWall);
                placing = rail ? 2 : 1;
                for (int move = pick(0, 5); move > 0; --move)
                    check.Tick(map, origin, origin, pick(0, 717), pick(0, 599), placing, step + " drawing out");
                if (pick(0, 3) == 0) {
                    map.CancelStep();
                } else {
                    map.Normalize();
                    map.EndStep();
                }
                placing = 0;
                break;
            }
            case 1:
            case 2: {
                const TEditStep delete_(map, TStepKind::Delete);
                map.DeleteRail(someRail());
                if (pick(0, 1) == 0) map.DeleteBorder(someBorder());
                break;
            }
            case 3: map.ReverseRail(someRail()); break;
            case 4: map.CycleBorderKind(someBorder()); break;
            case 5: map.SetBorderColor(someBorder(), static_cast<TColor>(pick(0, 0xFFFFFF))); break;
            case 6: map.SetStartRail(someRail()); break;
            case 7: map.SetFinishRail(someRail()); break;
            case 8: map.SelectRail(pick(-1, map.RailCount() - 1)); break;
            case 9: // a mark written as a field, as anyone may
                (pick(0, 2) == 0 ? map.StartRail : pick(0, 1) == 0 ? map.FinishRail : map.SelRail) =
                    pick(-1, map.RailCount() + 1);
                break;
            case 10:
                MapBuilders::EditRail(map, someRail(), [&](TRail& r) {
                    // Anywhere in the frame, often on the picture's first or last pixels.
                    const auto anywhere = [&] {
                        const std::int32_t k = pick(0, 2);
                        return k == 0 ? pick(101, 140) : k == 1 ? pick(9860, 9899) : pick(101, 9899);
                    };
                    r.X2 = small ? pick(2990, 3310) : anywhere();
                    r.Y2 = small ? pick(2990, 3310) : anywhere();
                });
                break;
            case 11: { // a band, at times added to the selection
                const std::int32_t x = origin + pick(-100, 700), y = origin + pick(-100, 590);
                map.SelectBand({x, y}, {x + pick(0, 400), y + pick(0, 400)}, pick(0, 2) == 0);
                break;
            }
            case 12: { // the selection dragged, over several ticks, and released or taken back
                map.BeginStep(TStepKind::Move);
                for (int move = pick(1, 4); move > 0; --move) {
                    map.MoveSelected(pick(-80, 80), pick(-80, 80));
                    check.Tick(map, origin, origin, pick(0, 717), pick(0, 599), 0, step + " dragging");
                }
                pick(0, 3) == 0 ? map.CancelStep() : map.EndStep();
                break;
            }
            default: pick(0, 1) == 0 ? map.Undo() : map.Redo(); break;
            }
            check.Tick(map, origin, origin, pick(0, 717), pick(0, 599), placing, step);
            ++ticks;
            if (testing::Test::HasFatalFailure()) return;
        }
        patches += check.Patches();
        rebuilds += check.Rebuilds() - firstRebuilds;
    }
    // Borders drawn out and edits that reach the picture's edge are drawn afresh; most are not.
    EXPECT_GT(patches, ticks / 2);
    EXPECT_LT(rebuilds, ticks / 4);
}
