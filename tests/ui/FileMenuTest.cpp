// The File menu, the list of open maps, the caption, the command line and closing.
#include <QImage>
#include <filesystem>

#include "tests/ui/FormFixture.h"

namespace {

using MapBuilders::PutBorder;
using MapBuilders::PutRail;

const QString Caption = QString::fromUtf8("Редактор карт - ");

QStringList Lines(const TListBox& box)
{
    QStringList lines;
    for (int i = 0; i < box.count(); ++i) lines << box.item(i)->text();
    return lines;
}

class FileMenuTest : public FormTest {
protected:
    std::string RailFile(const std::string& name)
    {
        const std::string path = folder.File(name);
        WriteBytes(path, TMapBytes().Rail(100, 100, 300, 100).Rail(300, 100, 300, 400).Bytes());
        return path;
    }
};

TEST_F(FileMenuTest, StartsWithOneNewMapAndTheCaptionNamesIt)
{
    Open();
    EXPECT_EQ(form->windowTitle(), "Form1");
    EXPECT_EQ(Lines(*form->ListBox1), QStringList{QString::fromUtf8("Новый")});
    EXPECT_EQ(form->ListBox1->ItemIndex(), 0);
    EXPECT_EQ(form->HB->Max(), 9283);
    EXPECT_EQ(form->VB->Max(), 9401);
    EXPECT_GE(form->BackBuffer->Width(), 894);
    EXPECT_GE(form->BackBuffer->Height(), 618);
    Tick();
    EXPECT_EQ(form->windowTitle(), Caption + QString::fromUtf8("Новый"));
}

TEST_F(FileMenuTest, TheCommandLineMapOpensIntoTheNewMap)
{
    Open({"kestedit", RailFile("ring.ks"), "ignored.ks"});
    EXPECT_EQ(form->MapList->Count(), 1);
    EXPECT_EQ(Map().RailCount(), 2);
    EXPECT_FALSE(Map().Modified);
    Tick();
    EXPECT_EQ(form->windowTitle(), Caption + "ring");
}

TEST_F(FileMenuTest, AMissingCommandLineMapGivesAnEmptyModifiedMapOfThatName)
{
    Open({"kestedit", folder.File("absent.ks")});
    EXPECT_EQ(Map().RailCount(), 0);
    EXPECT_TRUE(Map().Modified);
    EXPECT_EQ(Lines(*form->ListBox1), QStringList{"absent"});
    EXPECT_TRUE(messages.Service.Errors.empty());
}

TEST_F(FileMenuTest, ADamagedCommandLineMapIsReportedAndTheWindowStillOpens)
{
    const std::vector<std::uint8_t> whole = TMapBytes().Rail(100, 100, 300, 100).Bytes();
    const std::vector<std::uint8_t> bytes(whole.begin(), whole.begin() + 21);
    const std::string path = folder.File("short.ks");
    WriteBytes(path, bytes);
    Open({"kestedit", path});
    EXPECT_EQ(messages.Service.Errors, std::vector<std::string>{path + ": Read beyond end of file"});
    EXPECT_EQ(form->ListBox1->ItemIndex(), 0);
    EXPECT_EQ(form->VB->Max(), 9401);
    Tick();
    EXPECT_TRUE(form->windowTitle().startsWith(Caption));
}

TEST_F(FileMenuTest, AnErrorInAMenuCommandIsShownAndTheWindowGoesOn)
{
    Open();
    const std::string path = folder.File("bad.KS");
    std::vector<std::uint8_t> bytes = TMapBytes().Bytes();
    bytes[0] = 5;  // five borders promised: the first reads the counts' bytes, kind 255
    WriteBytes(path, bytes);
    PutRail(Map(), 100, 100, 300, 100);
    dialogs.Open->Choose(path);
    form->N3->trigger();
    EXPECT_EQ(messages.Service.Errors, std::vector<std::string>{path + ": Range check error"});
    EXPECT_EQ(form->MapList->Count(), 2);
    Tick();
    form->N2->trigger();
    EXPECT_EQ(form->MapList->Count(), 3);
}

TEST_F(FileMenuTest, NewAndOpenSelectTheCurrentLine)
{
    Open();
    PutRail(Map(), 100, 100, 300, 100);
    form->N2->trigger();
    EXPECT_EQ(form->ListBox1->ItemIndex(), 1);
    form->ListBox1->setCurrentRow(0);
    EXPECT_EQ(form->MapList->Current, 0);
    dialogs.Open->Choose(RailFile("field.KS"));
    form->N3->trigger();
    EXPECT_EQ(form->MapList->Current, 0);
    EXPECT_EQ(form->ListBox1->ItemIndex(), 0);
    EXPECT_EQ(Lines(*form->ListBox1), (QStringList{QString::fromUtf8("Новый"), "field"}));
    EXPECT_EQ(form->MapList->Map(1).RailCount(), 2);
}

TEST_F(FileMenuTest, SaveAllSavesEveryMapInOrder)
{
    Open();
    form->N2Click();
    form->N2Click();
    for (std::int32_t i = 0; i < 3; ++i)
        for (std::int32_t k = 0; k < i; ++k) PutBorder(form->MapList->Map(i), 10, 10, 20, 20);
    dialogs.Save->Choose(folder.File("m0")).Choose(folder.File("m1")).Choose(folder.File("m2"));
    form->N7->trigger();
    EXPECT_EQ(Lines(*form->ListBox1), (QStringList{"m0", "m1", "m2"}));
    for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(ReadBytes(folder.File("m" + std::to_string(i) + ".KS")).size(), 16 + 12 * i);
    EXPECT_EQ(form->MapList->Current, 2);
}

TEST_F(FileMenuTest, SaveAndSaveAsWorkOnTheCurrentMap)
{
    Open();
    form->N2Click();
    PutRail(Map(), 100, 100, 300, 100);
    dialogs.Save->Choose(folder.File("first"));
    form->N4->trigger();
    EXPECT_EQ(Lines(*form->ListBox1), (QStringList{QString::fromUtf8("Новый"), "first"}));
    form->N4->trigger();
    EXPECT_EQ(dialogs.Save->Runs, 1);
    dialogs.Save->Choose(folder.File("second.ks"));
    form->f1->trigger();
    EXPECT_EQ(Lines(*form->ListBox1)[1], "second");
    EXPECT_EQ(ReadBytes(folder.File("second.KS")).size(), 24u);
    Tick();
    EXPECT_EQ(form->windowTitle(), Caption + "second");
}

TEST_F(FileMenuTest, CloseAsksAboutAModifiedMap)
{
    struct TCase {
        TMsgResult answer;
        int maps;
    };
    for (const TCase c : {TCase{TMsgResult::Yes, 1}, TCase{TMsgResult::No, 1}, TCase{TMsgResult::Cancel, 2}}) {
        Open();
        form->N2Click();
        PutRail(Map(), 100, 100, 300, 100);
        Map().Modified = true;
        messages.Service.Answer(c.answer);
        if (c.answer == TMsgResult::Yes) dialogs.Save->Choose(folder.File("closed"));
        form->c1->trigger();
        EXPECT_EQ(form->MapList->Count(), c.maps);
        EXPECT_EQ(form->ListBox1->ItemIndex(), form->MapList->Current);
        EXPECT_EQ(form->MapList->Current, c.maps == 1 ? 0 : 1);
    }
    EXPECT_TRUE(std::filesystem::exists(folder.File("closed.KS")));
}

TEST_F(FileMenuTest, ClosingTheWindowIsRefusedByACancel)
{
    Open();
    PutRail(Map(), 100, 100, 300, 100);
    Map().Modified = true;
    form->N2Click();
    messages.Service.Answer(TMsgResult::Cancel);
    EXPECT_FALSE(form->close());
    ASSERT_NE(form->MapList, nullptr);
    EXPECT_EQ(form->MapList->Count(), 2);
    EXPECT_EQ(form->MapList->Current, 1);
    EXPECT_EQ(form->ListBox1->ItemIndex(), 1);
    Tick();

    messages.Service.Answer(TMsgResult::No);
    form->N6->trigger();
    EXPECT_EQ(form->MapList, nullptr);
    EXPECT_EQ(form->BackBuffer, nullptr);
    EXPECT_FALSE(form->Timer1->isActive());
    Tick();
    form->Button2Click();
    form->PaintBox1MouseDown(TMouseButton::Left, 1, 1);
}

TEST_F(FileMenuTest, ChoosingAnotherMapKeepsTheScrollPosition)
{
    Open();
    Scroll(300, 400);
    Tick();
    form->N2Click();
    Scroll(1234, 2345);
    Tick();
    form->ListBox1->setCurrentRow(0);
    EXPECT_EQ(form->MapList->Current, 0);
    Tick();
    EXPECT_EQ(Map().ViewX, 1234);
    EXPECT_EQ(Map().ViewY, 2345);
}

TEST_F(FileMenuTest, ALostSelectionIsRestoredToLineZeroWithoutChangingTheCurrentMap)
{
    Open();
    dialogs.Save->Choose(folder.File("zero"));
    form->N4Click();
    form->N2Click();
    form->ListBox1->SetItemIndex(-1);
    EXPECT_EQ(form->MapList->Current, 1);
    Tick();
    EXPECT_EQ(form->ListBox1->ItemIndex(), 0);
    EXPECT_EQ(form->MapList->Current, 1);
    EXPECT_EQ(form->windowTitle(), Caption + "zero");
}

/// A click of the left button on the list's lines, with modifiers.
void ClickList(TListBox& box, QPoint at, Qt::KeyboardModifiers modifiers)
{
    QWidget* lines = box.viewport();
    for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent event(type, QPointF(at), lines->mapToGlobal(QPointF(at)), Qt::LeftButton,
                          type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, modifiers);
        QApplication::sendEvent(lines, &event);
    }
}

