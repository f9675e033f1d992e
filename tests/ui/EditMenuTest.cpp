// The Edit menu's undo and redo, the Delete and Escape keys and moving
// element ends with the select tool, driven through the real window.
#include <QMenu>
#include <QMenuBar>

#include "tests/ui/FormFixture.h"

namespace {

using MapBuilders::PutBorder;
using MapBuilders::PutRail;

class EditMenuTest : public FormTest {
protected:
    void SetUp() override
    {
        FormTest::SetUp();
        Open();
        Tick();
    }
    QString Text(const char* utf8) const { return QString::fromUtf8(utf8); }
    void Undo() const { form->N11->trigger(); }
    void Redo() const { form->N12->trigger(); }
    /// Two rails joined end to start at (200, 100), and a border far away; nothing modified.
    void Joint()
    {
        PutRail(Map(), 100, 100, 200, 100);
        PutRail(Map(), 200, 100, 200, 300);
        PutBorder(Map(), 600, 500, 700, 500);
        Map().MarkClean();
        Tool(ToolSelect);
    }
};

TEST_F(EditMenuTest, TheEditMenuFollowsFileAndNamesTheStepsItWouldUndoAndRedo)
{
    const QList<QAction*> menus = form->MainMenu1->actions();
    ASSERT_EQ(menus.size(), 3);
    EXPECT_EQ(menus[1], form->N10->menuAction());
    EXPECT_EQ(menus[2], form->N13->menuAction());
    EXPECT_EQ(form->N10->title(), Text("Правка"));
    const QList<QAction*> edit = form->N10->actions();
    ASSERT_GE(edit.size(), 5);
    EXPECT_EQ(edit.mid(0, 2), (QList<QAction*>{form->N11, form->N12}));
    EXPECT_TRUE(edit[edit.size() - 3]->isSeparator());
    EXPECT_EQ(edit.mid(edit.size() - 2), (QList<QAction*>{form->ArcItem, form->CoordinatesItem}));    EXPECT_EQ(form->N11->shortcuts(), QList<QKeySequence>{QKeySequence("Ctrl+Z")});
    EXPECT_EQ(form->N12->shortcuts(), (QList<QKeySequence>{QKeySequence("Ctrl+Y"), QKeySequence("Ctrl+Shift+Z")}));
    // No key of any menu is taken twice.
    QList<QKeySequence> keys;
    QList<QAction*> items;
    // Delete and Escape are the window's keys and items of "Правка" at once.
    for (QAction* item : form->N1->actions() + form->N10->actions() + form->N13->actions() + form->actions())
        if (!items.contains(item)) items << item;
    for (QAction* item : items)
        for (const QKeySequence& key : item->shortcuts()) {
            EXPECT_FALSE(keys.contains(key)) << key.toString().toStdString();
            keys << key;
        }

    EXPECT_EQ(form->N11->text(), Text("Отменить"));
    EXPECT_FALSE(form->N11->isEnabled());
    EXPECT_EQ(form->N12->text(), Text("Вернуть"));
    EXPECT_FALSE(form->N12->isEnabled());

    Tool(ToolRail);
    Drag(form->PaintBox1, Qt::LeftButton, {100, 100}, {300, 100});
    Drag(form->PaintBox1, Qt::LeftButton, {100, 150}, {300, 150});
    Tool(0);
    Drag(form->PaintBox1, Qt::LeftButton, {100, 200}, {300, 200});
    EXPECT_EQ(form->N11->text(), Text("Отменить: линия"));
    EXPECT_TRUE(form->N11->isEnabled());
    Undo();
    EXPECT_EQ(form->N11->text(), Text("Отменить: рельс"));
    EXPECT_EQ(form->N12->text(), Text("Вернуть: линия"));
    EXPECT_TRUE(form->N12->isEnabled());

    const struct {
        QPushButton* button;
        std::int32_t rail;
        const char* text;
    } buttons[] = {
        {form->Button3, 0, "Отменить: поменять"},         {form->Button6, 0, "Отменить: сделать стартовым"},
        {form->Button7, 1, "Отменить: сделать финишным"}, {form->Button4, 1, "Отменить: сменить цвет"},
        {form->Button2, 1, "Отменить: удалить"},
    };
    color.SetColor(0x00FF00);
    Redo();
    for (const auto& b : buttons) {
        Map().SelectRail(b.rail);
        b.button->click();
        EXPECT_EQ(form->N11->text(), Text(b.text));
    }
    EXPECT_FALSE(form->N12->isEnabled()); // a new step dropped what could be redone
}

TEST_F(EditMenuTest, TheShortcutsUndoAndRedo)
{
    Tool(ToolRail);
    Drag(form->PaintBox1, Qt::LeftButton, {100, 100}, {300, 100});
    ASSERT_TRUE(Key(Qt::Key_Z, Qt::ControlModifier));
    EXPECT_EQ(Map().RailCount(), 0);
    ASSERT_TRUE(Key(Qt::Key_Y, Qt::ControlModifier));
    EXPECT_EQ(Map().RailCount(), 1);
    Key(Qt::Key_Z, Qt::ControlModifier);
    ASSERT_TRUE(Key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier));
    EXPECT_EQ(Map().RailCount(), 1);
}

