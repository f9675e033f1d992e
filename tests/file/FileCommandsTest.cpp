// The file commands of a map, row by row of what each outcome leaves behind,
// with scripted dialogs and answers.
#include <gtest/gtest.h>

#include "model/Errors.h"
#include "model/MapFile.h"
#include "model/MapFileIO.h"
#include "model/TMap.h"
#include "tests/file/FileTestSupport.h"
#include "tests/support/FakeDialogs.h"

using filetest::Bytes;
using filetest::DataPath;

namespace {

const std::string ChangedNew = "Карта Новый была изменена. Сохранить?";

class FileCommands : public ::testing::Test {
protected:
    TScopedMessages messages;
    TScopedMapDialogs dialogs;
    TTempFolder scratch;
    TFakeMessageService& Asked() { return messages.Service; }

    /// A modified, unnamed map with one border and two rails.
    static TMap Drawn()
    {
        TMap map;
        map.AddBorder(10, 20, 300, 400, clRed, bkWall);
        map.AddRail(100, 100, 200, 100);
        map.AddRail(1000, 100, 2000, 100);
        return map;
    }
    /// A copy of ring.ks in the scratch folder under name.
    std::string RingCopy(const std::string& name)
    {
        const std::string path = scratch.File(name);
        std::filesystem::copy_file(DataPath("ring.ks"), path);
        return path;
    }
    void ExpectQuestions(const std::vector<std::pair<std::string, TMsgButtons>>& expected)
    {
        ASSERT_EQ(expected.size(), Asked().Questions.size());
        for (std::size_t i = 0; i < expected.size(); ++i) {
            EXPECT_EQ(expected[i].first, Asked().Questions[i].Text);
            EXPECT_EQ(expected[i].second, Asked().Questions[i].Buttons) << ButtonsName(expected[i].second);
        }
    }
};

TEST_F(FileCommands, LoadCancelAtThePromptChangesNothing)
{
    TMap map = Drawn();
    Asked().Answer(TMsgResult::Cancel);
    map.LoadFromFile();
    ExpectQuestions({{ChangedNew, TMsgButtons::YesNoCancel}});
    EXPECT_EQ(0, dialogs.Open->Runs + dialogs.Save->Runs);
    EXPECT_EQ(3, map.BorderCount() + map.RailCount());
    EXPECT_TRUE(map.Modified);
    EXPECT_EQ("", map.FileName);
}

TEST_F(FileCommands, LoadYesAtThePromptSavesAndReadsNothing)
{
    TMap map = Drawn();
    const std::string ring = RingCopy("ring.KS");
    Asked().Answer(TMsgResult::Yes).Answer(TMsgResult::Yes);
    dialogs.Save->Choose(scratch.File("ring.ks"));
    map.LoadFromFile();
    ExpectQuestions({{ChangedNew, TMsgButtons::YesNoCancel},
                     {"Карта ring уже существует. Сохранить?", TMsgButtons::YesNo}});
    EXPECT_EQ(0, dialogs.Open->Runs);
#ifdef _WIN32
    // Where case does not matter, the picked ring.ks is ring.KS itself, used as picked.
    EXPECT_TRUE(SameFile(ring, map.FileName)) << map.FileName;
#else
    EXPECT_EQ(ring, map.FileName);
#endif
    EXPECT_FALSE(map.Modified);
    EXPECT_EQ(2, map.RailCount());
    EXPECT_EQ(MapToBytes(map), filetest::ReadBytes(ring));
}

TEST_F(FileCommands, LoadNoAtThePromptReadsTheChosenFile)
{
    TMap map = Drawn();
    const std::string ring = RingCopy("ring.KS");
    Asked().Answer(TMsgResult::No);
    dialogs.Open->Choose(scratch.File("ring.old.ks"));
    map.LoadFromFile();
    EXPECT_EQ(ring, map.FileName);
    EXPECT_FALSE(map.Modified);
    EXPECT_EQ(0, map.BorderCount());
    EXPECT_EQ(8, map.RailCount());
    EXPECT_TRUE(map.Rails()[0].IsStart);
    EXPECT_TRUE(map.Rails()[4].IsFinish);
}

TEST_F(FileCommands, LoadOpenDialogCancelledChangesNothing)
{
    TMap map;
    map.AppendRails(std::vector<TRail>(1));
    dialogs.Open->Cancel();
    map.LoadFromFile();
    EXPECT_TRUE(Asked().Questions.empty());
    EXPECT_EQ("", map.FileName);
    EXPECT_FALSE(map.Modified);
    EXPECT_EQ(1, map.RailCount());
}

TEST_F(FileCommands, LoadOfAMissingFileLeavesAnEmptyModifiedMapNamedAfterIt)
{
    TMap map;
    map.AppendRails(std::vector<TRail>(2));
    map.SetStartRail(1);
    map.Modified = false;
    dialogs.Open->Choose(scratch.File("new.map"));
    map.LoadFromFile();
    EXPECT_EQ(scratch.File("new.KS"), map.FileName);
    EXPECT_TRUE(map.Modified);
    EXPECT_EQ(0, map.RailCount());
    EXPECT_EQ(-1, map.StartRail);
}

TEST_F(FileCommands, LoadUsesACallersFileNameAsItIs)
{
    TMap map;
    map.FileName = DataPath("ring.ks");
    map.LoadFromFile();
    EXPECT_EQ(0, dialogs.Open->Runs);
    EXPECT_EQ(DataPath("ring.ks"), map.FileName);
    EXPECT_EQ(8, map.RailCount());
    EXPECT_FALSE(map.Modified);
}

TEST_F(FileCommands, LoadOfAnUnreadablePathRaisesAndForgetsTheName)
{
    TMap map;
    map.AppendRails(std::vector<TRail>(1));
    std::filesystem::create_directory(scratch.File("folder.KS"));
    dialogs.Open->Choose(scratch.File("folder.ks"));
    try {
        map.LoadFromFile();
        FAIL() << "no error";
    } catch (const EFileError& e) {
        EXPECT_EQ(scratch.File("folder.KS") + ": Is a directory", e.what());
    }
    EXPECT_EQ("", map.FileName);
    EXPECT_EQ(0, map.RailCount());
    EXPECT_TRUE(map.Modified);
}

TEST_F(FileCommands, LoadOfADamagedFileForgetsTheNameSoItIsNeverSavedOver)
{
    // A copy: the save below must not be able to reach the damaged file.
    const std::string path = scratch.File("dmg.ks");
    std::filesystem::copy_file(DataPath("damaged/kind4.ks"), path);
    const Bytes damaged = filetest::ReadBytes(path);
    TMap map;
    map.FileName = path;
    try {
        map.LoadFromFile();
        FAIL() << "no error";
    } catch (const EFileError& e) {
        EXPECT_EQ(path + ": Range check error", e.what());
    }
    EXPECT_EQ("", map.FileName);
    EXPECT_EQ("Новый", map.DisplayName());
    EXPECT_EQ(1, map.BorderCount());
    EXPECT_TRUE(map.Modified);
    // Every save now asks for a name; a cancel writes nothing.
    dialogs.Save->Cancel();
    EXPECT_FALSE(map.Save());
    EXPECT_EQ(1, dialogs.Save->Runs);
    EXPECT_EQ(damaged, filetest::ReadBytes(path));
}

TEST_F(FileCommands, SaveDialogCancelledChangesNothing)
{
    TMap map = Drawn();
    dialogs.Save->Cancel().Cancel();
    EXPECT_FALSE(map.Save());
    map.SaveAs();
    EXPECT_EQ("", map.FileName);
    EXPECT_TRUE(map.Modified);
    EXPECT_TRUE(scratch.Names().empty());
}

TEST_F(FileCommands, SaveNoAtTheOverwriteQuestionRestoresThePreviousName)
{
    const std::string ring = RingCopy("ring.KS");
    const Bytes before = filetest::ReadBytes(ring);
    TMap map = Drawn();
    dialogs.Save->Choose(scratch.File("ring"));
    Asked().Answer(TMsgResult::No);
    EXPECT_FALSE(map.Save());
    ExpectQuestions({{"Карта ring уже существует. Сохранить?", TMsgButtons::YesNo}});
    EXPECT_EQ("", map.FileName);
    EXPECT_TRUE(map.Modified);
    EXPECT_EQ(before, filetest::ReadBytes(ring));

    map.FileName = scratch.File("mine.KS");
    dialogs.Save->Choose(ring);
    Asked().Answer(TMsgResult::No);
    map.SaveAs();
    EXPECT_EQ(scratch.File("mine.KS"), map.FileName);
    EXPECT_EQ(before, filetest::ReadBytes(ring));
}

TEST_F(FileCommands, SaveYesAtTheOverwriteQuestionReplacesTheFile)
{
    const std::string ring = RingCopy("ring.KS");
    TMap map = Drawn();
    dialogs.Save->Choose(ring);
    Asked().Answer(TMsgResult::Yes);
    EXPECT_TRUE(map.Save());
    EXPECT_EQ(ring, map.FileName);
    EXPECT_FALSE(map.Modified);
    EXPECT_EQ(MapToBytes(map), filetest::ReadBytes(ring));
    EXPECT_EQ(std::vector<std::string>({"ring.KS"}), scratch.Names());
}

TEST_F(FileCommands, SaveOfAFileThatCannotBeCreatedReturnsFalseKeepingTheNewName)
{
    TMap map = Drawn();
    dialogs.Save->Choose(scratch.File("no/such/folder/a.ks"));
    EXPECT_FALSE(map.Save());
    EXPECT_EQ(scratch.File("no/such/folder/a.KS"), map.FileName);
    EXPECT_TRUE(map.Modified);
    EXPECT_TRUE(Asked().Questions.empty());
}

TEST_F(FileCommands, SaveOfANamedMapWritesAtOnceAskingNothing)
{
    const std::string ring = RingCopy("ring.KS");
    TMap map;
    map.FileName = ring;
    EXPECT_FALSE(map.Modified);
    EXPECT_TRUE(map.Save());
    EXPECT_EQ(0, dialogs.Save->Runs);
    EXPECT_TRUE(Asked().Questions.empty());
    EXPECT_EQ(16u, filetest::ReadBytes(ring).size());
}

TEST_F(FileCommands, SaveAsAlwaysAsksAndTakesTheNewName)
{
    TMap map = Drawn();
    map.FileName = scratch.File("old.KS");
    dialogs.Save->Choose(scratch.File("Новая карта.ks"));
    map.SaveAs();
    EXPECT_EQ(scratch.File("Новая карта.KS"), map.FileName);
    EXPECT_EQ("Новая карта", map.DisplayName());
    EXPECT_FALSE(map.Modified);
    EXPECT_EQ(std::vector<std::string>({"Новая карта.KS"}), scratch.Names());
}

TEST_F(FileCommands, ConfirmCloseOfAnUnmodifiedMapEmptiesItWithoutAsking)
{
    TMap map = Drawn();
    map.Modified = false;
    map.FileName = "keep.KS";
    EXPECT_TRUE(map.ConfirmClose());
    EXPECT_TRUE(Asked().Questions.empty());
    EXPECT_EQ(0, map.BorderCount() + map.RailCount());
    EXPECT_TRUE(map.Modified);
    EXPECT_EQ("keep.KS", map.FileName);

    TMap empty;
    EXPECT_TRUE(empty.ConfirmClose());
    EXPECT_FALSE(empty.Modified);
}

TEST_F(FileCommands, ConfirmCloseFollowsTheAnswer)
{
    struct TCase {
        TMsgResult Answer;
        std::optional<std::string> SaveChoice; // only asked after Yes
        bool Result;
        bool Emptied;
        bool Modified;
    };
    const std::vector<TCase> cases = {
        {TMsgResult::Cancel, std::nullopt, false, false, true},
        {TMsgResult::No, std::nullopt, true, true, true},
        {TMsgResult::Yes, std::string("saved.ks"), true, true, true},
        {TMsgResult::Yes, std::nullopt, false, false, true},
    };
    for (const TCase& c : cases) {
        TMap map = Drawn();
        Asked().Questions.clear();
        Asked().Answer(c.Answer);
        if (c.Answer == TMsgResult::Yes) {
            if (c.SaveChoice) {
                dialogs.Save->Choose(scratch.File(*c.SaveChoice));
            } else {
                dialogs.Save->Cancel();
            }
        }
        EXPECT_EQ(c.Result, map.ConfirmClose());
        ExpectQuestions({{ChangedNew, TMsgButtons::YesNoCancel}});
        EXPECT_EQ(c.Emptied, map.BorderCount() + map.RailCount() == 0);
        EXPECT_EQ(c.Modified, map.Modified);
    }
    TMap saved;
    ReadMapFile(saved, scratch.File("saved.KS"));
    EXPECT_EQ(2, saved.RailCount());
}

} // namespace
