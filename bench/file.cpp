// Load and save of large maps. The peak-memory counter comes from counting
// the bytes live on the heap: peak_ratio is the most the load held at once
// divided by the size of the loaded map's element arrays.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <random>
#include <unistd.h>

#include "model/MapFile.h"
#include "model/MapFileIO.h"
#include "model/TMap.h"

namespace {

std::atomic<std::int64_t> liveBytes{0};
std::atomic<std::int64_t> peakBytes{0};

void Count(std::int64_t delta)
{
    const std::int64_t now = liveBytes.fetch_add(delta) + delta;
    std::int64_t peak = peakBytes.load();
    while (now > peak && !peakBytes.compare_exchange_weak(peak, now)) {
    }
}

} // namespace

// Every allocation carries its size in front so that delete can count it.
void* operator new(std::size_t size)
{
    auto* block = static_cast<std::size_t*>(std::malloc(size + 16));
    if (!block) throw std::bad_alloc();
    *block = size;
    Count(static_cast<std::int64_t>(size));
    return reinterpret_cast<char*>(block) + 16;
}

void operator delete(void* pointer) noexcept
{
    if (!pointer) return;
    auto* block = reinterpret_cast<std::size_t*>(static_cast<char*>(pointer) - 16);
    Count(-static_cast<std::int64_t>(*block));
    std::free(block);
}

void operator delete(void* pointer, std::size_t) noexcept { operator delete(pointer); }

namespace {

/// A map of n elements, half borders and half rails, inside the world. Built
/// a block at a time, so that no second copy of the elements ever exists.
TMap MakeMap(std::int64_t n)
{
    std::mt19937 random(42);
    std::uniform_int_distribution<std::int32_t> coord(0, 9000);
    TMap map;
    const auto borders = static_cast<std::int32_t>(n / 2);
    const auto rails = static_cast<std::int32_t>(n - n / 2);
    map.ReserveElements(borders, rails);
    std::vector<TBorder> borderBlock;
    for (std::int32_t k = 0; k < borders; ++k) {
        TBorder& border = borderBlock.emplace_back();
        border.X1 = coord(random);
        border.Y1 = coord(random);
        border.X2 = coord(random);
        border.Y2 = coord(random);
        border.Color = static_cast<TColor>(random() & 0xFFFFFF);
        border.Kind = static_cast<std::uint8_t>(random() % 4);
        if (borderBlock.size() == 4096 || k == borders - 1) {
            map.AppendBorders(borderBlock);
            borderBlock.clear();
        }
    }
    std::vector<TRail> railBlock;
    for (std::int32_t k = 0; k < rails; ++k) {
        TRail& rail = railBlock.emplace_back();
        rail.X1 = coord(random);
        rail.Y1 = coord(random);
        rail.X2 = rail.X1 + 100;
        rail.Y2 = rail.Y1 + 100;
        if (railBlock.size() == 4096 || k == rails - 1) {
            map.AppendRails(railBlock);
            railBlock.clear();
        }
    }
    map.SetStartRail(0);
    map.SetFinishRail(1);
    return map;
}

std::string TempPath(const std::string& name)
{
    return (std::filesystem::temp_directory_path() / ("kest-bench-" + std::to_string(::getpid()) + "-" + name))
        .string();
}

void BM_LoadMap(benchmark::State& state)
{
    const std::string path = TempPath("load.KS");
    {
        const TMap map = MakeMap(state.range(0));
        WriteMapFile(map, path);
    }
    double ratio = 0;
    for (auto _ : state) {
        TMap map;
        const std::int64_t before = liveBytes.load();
        peakBytes.store(before);
        ReadMapFile(map, path);
        const auto mapBytes = static_cast<double>(map.Borders().capacity() * sizeof(TBorder) +
                                                  map.Rails().capacity() * sizeof(TRail));
        ratio = static_cast<double>(peakBytes.load() - before) / mapBytes;
        benchmark::DoNotOptimize(map.Rails().data());
    }
    state.counters["peak_ratio"] = ratio;
    {
        // What one element costs the loaded map, the arrays' spare room included.
        TMap map;
        ReadMapFile(map, path);
        state.counters["bytes_per_element"] =
            static_cast<double>(map.Borders().capacity() * sizeof(TBorder) + map.Rails().capacity() * sizeof(TRail)) /
            static_cast<double>(map.BorderCount() + map.RailCount());
    }
    state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(std::filesystem::file_size(path)));
    std::filesystem::remove(path);
}

void BM_SaveMap(benchmark::State& state)
{
    const std::string path = TempPath("save.KS");
    const TMap map = MakeMap(state.range(0));
    for (auto _ : state) WriteMapFile(map, path);
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(std::filesystem::file_size(path)));
    std::filesystem::remove(path);
}

void BM_MapToBytes(benchmark::State& state)
{
    const TMap map = MakeMap(state.range(0));
    for (auto _ : state) benchmark::DoNotOptimize(MapToBytes(map).data());
}

} // namespace

BENCHMARK(BM_LoadMap)->Arg(100000)->Arg(1000000)->Arg(10000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveMap)->Arg(100000)->Arg(1000000)->Arg(10000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MapToBytes)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
