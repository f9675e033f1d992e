// Selecting many elements with the band, Ctrl and "Правка", acting on them,
// moving them with the mouse and the arrows, and the clipboard, through the
// real window.
#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QMimeData>

#include "draw/BandDraw.h"
#include "tests/ui/FormFixture.h"

namespace {

using MapBuilders::PutBorder;
using MapBuilders::PutRail;

class SelectManyTest : public FormTest {
protected:
    void SetUp() override
    {
        FormTest::SetUp();
        Open();
        Tick();
    }
    /// Three rails in a row at y = 100, a border below them, a rail far right; nothing modified.
    void Yard()
    {
        PutRail(Map(), 100, 100, 200, 100);
        PutRail(Map(), 200, 100, 300, 100);
        PutRail(Map(), 300, 100, 400, 100);
        PutBorder(Map(), 100, 200, 400, 200, 0x00FF00);
        PutRail(Map(), 600, 300, 700, 300);
        Map().MarkClean();
        Tool(ToolSelect);
    }
    void Band(QPoint from, QPoint to, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        PressWith(form->PaintBox1, Qt::LeftButton, from.x(), from.y(), modifiers);
        Move(form->PaintBox1, to.x(), to.y());
        Tick();
        Release(form->PaintBox1, Qt::LeftButton, to.x(), to.y());
    }
    std::vector<std::int32_t> SelectedRails() const
    {
        std::vector<std::int32_t> out;
        for (std::int32_t k = 0; k < Map().RailCount(); ++k)
            if (Map().Rails()[static_cast<std::size_t>(k)].Selected) out.push_back(k);
        return out;
    }
    std::vector<TEnds> RailEnds() const
    {
        std::vector<TEnds> out;
        for (const TRail& r : Map().Rails()) out.push_back(EndsOf(r));
        return out;
    }
    QString Text(const char* utf8) const { return QString::fromUtf8(utf8); }
};

TEST_F(SelectManyTest, TheEditMenuOffersTheNewItemsWithTheirKeys)
{
    QStringList captions;
    for (QAction* item : form->N10->actions()) captions << (item->isSeparator() ? QString("-") : item->text());
    EXPECT_EQ(captions.mid(2), (QStringList{"-", Text("Вырезать"), Text("Копировать"), Text("Вставить"),
                                            Text("Вставить на место"), Text("Удалить"), "-", Text("Выделить всё"),
                                            Text("Снять выделение"), "-", Text("Дуга..."), Text("Координаты...")}));
    EXPECT_EQ(form->CutItem->shortcut(), QKeySequence("Ctrl+X"));
    EXPECT_EQ(form->CopyItem->shortcut(), QKeySequence("Ctrl+C"));
    EXPECT_EQ(form->PasteItem->shortcut(), QKeySequence("Ctrl+V"));
    EXPECT_EQ(form->PasteInPlaceItem->shortcut(), QKeySequence("Ctrl+Shift+V"));
    EXPECT_EQ(form->DeleteKey->shortcut(), QKeySequence("Delete"));
    EXPECT_EQ(form->SelectAllItem->shortcut(), QKeySequence("Ctrl+Shift+A"));
    EXPECT_EQ(form->EscapeKey->shortcut(), QKeySequence("Escape"));

    Yard();
    ASSERT_TRUE(Key(Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier));
    EXPECT_EQ(Map().SelectedCount(), 5);
    EXPECT_EQ(Map().SelRail, 0);
    EXPECT_EQ(Map().SelBorder, 0);
    EXPECT_FALSE(form->N11->isEnabled()); // selecting is no step
    ASSERT_TRUE(Key(Qt::Key_Escape));
    EXPECT_EQ(Map().SelectedCount(), 0);
    EXPECT_EQ(Map().SelRail, -1);
    EXPECT_EQ(Map().SelBorder, -1);
}

TEST_F(SelectManyTest, TheBandSelectsWhatLiesWhollyInsideAndIsDrawnDashed)
{
    Yard();
    // From empty space around the first two rails, their ends on the band's edge.
    PressWith(form->PaintBox1, Qt::LeftButton, 100, 60, Qt::NoModifier);
    Move(form->PaintBox1, 300, 150);
    Tick();
    const QImage& picture = form->PaintBox1->Picture();
    const QRgb band = qRgb(BandColor & 0xFF, (BandColor >> 8) & 0xFF, (BandColor >> 16) & 0xFF);
    EXPECT_EQ(picture.pixel(100, 60), band);
    EXPECT_EQ(picture.pixel(100 + BandDash - 1, 60), band);
    EXPECT_NE(picture.pixel(100 + BandDash, 60), band); // the gap of the dash
    EXPECT_EQ(picture.pixel(300, 150 - 2 * BandDash), band);
    Release(form->PaintBox1, Qt::LeftButton, 300, 150);
    EXPECT_EQ(SelectedRails(), (std::vector<std::int32_t>{0, 1}));
    EXPECT_EQ(Map().SelBorder, -1);
    // Shift adds the border and the third rail; Ctrl+click takes rail 1 out.
    Band({90, 150}, {410, 210}, Qt::ShiftModifier);
    Band({250, 90}, {410, 110}, Qt::ShiftModifier);
    EXPECT_EQ(SelectedRails(), (std::vector<std::int32_t>{0, 1, 2}));
    EXPECT_EQ(Map().SelBorder, 0);
    PressWith(form->PaintBox1, Qt::LeftButton, 250, 101, Qt::ControlModifier);
    Release(form->PaintBox1, Qt::LeftButton, 250, 101);
    EXPECT_EQ(SelectedRails(), (std::vector<std::int32_t>{0, 2}));
    EXPECT_FALSE(Map().Modified);

    // A click without a drag is the click it always was: it selects rail 1
    // alone, and on empty space nothing.
    Press(form->PaintBox1, Qt::LeftButton, 250, 101);
    Release(form->PaintBox1, Qt::LeftButton, 250, 101);
    EXPECT_EQ(SelectedRails(), std::vector<std::int32_t>{1});
    EXPECT_EQ(Map().SelBorder, -1);
    EXPECT_FALSE(Map().ManySelected());
    Band({90, 90}, {410, 110});
    Press(form->PaintBox1, Qt::LeftButton, 500, 500);
    Release(form->PaintBox1, Qt::LeftButton, 500, 500);
    EXPECT_EQ(Map().SelectedCount(), 0);
    EXPECT_EQ(Map().SelRail, -1);
    EXPECT_FALSE(form->N11->isEnabled());
}

TEST_F(SelectManyTest, DeleteAndReverseActOnEverySelectedElementAsOneStep)
{
    Yard();
    const std::vector<TEnds> before = RailEnds();
    Band({90, 90}, {410, 210}); // rails 0, 1, 2 and the border
    form->Button3->click();
    EXPECT_EQ(EndsOf(Map().Rails()[1]), (TEnds{300, 100, 200, 100}));
    EXPECT_EQ(EndsOf(Map().Rails()[2]), (TEnds{400, 100, 300, 100}));
    EXPECT_EQ(EndsOf(Map().Rails()[3]), (TEnds{600, 300, 700, 300}));
    EXPECT_EQ(Map().Borders()[0].Kind, bkWall);
    ASSERT_TRUE(Key(Qt::Key_Delete));
    ASSERT_EQ(Map().RailCount(), 1);
    EXPECT_EQ(Map().BorderCount(), 0);
    EXPECT_EQ(EndsOf(Map().Rails()[0]), (TEnds{600, 300, 700, 300}));
    form->N11->trigger();
    EXPECT_EQ(Map().RailCount(), 4);
    EXPECT_EQ(Map().BorderCount(), 1);
    form->N11->trigger();
    EXPECT_EQ(RailEnds(), before);
    EXPECT_EQ(Map().Borders()[0].Kind, bkFlat);
    EXPECT_FALSE(Map().Modified);
}

TEST_F(SelectManyTest, DraggingASelectedElementMovesTheSelectionSnappedAndUndoPutsItBack)
{
    Yard();
    const std::vector<TEnds> before = RailEnds();
    Band({90, 90}, {310, 110}); // rails 0 and 1
    // Grab rail 0 at (150, 100) and drop near rail 3's first end (600, 300).
    Press(form->PaintBox1, Qt::LeftButton, 150, 100);
    Move(form->PaintBox1, 400, 250);
    Tick();
    EXPECT_EQ(EndsOf(Map().Rails()[0]), (TEnds{350, 250, 450, 250}));
    Move(form->PaintBox1, 603, 302);
    Tick();
    Release(form->PaintBox1, Qt::LeftButton, 603, 302);
    EXPECT_EQ(EndsOf(Map().Rails()[0]), (TEnds{550, 300, 650, 300}));
    EXPECT_EQ(EndsOf(Map().Rails()[1]), (TEnds{650, 300, 750, 300}));
    EXPECT_EQ(EndsOf(Map().Rails()[2]), before[2]);
    EXPECT_EQ(SelectedRails(), (std::vector<std::int32_t>{0, 1}));
    form->N11->trigger();
    EXPECT_EQ(RailEnds(), before);
    EXPECT_FALSE(form->N11->isEnabled());
    // The selection outlives the undo, and stops at the world's edge.
    EXPECT_EQ(SelectedRails(), (std::vector<std::int32_t>{0, 1}));
    Press(form->PaintBox1, Qt::LeftButton, 150, 100);
    Move(form->PaintBox1, -200, 100);
    Tick();
    Release(form->PaintBox1, Qt::LeftButton, -200, 100);
    EXPECT_EQ(EndsOf(Map().Rails()[0]), (TEnds{0, 100, 100, 100}));
}

TEST_F(SelectManyTest, ADragsFramesComeFromTheViewsPictureDrawnAgainOnlyWhenTheSelectionMoved)
{
    Yard();
    Band({90, 90}, {310, 110});
    Press(form->PaintBox1, Qt::LeftButton, 150, 100);
    Move(form->PaintBox1, 200, 100);
    Tick();
    const std::uint64_t rebuilds = form->ViewRebuilds();
    Move(form->PaintBox1, 250, 120);
    Tick();
    EXPECT_EQ(form->ViewRebuilds(), rebuilds + 1);
    // At the world's edge the selection stays where it is: the frame copies the picture.
    Move(form->PaintBox1, -300, 100);
    Tick();
    EXPECT_EQ(EndsOf(Map().Rails()[0]), (TEnds{0, 100, 100, 100}));
    const std::uint64_t atEdge = form->ViewRebuilds(), drawn = form->TicksDrawn;
    Move(form->PaintBox1, -350, 100);
    Tick();
    EXPECT_EQ(form->TicksDrawn, drawn + 1);
    EXPECT_EQ(form->ViewRebuilds(), atEdge);
    Release(form->PaintBox1, Qt::LeftButton, -350, 100);
}

TEST_F(SelectManyTest, ArrowKeysMoveTheSelectionAndARunOfPressesIsOneStep)
{
    Yard();
    const std::vector<TEnds> before = RailEnds();
    Band({90, 90}, {310, 110});
    form->show();
    form->PaintBox1->setFocus();
    ASSERT_TRUE(Key(Qt::Key_Right));
    ASSERT_TRUE(Key(Qt::Key_Right));
    ASSERT_TRUE(Key(Qt::Key_Down, Qt::ShiftModifier));
    EXPECT_EQ(EndsOf(Map().Rails()[0]), (TEnds{102, 110, 202, 110}));
    EXPECT_EQ(EndsOf(Map().Rails()[1]), (TEnds{202, 110, 302, 110}));
    form->N11->trigger();
    EXPECT_EQ(RailEnds(), before);
    EXPECT_FALSE(form->N11->isEnabled());
    EXPECT_EQ(SelectedRails(), (std::vector<std::int32_t>{0, 1}));

    // Arrows with nothing selected move nothing and never take back the drag before them.
    Press(form->PaintBox1, Qt::LeftButton, 150, 100);
    Move(form->PaintBox1, 150, 130);
    Release(form->PaintBox1, Qt::LeftButton, 150, 130);
    ASSERT_TRUE(Key(Qt::Key_Escape));
    form->PaintBox1->setFocus();
    ASSERT_TRUE(Key(Qt::Key_Right));
    ASSERT_TRUE(Key(Qt::Key_Right));
    EXPECT_EQ(EndsOf(Map().Rails()[0]), (TEnds{100, 130, 200, 130}));
}

TEST_F(SelectManyTest, ACopyPastedInPlaceIntoAnotherMapGivesTheSameElements)
{
    Yard();
    Band({90, 90}, {410, 210});
    ASSERT_TRUE(Key(Qt::Key_C, Qt::ControlModifier));
    const QMimeData* data = QApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    EXPECT_TRUE(data->hasFormat("application/x-kestedit-map"));
    EXPECT_EQ(data->text().count('\n'), 4);
    const std::vector<TEnds> all = RailEnds();
    const std::vector<TEnds> copied(all.begin(), all.begin() + 3);

    ASSERT_TRUE(Key(Qt::Key_N, Qt::ControlModifier));
    ASSERT_EQ(Map().RailCount(), 0);
    PutRail(Map(), 5000, 5000, 5100, 5000);
    ASSERT_TRUE(Key(Qt::Key_V, Qt::ControlModifier | Qt::ShiftModifier));
    ASSERT_EQ(Map().RailCount(), 4);
    EXPECT_EQ(EndsOf(Map().Rails()[0]), (TEnds{5000, 5000, 5100, 5000}));
    const std::vector<TEnds> pasted = RailEnds();
    EXPECT_EQ(std::vector<TEnds>(pasted.begin() + 1, pasted.end()), copied);
    ASSERT_EQ(Map().BorderCount(), 1);
    EXPECT_EQ(EndsOf(Map().Borders()[0]), (TEnds{100, 200, 400, 200}));
    EXPECT_EQ(Map().Borders()[0].Color, 0x00FF00u);
    EXPECT_EQ(SelectedRails(), (std::vector<std::int32_t>{1, 2, 3}));
    form->N11->trigger();
    EXPECT_EQ(Map().RailCount(), 1);

    // Ctrl+V puts the box's centre (250, 150) under the mouse at (600, 400).
    Move(form->PaintBox1, 600, 400);
    ASSERT_TRUE(Key(Qt::Key_V, Qt::ControlModifier));
    ASSERT_EQ(Map().RailCount(), 4);
    EXPECT_EQ(EndsOf(Map().Rails()[1]), (TEnds{450, 350, 550, 350}));

    // Text of another program pastes nothing and says nothing.
    QApplication::clipboard()->setText("Рельс 1 2 3 4");
    ASSERT_TRUE(Key(Qt::Key_V, Qt::ControlModifier));
    EXPECT_EQ(Map().RailCount(), 4);
    auto* damaged = new QMimeData;
    damaged->setData("application/x-kestedit-map", QByteArray("\x01\x00\x00\x00\x05", 5));
    QApplication::clipboard()->setMimeData(damaged);
    ASSERT_TRUE(Key(Qt::Key_V, Qt::ControlModifier | Qt::ShiftModifier));
    EXPECT_EQ(Map().RailCount(), 4);
    EXPECT_TRUE(messages.Service.Errors.empty());
}

} // namespace
