// The buttons of the left panel acting on the current map.
#include "tests/ui/FormFixture.h"

namespace {

using MapBuilders::PutBorder;
using MapBuilders::PutRail;

class CommandsTest : public FormTest {
protected:
    void SetUp() override
    {
        FormTest::SetUp();
        Open();
        Tick();
    }
    /// One rail and one border, both selected, nothing modified.
    void RailAndBorder()
    {
        PutRail(Map(), 100, 100, 300, 100);
        PutBorder(Map(), 100, 200, 300, 200, 0x0000FF, bkArch);
        Map().SelectRail(0);
        Map().SelectBorder(0);
        Map().Modified = false;
    }
};

TEST_F(CommandsTest, ButtonsWithNothingSelectedChangeNothing)
{
    PutRail(Map(), 100, 100, 300, 100);
    PutBorder(Map(), 100, 200, 300, 200, 0x0000FF, bkWall);
    const std::pair<QPushButton*, const char*> buttons[] = {
        {form->Button3, "reverse"}, {form->Button2, "delete"}, {form->Button4, "recolour"}, {form->Button8, "remember"}};
    color.SetColor(0x00FF00);
    for (const auto& [button, name] : buttons) {
        button->click();
        EXPECT_FALSE(Map().Modified) << name;
        EXPECT_EQ(Map().RailCount() + Map().BorderCount(), 2) << name;
        EXPECT_EQ(Map().Rails()[0].X1, 100) << name;
        EXPECT_EQ(Map().Borders()[0].Kind, bkWall) << name;
        EXPECT_EQ(Map().Borders()[0].Color, 0x0000FFu) << name;
        EXPECT_EQ(color.Color(), 0x00FF00u) << name;
    }
}

TEST_F(CommandsTest, StartAndFinishWithoutASelectionClearThem)
{
    PutRail(Map(), 100, 100, 300, 100);
    PutRail(Map(), 300, 100, 500, 100);
    Map().SetStartRail(0);
    Map().SetFinishRail(1);
    form->Button6->click();
    EXPECT_EQ(Map().StartRail, -1);
    EXPECT_FALSE(Map().Rails()[0].IsStart);
    form->Button7->click();
    EXPECT_EQ(Map().FinishRail, -1);
}

TEST_F(CommandsTest, StartAndFinishMarkTheSelectedRailButNeverTheSameOne)
{
    PutRail(Map(), 100, 100, 300, 100);
    PutRail(Map(), 300, 100, 500, 100);
    Map().SelectRail(1);
    form->Button6->click();
    form->Button7->click();
    EXPECT_EQ(Map().StartRail, 1);
    EXPECT_EQ(Map().FinishRail, -1);
    Map().SelectRail(0);
    form->Button7->click();
    EXPECT_EQ(Map().FinishRail, 0);
    EXPECT_TRUE(Map().Rails()[0].IsFinish);
}

TEST_F(CommandsTest, ReverseTurnsTheRailAndCyclesTheBorderKind)
{
    RailAndBorder();
    form->Button3->click();
    EXPECT_EQ(Map().Rails()[0].X1, 300);
    EXPECT_EQ(Map().Rails()[0].X2, 100);
    EXPECT_EQ(Map().Borders()[0].Kind, bkFlat);
    EXPECT_TRUE(Map().Modified);
}

TEST_F(CommandsTest, DeleteRemovesTheSelectedRailAndTheSelectedBorder)
{
    RailAndBorder();
    PutRail(Map(), 600, 600, 700, 600);
    form->Button2->click();
    ASSERT_EQ(Map().RailCount(), 1);
    EXPECT_EQ(Map().Rails()[0].X1, 600);
    EXPECT_EQ(Map().BorderCount(), 0);
    EXPECT_EQ(Map().SelRail, -1);
    EXPECT_EQ(Map().SelBorder, -1);
}

TEST_F(CommandsTest, TheColourDialogHoldsTheDrawingColour)
{
    RailAndBorder();
    color.Choose(0x00AA00);
    form->Button1->click();
    EXPECT_EQ(color.Color(), 0x00AA00u);
    color.Cancel();
    form->Button1->click();
    EXPECT_EQ(color.Color(), 0x00AA00u);
    EXPECT_EQ(color.StartColors, (std::vector<TColor>{clBlack, 0x00AA00}));

    form->Button4->click();
    EXPECT_EQ(Map().Borders()[0].Color, 0x00AA00u);
    Map().SetBorderColor(0, 0x112233);
    form->Button8->click();
    EXPECT_EQ(color.Color(), 0x112233u);
}

TEST_F(CommandsTest, TheRouteCheckSelectsAndCentresTheFaultyRail)
{
    const struct {
        std::int32_t x1, y1, x2, y2;
        std::int32_t hb, vb;
    } cases[] = {
        {8000, 8000, 8100, 8000, 7691, 7700},  // the midpoint comes to the middle of the view
        {9900, 9900, 9990, 9900, 9283, 9401},  // held at the end of the scroll range
        {10, 20, 90, 20, 0, 0},                // and at its start
    };
    for (const auto& c : cases) {
        form->N2Click();
        PutRail(Map(), 5000, 5000, 5100, 5000);
        PutRail(Map(), c.x1, c.y1, c.x2, c.y2);
        Map().SetStartRail(0);
        Map().SetFinishRail(1);
        Scroll(1234, 2345);
        Tick();
        form->Button5->click();
        EXPECT_EQ(Map().SelRail, 1) << c.x1;
        EXPECT_EQ(form->HB->Position(), c.hb) << c.x1;
        EXPECT_EQ(form->VB->Position(), c.vb) << c.x1;
        Tick();
        EXPECT_EQ(Map().ViewX, c.hb);
    }
}

TEST_F(CommandsTest, ARouteCheckWithoutFaultClearsTheSelectionAndKeepsTheView)
{
    const std::vector<std::pair<std::int32_t, std::int32_t>> octagon = {
        {2000, 1000}, {3000, 1000}, {3700, 1700}, {3700, 2700}, {3000, 3400}, {2000, 3400}, {1300, 2700}, {1300, 1700}};
    TMap ring = MapBuilders::Ring(octagon);
    MapBuilders::ReplaceRails(Map(), ring.Rails());
    Map().SetStartRail(0);
    Map().SetFinishRail(4);
    Map().SelectRail(2);
    Scroll(1234, 2345);
    Tick();
    form->Button5->click();
    EXPECT_EQ(Map().SelRail, -1);
    EXPECT_EQ(form->HB->Position(), 1234);
    EXPECT_EQ(form->VB->Position(), 2345);
    EXPECT_EQ(Map().RailLinks(0).Next1, 1);
}

} // namespace
