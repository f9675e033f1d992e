// Speed of the map model's per-frame and per-command work: the route check
// against the all-pairs algorithm and on the maps built to be slow, and
// snapping and picking on a crowded map.
#include <benchmark/benchmark.h>

#include "model/TMap.h"
#include "tests/support/MapBuilders.h"
#include "tests/support/RouteOracle.h"

namespace {

/// The network is built and cleaned once per size; later checks only rewrite links.
TMap& Network(std::int32_t rails)
{
    static std::int32_t builtFor = -1;
    static TMap map;
    if (builtFor != rails) {
        map = MapBuilders::TrackNetwork(rails);
        std::int32_t fault = 0;
        map.CheckRoutes(fault);
        builtFor = rails;
    }
    return map;
}

void BM_CheckRoutes(benchmark::State& state)
{
    TMap& map = Network(static_cast<std::int32_t>(state.range(0)));
    for (auto _ : state) {
        std::int32_t fault = 0;
        benchmark::DoNotOptimize(map.CheckRoutes(fault));
        benchmark::DoNotOptimize(fault);
    }
    state.SetItemsProcessed(state.iterations() * map.RailCount());
}
BENCHMARK(BM_CheckRoutes)->Arg(1000)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

void BM_CheckRoutesAllPairs(benchmark::State& state)
{
    const TMap& map = Network(static_cast<std::int32_t>(state.range(0)));
    for (auto _ : state) {
        RouteOracle::TOutcome outcome = RouteOracle::Check(map);
        benchmark::DoNotOptimize(outcome.FaultRail);
    }
    state.SetItemsProcessed(state.iterations() * map.RailCount());
}
BENCHMARK(BM_CheckRoutesAllPairs)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

/// The worst maps for the check: every rail into one point against every
/// rail out of it, passing the direction test (forks) or failing it (opposed).
void CheckWorstCase(benchmark::State& state, TMap map)
{
    std::int64_t faults = 0;
    for (auto _ : state) {
        std::int32_t fault = 0;
        faults = 0;
        benchmark::DoNotOptimize(map.CheckRoutes(fault, [&faults](const TRouteFault&) { ++faults; }));
    }
    state.counters["faults"] = static_cast<double>(faults);
    state.SetItemsProcessed(state.iterations() * map.RailCount());
}

void BM_CheckRoutesOpposed(benchmark::State& state)
{
    CheckWorstCase(state, MapBuilders::Opposed(static_cast<std::int32_t>(state.range(0))));
}
BENCHMARK(BM_CheckRoutesOpposed)->Arg(50000)->Unit(benchmark::kMillisecond);

void BM_CheckRoutesForkStorm(benchmark::State& state)
{
    CheckWorstCase(state, MapBuilders::ForkStorm(static_cast<std::int32_t>(state.range(0))));
}
BENCHMARK(BM_CheckRoutesForkStorm)->Arg(10000)->Unit(benchmark::kMillisecond);

TMap& Crowded()
{
    static TMap map = MapBuilders::ScatteredElements(1000000);
    return map;
}

void BM_SnapPointEx(benchmark::State& state)
{
    TMap& map = Crowded();
    const auto placing = static_cast<std::uint8_t>(state.range(0));
    std::int32_t k = 0;
    for (auto _ : state) {
        bool snapped = false;
        k = (k + 37) % 600;
        benchmark::DoNotOptimize(map.SnapPointEx(k, k / 2, placing, snapped));
        benchmark::DoNotOptimize(snapped);
    }
}
BENCHMARK(BM_SnapPointEx)->Arg(0)->Arg(2)->Unit(benchmark::kMillisecond);

void BM_SelectAt(benchmark::State& state)
{
    TMap& map = Crowded();
    std::int32_t k = 0;
    for (auto _ : state) {
        k = (k + 37) % 600;
        map.SelectAt(k, k / 2);
        benchmark::DoNotOptimize(map.SelRail);
    }
}
BENCHMARK(BM_SelectAt)->Unit(benchmark::kMillisecond);

} // namespace
