// Selecting, moving, copying and pasting many elements on a large map: a
// band selecting 100k of 1M elements, one tick's move of a dragged 100k
// selection, and copy and paste of 100k elements through the clipboard's bytes.
#include <benchmark/benchmark.h>

#include "model/MapClipboard.h"
#include "model/TMap.h"

namespace {

/// 1M short rails and borders in a 1000 x 1000 lattice of 10-unit cells;
/// the band [0, 3160] x [0, 3160] holds about 100k of them.
TMap& LatticeMap()
{
    static TMap map = [] {
        TMap m;
        std::vector<TRail> rails;
        std::vector<TBorder> borders;
        for (std::int32_t y = 0; y < 1000; ++y)
            for (std::int32_t x = 0; x < 1000; ++x) {
                TLine line;
                line.X1 = x * 10;
                line.Y1 = y * 10;
                line.X2 = x * 10 + 9;
                line.Y2 = y * 10;
                if ((x + y) % 2 == 0)
                    rails.push_back(static_cast<const TRail&>(TRail{line}));
                else
                    borders.push_back(static_cast<const TBorder&>(TBorder{line}));
            }
        m.AppendRails(rails);
        m.AppendBorders(borders);
        m.ViewWidth = 718;
        m.ViewHeight = 600;
        m.Index();
        return m;
    }();
    return map;
}

constexpr TPoint BandTo{3160, 3160};

void BM_BandSelect100kOf1M(benchmark::State& state)
{
    TMap& map = LatticeMap();
    for (auto _ : state) {
        map.SelectBand({0, 0}, BandTo, false);
        benchmark::DoNotOptimize(map.SelRail);
    }
    state.counters["selected"] = map.SelectedCount();
}
BENCHMARK(BM_BandSelect100kOf1M)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

/// One tick of a drag: the selection moves one unit, within the drag's open step.
void BM_DragTick100kOf1M(benchmark::State& state)
{
    TMap& map = LatticeMap();
    map.SelectBand({0, 0}, BandTo, false);
    map.BeginStep(TStepKind::Move);
    std::int32_t dx = 1;
    for (auto _ : state) {
        map.MoveSelected(dx, 0);
        dx = -dx;
        benchmark::DoNotOptimize(map.Index());
    }
    map.CancelStep();
}
BENCHMARK(BM_DragTick100kOf1M)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_Copy100k(benchmark::State& state)
{
    TMap& map = LatticeMap();
    map.SelectBand({0, 0}, BandTo, false);
    for (auto _ : state) {
        const std::vector<TBorder> borders = map.SelectedBorders();
        const std::vector<TRail> rails = map.SelectedRails();
        benchmark::DoNotOptimize(EncodeClipboardMap(borders, rails));
        benchmark::DoNotOptimize(ClipboardText(borders, rails));
    }
}
BENCHMARK(BM_Copy100k)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

/// Decoding and pasting 100k elements into a map of 1M, in one step, taken back untimed.
void BM_Paste100kInto1M(benchmark::State& state)
{
    TMap& map = LatticeMap();
    map.SelectBand({0, 0}, BandTo, false);
    const std::vector<std::uint8_t> bytes = EncodeClipboardMap(map.SelectedBorders(), map.SelectedRails());
    for (auto _ : state) {
        {
            const TEditStep step(map, TStepKind::Paste);
            PasteElements(map, *DecodeClipboardMap(bytes), std::nullopt);
        }
        state.PauseTiming();
        map.Undo();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_Paste100kInto1M)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

} // namespace
