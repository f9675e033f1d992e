// kestmap check on the maps built to be slow: 10,000 rails A -> B and 10,000
// rails B -> C, a sound file of 160 KB with a hundred million faults, as text
// and as JSON into an output that keeps nothing. peak_rss_MB is the process's
// peak resident memory, which before the faults were streamed reached
// gigabytes; nothing else this program runs comes near it.
#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>

#include "model/MapFile.h"
#include "tests/support/MapBuilders.h"
#include "tools/KestMapTool.h"
#include "tools/ReportOutput.h"

namespace {

/// Counts what it is given and keeps none of it.
class TNullOutput : public TReportOutput {
public:
    TNullOutput() : TReportOutput("standard output") {}
    std::int64_t Bytes = 0;

protected:
    void Put(const char*, std::size_t size) override { Bytes += static_cast<std::int64_t>(size); }
};

/// The map as a file in the temporary folder, removed when the program ends.
struct TStormFile {
    std::string Path = (std::filesystem::temp_directory_path() /
                        ("kest-bench-storm-" + std::to_string(::getpid()) + ".ks")).string();
    TStormFile() { WriteMapFile(MapBuilders::ForkStorm(10000), Path); }
    ~TStormFile() { std::filesystem::remove(Path); }
};

const std::string& StormFile()
{
    static const TStormFile file;
    return file.Path;
}

void CheckStorm(benchmark::State& state, std::vector<std::string> args)
{
    args.push_back(StormFile());
    std::int64_t bytes = 0;
    for (auto _ : state) {
        TNullOutput out;
        std::ostringstream err;
        if (RunKestMap(args, out, err) != ExitFaults) state.SkipWithError(err.str().c_str());
        bytes = out.Bytes;
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["output_GB"] = static_cast<double>(bytes) / 1e9;
    state.counters["peak_rss_MB"] = static_cast<double>(usage.ru_maxrss) / 1024;
}

void BM_KestMapCheckStormText(benchmark::State& state) { CheckStorm(state, {"check"}); }
void BM_KestMapCheckStormJson(benchmark::State& state) { CheckStorm(state, {"check", "--json"}); }
BENCHMARK(BM_KestMapCheckStormText)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(BM_KestMapCheckStormJson)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace
