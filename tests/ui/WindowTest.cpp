// The window's layout and captions, and the program's catch point for errors.
#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <new>
#include <vector>

#include "model/Errors.h"
#include "tests/ui/FormFixture.h"
#include "ui/RunGuarded.h"

namespace {

class WindowTest : public FormTest {
protected:
    void SetUp() override
    {
        FormTest::SetUp();
        Open();
    }
};

TEST_F(WindowTest, ControlsFitTheirPanelsInTheOrderShown)
{
    // The left panel, top to bottom; the form lets a label's first row share
    // the overview's last one, no more.
    const std::vector<QWidget*> column = {form->RadioGroup1, form->Button3, form->Button6, form->Button7,
                                          form->Button2,     form->Button4, form->Button1, form->Button8,
                                          form->Button5,     form->Label2,  form->PaintBox2, form->Label1,
                                          form->ListBox1};
    for (std::size_t i = 0; i < column.size(); ++i) {
        const QRect place = column[i]->geometry();
        EXPECT_EQ(column[i]->parentWidget(), form->Panel1) << i;
        EXPECT_TRUE(form->Panel1->rect().contains(place)) << i;
        if (i > 0) {
            EXPECT_GE(place.top(), column[i - 1]->geometry().bottom()) << i;
        }
    }
    // The buttons make one block: same column, each right below the last.
    for (std::size_t i = 2; i <= 8; ++i) {
        const QRect above = column[i - 1]->geometry();
        const QRect place = column[i]->geometry();
        EXPECT_EQ(place.left(), above.left()) << i;
        EXPECT_EQ(place.width(), above.width()) << i;
        EXPECT_EQ(place.top(), above.bottom() + 1) << i;
    }
    // Labels are never narrower than their text.
    for (QLabel* label : {form->Label1, form->Label2}) EXPECT_GE(label->width(), label->sizeHint().width());

    // The main view shows 718 x 600 world units, the scroll bars run along it,
    // and their ranges leave no part of the world out of reach: at the far
    // end the last pixel shows the world's edge, 10000.
    const QRect view = form->PaintBox1->geometry();
    EXPECT_EQ(view.size(), QSize(718, 600));
    EXPECT_EQ(form->PaintBox1->parentWidget(), form->Panel2);
    EXPECT_EQ(form->HB->geometry(), QRect(view.left(), view.bottom() + 1, view.width(), form->HB->height()));
    EXPECT_EQ(form->VB->geometry(), QRect(view.right() + 1, view.top(), form->VB->width(), view.height()));
    EXPECT_TRUE(form->Panel2->rect().contains(form->HB->geometry().united(form->VB->geometry())));
    EXPECT_EQ(form->HB->Max() + view.width(), 10001);
    EXPECT_EQ(form->VB->Max() + view.height(), 10001);
    EXPECT_LT(form->Panel1->geometry().right(), form->Panel2->geometry().left());
    form->show();
    const int menuHeight = form->MainMenu1->height();
    EXPECT_GT(menuHeight, 0);
    EXPECT_EQ(form->size(), QSize(894, 618 + menuHeight));
    EXPECT_EQ(form->minimumSize(), form->maximumSize());
    const Qt::WindowFlags flags = form->windowFlags();
    EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowSystemMenuHint);
    form->hide();
}

TEST_F(WindowTest, CaptionsAreShownAsTheFormWritesThem)
{
    const struct {
        QAbstractButton* control;
        const char* text;
    } captions[] = {
        {form->Button3, "Поменять (&&&ф)"},         {form->Button6, "Сделать стартовым (&&&ы)"},
        {form->Button7, "Сделать финишным (&&&в)"}, {form->Button2, "Удалить (&&&п)"},
        {form->Button4, "Сменить цвет (&&&р)"},     {form->Button1, "Цвет... (&&&о)"},
        {form->Button8, "Запомнить цвет (&&&л)"},   {form->Button5, "Проверить пути (&&&д)"},
        {form->RadioGroup1->Items[0], "Линия (плоская) (&&&й)"},
        {form->RadioGroup1->Items[3], "Линия (арка) (&&&к)"},
        {form->RadioGroup1->Items[4], "Рельс (&&&е)"},
        {form->RadioGroup1->Items[5], "Выделить... (&&&н)"},
    };
    for (const auto& c : captions) EXPECT_EQ(c.control->text(), QString::fromUtf8(c.text));
    EXPECT_EQ(form->RadioGroup1->Items.size(), 6u);
    EXPECT_EQ(form->RadioGroup1->ItemIndex(), -1);
    EXPECT_EQ(form->Label1->text(), QString::fromUtf8("Список карт"));
    EXPECT_EQ(form->Label2->text(), QString::fromUtf8("Миникарта"));
}

