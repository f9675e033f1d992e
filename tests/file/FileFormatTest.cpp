// The bytes of the map file: integer readers and writers, element records,
// the examples of the format, and round trips of generated maps.
#include <gtest/gtest.h>
#include <random>

#include "model/Errors.h"
#include "model/MapFile.h"
#include "model/MapFileIO.h"
#include "model/TMap.h"
#include "tests/file/FileTestSupport.h"

using filetest::Bytes;

namespace {

struct TIntCase {
    Bytes In;
    std::int32_t Int32;
    std::int32_t Int24;
    std::int32_t Int16;
};

TEST(MapReader, IntegersAreLittleEndianAndRefuseNothing)
{
    const std::vector<TIntCase> cases = {
        {{0xFF, 0xFF, 0xFF, 0xFF}, -1, 0xFFFFFF, 65535},
        {{0x00, 0x00, 0x00, 0x80}, -2147483647 - 1, 0, 0},
        {{0xFF, 0xFF, 0xFF, 0x7F}, 2147483647, 0xFFFFFF, 65535},
        {{0x01, 0x02, 0x03, 0x04}, 0x04030201, 0x030201, 0x0201},
        {{0x00, 0x00, 0x00, 0x00}, 0, 0, 0},
    };
    for (const TIntCase& c : cases) {
        TMapReader a(c.In.data(), c.In.size());
        EXPECT_EQ(c.Int32, a.ReadInt32());
        EXPECT_EQ(0, a.Remaining());
        TMapReader b(c.In.data(), c.In.size());
        EXPECT_EQ(c.Int24, b.ReadInt24());
        EXPECT_EQ(1, b.Remaining());
        TMapReader d(c.In.data(), c.In.size());
        EXPECT_EQ(c.Int16, d.ReadInt16());
        EXPECT_EQ(2, d.Remaining());
    }
}

TEST(MapReader, KindAcceptsZeroToThreeOnly)
{
    for (int byte = 0; byte < 256; ++byte) {
        const Bytes in = {static_cast<std::uint8_t>(byte)};
        TMapReader reader(in.data(), in.size());
        if (byte <= 3) {
            EXPECT_EQ(byte, reader.ReadKind());
        } else {
            EXPECT_THROW(reader.ReadKind(), ERangeError) << byte;
        }
    }
}

TEST(MapReader, ReadingPastTheEndRaisesReadBeyondEndOfFile)
{
    const Bytes in = {1, 2, 3};
    TMapReader reader(in.data(), in.size());
    try {
        reader.ReadInt32();
        FAIL() << "no error";
    } catch (const EInOutError& e) {
        EXPECT_EQ(100, e.Code);
        EXPECT_STREQ("Read beyond end of file", e.what());
    }
}

TEST(MapReader, RequireRecordsGuardsAgainstLyingCounts)
{
    const Bytes in(24, 0);
    const TMapReader reader(in.data(), in.size());
    EXPECT_NO_THROW(reader.RequireRecords(2, 12));
    EXPECT_NO_THROW(reader.RequireRecords(0, 12));
    EXPECT_NO_THROW(reader.RequireRecords(3, 8));
    EXPECT_THROW(reader.RequireRecords(4, 8), EInOutError);
    EXPECT_THROW(reader.RequireRecords(3, 12), EInOutError);
    EXPECT_THROW(reader.RequireRecords(2147483647, 12), EInOutError);
}

TEST(MapWriter, WritesLowOrderBytesWithoutRangeTest)
{
    TMemorySink sink;
    TMapWriter out(sink);
    out.WriteInt32(-2);
    out.WriteInt24(0x7F123456);
    out.WriteInt16(-1);
    out.WriteInt16(70000);
    out.WriteByte(0xAB);
    EXPECT_EQ(12, out.BytesWritten());
    out.Flush();
    const Bytes expected = {0xFE, 0xFF, 0xFF, 0xFF, 0x56, 0x34, 0x12, 0xFF, 0xFF, 0x70, 0x11, 0xAB};
    EXPECT_EQ(expected, sink.Bytes);
}

TEST(MapWriter, BufferedOutputSurvivesManyBlocks)
{
    TMemorySink sink;
    TMapWriter out(sink);
    for (std::int32_t i = 0; i < 100000; ++i) out.WriteInt32(i);
    out.Flush();
    ASSERT_EQ(400000u, sink.Bytes.size());
    TMapReader in(sink.Bytes.data(), sink.Bytes.size());
    for (std::int32_t i = 0; i < 100000; ++i) ASSERT_EQ(i, in.ReadInt32());
}

TEST(MapFileBytes, NewMapIsSixteenBytes)
{
    const TMap map;
    const Bytes expected = {0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(expected, MapToBytes(map));
}

TEST(MapFileBytes, OneRedWallIsTwentyEightBytes)
{
    TMap map;
    map.AddBorder(10, 20, 300, 400, 0x0000FF, bkWall);
    const Bytes expected = {0x01, 0x00, 0x00, 0x00, 0x0A, 0x00, 0x14, 0x00, 0x2C, 0x01, 0x90, 0x01, 0xFF, 0x00,
                            0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(expected, MapToBytes(map));
}

TEST(MapFileBytes, OutOfRangeValuesAreWrittenModulo)
{
    TMap map;
    TBorder border;
    border.X1 = -1;
    border.Y1 = 65536 + 7;
    border.Color = 0xFF123456;
    map.AppendBorders({&border, 1});
    TRail rail;
    rail.X1 = -1;
    map.AppendRails({&rail, 1});
    const Bytes bytes = MapToBytes(map);
    ASSERT_EQ(16u + 12 + 8, bytes.size());
    const Bytes record(bytes.begin() + 4, bytes.begin() + 16);
    EXPECT_EQ(Bytes({0xFF, 0xFF, 7, 0, 0, 0, 0, 0, 0x56, 0x34, 0x12, 0}), record);
    TMap loaded;
    TMapReader in(bytes.data(), bytes.size());
    ReadMapBody(loaded, in);
    EXPECT_EQ(65535, loaded.Borders()[0].X1);
    EXPECT_EQ(7, loaded.Borders()[0].Y1);
    EXPECT_EQ(0x123456u, loaded.Borders()[0].Color);
    EXPECT_EQ(65535, loaded.Rails()[0].X1);
}

TEST(MapFileBytes, RailRecordClearsSelectionAndStartFlags)
{
    const Bytes in = {1, 0, 2, 0, 3, 0, 4, 0};
    TRail rail;
    rail.Selected = true;
    rail.IsStart = true;
    TMapReader reader(in.data(), in.size());
    rail.ReadRecord(reader);
    EXPECT_EQ(std::vector<std::int32_t>({1, 2, 3, 4}), std::vector<std::int32_t>({rail.X1, rail.Y1, rail.X2, rail.Y2}));
    EXPECT_FALSE(rail.Selected);
    EXPECT_FALSE(rail.IsStart);
}

/// A map of random elements inside the world, rails long enough to stay,
/// built directly so that large maps cost no snapping.
TMap RandomMap(std::mt19937& random, int borders, int rails)
{
    std::uniform_int_distribution<std::int32_t> coord(0, WorldSize);
    std::uniform_int_distribution<std::uint32_t> color(0, 0xFFFFFF);
    std::uniform_int_distribution<int> kind(0, 3);
    TMap map;
    for (int i = 0; i < borders; ++i) {
        TBorder border;
        border.X1 = coord(random);
        border.Y1 = coord(random);
        border.X2 = coord(random);
        border.Y2 = coord(random);
        border.Color = color(random);
        border.Kind = static_cast<std::uint8_t>(kind(random));
        map.AppendBorders({&border, 1});
    }
    for (int i = 0; i < rails; ++i) {
        TRail rail;
        rail.X1 = coord(random) % 9000;
        rail.Y1 = coord(random) % 9000;
        rail.X2 = rail.X1 + 10 + coord(random) % 900;
        rail.Y2 = rail.Y1 + coord(random) % 900;
        map.AppendRails({&rail, 1});
    }
    if (rails > 1) {
        map.SetStartRail(rails / 2);
        map.SetFinishRail(rails - 1);
    }
    return map;
}

TEST(MapFileRoundTrip, GeneratedMapsComeBackFieldForField)
{
    std::mt19937 random(20240611);
    const std::vector<std::pair<int, int>> sizes = {{0, 0}, {1, 0}, {0, 1}, {3, 7}, {200, 150}, {60000, 90000}};
    TTempFolder scratch;
    for (const auto& [borders, rails] : sizes) {
        TMap map = RandomMap(random, borders, rails);
        map.Normalize();
        const std::string path = scratch.File("round.KS");
        WriteMapFile(map, path);
        EXPECT_EQ(16u + 12u * map.Borders().size() + 8u * map.Rails().size(), std::filesystem::file_size(path));
        TMap loaded;
        const TMapFileStats stats = ReadMapFile(loaded, path);
        EXPECT_EQ(map.BorderCount(), stats.BordersStored);
        EXPECT_EQ(map.RailCount(), stats.RailsStored);
        filetest::ExpectSameFileContent(map, loaded);
        EXPECT_FALSE(loaded.Modified);
        if (map.StartRail >= 0) {
            EXPECT_TRUE(loaded.Rails()[static_cast<std::size_t>(map.StartRail)].IsStart);
            EXPECT_TRUE(loaded.Rails()[static_cast<std::size_t>(map.FinishRail)].IsFinish);
        }
        EXPECT_EQ(MapToBytes(map), filetest::ReadBytes(path));
    }
}

TEST(MapFileRoundTrip, CyrillicFileNamesWork)
{
    TTempFolder scratch;
    TMap map;
    map.AddRail(10, 10, 500, 10);
    const std::string path = scratch.File("Карта поля.KS");
    WriteMapFile(map, path);
    EXPECT_TRUE(MapFileExists(path));
    TMap loaded;
    ReadMapFile(loaded, path);
    filetest::ExpectSameFileContent(map, loaded);
}

} // namespace
