// A large map is saved, pictured and drawn whole on a worker while the window
// goes on ticking: the progress dialog cannot stop it, the file comes out byte for
// byte as a save in place writes it, and a failure says what it says in place.
#include <QProgressDialog>
#include <QRadioButton>
#include <cerrno>
#include <chrono>
#include <thread>

#include "model/MapFile.h"
#include "model/MapFileIO.h"
#include "platform/FileWriter.h"
#include "tests/ui/FormFixture.h"
#include "ui/RunGuarded.h"
#include "ui/TBackgroundWork.h"
#include "ui/TRadioGroup.h"

namespace {

constexpr std::int64_t NeverInBackground = std::int64_t{1} << 62;

class BackgroundSaveTest : public FormTest {
protected:
    void SetUp() override
    {
        FormTest::SetUp();
        BackgroundWork::DialogDelay = 50;
        // Every save and export of the window goes to the worker, through a
        // fake that counts them and lets them take their time.
        BackgroundWork::From = 0;
        BackgroundWork::Run = [this](const std::function<void()>& work) {
            ++runs;
            std::this_thread::sleep_for(slowness);
            work();
        };
    }
    void TearDown() override
    {
        InjectWriteFault({});
        BackgroundWork::From = std::int64_t{4} << 20;
        BackgroundWork::DialogDelay = 300;
        BackgroundWork::Run = nullptr;
        FormTest::TearDown();
    }
    /// The window on screen, ticking by its own timer, its map holding a few
    /// elements and named after name in the test's folder.
    void Showing(const std::string& name)
    {
        Open();
        form->show();
        form->Timer1->start(5);
        AddElements(Map(), 0);
        Map().FileName = folder.File(name);
        Map().Modified = true;
    }
    static void AddElements(TMap& map, int seed)
    {
        for (int k = 0; k < 40; ++k) {
            MapBuilders::PutRail(map, 100 + 7 * k + seed, 200, 140 + 7 * k, 260 + seed);
            MapBuilders::PutBorder(map, 50, 50 + 9 * k, 900 - seed, 60 + 9 * k);
        }
    }
    bool Ctrl(int key) { return Key(key, Qt::ControlModifier); }
    /// The progress dialog on screen, if any.
    static QProgressDialog* ShownProgress()
    {
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (auto* progress = qobject_cast<QProgressDialog*>(widget); progress && progress->isVisible()) return progress;
        return nullptr;
    }
    std::atomic<int> runs{0};
    std::chrono::milliseconds slowness{0};
};

TEST_F(BackgroundSaveTest, TicksGoOnWhileASlowSaveRunsAndEscapeNeitherStopsNorHidesIt)
{
    Showing("big.KS");
    // What a save in place writes: the reference.
    const std::string reference = folder.File("reference.KS");
    WriteMapFile(Map(), reference);
    // An old file to be replaced.
    folder.Write("big.KS", TMapBytes().Rail(1, 1, 5, 5).Bytes());
    slowness = std::chrono::milliseconds(700);
    int ticks = 0;
    QObject::connect(form->Timer1, &QTimer::timeout, form.get(), [&] { ++ticks; });
    QString label;
    bool cancelButton = true;
    int ticksWhenShown = -1;
    bool shownAfterEscape = false;
    QTimer::singleShot(300, [&] {
        QProgressDialog* dialog = ShownProgress();
        ASSERT_NE(dialog, nullptr) << "no progress dialog after 300 ms";
        label = dialog->labelText();
        cancelButton = !dialog->findChildren<QPushButton*>().isEmpty();
        ticksWhenShown = ticks;
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(dialog, &escape);
        QCloseEvent close;
        QApplication::sendEvent(dialog, &close);
        QTimer::singleShot(50, [&, dialog] { shownAfterEscape = dialog->isVisible(); });
    });
    const auto started = std::chrono::steady_clock::now();
    ASSERT_TRUE(Ctrl(Qt::Key_S));
    EXPECT_GE(std::chrono::steady_clock::now() - started, slowness) << "the save returned before its worker";
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(label, QString::fromUtf8("Сохранение: big.KS"));
    EXPECT_FALSE(cancelButton);
    EXPECT_TRUE(shownAfterEscape) << "Escape or a close took the dialog away";
    EXPECT_GT(ticksWhenShown, 5) << "the window did not tick before the dialog showed";
    EXPECT_GT(ticks, ticksWhenShown + 5) << "the window did not tick behind the dialog";
    EXPECT_EQ(ShownProgress(), nullptr);
    // Whole, and exactly what a save in place writes; no temporary file left.
    EXPECT_TRUE(ReadBytes(folder.File("big.KS")) == ReadBytes(reference));
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{"big.KS", "reference.KS"}));
    EXPECT_FALSE(Map().Modified);
    EXPECT_TRUE(messages.Service.Errors.empty());
}

TEST_F(BackgroundSaveTest, AFailingSaveSaysWhatASaveInPlaceSaysAndKeepsTheOldFile)
{
    const std::vector<std::uint8_t> old = TMapBytes().Rail(1, 1, 5, 5).Bytes();
    // A full disk part-way, and a folder that does not exist.
    const std::pair<const char*, TWriteFault> failures[] = {{"full.KS", {20, ENOSPC}}, {"gone/none.KS", {}}};
    for (const auto& [name, fault] : failures) {
        SCOPED_TRACE(name);
        std::vector<std::vector<std::string>> said;
        for (const std::int64_t from : {NeverInBackground, std::int64_t{0}}) {
            BackgroundWork::From = from;
            runs = 0;
            Showing(name);
            if (std::string(name) == "full.KS") folder.Write(name, old);
            InjectWriteFault(fault);
            Ctrl(Qt::Key_S);
            InjectWriteFault({});
            EXPECT_EQ(runs, from == 0 ? 1 : 0);
            said.push_back(messages.Service.Errors);
            messages.Service.Errors.clear();
            EXPECT_TRUE(Map().Modified);
            if (std::string(name) == "full.KS") {
                EXPECT_TRUE(ReadBytes(folder.File(name)) == old);
            }
            form.reset();
        }
        ASSERT_EQ(said[0].size(), 1u);
        EXPECT_EQ(said[1], said[0]);
    }
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"full.KS"});
}