TEST_F(WindowTest, TheFileMenuHasItsItemsAndShortcutsInOrder)
{
    // "Файл" comes first; the Edit and View menus that follow are tested with undo and zoom.
    ASSERT_EQ(form->MainMenu1->actions().size(), 3);
    EXPECT_EQ(form->MainMenu1->actions()[0], form->N1->menuAction());
    EXPECT_EQ(form->N1->title(), QString::fromUtf8("Файл (&&&а)"));
    const struct {
        QAction* item;
        const char* text;
        const char* shortcut;
    } items[] = {
        {form->N2, "Новый (&&&т)", "Ctrl+N"},
        {form->N3, "Загрузить (&щ)", "Ctrl+O"},
        {form->N4, "Сохранить (&&&ы)", "Ctrl+S"},
        {form->N7, "Сохранить всё (&&&м)", "Ctrl+L"},
        {form->f1, "Сохранить как... (&&&а)", "Ctrl+A"},
        {form->N8, "", ""},
        {form->N9, "Сохранить карту в виде картинки (&&&р)", "Ctrl+I"},
        {form->N5, "", ""},
        {form->c1, "Закрыть карту (&&&c)", "Ctrl+M"},
        {form->N6, "Выход (&&&й)", "Ctrl+Q"},
    };
    const QList<QAction*> actions = form->N1->actions();
    ASSERT_EQ(actions.size(), static_cast<qsizetype>(std::size(items)));
    for (std::size_t i = 0; i < std::size(items); ++i) {
        EXPECT_EQ(actions[static_cast<qsizetype>(i)], items[i].item) << i;
        EXPECT_EQ(items[i].item->isSeparator(), *items[i].text == '\0') << i;
        if (items[i].item->isSeparator()) continue;
        EXPECT_EQ(items[i].item->text(), QString::fromUtf8(items[i].text));
        EXPECT_EQ(items[i].item->shortcut(), QKeySequence(QString::fromUtf8(items[i].shortcut)));
    }
}

TEST_F(WindowTest, TheListAndTheScrollBarsBehaveAsTheWindowRelies)
{
    EXPECT_EQ(form->ListBox1->selectionMode(), QAbstractItemView::SingleSelection);
    EXPECT_EQ(form->ListBox1->sizeHintForRow(0), 13);
    form->HB->SetPosition(-5);
    EXPECT_EQ(form->HB->Position(), 0);
    form->VB->SetPosition(100000);
    EXPECT_EQ(form->VB->Position(), 9401);
    EXPECT_EQ(form->HB->singleStep(), 1);
    EXPECT_EQ(form->HB->pageStep(), 1);
}

TEST_F(WindowTest, TheTimerRunsFromCreationEvery55Milliseconds)
{
    TForm1 running(color, picture, {"kestedit"});
    EXPECT_TRUE(running.Timer1->isActive());
    EXPECT_EQ(running.Timer1->interval(), 55);
    EXPECT_EQ(Form1, &running);
}

TEST_F(WindowTest, SettingTheSelectionIsNoClickButAUserChoiceIs)
{
    form->N2Click();
    form->N2Click();
    int clicks = 0;
    form->ListBox1->OnClick = [&] { ++clicks; };
    form->ListBox1->SetItemIndex(0);
    form->MapNames->Delete(0);
    form->MapNames->Replace(0, "x");
    EXPECT_EQ(clicks, 0);
    form->ListBox1->setCurrentRow(1);
    EXPECT_EQ(clicks, 1);
    form->MapNames->Delete(1);
    EXPECT_EQ(form->ListBox1->ItemIndex(), -1);
}

class TThrowingObject : public QObject {
public:
    bool event(QEvent*) override { throw EIntOverflow(); }
};

TEST_F(WindowTest, TheApplicationShowsAnErrorRaisedInAnEventAndGoesOn)
{
    TThrowingObject object;
    QEvent event(QEvent::User);
    EXPECT_FALSE(QApplication::sendEvent(&object, &event));
    EXPECT_EQ(messages.Service.Errors, std::vector<std::string>{"Integer overflow"});
}

TEST_F(WindowTest, RunGuardedNamesEveryKindOfError)
{
    EXPECT_TRUE(RunGuarded([] {}));
    EXPECT_FALSE(RunGuarded([] { throw std::bad_alloc(); }));
    EXPECT_FALSE(RunGuarded([] { throw ERangeError(); }));
    EXPECT_FALSE(RunGuarded([] { throw EInOutError(103); }));
    EXPECT_FALSE(RunGuarded([] { throw 42; }));
    EXPECT_EQ(messages.Service.Errors,
              (std::vector<std::string>{"Out of memory", "Range check error", "I/O error 103", "Unknown error"}));
}

TEST_F(WindowTest, AnErrorInAMouseHandlerIsShownAndTheDragEnds)
{
    form->PaintBox1->OnMouseDown = [](TMouseButton, std::int32_t, std::int32_t) { throw EIntOverflow(); };
    Press(form->PaintBox1, Qt::LeftButton, 5, 5);
    Release(form->PaintBox1, Qt::LeftButton, 5, 5);
    EXPECT_EQ(messages.Service.Errors, std::vector<std::string>{"Integer overflow"});
    EXPECT_EQ(form->ToolAction(), 0);
}

} // namespace
