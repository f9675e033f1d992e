// The soak inside the test suite: every action list a soak run once failed on
// replays cleanly, and a few seeds run in full.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/soak/Soak.h"

namespace {

TSoakScript ReadScript(const std::filesystem::path& file)
{
    TSoakScript script;
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);) {
        TSoakAction action;
        if (TSoakAction::FromText(line, action)) script.push_back(action);
    }
    return script;
}

TEST(Soak, ActionsReadBackFromTheirText)
{
    for (const TSoakAction& action : MakeSoakScript(7, 300)) {
        TSoakAction back;
        ASSERT_TRUE(TSoakAction::FromText(action.ToText(), back)) << action.ToText();
        EXPECT_EQ(action.ToText(), back.ToText());
    }
    TSoakAction ignored;
    EXPECT_FALSE(TSoakAction::FromText("jump 1 2 3 4 5", ignored));
    EXPECT_FALSE(TSoakAction::FromText("press 1 2", ignored));
}

// The lists kept in tests/soak/regressions when this floor was last raised;
// lists are only ever added, so finding fewer means the test lost its files
// (a moved folder, a wrong path) and would otherwise pass by replaying none.
constexpr std::size_t KeptRegressions = 5;

TEST(Soak, EveryKeptFailureReplaysCleanly)
{
    EnsureSoakApplication();
    ASSERT_TRUE(std::filesystem::is_directory(KEST_SOAK_REGRESSIONS)) << KEST_SOAK_REGRESSIONS;
    std::size_t replayed = 0;
    for (const auto& entry : std::filesystem::directory_iterator(KEST_SOAK_REGRESSIONS)) {
        if (entry.path().extension() != ".txt") continue;
        const TSoakScript script = ReadScript(entry.path());
        ASSERT_FALSE(script.empty()) << entry.path();
        EXPECT_EQ("", RunSoakScript(script)) << entry.path();
        ++replayed;
    }
    RecordProperty("replayed", static_cast<int>(replayed));
    EXPECT_GE(replayed, KeptRegressions) << "kept action lists found in " << KEST_SOAK_REGRESSIONS;
}

TEST(Soak, AFewSeedsRunClean)
{
    EnsureSoakApplication();
    for (std::uint32_t seed : {1u, 2u, 3u}) EXPECT_EQ("", RunSoakScript(MakeSoakScript(seed, 300))) << "seed " << seed;
}

} // namespace
