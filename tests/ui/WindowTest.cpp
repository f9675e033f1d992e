// The window's layout and captions, and the program's catch point for errors.
#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <new>

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

TEST_F(WindowTest, ControlsSitWhereTheFormPutsThem)
{
    const struct {
        QWidget* control;
        QRect rect;
    } layout[] = {
        {form->Panel1, {0, 0, 153, 618}},        {form->Panel2, {158, 0, 736, 618}},
        {form->RadioGroup1, {8, 8, 137, 113}},   {form->Button3, {8, 136, 137, 24}},
        {form->Button6, {8, 160, 137, 24}},      {form->Button7, {8, 184, 137, 24}},
        {form->Button2, {8, 208, 137, 24}},      {form->Button4, {8, 232, 137, 24}},
        {form->Button1, {8, 256, 137, 24}},      {form->Button8, {8, 280, 137, 24}},
        {form->Button5, {8, 304, 137, 24}},      {form->PaintBox2, {8, 344, 137, 137}},
        {form->ListBox1, {8, 496, 121, 113}},    {form->PaintBox1, {1, 1, 718, 600}},
        {form->HB, {1, 601, 718, 16}},           {form->VB, {719, 1, 16, 600}},
    };
    for (const auto& entry : layout) EXPECT_EQ(entry.control->geometry(), entry.rect) << entry.rect.x() << "," << entry.rect.y();
    // Labels grow to their text when the machine's font is wider than the form's.
    EXPECT_EQ(form->Label2->geometry().topLeft(), QPoint(8, 328));
    EXPECT_GE(form->Label2->width(), 56);
    EXPECT_EQ(form->Label1->geometry().topLeft(), QPoint(8, 480));
    EXPECT_GE(form->Label1->width(), 63);
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
    // "Файл" comes first; the Edit menu, which follows it, is tested with undo.
    ASSERT_EQ(form->MainMenu1->actions().size(), 2);
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
    EXPECT_EQ(form->VB->Position(), 9400);
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
    EXPECT_EQ(form->ToolAction, 0);
}

} // namespace
