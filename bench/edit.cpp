// What one edit costs on a large map: the edit and the first redraw tick
// after it (the main view through its cache and the overview through its
// cache, as the window's timer draws them), timed together. The map is rows
// of 10-unit rails beside the view, with one rail in the middle of the array
// lying in the view, where the user would press, select and delete.
//
// Each iteration's edit is taken back, and the tick after that drawn, with
// the timing paused, so every timed tick starts from pictures and grids that
// are up to date, as an idle window has them.
#include <benchmark/benchmark.h>

#include <atomic>
#include <filesystem>
#include <map>
#include <memory>
#include <thread>

#include "bench/BenchWindow.h"
#include "draw/OverviewCache.h"
#include "draw/ViewCache.h"
#include "platform/qt/QtCanvas.h"
#include "workspace/TRecoveryCopy.h"

namespace {

using BenchWindow::OverviewSize;
using BenchWindow::ViewHeight;
using BenchWindow::ViewWidth;
constexpr std::int32_t ViewX = 6000;
constexpr std::int32_t ViewY = 4000;

/// Rows of 10-unit rails over the left part of the world (x below 5000),
/// beside the view on the right; rail count / 2 lies in the view, the last
/// one in the world's far corner.
TMap& RowsMap(std::int64_t rails)
{
    static std::map<std::int64_t, std::unique_ptr<TMap>> maps;
    return BenchWindow::MapOfSize(maps, rails, [](TMap& map, std::int64_t rails) {
        constexpr std::int32_t PerRow = 400; // 12 units apart: x from 0 to 4800
        std::vector<TRail> all(static_cast<std::size_t>(rails));
        for (std::int64_t i = 0; i < rails; ++i) {
            TRail& r = all[static_cast<std::size_t>(i)];
            r.X1 = static_cast<std::int32_t>(i % PerRow) * 12;
            r.Y1 = static_cast<std::int32_t>((i / PerRow) % 10000);
            r.X2 = r.X1 + 10;
            r.Y2 = r.Y1;
        }
        // The last one in the world's far corner, so the overview shows the world.
        TRail& corner = all.back();
        corner.X1 = corner.Y1 = corner.Y2 = WorldSize - 10;
        corner.X2 = WorldSize;
        TRail& middle = all[static_cast<std::size_t>(rails / 2)];
        middle.X1 = ViewX + 200;
        middle.Y1 = ViewY + 200;
        middle.X2 = middle.X1 + 10;
        middle.Y2 = middle.Y1;
        map.AppendRails(all);
        map.SetView({ViewX, ViewY, ViewWidth, ViewHeight, {}});
    });
}

/// The window's drawing at one tick: the main view and the overview, each
/// through its cache, into one back buffer.
struct TTicker {
    std::unique_ptr<TQtBitmap> Buffer = BenchWindow::BackBuffer();
    TQtBitmapFactory Factory;
    TViewCache View{Factory};
    TOverviewCache Overview{Factory};

