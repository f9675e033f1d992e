// The route check's faults in words: the notice after "Проверить пути" and the
// list that "Ошибки путей..." opens.
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QListWidget>

#include "tests/ui/FormFixture.h"
#include "ui/TRouteFaultsWindow.h"

namespace {

using MapBuilders::PutRail;
using Kind = TRouteFaultKind;

const QString Sound = QString::fromUtf8("Пути в порядке");

class RouteFaultsTest : public FormTest {
protected:
    void SetUp() override
    {
        FormTest::SetUp();
        Open();
        Tick();
    }
    /// A sound ring of eight rails with its start and finish.
    void Octagon()
    {
        const TMap ring = MapBuilders::Ring({{2000, 1000}, {3000, 1000}, {3700, 1700}, {3700, 2700},
                                             {3000, 3400}, {2000, 3400}, {1300, 2700}, {1300, 1700}});
        MapBuilders::ReplaceRails(Map(), ring.Rails());
        Map().SetStartRail(0);
        Map().SetFinishRail(4);
    }
    /// A chain of two rails and a lone rail, with neither start nor finish: six faults.
    void Several()
    {
        PutRail(Map(), 1000, 1000, 2000, 1000);
        PutRail(Map(), 2000, 1000, 3000, 1000);
        PutRail(Map(), 5000, 5000, 5000, 6000);
    }
    QStringList SeveralLines() const
    {
        return {QString::fromUtf8("Рельс 1: нет следующего"), QString::fromUtf8("Рельс 2: нет следующего"),
                QString::fromUtf8("Рельс 0: нет предыдущего"), QString::fromUtf8("Рельс 2: нет предыдущего"),
                QString::fromUtf8("Нет стартового рельса"),    QString::fromUtf8("Нет финишного рельса")};
    }
    /// Draws a rail with the rail tool, from and to view points.
    void DrawRail(QPoint from, QPoint to)
    {
        Tool(ToolRail);
        Drag(form->PaintBox1, Qt::LeftButton, from, to);
    }
    /// A click with the select tool where nothing lies: no selection.
    void ClearSelection()
    {
        Tool(ToolSelect);
        Press(form->PaintBox1, Qt::LeftButton, 650, 560);
        Release(form->PaintBox1, Qt::LeftButton, 650, 560);
    }
    /// The line of the list that reads text.
    int LineOf(const char* text) const { return static_cast<int>(Lines().indexOf(QString::fromUtf8(text))); }
    QString Notice() const { return form->RouteNotice->text(); }
    bool NoticeShown() const { return !form->RouteNotice->isHidden(); }
    QStringList Lines() const { return form->RouteFaults->Lines(); }
    void ClickLine(int line)
    {
        QListWidget* list = form->RouteFaults->ListBox1;
        QApplication::processEvents();
        const QPoint at = list->visualItemRect(list->item(line)).center();
        Press(list->viewport(), Qt::LeftButton, at.x(), at.y());
        Release(list->viewport(), Qt::LeftButton, at.x(), at.y());
    }
};

TEST(RouteFaultWords, EveryKindHasItsRussianLine)
{
    const std::pair<TRouteFault, const char*> cases[] = {
        {{12, Kind::ThirdSuccessor}, "Рельс 12: третий следующий"},
        {{0, Kind::ThirdPredecessor}, "Рельс 0: третий предыдущий"},
        {{3, Kind::NoSuccessor}, "Рельс 3: нет следующего"},
        {{4, Kind::NoPredecessor}, "Рельс 4: нет предыдущего"},
        {{-1, Kind::NoStart}, "Нет стартового рельса"},
        {{-1, Kind::NoFinish}, "Нет финишного рельса"},
    };
    for (const auto& [fault, line] : cases) EXPECT_EQ(RouteFaultLine(fault), QString::fromUtf8(line)) << line;
}

TEST_F(RouteFaultsTest, TheNoticeSaysTheRoutesAreSound)
{
    Octagon();
    form->Button5->click();
    EXPECT_EQ(Notice(), Sound);
    EXPECT_TRUE(NoticeShown());
    EXPECT_EQ(form->RouteNotice->parentWidget(), form->PaintBox1);
}

TEST_F(RouteFaultsTest, TheNoticeNamesTheReportedRailAndItsFault)
{
    PutRail(Map(), 1000, 1000, 2000, 1000);
    PutRail(Map(), 2000, 1000, 3000, 1000);
    Map().SetStartRail(0);
    Map().SetFinishRail(1);
    form->Button5->click();
    ASSERT_EQ(Map().SelRail, 0);
    EXPECT_EQ(Notice(), QString::fromUtf8("Рельс 0: нет предыдущего (всего ошибок: 2)"));

    form->N2Click();
    Several();
    form->Button5->click();
    ASSERT_EQ(Map().SelRail, 2);
    EXPECT_EQ(Notice(), QString::fromUtf8("Рельс 2: нет предыдущего (всего ошибок: 6)"));
    EXPECT_TRUE(NoticeShown());
}

TEST_F(RouteFaultsTest, WithoutAReportedRailTheNoticeNamesTheMissingStartOrFinish)
{
    Octagon();
    Map().SetStartRail(-1);
    form->Button5->click();
    EXPECT_EQ(Notice(), QString::fromUtf8("Нет стартового рельса"));
    Map().SetFinishRail(-1);
    form->Button5->click();
    EXPECT_EQ(Notice(), QString::fromUtf8("Нет стартового рельса, нет финишного рельса"));
    EXPECT_EQ(Map().SelRail, -1);
    Map().SetStartRail(2);
    form->Button5->click();
    EXPECT_EQ(Notice(), QString::fromUtf8("Нет финишного рельса"));
}

TEST_F(RouteFaultsTest, TheCheckStillShowsNoMessageBox)
{
    Several();
    form->Button5->click();
    Octagon();
    form->Button5->click();
    EXPECT_TRUE(messages.Service.Questions.empty());
    EXPECT_TRUE(messages.Service.Errors.empty());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(RouteFaultsTest, TheNoticeHidesWhenItsTimeIsUpAndANewCheckShowsItAgain)
{
    form->Button5->click();
    EXPECT_TRUE(form->RouteNoticeTimer->isActive());
    EXPECT_TRUE(form->RouteNoticeTimer->isSingleShot());
    EXPECT_EQ(form->RouteNoticeTimer->interval(), RouteNoticeTime);
    form->RouteNoticeTimerTimer();
    EXPECT_FALSE(NoticeShown());

    // The real timer, shortened, hides it through the event loop.
    form->RouteNoticeTimer->setInterval(10);
    Octagon();
    form->Button5->click();
    EXPECT_TRUE(NoticeShown());
    EXPECT_EQ(Notice(), Sound);
    QElapsedTimer clock;
    clock.start();
    while (NoticeShown() && clock.elapsed() < 5000) QApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_FALSE(NoticeShown());
}

TEST_F(RouteFaultsTest, TheNoticeLeavesTheViewsPictureAsDrawn)
{
    Several();
    form->Button5->click();
    ASSERT_TRUE(NoticeShown());
    Tick();
    const QImage withNotice = form->PaintBox1->Picture();
    form->RouteNoticeTimerTimer();
    form->ForgetLastTick();
    Tick();
    EXPECT_EQ(form->PaintBox1->Picture(), withNotice);
}

TEST_F(RouteFaultsTest, TheListShowsEveryFaultInTheOrderFound)
{
    form->N19Click();
    ASSERT_NE(form->RouteFaults, nullptr);
    EXPECT_TRUE(Lines().isEmpty());
    Several();
    form->Button5->click();
    EXPECT_EQ(Lines(), SeveralLines());
    EXPECT_EQ(form->RouteFaults->RailOfLine(4), -1);
    EXPECT_EQ(form->RouteFaults->Label1->text(), QString::fromUtf8("Новый — ошибок: 6"));

    MapBuilders::ReplaceRails(Map(), {});
    Octagon();
    form->Button5->click();
    EXPECT_EQ(Lines(), QStringList{Sound});
    // Opening it again raises the same window.
    TRouteFaultsWindow* const shown = form->RouteFaults;
    form->N19Click();
    EXPECT_EQ(form->RouteFaults, shown);
}

TEST_F(RouteFaultsTest, ClickingALineSelectsItsRailAndCentresTheView)
{
    Several();
    form->Button5->click();
    EXPECT_EQ(form->HB->Position(), 4641);
    EXPECT_EQ(form->VB->Position(), 5200);
    form->N19Click();
    ClickLine(0);
    EXPECT_EQ(Map().SelRail, 1);
    EXPECT_EQ(form->HB->Position(), (2000 + 3000 - 718) / 2);
    EXPECT_EQ(form->VB->Position(), (1000 + 1000 - 600) / 2);
    EXPECT_FALSE(Map().CanUndo());

    // A line without a rail changes nothing.
    ClickLine(5);
    EXPECT_EQ(Map().SelRail, 1);
    EXPECT_EQ(form->HB->Position(), 2141);
}

TEST_F(RouteFaultsTest, ALineNamingARailThatWasDeletedIsIgnored)
{
    Several();
    form->Button5->click();
    form->N19Click();
    Map().DeleteRail(2);
    Map().SelectRail(0);
    Scroll(100, 200);
    ClickLine(1);
    EXPECT_EQ(Map().SelRail, 0);
    EXPECT_EQ(form->HB->Position(), 100);
    EXPECT_EQ(form->VB->Position(), 200);
    EXPECT_EQ(Lines(), SeveralLines());
}

TEST_F(RouteFaultsTest, TheListFollowsTheCurrentMap)
{
    Several();
    form->Button5->click();
    form->N19Click();
    form->N2Click();
    Tick();
    EXPECT_TRUE(Lines().isEmpty());

    form->Button5->click();
    EXPECT_EQ(Lines(), SeveralLines().mid(4));

    form->ListBox1->SetItemIndex(0);
    form->ListBox1Click();
    Tick();
    EXPECT_EQ(Lines(), SeveralLines());
    // A click belongs to the map the list showed: one for another map is ignored.
    form->RouteFaultsClick(Map().Id() + 1000, 1);
    EXPECT_EQ(Map().SelRail, 2);

    // Loading into the checked empty map forgets its check.
    const std::string path = folder.File("field.KS");
    WriteBytes(path, TMapBytes().Rail(100, 100, 300, 100).Bytes());
    form->MapList->OpenFile(path);
    form->ListBox1->SetItemIndex(1);
    form->ListBox1Click();
    ASSERT_EQ(Map().FileName, path);
    Tick();
    EXPECT_TRUE(Lines().isEmpty());
    EXPECT_TRUE(form->RouteFaults->Label1->text().startsWith(QStringLiteral("field")));

    form->c1Click();
    Tick();
    EXPECT_EQ(Lines(), SeveralLines());
}

TEST_F(RouteFaultsTest, ALineActsOnTheRailItNamedWhateverEditsAndUndoHaveDoneSince)
{
    // Three rails, the check selects rail 2; Ctrl+E, Delete; a new rail takes index 2.
    DrawRail({100, 100}, {300, 100});
    DrawRail({100, 200}, {300, 200});
    DrawRail({100, 300}, {300, 300});
    const TEnds first{100, 100, 300, 100}, second{100, 200, 300, 200}, third{100, 300, 300, 300};
    form->Button5->click();
    ASSERT_EQ(Map().SelRail, 2);
    ASSERT_TRUE(Key(Qt::Key_E, Qt::ControlModifier));
    ASSERT_TRUE(form->RouteFaults->isVisible());
    ASSERT_TRUE(Key(Qt::Key_Delete));
    DrawRail({100, 400}, {300, 400});
    ASSERT_EQ(Map().RailCount(), 3);
    ClearSelection();
    ASSERT_EQ(Map().SelRail, -1);

    // The line of the deleted rail does nothing: "Сделать стартовым" then has no rail.
    ClickLine(LineOf("Рельс 2: нет следующего"));
    EXPECT_EQ(Map().SelRail, -1);
    form->Button6->click();
    EXPECT_EQ(Map().StartRail, -1);

    // A rail that moved down the list is found where it went.
    ClickLine(LineOf("Рельс 0: нет следующего"));
    ASSERT_EQ(Map().SelRail, 0);
    ASSERT_TRUE(Key(Qt::Key_Delete));
    ClickLine(LineOf("Рельс 1: нет предыдущего"));
    ASSERT_EQ(Map().SelRail, 0);
    EXPECT_EQ(EndsOf(Map().Rails()[0]), second);
    ClickLine(LineOf("Рельс 0: нет предыдущего"));
    EXPECT_EQ(Map().SelRail, 0);

    // Undo brings the deleted rails back, and their lines with them; redo takes them away again.
    ASSERT_TRUE(Key(Qt::Key_Z, Qt::ControlModifier)); // the second Delete
    ClickLine(LineOf("Рельс 0: нет следующего"));
    ASSERT_EQ(Map().SelRail, 0);
    EXPECT_EQ(EndsOf(Map().Rails()[0]), first);
    ASSERT_TRUE(Key(Qt::Key_Z, Qt::ControlModifier)); // the fourth rail
    ASSERT_TRUE(Key(Qt::Key_Z, Qt::ControlModifier)); // the first Delete
    ASSERT_EQ(Map().RailCount(), 3);
    ClickLine(LineOf("Рельс 2: нет следующего"));
    ASSERT_EQ(Map().SelRail, 2);
    EXPECT_EQ(EndsOf(Map().Rails()[2]), third);
    ASSERT_TRUE(Key(Qt::Key_Y, Qt::ControlModifier));
    ASSERT_TRUE(Key(Qt::Key_Y, Qt::ControlModifier));
    ASSERT_EQ(Map().RailCount(), 3);
    ClearSelection();
    ClickLine(LineOf("Рельс 2: нет следующего"));
    EXPECT_EQ(Map().SelRail, -1);
    // "Поменять" keeps the rail the line named.
    ClickLine(LineOf("Рельс 1: нет следующего"));
    ASSERT_EQ(Map().SelRail, 1);
    form->Button3->click();
    ClearSelection();
    ClickLine(LineOf("Рельс 1: нет следующего"));
    EXPECT_EQ(Map().SelRail, 1);
    EXPECT_EQ(Lines().size(), 8);
}

class TScopedKeptFaults {
public:
    explicit TScopedKeptFaults(std::size_t kept) : saved_(TMap::KeptRouteFaults) { TMap::KeptRouteFaults = kept; }
    ~TScopedKeptFaults() { TMap::KeptRouteFaults = saved_; }

private:
    std::size_t saved_;
};

TEST_F(RouteFaultsTest, FaultsBeyondTheListedOnesAreCountedInTheListTheCaptionAndTheNotice)
{
    const TScopedKeptFaults kept(2);
    Several();
    form->Button5->click();
    // The reported fault is not among the listed ones; the notice names it all the same.
    EXPECT_EQ(Notice(), QString::fromUtf8("Рельс 2: нет предыдущего (всего ошибок: 6)"));
    form->N19Click();
    EXPECT_EQ(Lines(), (QStringList{SeveralLines()[0], SeveralLines()[1], QString::fromUtf8("и ещё 4")}));
    EXPECT_EQ(form->RouteFaults->Label1->text(), QString::fromUtf8("Новый — ошибок: 6"));
    Scroll(100, 200);
    ClickLine(2);
    EXPECT_EQ(form->HB->Position(), 100);
    EXPECT_EQ(form->VB->Position(), 200);

    const TScopedKeptFaults none(0);
    Map().SetStartRail(0);
    Map().SetFinishRail(1);
    MapBuilders::ReplaceRails(Map(), {Map().Rails().data(), 2});
    form->Button5->click();
    EXPECT_EQ(Lines(), QStringList{QString::fromUtf8("и ещё 2")});
    EXPECT_EQ(Notice(), QString::fromUtf8("Рельс 0: нет предыдущего (всего ошибок: 2)"));
    Map().SetStartRail(-1);
    MapBuilders::ReplaceRails(Map(), {});
    form->Button5->click();
    EXPECT_EQ(Notice(), QString::fromUtf8("Нет стартового рельса, нет финишного рельса"));
    EXPECT_EQ(Lines(), QStringList{QString::fromUtf8("и ещё 2")});
}

} // namespace
