// A large map's first frame shows its view at once; the overview and the live
// route marks follow at the next tick, which then shows exactly what a window
// drawing everything at once shows.
#include "tests/ui/FormFixture.h"

namespace {

using MapBuilders::PutBorder;
using MapBuilders::PutRail;

class FirstFrameTest : public FormTest {
protected:
    struct TShown {
        QImage View;
        QImage Overview;
        QString Caption;
        friend bool operator==(const TShown&, const TShown&) = default;
    };
    TShown Shown() const { return {form->PaintBox1->Picture(), form->PaintBox2->Picture(), form->windowTitle()}; }

    /// A window showing a map of broken track (faults and unreachable rails
    /// in view) and borders, with the live check on.
    void OpenLargeMap()
    {
        Open();
        form->N20->setChecked(true); // not remembered: the next test starts as a first run
        for (std::int32_t k = 0; k < 30; ++k) {
            const std::int32_t y = 40 + 15 * k;
            PutRail(Map(), 20, y, 120, y);
            PutRail(Map(), 130, y, 230 + 200 * k, y + 7 * k);
            PutBorder(Map(), 5, y, 300, 2 * y, clRed, std::uint8_t(k % 4));
        }
        Map().SetStartRail(0);
        Map().SetFinishRail(3);
    }

    struct TScopedLateFrom {
        std::int32_t Saved = TForm1::OverviewLateFrom;
        explicit TScopedLateFrom(std::int32_t from) { TForm1::OverviewLateFrom = from; }
        ~TScopedLateFrom() { TForm1::OverviewLateFrom = Saved; }
    };
};

TEST_F(FirstFrameTest, OverviewAndLiveMarksOfALargeMapFollowATickLater)
{
    TShown whole;
    {
        const TScopedLateFrom never(INT32_MAX);
        OpenLargeMap();
        Tick();
        whole = Shown();
        ASSERT_FALSE(whole.Overview.isNull());
    }
    // One window at a time: each installs the reader of its loads.
    form.reset();
    const TScopedLateFrom small(90);
    OpenLargeMap();
    Tick();
    const TShown first = Shown();
    EXPECT_EQ(form->TicksDrawn, 1u);
    EXPECT_EQ(first.Caption, whole.Caption) << "the first frame names the map";
    EXPECT_TRUE(first.Overview.isNull()) << "the overview waits";
    EXPECT_NE(first.View, whole.View) << "the live marks wait";
    // The next tick, with nothing changed, draws the rest; the one after is idle.
    Tick();
    EXPECT_EQ(form->TicksDrawn, 2u);
    EXPECT_TRUE(Shown() == whole) << "the second frame differs from drawing everything at once";
    Tick();
    EXPECT_EQ(form->TicksDrawn, 2u);

    // Another large map made current waits the same way, and so does the
    // first when it is shown again (the overview keeps one picture); a small
    // map never waits.
    const std::int32_t large = form->MapList->Current;
    form->MapList->NewMap();
    for (std::int32_t k = 0; k < 100; ++k) PutRail(form->CurrentMap(), 10, 10 + 5 * k, 60, 10 + 5 * k);
    Tick();
    EXPECT_EQ(form->PaintBox2->Picture(), whole.Overview) << "the last map's overview stays a tick";
    Tick();
    EXPECT_NE(form->PaintBox2->Picture(), whole.Overview);
    form->MapList->Current = large;
    form->ListBox1->SetItemIndex(large);
    Tick();
    EXPECT_NE(form->PaintBox2->Picture(), whole.Overview);
    Tick();
    EXPECT_TRUE(Shown() == whole);
    form->MapList->NewMap();
    PutRail(form->CurrentMap(), 10, 10, 60, 10);
    const std::uint64_t drawn = form->TicksDrawn;
    Tick();
    EXPECT_NE(form->PaintBox2->Picture(), whole.Overview);
    Tick();
    EXPECT_EQ(form->TicksDrawn, drawn + 1);
}

TEST_F(FirstFrameTest, TheFirstTickComesWhenTheEventLoopFirstRunsNotAnIntervalLater)
{
    form = std::make_unique<TForm1>(color, picture, TCommandLine{"kestedit"});
    EXPECT_EQ(form->TicksDrawn, 0u);
    QApplication::processEvents();
    EXPECT_EQ(form->TicksDrawn, 1u);
    EXPECT_EQ(form->windowTitle(), QString::fromUtf8("Редактор карт - Новый"));
    // Tests that stop the timer at once decide every tick themselves.
    form.reset();
    Open();
    QApplication::processEvents();
    EXPECT_EQ(form->TicksDrawn, 0u);
}

} // namespace
