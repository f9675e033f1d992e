// kestmap's output: a write that fails is an error of its own (status 2, the
// system's reason), and a check's faults, however many, stream out in little
// memory exactly as they would come out if all were held.
#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <streambuf>

#include "ToolRunner.h"
#include "model/MapFile.h"
#include "model/MapFileIO.h"
#include "tests/support/MapBuilders.h"
#include "tests/support/RouteOracle.h"
#include "tools/KestMapTool.h"
#include "tools/MapReport.h"

namespace {

/// count rails A -> B, then count rails B -> C: every rail into B meets every
/// rail out of it, so the faults grow with the square of count.
TMapBytes Storm(int count)
{
    TMapBytes map;
    for (int k = 0; k < count; ++k) map.Rail(1000, 1000, 2000, 1000);
    for (int k = 0; k < count; ++k) map.Rail(2000, 1000, 3000, 1000);
    return map.Start(0).Finish(count);
}

/// Accepts what is written; a flush (or, with failWrites, any write) fails.
class TFailingBuffer : public std::streambuf {
public:
    explicit TFailingBuffer(bool failWrites) : failWrites_(failWrites) {}

protected:
    std::streamsize xsputn(const char*, std::streamsize n) override { return failWrites_ ? 0 : n; }
    int overflow(int c) override { return failWrites_ ? traits_type::eof() : c; }
    int sync() override { return -1; }

private:
    bool failWrites_;
};

class TScopedHeldFaults {
public:
    explicit TScopedHeldFaults(std::size_t held) : saved_(HeldFaults) { HeldFaults = held; }
    ~TScopedHeldFaults() { HeldFaults = saved_; }

private:
    std::size_t saved_;
};

} // namespace

TEST(KestMapOutput, AFailedWriteToStandardOutputIsAnErrorWithTheSystemsReason)
{
    const TTempFolder folder;
    const std::string ring = folder.Write("ring.ks", RingMap().Bytes());
    const std::string faulty = folder.Write("faulty.ks", Storm(2).Bytes());
    const std::vector<std::vector<std::string>> commands = {
        {"info", ring}, {"info", "--json", ring}, {"check", ring}, {"check", faulty},
        {"check", "--json", faulty}, {"--help"}, {"--version"}};
    for (const auto& args : commands) {
        SCOPED_TRACE(args.front() + " " + args.back());
        const TToolRun full = RunKestMapProgram(args, {.StdoutPath = "/dev/full", .NoStdout = false});
        EXPECT_EQ(full.Status, ExitError);
        EXPECT_EQ(full.Err, "kestmap: standard output: No space left on device\n");
        const TToolRun closed = RunKestMapProgram(args, {.StdoutPath = "", .NoStdout = true});
        EXPECT_EQ(closed.Status, ExitError);
        EXPECT_EQ(closed.Err, "kestmap: standard output: Bad file descriptor\n");
    }
    // Nothing was wrong with the files: a good output takes them all.
    EXPECT_EQ(RunKestMapProgram({"check", ring, faulty}).Status, ExitFaults);
}

TEST(KestMapOutput, AReportCutShortIsAnErrorAndTheFilesAfterItAreNotRead)
{
    // The file may hold 64 KiB: the JSON of the faulty map is cut part-way,
    // which must not pass for a map with faults (status 1) or a sound one.
    const TTempFolder folder;
    const std::string faulty = folder.Write("faulty.ks", Storm(60).Bytes());
    const std::string out = folder.File("report.json");
    const TToolRun cut = RunKestMapProgram({"check", "--json", faulty, folder.File("missing.ks")},
                                           {.StdoutPath = out, .NoStdout = false, .FileSizeLimit = 65536});
    EXPECT_EQ(cut.Status, ExitError);
    EXPECT_EQ(cut.Err, "kestmap: standard output: File too large\n");
    EXPECT_EQ(std::filesystem::file_size(out), 65536u);

    // In-process, a stream that takes every byte but fails its last flush,
    // and one that refuses the first block.
    for (const bool failWrites : {false, true}) {
        TFailingBuffer buffer(failWrites);
        std::ostream stream(&buffer);
        std::ostringstream err;
        EXPECT_EQ(RunKestMap({"info", faulty}, stream, err), ExitError);
        EXPECT_EQ(err.str(), "kestmap: standard output: write error\n");
    }
}

TEST(KestMapOutput, FaultsGrowingWithTheSquareOfTheRailsStreamInLittleMemory)
{
    // 3,000 rails and two million faults, against a map of 20 rails: the
    // faults must not be held, nor the text built, before they are written.
    const TTempFolder folder;
    const std::string small = folder.Write("small.ks", Storm(10).Bytes());
    const std::string storm = folder.Write("storm.ks", Storm(1500).Bytes());
    for (const bool json : {false, true}) {
        const auto run = [json](const std::string& file) {
            return RunKestMapProgram(json ? std::vector<std::string>{"check", "--json", file}
                                          : std::vector<std::string>{"check", file},
                                     {.StdoutPath = "/dev/null", .NoStdout = false});
        };
        const TToolRun base = run(small);
        const TToolRun big = run(storm);
        ASSERT_EQ(big.Status, ExitFaults) << big.Err;
        EXPECT_LT(big.PeakKiB - base.PeakKiB, 16 * 1024)
            << (json ? "json: " : "text: ") << base.PeakKiB << " KiB, then " << big.PeakKiB;
    }

    // The report's first line still counts them all, as the all-pairs check does.
    TMap map;
    ReadMapFile(map, storm);
    const RouteOracle::TOutcome expected = RouteOracle::Check(map);
    const TToolRun head = RunKestMapProgram({"check", storm}, {.StdoutPath = "", .NoStdout = false, .FileSizeLimit = 4096});
    EXPECT_EQ(head.Status, ExitError);
    EXPECT_EQ(Lines(head.Out).front(), storm + ": " + std::to_string(expected.Faults.size()) +
                                           " faults; the editor selects rail " + std::to_string(expected.FaultRail));
}

TEST(KestMapOutput, FaultsBeyondWhatIsHeldComeOutAsIfAllWereHeld)
{
    // A check that finds more faults than it holds is run again to write
    // them: same bytes, same status, for every form of the report.
    const TTempFolder folder;
    std::vector<std::string> files = {folder.Write("storm3.ks", Storm(3).Bytes()),
                                      folder.Write("storm40.ks", Storm(40).Bytes()),
                                      folder.Write("ring.ks", RingMap().Bytes())};
    std::mt19937 rng(11);
    for (int k = 0; k < 12; ++k) {
        const TMap map = k % 2 ? MapBuilders::HubRouteMap(rng) : MapBuilders::RandomRouteMap(rng);
        files.push_back(folder.Write("random" + std::to_string(k) + ".ks", MapToBytes(map)));
    }
    for (const std::vector<std::string>& options :
         {std::vector<std::string>{"check"}, {"check", "--json"}, {"check", "--json", "--no-rails"}}) {
        std::vector<std::string> args = options;
        args.insert(args.end(), files.begin(), files.end());
        const TToolRun held = RunKestMap(args);
        ASSERT_EQ(held.Status, ExitFaults);
        for (const std::size_t limit : {0, 1, 7}) {
            const TScopedHeldFaults scoped(limit);
            const TToolRun again = RunKestMap(args);
            EXPECT_EQ(again.Status, held.Status);
            EXPECT_EQ(again.Out, held.Out) << options.back() << " holding " << limit;
            EXPECT_EQ(again.Err, held.Err);
        }
    }
}
