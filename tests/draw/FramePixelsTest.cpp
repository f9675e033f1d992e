#include <gtest/gtest.h>

#include <QImage>

#include "draw/MapDraw.h"
#include "draw/OverviewCache.h"
#include "platform/qt/QtCanvas.h"
#include "tests/draw/DrawTestMaps.h"

namespace {

/// The window's tick: the frame of a 718 x 600 view into the 894 x 618 back
/// buffer, then the 137 x 137 overview over its top-left corner.
class TBackBuffer {
public:
    TBackBuffer() : cache_(factory_)
    {
        bitmap_.SetWidth(894);
        bitmap_.SetHeight(618);
    }
    const QImage& Tick(TMap& map, std::int32_t mouseX, std::int32_t mouseY, bool withOverview)
    {
        DrawFrame(map, bitmap_.Canvas(), mouseX, mouseY, 0);
        view_ = bitmap_.Image().copy(0, 0, 718, 600);
        if (withOverview) cache_.Draw(map, bitmap_.Canvas(), 137, 137, map.ViewX, map.ViewY);
        return bitmap_.Image();
    }
    /// What the main view shows: the back buffer before the overview went over it.
    const QImage& View() const { return view_; }

private:
    TQtBitmapFactory factory_;
    TOverviewCache cache_;
    TQtBitmap bitmap_;
    QImage view_;
};

std::uint32_t Rgb(const QImage& image, int x, int y) { return image.pixel(x, y) & 0xFFFFFF; }

/// The 0x00BBGGRR colour as the QImage reads it back.
std::uint32_t Shown(TColor color) { return ToArgb(color) & 0xFFFFFF; }

} // namespace

TEST(FramePixels, EachElementInItsColourAtKnownPixels)
{
    TMap map = drawtest::SampleMap(); // view origin (100, 100)
    TBackBuffer buffer;
    buffer.Tick(map, 452, 52, false);
    const QImage& view = buffer.View();
    struct Probe {
        const char* what;
        int x, y;
        TColor color;
    } const probes[] = {
        {"flat border", 200, 50, 0x00FFFF},
        {"flat border end circle fill", 50, 50, clWhite},
        {"flat border end circle outline", 48, 50, 0x00FFFF},
        {"flat border second end circle", 350, 50, clWhite},
        {"wall border", 200, 140, 0xFF8000},
        {"high wall, one row above", 200, 219, 0x0080FF},
        {"high wall, one row below", 200, 221, 0x0080FF},
        {"high wall, clear of it", 200, 224, clBlack},
        {"selected arch, black centre", 400, 200, clBlack},
        {"selected arch, left of centre", 398, 200, 0x8080FF},
        {"selected arch, right of centre", 402, 200, 0x8080FF},
        {"start rail", 500, 50, 0x8888FF},
        {"plain rail", 650, 150, 0xAAAAAA},
        {"finish rail", 500, 250, 0x88FF88},
        {"selected rail, centre", 520, 420, 0xAAAAAA},
        {"selected rail, beside", 521, 420, 0xAAAAAA},
        {"point rail circle", 98, 450, 0xAAAAAA},
        {"snap marker tick", 436, 50, 0x00FF00},
        {"snap marker centre untouched", 445, 50, clBlack},
        {"snap marker circle", 450, 40, 0x00FF00},
        {"background", 700, 590, clBlack},
    };
    for (const Probe& p : probes) EXPECT_EQ(Rgb(view, p.x, p.y), Shown(p.color)) << p.what;
}

TEST(FramePixels, OverviewGoesOverTheTopLeftCorner)
{
    TMap map = drawtest::SampleMap();
    TBackBuffer buffer;
    const QImage& image = buffer.Tick(map, 0, 0, true);
    // The map's bounds are 140..760 by 140..610: the view from (100, 100)
    // takes it all in, so the outline runs past the overview, its right side
    // in column 148 and its bottom in row 162 (right and bottom edge left out).
    EXPECT_EQ(Rgb(image, 148, 60), Shown(0x00FF00));
    EXPECT_EQ(Rgb(image, 149, 60), Shown(clBlack));
    EXPECT_EQ(Rgb(image, 60, 162), Shown(0x00FF00));
    EXPECT_EQ(Rgb(image, 60, 163), Shown(clBlack));
    EXPECT_EQ(Rgb(image, 5, 136), 0u);
    // The view's own pixels beyond the overview are still there.
    EXPECT_EQ(Rgb(image, 200, 50), Shown(0x00FFFF));
}