TEST_F(BackgroundSaveTest, SaveAllSavesEveryChangedLargeMap)
{
    Showing("one.KS");
    form->N2Click();
    AddElements(Map(), 3);
    Map().FileName = folder.File("two.KS");
    Map().Modified = true;
    slowness = std::chrono::milliseconds(100);
    ASSERT_TRUE(Ctrl(Qt::Key_L));
    EXPECT_EQ(runs, 2);
    EXPECT_TRUE(messages.Service.Errors.empty());
    for (std::int32_t i = 0; i < form->MapList->Count(); ++i) {
        const TMap& map = *form->MapList->Maps[static_cast<std::size_t>(i)];
        EXPECT_FALSE(map.Modified) << map.FileName;
        EXPECT_TRUE(ReadBytes(map.FileName) == MapToBytes(map)) << map.FileName;
    }
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{"one.KS", "two.KS"}));
}

TEST_F(BackgroundSaveTest, ThePictureAndTheWholeMapDrawnOnTheWorkerEqualWhatIsDrawnInPlace)
{
    // Each way: the exported file, then the view after "Вся карта" and a tick.
    std::vector<std::pair<std::vector<std::uint8_t>, QImage>> drawn;
    for (const std::int64_t from : {NeverInBackground, std::int64_t{0}}) {
        BackgroundWork::From = from;
        runs = 0;
        Showing("yard.KS");
        Map().SetStartRail(3);
        Map().SelectRail(5);
        Tick();
        slowness = std::chrono::milliseconds(from == 0 ? 400 : 0);
        int ticks = 0;
        QObject::connect(form->Timer1, &QTimer::timeout, form.get(), [&] { ++ticks; });
        QStringList labels;
        // Samples still waiting when the round ends die with it.
        QObject round;
        const auto label = [&] {
            QTimer::singleShot(300, &round, [&] {
                if (QProgressDialog* dialog = ShownProgress()) labels << dialog->labelText();
            });
        };
        const std::string path = folder.File(from == 0 ? "worker.bmp" : "place.bmp");
        picture.Choose(path);
        label();
        ASSERT_TRUE(Ctrl(Qt::Key_I));
        label();
        form->N17Click();
        Tick();
        drawn.emplace_back(ReadBytes(path), form->PaintBox1->Picture().copy());
        EXPECT_EQ(runs, from == 0 ? 2 : 0);
        if (from == 0) {
            EXPECT_EQ(labels, QStringList({QString::fromUtf8("Экспорт: worker.bmp"), QString::fromUtf8("Вся карта: yard.KS")}));
            EXPECT_GT(ticks, 20) << "the timer stood still while the worker drew";
        }
        form.reset();
    }
    EXPECT_TRUE(messages.Service.Errors.empty());
    ASSERT_GT(drawn[0].first.size(), 1000u * 1000u);
    EXPECT_TRUE(drawn[1].first == drawn[0].first);
    EXPECT_FALSE(drawn[0].second.isNull());
    EXPECT_TRUE(drawn[1].second == drawn[0].second);
}

} // namespace

namespace {

void Click(QWidget* widget)
{
    const QPointF at(widget->width() / 2.0, widget->height() / 2.0);
    for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent event(type, at, widget->mapToGlobal(at), Qt::LeftButton,
                          type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(widget, &event);
    }
}

} // namespace

// Input held while the worker has the maps: before the dialog shows, the
// window was only busy, and a click then takes effect once the work has ended;
// while the dialog shows, the window is blocked, and a click on it is dropped.
TEST_F(BackgroundSaveTest, AClickBeforeTheDialogTakesEffectAfterTheWorkAndOneWhileItShowsDoesNot)
{
    for (const bool dialog : {false, true}) {
        SCOPED_TRACE(dialog ? "dialog shown" : "no dialog");
        Showing("big.KS");
        slowness = std::chrono::milliseconds(dialog ? 600 : 300);
        BackgroundWork::DialogDelay = dialog ? 200 : 5000;
        QRadioButton* rail = form->RadioGroup1->Items[4];
        QRadioButton* select = form->RadioGroup1->Items[5];
        ASSERT_FALSE(rail->isChecked());
        bool railHeld = false, selectHeld = false;
        QTimer::singleShot(10, [&] {
            Click(rail);
            railHeld = !rail->isChecked();
        });
        // The second click: with no dialog, a little later; else once the dialog shows.
        QTimer poll;
        poll.callOnTimeout([&] {
            if (dialog && !ShownProgress()) return;
            poll.stop();
            Click(select);
            selectHeld = !select->isChecked();
        });
        QTimer::singleShot(40, [&] { poll.start(5); });
        ASSERT_TRUE(Ctrl(Qt::Key_S));
        EXPECT_TRUE(railHeld && selectHeld) << "a click reached the window while the worker ran";
        QApplication::processEvents();
        EXPECT_EQ(rail->isChecked(), dialog);
        EXPECT_EQ(select->isChecked(), !dialog);
        EXPECT_FALSE(Map().Modified);
        form.reset();
    }
}
