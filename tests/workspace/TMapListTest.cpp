#include <gtest/gtest.h>

#include <filesystem>

#include "model/Errors.h"
#include "model/MapFile.h"
#include "tests/support/FakeDialogs.h"
#include "tests/support/MapBuilders.h"
#include "tests/support/MapBytes.h"
#include "tests/support/TempFolder.h"
#include "workspace/TMapList.h"

namespace {

const std::string New = "Новый";

class TVectorNames : public TMapNames {
public:
    void Append(const std::string& line) override { Lines.push_back(line); }
    void Replace(std::int32_t i, const std::string& line) override { Lines.at(static_cast<std::size_t>(i)) = line; }
    void Delete(std::int32_t i) override { Lines.erase(Lines.begin() + i); }
    std::int32_t Count() const override { return static_cast<std::int32_t>(Lines.size()); }
    std::string Line(std::int32_t i) const override { return Lines.at(static_cast<std::size_t>(i)); }
    std::vector<std::string> Lines;
};

class MapListTest : public ::testing::Test {
protected:
    /// A valid map file holding one rail, named name inside the folder. Names
    /// chosen in the open dialog get the extension ".KS", so tests use that.
    std::string MapFile(const std::string& name)
    {
        const std::string path = folder.File(name);
        WriteBytes(path, TMapBytes().Rail(100, 100, 300, 100).Bytes());
        return path;
    }
    /// Checks the invariant that every line names its map.
    void ExpectLinesMatch() const
    {
        ASSERT_EQ(names.Count(), list.Count());
        for (std::int32_t i = 0; i < list.Count(); ++i) EXPECT_EQ(names.Line(i), list.Map(i).DisplayName()) << i;
    }
    void Draw(TMap& map) { map.AddBorder(10, 10, 20, 20, clRed, bkFlat); }

    TTempFolder folder;
    TScopedMessages messages;
    TScopedMapDialogs dialogs;
    TVectorNames names;
    TMapList list{names};
};

TEST_F(MapListTest, StartsWithOneNewMapThatIsCurrent)
{
    EXPECT_EQ(list.Count(), 1);
    EXPECT_EQ(list.Current, 0);
    EXPECT_EQ(names.Lines, std::vector<std::string>{New});
    EXPECT_FALSE(list.Map(0).Modified);
    EXPECT_TRUE(list.Map(0).FileName.empty());
}

TEST_F(MapListTest, NewMapAppendsAndBecomesCurrent)
{
    list.NewMap();
    list.NewMap();
    EXPECT_EQ(list.Count(), 3);
    EXPECT_EQ(list.Current, 2);
    EXPECT_EQ(names.Lines, (std::vector<std::string>{New, New, New}));
    EXPECT_NE(list.Map(1).Id(), list.Map(2).Id());
}

TEST_F(MapListTest, OpenLoadsIntoTheUntouchedNewMapWithoutAddingALine)
{
    dialogs.Open->Choose(MapFile("field.KS"));
    list.OpenMap();
    EXPECT_EQ(list.Count(), 1);
    EXPECT_EQ(list.Current, 0);
    EXPECT_EQ(list.Map(0).RailCount(), 1);
    EXPECT_EQ(names.Lines, std::vector<std::string>{"field"});
    EXPECT_TRUE(messages.Service.Questions.empty());
}

TEST_F(MapListTest, OpenAppendsAMapWhenTheNewMapHoldsElements)
{
    Draw(list.Map(0));
    dialogs.Open->Choose(MapFile("field.KS"));
    list.OpenMap();
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Current, 1);
    EXPECT_EQ(list.Map(0).BorderCount(), 1);
    EXPECT_EQ(list.Map(1).RailCount(), 1);
    EXPECT_EQ(names.Lines, (std::vector<std::string>{New, "field"}));
}

TEST_F(MapListTest, OpenTakesTheFirstFreeMapAndKeepsCurrent)
{
    Draw(list.Map(0));
    list.NewMap();
    list.Current = 0;
    dialogs.Open->Choose(MapFile("field.KS"));
    list.OpenMap();
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Current, 0);
    EXPECT_EQ(list.Map(1).RailCount(), 1);
    ExpectLinesMatch();
}

