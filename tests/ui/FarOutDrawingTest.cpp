// A large map zoomed out from 1:1 is drawn on the long-work runner (a worker
// in the editor) before the tick shows it, and so is a large map's overview
// drawn afresh; the frames shown are those drawn in place. Small maps and 1:1
// draw in place. A held scroll bar's view waits for the button to come up.
#include <random>

#include "platform/LongWork.h"
#include "tests/ui/FormFixture.h"

namespace {

using MapBuilders::PutBorder;
using MapBuilders::PutRail;

/// The test's map is this many bytes in its file, give or take.
constexpr std::int64_t Large = 1000;
constexpr std::int64_t Never = std::int64_t{1} << 62;

class FarOutDrawingTest : public FormTest {
protected:
    void TearDown() override
    {
        if (installed_) SetLongWorkRunner(std::move(previous_));
        TForm1::PicturesAwayFrom = saved_;
        FormTest::TearDown();
    }

    /// A window on a map of elements spread over the world, drawn once at 1:1,
    /// with the runner recording its work (and running it in place) and
    /// pictures going to it from a map file of from bytes.
    void OpenSpread(std::int64_t from)
    {
        if (installed_) SetLongWorkRunner(std::move(previous_));
        installed_ = false;
        form.reset();
        calls.clear();
        TForm1::PicturesAwayFrom = from;
        Open();
        std::mt19937 random(7);
        const auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
        for (int k = 0; k < 600; ++k) {
            const int x = pick(0, 9800), y = pick(0, 9800);
            if (k % 4)
                PutRail(Map(), x, y, x + pick(-150, 150), y + pick(-150, 150));
            else
                PutBorder(Map(), x, y, x + pick(-150, 150), y + pick(-150, 150), static_cast<TColor>(pick(0, 0xFFFFFF)),
                          static_cast<std::uint8_t>(k % 4));
        }
        Map().SetStartRail(3);
        Map().SelectRail(8);
        Scroll(4000, 4000);
        previous_ = SetLongWorkRunner([this](const std::string& caption, std::int64_t, const std::function<void()>& work) {
            calls.push_back(caption);
            // A tick while the worker draws leaves the window's pictures as they are.
            const std::uint64_t drawn = form->TicksDrawn;
            const QImage shown = form->PaintBox1->Picture();
            Tick();
            EXPECT_EQ(form->TicksDrawn, drawn);
            EXPECT_TRUE(form->PaintBox1->Picture() == shown);
            if (duringWork) std::exchange(duringWork, nullptr)();
            work();
        });
        installed_ = true;
        Tick();
    }

    struct TShown {
        QImage View, Overview;
        friend bool operator==(const TShown&, const TShown&) = default;
    };
    TShown Shown() const { return {form->PaintBox1->Picture(), form->PaintBox2->Picture()}; }

    /// The captions of work on the current map.
    std::vector<std::string> Captions(std::initializer_list<const char*> kinds) const
    {
        std::vector<std::string> out;
        for (const char* kind : kinds) out.push_back(std::string(kind) + ": " + Map().DisplayName());
        return out;
    }

