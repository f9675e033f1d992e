// A tick with nothing new to show draws nothing, and what stays on screen is
// exactly what drawing anew would show.
#include "tests/ui/FormFixture.h"

namespace {

using MapBuilders::PutBorder;
using MapBuilders::PutRail;


class IdleTickTest : public FormTest {
protected:
    struct TShown {
        QImage View;
        QImage Overview;
        QString Caption;
        friend bool operator==(const TShown&, const TShown&) = default;
    };
    TShown Shown() const { return {form->PaintBox1->Picture(), form->PaintBox2->Picture(), form->windowTitle()}; }
    /// Ticks; expects the tick to draw nothing and the screen to be what a
    /// full tick then draws.
    void ExpectIdleTickMatchesAFullOne()
    {
        const std::uint64_t drawn = form->TicksDrawn;
        Tick();
        EXPECT_EQ(form->TicksDrawn, drawn) << "an idle tick drew";
        const TShown kept = Shown();
        form->ForgetLastTick();
        Tick();
        EXPECT_EQ(form->TicksDrawn, drawn + 1);
        EXPECT_TRUE(kept == Shown()) << "the skipped tick left other pixels than a full one draws";
    }
};

TEST_F(IdleTickTest, NothingChangedMeansNothingDrawn)
{
    Open();
    PutRail(Map(), 100, 100, 300, 100);
    PutBorder(Map(), 50, 50, 50, 400, clRed, bkWall);
    Tick();
    EXPECT_EQ(form->TicksDrawn, 1u);
    ExpectIdleTickMatchesAFullOne();
}

TEST_F(IdleTickTest, EveryInputOfTheFrameMakesTheNextTickDraw)
{
    Open();
    PutRail(Map(), 100, 100, 300, 100);
    Tick();
    const auto expectDrawn = [&](const char* what) {
        const std::uint64_t drawn = form->TicksDrawn;
        Tick();
        EXPECT_EQ(form->TicksDrawn, drawn + 1) << what;
        ExpectIdleTickMatchesAFullOne();
    };
    Move(form->PaintBox1, 40, 50);
    expectDrawn("the mouse moved");
    Scroll(10, 20);
    expectDrawn("the view scrolled");
    Map().ReverseRail(0);
    expectDrawn("a rail was reversed");
    Map().SelectRail(0);
    expectDrawn("a rail was selected");
    form->N2Click();
    expectDrawn("another map became current");
    form->ListBox1->setCurrentRow(0);
    expectDrawn("the list chose the first map");
}

TEST_F(IdleTickTest, DrawingOutSkipsOnlyWhileTheMouseRests)
{
    Open();
    PutRail(Map(), 100, 100, 300, 100);
    Tick();
    Tool(ToolRail);
    Press(form->PaintBox1, Qt::LeftButton, 302, 98);
    Move(form->PaintBox1, 500, 300);
    Tick();
    EXPECT_EQ(Map().Rails()[1].X2, 500);
    // That tick drew the view before it moved the end to the mouse: the next
    // one draws the end where it now is, and only then is there nothing new.
    const std::uint64_t moved = form->TicksDrawn;
    Tick();
    EXPECT_EQ(form->TicksDrawn, moved + 1);
    ExpectIdleTickMatchesAFullOne();
    Move(form->PaintBox1, 520, 330);
    Tick();
    EXPECT_EQ(Map().Rails()[1].X2, 520);
    Release(form->PaintBox1, Qt::LeftButton, 520, 330);
    const std::uint64_t drawn = form->TicksDrawn;
    Tick();
    EXPECT_EQ(form->TicksDrawn, drawn + 1); // the release ended the drawing out
    ExpectIdleTickMatchesAFullOne();
}

} // namespace
