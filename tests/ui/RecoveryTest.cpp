// Recovery copies as the window keeps them: taken in (fake) time, removed on
// save, close and exit, left by a killed editor, and offered back at the next
// start with the question's texts and answers.
#include <QCoreApplication>
#include <QDateTime>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QEventLoop>
#include <csignal>
#include <filesystem>

#include "model/MapFileIO.h"
#include "platform/qt/QtRecoveryFolder.h"
#include "tests/ui/FormFixture.h"
#include "ui/TRecoveryKeeper.h"
#include "workspace/TRecoveryCopy.h"

namespace {

namespace fs = std::filesystem;
using namespace MapBuilders;

class TLines : public TMapNames {
public:
    void Append(const std::string& line) override { lines.push_back(line); }
    void Replace(std::int32_t i, const std::string& line) override { lines.at(static_cast<std::size_t>(i)) = line; }
    void Delete(std::int32_t i) override { lines.erase(lines.begin() + i); }
    std::int32_t Count() const override { return static_cast<std::int32_t>(lines.size()); }
    std::string Line(std::int32_t i) const override { return lines.at(static_cast<std::size_t>(i)); }
    std::vector<std::string> lines;
};

/// Runs the event loop for ms milliseconds.
void Wait(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

/// The copies' files in folder, without the lock.
std::vector<std::string> CopyFiles(const std::string& folder)
{
    std::vector<std::string> names;
    if (!fs::exists(folder)) return names;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().filename() != ".lock") names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> FilesOf(const TMap& map)
{
    return {RecoveryKey(map) + ".KS", RecoveryKey(map) + ".copy"};
}

TMap Sample(std::int32_t rails)
{
    TMap map;
    PutBorder(map, 10, 10, 400, 20, clRed, bkFlat);
    for (std::int32_t i = 0; i < rails; ++i) PutRail(map, 100, 100 + 30 * i, 300, 100 + 30 * i);
    map.SetStartRail(0);
    return map;
}

/// Leaves copies of maps in a folder whose editor is gone, as a killed one does.
std::string LeaveCopies(const std::string& root, const std::vector<const TMap*>& maps)
{
    TRecoveryFolder dead(root);
    std::int32_t position = 0;
    for (const TMap* map : maps) WriteRecoveryCopy(dead.Path(), TakeRecoverySnapshot(*map, position++, 1765000000));
    return dead.Path();
}

class RecoveryTest : public FormTest {
protected:
    std::string Root() const { return TRecoveryFolder::Root(); }
};

TEST_F(RecoveryTest, CopiesFollowTheMapsInFakeTimeAndOnlyADeadEditorsAreOffered)
{
    std::int64_t now = 0;
    std::vector<std::string> failures;
    auto keeper = std::make_unique<TRecoveryKeeper>(Root(), [&] { return now; },
                                                    [&](const std::string& reason) { failures.push_back(reason); });
    EXPECT_TRUE(keeper->OfferOrphans().empty());
    keeper->Start({});
    const std::string own = keeper->Folder();
    ASSERT_FALSE(own.empty());
    TLines lines;
    TMapList list(lines);
    TMap& map = list.CurrentMap();
    auto tickTo = [&](std::int64_t second) {
        while (now < second * 1000) {
            now += 1000;
            keeper->Tick(list);
        }
        keeper->Finish();
    };

    map.BeginStep(TStepKind::DrawRail);
    map.AddRail(100, 100, 200, 100);
    map.EndStep();
    tickTo(4);
    EXPECT_TRUE(CopyFiles(own).empty()) << "the copy waits for five quiet seconds";
    tickTo(7);
    EXPECT_EQ(CopyFiles(own), FilesOf(map));

    // A second editor running meanwhile neither sees nor takes these copies.
    {
        TRecoveryKeeper other(Root(), [] { return 0; }, nullptr);
        EXPECT_TRUE(other.OfferOrphans().empty());
        other.Start({});
        other.Exit();
    }
    EXPECT_TRUE(messages.Service.Questions.empty());

    // Saved: nothing unsaved, so no copy. Changed again: a copy again.
    map.FileName = folder.File("saved.KS");
    map.Save();
    tickTo(9);
    EXPECT_TRUE(CopyFiles(own).empty());
    map.BeginStep(TStepKind::DrawRail);
    map.AddRail(100, 200, 200, 200);
    map.EndStep();
    tickTo(20);
    EXPECT_EQ(CopyFiles(own), FilesOf(map));
    const std::vector<std::uint8_t> copied = MapToBytes(map);

    // Killed: the copy stays, and the next editor offers it and gives it back exactly.
    keeper.reset();
    messages.Service.Answer(TMsgResult::Yes);
    TRecoveryKeeper next(Root(), [&] { return now; }, nullptr);
    std::vector<std::unique_ptr<TMap>> back = next.OfferOrphans();
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(MapToBytes(*back[0]), copied);
    EXPECT_EQ(back[0]->FileName, map.FileName);
    EXPECT_TRUE(back[0]->Modified);
    next.Start({back[0].get()});
    // The copy is now the new editor's, under its new map's key; the dead folder is gone.
    EXPECT_EQ(CopyFiles(next.Folder()), FilesOf(*back[0]));
    EXPECT_EQ(std::distance(fs::directory_iterator(Root()), fs::directory_iterator()), 1);

    // A copy that cannot be written is said once, from the window's event loop, and editing goes on.
    TMapList second(lines);
    second.AddMap(std::move(back[0]));
    fs::remove_all(next.Folder());
    TRecoveryKeeper failing(Root(), [&] { return now; }, [&](const std::string& reason) { failures.push_back(reason); });
    failing.OfferOrphans();
    failing.Start({});
    fs::remove_all(failing.Folder());
    for (std::int32_t i = 0; i < 3; ++i) {
        second.CurrentMap().BeginStep(TStepKind::DrawRail);
        second.CurrentMap().AddRail(10, 10, 20 + i, 20);
        second.CurrentMap().EndStep();
        now += 40000;
        failing.Tick(second);
        failing.Finish();
    }
    EXPECT_TRUE(failures.empty()) << "said from the event loop, not the worker thread";
    QCoreApplication::processEvents();
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_NE(failures[0].find(failing.Folder()), std::string::npos) << failures[0];
}

TEST_F(RecoveryTest, YesGivesEveryReadableCopyBackAfterTheFirstMapAndKeepsTheDamagedOne)
{
    TMap named = Sample(3);
    named.FileName = folder.File("поле.KS");
    TMap unnamed = Sample(1);
    const std::string dead = LeaveCopies(Root(), {&named, &unnamed});
    // A third copy whose map bytes were cut short.
    TMap broken = Sample(2);
    broken.FileName = folder.File("сломанная.KS");
    WriteRecoveryCopy(dead, TakeRecoverySnapshot(broken, 2, 1765000000));
    fs::resize_file(fs::path(dead) / (RecoveryKey(broken) + ".KS"), 20);

    messages.Service.Answer(TMsgResult::Yes);
    Open();
    ASSERT_EQ(messages.Service.Questions.size(), 1u);
    const TAskedQuestion& question = messages.Service.Questions[0];
    EXPECT_EQ(question.Title, "Восстановление");
    EXPECT_EQ(question.Buttons, TMsgButtons::YesNoCancel);
    const QString text = QString::fromStdString(question.Text);
    const QString time = QDateTime::fromSecsSinceEpoch(1765000000).toString(QStringLiteral("dd.MM.yyyy HH:mm:ss"));
    EXPECT_TRUE(text.startsWith(QString::fromUtf8("Найдены несохранённые изменения карт: 3. Восстановить их?\n\n"
                                                  "поле — ") + time + "\nНовый — " + time + "\nсломанная — копия повреждена"))
        << question.Text;
    EXPECT_TRUE(text.endsWith(QString::fromStdString("она остаётся в " + dead + "/" + RecoveryKey(broken) + ".KS")))
        << question.Text;

    ASSERT_EQ(form->MapList->Count(), 3);
    EXPECT_EQ(form->MapList->Current, 1);
    EXPECT_EQ(form->ListBox1->ItemIndex(), 1);
    EXPECT_EQ(MapToBytes(form->MapList->Map(1)), MapToBytes(named));
    EXPECT_EQ(MapToBytes(form->MapList->Map(2)), MapToBytes(unnamed));
    EXPECT_EQ(form->MapList->Map(1).FileName, named.FileName);
    EXPECT_TRUE(form->MapList->Map(1).Modified && form->MapList->Map(2).Modified);
    EXPECT_EQ(form->MapNames->Line(1), "поле");
    EXPECT_EQ(form->MapNames->Line(2), "Новый");
    Tick();
    EXPECT_TRUE(form->windowTitle().contains(QString::fromUtf8("поле"))) << form->windowTitle().toStdString();
    // The readable copies are this editor's now; the damaged one stays where it was.
    EXPECT_EQ(CopyFiles(dead), (std::vector<std::string>{RecoveryKey(broken) + ".KS", RecoveryKey(broken) + ".copy"}));
    std::vector<std::string> own = FilesOf(form->MapList->Map(1));
    for (const std::string& name : FilesOf(form->MapList->Map(2))) own.push_back(name);
    std::sort(own.begin(), own.end());
    EXPECT_EQ(CopyFiles(form->Recovery->Folder()), own);

    // Saving writes the given-back map to its file; a normal exit removes every copy.
    EXPECT_FALSE(fs::exists(named.FileName));
    form->N4Click();
    EXPECT_EQ(ReadBytes(named.FileName), MapToBytes(named));
    messages.Service.Answer(TMsgResult::No);
    EXPECT_TRUE(form->FormClose());
    EXPECT_EQ(CopyFiles(Root()), (std::vector<std::string>{fs::path(dead).filename().string()}));
}

TEST_F(RecoveryTest, NoDeletesTheCopiesAndCancelKeepsThemForTheNextStart)
{
    TMap map = Sample(2);
    map.FileName = folder.File("карта.KS");
    const std::string dead = LeaveCopies(Root(), {&map});

    messages.Service.Answer(TMsgResult::Cancel);
    Open();
    EXPECT_EQ(form->MapList->Count(), 1);
    EXPECT_EQ(CopyFiles(dead), FilesOf(map));
    form.reset();

    // The question comes again; the command line's map, the copy's file, opens once.
    TMap onDisk = Sample(1);
    onDisk.FileName = map.FileName;
    onDisk.Save();
    messages.Service.Answer(TMsgResult::Yes);
    Open({"kestedit", map.FileName});
    EXPECT_EQ(messages.Service.Questions.size(), 2u);
    ASSERT_EQ(form->MapList->Count(), 2);
    EXPECT_EQ(form->MapList->Current, 1);
    EXPECT_EQ(MapToBytes(form->CurrentMap()), MapToBytes(map));
    EXPECT_TRUE(form->MapList->Map(0).FileName.empty());
    form.reset();

    messages.Service.Answer(TMsgResult::No);
    Open();
    EXPECT_EQ(messages.Service.Questions.size(), 3u);
    EXPECT_EQ(form->MapList->Count(), 1);
    form.reset();
    EXPECT_TRUE(CopyFiles(Root()).empty() || CopyFiles(Root()).size() == 1) << "only the last window's own folder";
    Open();
    EXPECT_EQ(messages.Service.Questions.size(), 3u) << "nothing left to offer";
}

/// The child editor of the test below: opens the map it is given, draws two
/// rails and waits to be killed. Runs only when started by that test.
TEST_F(RecoveryTest, DISABLED_ChildEditorDrawsAndWaits)
{
    const QByteArray map = qgetenv("KEST_RECOVERY_CHILD_MAP");
    if (map.isEmpty()) GTEST_SKIP();
    qputenv("XDG_DATA_HOME", qgetenv("KEST_RECOVERY_CHILD_DATA"));
    form = std::make_unique<TForm1>(color, picture, TCommandLine{"kestedit", map.toStdString()});
    form->show();
    Tool(ToolRail);
    Drag(form->PaintBox1, Qt::LeftButton, {100, 300}, {400, 300});
    Drag(form->PaintBox1, Qt::LeftButton, {400, 300}, {400, 500});
    Wait(120000);
}

TEST_F(RecoveryTest, AKilledEditorsMapComesBackWithExactlyItsElements)
{
    TMap original = Sample(1);
    original.FileName = folder.File("рабочая.KS");
    original.Save();
    const std::vector<std::uint8_t> onDisk = ReadBytes(original.FileName);
    const std::string dataHome = folder.File("child-data");

    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("KEST_RECOVERY_CHILD_MAP", QString::fromStdString(original.FileName));
    environment.insert("KEST_RECOVERY_CHILD_DATA", QString::fromStdString(dataHome));
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(),
                {"--gtest_also_run_disabled_tests", "--gtest_filter=RecoveryTest.DISABLED_ChildEditorDrawsAndWaits"});
    ASSERT_TRUE(child.waitForStarted());
    // The copy is written after five quiet seconds; wait for its description, written last.
    const fs::path root = fs::path(dataHome) / "kestedit" / "recovery";
    bool copied = false;
    for (int i = 0; i < 300 && !copied; ++i) {
        Wait(100);
        std::error_code error;
        for (fs::recursive_directory_iterator it(root, error), end; !error && it != end; it.increment(error))
            copied = copied || it->path().extension() == ".copy";
    }
    ASSERT_TRUE(copied) << "no copy within 30 s";
    const qint64 pid = child.processId();
    ::kill(static_cast<pid_t>(pid), SIGKILL);
    ASSERT_TRUE(child.waitForFinished());
    // What the killed child could not clean up itself.
    const std::string prefix = "kest-test-" + std::to_string(pid) + "-";
    for (const auto& entry : fs::directory_iterator(fs::temp_directory_path()))
        if (entry.path().filename().string().starts_with(prefix)) fs::remove_all(entry.path());
    EXPECT_EQ(ReadBytes(original.FileName), onDisk) << "the map's own file is not touched";

    qputenv("XDG_DATA_HOME", QByteArray::fromStdString(dataHome));
    messages.Service.Answer(TMsgResult::Yes);
    Open();
    ASSERT_EQ(form->MapList->Count(), 2);
    TMap expected = Sample(1);
    PutRail(expected, 100, 300, 400, 300);
    PutRail(expected, 400, 300, 400, 500);
    const TMap& back = form->CurrentMap();
    EXPECT_EQ(back.FileName, original.FileName);
    ASSERT_EQ(back.RailCount(), expected.RailCount());
    ASSERT_EQ(back.BorderCount(), expected.BorderCount());
    EXPECT_EQ(MapToBytes(back), MapToBytes(expected));
}

} // namespace
