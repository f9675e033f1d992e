// What the live route check costs: following one edit on maps of a million
// and ten million rails, examining a whole map, the reachability warnings
// after an edit, and asking for the marks a view shows on a map where every
// rail is at fault.
//
// The edit and its undo are made with the timing paused: the timed part is
// what the check adds to an edit.
#include <benchmark/benchmark.h>

#include <map>
#include <memory>
#include <random>

#include "bench/BenchWindow.h"
#include "draw/OverviewCache.h"
#include "draw/RouteMarks.h"
#include "draw/ViewCache.h"
#include "model/TLiveRoutes.h"
#include "platform/qt/QtCanvas.h"
#include "tests/support/MapBuilders.h"

namespace {

using BenchWindow::ViewHeight;
using BenchWindow::ViewWidth;

/// Rows of 10-unit rails, each row one chain from x 0 to 10000 (a thousand
/// rails), as many rows as the count needs spread over the world's height.
TMap& ChainRows(std::int64_t rails)
{
    static std::map<std::int64_t, std::unique_ptr<TMap>> maps;
    return BenchWindow::MapOfSize(maps, rails, [](TMap& map, std::int64_t rails) {
        constexpr std::int64_t PerRow = 1000;
        const std::int64_t rows = (rails + PerRow - 1) / PerRow;
        const std::int64_t step = std::max<std::int64_t>(1, WorldSize / rows);
        std::vector<TRail> all(static_cast<std::size_t>(rails));
        for (std::int64_t i = 0; i < rails; ++i) {
            TRail& r = all[static_cast<std::size_t>(i)];
            r.X1 = static_cast<std::int32_t>(i % PerRow) * 10;
            r.Y1 = static_cast<std::int32_t>(((i / PerRow) * step) % (WorldSize + 1));
            r.X2 = r.X1 + 10;
            r.Y2 = r.Y1;
        }
        map.AppendRails(all);
        map.SetStartRail(0);
        map.SetFinishRail(PerRow - 1);
        map.SetView({5000, 5000, ViewWidth, ViewHeight, {}});
    });
}

/// The live check of map, brought up to it.
TLiveRoutes& LiveOf(TMap& map)
{
    static std::map<std::uint64_t, std::unique_ptr<TLiveRoutes>> lives;
    auto& slot = lives[map.Id()];
    if (!slot) slot = std::make_unique<TLiveRoutes>();
    slot->Follow(map);
    return *slot;
}

/// Times what following edit costs: edit (one undo step) is made and undone
/// with the timing paused, the check following each.
template <class Edit>
void TimeFollowing(benchmark::State& state, TMap& map, TLiveRoutes& live, Edit edit)
{
    // Once untimed: the first question of a point builds the map's grid of
    // ends, which the window's drawing and snapping have long built.
    edit();
    live.Follow(map);
    map.Undo();
    live.Follow(map);
    for (auto _ : state) {
        state.PauseTiming();
        edit();
        state.ResumeTiming();
        live.Follow(map);
        benchmark::DoNotOptimize(live.FaultCount());
        state.PauseTiming();
        map.Undo();
        live.Follow(map);
        state.ResumeTiming();
    }
}

/// One end of the rail in the middle of the array moved off its chain (it
/// loses its successor, the next rail its predecessor), then taken back.
void BM_LiveFollowMove(benchmark::State& state)
{
    TMap& map = ChainRows(state.range(0));
    TLiveRoutes& live = LiveOf(map);
    const std::int32_t middle = map.RailCount() / 2;
    const TRail rail = map.Rails()[static_cast<std::size_t>(middle)];
    TimeFollowing(state, map, live, [&] {
        map.BeginStep(TStepKind::MoveEnd);
        map.MoveEnds({{true, middle, 2}}, {rail.X2, rail.Y2 + 3});
        map.EndStep();
    });
    if (live.FullExaminations() != 1) state.SkipWithError("the edits examined everything");
}
// The edit and its undo, untimed, cost far more than the timed part: a
// fixed number of iterations keeps the run short.
BENCHMARK(BM_LiveFollowMove)->Arg(1000000)->Arg(10000000)->Iterations(200)->Unit(benchmark::kMillisecond);

/// A rail at the end of the array drawn and taken back: the common edit.
void BM_LiveFollowDraw(benchmark::State& state)
{
    TMap& map = ChainRows(state.range(0));
    TLiveRoutes& live = LiveOf(map);
    TimeFollowing(state, map, live, [&] {
        map.BeginStep(TStepKind::DrawRail);
        MapBuilders::PutRail(map, 5000, 5000, 5010, 5020);
        map.EndStep();
    });
}
BENCHMARK(BM_LiveFollowDraw)->Arg(1000000)->Arg(10000000)->Iterations(200)->Unit(benchmark::kMillisecond);

/// The rail in the middle of the array deleted: every rail after it moves
/// down one index, in the map and in the check's state.
void BM_LiveFollowDelete(benchmark::State& state)
{
    TMap& map = ChainRows(state.range(0));
    TLiveRoutes& live = LiveOf(map);
    const std::int32_t middle = map.RailCount() / 2;
    TimeFollowing(state, map, live, [&] {
        map.BeginStep(TStepKind::Delete);
        map.DeleteRail(middle);
        map.EndStep();
    });
}
BENCHMARK(BM_LiveFollowDelete)->Arg(1000000)->Arg(10000000)->Iterations(20)->Unit(benchmark::kMillisecond);

/// Examining a whole track network: what a load or a switch of maps costs.
void BM_LiveExamineAll(benchmark::State& state)
{
    static TMap map = MapBuilders::TrackNetwork(static_cast<std::int32_t>(state.range(0)));
    TLiveRoutes live;
    for (auto _ : state) {
        live.ExamineAll(map);
        benchmark::DoNotOptimize(live.FaultCount());
    }
    state.SetItemsProcessed(state.iterations() * map.RailCount());
}
BENCHMARK(BM_LiveExamineAll)->Arg(1000000)->Unit(benchmark::kMillisecond);

/// One track winding over the world in rows 18 units apart, turning at
/// each row's end through three rails, laid twice one over the other: every
/// point forks in two and merges two, and every rail is reachable from the
/// start (1.1 million rails).
TMap DoubleSnake()
{
    constexpr std::int32_t Left = 10, Right = 9980, Row = 18;
    std::vector<TRail> snake;
    for (std::int32_t y = 0; y + Row <= WorldSize; y += Row) {
        const bool rightward = (y / Row) % 2 == 0;
        for (std::int32_t k = 0; k < (Right - Left) / 10; ++k) {
            const std::int32_t x = rightward ? Left + 10 * k : Right - 10 * k;
            snake.push_back(MapBuilders::RailOf(x, y, rightward ? x + 10 : x - 10, y));
        }
        const std::int32_t x = rightward ? Right : Left, out = rightward ? 5 : -5;
        snake.push_back(MapBuilders::RailOf(x, y, x + out, y + Row / 2));
        snake.push_back(MapBuilders::RailOf(x + out, y + Row / 2, x, y + Row));
    }
    TMap map;
    map.AppendRails(snake);
    map.AppendRails(snake);
    map.SetStartRail(0);
    map.SetFinishRail(map.RailCount() - 1);
    return map;
}

/// An edit in the middle of a track reachable everywhere from its start,
/// followed, and the warnings counted afresh after it.
void BM_LiveWarningsAfterEdit(benchmark::State& state)
{
    static TMap map = DoubleSnake();
    TLiveRoutes& live = LiveOf(map);
    const std::int32_t middle = map.RailCount() / 2;
    const TRail rail = map.Rails()[static_cast<std::size_t>(middle)];
    for (auto _ : state) {
        state.PauseTiming();
        map.BeginStep(TStepKind::MoveEnd);
        map.MoveEnds({{true, middle, 2}}, {rail.X2, rail.Y2 + 3});
        map.EndStep();
        state.ResumeTiming();
        live.Follow(map);
        benchmark::DoNotOptimize(live.WarningCount());
        state.PauseTiming();
        map.Undo();
        live.Follow(map);
        state.ResumeTiming();
    }
    state.counters["rails"] = static_cast<double>(map.RailCount());
    state.counters["warnings"] = static_cast<double>(live.WarningCount());
}
BENCHMARK(BM_LiveWarningsAfterEdit)->Iterations(100)->Unit(benchmark::kMillisecond);

/// A million rails that join nothing (each has no successor and no
/// predecessor; all but the start are unreachable): the marks a 718 x 600
/// view at 1:1 shows, faults only (0) or with the warnings (1).
TMap& LoneRails()
{
    static TMap map = [] {
        TMap m;
        std::mt19937 rng(7);
        std::uniform_int_distribution<std::int32_t> pos(20, WorldSize - 20);
        std::uniform_int_distribution<std::int32_t> delta(-15, 15);
        std::vector<TRail> rails(1000000);
        for (TRail& r : rails) {
            r.X1 = pos(rng);
            r.Y1 = pos(rng);
            r.X2 = r.X1 + 15;
            r.Y2 = r.Y1 + delta(rng);
        }
        m.AppendRails(rails);
        m.SetStartRail(0);
        return m;
    }();
    return map;
}

void BM_LiveMarksInView(benchmark::State& state)
{
    TMap& map = LoneRails();
    TLiveRoutes& live = LiveOf(map);
    const bool warnings = state.range(0) == 1;
    std::vector<TLiveMark> marks;
    for (auto _ : state) {
        live.MarksIn(map, 5000, 5000, 5000 + ViewWidth - 1, 5000 + ViewHeight - 1, warnings, marks);
        benchmark::DoNotOptimize(marks.data());
    }
    state.counters["marks"] = static_cast<double>(marks.size());
    state.counters["faults"] = static_cast<double>(live.FaultCount());
}
BENCHMARK(BM_LiveMarksInView)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

/// The window's tick at 1:1 over the same map after the mouse moved: the
/// view from its cache, then with the check on (1) the marks the view shows
/// and the overview's pixel per mark (its pixels kept, as the window keeps them
/// until the map changes); with it off (0) the tick as it was.
void BM_LiveTickEveryRailFaulty(benchmark::State& state)
{
    TMap& map = LoneRails();
    map.SetView({5000, 5000, ViewWidth, ViewHeight, {}});
    TLiveRoutes& live = LiveOf(map);
    const bool on = state.range(0) == 1;
    auto buffer = BenchWindow::BackBuffer();
    TQtBitmapFactory factory;
    TViewCache view(factory);
    TOverviewCache overview(factory);
    std::vector<TLiveMark> found;
    std::vector<TRouteMark> all;
    live.MarksIn(map, INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, true, found);
    for (const TLiveMark& m : found) all.push_back({m.At.x, m.At.y, IsWarning(m.Kind)});
    const TOverviewScale scale(map, BenchWindow::OverviewSize, BenchWindow::OverviewSize);
    const std::vector<TRouteMark> pixels =
        OverviewRouteMarkPixels(scale, BenchWindow::OverviewSize, BenchWindow::OverviewSize, all);
    TViewTransform transform{5000, 5000, ViewWidth, ViewHeight, {}};
    std::vector<TRouteMark> shown;
    std::int32_t mouse = 300;
    for (auto _ : state) {
        mouse = mouse == 300 ? 320 : 300;
        view.DrawFrame(map, buffer->Canvas(), mouse, 250, 0);
        if (on) {
            live.Follow(map);
            found.clear();
            live.MarksIn(map, 5000 - 12, 5000 - 12, 5000 + ViewWidth + 12, 5000 + ViewHeight + 12, true, found);
            shown.clear();
            for (const TLiveMark& m : found) shown.push_back({m.At.x, m.At.y, IsWarning(m.Kind)});
            DrawRouteMarks(buffer->Canvas(), transform, shown);
        }
        overview.Draw(map, buffer->Canvas(), BenchWindow::OverviewSize, BenchWindow::OverviewSize, 5000, 5000);
        if (on) DrawOverviewRouteMarks(buffer->Canvas(), pixels);
    }
    state.counters["marks_in_view"] = static_cast<double>(shown.size());
}
BENCHMARK(BM_LiveTickEveryRailFaulty)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace
