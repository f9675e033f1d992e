// Laying track exactly through the real window: the arc dialog and its
// preview, the Ctrl-drag arc, the coordinates dialog and the measures.
#include <QComboBox>
#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QSpinBox>
#include <functional>

#include "model/ArcGeometry.h"
#include "tests/ui/FormFixture.h"
#include "ui/TArcDialog.h"

namespace {

using MapBuilders::PutBorder;
using MapBuilders::PutRail;

class TrackTest : public FormTest {
protected:
    void SetUp() override
    {
        FormTest::SetUp();
        Open();
        Scroll(900, 900);
        // A rail running right, its second end at view point (200, 100).
        PutRail(Map(), 1000, 1000, 1100, 1000);
        Map().SelectRail(0);
        Map().MarkClean();
        Tick();
    }
    /// Runs act on the modal dialog of type D that the next command opens;
    /// act must close it.
    template <class D>
    static void OnDialog(std::function<void(D&)> act)
    {
        QTimer::singleShot(0, [act] {
            auto* dialog = dynamic_cast<D*>(QApplication::activeModalWidget());
            if (!dialog) {
                ADD_FAILURE() << "no dialog";
                if (QApplication::activeModalWidget()) QApplication::activeModalWidget()->close();
                return;
            }
            act(*dialog);
        });
    }
    static void Enter(QWidget* widget)
    {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(widget, &press);
    }
    static QString Selected(QSpinBox* field) { return field->findChild<QLineEdit*>()->selectedText(); }
    QImage Frame()
    {
        form->ForgetLastTick();
        Tick();
        return form->PaintBox1->Picture().convertToFormat(QImage::Format_RGB32);
    }
    /// The pixels where two frames differ.
    static std::vector<QPoint> Changed(const QImage& a, const QImage& b)
    {
        std::vector<QPoint> changed;
        for (int y = 0; y < a.height(); ++y)
            for (int x = 0; x < a.width(); ++x)
                if (a.pixel(x, y) != b.pixel(x, y)) changed.push_back({x, y});
        return changed;
    }
    /// True when view point p lies within a pixel and a half of one of the rails (world units, view at 900, 900).
    static bool NearRails(QPoint p, const std::vector<TRail>& rails)
    {
        for (const TRail& r : rails) {
            const double ax = r.X1 - 900, ay = r.Y1 - 900, bx = r.X2 - 900, by = r.Y2 - 900;
            const double len2 = (bx - ax) * (bx - ax) + (by - ay) * (by - ay);
            const double t = std::clamp(((p.x() - ax) * (bx - ax) + (p.y() - ay) * (by - ay)) / len2, 0.0, 1.0);
            if (std::hypot(p.x() - ax - t * (bx - ax), p.y() - ay - t * (by - ay)) <= 1.5) return true;
        }
        return false;
    }
    std::vector<TRail> RailsFrom(std::int32_t first) const
    {
        return {Map().Rails().begin() + first, Map().Rails().end()};
    }
};

TEST_F(TrackTest, TheItemsAndKeysAreThereAndFollowTheSelection)
{
    EXPECT_EQ(form->ArcItem->text(), QString::fromUtf8("Дуга..."));
    EXPECT_EQ(form->ArcItem->shortcut(), QKeySequence("Ctrl+R"));
    EXPECT_EQ(form->CoordinatesItem->text(), QString::fromUtf8("Координаты..."));
    EXPECT_EQ(form->CoordinatesItem->shortcut(), QKeySequence("Ctrl+K"));
    EXPECT_EQ(form->MeasuresItem->text(), QString::fromUtf8("Размеры"));
    EXPECT_EQ(form->MeasuresItem->shortcut(), QKeySequence("Ctrl+Shift+D"));
    EXPECT_TRUE(form->ArcItem->isEnabled());
    Map().SelectRail(-1);
    PutBorder(Map(), 100, 100, 200, 100);
    Map().SelectBorder(0);
    Tick();
    EXPECT_FALSE(form->ArcItem->isEnabled());
    EXPECT_TRUE(form->CoordinatesItem->isEnabled());
    Map().SelectBorder(-1);
    Tick();
    EXPECT_FALSE(form->CoordinatesItem->isEnabled());
    EXPECT_FALSE(Key(Qt::Key_R, Qt::ControlModifier)) << "a disabled item takes no key";
}

TEST_F(TrackTest, TheArcDialogShowsWhatOkLaysLaysItAsOneStepAndRemembersItsValues)
{
    const QImage before = Frame();
    std::vector<QPoint> previewPixels;
    OnDialog<TArcDialog>([&](TArcDialog& d) {
        EXPECT_EQ(d.windowTitle(), QString::fromUtf8("Дуга"));
        EXPECT_EQ(d.Values(), TArcValues{}) << "the defaults at the first start";
        EXPECT_EQ((std::vector<int>{d.Radius->value(), d.Piece->value(), d.Angle->value()}), (std::vector<int>{300, 50, 90}));
        EXPECT_EQ(d.End->itemText(0), QString::fromUtf8("второго (вперёд)"));
        EXPECT_EQ(d.End->itemText(1), QString::fromUtf8("первого (назад)"));
        EXPECT_EQ(d.focusWidget(), d.Radius);
        EXPECT_EQ(Selected(d.Radius), QStringLiteral("300"));
        // Tab walks the fields in order.
        for (QWidget* next : std::initializer_list<QWidget*>{d.Piece, d.Angle, d.End}) {
            QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
            QApplication::sendEvent(d.focusWidget(), &tab);
            EXPECT_EQ(d.focusWidget(), next);
        }
        d.Radius->setValue(200);
        d.Piece->setValue(40);
        // The view shows the arc OK would lay, in the drawing colour, and nothing else changed.
        const std::vector<TRail> expected = ArcByAngle(Map().Rails()[0], TArcEnd::Second, 200, 40, 90).Rails;
        EXPECT_EQ(form->ArcPreview().size(), expected.size());
        const QImage shown = Frame();
        previewPixels = Changed(before, shown);

        for (const QPoint& p : previewPixels) EXPECT_TRUE(NearRails(p, expected)) << p.x() << "," << p.y();
        Enter(d.Radius);
    });
    ASSERT_TRUE(Key(Qt::Key_R, Qt::ControlModifier));
    EXPECT_GT(previewPixels.size(), 100u);
    EXPECT_TRUE(form->ArcPreview().empty());

    // n = round(pi/2 * 200 / 40) = 8 rails from the selected rail's end, joined end to start.
    const TArcChain chain = ArcByAngle(Map().Rails()[0], TArcEnd::Second, 200, 40, 90);
    ASSERT_EQ(Map().RailCount(), 9);
    const std::vector<TRail> laid = RailsFrom(1);
    for (std::size_t k = 0; k < laid.size(); ++k) {
        EXPECT_EQ((std::array{laid[k].X1, laid[k].Y1, laid[k].X2, laid[k].Y2}),
                  (std::array{chain.Rails[k].X1, chain.Rails[k].Y1, chain.Rails[k].X2, chain.Rails[k].Y2}));
        EXPECT_FALSE(laid[k].IsStart || laid[k].IsFinish);
    }
    EXPECT_EQ(Map().SelRail, 8) << "the last rail, so that Ctrl+R continues the curve";
    // The route check joins the rail and the whole arc: only the open ends are faults.
    TMap checked = Map();
    checked.SetStartRail(0);
    checked.SetFinishRail(8);
    std::int32_t fault = -1;
    std::vector<TRouteFault> faults;
    checked.CheckRoutes(fault, &faults);
    EXPECT_EQ(faults, (std::vector<TRouteFault>{{8, TRouteFaultKind::NoSuccessor}, {0, TRouteFaultKind::NoPredecessor}}));
    form->N11Click();
    EXPECT_EQ(Map().RailCount(), 1) << "one undo step took the whole arc";
    EXPECT_FALSE(Map().Modified);

    // The values of the last OK are the next defaults, in this window and the next.
    form.reset();
    Open();
    PutRail(Map(), 1000, 1000, 1100, 1000);
    Map().SelectRail(0);
    OnDialog<TArcDialog>([](TArcDialog& d) {
        EXPECT_EQ((std::vector<int>{d.Radius->value(), d.Piece->value(), d.Angle->value()}), (std::vector<int>{200, 40, 90}));
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(d.Radius, &escape);
    });
    form->ArcItemClick();
    EXPECT_EQ(Map().RailCount(), 1) << "Отмена lays nothing";
}

TEST_F(TrackTest, ARefusedArcIsSaidAndLaysNothingAndBackwardRunsIntoTheRail)
{
    OnDialog<TArcDialog>([&](TArcDialog& d) {
        d.Angle->setValue(0);
        d.accept();
        EXPECT_TRUE(d.isVisible()) << "the dialog stays for a correction";
        EXPECT_TRUE(form->ArcPreview().empty());
        // A piece too long for the radius would turn a step by 90 degrees or more.
        d.Angle->setValue(90);
        d.Radius->setValue(100);
        d.Piece->setValue(150);
        d.accept();
        EXPECT_TRUE(d.isVisible());
        d.Buttons->button(QDialogButtonBox::Cancel)->click();
    });
    form->ArcItemClick();
    EXPECT_EQ(messages.Service.Errors.size(), 2u);
    EXPECT_EQ(Map().RailCount(), 1);
    EXPECT_FALSE(Map().CanUndo());

    OnDialog<TArcDialog>([](TArcDialog& d) {
        d.Angle->setValue(-45);
        d.End->setCurrentIndex(1);
        d.accept();
    });
    form->ArcItemClick();
    const std::int32_t n = Map().RailCount() - 1;
    ASSERT_GT(n, 1);
    const TRail& last = Map().Rails().back();
    EXPECT_EQ((std::array{last.X2, last.Y2}), (std::array{1000, 1000})) << "the chain ends at the rail's first end";
    EXPECT_EQ(Map().SelRail, 1) << "the first rail of the chain";
}

TEST_F(TrackTest, ACtrlDragFromASecondEndLaysAnArcEndingUnderTheMouseAndEscapeTakesItBack)
{
    Tool(ToolRail);
    const QImage before = Frame();
    PressWith(form->PaintBox1, Qt::LeftButton, 201, 99, Qt::ControlModifier);
    Move(form->PaintBox1, 300, 200);
    EXPECT_TRUE(form->ArcDrawing());
    const QImage shown = Frame();
    const TArcChain chain = ArcToPoint(Map().Rails()[0], {1200, 1100}, ReadArcValues().Piece);
    ASSERT_TRUE(chain);
    for (const QPoint& p : Changed(before, shown)) EXPECT_TRUE(NearRails(p, chain.Rails)) << p.x() << "," << p.y();
    Release(form->PaintBox1, Qt::LeftButton, 300, 200);
    EXPECT_FALSE(form->ArcDrawing());
    ASSERT_EQ(Map().RailCount(), 1 + static_cast<std::int32_t>(chain.Rails.size()));
    EXPECT_EQ(Map().Rails()[1].X1, 1100);
    EXPECT_EQ((std::array{Map().Rails().back().X2, Map().Rails().back().Y2}), (std::array{1200, 1100}));
    form->N11Click();
    EXPECT_EQ(Map().RailCount(), 1);

    // Escape takes the arc being drawn out back; the release then lays nothing.
    PressWith(form->PaintBox1, Qt::LeftButton, 200, 100, Qt::ControlModifier);
    Move(form->PaintBox1, 300, 50);
    form->EscapeKeyPress();
    EXPECT_FALSE(form->ArcDrawing());
    EXPECT_EQ(Frame(), before);
    Release(form->PaintBox1, Qt::LeftButton, 300, 50);
    EXPECT_EQ(Map().RailCount(), 1);

    // Away from a second end (here the first end) Ctrl draws a plain rail.
    PressWith(form->PaintBox1, Qt::LeftButton, 100, 100, Qt::ControlModifier);
    EXPECT_FALSE(form->ArcDrawing());
    EXPECT_EQ(form->Placing(), 2);
    Release(form->PaintBox1, Qt::LeftButton, 100, 300);
    EXPECT_EQ(Map().RailCount(), 2);
}

TEST_F(TrackTest, TheCoordinatesDialogSetsTheChosenElementsEndsAsOneStep)
{
    PutBorder(Map(), 2000, 2000, 2100, 2050);
    Map().SelectBorder(0);
    Map().MarkClean();
    OnDialog<TCoordinatesDialog>([](TCoordinatesDialog& d) {
        EXPECT_EQ((std::vector<int>{d.X1->value(), d.Y1->value(), d.X2->value(), d.Y2->value()}),
                  (std::vector<int>{1000, 1000, 1100, 1000}));
        EXPECT_EQ(d.focusWidget(), d.X1);
        EXPECT_EQ(Selected(d.X1), QStringLiteral("1000"));
        ASSERT_NE(d.Which, nullptr);
        EXPECT_EQ(d.Which->itemText(0), QString::fromUtf8("рельс"));
        d.Which->setCurrentIndex(1);
        EXPECT_EQ((std::vector<int>{d.X1->value(), d.Y1->value(), d.X2->value(), d.Y2->value()}),
                  (std::vector<int>{2000, 2000, 2100, 2050}));
        d.X2->setValue(2500);
        d.Y2->setValue(10000);
        Enter(d.X2);
    });
    ASSERT_TRUE(Key(Qt::Key_K, Qt::ControlModifier));
    EXPECT_EQ((std::array{Map().Borders()[0].X2, Map().Borders()[0].Y2}), (std::array{2500, 10000}));
    EXPECT_EQ(Map().Rails()[0].X2, 1100);
    form->N11Click();
    EXPECT_EQ((std::array{Map().Borders()[0].X2, Map().Borders()[0].Y2}), (std::array{2100, 2050}));
    EXPECT_FALSE(Map().Modified);

    // A rail shorter than tidying keeps is refused, nothing changed.
    Map().SelectBorder(-1);
    OnDialog<TCoordinatesDialog>([](TCoordinatesDialog& d) {
        EXPECT_EQ(d.Which, nullptr);
        d.X2->setValue(1005);
        d.accept();
        EXPECT_TRUE(d.isVisible());
        d.reject();
    });
    form->CoordinatesItemClick();
    EXPECT_EQ(messages.Service.Errors.size(), 1u);
    EXPECT_EQ(Map().Rails()[0].X2, 1100);
}

TEST_F(TrackTest, TheMeasuresAreOffAtFirstShowLengthAndPointAndLeaveFramesAloneWhenOff)
{
    EXPECT_FALSE(form->Measures());
    Tool(ToolRail);
    Move(form->PaintBox1, 400, 300);
    const QImage plain = Frame();
    ASSERT_TRUE(Key(Qt::Key_D, Qt::ControlModifier | Qt::ShiftModifier));
    EXPECT_TRUE(form->Measures());
    // Only the corner changes while nothing is drawn out.
    for (const QPoint& p : Changed(plain, Frame())) EXPECT_TRUE(p.x() < 200 && p.y() > 560) << p.x() << "," << p.y();
    // Drawing out a rail: a label beside the mouse.
    Press(form->PaintBox1, Qt::LeftButton, 400, 300);
    Move(form->PaintBox1, 500, 300);
    Tick(); // the frame after the tick that moved the end
    const QImage measured = Frame();
    ASSERT_TRUE(Key(Qt::Key_D, Qt::ControlModifier | Qt::ShiftModifier));
    const QImage unmeasured = Frame();
    bool label = false;
    for (const QPoint& p : Changed(unmeasured, measured)) {
        const bool corner = p.x() < 200 && p.y() > 560;
        const bool beside = p.x() >= 514 && p.x() < 700 && p.y() >= 314 && p.y() < 340;
        EXPECT_TRUE(corner || beside) << p.x() << "," << p.y();
        label = label || beside;
    }
    EXPECT_TRUE(label);
    Release(form->PaintBox1, Qt::LeftButton, 500, 300);
    Move(form->PaintBox1, 400, 300);
    form->N11Click();
    EXPECT_EQ(Frame(), plain) << "off, the frame is the map's own";
    // Remembered between runs.
    ASSERT_TRUE(Key(Qt::Key_D, Qt::ControlModifier | Qt::ShiftModifier));
    form.reset();
    Open();
    EXPECT_TRUE(form->Measures());
}

} // namespace
