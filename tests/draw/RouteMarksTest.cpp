#include <gtest/gtest.h>

#include <QImage>
#include <cmath>
#include <vector>

#include "draw/RouteMarks.h"
#include "platform/qt/QtCanvas.h"
#include "tests/support/MapBuilders.h"

namespace {

using namespace MapBuilders;

constexpr QRgb Red = 0xFF0000, Yellow = 0xFFFF00;

/// The marks drawn on a black 300 x 200 view at zoom shift, the view's top
/// left at world (1000, 2000).
QImage Drawn(std::int32_t shift, const std::vector<TRouteMark>& marks)
{
    TQtBitmap bitmap;
    bitmap.SetWidth(300);
    bitmap.SetHeight(200);
    TCanvas& canvas = bitmap.Canvas();
    canvas.SetBrushColor(0);
    canvas.SetPenColor(0);
    canvas.Rectangle(-1, -1, 301, 201);
    TViewTransform view;
    view.X = 1000;
    view.Y = 2000;
    view.Width = 300;
    view.Height = 200;
    view.Zoom.Shift = shift;
    DrawRouteMarks(canvas, view, marks);
    return bitmap.Image().copy();
}

struct TPixels {
    std::vector<QPoint> Of(const QImage& image, QRgb color) const
    {
        std::vector<QPoint> found;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if ((image.pixel(x, y) & 0xFFFFFF) == color) found.push_back({x, y});
        return found;
    }
};

TEST(RouteMarks, ARingOfRadiusEightTwoPixelsWideAtEveryScaleAndASquareFarOut)
{
    for (const std::int32_t shift : {0, -1, 2}) {
        // The world point whose pixel is (152, 104) at this scale.
        const std::int32_t wx = 1000 + static_cast<std::int32_t>(std::ldexp(152, -shift));
        const std::int32_t wy = 2000 + static_cast<std::int32_t>(std::ldexp(104, -shift));
        const QImage image = Drawn(shift, {{wx, wy, false}, {1000 + static_cast<std::int32_t>(std::ldexp(40, -shift)), wy, true}});
        const std::vector<QPoint> red = TPixels().Of(image, Red);
        ASSERT_GT(red.size(), 60u) << shift;
        int left = 0, right = 0, up = 0, down = 0;
        for (const QPoint& p : red) {
            const double d = std::hypot(p.x() - 152, p.y() - 104);
            EXPECT_GE(d, 6.0) << shift << " at " << p.x() << "," << p.y();
            EXPECT_LE(d, 9.5) << shift << " at " << p.x() << "," << p.y();
            left += p.x() < 152;
            right += p.x() > 152;
            up += p.y() < 104;
            down += p.y() > 104;
        }
        EXPECT_EQ(left, right) << shift;
        EXPECT_EQ(up, down) << shift;
        // Two pixels wide along each axis, and nothing but red and the warning's yellow.
        for (const QPoint p : {QPoint(160, 104), QPoint(159, 104), QPoint(144, 104), QPoint(145, 104),
                               QPoint(152, 96), QPoint(152, 97), QPoint(152, 112), QPoint(152, 111)})
            EXPECT_EQ(image.pixel(p) & 0xFFFFFF, Red) << shift << " at " << p.x() << "," << p.y();
        const std::vector<QPoint> yellow = TPixels().Of(image, Yellow);
        EXPECT_EQ(yellow.size(), red.size()) << "the same ring in yellow";
        EXPECT_EQ(red.size() + yellow.size() + TPixels().Of(image, 0).size(), 300u * 200u);
    }
    // At 1/4 and 1/8 a mark is a 3 x 3 square on its pixel.
    for (const std::int32_t shift : {-2, -3}) {
        const QImage image = Drawn(shift, {{1000 + (150 << -shift), 2000 + (100 << -shift), false}});
        std::vector<QPoint> expected;
        for (int y = 99; y <= 101; ++y)
            for (int x = 149; x <= 151; ++x) expected.push_back({x, y});
        EXPECT_EQ(TPixels().Of(image, Red), expected) << shift;
    }
    // Marks out of the view's reach draw nothing, wherever they are.
    EXPECT_TRUE(TPixels().Of(Drawn(0, {{0, 0, false}, {2147483647, -2147483647 - 1, false}, {1000 - 11, 2000, false}}), Red).empty());
}

TEST(RouteMarks, TheOverviewHasOnePixelForEachMark)
{
    TMap map;
    PutRail(map, 0, 0, 1000, 1000);
    const TOverviewScale scale(map, 137, 137);
    TQtBitmap bitmap;
    bitmap.SetWidth(137);
    bitmap.SetHeight(137);
    bitmap.Canvas().SetBrushColor(0);
    bitmap.Canvas().Rectangle(-1, -1, 138, 138);
    // A warning under a fault's pixel gives way to it.
    const std::vector<TRouteMark> pixels = OverviewRouteMarkPixels(
        scale, 137, 137, std::vector<TRouteMark>{{500, 500, true}, {0, 0, false}, {500, 500, false}, {1000, 1000, true}, {0, 0, false}});
    EXPECT_EQ(pixels.size(), 3u);
    DrawOverviewRouteMarks(bitmap.Canvas(), pixels);
    const std::vector<QPoint> red = TPixels().Of(bitmap.Image(), Red);
    const std::vector<QPoint> yellow = TPixels().Of(bitmap.Image(), Yellow);
    EXPECT_EQ(red, (std::vector<QPoint>{{scale.RoundedX(0), scale.RoundedY(0)}, {scale.RoundedX(500), scale.RoundedY(500)}}));
    EXPECT_EQ(yellow, (std::vector<QPoint>{{scale.RoundedX(1000), scale.RoundedY(1000)}}));
}

} // namespace