TEST_F(MapListTest, AMapDrawnOnAndEmptiedAgainIsFreeButAsksFirst)
{
    TMap& map = list.Map(0);
    Draw(map);
    map.DeleteBorder(0);
    ASSERT_TRUE(map.Modified);
    messages.Service.Answer(TMsgResult::No);
    dialogs.Open->Choose(MapFile("field.KS"));
    list.OpenMap();
    EXPECT_EQ(list.Count(), 1);
    ASSERT_EQ(messages.Service.Questions.size(), 1u);
    EXPECT_EQ(messages.Service.Questions[0].Text, "Карта Новый была изменена. Сохранить?");
    EXPECT_EQ(messages.Service.Questions[0].Buttons, TMsgButtons::YesNoCancel);
    EXPECT_EQ(map.RailCount(), 1);
    EXPECT_FALSE(map.Modified);
}

TEST_F(MapListTest, CancellingTheOpenDialogKeepsTheAppendedMap)
{
    Draw(list.Map(0));
    dialogs.Open->Cancel();
    list.OpenMap();
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Current, 1);
    EXPECT_EQ(names.Lines, (std::vector<std::string>{New, New}));
    EXPECT_TRUE(list.Map(1).FileName.empty());
}

TEST_F(MapListTest, AnEmptyMapStoredAsNovyIsFreeAndLosesItsName)
{
    TMap& map = list.Map(0);
    map.FileName = folder.File("Новый.ks");
    dialogs.Open->Choose(MapFile("field.KS"));
    list.OpenMap();
    EXPECT_EQ(list.Count(), 1);
    EXPECT_EQ(map.FileName, folder.File("field.KS"));
    EXPECT_EQ(names.Lines, std::vector<std::string>{"field"});
}

TEST_F(MapListTest, AMapWithAnotherFileIsNotFreeEvenWhenEmpty)
{
    list.Map(0).FileName = folder.File("empty.ks");
    names.Replace(0, "empty");
    dialogs.Open->Choose(MapFile("field.KS"));
    list.OpenMap();
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Current, 1);
    ExpectLinesMatch();
}

TEST_F(MapListTest, AMissingFileLeavesAnEmptyModifiedMapListedUnderItsName)
{
    list.OpenFile(folder.File("absent.ks"));
    const TMap& map = list.Map(0);
    EXPECT_EQ(map.RailCount() + map.BorderCount(), 0);
    EXPECT_TRUE(map.Modified);
    EXPECT_EQ(names.Lines, std::vector<std::string>{"absent"});
}

TEST_F(MapListTest, OpenFileUsesThePathExactlyAsGiven)
{
    const std::string path = folder.File("lower.ks");
    WriteBytes(path, TMapBytes().Rail(100, 100, 300, 100).Rail(300, 100, 300, 400).Bytes());
    list.OpenFile(path);
    EXPECT_EQ(list.Map(0).FileName, path);
    EXPECT_EQ(list.Map(0).RailCount(), 2);
    EXPECT_EQ(dialogs.Open->Runs, 0);
    EXPECT_EQ(names.Lines, std::vector<std::string>{"lower"});
}

TEST_F(MapListTest, ACommandLineNameFindsTheFileWhoseExtensionDiffersInCaseOnly)
{
    const std::string lower = MapFile("field.ks");
    list.OpenFile(folder.File("field.KS"));
    // Where case does not matter, field.KS is that very file already.
    EXPECT_TRUE(SameFile(list.Map(0).FileName, lower)) << list.Map(0).FileName;
    EXPECT_EQ(list.Map(0).RailCount(), 1);
    EXPECT_FALSE(list.Map(0).Modified);
}

