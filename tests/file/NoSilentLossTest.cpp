// Nothing is lost or written over without a word: lower-case extensions,
// write-protected files and folders, folders chosen as files, and saves that
// fail for a reason the user must be told.
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>

#include "model/Errors.h"
#include "model/MapFile.h"
#include "model/MapFileIO.h"
#include "model/TMap.h"
#include "platform/qt/QtCanvas.h"
#include "tests/file/FileTestSupport.h"
#include "tests/support/AsNobody.h"
#include "tests/support/FakeDialogs.h"

using filetest::Bytes;
namespace fs = std::filesystem;

namespace {

class NoSilentLoss : public ::testing::Test {
protected:
    TScopedMessages messages;
    TScopedMapDialogs dialogs;
    TTempFolder scratch;
    TFakeMessageService& Asked() { return messages.Service; }

    static TMap OneRail()
    {
        TMap map;
        map.AddRail(100, 100, 300, 100);
        return map;
    }
    /// A map file of one rail at path, returned as its bytes.
    static Bytes PutMapFile(const std::string& path)
    {
        WriteMapFile(OneRail(), path);
        return filetest::ReadBytes(path);
    }
};

/// Collects what differs from what was expected, for a child process to report.
class TChecks {
public:
    template <typename A, typename B>
    void Equal(const A& expected, const B& actual, const char* what)
    {
        if (!(expected == actual)) out_ << what << " differs; ";
    }
    void True(bool condition, const char* what)
    {
        if (!condition) out_ << what << "; ";
    }
    std::string Result() const { return out_.str(); }

private:
    std::ostringstream out_;
};

TEST_F(NoSilentLoss, MatchingTheCaseOfAnExistingExtension)
{
    const Bytes lower = PutMapFile(scratch.File("field.ks"));
    PutMapFile(scratch.File("both.ks"));
    PutMapFile(scratch.File("both.KS"));
    PutMapFile(scratch.File("mixed.Ks"));
    EXPECT_EQ(scratch.File("field.ks"), MatchExistingCase(scratch.File("field.KS")));
    EXPECT_EQ(scratch.File("both.KS"), MatchExistingCase(scratch.File("both.KS")));
    EXPECT_EQ(scratch.File("mixed.Ks"), MatchExistingCase(scratch.File("mixed.ks")));
    EXPECT_EQ(scratch.File("none.KS"), MatchExistingCase(scratch.File("none.KS")));
    EXPECT_EQ(scratch.File("field"), MatchExistingCase(scratch.File("field")));
    // A folder of that name is no map file.
    fs::create_directory(scratch.File("dir.ks"));
    EXPECT_EQ(scratch.File("dir.KS"), MatchExistingCase(scratch.File("dir.KS")));
}

TEST_F(NoSilentLoss, ALowerCaseMapIsOpenedAndSavedBackToItself)
{
    const std::string field = scratch.File("field.ks");
    PutMapFile(field);
    TMap map;
    dialogs.Open->Choose(field);
    map.LoadFromFile();
    EXPECT_EQ(field, map.FileName);
    EXPECT_EQ("field", map.DisplayName());
    ASSERT_EQ(1, map.RailCount());
    EXPECT_FALSE(map.Modified);

    map.AddRail(1000, 1000, 1200, 1000);
    EXPECT_TRUE(map.Save());
    EXPECT_EQ(MapToBytes(map), filetest::ReadBytes(field));
    EXPECT_EQ(std::vector<std::string>{"field.ks"}, scratch.Names());
}

TEST_F(NoSilentLoss, SavingOverALowerCaseMapAsksFirstAndWritesThatFile)
{
    const std::string field = scratch.File("field.ks");
    const Bytes old = PutMapFile(field);
    TMap map = OneRail();
    map.AddRail(1000, 1000, 1200, 1000);

    dialogs.Save->Choose(field);
    Asked().Answer(TMsgResult::No);
    EXPECT_FALSE(map.Save());
    ASSERT_EQ(1u, Asked().Questions.size());
    EXPECT_EQ("Карта field уже существует. Сохранить?", Asked().Questions[0].Text);
    EXPECT_EQ("", map.FileName);
    EXPECT_EQ(old, filetest::ReadBytes(field));

    // Save as, with the name typed in upper case this time.
    dialogs.Save->Choose(scratch.File("field.KS"));
    Asked().Answer(TMsgResult::Yes);
    map.SaveAs();
    EXPECT_EQ(field, map.FileName);
    EXPECT_EQ(MapToBytes(map), filetest::ReadBytes(field));
    EXPECT_EQ(std::vector<std::string>{"field.ks"}, scratch.Names());

    // Where no file of that name exists, the upper-case extension stands.
    TMap other = OneRail();
    dialogs.Save->Choose(scratch.File("new.ks"));
    EXPECT_TRUE(other.Save());
    EXPECT_EQ(scratch.File("new.KS"), other.FileName);
}

TEST_F(NoSilentLoss, AFolderIsNoExistingMapAndIsRefusedWithItsReason)
{
    fs::create_directory(scratch.File("maps.KS"));
    TMap map = OneRail();
    dialogs.Save->Choose(scratch.File("maps.ks"));
    EXPECT_FALSE(map.Save());
    EXPECT_TRUE(Asked().Questions.empty());
    EXPECT_EQ(std::vector<std::string>{scratch.File("maps.KS") + ": Is a directory"}, Asked().Errors);
    EXPECT_TRUE(map.Modified);
    EXPECT_TRUE(fs::is_directory(scratch.File("maps.KS")));
    EXPECT_FALSE(MapFileExists(scratch.File("maps.KS")));
}

TEST_F(NoSilentLoss, ASaveThatCannotCreateItsFileSaysWhy)
{
    const std::string path = scratch.File("missing/a.KS");
    TMap map = OneRail();
    map.FileName = path;
    EXPECT_FALSE(map.Save());
    EXPECT_EQ(std::vector<std::string>{path + ": No such file or directory"}, Asked().Errors);
    EXPECT_EQ(path, map.FileName);
    EXPECT_TRUE(map.Modified);
}

TEST_F(NoSilentLoss, AWriteProtectedMapIsNeverReplaced)
{
    const std::string path = scratch.File("kept.KS");
    const Bytes old = PutMapFile(path);
    // The folder is the user's own: renaming over the file would work.
    GiveToUnprivileged(scratch.Path().string());
    GiveToUnprivileged(path);
    ::chmod(path.c_str(), 0444);
    const std::string failures = RunUnprivileged([&] {
        TChecks check;
        TMap map = OneRail();
        map.AddRail(1000, 1000, 1200, 1000);
        map.FileName = path;
        check.True(!map.Save(), "the save reported success");
        check.Equal(std::vector<std::string>{path + ": Permission denied"}, Asked().Errors, "the error shown");
        check.True(map.Modified, "Modified was cleared");
        return check.Result();
    });
    EXPECT_EQ("", failures);
    EXPECT_EQ(old, filetest::ReadBytes(path));
    struct stat st;
    ASSERT_EQ(0, ::stat(path.c_str(), &st));
    EXPECT_EQ(0444u, st.st_mode & 07777);
    EXPECT_EQ(std::vector<std::string>{"kept.KS"}, scratch.Names());
}

TEST_F(NoSilentLoss, AnotherUsersUnreadableFileInASharedFolderIsAskedAboutAndRefused)
{
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to own a file that another user cannot read";
    const std::string path = scratch.File("theirs.KS");
    const Bytes old = PutMapFile(path);
    ::chmod(path.c_str(), 0600);
    ::chmod(scratch.Path().c_str(), 01777);
    const std::string failures = RunUnprivileged([&] {
        TChecks check;
        TMap map = OneRail();
        dialogs.Save->Choose(path);
        Asked().Answer(TMsgResult::Yes);
        check.True(!map.Save(), "the save reported success");
        check.Equal(std::size_t{1}, Asked().Questions.size(), "the overwrite question");
        check.Equal(std::vector<std::string>{path + ": Permission denied"}, Asked().Errors, "the error shown");
        return check.Result();
    });
    EXPECT_EQ("", failures);
    EXPECT_EQ(old, filetest::ReadBytes(path));
    EXPECT_EQ(std::vector<std::string>{"theirs.KS"}, scratch.Names());
}

TEST_F(NoSilentLoss, AWritableMapInAFolderThatTakesNoNewFileIsWrittenInPlace)
{
    const std::string path = scratch.File("inplace.KS");
    PutMapFile(path);
    GiveToUnprivileged(path);
    ::chmod(path.c_str(), 0644);
    ::chmod(scratch.Path().c_str(), 0555);
    const std::string failures = RunUnprivileged([&] {
        TChecks check;
        TMap map = OneRail();
        map.AddRail(1000, 1000, 1200, 1000);
        map.FileName = path;
        check.True(map.Save(), "the save failed");
        check.True(Asked().Errors.empty(), "an error was shown");
        check.True(!map.Modified, "Modified was kept");
        check.Equal(MapToBytes(map), filetest::ReadBytes(path), "the bytes on disk");
        return check.Result();
    });
    ::chmod(scratch.Path().c_str(), 0755);
    EXPECT_EQ("", failures);
    EXPECT_EQ(std::vector<std::string>{"inplace.KS"}, scratch.Names());
}

TEST_F(NoSilentLoss, PicturesGoThroughTheSameWriter)
{
    // A write-protected picture is refused like a map.
    const std::string path = scratch.File("picture.bmp");
    filetest::WriteBytes(path, {1, 2, 3});
    GiveToUnprivileged(scratch.Path().string());
    GiveToUnprivileged(path);
    ::chmod(path.c_str(), 0444);
    const std::string failures = RunUnprivileged([&] {
        try {
            QImage image(4, 4, QImage::Format_RGB32);
            image.fill(Qt::red);
            SaveImageToFile(image, "BMP", path);
            return std::string("no error");
        } catch (const EFileError& e) {
            TChecks check;
            check.Equal(path, e.Path, "the path");
            check.Equal(std::string("Permission denied"), e.Reason, "the reason");
            return check.Result();
        }
    });
    EXPECT_EQ("", failures);
    EXPECT_EQ((Bytes{1, 2, 3}), filetest::ReadBytes(path));
}

} // namespace
