// A large map loads on a worker while the window goes on ticking; the
// progress dialog's Escape stops the load and leaves the map as it was, and
// a load that ends (whole or damaged) leaves what a load in place leaves.
#include <QCloseEvent>
#include <QKeyEvent>
#include <QProgressDialog>
#include <chrono>
#include <thread>

#include "model/Errors.h"
#include "model/MapFile.h"
#include "model/MapFileIO.h"
#include "tests/ui/FormFixture.h"
#include "ui/TBackgroundLoad.h"
#include "ui/RunGuarded.h"

namespace {

class BackgroundLoadTest : public FormTest {
protected:
    void SetUp() override
    {
        FormTest::SetUp();
        BackgroundLoad::From = 0;
        BackgroundLoad::DialogDelay = 50;
    }
    void TearDown() override
    {
        BackgroundLoad::From = std::int64_t{4} << 20;
        BackgroundLoad::DialogDelay = 300;
        BackgroundLoad::Read = nullptr;
        FormTest::TearDown();
    }
    /// The window on screen, ticking by its own timer.
    TForm1& Showing()
    {
        Open();
        form->show();
        form->Timer1->start(5);
        return *form;
    }
    TTempFolder files;
};

TEST_F(BackgroundLoadTest, TicksGoOnWhileASlowReadRunsAndEscapeStopsIt)
{
    Showing();
    std::atomic<int> reads{0};
    // A read that never ends on its own.
    BackgroundLoad::Read = [&](TMap&, const std::string&, const std::atomic<bool>& stop) -> TMapFileStats {
        ++reads;
        for (int k = 0; k < 2000 && !stop; ++k) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        throw ELoadCancelled();
    };
    const std::string path = files.Write("slow.KS", TMapBytes().Rail(10, 10, 100, 10).Bytes());
    // The current map holds a rail, so the load makes a map of its own.
    MapBuilders::PutRail(Map(), 100, 100, 300, 100);
    Map().MarkClean();
    const std::int32_t maps = form->MapList->Count();
    Tick();
    const std::string caption = form->windowTitle().toStdString();
    int ticks = 0;
    QObject::connect(form->Timer1, &QTimer::timeout, form.get(), [&] { ++ticks; });
    // Before the dialog shows, the window takes no input: not even a close.
    bool closed = true;
    QTimer::singleShot(10, [&] {
        QCloseEvent close;
        QApplication::sendEvent(form.get(), &close);
        closed = close.isAccepted();
    });
    int ticksWhenShown = -1;
    QString label;
    QTimer::singleShot(400, [&] {
        QProgressDialog* dialog = nullptr;
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (auto* progress = qobject_cast<QProgressDialog*>(widget); progress && progress->isVisible()) dialog = progress;
        ASSERT_NE(dialog, nullptr) << "no progress dialog after 400 ms";
        label = dialog->labelText();
        ticksWhenShown = ticks;
        // Some more ticks behind the dialog, then Escape.
        QTimer::singleShot(100, [dialog] {
            QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QApplication::sendEvent(dialog, &escape);
        });
    });
    const auto started = std::chrono::steady_clock::now();
    // The handler stops there, silently.
    RunGuarded([&] { form->MapList->OpenFile(path); });
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5)) << "Escape did not stop the read";
    EXPECT_EQ(reads, 1);
    EXPECT_FALSE(closed) << "the window closed during the load";
    EXPECT_TRUE(label.contains("slow.KS")) << label.toStdString();
    EXPECT_GT(ticksWhenShown, 5) << "the window did not tick while the read ran";
    EXPECT_GT(ticks, ticksWhenShown + 3) << "the window did not tick behind the dialog";
    // Nothing reported, and the maps as before: the one made for the load gone.
    EXPECT_TRUE(messages.Service.Errors.empty());
    EXPECT_EQ(form->MapList->Count(), maps);
    EXPECT_EQ(form->ListBox1->count(), maps);
    EXPECT_EQ(Map().RailCount(), 1);
    EXPECT_EQ(Map().FileName, "");
    EXPECT_FALSE(Map().Modified);
    Tick();
    EXPECT_EQ(form->windowTitle().toStdString(), caption);
}

TEST_F(BackgroundLoadTest, AFinishedReadLeavesWhatALoadInPlaceLeaves)
{
    // A whole file and one damaged part-way, each loaded on the worker and in
    // place: the same elements, marks, name, Modified and error.
    TMapBytes whole;
    for (int k = 0; k < 50; ++k) whole.Rail(10 + 20 * k, 40, 30 + 20 * k, 40).Border(5, 5 + k, 900, 5 + k, 0x102030, k % 4);
    whole.Start(3).Finish(7);
    const std::vector<std::uint8_t> damaged = TMapBytes().Border(1, 1, 50, 1).Border(1, 2, 50, 2, 0, 9).Rail(1, 1, 30, 1).Bytes();
    for (const auto& [name, bytes] : {std::pair{std::string("whole.KS"), whole.Bytes()}, std::pair{std::string("damaged.KS"), damaged}}) {
        SCOPED_TRACE(name);
        const std::string path = files.Write(name, bytes);
        TMap inPlace;
        inPlace.FileName = path;
        std::string placeError;
        try {
            inPlace.ReadChosenFile();
        } catch (const EKestError& e) {
            placeError = e.what();
        }
        Showing();
        // Slow enough for the dialog to show.
        int workerReads = 0;
        BackgroundLoad::Read = [&workerReads](TMap& map, const std::string& file, const std::atomic<bool>& stop) {
            ++workerReads;
            std::this_thread::sleep_for(std::chrono::milliseconds(150));
            return ReadMapFile(map, file, stop);
        };
        std::string error;
        try {
            form->MapList->OpenFile(path);
        } catch (const EKestError& e) {
            error = e.what();
        }
        EXPECT_EQ(workerReads, 1);
        EXPECT_EQ(error, placeError);
        const TMap& loaded = Map();
        EXPECT_TRUE(MapToBytes(loaded) == MapToBytes(inPlace));
        EXPECT_EQ(loaded.FileName, inPlace.FileName);
        EXPECT_EQ(loaded.Modified, inPlace.Modified);
        EXPECT_EQ(loaded.StartRail, inPlace.StartRail);
        for (std::int32_t k = 0; k < loaded.RailCount(); ++k) {
            EXPECT_EQ(loaded.Rails()[k].IsStart, inPlace.Rails()[k].IsStart);
            EXPECT_EQ(loaded.Rails()[k].IsFinish, inPlace.Rails()[k].IsFinish);
        }
        // The history starts afresh with the load.
        EXPECT_FALSE(loaded.CanUndo());
        form.reset();
    }
}

} // namespace