TEST_F(EditMenuTest, ADrawnRailIsUndoneAndRedoneWithTheSelectionAroundIt)
{
    PutRail(Map(), 100, 100, 200, 100);
    Map().SelectRail(0);
    Map().MarkClean();
    Tool(ToolRail);
    Drag(form->PaintBox1, Qt::LeftButton, {202, 98}, {200, 300});
    ASSERT_EQ(Map().RailCount(), 2);
    EXPECT_EQ(EndsOf(Map().Rails()[1]), (TEnds{200, 100, 200, 300}));
    EXPECT_EQ(Map().SelRail, 1);

    Undo();
    ASSERT_EQ(Map().RailCount(), 1);
    EXPECT_EQ(Map().SelRail, 0);
    EXPECT_TRUE(Map().Rails()[0].Selected);
    EXPECT_FALSE(Map().Modified);
    Redo();
    ASSERT_EQ(Map().RailCount(), 2);
    EXPECT_EQ(EndsOf(Map().Rails()[1]), (TEnds{200, 100, 200, 300}));
    EXPECT_EQ(Map().SelRail, 1);
    EXPECT_FALSE(Map().Rails()[0].Selected);
    EXPECT_TRUE(Map().Modified);

    // A click with the rail tool leaves nothing, and so nothing to undo.
    Drag(form->PaintBox1, Qt::LeftButton, {500, 500}, {500, 500});
    Undo();
    EXPECT_EQ(Map().RailCount(), 1);
}

TEST_F(EditMenuTest, ModifiedFollowsTheHistoryAndDecidesTheCloseQuestion)
{
    Tool(ToolRail);
    Drag(form->PaintBox1, Qt::LeftButton, {100, 100}, {300, 100});
    EXPECT_TRUE(Map().Modified);
    Undo();
    EXPECT_FALSE(Map().Modified);
    form->c1->trigger(); // the empty new map is as saved: no question
    EXPECT_TRUE(messages.Service.Questions.empty());

    Drag(form->PaintBox1, Qt::LeftButton, {100, 100}, {300, 100});
    dialogs.Save->Choose(folder.File("saved"));
    form->N4->trigger();
    EXPECT_FALSE(Map().Modified);
    Drag(form->PaintBox1, Qt::LeftButton, {100, 200}, {300, 200});
    Undo();
    EXPECT_FALSE(Map().Modified);
    Undo();
    EXPECT_TRUE(Map().Modified);
    Redo();
    form->c1->trigger();
    EXPECT_TRUE(messages.Service.Questions.empty());
    EXPECT_EQ(form->MapList->Count(), 1);

    // Loading starts the history afresh.
    dialogs.Open->Choose(folder.File("saved.KS"));
    form->N3->trigger();
    EXPECT_EQ(Map().RailCount(), 1);
    EXPECT_FALSE(form->N11->isEnabled());
    Undo();
    EXPECT_EQ(Map().RailCount(), 1);
}

