// The cached main view against drawing every frame from nothing.
#include <gtest/gtest.h>

#include <random>

#include "draw/MapDraw.h"
#include "draw/ViewCache.h"
#include "platform/qt/QtCanvas.h"
#include "tests/draw/DrawTestMaps.h"
#include "tests/support/MapBuilders.h"

namespace {

using MapBuilders::PutBorder;
using MapBuilders::PutRail;

struct TFrame {
    QImage Pixels;
    TColor PenColor, BrushColor;
    std::int32_t PenWidth, PenX, PenY;
    TBrushStyle BrushStyle;
    friend bool operator==(const TFrame&, const TFrame&) = default;
};

TFrame FrameOf(TQtBitmap& bitmap, std::int32_t width, std::int32_t height)
{
    TQtCanvas& c = static_cast<TQtCanvas&>(bitmap.Canvas());
    return {bitmap.Image().copy(0, 0, width, height), c.PenColor(), c.BrushColor(), c.PenWidth(), c.PenX(), c.PenY(),
            c.BrushStyle()};
}

TEST(ViewCache, EveryFrameIsTheOneDrawnFromNothingAndOnlyChangesRedraw)
{
    std::mt19937 random(5);
    const auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    TMap cached;
    for (int k = 0; k < 300; ++k) {
        const int x = pick(0, 1500), y = pick(0, 1200);
        if (k % 3)
            PutRail(cached, x, y, x + pick(-80, 80), y + pick(-80, 80));
        else
            PutBorder(cached, x, y, x + pick(-80, 80), y + pick(-80, 80), static_cast<TColor>(pick(0, 0xFFFFFF)),
                      static_cast<std::uint8_t>(k % 4));
    }
    PutRail(cached, 200, 200, 200, 200); // a point rail takes the brush the drawing left
    cached.SelectRail(4);
    drawtest::SetView(cached, 100, 100);
    TQtBitmapFactory factory;
    TViewCache cache(factory);
    TQtBitmap viaCache, direct;
    for (TQtBitmap* b : {&viaCache, &direct}) {
        b->SetWidth(894);
        b->SetHeight(618);
    }
    std::uint64_t changes = 1;
    for (int round = 0; round < 40; ++round) {
        const int action = pick(0, 5);
        if (action == 0) {
            cached.ViewX = pick(0, 900);
            ++changes;
        } else if (action == 1) {
            cached.Zoom = TViewZoom{pick(TViewZoom::MinShift, TViewZoom::MaxShift)};
            ++changes;
        } else if (action == 2) {
            cached.SelectBorder(pick(0, cached.BorderCount() - 1));
            ++changes;
        } else if (action == 3) {
            cached.ReverseRail(pick(0, cached.RailCount() - 1));
            ++changes;
        }
        // Otherwise only the mouse moves.
        const std::int32_t mx = pick(0, 717), my = pick(0, 599);
        TMap copy = cached;
        // The canvases start from different states: the frame must not depend on them.
        viaCache.Canvas().SetPenWidth(pick(1, 6));
        // Shows foretells a redraw; every other round Refresh draws first,
        // as a worker would, and the frame takes that picture.
        const bool shows = cache.Shows(cached);
        const std::uint64_t rebuilds = cache.Rebuilds();
        if (round % 2) {
            cache.Refresh(cached);
            EXPECT_TRUE(cache.Shows(cached)) << "round " << round;
        }
        cache.DrawFrame(cached, viaCache.Canvas(), mx, my, 0);
        EXPECT_EQ(cache.Rebuilds() - rebuilds, shows ? 0u : 1u) << "round " << round;
        DrawFrame(copy, direct.Canvas(), mx, my, 0);
        ASSERT_TRUE(FrameOf(viaCache, 718, 600) == FrameOf(direct, 718, 600)) << "round " << round;
    }
    EXPECT_LE(cache.Rebuilds(), changes);
    EXPECT_LT(cache.Rebuilds(), 40u);
}

TEST(ViewCache, TheElementBeingDrawnOutIsDrawnWhereTheLastTickMovedIt)
{
    TMap map;
    PutRail(map, 100, 100, 300, 100);
    drawtest::SetView(map, 0, 0);
    map.AddRail(150, 300, 150, 300);
    TQtBitmapFactory factory;
    TViewCache cache(factory);
    TQtBitmap viaCache, direct;
    for (TQtBitmap* b : {&viaCache, &direct}) {
        b->SetWidth(718);
        b->SetHeight(600);
    }
    TMap copy = map;
    for (const auto& [x, y] : {std::pair{400, 400}, {302, 98}, {500, 200}, {500, 200}}) {
        cache.DrawFrame(map, viaCache.Canvas(), x, y, 2);
        DrawFrame(copy, direct.Canvas(), x, y, 2);
        ASSERT_TRUE(FrameOf(viaCache, 718, 600) == FrameOf(direct, 718, 600)) << x << "," << y;
        EXPECT_EQ(map.Rails().back().X2, copy.Rails().back().X2);
        EXPECT_EQ(map.Rails().back().Y2, copy.Rails().back().Y2);
    }
}

} // namespace