TEST_F(MapListTest, OpeningAFileAlreadyOpenMakesItsMapCurrentAndLoadsNothing)
{
    const std::string path = MapFile("twice.KS");
    std::filesystem::create_directory(folder.File("sub"));
    std::vector<std::string> spellings{folder.File("sub/../twice.KS")};
#ifndef _WIN32
    std::filesystem::create_symlink(path, folder.File("link.KS"));
    spellings.push_back(folder.File("link.KS"));
#endif
    dialogs.Open->Choose(path);
    list.OpenMap();
    Draw(list.Map(0)); // unsaved edits that a second copy would overwrite
    list.NewMap();
    // The same file however its path is written: through a folder and back, or a link.
    for (const std::string& spelling : spellings) {
        list.Current = 1;
        dialogs.Open->Choose(spelling);
        list.OpenMap();
        EXPECT_EQ(list.Current, 0) << spelling;
        EXPECT_EQ(list.Count(), 2);
        EXPECT_EQ(list.Map(1).FileName, "");
        EXPECT_EQ(list.Map(1).RailCount() + list.Map(1).BorderCount(), 0);
        EXPECT_EQ(list.Map(0).BorderCount(), 1);
        EXPECT_TRUE(list.Map(0).Modified);
    }
    list.Current = 1;
    list.OpenFile(path);
    EXPECT_EQ(list.Current, 0);
    EXPECT_EQ(names.Lines, (std::vector<std::string>{"twice", New}));
    ExpectLinesMatch();
}

TEST_F(MapListTest, ADamagedFileRaisesAndItsMapAndLineAgreeOnNoName)
{
    std::vector<std::uint8_t> bytes = TMapBytes().Rail(100, 100, 300, 100).Bytes();
    bytes.resize(10);
    const std::string path = folder.File("broken.ks");
    WriteBytes(path, bytes);
    Draw(list.Map(0));
    EXPECT_THROW(list.OpenFile(path), EFileError);
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Current, 1);
    EXPECT_EQ(list.Map(1).FileName, "");
    EXPECT_EQ(names.Lines, (std::vector<std::string>{New, New}));
}

TEST_F(MapListTest, SaveAndSaveAsRewriteTheLineAndKeepCurrent)
{
    list.NewMap();
    list.Current = 0;
    dialogs.Save->Choose(folder.File("one"));
    list.SaveMap(1);
    EXPECT_EQ(names.Lines, (std::vector<std::string>{New, "one"}));
    EXPECT_TRUE(std::filesystem::exists(folder.File("one.KS")));
    dialogs.Save->Choose(folder.File("two.ks"));
    list.SaveMapAs(1);
    EXPECT_EQ(names.Lines, (std::vector<std::string>{New, "two"}));
    EXPECT_EQ(list.Current, 0);
    EXPECT_EQ(ReadBytes(folder.File("two.KS")).size(), 16u);
}

TEST_F(MapListTest, SavingEveryMapAsksANameForEachUnnamedOneInOrder)
{
    list.NewMap();
    list.NewMap();
    list.Map(1).FileName = folder.File("named.KS");
    dialogs.Save->Choose(folder.File("a")).Choose(folder.File("c"));
    for (std::int32_t i = 0; i < list.Count(); ++i) list.SaveMap(i);
    EXPECT_EQ(dialogs.Save->Runs, 2);
    EXPECT_EQ(names.Lines, (std::vector<std::string>{"a", "named", "c"}));
    for (const char* name : {"a.KS", "named.KS", "c.KS"}) EXPECT_TRUE(std::filesystem::exists(folder.File(name))) << name;
}

TEST_F(MapListTest, AnIndexOutsideTheListIsARangeErrorAndChangesNothing)
{
    list.NewMap();
    for (const std::int32_t bad : {-1, 2, 1000}) {
        EXPECT_THROW(list.SaveMap(bad), ERangeError) << bad;
        EXPECT_THROW(list.SaveMapAs(bad), ERangeError) << bad;
        EXPECT_THROW(list.CloseMap(bad), ERangeError) << bad;
        EXPECT_THROW(list.Map(bad), ERangeError) << bad;
    }
    EXPECT_THROW(list.SetCount(-1), ERangeError);
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Current, 1);
    EXPECT_EQ(dialogs.Save->Runs, 0);
    ExpectLinesMatch();
}

