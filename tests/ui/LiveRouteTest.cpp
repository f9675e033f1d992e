// The live route check in the window: its switch, remembered between runs,
// and its marks and list following each edit.
#include <QLabel>
#include <QListWidget>
#include <filesystem>

#include "ui/TRouteFaultsWindow.h"
#include "tests/ui/FormFixture.h"

namespace {

class LiveRouteTest : public FormTest {
protected:
    /// The main view's and the overview's pictures at a tick with the live check on or off.
    std::pair<QImage, QImage> Frames(bool live)
    {
        if (form->LiveRouteCheck() != live) form->N20->trigger();
        Tick();
        return {form->PaintBox1->Picture().copy(), form->PaintBox2->Picture().copy()};
    }
    /// The pixels where the frame with the check on differs from the one
    /// without, each the colour the check drew there.
    std::vector<std::pair<QPoint, QRgb>> Marks(bool overview = false)
    {
        const auto off = Frames(false), on = Frames(true);
        const QImage& a = overview ? off.second : off.first;
        const QImage& b = overview ? on.second : on.first;
        std::vector<std::pair<QPoint, QRgb>> changed;
        for (int y = 0; y < a.height(); ++y)
            for (int x = 0; x < a.width(); ++x)
                if (a.pixel(x, y) != b.pixel(x, y)) changed.push_back({{x, y}, b.pixel(x, y) & 0xFFFFFF});
        return changed;
    }
    /// True when some changed pixel lies within the ring around view point p.
    static bool RingAt(const std::vector<std::pair<QPoint, QRgb>>& marks, QPoint p, QRgb color)
    {
        for (const auto& [at, rgb] : marks)
            if (rgb == color && std::abs(std::hypot(at.x() - p.x(), at.y() - p.y()) - 7.5) < 1.0) return true;
        return false;
    }
};

TEST_F(LiveRouteTest, TheSwitchIsOffAtFirstAndRememberedBetweenRuns)
{
    Open();
    EXPECT_TRUE(form->N20->isCheckable());
    EXPECT_EQ(form->N20->text(), QString::fromUtf8("Проверять пути на ходу"));
    EXPECT_FALSE(form->LiveRouteCheck());
    ASSERT_TRUE(Key(Qt::Key_E, Qt::ControlModifier | Qt::ShiftModifier));
    EXPECT_TRUE(form->LiveRouteCheck());
    EXPECT_TRUE(std::filesystem::exists(dataHome.File("config/kestedit/kestedit.conf")));
    form.reset();
    Open();
    EXPECT_TRUE(form->LiveRouteCheck()) << "remembered";
    ASSERT_TRUE(Key(Qt::Key_E, Qt::ControlModifier | Qt::ShiftModifier));
    form.reset();
    Open();
    EXPECT_FALSE(form->LiveRouteCheck());
    // Ctrl+E still opens the fault list, whatever the switch.
    EXPECT_TRUE(Key(Qt::Key_E, Qt::ControlModifier));
    EXPECT_FALSE(form->LiveRouteCheck());
}

} // namespace

namespace {

TEST_F(LiveRouteTest, MarksAndTheFaultListFollowEachEditWithoutAPressOfTheCheck)
{
    Open({"kestedit", KEST_TEST_DATA "/../../examples/wrong-way.KS"});
    // The wrong-way rail at the loop's far end.
    Scroll(1000, 100);
    const std::uint64_t revision = Map().Revision();
    const bool modified = Map().Modified;
    // The rails against the loop are marked in red (the rails they cut off in
    // yellow), in the view and the overview, and nothing else changes.
    const auto before = Marks();
    ASSERT_FALSE(before.empty());
    // Rail 11 from (1560, 400) to (1560, 460): no successor at its second end.
    EXPECT_TRUE(RingAt(before, {560, 360}, 0xFF0000));
    for (const auto& [at, rgb] : before)
        EXPECT_TRUE(rgb == 0xFF0000u || rgb == 0xFFFF00u) << at.x() << "," << at.y();
    EXPECT_FALSE(Marks(true).empty());
    form->N19Click();
    Tick();
    const QStringList faults = form->RouteFaults->Lines();
    EXPECT_TRUE(faults.contains(QString::fromUtf8("Рельс 11: нет следующего"))) << faults.join('|').toStdString();
    EXPECT_EQ(Map().Revision(), revision) << "looking changes nothing";
    EXPECT_EQ(Map().Modified, modified);
    EXPECT_EQ(Map().SelRail, -1);

    // Reversing rail 11 takes every mark away; the list says so.
    Map().SelectRail(11);
    form->Button3Click();
    EXPECT_TRUE(Marks().empty());
    EXPECT_EQ(form->RouteFaults->Lines(), QStringList{QString::fromUtf8("Пути в порядке")});

    // A rail that joins nothing: a red ring at each end, a yellow one in its middle.
    Tool(ToolRail);
    Drag(form->PaintBox1, Qt::LeftButton, {600, 500}, {700, 500});
    const auto lone = Marks();
    EXPECT_TRUE(RingAt(lone, {600, 500}, 0xFF0000));
    EXPECT_TRUE(RingAt(lone, {700, 500}, 0xFF0000));
    EXPECT_TRUE(RingAt(lone, {650, 500}, 0xFFFF00));
    EXPECT_TRUE(form->RouteFaults->Label1->text().endsWith(QString::fromUtf8("ошибок: 2, предупреждений: 1")))
        << form->RouteFaults->Label1->text().toStdString();
    // Its line selects it and centres the view on it.
    const int line = static_cast<int>(form->RouteFaults->Lines().indexOf(QString::fromUtf8("Рельс 12: нет следующего")));
    ASSERT_GE(line, 0);
    emit form->RouteFaults->ListBox1->itemClicked(form->RouteFaults->ListBox1->item(line));
    EXPECT_EQ(Map().SelRail, 12);

    ASSERT_TRUE(Key(Qt::Key_Z, Qt::ControlModifier));
    EXPECT_TRUE(Marks().empty());
}

} // namespace
