// kestmap over the committed sample maps: the damaged ones are errors, the odd
// ones load, and the fuzzer's seeds and finds are handled.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "ToolRunner.h"

namespace {

std::vector<std::string> SampleFiles(const std::filesystem::path& folder, const std::string& prefix)
{
    std::vector<std::string> files;
    if (!std::filesystem::is_directory(folder)) return files;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (entry.is_regular_file() && name.rfind(prefix, 0) == 0 && name.size() > 3 &&
            name.substr(name.size() - 3) == ".ks")
            files.push_back(entry.path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

} // namespace

TEST(KestMapSamples, DamagedSamplesAreEachReportedAsErrors)
{
    const auto files = SampleFiles(KEST_TEST_DATA "/damaged", "");
    ASSERT_FALSE(files.empty()) << "no damaged samples";
    std::vector<std::string> args = {"info", "--json"};
    args.insert(args.end(), files.begin(), files.end());
    const TToolRun run = RunKestMap(args);
    EXPECT_EQ(run.Status, 2);
    EXPECT_EQ(run.Out, "");
    const auto lines = Lines(run.Err);
    ASSERT_EQ(lines.size(), files.size()) << run.Err;
    for (std::size_t i = 0; i < files.size(); ++i) EXPECT_EQ(lines[i].rfind("kestmap: " + files[i] + ": ", 0), 0u);
}

TEST(KestMapSamples, OddButSoundSamplesLoad)
{
    const auto files = SampleFiles(KEST_TEST_DATA "/odd", "");
    ASSERT_FALSE(files.empty()) << "no odd samples";
    std::vector<std::string> args = {"info", "--json"};
    args.insert(args.end(), files.begin(), files.end());
    const TToolRun run = RunKestMap(args);
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(Lines(run.Out).size(), files.size());
}

// The fuzzer's seeds and its finds, kept as tests/data/fuzz-*.ks (the inputs
// it found that reach distinct paths of the loader, and any input that ever
// broke something): each is read or refused by name, never a crash.
TEST(KestMapSamples, FuzzSeedsAndInputsThatOnceBrokeTheLoaderAreHandled)
{
    auto files = SampleFiles(KEST_TEST_DATA "/../../fuzz/seeds", "");
    ASSERT_FALSE(files.empty()) << "no fuzz seeds";
    const auto finds = SampleFiles(KEST_TEST_DATA, "fuzz-");
    ASSERT_FALSE(finds.empty()) << "no fuzz finds in " << KEST_TEST_DATA;
    files.insert(files.end(), finds.begin(), finds.end());
    const TTempFolder folder;
    for (const std::string& file : files) {
        for (const char* command : {"info", "check"}) {
            const TToolRun run = RunKestMap({command, "--json", file});
            ASSERT_LE(run.Status, 2) << file << ": " << run.Err;
            if (run.Status == 2)
                EXPECT_EQ(run.Err.rfind("kestmap: " + file + ": ", 0), 0u) << run.Err;
            else
                EXPECT_EQ(Lines(run.Out).size(), 1u) << file;
        }
        const std::string picture = folder.File("picture.png");
        std::filesystem::remove(picture);
        const TToolRun render = RunKestMap({"render", "--size", "64", file, picture});
        ASSERT_LE(render.Status, 2) << file;
        EXPECT_EQ(render.Status == 0, std::filesystem::is_regular_file(picture)) << file << ": " << render.Err;
    }
}