TEST_F(MapListTest, ClosingTheOnlyMapLeavesANewOne)
{
    const std::uint64_t old = list.Map(0).Id();
    EXPECT_TRUE(list.CloseMap(0));
    EXPECT_EQ(list.Count(), 1);
    EXPECT_NE(list.Map(0).Id(), old);
    EXPECT_EQ(names.Lines, std::vector<std::string>{New});
}

TEST_F(MapListTest, ClosingAnyMapMakesMapZeroCurrent)
{
    struct TCase {
        std::int32_t current, closed;
        std::int32_t survivorAtZero;
    };
    for (const TCase c : {TCase{2, 2, 0}, TCase{2, 0, 1}, TCase{1, 2, 0}}) {
        TVectorNames lines;
        TMapList maps(lines);
        maps.NewMap();
        maps.NewMap();
        const std::uint64_t expected = maps.Map(c.survivorAtZero).Id();
        maps.Current = c.current;
        EXPECT_TRUE(maps.CloseMap(c.closed));
        EXPECT_EQ(maps.Count(), 2);
        EXPECT_EQ(maps.Current, 0);
        EXPECT_EQ(maps.Map(0).Id(), expected) << "closed " << c.closed;
        EXPECT_EQ(lines.Lines.size(), 2u);
    }
}

TEST_F(MapListTest, CloseAnswersDecideWhetherTheMapGoes)
{
    struct TCase {
        TMsgResult answer;
        bool closed;
        bool saved;
    };
    for (const TCase c : {TCase{TMsgResult::Yes, true, true}, TCase{TMsgResult::No, true, false},
                          TCase{TMsgResult::Cancel, false, false}}) {
        TTempFolder files;
        TVectorNames lines;
        TMapList maps(lines);
        maps.NewMap();
        Draw(maps.Map(1));
        const std::uint64_t drawn = maps.Map(1).Id();
        messages.Service.Answer(c.answer);
        if (c.answer == TMsgResult::Yes) dialogs.Save->Choose(files.File("kept"));
        EXPECT_EQ(maps.CloseMap(1), c.closed);
        EXPECT_EQ(maps.Count(), c.closed ? 1 : 2);
        EXPECT_EQ(maps.Current, c.closed ? 0 : 1);
        EXPECT_EQ(maps.Map(maps.Count() - 1).Id() == drawn, !c.closed);
        EXPECT_EQ(std::filesystem::exists(files.File("kept.KS")), c.saved);
    }
}

TEST_F(MapListTest, CloseRefusedWhenTheSaveItAskedForDidNotHappen)
{
    Draw(list.Map(0));
    messages.Service.Answer(TMsgResult::Yes);
    dialogs.Save->Cancel();
    EXPECT_FALSE(list.CloseMap(0));
    EXPECT_EQ(list.Map(0).BorderCount(), 1);
}

TEST_F(MapListTest, CloseAllStopsAtTheFirstRefusal)
{
    list.NewMap();
    list.NewMap();
    for (std::int32_t i = 0; i < 3; ++i) Draw(list.Map(i));
    const std::uint64_t second = list.Map(1).Id();
    list.Current = 2;
    messages.Service.Answer(TMsgResult::No).Answer(TMsgResult::Cancel);
    EXPECT_FALSE(list.CloseAll());
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Current, 0);
    EXPECT_EQ(list.Map(0).Id(), second);
    ExpectLinesMatch();
}

TEST_F(MapListTest, CloseAllEndsWithOneNewMap)
{
    list.NewMap();
    Draw(list.Map(1));
    messages.Service.Answer(TMsgResult::No);
    EXPECT_TRUE(list.CloseAll());
    EXPECT_EQ(list.Count(), 1);
    EXPECT_EQ(list.Current, 0);
    EXPECT_EQ(list.Map(0).BorderCount(), 0);
    EXPECT_EQ(names.Lines, std::vector<std::string>{New});
}

TEST_F(MapListTest, CloseAllWithEveryMapRefusingKeepsCurrent)
{
    list.NewMap();
    Draw(list.Map(0));
    messages.Service.Answer(TMsgResult::Cancel);
    EXPECT_FALSE(list.CloseAll());
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Current, 1);
}

} // namespace
