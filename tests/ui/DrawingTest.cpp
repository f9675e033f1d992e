// Drawing out, picking, panning and the overview, driven by mouse events.
#include "draw/MapDraw.h"
#include "draw/Overview.h"
#include "tests/ui/FormFixture.h"

namespace {

using MapBuilders::PutRail;

class DrawingTest : public FormTest {
protected:
    void SetUp() override
    {
        FormTest::SetUp();
        Open();
        Tick();
    }
};

TEST_F(DrawingTest, ARailSnapsBothEndsToExistingEnds)
{
    PutRail(Map(), 100, 100, 200, 100);
    Tool(ToolRail);
    Drag(form->PaintBox1, Qt::LeftButton, {98, 102}, {303, 297});
    ASSERT_EQ(Map().RailCount(), 2);
    EXPECT_EQ(EndsOf(Map().Rails()[1]), (TEnds{100, 100, 303, 297}));

    Drag(form->PaintBox1, Qt::LeftButton, {400, 400}, {202, 98});
    ASSERT_EQ(Map().RailCount(), 3);
    EXPECT_EQ(EndsOf(Map().Rails()[2]), (TEnds{400, 400, 200, 100}));
    EXPECT_EQ(Map().SelRail, 2);
    EXPECT_EQ(form->ToolAction(), 0);
}

TEST_F(DrawingTest, ABorderTakesTheToolsKindTheDialogsColourAndTheScroll)
{
    color.SetColor(0x123456);
    Scroll(50, 30);
    for (std::int32_t kind = 0; kind < 4; ++kind) {
        Tool(kind);
        Drag(form->PaintBox1, Qt::LeftButton, {10, 20 + 40 * kind}, {110, 70 + 40 * kind});
        ASSERT_EQ(Map().BorderCount(), kind + 1);
        const TBorder& border = Map().Borders().back();
        EXPECT_EQ(EndsOf(border), (TEnds{60, 50 + 40 * kind, 160, 100 + 40 * kind})) << kind;
        EXPECT_EQ(border.Kind, kind);
        EXPECT_EQ(border.Color, 0x123456u);
        EXPECT_EQ(Map().SelBorder, kind);
    }
}

TEST_F(DrawingTest, TheMiddleButtonDrawsLikeTheLeft)
{
    Tool(ToolRail);
    Drag(form->PaintBox1, Qt::MiddleButton, {10, 10}, {10, 60});
    ASSERT_EQ(Map().RailCount(), 1);
    EXPECT_EQ(EndsOf(Map().Rails()[0]), (TEnds{10, 10, 10, 60}));
}

TEST_F(DrawingTest, AClickLeavesNoRailButABorderOfLengthZero)
{
    Tool(ToolRail);
    Drag(form->PaintBox1, Qt::LeftButton, {300, 300}, {300, 300});
    EXPECT_EQ(Map().RailCount(), 0);
    EXPECT_TRUE(Map().Modified);
    Tool(0);
    Drag(form->PaintBox1, Qt::LeftButton, {300, 300}, {300, 300});
    ASSERT_EQ(Map().BorderCount(), 1);
    EXPECT_EQ(EndsOf(Map().Borders()[0]), (TEnds{300, 300, 300, 300}));
    EXPECT_EQ(Map().Borders()[0].Color, clBlack);
}

TEST_F(DrawingTest, WithoutAToolAPressAddsNothingAndTheReleaseNormalises)
{
    PutRail(Map(), 100, 100, 20000, 100);
    Drag(form->PaintBox1, Qt::LeftButton, {100, 100}, {200, 200});
    EXPECT_EQ(Map().RailCount(), 0);
    EXPECT_EQ(Map().BorderCount(), 0);
    EXPECT_EQ(form->RadioGroup1->ItemIndex(), -1);
}

TEST_F(DrawingTest, TheSelectToolPicksAtThePressInViewCoordinates)
{
    PutRail(Map(), 1100, 1100, 1300, 1100);
    MapBuilders::PutBorder(Map(), 1100, 1200, 1300, 1200);
    Scroll(1000, 1000);
    Tick();
    Tool(ToolSelect);
    Press(form->PaintBox1, Qt::LeftButton, 150, 102);
    EXPECT_EQ(Map().SelRail, 0);
    EXPECT_EQ(form->ToolAction(), 0);
    Release(form->PaintBox1, Qt::LeftButton, 150, 102);
    Press(form->PaintBox1, Qt::LeftButton, 150, 199);
    EXPECT_EQ(Map().SelRail, -1);
    EXPECT_EQ(Map().SelBorder, 0);
    Release(form->PaintBox1, Qt::LeftButton, 150, 199);
    Press(form->PaintBox1, Qt::LeftButton, 500, 500);
    EXPECT_EQ(Map().SelBorder, -1);
    EXPECT_EQ(Map().RailCount() + Map().BorderCount(), 2);
}

TEST_F(DrawingTest, RightDragPansWithinTheScrollLimitsAndAddsNothing)
{
    Tool(ToolRail);
    Scroll(100, 100);
    Press(form->PaintBox1, Qt::RightButton, 300, 300);
    const struct {
        int x, y;
        std::int32_t hb, vb;
    } moves[] = {{250, 240, 150, 160}, {380, 330, 20, 70}, {5000, 5000, 0, 0}, {-20000, -20000, 9283, 9401}};
    for (const auto& m : moves) {
        Move(form->PaintBox1, m.x, m.y);
        EXPECT_EQ(form->HB->Position(), m.hb) << m.x;
        EXPECT_EQ(form->VB->Position(), m.vb) << m.y;
        EXPECT_EQ(form->MouseX, m.x);
    }
    Release(form->PaintBox1, Qt::RightButton, 0, 0);
    EXPECT_FALSE(form->Panning());
    Move(form->PaintBox1, 0, 0);
    EXPECT_EQ(form->HB->Position(), 9283);
    EXPECT_EQ(Map().RailCount(), 0);
    EXPECT_EQ(Map().SelRail, -1);
}

TEST_F(DrawingTest, ARightPressWhileDrawingPansAndTheFirstReleaseEndsBoth)
{
    Tool(ToolRail);
    Press(form->PaintBox1, Qt::LeftButton, 100, 100);
    Press(form->PaintBox1, Qt::RightButton, 100, 100);
    EXPECT_EQ(form->ToolAction(), 2);
    Move(form->PaintBox1, 60, 100);
    EXPECT_EQ(form->HB->Position(), 40);
    Release(form->PaintBox1, Qt::RightButton, 60, 100);
    EXPECT_EQ(form->ToolAction(), 0);
    EXPECT_FALSE(form->Panning());
}

TEST_F(DrawingTest, TheOverviewScrollsOnMovesOnlyWhileAButtonIsHeld)
{
    PutRail(Map(), 0, 0, 10000, 10000);
    Scroll(500, 700);
    Tick();
    Move(form->PaintBox2, 68, 68);
    EXPECT_EQ(form->HB->Position(), 500);
    Press(form->PaintBox2, Qt::LeftButton, 30, 40);
    EXPECT_EQ(form->HB->Position(), 500);
    EXPECT_EQ(form->VB->Position(), 700);
    Move(form->PaintBox2, 68, 70);
    const TPoint expected = OverviewToView(Map(), 68, 70, 137, 137);
    ASSERT_GT(expected.x, 0);
    EXPECT_EQ(form->HB->Position(), expected.x);
    EXPECT_EQ(form->VB->Position(), expected.y);
    Move(form->PaintBox2, 500, -300);
    EXPECT_EQ(form->HB->Position(), 9283);
    EXPECT_EQ(form->VB->Position(), 0);
    Release(form->PaintBox2, Qt::LeftButton, 500, -300);
    Move(form->PaintBox2, 68, 70);
    EXPECT_EQ(form->HB->Position(), 9283);
}

TEST_F(DrawingTest, AReleaseOverTheMainViewEndsOverviewTracking)
{
    Press(form->PaintBox2, Qt::RightButton, 10, 10);
    EXPECT_TRUE(form->OverviewTracking());
    Release(form->PaintBox1, Qt::LeftButton, 10, 10);
    EXPECT_FALSE(form->OverviewTracking());
}

TEST_F(DrawingTest, TheTickShowsTheViewAndTheOverviewOfTheCurrentMap)
{
    PutRail(Map(), 0, 0, 5000, 5000);
    Scroll(20, 10);
    Tick();
    TMap copy = Map();
    TQtBitmap expected;
    expected.SetWidth(718);
    expected.SetHeight(600);
    DrawFrame(copy, expected.Canvas(), 0, 0, 0);
    EXPECT_EQ(form->PaintBox1->Picture(), expected.Image());
    EXPECT_EQ(Map().ViewX, 20);
    EXPECT_EQ(Map().ViewY, 10);
    EXPECT_EQ(Map().ViewWidth, 718);
    EXPECT_EQ(Map().ViewHeight, 600);

    TQtBitmap overview;
    overview.SetWidth(137);
    overview.SetHeight(137);
    DrawOverviewWithViewport(copy, overview.Canvas(), 137, 137, 20, 10);
    EXPECT_EQ(form->PaintBox2->Picture(), overview.Image());
}

// While the button is held, keyboard commands may take away the element being
// drawn out or the map that holds it; the ticks must then move nothing.
TEST_F(DrawingTest, DeletingTheRailBeingDrawnLeavesTheOthersInPlace)
{
    PutRail(Map(), 100, 100, 300, 100);
    Tool(ToolRail);
    Press(form->PaintBox1, Qt::LeftButton, 500, 500);
    form->Button2Click();
    Move(form->PaintBox1, 50, 50);
    Tick();
    Release(form->PaintBox1, Qt::LeftButton, 50, 50);
    ASSERT_EQ(Map().RailCount(), 1);
    EXPECT_EQ(EndsOf(Map().Rails()[0]), (TEnds{100, 100, 300, 100}));
}

TEST_F(DrawingTest, ANewCurrentMapWhileDrawingIsNotTouched)
{
    Tool(0);
    Press(form->PaintBox1, Qt::LeftButton, 500, 500);
    TMap& first = Map();
    form->N2Click();
    MapBuilders::PutBorder(Map(), 10, 10, 20, 20);
    Move(form->PaintBox1, 50, 50);
    Tick();
    EXPECT_EQ(EndsOf(Map().Borders()[0]), (TEnds{10, 10, 20, 20}));
    EXPECT_EQ(EndsOf(first.Borders()[0]), (TEnds{500, 500, 500, 500}));
    form->c1Click();
    Tick();
    messages.Service.Answer(TMsgResult::No);
    form->c1Click();
    Tick();
    Release(form->PaintBox1, Qt::LeftButton, 50, 50);
    EXPECT_EQ(form->MapList->Count(), 1);
}

} // namespace
