// Undo and redo on a map of a million elements: the time of one step each
// way, and the heap that a history of 10,000 steps holds.
#include <benchmark/benchmark.h>
#if defined(__GLIBC__)
#include <malloc.h>
#define KEST_COUNT_HEAP 1
#endif

#include <atomic>
#include <cstdlib>
#include <new>

#include "model/TMap.h"
#include "tests/support/MapBuilders.h"

namespace {

/// Bytes allocated and not yet freed by this program, counted by the
/// replaced global allocation functions below.
std::atomic<std::int64_t> LiveBytes{0};

TMap& Million()
{
    static TMap map = [] {
        TMap m = MapBuilders::ScatteredElements(1000000);
        m.MarkClean();
        return m;
    }();
    return map;
}

/// The kinds of step timed: a drawn rail (appended), a deletion in the middle
/// of both arrays (everything after it moves), a joint moved, a rail reversed.
enum TKind : int { DrawnRail, MiddleDeletion, MovedJoint, Reversal };

void MakeStep(TMap& map, TKind kind)
{
    switch (kind) {
    case DrawnRail: {
        const TEditStep step(map, TStepKind::DrawRail);
        map.AddRail(5000, 5000, 5000, 5000);
        bool snapped = false;
        map.SnapPointEx(map.ViewWidth / 2 + 60, map.ViewHeight / 2 + 40, 2, snapped);
        map.Normalize();
        break;
    }
    case MiddleDeletion: {
        map.SelectRail(map.RailCount() / 2);
        map.SelectBorder(map.BorderCount() / 2);
        const TEditStep step(map, TStepKind::Delete);
        map.DeleteRail(map.SelRail);
        map.DeleteBorder(map.SelBorder);
        break;
    }
    case MovedJoint: {
        const TRail& rail = map.Rails()[static_cast<std::size_t>(map.RailCount() / 3)];
        const std::vector<TElementEnd> ends = map.EndsAt({rail.X2, rail.Y2});
        const TEditStep step(map, TStepKind::MoveEnd);
        map.MoveEnds(ends, {rail.X1 + 30, rail.Y1 + 30});
        map.Normalize();
        break;
    }
    case Reversal: {
        map.SelectRail(map.RailCount() / 4);
        const TEditStep step(map, TStepKind::Reverse);
        map.ReverseRail(map.SelRail);
        break;
    }
    }
}

void BM_Undo(benchmark::State& state)
{
    TMap& map = Million();
    MakeStep(map, static_cast<TKind>(state.range(0)));
    if (!map.CanUndo()) state.SkipWithError("no step was made");
    for (auto _ : state) {
        map.Undo();
        state.PauseTiming();
        map.Redo();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_Undo)->DenseRange(DrawnRail, Reversal)->Unit(benchmark::kMillisecond);

void BM_Redo(benchmark::State& state)
{
    TMap& map = Million();
    MakeStep(map, static_cast<TKind>(state.range(0)));
    if (!map.CanUndo()) state.SkipWithError("no step was made");
    for (auto _ : state) {
        state.PauseTiming();
        map.Undo();
        state.ResumeTiming();
        map.Redo();
    }
}
BENCHMARK(BM_Redo)->DenseRange(DrawnRail, Reversal)->Unit(benchmark::kMillisecond);

/// 10,000 steps of the kinds a user makes most: drawn rails and borders,
/// deletions, reversals, recolourings, start and finish, moved ends. The
/// counter history_MB is the heap the history holds afterwards, as counted by
/// the allocator (glibc only); counted_MB is the history's own reckoning.
void BM_HistoryOf10000Steps(benchmark::State& state)
{
    TMap& map = Million();
    for (auto _ : state) {
        map.ClearHistory();
        const std::int64_t before = LiveBytes.load();
        for (std::int32_t k = 0; k < 10000; ++k) {
            const std::int32_t rail = (k * 7919) % map.RailCount();
            const std::int32_t border = (k * 104729) % map.BorderCount();
            map.SelectRail(rail);
            map.SelectBorder(border);
            switch (k % 8) {
            case 0: {
                const TEditStep step(map, TStepKind::DrawRail);
                map.AddRail(100 + k % 9000, 200, 150 + k % 9000, 260);
                break;
            }
            case 1: {
                const TEditStep step(map, TStepKind::DrawBorder);
                map.AddBorder(100 + k % 9000, 300, 150 + k % 9000, 360, 0x00FF00, bkWall);
                break;
            }
            case 2: {
                // The newest elements go, as a user deletes what was just drawn.
                map.SelectRail(map.RailCount() - 1);
                map.SelectBorder(map.BorderCount() - 1);
                const TEditStep step(map, TStepKind::Delete);
                map.DeleteRail(map.SelRail);
                map.DeleteBorder(map.SelBorder);
                break;
            }
            case 3: {
                const TEditStep step(map, TStepKind::Reverse);
                map.ReverseRail(rail);
                map.CycleBorderKind(border);
                break;
            }
            case 4: {
                const TEditStep step(map, TStepKind::Recolor);
                map.SetBorderColor(border, static_cast<TColor>(k));
                break;
            }
            case 5: {
                const TEditStep step(map, TStepKind::MakeStart);
                map.SetStartRail(rail);
                break;
            }
            case 6: {
                const TEditStep step(map, TStepKind::MakeFinish);
                map.SetFinishRail(rail);
                break;
            }
            default: {
                const TRail& r = map.Rails()[static_cast<std::size_t>(rail)];
                const TEditStep step(map, TStepKind::MoveEnd);
                map.MoveEnds({{true, rail, 2}, {false, border, 1}}, {r.X1 + 20, r.Y1 + 20});
                break;
            }
            }
        }
        const std::int64_t after = LiveBytes.load();
        state.counters["steps"] = static_cast<double>(map.History().Steps().size());
#ifdef KEST_COUNT_HEAP
        state.counters["history_MB"] = static_cast<double>(after - before) / 1e6;
#else
        (void)before;
        (void)after;
#endif
        state.counters["counted_MB"] = static_cast<double>(map.History().Bytes()) / 1e6;
        while (map.Undo()) {
        }
    }
}
BENCHMARK(BM_HistoryOf10000Steps)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

#ifdef KEST_COUNT_HEAP
// The heap counter: every allocation of the program goes through these.
void* operator new(std::size_t size)
{
    void* p = std::malloc(size == 0 ? 1 : size);
    if (!p) throw std::bad_alloc();
    LiveBytes.fetch_add(static_cast<std::int64_t>(malloc_usable_size(p)), std::memory_order_relaxed);
    return p;
}
void operator delete(void* p) noexcept
{
    if (!p) return;
    LiveBytes.fetch_sub(static_cast<std::int64_t>(malloc_usable_size(p)), std::memory_order_relaxed);
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept { operator delete(p); }
#endif
