// The main view's gestures against the commands and dialogs that come in the
// middle of them: saves, dialogs that take the release, quick releases, and
// commands that change the map a drag is working on.
#include <QDialog>
#include <functional>
#include <random>

#include "model/MapFileIO.h"
#include "tests/ui/FormFixture.h"

namespace {

using MapBuilders::PutBorder;
using MapBuilders::PutRail;

class GestureTest : public FormTest {
protected:
    void SetUp() override
    {
        FormTest::SetUp();
        Open();
        box = form->PaintBox1;
        Tick();
    }
    void Press(int x, int y) { FormTest::Press(box, Qt::LeftButton, x, y); }
    void Move(int x, int y) { FormTest::Move(box, x, y); }
    void Release(int x, int y) { FormTest::Release(box, Qt::LeftButton, x, y); }
    /// Every element end of the current map: borders, then rails.
    std::vector<TEnds> AllEnds() const
    {
        std::vector<TEnds> ends;
        for (const TBorder& b : Map().Borders()) ends.push_back(EndsOf(b));
        for (const TRail& r : Map().Rails()) ends.push_back(EndsOf(r));
        return ends;
    }
    QWidget* box = nullptr;
};

TEST_F(GestureTest, ASaveInTheMiddleOfADragLeavesWhatFollowsItUnsaved)
{
    const std::string file = folder.File("plan.KS");
    dialogs.Save->Choose(folder.File("plan"));
    form->N4->trigger();
    Tool(ToolRail);

    // Press, move, Ctrl+S, move on, release: the file holds the rail as saved.
    Press(100, 100);
    Move(200, 100);
    Tick();
    ASSERT_TRUE(Key(Qt::Key_S, Qt::ControlModifier));
    EXPECT_EQ(ReadBytes(file), MapToBytes(Map()));
    EXPECT_FALSE(Map().Modified);
    Move(300, 150);
    Tick();
    EXPECT_TRUE(Map().Modified);
    Release(300, 150);
    EXPECT_EQ(EndsOf(Map().Rails()[0]), (TEnds{100, 100, 300, 150}));
    EXPECT_TRUE(Map().Modified);
    messages.Service.Answer(TMsgResult::Cancel);
    EXPECT_FALSE(form->close());
    ASSERT_EQ(messages.Service.Questions.size(), 1u);
    EXPECT_EQ(messages.Service.Questions[0].Text, "Карта plan была изменена. Сохранить?");

    // Back where it was saved before the release: as saved, and redo reaches that state again.
    ASSERT_TRUE(Key(Qt::Key_S, Qt::ControlModifier));
    Press(100, 300);
    Move(200, 300);
    Tick();
    Key(Qt::Key_S, Qt::ControlModifier);
    Move(250, 350);
    Tick();
    Move(200, 300);
    Release(200, 300);
    EXPECT_FALSE(Map().Modified);
    EXPECT_EQ(ReadBytes(file), MapToBytes(Map()));
    form->N11->trigger();
    EXPECT_TRUE(Map().Modified);
    form->N12->trigger();
    EXPECT_FALSE(Map().Modified);

    // Escape after the save takes the whole rail back, which the file still holds.
    Press(400, 400);
    Move(500, 400);
    Tick();
    Key(Qt::Key_S, Qt::ControlModifier);
    Move(550, 450);
    Tick();
    ASSERT_TRUE(Key(Qt::Key_Escape));
    EXPECT_EQ(Map().RailCount(), 2);
    EXPECT_TRUE(Map().Modified);
    Release(550, 450);
    EXPECT_TRUE(Map().Modified);
}

// A dialog opened by a key while the button is held takes the release: the
// view never sees it.
TEST_F(GestureTest, ADialogDuringADragEndsItWhereTheMouseWasAndNoReleaseIsAwaited)
{
    const std::pair<const char*, std::function<void()>> commands[] = {
        {"Ctrl+M, cancel",
         [&] {
             messages.Service.Answer(TMsgResult::Cancel);
             Key(Qt::Key_M, Qt::ControlModifier);
         }},
        {"Ctrl+O, cancel",
         [&] {
             dialogs.Open->Cancel();
             Key(Qt::Key_O, Qt::ControlModifier);
         }},
        {"Ctrl+S on an unnamed map, cancel",
         [&] {
             dialogs.Save->Cancel();
             Key(Qt::Key_S, Qt::ControlModifier);
         }},
        {"Alt+о, cancel",
         [&] {
             color.Cancel();
             form->Button1->click();
         }},
    };
    for (const auto& [name, command] : commands) {
        form->N2Click();
        const std::int32_t line = form->MapList->Current;
        TMap& drawn = Map();
        Tool(ToolRail);
        Press(100, 100);
        Move(250, 120);
        command();
        ReleaseElsewhere(Qt::LeftButton);
        EXPECT_EQ(form->ToolAction(), 0) << name;
        ASSERT_EQ(drawn.RailCount(), 1) << name;
        EXPECT_EQ(EndsOf(drawn.Rails()[0]), (TEnds{100, 100, 250, 120})) << name;
        Move(400, 400);
        Tick();
        EXPECT_EQ(EndsOf(drawn.Rails()[0]), (TEnds{100, 100, 250, 120})) << name;
        form->ListBox1->setCurrentRow(line);
        ASSERT_TRUE(Key(Qt::Key_Z, Qt::ControlModifier));
        EXPECT_EQ(drawn.RailCount(), 0) << name;
    }
}

TEST_F(GestureTest, AMouseEventWithoutTheButtonEndsAGestureWhoseReleaseWentElsewhere)
{
    Tool(ToolRail);
    Press(100, 100);
    Move(200, 100);
    Tick();
    ReleaseElsewhere(Qt::LeftButton);
    Move(300, 200); // as the release
    Move(400, 400);
    Tick();
    ASSERT_EQ(Map().RailCount(), 1);
    EXPECT_EQ(EndsOf(Map().Rails()[0]), (TEnds{100, 100, 300, 200}));
    form->N11->trigger();
    EXPECT_EQ(Map().RailCount(), 0);

    // A pan likewise; and a press of the button the view still counts as held.
    Scroll(500, 500);
    FormTest::Press(box, Qt::RightButton, 50, 50);
    Move(40, 40);
    ReleaseElsewhere(Qt::RightButton);
    Move(0, 0);
    EXPECT_FALSE(form->Panning());
    EXPECT_EQ(form->HB->Position(), 510);
    Scroll(0, 0);
    Press(100, 100);
    Move(150, 100);
    Tick();
    ReleaseElsewhere(Qt::LeftButton);
    Press(300, 300);
    EXPECT_EQ(EndsOf(Map().Rails()[0]), (TEnds{100, 100, 300, 300}));
    Release(300, 300);

    // A real modal dialog over the window ends the gesture when it opens.
    Press(100, 500);
    Move(300, 500);
    QDialog dialog(form.get());
    dialog.setModal(true);
    QTimer::singleShot(0, &dialog, &QDialog::reject);
    dialog.exec();
    EXPECT_EQ(form->ToolAction(), 0);
    EXPECT_EQ(EndsOf(Map().Rails().back()), (TEnds{100, 500, 300, 500}));
}

// However quick the drag, the release puts the end where a tick at the
// release point would have put it: a slow drag is the reference.
TEST_F(GestureTest, AQuickDragEndsWhereASlowOneDoes)
{
    PutRail(Map(), 100, 100, 200, 100);
    PutRail(Map(), 200, 100, 200, 300);
    PutBorder(Map(), 600, 500, 700, 500);
    std::mt19937 random(26);
    const auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    const TMap& map = Map();
    // A view point within a pixel or two of an element end, so that snapping counts.
    const auto nearEnd = [&] {
        const TLine& line = pick(0, 2) == 2 ? static_cast<const TLine&>(map.Borders()[0])
                                            : map.Rails()[static_cast<std::size_t>(pick(0, 1))];
        const bool first = pick(0, 1) == 0;
        const auto pixel = [&](std::int32_t w, std::int32_t origin) {
            return static_cast<int>(map.Zoom.ToPixels(w - origin)) + pick(-2, 2);
        };
        return QPoint(pixel(first ? line.X1 : line.X2, map.ViewX), pixel(first ? line.Y1 : line.Y2, map.ViewY));
    };
    const auto anywhere = [&] { return pick(0, 3) == 0 ? nearEnd() : QPoint(pick(0, 717), pick(0, 599)); };
    // The drag, then everything's ends; its step taken back.
    const auto drag = [&](QPoint from, QPoint mid, QPoint to, bool tickAtMid, bool tickAtEnd) {
        const std::size_t steps = map.History().Position();
        Press(from.x(), from.y());
        Move(mid.x(), mid.y());
        if (tickAtMid) Tick();
        Move(to.x(), to.y());
        if (tickAtEnd) Tick();
        Release(to.x(), to.y());
        const std::vector<TEnds> ends = AllEnds();
        if (map.History().Position() > steps) form->N11->trigger();
        return ends;
    };
    int moved = 0;
    for (const std::int32_t shift : {0, 1, -1, 3}) {
        form->SetZoom(TViewZoom{shift}, 90, 80);
        Tick();
        for (int trial = 0; trial < 40; ++trial) {
            const std::int32_t tool = trial % 3 == 0 ? ToolSelect : trial % 3 == 1 ? ToolRail : pick(0, 3);
            Tool(tool);
            const QPoint from = tool == ToolSelect ? nearEnd() : anywhere();
            const QPoint mid = anywhere();
            const QPoint to = anywhere();
            const bool tickAtMid = pick(0, 1) == 0;
            const std::vector<TEnds> slow = drag(from, mid, to, tickAtMid, true);
            EXPECT_EQ(drag(from, mid, to, tickAtMid, false), slow)
                << "zoom " << shift << " tool " << tool << " from " << from.x() << "," << from.y() << " to " << to.x()
                << "," << to.y();
            moved += slow != AllEnds();
        }
    }
    EXPECT_GT(moved, 80);
}

TEST_F(GestureTest, CommandsDuringADragEndItOnItsOwnMapFirst)
{
    // Ctrl+N while drawing: the rail ends in the map it began in, as its release would.
    Tool(ToolRail);
    Press(100, 100);
    Move(300, 100);
    ASSERT_TRUE(Key(Qt::Key_N, Qt::ControlModifier));
    const TMap& first = form->MapList->Map(0);
    ASSERT_EQ(first.RailCount(), 1);
    EXPECT_EQ(EndsOf(first.Rails()[0]), (TEnds{100, 100, 300, 100}));
    Move(350, 150);
    Tick();
    Release(350, 150);
    EXPECT_EQ(Map().RailCount(), 0);
    EXPECT_EQ(EndsOf(first.Rails()[0]), (TEnds{100, 100, 300, 100}));

    // Another line of the list likewise; Escape afterwards takes nothing back.
    Press(100, 200);
    Move(300, 200);
    form->ListBox1->setCurrentRow(0);
    EXPECT_TRUE(Key(Qt::Key_Escape));
    Release(300, 200);
    ASSERT_EQ(form->MapList->Map(1).RailCount(), 1);
    EXPECT_EQ(EndsOf(form->MapList->Map(1).Rails()[0]), (TEnds{100, 200, 300, 200}));

    // "Поменять" while drawing reverses the rail as drawn to the pointer; nothing follows the mouse after.
    Press(100, 300);
    Move(300, 300);
    Tick();
    form->Button3->click();
    Move(500, 500);
    Tick();
    Release(500, 500);
    EXPECT_EQ(EndsOf(Map().Rails()[1]), (TEnds{300, 300, 100, 300}));
    form->N11->trigger();
    EXPECT_EQ(EndsOf(Map().Rails()[1]), (TEnds{100, 300, 300, 300}));

    // While moving an end: the joint stays where the drag left it, the selected rail reverses.
    Tool(ToolSelect);
    Press(300, 300); // rail 1's second end, joined to nothing
    Move(320, 330);
    Tick();
    form->Button3->click();
    Move(450, 450);
    Tick();
    Release(450, 450);
    EXPECT_EQ(EndsOf(Map().Rails()[1]), (TEnds{320, 330, 100, 300}));

    // Delete while moving an end, then Escape: the deletion stays, the move before it too.
    Press(100, 100);
    Move(120, 60);
    Tick();
    ASSERT_TRUE(Key(Qt::Key_Delete));
    ASSERT_TRUE(Key(Qt::Key_Escape));
    Release(120, 60);
    ASSERT_EQ(Map().RailCount(), 1);
    EXPECT_EQ(EndsOf(Map().Rails()[0]), (TEnds{320, 330, 100, 300}));
    form->N11->trigger();
    EXPECT_EQ(EndsOf(Map().Rails()[0]), (TEnds{120, 60, 300, 100}));
}

// A second button pressed while a gesture is in progress: each gesture has
// its rule for it, and the first release ends every one of them.
TEST_F(GestureTest, ASecondButtonDuringAGestureFollowsTheGesturesRules)
{
    PutRail(Map(), 100, 100, 300, 100);
    PutBorder(Map(), 100, 200, 300, 200);
    Tick();

    // Moving an end: another press of the select tool only selects (here
    // beside the border's end, which stays), and the end pressed first moves on.
    Tool(ToolSelect);
    Press(300, 100);
    Move(320, 120);
    Tick();
    FormTest::Press(box, Qt::MiddleButton, 100, 199);
    EXPECT_EQ(Map().SelBorder, 0);
    EXPECT_EQ(Map().SelRail, -1);
    EXPECT_TRUE(form->MovingEnds());
    Move(340, 140);
    FormTest::Release(box, Qt::MiddleButton, 340, 140);
    EXPECT_FALSE(form->MovingEnds());
    EXPECT_EQ(EndsOf(Map().Rails()[0]), (TEnds{100, 100, 340, 140}));
    EXPECT_EQ(EndsOf(Map().Borders()[0]), (TEnds{100, 200, 300, 200}));
    Release(340, 140);

    // Drawing out: a press with a tool leaves the first element as the last
    // tick drew it and starts another; both make one step.
    Tool(ToolRail);
    Press(100, 400);
    Move(200, 400);
    Tick();
    Move(250, 450);
    FormTest::Press(box, Qt::MiddleButton, 400, 400);
    Move(500, 420);
    Release(500, 420);
    FormTest::Release(box, Qt::MiddleButton, 500, 420);
    ASSERT_EQ(Map().RailCount(), 3);
    EXPECT_EQ(EndsOf(Map().Rails()[1]), (TEnds{100, 400, 200, 400}));
    EXPECT_EQ(EndsOf(Map().Rails()[2]), (TEnds{400, 400, 500, 420}));
    form->N11->trigger();
    EXPECT_EQ(Map().RailCount(), 1);

    // Escape while drawing and panning takes back the rail; the pan goes on to its release.
    const std::size_t steps = Map().History().Position();
    Scroll(100, 100);
    Press(300, 300);
    FormTest::Press(box, Qt::RightButton, 300, 300);
    Move(250, 300);
    EXPECT_EQ(form->HB->Position(), 150);
    ASSERT_TRUE(Key(Qt::Key_Escape));
    EXPECT_EQ(Map().RailCount(), 1);
    EXPECT_EQ(form->ToolAction(), 0);
    EXPECT_TRUE(form->Panning());
    Move(200, 300);
    EXPECT_EQ(form->HB->Position(), 200);
    FormTest::Release(box, Qt::RightButton, 200, 300);
    EXPECT_FALSE(form->Panning());
    Release(200, 300);
    EXPECT_EQ(Map().RailCount(), 1);
    EXPECT_EQ(Map().History().Position(), steps);
}

TEST_F(GestureTest, ElementsAlongTheWorldsFarEdgesAreSeenAtEveryZoom)
{
    // Each border runs the world's length, so that only its line (no end
    // circle) can show away from the view's sides.
    const struct {
        TColor color;
        std::int32_t x1, y1, x2, y2, originX, originY;
        bool alongX;
    } edges[] = {
        {0x00FFFF, 0, 10000, 10000, 10000, 1000, 10000, true}, // the bottom edge, the view at the bottom
        {0xFF00FF, 10000, 0, 10000, 10000, 10000, 1000, false}, // the right edge, the view at the right
    };
    for (const auto& edge : edges) PutBorder(Map(), edge.x1, edge.y1, edge.x2, edge.y2, edge.color);
    for (std::int32_t shift = TViewZoom::MinShift; shift <= TViewZoom::MaxShift; ++shift) {
        for (const auto& edge : edges) {
            form->SetZoom(TViewZoom{shift}, edge.originX, edge.originY);
            Tick();
            const QImage picture = form->PaintBox1->Picture().convertToFormat(QImage::Format_RGB32);
            const QRgb shown = qRgb(edge.color & 0xFF, (edge.color >> 8) & 0xFF, edge.color >> 16);
            const int margin = 10;
            bool seen = false;
            for (int y = edge.alongX ? 0 : margin; y < picture.height() - (edge.alongX ? 0 : margin); ++y)
                for (int x = edge.alongX ? margin : 0; x < picture.width() - (edge.alongX ? margin : 0); ++x)
                    seen = seen || picture.pixel(x, y) == shown;
            EXPECT_TRUE(seen) << "zoom " << shift << ", border at " << edge.x1 << "," << edge.y1;
        }
    }
}

} // namespace
