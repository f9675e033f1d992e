// Loading the committed sample files: valid maps, damaged files with their
// exact errors, odd files that load, and a map cut short at every offset.
#include <gtest/gtest.h>

#include <algorithm>

#include "model/Errors.h"
#include "model/MapFile.h"
#include "model/TMap.h"
#include "tests/file/FileTestSupport.h"

using filetest::DataPath;

namespace {

/// What a map holds after a load, as far as a test of the file cares.
struct TLoaded {
    std::string Error; // empty when the load succeeded
    std::int32_t Borders;
    std::int32_t Rails;
    std::int32_t Start;
    std::int32_t Finish;
};

/// Loads path into a map that already holds elements, as a load into a used map would.
TLoaded LoadSample(const std::string& path, TMap& map)
{
    map.AddBorder(1, 1, 2, 2, clRed, bkWall);
    map.AddRail(10, 10, 500, 10);
    map.SetStartRail(0);
    TLoaded result{};
    try {
        ReadMapFile(map, path);
    } catch (const EKestError& e) {
        result.Error = e.what();
    }
    result.Borders = map.BorderCount();
    result.Rails = map.RailCount();
    result.Start = map.StartRail;
    result.Finish = map.FinishRail;
    return result;
}

/// The flags must agree with the indexes, whatever the file held.
void ExpectFlagsFollowIndexes(const TMap& map)
{
    for (std::int32_t i = 0; i < map.RailCount(); ++i) {
        const TRail& rail = map.Rails()[static_cast<std::size_t>(i)];
        EXPECT_EQ(i == map.StartRail, rail.IsStart) << "rail " << i;
        EXPECT_EQ(i == map.FinishRail, rail.IsFinish) << "rail " << i;
        EXPECT_FALSE(rail.Selected);
    }
    EXPECT_EQ(-1, map.SelRail);
    EXPECT_EQ(-1, map.SelBorder);
}

struct TSampleCase {
    const char* File;
    TLoaded Expected;
};

const char* const Beyond = "Read beyond end of file";
const char* const Range = "Range check error";

TEST(SampleFiles, EachLoadsWithItsExactOutcome)
{
    const std::vector<TSampleCase> cases = {
        {"ring.ks", {"", 0, 8, 0, 4}},
        {"borders.ks", {"", 4, 0, -1, -1}},
        {"mixed.ks", {"", 2, 3, 0, 2}},
        {"damaged/empty.ks", {Beyond, 0, 0, -1, -1}},
        {"damaged/short_count.ks", {Beyond, 0, 0, -1, -1}},
        {"damaged/kind4.ks", {Range, 1, 0, -1, -1}},
        {"damaged/negative_borders.ks", {Range, 0, 0, -1, -1}},
        {"damaged/negative_rails.ks", {Range, 1, 0, -1, -1}},
        // What a read byte by byte meets first: the first border of the huge
        // count is the rail count and the indexes, whose last byte is kind 255.
        {"damaged/huge_borders.ks", {Range, 0, 0, -1, -1}},
        {"damaged/huge_rails.ks", {Beyond, 1, 2, -1, -1}},
        {"damaged/rails_promise_more.ks", {Beyond, 0, 2, -1, -1}},
        {"damaged/no_finish.ks", {Beyond, 0, 2, 1, -1}},
        {"odd/trailing_bytes.ks", {"", 1, 2, 1, 0}},
        {"odd/coordinate_65535.ks", {"", 1, 1, 0, -1}},
        {"odd/start_equals_finish.ks", {"", 0, 3, 1, -1}},
        {"odd/index_out_of_range.ks", {"", 0, 2, 5, -7}},
        {"odd/kind3.ks", {"", 1, 0, -1, -1}},
    };
    for (const TSampleCase& c : cases) {
        SCOPED_TRACE(c.File);
        TMap map;
        const TLoaded got = LoadSample(DataPath(c.File), map);
        EXPECT_EQ(c.Expected.Error, got.Error);
        EXPECT_EQ(c.Expected.Borders, got.Borders);
        EXPECT_EQ(c.Expected.Rails, got.Rails);
        EXPECT_EQ(c.Expected.Start, got.Start);
        EXPECT_EQ(c.Expected.Finish, got.Finish);
        // A failed load never clears Modified; the emptying already set it.
        EXPECT_EQ(!c.Expected.Error.empty(), map.Modified);
        ExpectFlagsFollowIndexes(map);
    }
}

TEST(SampleFiles, ElementsReadCompletelyKeepTheirFields)
{
    TMap map;
    LoadSample(DataPath("damaged/kind4.ks"), map);
    ASSERT_EQ(1, map.BorderCount());
    EXPECT_EQ(0x0000FFu, map.Borders()[0].Color);
    EXPECT_EQ(900, map.Borders()[0].X2);

    TMap kinds;
    ReadMapFile(kinds, DataPath("borders.ks"));
    ASSERT_EQ(4, kinds.BorderCount());
    const std::vector<TColor> colors = {0x0000FF, 0x00FF00, 0xFF0000, 0x123456};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(i, kinds.Borders()[i].Kind);
        EXPECT_EQ(colors[i], kinds.Borders()[i].Color);
    }
    TMap arch;
    ReadMapFile(arch, DataPath("odd/kind3.ks"));
    EXPECT_EQ(bkArch, arch.Borders()[0].Kind);
    EXPECT_EQ(0x00FFFFu, arch.Borders()[0].Color);
}