TEST_F(FileMenuTest, TheUserCannotClearTheListSelection)
{
    Open();
    dialogs.Save->Choose(folder.File("zero"));
    form->N4Click();
    form->N2Click();
    ASSERT_EQ(form->ListBox1->ItemIndex(), 1);
    const QRect second = form->ListBox1->visualItemRect(form->ListBox1->item(1));
    // Below the last line, and Ctrl on the selected line: both once cleared it.
    ClickList(*form->ListBox1, QPoint(20, second.bottom() + 30), Qt::NoModifier);
    EXPECT_EQ(form->ListBox1->ItemIndex(), 1);
    ClickList(*form->ListBox1, second.center(), Qt::ControlModifier);
    EXPECT_EQ(form->ListBox1->ItemIndex(), 1);
    Tick();
    EXPECT_EQ(form->MapList->Current, 1);
    EXPECT_EQ(form->windowTitle(), Caption + QString::fromUtf8("Новый"));
    // Choosing a line still works.
    ClickList(*form->ListBox1, form->ListBox1->visualItemRect(form->ListBox1->item(0)).center(), Qt::NoModifier);
    EXPECT_EQ(form->MapList->Current, 0);
    Tick();
    EXPECT_EQ(form->windowTitle(), Caption + "zero");
}

TEST_F(FileMenuTest, ASaveThatFailsSaysWhyAndTheWindowStaysOpen)
{
    Open();
    PutRail(Map(), 100, 100, 300, 100);
    Map().Modified = true;
    const std::string path = folder.File("gone/map.KS");
    Map().FileName = path;
    const std::vector<std::string> shown{path + ": No such file or directory"};
    form->N4->trigger();
    EXPECT_EQ(messages.Service.Errors, shown);
    form->N7->trigger();
    EXPECT_EQ(messages.Service.Errors.size(), 2u);
    // Yes at the close question: the save fails, is reported, and the map stays.
    messages.Service.Answer(TMsgResult::Yes);
    EXPECT_FALSE(form->close());
    EXPECT_EQ(messages.Service.Errors.size(), 3u);
    EXPECT_EQ(messages.Service.Errors.back(), shown[0]);
    ASSERT_NE(form->MapList, nullptr);
    EXPECT_TRUE(Map().Modified);
}

TEST_F(FileMenuTest, ThePictureGoesUnderTheNameAsChosenWithBmpAddedToANameWithoutExtension)
{
    Open();
    PutRail(Map(), 100, 100, 300, 100);
    picture.Cancel();
    form->N9->trigger();
    EXPECT_TRUE(std::filesystem::is_empty(folder.Path()));
    picture.Choose(folder.File("picture"));
    form->N9->trigger();
    const QImage saved(QString::fromStdString(folder.File("picture.bmp")), "BMP");
    EXPECT_EQ(saved.size(), QSize(1000, 1000));
}

} // namespace
