// kestmap diff on maps of a million elements (half borders, half rails) that
// differ in 1% of them: moved, reversed, recoloured, deleted and added ones,
// B's order shuffled. DiffMaps alone on maps in memory, and the whole command
// with both files read and loaded and the text report written.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <sstream>

#include "model/MapFile.h"
#include "model/TMap.h"
#include "tools/KestMapTool.h"
#include "tools/MapDiff.h"
#include "tools/ReportOutput.h"

namespace {

constexpr std::int32_t Elements = 1000000;

class TNullOutput : public TReportOutput {
public:
    TNullOutput() : TReportOutput("standard output") {}

protected:
    void Put(const char*, std::size_t) override {}
};

struct TPair {
    TMap A, B;
    TPair()
    {
        std::mt19937 random(7);
        std::uniform_int_distribution<std::int32_t> coord(0, 9000), length(10, 1000), byte(0, 0xFFFFFF);
        std::vector<TBorder> borders(Elements / 2);
        std::vector<TRail> rails(Elements / 2);
        for (TBorder& b : borders) {
            b.X1 = coord(random), b.Y1 = coord(random), b.X2 = b.X1 + length(random), b.Y2 = b.Y1;
            b.Color = static_cast<TColor>(byte(random));
            b.Kind = static_cast<std::uint8_t>(b.X1 % 4);
        }
        for (TRail& r : rails) r.X1 = coord(random), r.Y1 = coord(random), r.X2 = r.X1, r.Y2 = r.Y1 + length(random);
        A.AppendBorders(borders);
        A.AppendRails(rails);
        // 1%: a fifth each moved, reversed, recoloured, deleted, added.
        const std::size_t step = 100;
        for (std::size_t i = 0; i < borders.size(); i += step) {
            switch (i / step % 5) {
            case 0: borders[i].X1 += 1; break;
            case 1: std::swap(borders[i].X1, borders[i].X2); break;
            case 2: borders[i].Color ^= 0x010101; break;
            case 3: borders[i].Kind = static_cast<std::uint8_t>((borders[i].Kind + 1) % 4); break;
            default: borders.push_back(borders[i]); break;
            }
        }
        for (std::size_t i = 50; i < rails.size(); i += step) {
            switch (i / step % 4) {
            case 0: rails[i].Y2 += 1; break;
            case 1: std::swap(rails[i].Y1, rails[i].Y2); break;
            case 2: rails[i].X1 = rails[i].X2 = -1; break;  // marked for deletion
            default: rails.push_back(rails[i]); break;
            }
        }
        rails.erase(std::remove_if(rails.begin(), rails.end(), [](const TRail& r) { return r.X1 < 0; }), rails.end());
        std::shuffle(borders.begin(), borders.end(), random);
        std::shuffle(rails.begin(), rails.end(), random);
        B.AppendBorders(borders);
        B.AppendRails(rails);
    }
};

const TPair& Pair()
{
    static const TPair pair;
    return pair;
}

void BM_DiffMillionElementMaps(benchmark::State& state)
{
    const TPair& pair = Pair();
    std::size_t changed = 0;
    for (auto _ : state) {
        const TMapDiff diff = DiffMaps(pair.A, pair.B);
        changed = diff.RemovedBorders.size() + diff.RemovedRails.size() + diff.AddedBorders.size() +
                  diff.AddedRails.size();
        benchmark::DoNotOptimize(changed);
    }
    state.counters["changed"] = static_cast<double>(changed);
}
BENCHMARK(BM_DiffMillionElementMaps)->Unit(benchmark::kMillisecond);

/// Both maps as files in the temporary folder, removed when the program ends.
struct TPairFiles {
    std::string Folder = (std::filesystem::temp_directory_path() /
                          ("kest-bench-diff-" + std::to_string(::getpid()))).string();
    TPairFiles()
    {
        std::filesystem::create_directories(Folder);
        WriteMapFile(Pair().A, Folder + "/a.ks");
        WriteMapFile(Pair().B, Folder + "/b.ks");
    }
    ~TPairFiles() { std::filesystem::remove_all(Folder); }
};

void BM_KestMapDiffMillionElementFiles(benchmark::State& state)
{
    static const TPairFiles files;
    for (auto _ : state) {
        TNullOutput out;
        std::ostringstream err;
        if (RunKestMap({"diff", files.Folder + "/a.ks", files.Folder + "/b.ks"}, out, err) != ExitFaults)
            state.SkipWithError(err.str().c_str());
    }
}
BENCHMARK(BM_KestMapDiffMillionElementFiles)->Unit(benchmark::kMillisecond);

} // namespace
