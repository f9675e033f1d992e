// One redraw tick's drawing work, the uncached overview and the picture export
// on maps of growing size.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <map>
#include <random>

#include "bench/BenchWindow.h"
#include "draw/MapDraw.h"
#include "draw/Overview.h"
#include "draw/OverviewCache.h"
#include "draw/ViewCache.h"
#include "platform/qt/QtCanvas.h"

namespace {

using BenchWindow::BackBuffer;
using BenchWindow::OverviewSize;
using BenchWindow::ViewHeight;
using BenchWindow::ViewWidth;

/// Half rails, half borders of every kind, up to 150 units long, spread over
/// the world; a start, a finish and a selected rail and border.
TMap& SpreadMap(std::int64_t elements)
{
    static std::map<std::int64_t, std::unique_ptr<TMap>> maps;
    return BenchWindow::MapOfSize(maps, elements, [](TMap& map, std::int64_t elements) {
        std::mt19937 random(static_cast<unsigned>(elements));
        std::uniform_int_distribution<std::int32_t> coord(0, WorldSize - 150);
        std::uniform_int_distribution<std::int32_t> step(0, 150);
        std::uniform_int_distribution<std::uint32_t> colour(0, 0xFFFFFF);
        std::vector<TRail> rails;
        std::vector<TBorder> borders;
        rails.reserve(static_cast<std::size_t>(elements - elements / 2));
        borders.reserve(static_cast<std::size_t>(elements / 2));
        for (std::int64_t i = 0; i < elements; ++i) {
            TLine* line;
            if (i % 2 == 0) {
                line = &rails.emplace_back();
            } else {
                TBorder& b = borders.emplace_back();
                b.Color = colour(random);
                b.Kind = static_cast<std::uint8_t>(i % 8 / 2);
                line = &b;
            }
            line->X1 = coord(random);
            line->Y1 = coord(random);
            line->X2 = line->X1 + step(random);
            line->Y2 = line->Y1 + step(random);
        }
        map.AppendRails(rails);
        map.AppendBorders(borders);
        map.SetStartRail(0);
        map.SetFinishRail(1);
        map.SelectRail(2);
        map.SelectBorder(3);
        map.SetView({4641, 4700, ViewWidth, ViewHeight, {}});
    });
}

/// Ticks on a map that stays as it is while the mouse moves: the pictures
/// are drawn once before the timing, as the window has them.
void TicksOnAnUnchangedMap(benchmark::State& state, TMap& map)
{
    auto buffer = BackBuffer();
    TQtBitmapFactory factory;
    TOverviewCache cache(factory);
    TViewCache view(factory);
    view.DrawFrame(map, buffer->Canvas(), 300, 200, 0);
    cache.Draw(map, buffer->Canvas(), OverviewSize, OverviewSize, map.ViewX, map.ViewY);
    bool flip = false;
    for (auto _ : state) {
        flip = !flip;
        view.DrawFrame(map, buffer->Canvas(), flip ? 300 : 310, 200, 0);
        cache.Draw(map, buffer->Canvas(), OverviewSize, OverviewSize, map.ViewX, map.ViewY);
    }
    benchmark::DoNotOptimize(buffer->Image().constBits());
}

/// A copy of the spread map with the whole world in view at 1/16.
TMap WholeWorld(std::int64_t elements)
{
    TMap map = SpreadMap(elements);
    map.Zoom = TViewZoom{TViewZoom::MinShift};
    map.ViewX = 0;
    map.ViewY = 0;
    return map;
}

void BM_Tick(benchmark::State& state) { TicksOnAnUnchangedMap(state, SpreadMap(state.range(0))); }

/// A tick with the whole world in view at 1/16, the mouse moving.
void BM_TickWholeWorld(benchmark::State& state)
{
    TMap map = WholeWorld(state.range(0));
    TicksOnAnUnchangedMap(state, map);
}

/// The whole world at 1/16 drawn from nothing, as after a change of the map.
void BM_DrawWholeWorld(benchmark::State& state)
{
    const TMap map = WholeWorld(state.range(0));
    auto buffer = BackBuffer();
    for (auto _ : state) DrawView(map, buffer->Canvas());
    benchmark::DoNotOptimize(buffer->Image().constBits());
}

/// A tick while the last rail (placing 2) or border (placing 1) is drawn out.
template <std::uint8_t Placing>
void TickWhileDrawingOut(benchmark::State& state)
{
    TMap map = SpreadMap(state.range(0));
    if (Placing == 2)
        map.AddRail(map.ViewX + 100, map.ViewY + 100, map.ViewX + 100, map.ViewY + 100);
    else
        map.AddBorder(map.ViewX + 100, map.ViewY + 100, map.ViewX + 100, map.ViewY + 100, 0x4080C0, bkWall);
    auto buffer = BackBuffer();
    TQtBitmapFactory factory;
    TOverviewCache cache(factory);
    TViewCache view(factory);
    bool flip = false;
    for (auto _ : state) {
        // The mouse moves at every tick, so the map changes before every overview.
        flip = !flip;
        view.DrawFrame(map, buffer->Canvas(), flip ? 400 : 420, flip ? 300 : 310, Placing);
        cache.Draw(map, buffer->Canvas(), OverviewSize, OverviewSize, map.ViewX, map.ViewY);
    }
    state.counters["rebuilds"] = static_cast<double>(cache.Rebuilds());
}

void BM_TickWhileDrawingOut(benchmark::State& state) { TickWhileDrawingOut<2>(state); }
void BM_TickWhileDrawingOutBorder(benchmark::State& state) { TickWhileDrawingOut<1>(state); }

void BM_OverviewUncached(benchmark::State& state)
{
    const TMap& map = SpreadMap(state.range(0));
    auto buffer = BackBuffer();
    for (auto _ : state)
        DrawOverviewWithViewport(map, buffer->Canvas(), OverviewSize, OverviewSize, map.ViewX, map.ViewY);
    benchmark::DoNotOptimize(buffer->Image().constBits());
}

void BM_Export(benchmark::State& state)
{
    const TMap& map = SpreadMap(state.range(0));
    const std::string path = (std::filesystem::temp_directory_path() / "kest-bench-export.bmp").string();
    for (auto _ : state) {
        TQtBitmap picture;
        picture.SetWidth(1000);
        picture.SetHeight(1000);
        DrawOverview(map, picture.Canvas(), 1000, 1000);
        picture.SaveToFile(path);
    }
    std::filesystem::remove(path);
}

/// The two scans of a tick on their own: the view drawing and the snap search.
void BM_DrawViewOnly(benchmark::State& state)
{
    const TMap& map = SpreadMap(state.range(0));
    auto buffer = BackBuffer();
    for (auto _ : state) DrawView(map, buffer->Canvas());
}

void BM_SnapOnly(benchmark::State& state)
{
    TMap& map = SpreadMap(state.range(0));
    bool snapped = false;
    for (auto _ : state) benchmark::DoNotOptimize(map.SnapPointEx(300, 200, 0, snapped));
}

/// Building the grids of a map from scratch (one thread; the map builds its
/// borders' and its rails' on two), with their bytes per element. Edits no
/// longer build them: they follow the edit journal.
void BM_IndexBuild(benchmark::State& state)
{
    const TMap& map = SpreadMap(state.range(0));
    TMapIndex index;
    for (auto _ : state) {
        index.Borders.Build(map.Borders(), map.Borders().size());
        index.BorderEnds.Build(map.Borders(), map.Borders().size());
        index.Rails.Build(map.Rails(), map.Rails().size());
        index.RailEnds.Build(map.Rails(), map.Rails().size());
        benchmark::DoNotOptimize(&index);
    }
    state.counters["bytes_per_element"] =
        static_cast<double>(index.Borders.MemoryBytes() + index.Rails.MemoryBytes() + index.BorderEnds.MemoryBytes() +
                            index.RailEnds.MemoryBytes()) /
        static_cast<double>(state.range(0));
}

} // namespace

BENCHMARK(BM_Tick)->Arg(10'000)->Arg(100'000)->Arg(1'000'000)->Arg(10'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TickWholeWorld)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrawWholeWorld)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TickWhileDrawingOut)->Arg(10'000)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TickWhileDrawingOutBorder)->Arg(1'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OverviewUncached)->Arg(10'000)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Export)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

BENCHMARK(BM_DrawViewOnly)->Arg(1'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SnapOnly)->Arg(1'000'000)->Arg(10'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IndexBuild)->Arg(1'000'000)->Arg(10'000'000)->Unit(benchmark::kMillisecond);
