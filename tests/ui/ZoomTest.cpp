// Zoom levels, the wheel and the scaled view in the real window.
#include <QMenu>
#include <QWheelEvent>

#include "draw/MapDraw.h"
#include "draw/Overview.h"
#include "platform/qt/QtCanvas.h"
#include "tests/ui/FormFixture.h"

using MapBuilders::PutBorder;
using MapBuilders::PutRail;

namespace {

constexpr QRgb Black = 0xFF000000;
constexpr QRgb Grey = 0xFFAAAAAA;
constexpr QRgb White = 0xFFFFFFFF;
constexpr QRgb Green = 0xFF00FF00;

class ZoomTest : public FormTest {
protected:
    void SetUp() override
    {
        FormTest::SetUp();
        Open();
    }
    void Wheel(int dx, int dy, Qt::KeyboardModifiers modifiers = Qt::NoModifier, QPoint at = {100, 100})
    {
        const QPointF local(at);
        QWheelEvent event(local, form->PaintBox1->mapToGlobal(local), QPoint(), QPoint(dx, dy), Qt::NoButton,
                          modifiers, Qt::NoScrollPhase, false);
        QApplication::sendEvent(form->PaintBox1, &event);
    }
    QRgb ViewPixel(int x, int y) const { return form->PaintBox1->Picture().pixel(x, y); }
    QRgb OverviewPixel(int x, int y) const { return form->PaintBox2->Picture().pixel(x, y); }
    std::int32_t Level() const { return form->Zoom.Shift; }
    /// The frame a tick shows, drawn directly from a copy of the map.
    QImage ExpectedFrame() const
    {
        TMap copy = Map();
        TQtBitmap expected;
        expected.SetWidth(718);
        expected.SetHeight(600);
        DrawFrame(copy, expected.Canvas(), form->MouseX, form->MouseY, 0);
        return expected.Image();
    }
};

TEST(ViewZoomTest, FloorsBothWaysAndSpansTheViewAtEveryLevel)
{
    // Pixel of a world offset and world offset of a pixel, below and above the origin.
    EXPECT_EQ(TViewZoom{-1}.ToPixels(-3), -2);
    EXPECT_EQ(TViewZoom{-1}.ToPixels(3), 1);
    EXPECT_EQ(TViewZoom{1}.ToWorld(-3), -2);
    EXPECT_EQ(TViewZoom{1}.ToWorld(3), 1);
    EXPECT_EQ(TViewZoom{2}.ToPixels(-3), -12);
    EXPECT_EQ(TViewZoom{-2}.ToWorld(-3), -12);
    for (std::int32_t shift = TViewZoom::MinShift; shift <= TViewZoom::MaxShift; ++shift) {
        const TViewZoom zoom{shift};
        for (std::int64_t d = -40; d <= 40; ++d) {
            // The pixel's world point lies on the pixel; a world point's pixel shows a point at or before it.
            const std::int64_t p = d;
            EXPECT_EQ(zoom.ToPixels(zoom.ToWorld(p)), zoom.Shift >= 0 ? p - (p & ((1 << shift) - 1)) : p);
            EXPECT_LE(zoom.ToWorld(zoom.ToPixels(d)), d);
        }
        // The span is the last world offset whose pixel is at most the width.
        const std::int32_t span = zoom.Span(718);
        EXPECT_LE(zoom.ToPixels(span), 718) << shift;
        EXPECT_GT(zoom.ToPixels(span + 1), 718) << shift;
    }
    EXPECT_EQ(TViewZoom{}.Extent(718), 718);
    EXPECT_EQ(TViewZoom{3}.Extent(718), 89);
    EXPECT_EQ(TViewZoom{-4}.Extent(600), 9600);
}

TEST_F(ZoomTest, AtTwoAndAtOneHalfTheGeometryScalesAndThePensKeepTheirPixels)
{
    PutRail(Map(), 100, 100, 200, 100);
    const std::int32_t border = PutBorder(Map(), 300, 200, 400, 200, 0x0000FF, bkFlat);
    Map().SelectBorder(border);
    form->SetZoom(TViewZoom{1}, 50, 80);
    Tick();
    // The rail runs from (100, 40) to (300, 40); its head's tip at (200, 40), wings 5 pixels back.
    EXPECT_EQ(ViewPixel(100, 40), Grey);
    EXPECT_EQ(ViewPixel(299, 40), Grey);
    EXPECT_EQ(ViewPixel(301, 40), Black);
    EXPECT_EQ(ViewPixel(195, 37), Grey);
    EXPECT_EQ(ViewPixel(200, 40), Grey);
    EXPECT_EQ(ViewPixel(150, 41), Black); // still one pixel wide
    // The selected flat border from (500, 240) to (700, 240): four pixels wide, white end circles.
    EXPECT_EQ(ViewPixel(600, 239), 0xFFFF0000);
    EXPECT_EQ(ViewPixel(600, 243), Black);
    EXPECT_EQ(ViewPixel(500, 240), White);
    EXPECT_EQ(ViewPixel(700, 240), White);
    EXPECT_EQ(form->PaintBox1->Picture(), ExpectedFrame());

    form->SetZoom(TViewZoom{-1}, 0, 0);
    Tick();
    // Now from (50, 50) to (100, 50), and the border from (150, 100) to (200, 100).
    EXPECT_EQ(ViewPixel(50, 50), Grey);
    EXPECT_EQ(ViewPixel(99, 50), Grey);
    EXPECT_EQ(ViewPixel(101, 50), Black);
    EXPECT_EQ(ViewPixel(70, 47), Grey); // a wing, 5 pixels back from the tip at (75, 50)
    EXPECT_EQ(ViewPixel(175, 100), 0xFFFF0000);
    EXPECT_EQ(ViewPixel(150, 100), White);
    EXPECT_EQ(form->PaintBox1->Picture(), ExpectedFrame());

    // Back at 1:1 the frame is the unscaled one.
    form->N16Click();
    Scroll(0, 0);
    Tick();
    EXPECT_EQ(ViewPixel(150, 100), Grey);
    EXPECT_EQ(form->PaintBox1->Picture(), ExpectedFrame());
}

TEST_F(ZoomTest, ZoomingKeepsThePointUnderTheMouseOrTheCentreWithinTheScrollLimits)
{
    Scroll(1000, 2000);
    Wheel(0, 120, Qt::ControlModifier, {100, 60});
    EXPECT_EQ(Level(), 1);
    EXPECT_EQ(form->HB->Position(), 1050);
    EXPECT_EQ(form->VB->Position(), 2030);
    EXPECT_EQ(form->HB->Max(), 10001 - 359);
    EXPECT_EQ(form->VB->Max(), 10001 - 300);

    // About the centre (359, 300): the world point there stays.
    form->N14Click();
    EXPECT_EQ(Level(), 2);
    EXPECT_EQ(form->HB->Position(), 1050 + 179 - 89);
    EXPECT_EQ(form->VB->Position(), 2030 + 150 - 75);
    form->N14Click();
    form->N14Click(); // no level beyond 8
    EXPECT_EQ(Level(), 3);
    EXPECT_EQ(form->HB->Max(), 10001 - 89);
    EXPECT_EQ(form->VB->Max(), 10001 - 75);

    form->N16Click();
    EXPECT_EQ(Level(), 0);
    EXPECT_EQ(form->HB->Max(), 9283);
    EXPECT_EQ(form->VB->Max(), 9401);

    // At the far corner, zooming out would pass the world's edge: the origin stops there.
    Scroll(9282, 9400);
    Wheel(0, -120, Qt::ControlModifier, {700, 590});
    EXPECT_EQ(Level(), -1);
    EXPECT_EQ(form->HB->Position(), 10001 - 1436);
    EXPECT_EQ(form->VB->Position(), 10001 - 1200);
    for (int i = 0; i < 5; ++i) form->N15Click();
    EXPECT_EQ(Level(), -4);
    EXPECT_EQ(form->HB->Max(), 0); // the whole width fits
    EXPECT_EQ(form->HB->Position(), 0);
    EXPECT_EQ(form->VB->Max(), 401);
}

TEST_F(ZoomTest, TheViewMenuHasItsItemsAndKeys)
{
    EXPECT_EQ(form->N13->title(), QString::fromUtf8("Вид"));
    EXPECT_EQ(form->N13->actions(),
              (QList<QAction*>{form->N14, form->N15, form->N16, form->N17, form->N18, form->N19, form->N20,
                               form->MeasuresItem}));
    EXPECT_EQ(form->N14->shortcuts(), (QList<QKeySequence>{QKeySequence("Ctrl+="), QKeySequence("Ctrl++")}));
    EXPECT_EQ(form->N15->shortcut(), QKeySequence("Ctrl+-"));
    EXPECT_EQ(form->N16->shortcut(), QKeySequence("Ctrl+0"));
    EXPECT_EQ(form->N14->text(), QString::fromUtf8("Крупнее"));
    EXPECT_EQ(form->N15->text(), QString::fromUtf8("Мельче"));
    EXPECT_EQ(form->N16->text(), QString::fromUtf8("Масштаб 1:1"));
    EXPECT_EQ(form->N17->text(), QString::fromUtf8("Вся карта"));
}

TEST_F(ZoomTest, TheWholeMapTakesTheLargestLevelThatHoldsEveryElement)
{
    PutRail(Map(), 1000, 1000, 1300, 1000);
    PutBorder(Map(), 1100, 1200, 1200, 1250, 0, bkFlat);
    form->N17Click();
    // 300 x 250 units fit at 2 (359 x 300), not at 4; the view is centred over them.
    EXPECT_EQ(Level(), 1);
    EXPECT_EQ(form->HB->Position(), 1000 - (359 - 300) / 2);
    EXPECT_EQ(form->VB->Position(), 1000 - (300 - 250) / 2);

    PutRail(Map(), 9000, 9000, 9990, 9990);
    form->N17Click();
    EXPECT_EQ(Level(), -4);
    EXPECT_EQ(form->HB->Position(), 0);
}

TEST_F(ZoomTest, AtFourAndAtOneQuarterPickingAndSnappingReachFivePixels)
{
    Tool(ToolSelect);
    PutRail(Map(), 1010, 1010, 1050, 1010);
    form->SetZoom(TViewZoom{2}, 1000, 1000);
    Tick();
    // The rail lies on row 40 from column 40 to 200: 4 pixels off picks it, 6 do not
    // (at 1:1 the same 1.5 units would).
    Press(form->PaintBox1, Qt::LeftButton, 100, 46);
    Release(form->PaintBox1, Qt::LeftButton, 100, 46);
    EXPECT_EQ(Map().SelRail, -1);
    Press(form->PaintBox1, Qt::LeftButton, 100, 44);
    Release(form->PaintBox1, Qt::LeftButton, 100, 44);
    EXPECT_EQ(Map().SelRail, 0);

    // A new rail's first end is the world point under the press; its second
    // end snaps to the end 4 pixels away, exactly.
    Tool(ToolRail);
    Press(form->PaintBox1, Qt::LeftButton, 401, 83);
    Move(form->PaintBox1, 203, 37);
    Tick();
    Release(form->PaintBox1, Qt::LeftButton, 203, 37);
    ASSERT_EQ(Map().RailCount(), 2);
    EXPECT_EQ(EndsOf(Map().Rails()[1]), (TEnds{1100, 1020, 1050, 1010}));

    form->SetZoom(TViewZoom{-2}, 0, 0);
    Map().DeleteRail(1);
    PutRail(Map(), 400, 400, 800, 400);
    Tick();
    // (400, 400) to (800, 400) lies on row 100 from 100 to 200; 6 pixels are 24 units.
    Tool(ToolSelect);
    Press(form->PaintBox1, Qt::LeftButton, 150, 106);
    Release(form->PaintBox1, Qt::LeftButton, 150, 106);
    EXPECT_EQ(Map().SelRail, -1);
    Press(form->PaintBox1, Qt::LeftButton, 150, 104);
    Release(form->PaintBox1, Qt::LeftButton, 150, 104);
    EXPECT_EQ(Map().SelRail, 1);
    Tool(ToolRail);
    Press(form->PaintBox1, Qt::LeftButton, 300, 300);
    Move(form->PaintBox1, 203, 102);
    Tick();
    // The snap marker sits on the end's pixel.
    EXPECT_EQ(ViewPixel(200 - 10, 100), Green);
    Release(form->PaintBox1, Qt::LeftButton, 203, 102);
    ASSERT_EQ(Map().RailCount(), 3);
    EXPECT_EQ(EndsOf(Map().Rails()[2]), (TEnds{1200, 1200, 800, 400}));
}

TEST_F(ZoomTest, APressBeforeTheNextTickPicksInTheViewShownNowAtEveryScale)
{
    PutRail(Map(), 100, 100, 300, 100);
    Tool(ToolSelect);
    for (const std::int32_t shift : {0, 1}) {
        form->SetZoom(TViewZoom{shift}, 1000, 1000);
        Tick();
        Scroll(0, 0); // no tick since
        Press(form->PaintBox1, Qt::LeftButton, 300 << shift, (100 << shift) + 2);
        EXPECT_EQ(Map().SelRail, 0) << shift;
        // The same press takes the end under it.
        Move(form->PaintBox1, 300 << shift, 200 << shift);
        Tick();
        Release(form->PaintBox1, Qt::LeftButton, 300 << shift, 200 << shift);
        EXPECT_EQ(EndsOf(Map().Rails()[0]), (TEnds{100, 100, 300, 200})) << shift;
        Map().Undo();
    }
}

TEST_F(ZoomTest, ScaledTheSelectToolMovesTheEndFivePixelsAway)
{
    Tool(ToolSelect);
    PutRail(Map(), 1010, 1010, 1050, 1010);
    form->SetZoom(TViewZoom{2}, 1000, 1000);
    Tick();
    Press(form->PaintBox1, Qt::LeftButton, 203, 43); // 4.2 pixels from the end (1050, 1010) at (200, 40)
    Move(form->PaintBox1, 400, 400);
    Tick();
    Release(form->PaintBox1, Qt::LeftButton, 400, 400);
    EXPECT_EQ(EndsOf(Map().Rails()[0]), (TEnds{1010, 1010, 1100, 1100}));
}

TEST_F(ZoomTest, PanningTheOverviewAndTheRouteCheckFollowTheScale)
{
    PutRail(Map(), 0, 0, 10000, 10000);
    form->SetZoom(TViewZoom{-2}, 0, 0);
    Tick();
    // The outline covers 2872 x 2400 units: its right side in column 38, bottom in row 31.
    EXPECT_EQ(OverviewPixel(38, 10), Green);
    EXPECT_EQ(OverviewPixel(10, 31), Green);
    EXPECT_EQ(OverviewPixel(39, 10), Black);
    TMap copy = Map();
    TQtBitmap overview;
    overview.SetWidth(137);
    overview.SetHeight(137);
    DrawOverviewWithViewport(copy, overview.Canvas(), 137, 137, 0, 0);
    EXPECT_EQ(form->PaintBox2->Picture(), overview.Image());

    // The overview centres the view on the point under the mouse.
    form->PaintBox2MouseDown(TMouseButton::Left, 68, 68);
    form->PaintBox2MouseMove(68, 68);
    form->PaintBox2MouseUp(TMouseButton::Left, 68, 68);
    EXPECT_EQ(form->HB->Position(), 3527);
    EXPECT_EQ(form->VB->Position(), 3763);

    // A right drag of 100 pixels at 2 moves the map by 50 units.
    form->SetZoom(TViewZoom{1}, 2000, 2000);
    Press(form->PaintBox1, Qt::RightButton, 300, 300);
    Move(form->PaintBox1, 200, 250);
    Release(form->PaintBox1, Qt::RightButton, 200, 250);
    EXPECT_EQ(form->HB->Position(), 2050);
    EXPECT_EQ(form->VB->Position(), 2025);

    // The route check centres the faulty rail in the 359 x 300 units shown.
    Map().DeleteRail(0);
    PutRail(Map(), 1000, 1000, 1100, 1000);
    Tick();
    form->Button5Click();
    EXPECT_EQ(form->HB->Position(), (2100 - 359) / 2);
    EXPECT_EQ(form->VB->Position(), (2000 - 300) / 2);
}

TEST_F(ZoomTest, TheWheelScrollsAVisibleStepAndTheZoomStaysWithTheWindow)
{
    Scroll(1000, 1000);
    Wheel(0, -120);
    EXPECT_EQ(form->VB->Position(), 1060);
    Wheel(0, -120, Qt::ShiftModifier);
    EXPECT_EQ(form->HB->Position(), 1060);
    EXPECT_EQ(form->VB->Position(), 1060);
    // Half notches add up.
    Wheel(0, 60);
    EXPECT_EQ(form->VB->Position(), 1060);
    Wheel(0, 60);
    EXPECT_EQ(form->VB->Position(), 1000);
    // The step is in pixels: 240 units at 1/4.
    form->SetZoom(TViewZoom{-2}, 1000, 1000);
    Wheel(0, -120);
    EXPECT_EQ(form->VB->Position(), 1240);
    Tick();

    // A new map is shown at the same scale.
    form->N2Click();
    Tick();
    EXPECT_EQ(Level(), -2);
    EXPECT_EQ(Map().Zoom.Shift, -2);
}

} // namespace