    std::vector<std::string> calls;
    /// Runs once inside the next work, before it: what the window does meanwhile.
    std::function<void()> duringWork;

private:
    std::int64_t saved_ = TForm1::PicturesAwayFrom;
    TLongWorkRunner previous_;
    bool installed_ = false;
};

TEST_F(FarOutDrawingTest, ZoomingOutAndScrollingFarOutGoThroughTheRunnerAndShowWhatIsDrawnInPlace)
{
    std::vector<std::vector<TShown>> ways;
    for (const std::int64_t from : {Never, Large, std::int64_t{4} << 20}) {
        OpenSpread(from);
        ASSERT_GT(form->TicksDrawn, 0u);
        std::vector<TShown> frames{Shown()};
        const std::vector<std::string> first = calls;
        // Step zoom-out, wheel scrolls, Ctrl+wheel out, back in while much is
        // in sight, then 1:1 and a scroll there.
        const std::function<void()> steps[] = {
            [&] { form->N15Click(); },
            [&] { form->PaintBox1MouseWheel(0, -240, Qt::NoModifier, 300, 200); },
            [&] { form->PaintBox1MouseWheel(120, 0, Qt::NoModifier, 300, 200); },
            [&] { form->PaintBox1MouseWheel(0, -120, Qt::ControlModifier, 100, 400); },
            [&] { form->PaintBox1MouseWheel(0, -360, Qt::ControlModifier, 500, 100); },
            [&] { form->PaintBox1MouseWheel(0, 480, Qt::NoModifier, 300, 200); },
            [&] { form->N14Click(); },
            [&] { form->N16Click(); },
            [&] { form->PaintBox1MouseWheel(0, -120, Qt::NoModifier, 300, 200); },
        };
        for (const auto& step : steps) {
            step();
            Tick();
            frames.push_back(Shown());
        }
        if (from == Large) {
            // The first frame's overview, then each view zoomed out.
            EXPECT_EQ(first, Captions({"Миникарта"}));
            EXPECT_EQ(calls, Captions({"Миникарта", "Вид", "Вид", "Вид", "Вид", "Вид", "Вид", "Вид"}));
        } else {
            EXPECT_TRUE(calls.empty()) << calls.size();
        }
        ways.push_back(std::move(frames));
    }
    ASSERT_EQ(ways.size(), 3u);
    for (std::size_t k = 0; k < ways[0].size(); ++k) {
        EXPECT_TRUE(ways[1][k] == ways[0][k]) << "frame " << k;
        EXPECT_TRUE(ways[2][k] == ways[0][k]) << "frame " << k;
    }
    // Each step showed something new.
    for (std::size_t k = 1; k < ways[0].size(); ++k) EXPECT_FALSE(ways[0][k].View == ways[0][k - 1].View) << k;
}

TEST_F(FarOutDrawingTest, AHeldScrollBarsViewIsDrawnOnceWhereItIsLetGo)
{
    const auto farOut = [&] {
        form->N15Click();
        form->N15Click();
        Tick();
    };
    // The reference: the final position drawn in place.
    OpenSpread(Never);
    farOut();
    Scroll(2500, 3500);
    Tick();
    const TShown reference = Shown();

    OpenSpread(Large);
    farOut();
    calls.clear();
    const std::uint64_t drawn = form->TicksDrawn;
    const TShown before = Shown();
    form->HB->setSliderDown(true);
    for (const std::int32_t x : {100, 900, 1700, 2500}) {
        form->HB->SetPosition(x);
        Tick();
    }
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(form->TicksDrawn, drawn);
    EXPECT_TRUE(Shown() == before);
    // Let go; a drag of the other bar goes on until the progress dialog takes
    // the mouse: the tick leaves its frame to the next, which draws the final position.
    form->HB->setSliderDown(false);
    duringWork = [&] { form->VB->SetPosition(3500); };
    Tick();
    EXPECT_EQ(calls.size(), 1u);
    EXPECT_EQ(form->TicksDrawn, drawn);
    Tick();
    EXPECT_EQ(calls.size(), 2u);
    EXPECT_EQ(form->TicksDrawn, drawn + 1);
    EXPECT_TRUE(Shown() == reference);
    Tick();
    EXPECT_EQ(calls.size(), 2u);

    // An arrow held steps on; a modal window that takes its release lets it go.
    Press(form->VB, Qt::LeftButton, 8, 4);
    EXPECT_TRUE(form->VB->Held());
    Tick();
    EXPECT_EQ(calls.size(), 2u);
    QEvent blocked(QEvent::WindowBlocked);
    QApplication::sendEvent(form.get(), &blocked);
    ReleaseElsewhere(Qt::LeftButton);
    EXPECT_FALSE(form->VB->Held());
    Tick();
    EXPECT_EQ(calls.size(), 3u);
}

} // namespace