    explicit TTicker(TMap& map)
    {
        Tick(map, 0);
    }
    void Tick(TMap& map, std::uint8_t placing, std::int32_t mouseX = 300)
    {
        View.DrawFrame(map, Buffer->Canvas(), mouseX, 250, placing);
        Overview.Draw(map, Buffer->Canvas(), OverviewSize, OverviewSize, map.ViewX, map.ViewY);
    }
};

/// The timed loop: the press adds a rail at world points (as a press gives
/// them) and two ticks show it; the step is cancelled untimed.
void PressAndTicks(benchmark::State& state, TMap& map, TTicker& ticker)
{
    for (auto _ : state) {
        map.BeginStep(TStepKind::DrawRail);
        map.AddRail(ViewX + 250, ViewY + 150, ViewX + 250, ViewY + 150);
        ticker.Tick(map, 2);
        ticker.Tick(map, 2, 320);
        state.PauseTiming();
        map.CancelStep();
        ticker.Tick(map, 0);
        state.ResumeTiming();
    }
}

/// A press with the rail tool in the view (a rail was selected before, as
/// after drawing one), the tick that shows the rail, and the next one, where
/// its end follows the mouse.
void BM_PressAndTick(benchmark::State& state)
{
    TMap& map = RowsMap(state.range(0));
    map.SelectRail(map.RailCount() / 2);
    TTicker ticker(map);
    PressAndTicks(state, map, ticker);
    state.counters["overview_rebuilds"] = static_cast<double>(ticker.Overview.Rebuilds());
}

/// The same while a worker thread writes a 1M map's recovery copy over and
/// over, as the window's keeper does after a change: the tick must not wait
/// for the disk or lose its core to the writer for long.
void BM_PressAndTickWhileACopyIsWritten(benchmark::State& state)
{
    TMap& map = RowsMap(state.range(0));
    map.SelectRail(map.RailCount() / 2);
    TTicker ticker(map);
    const TRecoverySnapshot snapshot = TakeRecoverySnapshot(RowsMap(1'000'000), 0, 0);
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "kest-bench-recovery";
    std::filesystem::create_directories(folder);
    std::atomic<bool> stop{false};
    std::atomic<std::int64_t> written{0};
    std::thread writer([&] {
        while (!stop) {
            WriteRecoveryCopy(folder.string(), snapshot);
            ++written;
        }
    });
    PressAndTicks(state, map, ticker);
    stop = true;
    writer.join();
    std::filesystem::remove_all(folder);
    state.counters["copies_written"] = static_cast<double>(written);
}

/// Delete of the selected rail in the middle of the array, and its tick.
void BM_DeleteAndTick(benchmark::State& state)
{
    TMap& map = RowsMap(state.range(0));
    const std::int32_t middle = map.RailCount() / 2;
    map.SelectRail(middle);
    TTicker ticker(map);
    for (auto _ : state) {
        {
            const TEditStep step(map, TStepKind::Delete);
            map.DeleteRail(map.SelRail);
            map.DeleteBorder(map.SelBorder);
        }
        ticker.Tick(map, 0);
        state.PauseTiming();
        map.Undo();
        ticker.Tick(map, 0);
        state.ResumeTiming();
    }
}

/// Undo of that delete, and its tick; then redo, and its tick.
void BM_UndoAndTick(benchmark::State& state)
{
    TMap& map = RowsMap(state.range(0));
    map.SelectRail(map.RailCount() / 2);
    TTicker ticker(map);
    for (auto _ : state) {
        state.PauseTiming();
        {
            const TEditStep step(map, TStepKind::Delete);
            map.DeleteRail(map.SelRail);
        }
        ticker.Tick(map, 0);
        state.ResumeTiming();
        map.Undo();
        ticker.Tick(map, 0);
    }
}

void BM_RedoAndTick(benchmark::State& state)
{
    TMap& map = RowsMap(state.range(0));
    map.SelectRail(map.RailCount() / 2);
    TTicker ticker(map);
    {
        const TEditStep step(map, TStepKind::Delete);
        map.DeleteRail(map.SelRail);
    }
    map.Undo();
    ticker.Tick(map, 0);
    for (auto _ : state) {
        map.Redo();
        ticker.Tick(map, 0);
        state.PauseTiming();
        map.Undo();
        ticker.Tick(map, 0);
        state.ResumeTiming();
    }
}

} // namespace

BENCHMARK(BM_PressAndTick)->Arg(100'000)->Arg(1'000'000)->Arg(10'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PressAndTickWhileACopyIsWritten)->Arg(1'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DeleteAndTick)->Arg(100'000)->Arg(1'000'000)->Arg(10'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UndoAndTick)->Arg(100'000)->Arg(1'000'000)->Arg(10'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RedoAndTick)->Arg(100'000)->Arg(1'000'000)->Arg(10'000'000)->Unit(benchmark::kMillisecond);
