// Files the window must not write over or mix up: the picture export over a
// map's file or an existing picture, two maps bound to one file, and names
// whose extensions differ only in case. Driven by the File menu's shortcuts.
#include <QImage>
#include <filesystem>

#include "model/MapFileIO.h"
#include "tests/ui/FormFixture.h"

namespace {

namespace fs = std::filesystem;

QStringList Lines(const TListBox& box)
{
    QStringList lines;
    for (int i = 0; i < box.count(); ++i) lines << box.item(i)->text();
    return lines;
}

class FileGuardTest : public FormTest {
protected:
    /// Ctrl with a letter, pressed while the window is active; the shortcut must take it.
    void Ctrl(int key)
    {
        ASSERT_TRUE(Key(key, Qt::ControlModifier));
    }
    /// Two rails drawn with the rail tool in the current map.
    void DrawTwoRails()
    {
        const std::int32_t before = Map().RailCount();
        Tool(ToolRail);
        Drag(form->PaintBox1, Qt::LeftButton, {100, 100}, {300, 100});
        Drag(form->PaintBox1, Qt::LeftButton, {300, 100}, {300, 400});
        ASSERT_EQ(Map().RailCount(), before + 2);
    }
    std::string MapFileOfRails(const std::string& name, int rails)
    {
        TMapBytes bytes;
        for (int i = 0; i < rails; ++i) bytes.Rail(100, 100 + 50 * i, 300, 100 + 50 * i);
        return folder.Write(name, bytes.Bytes());
    }
    void ExpectOnlyError(const std::string& text)
    {
        EXPECT_EQ(messages.Service.Errors, std::vector<std::string>{text});
        EXPECT_TRUE(messages.Service.Questions.empty());
        messages.Service.Errors.clear();
    }
    std::vector<std::string> Questions()
    {
        std::vector<std::string> texts;
        for (const TAskedQuestion& q : messages.Service.Questions) texts.push_back(q.Text);
        messages.Service.Questions.clear();
        return texts;
    }
};

TEST_F(FileGuardTest, ThePictureNeverTakesAMapsFileAndAsksBeforeReplacingAFile)
{
    const std::string yard = MapFileOfRails("yard.KS", 2);
    const std::vector<std::uint8_t> yardBytes = ReadBytes(yard);
    Open({"kestedit", yard});
    // A second map bound to a file not written yet.
    fs::create_directory(folder.File("sub"));
    dialogs.Open->Choose(folder.File("plan"));
    Ctrl(Qt::Key_O);
    ASSERT_EQ(Lines(*form->ListBox1), (QStringList{"yard", "plan"}));

    // The map's own file, by another spelling, and the other map's coming file.
    picture.Choose(folder.File("sub/../yard.KS")).Choose(folder.File("plan.KS"));
    Ctrl(Qt::Key_I);
    ExpectOnlyError("Карта уже открыта: yard");
    Ctrl(Qt::Key_I);
    ExpectOnlyError("Карта уже открыта: plan");
    EXPECT_EQ(ReadBytes(yard), yardBytes);
    EXPECT_FALSE(fs::exists(folder.File("plan.KS")));

    // An existing picture: No keeps it, Yes replaces it.
    const std::string old = folder.Write("old.bmp", {1, 2, 3});
    picture.Choose(old).Choose(old);
    messages.Service.Answer(TMsgResult::No).Answer(TMsgResult::Yes);
    Ctrl(Qt::Key_I);
    EXPECT_EQ(ReadBytes(old), (std::vector<std::uint8_t>{1, 2, 3}));
    Ctrl(Qt::Key_I);
    EXPECT_EQ(Questions(), (std::vector<std::string>(2, "Файл old.bmp уже существует. Заменить?")));
    EXPECT_EQ(QImage(QString::fromStdString(old), "BMP").size(), QSize(1000, 1000));

    // A name without extension gets ".bmp".
    picture.Choose(folder.File("pic"));
    Ctrl(Qt::Key_I);
    EXPECT_EQ(QImage(QString::fromStdString(folder.File("pic.bmp")), "BMP").size(), QSize(1000, 1000));
    EXPECT_FALSE(fs::exists(folder.File("pic")));
    EXPECT_TRUE(messages.Service.Errors.empty());
}

TEST_F(FileGuardTest, SaveAsOntoAnotherOpenMapsFileIsRefusedAndSaveAllKeepsBoth)
{
    const std::string yard = MapFileOfRails("yard.KS", 1);
    Open({"kestedit", yard});
    Ctrl(Qt::Key_N);
    DrawTwoRails();
    fs::create_symlink(yard, folder.File("link.KS"));

    // Save as onto the other map's file, by name and through a link: refused, nothing asked.
    dialogs.Save->Choose(yard).Choose(folder.File("link"));
    Ctrl(Qt::Key_A);
    ExpectOnlyError("Карта уже открыта: yard");
    Ctrl(Qt::Key_A);
    ExpectOnlyError("Карта уже открыта: yard");
    EXPECT_EQ(Map().FileName, "");
    EXPECT_TRUE(Map().Modified);
    EXPECT_EQ(Lines(*form->ListBox1), (QStringList{"yard", QString::fromUtf8("Новый")}));

    // Save all: the named map is written, the new one is refused the same file.
    dialogs.Save->Choose(yard);
    Ctrl(Qt::Key_L);
    ExpectOnlyError("Карта уже открыта: yard");
    EXPECT_EQ(ReadBytes(yard), MapToBytes(form->MapList->Map(0)));
    EXPECT_TRUE(Map().Modified);

    // A map may still be saved as its own file, after the question.
    form->ListBox1->setCurrentRow(0);
    dialogs.Save->Choose(yard);
    messages.Service.Answer(TMsgResult::Yes);
    Ctrl(Qt::Key_A);
    EXPECT_EQ(Questions(), std::vector<std::string>{"Карта yard уже существует. Сохранить?"});
    EXPECT_TRUE(messages.Service.Errors.empty());
    EXPECT_EQ(form->MapList->Map(0).FileName, yard);
}

TEST_F(FileGuardTest, AMapNamedOnTheCommandLineButNotYetWrittenKeepsItsFile)
{
    const std::string plan = folder.File("plan.KS");
    Open({"kestedit", plan});
    Ctrl(Qt::Key_N);
    DrawTwoRails();
    dialogs.Save->Choose(folder.File("plan"));
    Ctrl(Qt::Key_S);
    ExpectOnlyError("Карта уже открыта: plan");
    EXPECT_FALSE(fs::exists(plan));
    EXPECT_EQ(Lines(*form->ListBox1), (QStringList{"plan", QString::fromUtf8("Новый")}));
    EXPECT_TRUE(Map().Modified);

    // Closing it, Yes asks for a name: the same file is refused again and the map stays.
    dialogs.Save->Choose(plan);
    messages.Service.Answer(TMsgResult::Yes);
    Ctrl(Qt::Key_M);
    EXPECT_EQ(Questions(), std::vector<std::string>{"Карта Новый была изменена. Сохранить?"});
    EXPECT_EQ(messages.Service.Errors, std::vector<std::string>{"Карта уже открыта: plan"});
    EXPECT_EQ(form->MapList->Count(), 2);
    EXPECT_EQ(Map().RailCount(), 2);
    EXPECT_FALSE(fs::exists(plan));
}

TEST_F(FileGuardTest, AnExistingFileChosenInADialogIsTheFileUsedWhateverTheCaseOfItsExtension)
{
    const std::string soloUpper = MapFileOfRails("solo.Ks", 1);
    const std::string soloLower = MapFileOfRails("solo.kS", 2);
    const std::string ringLower = MapFileOfRails("ring.ks", 3);
    MapFileOfRails("ring.KS", 4);
    Open();
    dialogs.Open->Choose(soloLower).Choose(ringLower);
    Ctrl(Qt::Key_O);
    EXPECT_EQ(Map().FileName, soloLower);
    EXPECT_EQ(Map().RailCount(), 2);
    Ctrl(Qt::Key_O);
    EXPECT_EQ(Map().FileName, ringLower);
    EXPECT_EQ(Map().RailCount(), 3);

    // Saved back to the file chosen, and saved as an existing file as chosen.
    form->ListBox1->setCurrentRow(0);
    const std::vector<std::uint8_t> upperBytes = ReadBytes(soloUpper);
    DrawTwoRails();
    Ctrl(Qt::Key_S);
    EXPECT_EQ(ReadBytes(soloLower), MapToBytes(Map()));
    EXPECT_EQ(ReadBytes(soloUpper), upperBytes);
    dialogs.Save->Choose(soloUpper);
    messages.Service.Answer(TMsgResult::Yes);
    Ctrl(Qt::Key_A);
    EXPECT_EQ(Questions(), std::vector<std::string>{"Карта solo уже существует. Сохранить?"});
    EXPECT_EQ(Map().FileName, soloUpper);
    EXPECT_EQ(ReadBytes(soloUpper), MapToBytes(Map()));

    // Any other chosen name still gets the editor's ".KS"; a leading dot is part of the name.
    dialogs.Save->Choose(folder.File("solo.old.ks")).Choose(folder.File(".hidden"));
    messages.Service.Answer(TMsgResult::No);
    Ctrl(Qt::Key_A);
    EXPECT_EQ(Questions(), std::vector<std::string>{"Карта solo уже существует. Сохранить?"});
    Ctrl(Qt::Key_A);
    EXPECT_EQ(Map().FileName, folder.File(".hidden.KS"));
    EXPECT_EQ(ReadBytes(folder.File(".hidden.KS")), MapToBytes(Map()));
    EXPECT_EQ(Lines(*form->ListBox1)[0], ".hidden");
    EXPECT_TRUE(messages.Service.Errors.empty());
}

} // namespace