TEST_F(EditMenuTest, UndoAndRedoDoNothingWhileAButtonIsHeldInTheMainView)
{
    Tool(ToolRail);
    Drag(form->PaintBox1, Qt::LeftButton, {100, 100}, {300, 100});
    Press(form->PaintBox1, Qt::RightButton, 50, 50);
    form->N11Click();
    EXPECT_EQ(Map().RailCount(), 1);
    Release(form->PaintBox1, Qt::RightButton, 50, 50);

    Press(form->PaintBox1, Qt::LeftButton, 100, 300);
    Move(form->PaintBox1, 300, 300);
    Tick();
    form->N11Click();
    EXPECT_EQ(Map().RailCount(), 2);
    Release(form->PaintBox1, Qt::LeftButton, 300, 300);
    Undo();
    EXPECT_EQ(Map().RailCount(), 1);
    Press(form->PaintBox1, Qt::MiddleButton, 400, 400);
    form->N12Click();
    Release(form->PaintBox1, Qt::MiddleButton, 400, 400);
    EXPECT_EQ(Map().RailCount(), 1);
    Redo();
    EXPECT_EQ(Map().RailCount(), 2);
}

TEST_F(EditMenuTest, AJointMovesTogetherAndIsUndoneInOneStep)
{
    Joint();
    Map().SelectBorder(0);
    Press(form->PaintBox1, Qt::LeftButton, 202, 101);
    EXPECT_EQ(Map().SelRail, 1); // the press selects as always
    Move(form->PaintBox1, 260, 150);
    Tick();
    EXPECT_EQ(EndsOf(Map().Rails()[0]), (TEnds{100, 100, 260, 150}));
    EXPECT_EQ(EndsOf(Map().Rails()[1]), (TEnds{260, 150, 200, 300}));
    // Dragged onto the border's end, the point snaps there.
    Move(form->PaintBox1, 597, 503);
    Tick();
    Release(form->PaintBox1, Qt::LeftButton, 597, 503);
    EXPECT_EQ(EndsOf(Map().Rails()[0]), (TEnds{100, 100, 600, 500}));
    EXPECT_EQ(EndsOf(Map().Rails()[1]), (TEnds{600, 500, 200, 300}));
    EXPECT_EQ(EndsOf(Map().Borders()[0]), (TEnds{600, 500, 700, 500}));
    EXPECT_TRUE(Map().Modified);
    EXPECT_EQ(form->N11->text(), Text("Отменить: перемещение конца"));

    Undo();
    EXPECT_EQ(EndsOf(Map().Rails()[0]), (TEnds{100, 100, 200, 100}));
    EXPECT_EQ(EndsOf(Map().Rails()[1]), (TEnds{200, 100, 200, 300}));
    EXPECT_EQ(Map().SelRail, 1);
    EXPECT_FALSE(Map().Modified);
    EXPECT_FALSE(form->N11->isEnabled());
}

TEST_F(EditMenuTest, WithShiftOnlyThePressedElementsEndMovesAndMaySnapBack)
{
    Joint();
    Scroll(50, 0);
    Tick();
    // (151, 102) in the view is world (201, 102): both rails' ends are equally
    // near, and rail 1 comes first in picking order.
    PressWith(form->PaintBox1, Qt::LeftButton, 151, 102, Qt::ShiftModifier);
    Move(form->PaintBox1, 150, 200);
    Tick();
    EXPECT_EQ(EndsOf(Map().Rails()[0]), (TEnds{100, 100, 200, 100}));
    EXPECT_EQ(EndsOf(Map().Rails()[1]), (TEnds{200, 200, 200, 300}));
    // The end left behind is not moving, so the point snaps back onto it.
    Move(form->PaintBox1, 152, 103);
    Tick();
    Release(form->PaintBox1, Qt::LeftButton, 152, 103);
    EXPECT_EQ(EndsOf(Map().Rails()[1]), (TEnds{200, 100, 200, 300}));
    EXPECT_FALSE(form->N11->isEnabled()); // back where it was: no step
}

TEST_F(EditMenuTest, AMoveThatShortensARailTooMuchRemovesItInsideTheStep)
{
    Joint();
    Press(form->PaintBox1, Qt::LeftButton, 200, 100);
    Move(form->PaintBox1, 106, 100);
    Tick();
    Release(form->PaintBox1, Qt::LeftButton, 106, 100);
    ASSERT_EQ(Map().RailCount(), 1);
    EXPECT_EQ(EndsOf(Map().Rails()[0]), (TEnds{106, 100, 200, 300}));
    Undo();
    ASSERT_EQ(Map().RailCount(), 2);
    EXPECT_EQ(EndsOf(Map().Rails()[0]), (TEnds{100, 100, 200, 100}));
    EXPECT_EQ(EndsOf(Map().Rails()[1]), (TEnds{200, 100, 200, 300}));
}

