#include <gtest/gtest.h>

#include <functional>

#include "draw/MapDraw.h"
#include "draw/Overview.h"
#include "draw/OverviewCache.h"
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
        cache_.Draw(map, cached_.Canvas(), OverviewSize, OverviewSize, scrollX, scrollY);
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
        [&] { map.Rails[0].X2 = 250; }, // written directly, announced
        [&] { map.Touch(); },
        [&] { map.SelRail = 1; }, // written directly, not announced
    };
    std::uint64_t expected = 1;
    for (const auto& change : changes) {
        change();
        if (&change == &changes[3]) map.Touch();
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
