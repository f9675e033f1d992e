// Taking an open map's recovery copy in memory: the part that runs on the
// window's thread before the copy is written on a worker thread.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "model/TMap.h"
#include "workspace/TRecoveryCopy.h"

namespace {

/// Half borders, half rails, spread over the world.
TMap LargeMap(std::int32_t elements)
{
    std::mt19937 rng(1);
    std::uniform_int_distribution<std::int32_t> at(0, 9999);
    std::vector<TBorder> borders(static_cast<std::size_t>(elements / 2));
    for (TBorder& b : borders) {
        b.X1 = at(rng);
        b.Y1 = at(rng);
        b.X2 = at(rng);
        b.Y2 = at(rng);
    }
    std::vector<TRail> rails(static_cast<std::size_t>(elements - elements / 2));
    for (TRail& r : rails) {
        r.X1 = at(rng);
        r.Y1 = at(rng);
        r.X2 = at(rng);
        r.Y2 = at(rng);
    }
    TMap map;
    map.AppendBorders(borders);
    map.AppendRails(rails);
    return map;
}

void BM_TakeRecoverySnapshot(benchmark::State& state)
{
    const TMap map = LargeMap(static_cast<std::int32_t>(state.range(0)));
    for (auto _ : state) {
        TRecoverySnapshot snapshot = TakeRecoverySnapshot(map, 0, 0);
        benchmark::DoNotOptimize(snapshot.Bytes.data());
    }
}
BENCHMARK(BM_TakeRecoverySnapshot)->Arg(1000000)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

} // namespace