TEST_F(EditMenuTest, APressAndReleaseWithoutADragOnlySelects)
{
    Joint();
    Press(form->PaintBox1, Qt::LeftButton, 201, 100);
    Tick();
    Release(form->PaintBox1, Qt::LeftButton, 201, 100);
    EXPECT_EQ(Map().SelRail, 1);
    EXPECT_EQ(EndsOf(Map().Rails()[0]), (TEnds{100, 100, 200, 100}));
    EXPECT_FALSE(Map().Modified);
    EXPECT_FALSE(form->N11->isEnabled());
}

TEST_F(EditMenuTest, EscapePutsMovedEndsBackAndTakesADrawnElementBack)
{
    Joint();
    Map().SelectBorder(0);
    Press(form->PaintBox1, Qt::LeftButton, 200, 100);
    Move(form->PaintBox1, 300, 300);
    Tick();
    ASSERT_EQ(Map().Rails()[0].X2, 300);
    ASSERT_TRUE(Key(Qt::Key_Escape));
    EXPECT_EQ(EndsOf(Map().Rails()[0]), (TEnds{100, 100, 200, 100}));
    EXPECT_EQ(EndsOf(Map().Rails()[1]), (TEnds{200, 100, 200, 300}));
    Move(form->PaintBox1, 350, 350); // the rest of the drag moves nothing
    Tick();
    Release(form->PaintBox1, Qt::LeftButton, 350, 350);
    EXPECT_EQ(EndsOf(Map().Rails()[1]), (TEnds{200, 100, 200, 300}));
    EXPECT_FALSE(Map().Modified);
    EXPECT_FALSE(form->N11->isEnabled());

    Tool(0);
    Map().SelectRail(1);
    Map().SelectBorder(0);
    Press(form->PaintBox1, Qt::LeftButton, 400, 400);
    Move(form->PaintBox1, 450, 420);
    Tick();
    ASSERT_EQ(Map().BorderCount(), 2);
    form->EscapeKeyPress();
    EXPECT_EQ(Map().BorderCount(), 1);
    EXPECT_EQ(Map().SelBorder, 0); // the selection as before the press
    EXPECT_EQ(Map().SelRail, 1);
    EXPECT_EQ(form->ToolAction(), 0);
    Tick();
    Release(form->PaintBox1, Qt::LeftButton, 450, 420);
    EXPECT_EQ(Map().BorderCount(), 1);
    EXPECT_FALSE(Map().Modified);
    EXPECT_FALSE(form->N11->isEnabled());
}

TEST_F(EditMenuTest, DeleteDeletesTheSelectionAsTheButtonDoes)
{
    Joint();
    Map().SelectRail(0);
    Map().SelectBorder(0);
    ASSERT_TRUE(Key(Qt::Key_Delete));
    EXPECT_EQ(Map().RailCount(), 1);
    EXPECT_EQ(Map().BorderCount(), 0);
    EXPECT_EQ(form->N11->text(), Text("Отменить: удалить"));
    Undo();
    EXPECT_EQ(Map().RailCount(), 2);
    EXPECT_EQ(Map().BorderCount(), 1);
    EXPECT_EQ(Map().SelRail, 0);
    EXPECT_EQ(Map().SelBorder, 0);
    EXPECT_TRUE(Map().Borders()[0].Selected);
}

TEST_F(EditMenuTest, EachMapHasItsOwnHistory)
{
    Tool(ToolRail);
    Drag(form->PaintBox1, Qt::LeftButton, {100, 100}, {300, 100});
    form->N2Click();
    EXPECT_FALSE(form->N11->isEnabled());
    Undo();
    form->ListBox1->setCurrentRow(0);
    EXPECT_TRUE(form->N11->isEnabled());
    Undo();
    EXPECT_EQ(Map().RailCount(), 0);
}

} // namespace