TEST(SampleFiles, Coordinate65535LoadsAndNormalizeRemovesItsElement)
{
    TMap map;
    const TMapFileStats stats = ReadMapFile(map, DataPath("odd/coordinate_65535.ks"));
    EXPECT_EQ(2, stats.BordersStored);
    EXPECT_EQ(2, stats.RailsStored);
    ASSERT_EQ(1, map.BorderCount());
    EXPECT_EQ(100, map.Borders()[0].X1);
    ASSERT_EQ(1, map.RailCount());
    EXPECT_TRUE(map.Rails()[0].IsStart);
}

TEST(SampleFiles, TruncatedAtEveryOffsetFailsCleanly)
{
    const filetest::Bytes whole = filetest::ReadBytes(DataPath("mixed.ks"));
    ASSERT_EQ(64u, whole.size());
    TTempFolder scratch;
    const std::string path = scratch.File("cut.KS");
    for (std::size_t cut = 0; cut < whole.size(); ++cut) {
        SCOPED_TRACE("cut at " + std::to_string(cut));
        filetest::WriteBytes(path, filetest::Bytes(whole.begin(), whole.begin() + static_cast<long>(cut)));
        // The records read completely stay: a border is 12 bytes from byte
        // 4, a rail 8 from byte 32.
        const auto complete = [cut](std::size_t from, std::size_t size, std::int32_t count) {
            return cut < from ? 0 : std::min(count, static_cast<std::int32_t>((cut - from) / size));
        };
        const std::int32_t borders = complete(4, 12, 2);
        const std::int32_t rails = complete(32, 8, 3);
        const std::int32_t start = cut >= 60 ? 0 : -1;
        TMap map;
        const TLoaded got = LoadSample(path, map);
        EXPECT_EQ(Beyond, got.Error);
        EXPECT_EQ(borders, got.Borders);
        EXPECT_EQ(rails, got.Rails);
        EXPECT_EQ(start, got.Start);
        EXPECT_EQ(-1, got.Finish);
        EXPECT_TRUE(map.Modified);
        ExpectFlagsFollowIndexes(map);
    }
    // The file is closed after every failure: it can be removed and rewritten.
    EXPECT_TRUE(std::filesystem::remove(path));
}

TEST(SampleFiles, ReadOnlyFileLoads)
{
    TTempFolder scratch;
    const std::string path = scratch.File("locked.KS");
    std::filesystem::copy_file(DataPath("ring.ks"), path);
    std::filesystem::permissions(path, std::filesystem::perms::owner_read | std::filesystem::perms::group_read |
                                           std::filesystem::perms::others_read);
    TMap map;
    ReadMapFile(map, path);
    EXPECT_EQ(8, map.RailCount());
    EXPECT_FALSE(map.Modified);
}

TEST(SampleFiles, FoldersAndMissingFilesRaiseAnErrorNamingThem)
{
    TTempFolder scratch;
    const std::vector<std::pair<std::string, std::string>> cases = {
        {scratch.File(""), "Is a directory"},
        {scratch.File("missing.KS"), "No such file or directory"},
    };
    for (const auto& [path, reason] : cases) {
        TMap map;
        map.AddRail(10, 10, 500, 10);
        try {
            ReadMapFile(map, path);
            ADD_FAILURE() << "no error for " << path;
        } catch (const EFileError& e) {
            EXPECT_EQ(path + ": " + reason, e.what());
        }
        EXPECT_EQ(0, map.RailCount());
    }
}

} // namespace
