// The command line's map read while the window is built: the first load of
// that file takes what was read, grids and all, and leaves the map exactly as
// a read in place; a file changed since, damaged or another is read in place.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <tuple>

#include "platform/Errors.h"
#include "model/MapFile.h"
#include "model/TMap.h"
#include "tests/support/MapBuilders.h"
#include "tests/support/TempFolder.h"
#include "ui/TBackgroundWork.h"
#include "ui/TStartupRead.h"

namespace {

/// What a load leaves: the elements, the marks, the view and the state flags.
void ExpectSameMap(const TMap& a, const TMap& b)
{
    ASSERT_EQ(a.RailCount(), b.RailCount());
    ASSERT_EQ(a.BorderCount(), b.BorderCount());
    for (std::size_t k = 0; k < a.Rails().size(); ++k) {
        const TRail &r = a.Rails()[k], &s = b.Rails()[k];
        ASSERT_EQ(std::tuple(r.X1, r.Y1, r.X2, r.Y2, r.IsStart, r.IsFinish, r.Selected),
                  std::tuple(s.X1, s.Y1, s.X2, s.Y2, s.IsStart, s.IsFinish, s.Selected))
            << "rail " << k;
    }
    for (std::size_t k = 0; k < a.Borders().size(); ++k) {
        const TBorder &r = a.Borders()[k], &s = b.Borders()[k];
        ASSERT_EQ(std::tuple(r.X1, r.Y1, r.X2, r.Y2, r.Color, r.Kind), std::tuple(s.X1, s.Y1, s.X2, s.Y2, s.Color, s.Kind))
            << "border " << k;
    }
    EXPECT_EQ(std::tuple(a.StartRail, a.FinishRail, a.SelRail, a.SelBorder, a.IsModified()),
              std::tuple(b.StartRail, b.FinishRail, b.SelRail, b.SelBorder, b.IsModified()));
}

class StartupReadTest : public testing::Test {
protected:
    void SetUp() override
    {
        BackgroundWork::From = 0;
        TMap::IndexFrom = 1;
    }
    void TearDown() override
    {
        BackgroundWork::From = std::int64_t{4} << 20;
        TMap::IndexFrom = 20000;
    }
    /// A random map written to name, with rails Normalize removes among the others.
    std::string RandomFile(const std::string& name, std::uint32_t seed)
    {
        std::mt19937 rng(seed);
        const TMap map = MapBuilders::RandomRouteMap(rng);
        const std::string path = folder.File(name);
        WriteMapFile(map, path);
        return path;
    }
    TTempFolder folder;
};

TEST_F(StartupReadTest, TheFirstLoadOfTheFileTakesTheReadAndLeavesWhatAReadInPlaceLeaves)
{
    for (std::uint32_t seed = 1; seed <= 20; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        const std::string path = RandomFile("map.KS", seed);
        TMap inPlace;
        ReadMapFile(inPlace, path);
        TMap map;
        MapBuilders::PutRail(map, 10, 10, 50, 10); // what the map held goes
        {
            const TStartupRead startup(path);
            ReadMapFileAsLoads(map, path);
            ExpectSameMap(map, inPlace);
            // The grids came with the elements, built once on the reader's thread.
            EXPECT_EQ(map.Index().Builds, 1u);
            map.Normalize();
            ExpectSameMap(map, inPlace);
            // Only the first load takes it: a second one reads the file anew.
            MapBuilders::PutRail(map, 10, 10, 50, 10);
            ReadMapFileAsLoads(map, path);
            ExpectSameMap(map, inPlace);
        }
    }
}

TEST_F(StartupReadTest, AFileChangedSinceDamagedOrAnotherIsReadInPlace)
{
    const std::string first = RandomFile("first.KS", 1);
    const std::string second = RandomFile("second.KS", 2);
    TMap expected;
    {
        // Rewritten after the read began: the load sees the file as it is now.
        const TStartupRead startup(first);
        std::filesystem::copy_file(second, first, std::filesystem::copy_options::overwrite_existing);
        std::filesystem::last_write_time(first, std::filesystem::last_write_time(first) + std::chrono::seconds(5));
        ReadMapFile(expected, second);
        TMap map;
        ReadMapFileAsLoads(map, first);
        ExpectSameMap(map, expected);
    }
    {
        // Another file than the one read.
        const TStartupRead startup(first);
        TMap map;
        ReadMapFileAsLoads(map, second);
        ExpectSameMap(map, expected);
    }
    {
        // Cut short: the load raises what a read in place raises and keeps what it keeps.
        const std::string damaged = folder.File("damaged.KS");
        std::filesystem::copy_file(second, damaged);
        std::filesystem::resize_file(damaged, std::filesystem::file_size(damaged) - 5);
        TMap inPlace, map;
        std::string inPlaceError, error;
        try {
            ReadMapFile(inPlace, damaged);
        } catch (const EKestError& e) {
            inPlaceError = e.what();
        }
        const TStartupRead startup(damaged);
        try {
            ReadMapFileAsLoads(map, damaged);
        } catch (const EKestError& e) {
            error = e.what();
        }
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(error, inPlaceError);
        ExpectSameMap(map, inPlace);
    }
}

} // namespace
